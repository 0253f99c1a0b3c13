#!/usr/bin/env bash
# Fuzzes kavo with AFL++ on one core for the minutes given (default 10):
#  1. builds kavo_fuzz (fuzz_entry.cpp) with AFL++'s compiler, AddressSanitizer and
#     UndefinedBehaviorSanitizer, and the sanitizer build of kavo that CI replays the corpus on;
#  2. seeds it with the golden programs and examples that kavo_fuzz ends in under 100 ms with
#     exit code 0, 1 or 3 (runaways and long loops are no seeds);
#  3. runs one afl-fuzz instance;
#  4. minimizes what it found: each crash and hang with afl-tmin, the queue with afl-cmin, and
#     keeps as corpus candidates the new queue entries that the sanitizer kavo replays cleanly
#     within 2 seconds.
# Everything goes to build-fuzz/ (or $KAVO_FUZZ_DIR): findings/ is AFL++'s own output,
# minimized/ the results. Candidates worth keeping are copied into tests/fuzz/corpus/.
set -euo pipefail
minutes=${1:-10}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${KAVO_FUZZ_DIR:-$root/build-fuzz}
mkdir -p "$work"
work=$(cd "$work" && pwd)

if ! command -v afl-fuzz >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq afl++ </dev/null
fi

echo "== building (log: build.log)"
{
  CC=afl-clang-fast CXX=afl-clang-fast++ cmake -S "$root" -B "$work/build-afl" -DKAVO_SANITIZE=ON \
    -DKAVO_FUZZ=ON -DKAVO_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$work/build-afl" -j2 --target kavo_fuzz
  cmake -S "$root" -B "$work/build-san" -DKAVO_SANITIZE=ON -DKAVO_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$work/build-san" -j2 --target kavo
} >"$work/build.log" 2>&1 || {
  tail -20 "$work/build.log"
  exit 1
}
target=$work/build-afl/kavo_fuzz

# AFL++ sees a sanitizer report as a crash only when the sanitizer aborts. An allocation above
# 256 MB fails (error 5), so that an input doubling a text cannot take the machine's memory.
# Without a quarantine freed memory is used again at once, so a run touches fewer new pages,
# each of which costs a fault in a forked child; a use after free is still caught when the
# memory was not given out again in between.
export ASAN_OPTIONS=abort_on_error=1:symbolize=0:detect_leaks=0:malloc_context_size=0:allocator_may_return_null=1:max_allocation_size_mb=256:quarantine_size_mb=0
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:symbolize=0
export AFL_SKIP_CPUFREQ=1 AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES=1 AFL_NO_UI=1 AFL_ALLOW_TMP=1
# A run past 200 ms is a hang. Hangs are endless loops as a rule (`main { main }` runs forever,
# as any loop in last position may), not findings: they are given no longer second chance,
# which AFL++ would otherwise spend a second on each time.
export AFL_HANG_TMOUT=200

echo "== seeds"
rm -rf "$work/seeds" "$work/run" "$work/findings" "$work/minimized"
mkdir -p "$work/seeds" "$work/run"
# The fastest of three runs, in milliseconds, and the exit code.
time_run() {
  local best=999999 code=0 start end
  for _ in 1 2 3; do
    start=$(date +%s%N)
    (cd "$work/run" && timeout -s KILL 2 "$target" </dev/null >/dev/null 2>&1) && code=0 || code=$?
    end=$(date +%s%N)
    [ $(((end - start) / 1000000)) -lt $best ] && best=$(((end - start) / 1000000))
    [ $code -eq 137 ] && break
  done
  echo "$best $code"
}
while IFS= read -r -d '' file; do
  cp "$file" "$work/run/main.kavo"
  read -r ms code < <(time_run)
  if [ "$ms" -lt 100 ] && { [ "$code" -eq 0 ] || [ "$code" -eq 1 ] || [ "$code" -eq 3 ]; }; then
    name=${file#"$root"/}
    cp "$file" "$work/seeds/${name//\//_}"
  fi
done < <(find "$root/tests/golden" "$root/examples" -name '*.kavo' -print0 | sort -z)
rm -f "$work/run/main.kavo"
echo "$(ls "$work/seeds" | wc -l) seeds"

echo "== fuzzing for $minutes minutes"
# The fuzzer writes each input to main.kavo in run/, where kavo_fuzz reads it.
(cd "$work/run" && afl-fuzz -i "$work/seeds" -o "$work/findings" -f main.kavo -x "$here/kavo.dict" \
  -t 200 -m none -V $((minutes * 60)) -- "$target" >"$work/afl.log" 2>&1) || {
  tail -20 "$work/afl.log"
  exit 1
}
stats=$work/findings/default/fuzzer_stats
grep -E "^(run_time|execs_done|execs_per_sec|corpus_count|saved_crashes|saved_hangs|bitmap_cvg|stability) " "$stats"

echo "== minimizing"
mkdir -p "$work/minimized/crashes" "$work/minimized/hangs"
cd "$work/run"
# Hangs are runaways as a rule, and each takes minutes to minimize: the first five show them.
for kind in crashes hangs; do
  flag="" count=0
  [ $kind = hangs ] && flag="-H"
  for input in "$work/findings/default/$kind"/id:*; do
    [ -e "$input" ] || continue
    count=$((count + 1))
    [ $kind = hangs ] && [ $count -gt 5 ] && break
    afl-tmin $flag -i "$input" -o "$work/minimized/$kind/$(basename "$input" | cut -d, -f1 | tr : _).kavo" \
      -f main.kavo -t 500 -m none -- "$target" >/dev/null 2>&1 || true
  done
  echo "$kind: $(ls "$work/minimized/$kind" | wc -l) minimized into minimized/$kind/"
done
afl-cmin -i "$work/findings/default/queue" -o "$work/minimized/queue" -f main.kavo -t 500 -m none \
  -- "$target" >/dev/null 2>&1
mkdir -p "$work/minimized/candidates"
for input in "$work/minimized/queue"/id:*; do
  case "$input" in *orig:*) continue ;; esac  # the seeds are in the repo already
  if "$here/replay.sh" "$work/build-san/kavo" 2 "$input" >/dev/null; then
    cp "$input" "$work/minimized/candidates/$(basename "$input" | cut -d, -f1 | tr : _).kavo"
  fi
done
echo "queue: $(ls "$work/minimized/queue" | wc -l) after afl-cmin," \
  "$(ls "$work/minimized/candidates" | wc -l) new corpus candidates in minimized/candidates/"
