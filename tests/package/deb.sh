#!/usr/bin/env bash
# The Debian package: cpack makes kavo_<version>_amd64.deb from this build, dpkg-deb unpacks
# it into a temporary root, and there its kavo runs an installed example, its man page renders
# without warnings, the documents and editor files are in place, and lintian finds no errors.
#   deb.sh BUILD_DIR VERSION       exit code 77 (skipped) when a tool is not installed
set -uo pipefail
build=$1 version=$2
missing=()
for tool in cpack dpkg-deb dpkg-shlibdeps lintian man groff; do
  command -v $tool >/dev/null || missing+=($tool)
done
[ ${#missing[@]} -eq 0 ] || { echo "not installed: ${missing[*]}"; exit 77; }

work=$(mktemp -d /tmp/kavo-deb.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "PASS $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$work/out/kavo_${version}_amd64.deb
[ -f "$deb" ] || { echo "no kavo_${version}_amd64.deb in:"; ls "$work/out"; exit 1; }
dpkg-deb -f "$deb" Package Version Section Maintainer Depends Description | head -4
fields=$(dpkg-deb -f "$deb" Section Maintainer Depends Description | grep -c '^[A-Z][a-z]*: .')
check "Section, Maintainer, Depends and Description are filled in" [ "$fields" -eq 4 ]
check "the dependencies are computed: libc6 with a version" \
  grep -Eq 'libc6 \(>= [0-9.]+\)' <<<"$(dpkg-deb -f "$deb" Depends)"

root=$work/root
dpkg-deb -x "$deb" "$root"
# The examples folder is read-only once installed; the program runs in a copy of it.
cp -r "$root/usr/share/doc/kavo/examples/modules" "$work/modules"
out=$(cd "$work/modules" && "$root/usr/bin/kavo" </dev/null | tr -d '\r')
check "the unpacked kavo runs the modules example" grep -q '^Primes below 50: 2 3 5 7 11' <<<"$out"

man=$root/usr/share/man/man1/kavo.1.gz
check "the man page is there and names version $version" grep -q "kavo $version" <(zcat "$man")
check "man -l renders it without warnings" \
  [ -z "$(MANWIDTH=80 man --warnings -l "$man" 2>&1 >/dev/null)" ]
check "groff -man -ww renders it without warnings" [ -z "$(zcat "$man" | groff -man -ww -z 2>&1)" ]

files=(usr/share/doc/kavo/guide.md usr/share/doc/kavo/errors.md usr/share/doc/kavo/copyright
       usr/share/vim/vimfiles/syntax/kavo.vim usr/share/vim/vimfiles/ftdetect/kavo.vim
       usr/share/kavo/editors/vscode/syntaxes/kavo.tmLanguage.json
       usr/share/kavo/editors/vscode/language-configuration.json)
absent=$(for f in "${files[@]}"; do [ -f "$root/$f" ] || echo "$f"; done)
check "documents and editor files are in place${absent:+ (missing: $absent)}" [ -z "$absent" ]
check "the VS Code manifest carries version $version" \
  grep -q "\"version\": \"$version\"" "$root/usr/share/kavo/editors/vscode/package.json"

lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
errors=$(grep '^E: ' "$work/lintian.log")
check "lintian reports no errors${errors:+:$'\n'$errors}" [ -z "$errors" ]
echo "$failures failed"
[ "$failures" -eq 0 ]
