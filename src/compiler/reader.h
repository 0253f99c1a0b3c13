// Source reader: turns the bytes of one source file into atoms for the parser, announcing
// each one to the builder as an "atom" event. All reading state of a file lives in its
// compile scope; `ccs` is the file being read now, and scopes nest through `outer` while an
// included file is compiled. One atom can be pushed back, and one character is read ahead.
// Compile-time errors (S_Error) name the file and line of the current scope. Only line feeds
// count lines, and a CR LF pair counts at its CR, so a file with CR LF line ends reports the
// same lines as the same file with LF alone.
#pragma once

#include "../core/str.h"
#include "../host/host.h"

enum { FILE_NAME_MAX = 260, NO_BYTE = -2 };

struct compile_scope_s {
    file_handle file;
    int eof;             // reads that hit the end; non-zero once the end is reached
    int has_next_atom;   // a pushed-back atom is waiting in next_atom
    str_s next_atom;
    int next_char;       // a character given back, 0 for none
    int line;
    int held;            // the file byte after a CR, read at once; NO_BYTE for none
    int atom_line;       // the line on which the atom delivered last begins
    int next_atom_line;  // the same for the pushed-back atom
    char name[FILE_NAME_MAX];
    compile_scope_s* outer;

    compile_scope_s();
    void done();
};

extern compile_scope_s* ccs;

int engine_read_char();
int is_sep(int c);
char* engine_read_atom(str_s& atom, int required);
char* engine_set_next_atom(char const* text);
char* engine_set_next_atom(str_s& atom);
void S_Error(int cond, int code, ...);
void engine_event(char const* event, str_s& atom);
