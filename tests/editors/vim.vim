" Opens kavo files with the syntax and file-type files of editors/vim and checks the syntax
" groups at the places listed in expected.txt; prints the failures and a count. Run in Ex
" mode, the source folder in $KAVO_ROOT and its editors/vim first in 'runtimepath'.
let [s:failures, s:checks] = [[], 0]
set hidden
for s:row in readfile($KAVO_ROOT . '/tests/editors/expected.txt')
  let [s:all, s:file, s:lnum, s:kind, s:text; s:rest] = matchlist(s:row, '^\(\S\+\) \(\d\+\) \(\S\+\) \(.\+\)$') + repeat([''], 10)
  if s:all ==# '' || s:row =~# '^#'
    continue
  endif
  let s:checks += 1
  " Each file is read once: a buffer reloaded in Ex mode can report stale groups.
  if bufname('%') !=# $KAVO_ROOT . '/' . s:file
    execute 'silent edit ' . fnameescape($KAVO_ROOT . '/' . s:file)
  endif
  let s:parts = split(s:text, '`', 1)
  let s:at = stridx(getline(s:lnum), join(s:parts, ''))
  let [s:start, s:target] = len(s:parts) == 3 ? [s:at + len(s:parts[0]), s:parts[1]] : [s:at, s:text]
  let s:want = s:kind ==# 'plain' ? '' : 'kavo' . s:kind
  for s:col in range(s:start + 1, s:start + len(s:target))
    let s:got = s:at < 0 ? 'not found' : &filetype !=# 'kavo' ? 'file type ' . &filetype
          \ : synIDattr(synID(s:lnum, s:col, 1), 'name')
    if s:got !=# s:want
      call add(s:failures, printf("%s:%d: '%s' is not %s: %s", s:file, s:lnum, s:target, s:kind, s:got))
      break
    endif
  endfor
endfor
enew
call setline(1, s:failures + [printf('%d checks, %d failed', s:checks, len(s:failures))])
%print
execute empty(s:failures) && s:checks > 0 ? 'qall!' : 'cquit!'
