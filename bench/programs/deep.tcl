# A recursion 1,000,000 levels deep, as in deep.kavo. Tcl stops at 1000 levels by default.
interp recursionlimit {} 1000100

proc down {n} {
    if {$n == 0} { return 0 }
    return [expr {[down [expr {$n - 1}]] + 1}]
}

puts "depth [down 1000000]"
