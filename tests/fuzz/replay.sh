#!/usr/bin/env bash
# Replays fuzzing inputs on a sanitizer build of kavo: each input is run as main.kavo in a
# fresh folder with no standard input and must end within the time limit with exit code 0, 1
# or 3 and without a sanitizer report. The allocation limit is the one the fuzzer ran with,
# so an input that grows a text ends the same way here (error 5) instead of taking gigabytes.
# Usage: replay.sh KAVO SECONDS INPUT_OR_FOLDER...   Prints one line per failing input and a
# count; exits 1 when any input failed.
set -uo pipefail
kavo=$(realpath "$1")
limit=$2
shift 2

# A sanitizer report exits with 86, which no kavo program can.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0:exitcode=86:allocator_may_return_null=1:max_allocation_size_mb=256"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}halt_on_error=1:exitcode=86:print_stacktrace=1"

inputs=()
for path in "$@"; do
  if [ -d "$path" ]; then
    while IFS= read -r -d '' f; do inputs+=("$f"); done < <(find "$path" -type f -print0 | sort -z)
  else
    inputs+=("$path")
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for input in "${inputs[@]}"; do
  rm -rf "$work/run" && mkdir "$work/run"
  cp "$input" "$work/run/main.kavo"
  { (cd "$work/run" && timeout -s KILL "$limit" "$kavo" </dev/null >/dev/null 2>"$work/err"); } 2>/dev/null
  code=$?
  reason=""
  if [ $code -eq 137 ]; then
    reason="still running after $limit s"
  elif [ $code -ne 0 ] && [ $code -ne 1 ] && [ $code -ne 3 ]; then
    reason="exit code $code"
  fi
  # A refused allocation is only a warning; an error report is what fails.
  report="ERROR: [A-Za-z]+Sanitizer|runtime error:"
  if grep -qE "$report" "$work/err"; then
    reason="${reason:+$reason, }sanitizer report: $(grep -m1 -E "$report" "$work/err")"
  fi
  if [ -n "$reason" ]; then
    echo "FAIL $input: $reason"
    failed=$((failed + 1))
  fi
done
echo "replayed ${#inputs[@]} inputs, $failed failed"
[ $failed -eq 0 ]
