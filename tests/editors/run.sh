#!/usr/bin/env bash
# The editor tests: the Vim syntax file (in Ex mode, through synIDattr) or the TextMate grammar
# (through vscode-textmate and vscode-oniguruma under node) highlights the examples and
# sample.kavo, and the groups or scopes at the places of expected.txt are checked.
#   run.sh vim|textmate SOURCE_DIR WORK_DIR     exit code 77 (skipped) when a tool is missing
set -uo pipefail
editor=$1 root=$(cd "$2" && pwd) work=$(mkdir -p "$3" && cd "$3" && pwd)
here=$root/tests/editors
case $editor in
vim)
  vim --version 2>/dev/null | grep -q '+syntax' || { echo "no vim with syntax highlighting"; exit 77; }
  rm -f "$work/vim.report"
  KAVO_ROOT=$root KAVO_REPORT=$work/vim.report \
    vim -Es -u NONE -i NONE -N --cmd "set rtp^=$root/editors/vim" -c 'filetype on' \
        -c 'syntax on' -S "$here/vim.vim" </dev/null >/dev/null 2>&1
  rc=$?
  cat "$work/vim.report" 2>/dev/null || { echo "vim wrote no report"; exit 1; }
  exit $rc
  ;;
textmate)
  command -v node >/dev/null && command -v npm >/dev/null || { echo "node or npm is missing"; exit 77; }
  # The packages of the lock file, installed once per build folder.
  if ! cmp -s "$here/package-lock.json" "$work/package-lock.json"; then
    cp "$here/package.json" "$here/package-lock.json" "$work/" &&
      (cd "$work" && npm ci --no-audit --no-fund --loglevel=error) ||
      { rm -f "$work/package-lock.json"; echo "npm ci failed"; exit 1; }
  fi
  exec node "$here/textmate.js" "$root" "$work/node_modules"
  ;;
esac
echo "usage: run.sh vim|textmate SOURCE_DIR WORK_DIR"
exit 2
