# The text of buildwalk.kavo: the numbers from 170,000 down to 1 appended one at a time,
# then walked byte by byte with string index, counting the sevens.
proc build {} {
    set s ""
    for {set n 170000} {$n > 0} {incr n -1} { append s $n }
    return $s
}

proc walk {s} {
    set c 0
    set len [string length $s]
    for {set i 0} {$i < $len} {incr i} {
        if {[string index $s $i] eq "7"} { incr c }
    }
    return $c
}

set t [build]
puts "buildwalk [string length $t] bytes, [walk $t] sevens"
