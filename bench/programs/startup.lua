-- Start-up, as in startup.kavo: one line printed.
print("started")
