# 200,000 distinct numbers, each also joined into a distinct text, as in atoms.kavo:
# two nested recursions, 1,000 rows of 200.
interp recursionlimit {} 10000

proc row {i j acc} {
    if {$j == 200} { return $acc }
    set n [expr {$i * 200 + $j}]
    return [row $i [expr {$j + 1}] [expr {$acc + [string length "value-$n"]}]]
}

proc rows {i acc} {
    if {$i == 1000} { return $acc }
    return [rows [expr {$i + 1}] [row $i 0 $acc]]
}

puts "total length [rows 0 0]"
