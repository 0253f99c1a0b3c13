// The registry tables and start-up function.
#include "registry.h"

#include "../core/scopes.h"
#include "../host/host.h"

atom_s *std_atom_null, *std_atom_true, *std_atom_main, *std_atom_mark, *std_atom_else,
    *std_atom_class, *std_atom_initialize, *std_atom_do, *std_atom_EOL, *std_atom_cmd_line,
    *std_atom_rnd_set;
atom_s *std_atom_write, *std_atom_writenl, *std_atom_writeln, *std_atom_nl, *std_atom_eol,
    *std_atom_read, *std_atom_readchar, *std_atom_if, *std_atom_with, *std_atom_trace,
    *std_atom_notrace, *std_atom_spy, *std_atom_eq, *std_atom_eqi, *std_atom_eqf, *std_atom_at,
    *std_atom_gettag, *std_atom_settag, *std_atom_body, *std_atom_set, *std_atom_var,
    *std_atom_g_var, *std_atom_new, *std_atom_g_new, *std_atom_append, *std_atom_concat,
    *std_atom_left, *std_atom_right, *std_atom_middle, *std_atom_length, *std_atom_reverse,
    *std_atom_head, *std_atom_tail, *std_atom_last, *std_atom_like, *std_atom_not, *std_atom_and,
    *std_atom_or, *std_atom_return, *std_atom_assert, *std_atom_NULL, *std_atom_eval,
    *std_atom_include, *std_atom_call, *std_atom_rnd, *std_atom_shell, *std_atom_sleep,
    *std_atom_version, *std_atom_about, *std_atom_gettime, *std_atom_atom_num;

// The two internal names hold both quote characters, so no source text can spell them.
static char const MARK_NAME[] = {'"', '\'', 1, '\'', '"', 0};
static char const BODY_NAME[] = {'"', '\'', 2, '\'', '"', 0};

just_atom_row const JUST_ATOMS[JUST_ATOMS_COUNT] = {
    {&std_atom_null, ""},
    {&std_atom_true, "true"},
    {&std_atom_main, "main"},
    {&std_atom_mark, MARK_NAME},
    {&std_atom_else, "else"},
    {&std_atom_class, "class"},
    {&std_atom_initialize, "kavo.initialize"},
    {&std_atom_do, "do"},
    {&std_atom_EOL, "\r\n"},
    {&std_atom_cmd_line, "command_line"},
    {&std_atom_rnd_set, "rnd.symbols"},
};

all_atom_row const ALL_ATOMS[ALL_ATOMS_COUNT] = {
    {&std_atom_write, "write", kavo_write},
    {&std_atom_writenl, "writenl", kavo_writenl},
    {&std_atom_writeln, "writeln", kavo_writenl},
    {&std_atom_nl, "nl", kavo_nl},
    {&std_atom_eol, "eol", kavo_eol},
    {&std_atom_read, "read", kavo_read},
    {&std_atom_readchar, "readchar", kavo_readchar},
    {&std_atom_if, "if", kavo_if},
    {&std_atom_with, "with", kavo_with},
    {&std_atom_trace, "trace", kavo_trace},
    {&std_atom_notrace, "notrace", kavo_notrace},
    {&std_atom_spy, "spy", kavo_spy},
    {&std_atom_eq, "eq", kavo_eq},
    {&std_atom_eqi, "eqi", kavo_eqi},
    {&std_atom_eqf, "eqf", kavo_eqf},
    {&std_atom_at, "at", kavo_at},
    {&std_atom_gettag, "get_tag", kavo_gettag},
    {&std_atom_settag, "set_tag", kavo_settag},
    {&std_atom_body, BODY_NAME, kavo_body},
    {&std_atom_set, "set", kavo_set},
    {&std_atom_var, "var", kavo_var},
    {&std_atom_g_var, "g_var", kavo_g_var},
    {&std_atom_new, "new", kavo_new},
    {&std_atom_g_new, "g_new", kavo_g_new},
    {&std_atom_append, "append", kavo_append},
    {&std_atom_concat, "concat", kavo_concat},
    {&std_atom_left, "left", kavo_left},
    {&std_atom_right, "right", kavo_right},
    {&std_atom_middle, "middle", kavo_middle},
    {&std_atom_length, "length", kavo_length},
    {&std_atom_reverse, "reverse", kavo_reverse},
    {&std_atom_head, "head", kavo_head},
    {&std_atom_tail, "tail", kavo_tail},
    {&std_atom_last, "last", kavo_last},
    {&std_atom_like, "like", kavo_like},
    {&std_atom_not, "not", kavo_not},
    {&std_atom_and, "and", kavo_and},
    {&std_atom_or, "or", kavo_or},
    {&std_atom_return, "return", kavo_return},
    {&std_atom_assert, "assert", kavo_assert},
    {&std_atom_NULL, "null", kavo_null},
    {&std_atom_eval, "eval", kavo_eval},
    {&std_atom_include, "include", kavo_include},
    {&std_atom_call, "call", kavo_call},
    {&std_atom_rnd, "rnd", kavo_rnd},
    {&std_atom_shell, "shell", kavo_shell},
    {&std_atom_sleep, "sleep", kavo_sleep},
    {&std_atom_version, "kavo.version", kavo_version},
    {&std_atom_about, "kavo.about", kavo_about},
    {&std_atom_gettime, "get_time", kavo_gettime},
    {&std_atom_atom_num, "kavo.number_of_atoms", kavo_atom_num},
};

atom_s* register_extern(char const* name, extern_handler handler) {
    atom_s* a = atoms_add(name);
    a->set_flag(AI_EXTERN | AI_FUNCTION);
    a->handler = handler;
    return a;
}

void set_init_var(atom_s* var, char const* text) {
    list_s* call = list_add(&std_atom_initialize->body, std_atom_set);
    list_add(&call->sub, var);
    list_add(&call->sub, text);
}

void load_std_atoms() {
    for (auto& row : JUST_ATOMS) *row.global = atoms_add(row.name);
    for (auto& row : ALL_ATOMS) *row.global = register_extern(row.name, row.handler);
    std_atom_initialize->set_flag(AI_FUNCTION);
    // The g_var call must stay first: top-level `var` names are pushed onto its arguments.
    list_s* declare = list_add(&std_atom_initialize->body, std_atom_g_var);
    list_push(&declare->sub, std_atom_cmd_line);
    list_push(&declare->sub, std_atom_rnd_set);
    list_push(&declare->sub, atoms_add("_"));
    set_init_var(std_atom_cmd_line, host_command_line());
    set_init_var(std_atom_rnd_set, "0123456789");
}

static atom_s* discard;

atom_s** get_dest(list_s*& args, list_s*& raw_args, int n) {
    // More than n values: count no further than n + 1.
    list_s* v = args;
    for (int i = 0; i < n && v; i++) v = v->next;
    if (!v) return &discard;
    atom_s* name = raw_args->atom;
    args = args->next;
    raw_args = raw_args->next;
    return current_scope->var_value(name);
}
