" Opens kavo files with the syntax and file-type files of editors/vim and checks the syntax
" groups at the places listed in expected.txt; writes the failures and a count to $KAVO_REPORT.
" Run in Ex mode, with the source folder in $KAVO_ROOT and editors/vim first in 'runtimepath':
"   vim -Es -u NONE -i NONE -N --cmd 'set rtp^=ROOT/editors/vim' -c 'filetype on' \
"       -c 'syntax on' -S vim.vim
let s:root = $KAVO_ROOT
let s:failures = []
let s:checks = 0
set hidden
for s:row in readfile(s:root . '/tests/editors/expected.txt')
  let s:m = matchlist(s:row, '^\(\S\+\) \(\d\+\) \(\S\+\) \(.\+\)$')
  if empty(s:m) || s:row =~# '^#'
    continue
  endif
  let [s:file, s:lnum, s:kind, s:text] = [s:m[1], str2nr(s:m[2]), s:m[3], s:m[4]]
  let s:checks += 1
  " Each file is read once: a buffer reloaded in Ex mode can report stale groups.
  if bufname('%') !=# s:root . '/' . s:file
    execute 'silent edit ' . fnameescape(s:root . '/' . s:file)
  endif
  if &filetype !=# 'kavo'
    call add(s:failures, s:file . ': file type "' . &filetype . '", not kavo')
    continue
  endif
  let s:parts = split(s:text, '`', 1)
  let s:at = stridx(getline(s:lnum), join(s:parts, ''))
  if s:at < 0
    call add(s:failures, printf("%s:%d: no '%s' on this line", s:file, s:lnum, join(s:parts, '')))
    continue
  endif
  let [s:start, s:target] = len(s:parts) == 3 ? [s:at + len(s:parts[0]), s:parts[1]] : [s:at, s:text]
  let s:want = s:kind ==# 'plain' ? '' : 'kavo' . s:kind
  for s:col in range(s:start + 1, s:start + len(s:target))
    let s:got = synIDattr(synID(s:lnum, s:col, 1), 'name')
    if s:got !=# s:want
      call add(s:failures, printf("%s:%d: '%s' is not %s at column %d: %s", s:file, s:lnum,
            \ s:target, s:kind, s:col, s:got ==# '' ? 'no group' : s:got))
      break
    endif
  endfor
endfor
call writefile(s:failures + [printf('%d checks, %d failed', s:checks, len(s:failures))], $KAVO_REPORT)
if empty(s:failures) && s:checks > 0
  qall!
endif
cquit!
