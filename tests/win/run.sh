#!/usr/bin/env bash
# Tests of kavo-win.exe, the Windows deliverable, run for real under Wine.
# Installs what is missing (MinGW-w64, Wine, Xvfb), cross-builds kavo-win.exe and the test
# driver into build-win, starts a virtual X display and a fresh Wine prefix, and runs:
#   - checks of the executable itself (imports, string table, icon);
#   - programs that exercise the Windows host layer, read through the driver (console screen,
#     typed keys, message boxes, exit codes);
#   - the golden cases of tests/golden, their input typed as keys, all but those of tests/win/skips;
#   - control cases with wrong expectations, which the driver must reject.
# Ends with "N passed, N failed, N skipped (N reason, ...)" and a non-zero exit code when
# anything failed.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${KAVO_WIN_BUILD:-$root/build-win}

# ---- tools --------------------------------------------------------------------------------------
missing=()
command -v x86_64-w64-mingw32-g++ >/dev/null || missing+=(g++-mingw-w64-x86-64)
command -v wine >/dev/null || missing+=(wine)
[ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
command -v Xvfb >/dev/null || missing+=(xvfb)
command -v cmake >/dev/null || missing+=(cmake)
command -v c++ >/dev/null || missing+=(g++)
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    </dev/null >/dev/null || { echo "cannot install ${missing[*]}"; echo "0 passed, 1 failed"; exit 1; }
fi

# ---- build --------------------------------------------------------------------------------------
echo "== building kavo-win.exe and the test driver"
if ! { cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null &&
       cmake --build "$build" -j2 >/dev/null; }; then
  cmake --build "$build" -j2 2>&1 | tail -30
  echo "0 passed, 1 failed"
  exit 1
fi
exe=$build/kavo-win.exe
driver=$build/kavo-win-driver.exe

# ---- display and Wine ---------------------------------------------------------------------------
work=$(mktemp -d /tmp/kavo-win-tests.XXXXXX)
xvfb_pid=
cleanup() {
  WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

for n in $(seq 90 140); do
  [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
  Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  if [ -e /tmp/.X11-unix/X$n ] && kill -0 "$xvfb_pid" 2>/dev/null; then
    export DISPLAY=:$n
    break
  fi
  kill "$xvfb_pid" 2>/dev/null
  xvfb_pid=
done
[ -n "$xvfb_pid" ] || { echo "cannot start Xvfb"; echo "0 passed, 1 failed"; exit 1; }

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo "== preparing a Wine prefix"
timeout 300 wineboot -i >"$work/wineboot.log" 2>&1 </dev/null
timeout 60 wineserver -w

winpath() { local p=$1; echo "Z:${p//\//\\}"; }

# ---- test bookkeeping ---------------------------------------------------------------------------
passed=0 failed=0 skipped=0
declare -A skipped_for  # skips by reason
errs=
note() { errs+="${errs:+; }$1"; }
verdict() {
  if [ -z "$errs" ]; then echo "PASS $1"; passed=$((passed + 1));
  else echo "FAIL $1: $errs"; failed=$((failed + 1)); fi
  errs=
}

# run NAME PROGRAM [driver options]: writes PROGRAM as main.kavo (none when empty) in a fresh
# folder, runs kavo-win.exe there through the driver, and leaves the report in $rep.
run() {
  local name=$1 program=$2
  shift 2
  local dir=$work/t/$name
  mkdir -p "$dir"
  [ -n "$program" ] && printf '%s\n' "$program" >"$dir/main.kavo"
  rep=$work/t/$name.rep
  rm -f "$rep"
  timeout 120 wine "$driver" run "$exe" "$(winpath "$dir")" "$(winpath "$rep")" "$@" </dev/null \
    >"$work/t/$name.log" 2>&1
  [ -s "$rep" ] || { note "the driver wrote no report"; : >"$rep"; }
}
field() { sed -n "s/^$1=//p" "$rep"; }
screen() { sed -n 's/^screen=//p' "$rep"; }
want() {  # want KEY VALUE: the report says KEY=VALUE
  grep -Fxq -- "$1=$2" "$rep" || note "expected $1=$2, got '$(field "$1" | head -3 | tr '\n' '|')'"
}
want_screen() {  # want_screen ROW...: the screen shows exactly these rows
  local expected actual
  expected=$(printf '%s\n' "$@")
  actual=$(screen)
  [ "$actual" == "$expected" ] || note "screen '$(echo "$actual" | tr '\n' '|')' instead of '$(echo "$expected" | tr '\n' '|')'"
}
no_box() { grep -q '^box\.' "$rep" && note "unexpected box '$(field box.text)'"; }

# ---- the executable -----------------------------------------------------------------------------
echo "== the executable"
# Read whole, not piped into grep -q: an early exit would end objdump by SIGPIPE under pipefail.
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
dlls=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | sort | tr '\n' ' ')
[ "$dlls" == "KERNEL32.dll SHELL32.dll USER32.dll " ] || note "imports: $dlls"
grep -q 'Subsystem.*Windows GUI' <<<"$headers" || note "not a GUI program"
x86_64-w64-mingw32-objdump -f "$exe" | grep -q 'x86-64' || note "not x86_64"
verdict "imports only kernel32, user32 and shell32; GUI subsystem, x86_64"

# The string table holds the templates of messages.cpp under the codes 1 to 27.
resources=$(x86_64-w64-mingw32-windres -i "$exe" -O rc 2>/dev/null)
templates=$(sed -n '/TEMPLATES\[/,/^};/p' "$root/src/messages/messages.cpp" | grep -o '"\(\\.\|[^"\\]\)*"' |
            sed 's/\\"/""/g')
[ "$(echo "$templates" | wc -l)" -eq 27 ] || note "found $(echo "$templates" | wc -l) templates in messages.cpp"
code=0
while IFS= read -r t; do
  code=$((code + 1))
  grep -Fxq -- "  $code, $t" <<<"$resources" || note "string $code is not $t"
done <<<"$templates"
grep -q '^101 14 /\* RT_GROUP_ICON \*/' <<<"$resources" || note "no icon group 101"
verdict "string table 1..27 holds the error templates; icon group 101"

# The version block and the zip carry the project's version.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
grep -Eq "^ FILEVERSION ${version//./, }, 0$" <<<"$resources" || note "no FILEVERSION $version"
grep -Fq "VALUE \"ProductVersion\", \"$version\"" <<<"$resources" || note "no ProductVersion $version"
(cd "$build" && cpack -G ZIP -B "$build/package" >/dev/null) || note "cpack failed"
zip=$(cmake -E tar tf "$build/package/kavo-$version-win64.zip" 2>/dev/null | sed 's|^[^/]*/||')
for f in kavo-win.exe README.md guide.md examples/modules/lib/text.kavo; do
  grep -Fxq "$f" <<<"$zip" || note "the zip lacks $f"
done
verdict "version $version in VERSIONINFO; kavo-$version-win64.zip holds program, README, guide, examples"

# ---- the Windows host layer ---------------------------------------------------------------------
echo "== the Windows host layer"
run hello 'main { writenl("Hello, world!") }'
want exit 0; want console 1; no_box; want_screen "Hello, world!"
verdict "hello world appears in the console window"

run silent 'main { set(_ "quiet") }'
want exit 0; want console 0; no_box
verdict "a program that writes nothing opens no console"

run missing ''
want exit 1; want console 0; want box.caption "[ kavo ] error"
want box.text 'Could not open or create file "main.kavo"'
verdict "a missing main.kavo is error 12 in a message box, exit code 1"

run compile_twice $'f { nl }\n\nf { nl }\nmain { f }'
want exit 1; want console 0; want box.caption "[ kavo ] error"
want box.text 'Function <f> already defined\nFile: main.kavo\nLine: 3'
mkdir -p "$work/t/compile_include"
printf 'main { writenl("x") }\n%% in lib.kavo the block is never closed\nhelper {\n  writenl("y")\n' \
  >"$work/t/compile_include/lib.kavo"
run compile_include $'include(lib)\nmain2 { }'
want exit 1; want box.caption "[ kavo ] error"
want box.text 'Unexpected end of file\nFile: lib.kavo\nLine: 5'
verdict "compile errors show the template, the file and the line"

run runtime_error 'main { write("before") set(x 1) writenl("after") }'
want exit 1; want console 1; want box.caption "[ kavo ] error"
want box.text 'There is no such variable <x> at this point of program'
want_screen "before"
verdict "a run-time error shows the filled-in template after the output so far"

long=$(printf 'v%.0s' $(seq 300))
run long_name "main { set($long 1) }"
want exit 1
text=$(field box.text)
[ ${#text} -eq 255 ] || note "message of ${#text} characters, not cut to 255"
[[ $text == "There is no such variable <vvvvvvvvvv"* ]] || note "message starts '${text:0:40}'"
[[ $text == *"v> at this point of program" ]] || note "message ends '${text: -40}'"
verdict "a message longer than 255 characters is cut inside its argument"

run runaway $'f(n) { f(n) nl }\nmain { f(1) }' --timeout 60000
want exit 1; want box.text "Recursion too deep: the program ran out of stack"
run deep $'down(n) { if eq(n 0) { return(0) } down(eval(n "-1")) }\nmain { down(200000) writenl("deep ok") }' \
  --timeout 60000
want exit 0; want_screen "deep ok"
verdict "deep recursion runs on the large stack; a runaway one is a fatal error"

run command_line 'main { writenl("<" command_line ">") }' --args 'alpha "b c"'
want exit 0
command=$(field command)
width=$(field size | cut -dx -f1)
joined=$(screen | awk -v w="$width" '{ rows[NR] = $0 } END { for (i = 1; i < NR; i++) printf "%-*s", w, rows[i]; printf "%s", rows[NR] }')
[ "$joined" == "<$command>" ] || note "command_line '$joined' instead of '<$command>'"
[[ $command == *'kavo-win.exe" alpha "b c"' ]] || note "driver command '$command'"
verdict "command_line holds the process command line"

read_program='main { var(s) write("name?") read(s) writenl("[" s "]") writenl(length(s)) writenl(eq(s eol)) }'
run read_words "$read_program" --keys 'a b\r' --wait-for 'name?'
want exit 0; want_screen "name?a b" "[a b]" "3" ""
run read_empty "$read_program" --keys '\r' --wait-for 'name?'
want exit 0; want_screen "name?" "[" "]" "2" "true"
verdict "read gives a whole line without CR LF, an empty line gives CR LF"

run readchar 'main { var(k) write("key?") readchar(k) writenl("[" k "]") }' --keys 'k' --wait-for 'key?' \
  --timeout 8000
want exit 0; want_screen "key?[k]"
verdict "readchar returns at the key press, without echo and without Enter"

run readchar_undeclared 'main { write("key?") readchar(nope) writenl("read") }' --timeout 6000
want exit 1
want box.text 'There is no such variable <nope> at this point of program'
verdict "readchar looks up its destination before it waits for a key"

assert_program=$'main {\n  writenl("start")\n  assert("yes" "not shown")\n  assert(eq(1 2) "boom " "here")\n  writenl("not reached")\n}'
run assert_fails "$assert_program" --keys 'x' --wait-for 'Press any key to exit...'
want exit 3; no_box
want_screen "start" "(!) --- Assertion failed ---" "boom here" "Press any key to exit..."
run assert_waits "$assert_program" --timeout 3000
grep -q '^note=.*timed out' "$rep" || note "a failed assert did not wait for a key"
verdict "a failed assert shows its message, waits for a key and ends with exit code 3"

run eqi 'main { writenl("[" eqi("HeLLo" "hEllO" "hello") "]") writenl("[" eqi("abc" "ABD") "]") writenl("[" eq("A" "a") "]") }'
want exit 0; want_screen "[true]" "[]" "[]"
verdict "eqi ignores letter case"

run get_time 'main { var(h m s ms d mo y) writenl(get_time(h m s ms d mo y)) writenl(h "," m "," s "," ms "," d "," mo "," y) writenl(get_time) }'
want exit 0
today=$(date +%d-%m-%Y)
mapfile -t rows < <(screen)
re='^([0-9]{2}):([0-9]{2}):([0-9]{2})\.([0-9]{3}) ([0-9]{2})-([0-9]{2})-([0-9]{4})$'
if [[ ${rows[0]-} =~ $re ]]; then
  fields=()
  for i in 1 2 3 4 5 6 7; do fields+=($((10#${BASH_REMATCH[$i]}))); done
  [ "${rows[1]-}" == "$(IFS=,; echo "${fields[*]}")" ] || note "variables '${rows[1]-}' disagree with '${rows[0]}'"
  [ "${rows[0]#* }" == "$today" ] || note "date '${rows[0]#* }' is not today, $today"
  [ "${fields[0]}" -le 23 ] && [ "${fields[1]}" -le 59 ] && [ "${fields[2]}" -le 59 ] || note "time out of range"
else
  note "time text '${rows[0]-}'"
fi
[[ ${rows[2]-} =~ ^-?[1-9][0-9]*$ ]] || note "tick count '${rows[2]-}'"
verdict "get_time fills seven variables and returns the formatted text; without them, the ticks"

sleep_program() { echo "main { var(a b) set(a get_time) sleep($1) set(b get_time) writenl(eval(b \"-\" a)) }"; }
run sleep300 "$(sleep_program 300)"
slept=$(screen | head -1)
[[ $slept =~ ^[0-9]+$ ]] && [ "$slept" -ge 284 ] && [ "$slept" -lt 5000 ] || note "sleep(300) took '$slept' ms"
[ "$(field elapsed_ms)" -ge 300 ] || note "the run took $(field elapsed_ms) ms"
run sleep0 "$(sleep_program 0)"
slept=$(screen | head -1)
[[ $slept =~ ^[0-9]+$ ]] && [ "$slept" -lt 250 ] || note "sleep(0) took '$slept' ms"
verdict "sleep(300) really waits"

run warning $'alpha { writenl("a") }\nbeta { }'
want exit 0; want console 0; want box.caption "KAVO: Run WARNING"
want box.text "WARNING: No 'main' function.\\nIf it's not a library then it's error.\\n\\n----- List of declared functions -----\\n\\nbeta, alpha, "
verdict "the missing-main warning box lists the functions"

run about 'main { kavo.about writenl("after") }'
want exit 0; want box.caption "About KAVO..."
[[ $(field box.text) == 'KAVO Core.\nBased on KAVO programming language v1.2.\n'* ]] || note "about text '$(field box.text | cut -c1-60)'"
want_screen "after"
verdict "kavo.about shows the about box"

run shell_missing 'main { writenl("[" shell("no-such-program-here.exe") "]") }'
want exit 0; no_box; want_screen "[]"
verdict "shell of a file that does not exist returns the empty atom"

# ---- golden cases -------------------------------------------------------------------------------
echo "== golden cases"
mapfile -t cases < <(cd "$root" && find tests/golden -name '*.kavo' | sort)
# tests/win/skips names each case kavo-win does not run, and why; the driver skips exactly those.
skips=$here/skips
mapfile -t listed < <(awk '!/^#/ && NF >= 2 { print $2 }' "$skips")
for c in "${listed[@]}"; do [ -f "$root/tests/golden/$c" ] || note "the skip list names $c, which does not exist"; done
eligible=$((${#cases[@]} - ${#listed[@]}))
winpaths=()
for c in "${cases[@]}"; do winpaths+=("$(winpath "$root/$c")"); done
mkdir -p "$work/golden"
if [ ${#cases[@]} -gt 0 ]; then
  timeout 1800 wine "$driver" golden "$exe" "$(winpath "$work/golden")" "$(winpath "$work/golden.rep")" \
    --skips "$(winpath "$skips")" "${winpaths[@]}" </dev/null >"$work/golden.log" 2>&1
fi
golden_passed=0
while IFS= read -r line; do
  case $line in
    PASS*) echo "$line"; passed=$((passed + 1)); golden_passed=$((golden_passed + 1)) ;;
    FAIL*) echo "$line"; failed=$((failed + 1)) ;;
    SKIP*) echo "$line"; reason=${line#SKIP *: }; reason=${reason%%:*}
           skipped=$((skipped + 1)); skipped_for[$reason]=$((${skipped_for[$reason]:-0} + 1)) ;;
  esac
done <"$work/golden.rep"
reported=$(grep -c '' "$work/golden.rep" 2>/dev/null || echo 0)
[ "$reported" -eq ${#cases[@]} ] || note "the driver reported $reported of ${#cases[@]} cases"
[ "$golden_passed" -eq "$eligible" ] || note "$golden_passed of $eligible eligible cases passed"
verdict "golden cases: $golden_passed of $eligible pass on Windows (all but the ${#listed[@]} of the skip list)"

# ---- controls: wrong expectations must be caught -------------------------------------------------
echo "== controls"
controls=("$here"/controls/*.kavo)
winpaths=()
for c in "${controls[@]}"; do winpaths+=("$(winpath "$c")"); done
mkdir -p "$work/controls"
timeout 300 wine "$driver" golden "$exe" "$(winpath "$work/controls")" "$(winpath "$work/controls.rep")" \
  "${winpaths[@]}" </dev/null >"$work/controls.log" 2>&1
rejected=$(grep -c '^FAIL ' "$work/controls.rep" 2>/dev/null || echo 0)
[ "$rejected" -eq ${#controls[@]} ] || note "$(grep -v '^FAIL ' "$work/controls.rep" | tr '\n' ' ')"
verdict "the driver rejects all ${#controls[@]} wrong expectations"

by_reason=
for reason in $(printf '%s\n' "${!skipped_for[@]}" | sort); do
  by_reason+="${by_reason:+, }${skipped_for[$reason]} $reason"
done
echo "$passed passed, $failed failed, $skipped skipped${by_reason:+ ($by_reason)}"
[ "$failed" -eq 0 ]
