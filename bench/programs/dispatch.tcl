# Calls of small procs and method lookups, as in dispatch.kavo: 1,000,000 steps, each
# running a::step and b::step by an object name put together at run time.
interp recursionlimit {} 10000

proc id {x} { return $x }
proc twice {x} { return [id [id $x]] }
proc add {x y} { return [expr {$x + $y}] }

namespace eval a {}
namespace eval b {}
proc a::step {x} { return [::add [::twice $x] 3] }
proc b::step {x} { return [::add $x 5] }
proc a::name {} { return a }
proc b::name {} { return b }

proc apply_step {object x} { return [${object}::step $x] }

proc steps {k acc} {
    if {$k == 0} { return $acc }
    return [steps [expr {$k - 1}] [apply_step [b::name] [apply_step [a::name] $acc]]]
}

proc rounds {k acc} {
    if {$k == 0} { return $acc }
    return [rounds [expr {$k - 1}] [steps 200 $acc]]
}

puts "result [rounds 5000 0]"
