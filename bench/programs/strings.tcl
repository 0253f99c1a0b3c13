# String processing over a text of 789 characters, as in strings.kavo: 100,000 rotations
# by one character with string range, each reversed and matched against two patterns.
interp recursionlimit {} 10000
set a 0
set b 0

proc build {i text} {
    if {$i == 300} { return $text }
    return [build [expr {$i + 1}] "$text$i"]
}

proc rotate {t} {
    return "[string range $t end end][string range $t 0 [expr {[string length $t] - 2}]]"
}

proc spin {k t} {
    global a b
    if {$k == 0} { return $t }
    set r [rotate $t]
    if {[string match "1*2?" $r]} { incr a }
    if {[string match "*3?1" [string reverse $r]]} { incr b }
    return [spin [expr {$k - 1}] $r]
}

proc rounds {k t} {
    if {$k == 0} { return $t }
    return [rounds [expr {$k - 1}] [spin 200 $t]]
}

set t [rounds 500 [build 1 ""]]
puts "matches $a $b, text now begins [string range $t 0 11]"
