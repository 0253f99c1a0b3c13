" kavo source files
autocmd BufRead,BufNewFile *.kavo setfiletype kavo
