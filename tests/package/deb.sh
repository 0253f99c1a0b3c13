#!/usr/bin/env bash
# The Debian package: cpack makes kavo_<version>_amd64.deb from this build, dpkg-deb unpacks
# it into a temporary root, and there its kavo runs an installed example, its man page renders
# without warnings, the documents and editor files are in place, and lintian finds no errors.
#   deb.sh BUILD_DIR VERSION       exit code 77 (skipped) when a tool is not installed
set -uo pipefail
build=$1 version=$2
for tool in cpack dpkg-deb dpkg-shlibdeps lintian man groff; do
  command -v $tool >/dev/null || { echo "$tool is not installed"; exit 77; }
done
work=$(mktemp -d /tmp/kavo-deb.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "PASS $1"; return; fi
  echo "FAIL $1"; failures=$((failures + 1)); return 1
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$work/kavo_${version}_amd64.deb
check "cpack made kavo_${version}_amd64.deb" [ -f "$deb" ] || exit 1
dpkg-deb -f "$deb" Section Maintainer Depends Description | head -4
check "section, maintainer, depends and description are filled in" \
  [ "$(dpkg-deb -f "$deb" Section Maintainer Depends Description | grep -c '^[A-Z][a-z]*: .')" -eq 4 ]
check "the dependencies are computed: libc6 with a version" \
  grep -Eq 'libc6 \(>= [0-9.]+\)' <<<"$(dpkg-deb -f "$deb" Depends)"

root=$work/root
dpkg-deb -x "$deb" "$root"
check "the unpacked kavo runs the installed modules example" grep -q '^Primes below 50: 2 3 5 7 11' \
  <("$root/usr/bin/kavo" "$root/usr/share/doc/kavo/examples/modules" </dev/null)
check "kavo --version shows $version" grep -q "^kavo $version " <("$root/usr/bin/kavo" --version)
man=$root/usr/share/man/man1/kavo.1.gz
check "the man page is there and names version $version" grep -q "kavo $version" <(zcat "$man")
check "man -l renders it without warnings" [ -z "$(man --warnings -l "$man" 2>&1 >/dev/null)" ]
check "groff -man -ww renders it without warnings" [ -z "$(zcat "$man" | groff -man -ww -z 2>&1)" ]
check "the documents and editor files are there" ls "$root"/usr/share/doc/kavo/{guide,errors}.md \
  "$root"/usr/share/vim/vimfiles/{syntax,ftdetect}/kavo.vim "$root"/usr/share/kavo/editors/vscode/syntaxes
check "the VS Code manifest carries version $version" \
  grep -q "\"version\": \"$version\"" "$root/usr/share/kavo/editors/vscode/package.json"
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
check "lintian reports no errors" [ -z "$(grep '^E: ' "$work/lintian.log")" ] || cat "$work/lintian.log"
echo "$failures failed"
[ "$failures" -eq 0 ]
