// String built-ins: every result is a new interned atom; no atom's text ever changes.
// Counts and positions are read with s2i, and positions count bytes from 0.
#include "../core/scopes.h"
#include "../host/host.h"
#include "registry.h"

atom_s* kavo_concat(list_s* args, list_s*) { return atoms_join(args); }

atom_s* kavo_append(list_s* args, list_s* raw_args) {
    atom_s* joined = atoms_join(args ? args->next : nullptr);
    if (!raw_args) return joined;
    return *current_scope->var_value(raw_args->atom) = joined;
}

// The cuts share the bytes of the text they come from (atoms_cut). A count below 0 takes
// nothing.
static int count_of(list_s* args, int n) {
    int count = s2i(arg_value(args, n)->c_str());
    return count < 0 ? 0 : count;
}

atom_s* kavo_left(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 2);
    atom_s* s = arg_value(args, 1);
    int count = count_of(args, 0);
    return *dest = atoms_cut(s, 0, count < s->length ? count : s->length);
}

atom_s* kavo_right(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 2);
    atom_s* s = arg_value(args, 1);
    int count = count_of(args, 0);
    if (count > s->length) count = s->length;
    return *dest = atoms_cut(s, s->length - count, count);
}

// The piece is the window [start, start + count) of the text; the parts of the window that lie
// before or after the text hold nothing, so middle(-1, 3, "abc") is "ab".
atom_s* kavo_middle(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 3);
    atom_s* s = arg_value(args, 2);
    long long start = s2i(arg_value(args, 0)->c_str());
    long long end = start + s2i(arg_value(args, 1)->c_str());
    if (start < 0) start = 0;
    if (end > s->length) end = s->length;
    if (start >= end) return *dest = std_atom_null;
    return *dest = atoms_cut(s, (int)start, (int)(end - start));
}

atom_s* kavo_at(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 2);
    return *dest = atoms_add((char)arg_value(args, 1)->at(s2i(arg_value(args, 0)->c_str())));
}

atom_s* kavo_like(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 2);
    int match = str_like(arg_value(args, 1)->c_str(), arg_value(args, 0)->c_str());
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
    return *dest = s->length ? atoms_cut(s, 1, s->length - 1) : std_atom_null;
}

atom_s* kavo_last(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 1);
    return *dest = atoms_add((char)arg_value(args, 0)->last());
}
