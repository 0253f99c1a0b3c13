// String built-ins: every result is a new interned atom; no atom's text ever changes.
// Counts and positions are read with s2i, and positions count bytes from 0.
#include "../core/scopes.h"
#include "../host/host.h"
#include "registry.h"

atom_s* kavo_concat(list_s* args, list_s*) {
    // Joined on the stack when short: an existing atom then costs no allocation at all.
    // The total is counted in 64 bits; reserve() refuses one past the longest text.
    long long n = 0;
    for (list_s* v = args; v; v = v->next) n += v->atom->length;
    if (n < 256) {
        char text[256];
        int at = 0;
        for (list_s* v = args; v; v = v->next) {
            text_copy(text + at, v->atom->data, v->atom->length);
            at += v->atom->length;
        }
        return atoms_add(text, at);
    }
    str_s text;
    text.init().reserve(n);
    for (list_s* v = args; v; v = v->next) text.concat(v->atom);
    return atoms_add(&text);
}

atom_s* kavo_append(list_s* args, list_s* raw_args) {
    atom_s* joined = kavo_concat(args ? args->next : nullptr, nullptr);
    if (!raw_args) return joined;
    return *current_scope->var_value(raw_args->atom) = joined;
}

// left and right: keep the first or the last `count` bytes. A negative count takes nothing.
static atom_s* cut(list_s* args, list_s* raw_args, str_s& (str_s::*keep)(int)) {
    atom_s** dest = get_dest(args, raw_args, 2);
    str_s text;
    text.init(*arg_value(args, 1));
    int count = s2i(arg_value(args, 0)->data);
    (text.*keep)(count < 0 ? 0 : count);
    return *dest = atoms_add(&text);
}

atom_s* kavo_left(list_s* args, list_s* raw_args) { return cut(args, raw_args, &str_s::left); }

atom_s* kavo_right(list_s* args, list_s* raw_args) { return cut(args, raw_args, &str_s::right); }

// The piece is the window [start, start + count) of the text; the parts of the window that lie
// before or after the text hold nothing, so middle(-1, 3, "abc") is "ab".
atom_s* kavo_middle(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 3);
    atom_s* s = arg_value(args, 2);
    long long start = s2i(arg_value(args, 0)->data);
    long long end = start + s2i(arg_value(args, 1)->data);
    if (start < 0) start = 0;
    if (end > s->length) end = s->length;
    if (start >= end) return *dest = std_atom_null;
    str_s text;
    text.init(*s);
    str_middle(text.data, s->data, (int)start, (int)(end - start));
    atom_s* piece = atoms_add(text.data);
    text.free();
    return *dest = piece;
}

atom_s* kavo_at(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 2);
    return *dest = atoms_add((char)arg_value(args, 1)->at(arg_value(args, 0)->to_int()));
}

atom_s* kavo_like(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 2);
    int match = str_like(arg_value(args, 1)->data, arg_value(args, 0)->data);
    return *dest = match ? std_atom_true : std_atom_null;
}

atom_s* kavo_length(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 1);
    return *dest = atoms_add(arg_value(args, 0)->length);
}

atom_s* kavo_reverse(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 1);
    str_s text;
    text.init(*arg_value(args, 0));
    text.reverse();
    return *dest = atoms_add(&text);
}

atom_s* kavo_head(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 1);
    return *dest = atoms_add((char)arg_value(args, 0)->head());
}

atom_s* kavo_tail(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 1);
    atom_s* s = arg_value(args, 0);
    return *dest = s->length ? atoms_add(s->tail()) : std_atom_null;
}

atom_s* kavo_last(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 1);
    return *dest = atoms_add((char)arg_value(args, 0)->last());
}
