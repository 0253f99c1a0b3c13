// Built-in registry: the standard atoms, the fifty handlers bound to the fifty-one built-in
// names, and the start-up function kavo.initialize. Every handler has the extern_handler
// form: `args` are the evaluated values (a fresh list the runner frees after the call),
// `raw_args` the call's own unevaluated cells (the compiled program's; never changed). The
// result is an atom; null reads as the empty atom. The globals are set once, by
// load_std_atoms, before anything is compiled.
#pragma once

#include "../core/atoms.h"
#include "../core/lists.h"

// JUST_ATOMS
extern atom_s *std_atom_null, *std_atom_true, *std_atom_main, *std_atom_mark, *std_atom_else,
    *std_atom_class, *std_atom_initialize, *std_atom_do, *std_atom_EOL, *std_atom_cmd_line,
    *std_atom_rnd_set;
// ALL_ATOMS
extern atom_s *std_atom_write, *std_atom_writenl, *std_atom_writeln, *std_atom_nl, *std_atom_eol,
    *std_atom_read, *std_atom_readchar, *std_atom_if, *std_atom_with, *std_atom_trace,
    *std_atom_notrace, *std_atom_spy, *std_atom_eq, *std_atom_eqi, *std_atom_eqf, *std_atom_at,
    *std_atom_gettag, *std_atom_settag, *std_atom_body, *std_atom_set, *std_atom_var,
    *std_atom_g_var, *std_atom_new, *std_atom_g_new, *std_atom_append, *std_atom_concat,
    *std_atom_left, *std_atom_right, *std_atom_middle, *std_atom_length, *std_atom_reverse,
    *std_atom_head, *std_atom_tail, *std_atom_last, *std_atom_like, *std_atom_not, *std_atom_and,
    *std_atom_or, *std_atom_return, *std_atom_assert, *std_atom_NULL, *std_atom_eval,
    *std_atom_include, *std_atom_call, *std_atom_rnd, *std_atom_shell, *std_atom_sleep,
    *std_atom_version, *std_atom_about, *std_atom_gettime, *std_atom_atom_num;

struct just_atom_row {
    atom_s** global;
    char const* name;
};
struct all_atom_row {
    atom_s** global;
    char const* name;
    extern_handler handler;
};
enum { JUST_ATOMS_COUNT = 11, ALL_ATOMS_COUNT = 51 };
// The language version, as the built-in `version` gives it and `kavo --version` shows it.
inline constexpr char LANGUAGE_VERSION[] = "2.0";
extern just_atom_row const JUST_ATOMS[JUST_ATOMS_COUNT];
extern all_atom_row const ALL_ATOMS[ALL_ATOMS_COUNT];

void load_std_atoms();
atom_s* register_extern(char const* name, extern_handler handler);
void set_init_var(atom_s* var, char const* text);
// The slot that receives a handler's result: the variable named by the first raw argument
// when there are more than `n` values (args and raw_args then move past it), else a discard slot.
atom_s** get_dest(list_s*& args, list_s*& raw_args, int n);
// The n-th value (from 0), or the empty atom when there are fewer values.
inline atom_s* arg_value(list_s* args, int n) {
    list_s* cell = list_get(args, n);
    return cell ? cell->atom : std_atom_null;
}

// The calls that `if` (by its condition) or `with` runs, and the name of the scope around
// them; the runner runs them itself where the block's value is its function's value.
list_s* control_block(atom_s* func, list_s* args, list_s* raw_args, atom_s*& scope_name);

#define KAVO_HANDLER(name) atom_s* name(list_s* args, list_s* raw_args)
// control and variables
KAVO_HANDLER(kavo_if); KAVO_HANDLER(kavo_with); KAVO_HANDLER(kavo_eq); KAVO_HANDLER(kavo_eqi);
KAVO_HANDLER(kavo_eqf); KAVO_HANDLER(kavo_not); KAVO_HANDLER(kavo_and); KAVO_HANDLER(kavo_or);
KAVO_HANDLER(kavo_var); KAVO_HANDLER(kavo_g_var); KAVO_HANDLER(kavo_set); KAVO_HANDLER(kavo_new);
KAVO_HANDLER(kavo_g_new); KAVO_HANDLER(kavo_null); KAVO_HANDLER(kavo_return);
KAVO_HANDLER(kavo_assert); KAVO_HANDLER(kavo_call); KAVO_HANDLER(kavo_body);
// strings
KAVO_HANDLER(kavo_concat); KAVO_HANDLER(kavo_append); KAVO_HANDLER(kavo_left);
KAVO_HANDLER(kavo_right); KAVO_HANDLER(kavo_middle); KAVO_HANDLER(kavo_at);
KAVO_HANDLER(kavo_like); KAVO_HANDLER(kavo_length); KAVO_HANDLER(kavo_reverse);
KAVO_HANDLER(kavo_head); KAVO_HANDLER(kavo_tail); KAVO_HANDLER(kavo_last);
// I/O and system
KAVO_HANDLER(kavo_write); KAVO_HANDLER(kavo_writenl); KAVO_HANDLER(kavo_nl);
KAVO_HANDLER(kavo_eol); KAVO_HANDLER(kavo_read); KAVO_HANDLER(kavo_readchar);
KAVO_HANDLER(kavo_include); KAVO_HANDLER(kavo_about); KAVO_HANDLER(kavo_version);
KAVO_HANDLER(kavo_atom_num); KAVO_HANDLER(kavo_gettime); KAVO_HANDLER(kavo_rnd);
KAVO_HANDLER(kavo_shell); KAVO_HANDLER(kavo_sleep); KAVO_HANDLER(kavo_gettag);
KAVO_HANDLER(kavo_settag);
// trace mode and the evaluator
KAVO_HANDLER(kavo_trace); KAVO_HANDLER(kavo_notrace); KAVO_HANDLER(kavo_spy);
KAVO_HANDLER(kavo_eval);
#undef KAVO_HANDLER
