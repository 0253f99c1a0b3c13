" Vim syntax file
" Language: kavo
" A definition is recognised where its name starts a line outside any bracket, or follows the
" closing brace of a body on the same line; if, else and with are coloured everywhere.
if exists("b:current_syntax")
  finish
endif
let s:cpo_save = &cpo
set cpo&vim

" An atom is a run of bytes other than the separators (1 to 32, comma, semicolon), brackets,
" comment characters and quotes, so dots, slashes and signs belong to names.
syn iskeyword 33,36,38,42-43,45-58,60-122,124,126-255
syn case match
" Quoted texts and # comments may span lines.
syn sync fromstart

" Everything is a match or a region, not a keyword: at the start of a line the definition and
" top-level rules, defined later, must win over a built-in of the same name.
syn cluster kavoCode contains=kavoComment,kavoString,kavoBlock,kavoParens,kavoBuiltin,kavoNumber,kavoConditional,kavoWith
syn region kavoBlock matchgroup=kavoBrace start=/{/ end=/}/ contains=@kavoCode transparent
syn region kavoParens matchgroup=kavoParen start=/(/ end=/)/ contains=@kavoCode transparent
syn match kavoBuiltin /\<\%(write\|writenl\|writeln\|nl\|eol\|read\|readchar\|trace\|notrace\|spy\)\>/
syn match kavoBuiltin /\<\%(eq\|eqi\|eqf\|at\|get_tag\|set_tag\|set\|var\|g_var\|new\|g_new\)\>/
syn match kavoBuiltin /\<\%(append\|concat\|left\|right\|middle\|length\|reverse\|head\|tail\|last\)\>/
syn match kavoBuiltin /\<\%(like\|not\|and\|or\|return\|assert\|null\|eval\|include\|call\|rnd\)\>/
syn match kavoBuiltin /\<\%(shell\|sleep\|kavo\.version\|kavo\.about\|get_time\|kavo\.number_of_atoms\)\>/
syn match kavoNumber /\<[-+]\=\%(0[xX]\x\+\|\d\+\)\>/

let s:special = '\%(\%(if\|else\|with\)\>\)\@!'
let s:after_body = '\%(}[ \t,;]*\)\@<='
exe 'syn match kavoDefinition /^' . s:special . '\k\+/'
exe 'syn match kavoDefinition /' . s:after_body . s:special . '\k\+/'
exe 'syn match kavoTopLevel /^\%(include\|var\|new\|do\)\>/'
exe 'syn match kavoTopLevel /' . s:after_body . '\%(include\|var\|new\|do\)\>/'
syn match kavoConditional /\<\%(if\|else\)\>/
syn match kavoWith /\<with\>/

syn region kavoString start=/"/ end=/"/
syn region kavoString start=/'/ end=/'/
syn match kavoComment /%.*/
syn region kavoComment start=/#/ end=/#/

hi def link kavoComment Comment
hi def link kavoString String
hi def link kavoNumber Number
hi def link kavoBuiltin Identifier
hi def link kavoDefinition Function
hi def link kavoConditional Conditional
hi def link kavoWith Keyword
hi def link kavoTopLevel PreProc

let b:current_syntax = "kavo"
let &cpo = s:cpo_save
unlet s:cpo_save
