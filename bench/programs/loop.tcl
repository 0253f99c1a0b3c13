# The counting loop of loop.kavo, 1,000,000 steps, as a plain while loop (in a proc, where
# Tcl keeps its variables in fast local slots).
proc count {} {
    set hi 0
    set lo 0
    while 1 {
        if {$lo == 999} {
            if {$hi == 999} { return [expr {$hi * 1000 + $lo + 1}] }
            incr hi
            set lo 0
        } else {
            incr lo
        }
    }
}

puts "loop [count]"
