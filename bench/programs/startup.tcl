# Start-up, as in startup.kavo: one line printed.
puts "started"
