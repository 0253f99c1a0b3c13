// The source reader.
#include "reader.h"

#include "builder.h"

compile_scope_s* ccs;

compile_scope_s::compile_scope_s()
    : file(0), eof(0), has_next_atom(0), next_char(0), line(1), held(NO_BYTE), atom_line(1),
      next_atom_line(1), outer(ccs) {
    next_atom.init();
    name[0] = 0;
    ccs = this;
}

void compile_scope_s::done() {
    ccs = outer;
    next_atom.free();
}

// A plain atom is ended by reading the byte after it. Where that byte is the CR of a CR LF
// pair, the line must already count, as it does where the LF alone ends the atom: so the byte
// after every CR is read at once, counted if it is an LF, and held for the next read.
static int read_byte() {
    int c = ccs->held;
    if (c != NO_BYTE) {
        ccs->held = NO_BYTE;
    } else {
        c = file_io_get_char(ccs->file);
        if (c == 10) ccs->line++;
    }
    if (c == 13) {
        ccs->held = file_io_get_char(ccs->file);
        if (ccs->held == 10) ccs->line++;
    }
    return c;
}

int engine_read_char() {
    if (ccs->next_char) {
        int c = ccs->next_char;
        ccs->next_char = 0;
        return c;
    }
    int c = read_byte();
    if (c == -1) {
        ccs->eof++;
        return 0;
    }
    return c;
}

int is_sep(int c) { return (c >= 1 && c <= 32) || c == ',' || c == ';'; }

static int ends_plain(int c) {
    return is_sep(c) || c == '(' || c == ')' || c == '{' || c == '}' || c == '#' || c == '%' ||
           c == '"' || c == '\'';
}

char* engine_read_atom(str_s& atom, int required) {
    if (ccs->has_next_atom) {
        ccs->has_next_atom = 0;
        ccs->atom_line = ccs->next_atom_line;
        atom.copy(&ccs->next_atom);
    } else {
        atom.empty();
        int c = engine_read_char();
        for (;;) {
            while (!ccs->eof && is_sep(c)) c = engine_read_char();
            if (ccs->eof) break;
            ccs->atom_line = ccs->line;
            if (c == '%') {
                while (!ccs->eof && c != 10 && c != 13) c = engine_read_char();
                continue;
            }
            if (c == '#') {
                do c = engine_read_char();
                while (c != '#' && !ccs->eof);
                c = engine_read_char();
                continue;
            }
            if (c == '"' || c == '\'') {
                int quote = c;
                for (;;) {
                    c = engine_read_char();
                    if (ccs->eof || c == quote) break;
                    atom.append((char)c);
                }
            } else if (c == '(' || c == ')' || c == '{' || c == '}') {
                atom.append((char)c);
            } else {
                while (!ccs->eof && !ends_plain(c)) {
                    atom.append((char)c);
                    c = engine_read_char();
                }
                if (!ccs->eof && !is_sep(c)) ccs->next_char = c;
            }
            break;
        }
    }
    S_Error(required && ccs->eof && atom.length == 0, 20);
    engine_event("atom", atom);
    return atom.data;
}

char* engine_set_next_atom(char const* text) {
    ccs->next_atom_line = ccs->atom_line;
    ccs->next_atom.copy(text);
    ccs->has_next_atom++;
    return (char*)text;
}

char* engine_set_next_atom(str_s& atom) {
    ccs->next_atom_line = ccs->atom_line;
    ccs->next_atom.copy(&atom);
    ccs->has_next_atom++;
    return atom.data;
}

void S_Error(int cond, int code, ...) {
    if (!cond) return;
    va_list ap;
    va_start(ap, code);
    host_fatal_code(code, ccs->name, ccs->line, ap);
}

void engine_event(char const* event, str_s& atom) { engine_event(event, atom.data); }
