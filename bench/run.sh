#!/usr/bin/env bash
# Runs the benchmark programs of bench/programs with kavo, tclsh and python3, checks that the
# three print the same, and prints a table of wall-clock times and ratios.
#
#   bench/run.sh [KAVO] [REPEATS]
#
# KAVO is the interpreter to measure (default: build/kavo under the repository root); this
# script builds nothing. Each program runs REPEATS times (default 3) and the best time counts.
# A kavo program runs in a temporary folder of its own, as main.kavo. kavo ends its output
# lines with CR LF, the others with LF; the comparison ignores that difference.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
kavo=${1:-$root/build/kavo}
repeats=${2:-3}
programs="$here/programs"

case $kavo in /*) ;; *) kavo="$PWD/$kavo" ;; esac
if [ ! -x "$kavo" ]; then
    echo "run.sh: no interpreter at $kavo (build it first, or pass its path)" >&2
    exit 2
fi
tclsh=$(command -v tclsh || true)
python=$(command -v python3 || true)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# now: the current time in microseconds.
now() { local t=${EPOCHREALTIME/./}; echo "${t#0}"; }

# timed NAME DIR COMMAND...: runs COMMAND in DIR REPEATS times; leaves the best time in
# seconds in $best and the output of the last run, CR LF made LF, in $work/NAME.out.
# A failed run leaves best empty.
timed() {
    local name=$1 dir=$2
    shift 2
    best=
    local i start end us min=
    for ((i = 0; i < repeats; i++)); do
        start=$(now)
        if ! (cd "$dir" && "$@") >"$work/$name.raw" 2>"$work/$name.err"; then
            echo "  $name failed:" >&2
            sed 's/^/    /' "$work/$name.err" | head -5 >&2
            return
        fi
        end=$(now)
        us=$((end - start))
        if [ -z "$min" ] || [ "$us" -lt "$min" ]; then min=$us; fi
    done
    tr -d '\r' <"$work/$name.raw" >"$work/$name.out"
    best=$(awk -v us="$min" 'BEGIN { printf "%.3f", us / 1e6 }')
}

ratio() {
    if [ -n "$1" ] && [ -n "$2" ]; then
        awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'
    else
        echo "-"
    fi
}

status=0
rows=()
for kv in "$programs"/*.kavo; do
    name=$(basename "$kv" .kavo)
    echo "running $name ..." >&2
    mkdir -p "$work/$name"
    cp "$kv" "$work/$name/main.kavo"

    timed "$name.kavo" "$work/$name" "$kavo"
    tk=$best
    tt= tp=
    if [ -n "$tclsh" ] && [ -f "$programs/$name.tcl" ]; then
        timed "$name.tcl" "$programs" "$tclsh" "$programs/$name.tcl"
        tt=$best
    fi
    if [ -n "$python" ] && [ -f "$programs/$name.py" ]; then
        timed "$name.py" "$programs" "$python" "$programs/$name.py"
        tp=$best
    fi

    same=yes
    [ -n "$tk" ] || same=no
    for other in tcl py; do
        out="$work/$name.$other.out"
        [ -f "$out" ] || continue
        if [ -z "$tk" ] || ! cmp -s "$work/$name.kavo.out" "$out"; then
            same=no
            echo "  $name: the $other program prints something else than kavo" >&2
            [ -n "$tk" ] && diff "$work/$name.kavo.out" "$out" | head -6 | sed 's/^/    /' >&2
        fi
    done
    [ "$same" = yes ] || status=1

    rows+=("$(printf '%-10s %9s %9s %9s %10s %10s %6s' "$name" "${tk:--}" "${tt:--}" "${tp:--}" \
        "$(ratio "$tk" "$tt")" "$(ratio "$tk" "$tp")" "$same")")
done

echo
echo "kavo: $kavo; best of $repeats run(s), wall-clock seconds"
printf '%-10s %9s %9s %9s %10s %10s %6s\n' program kavo tclsh python3 kavo/tcl kavo/py same
for row in "${rows[@]}"; do echo "$row"; done
exit $status
