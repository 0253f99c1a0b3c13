// Control and variable built-ins. Arguments arrive evaluated, so and/or/assert never
// short-circuit; the blocks of if and with arrive as cells of the block atom, which these
// handlers run themselves from raw_args.
#include "../compiler/after_compile.h"
#include "../core/scopes.h"
#include "../host/host.h"
#include "../messages/messages.h"
#include "../runtime/runner.h"
#include "registry.h"

// The calls of a block cell (null when the cell is missing or is no block).
static list_s* block_calls(list_s* raw_args, int n) {
    list_s* cell = list_get(raw_args, n);
    return cell ? cell->sub : nullptr;
}

// ---- blocks -----------------------------------------------------------------------------------

// The calls an `if` runs: its first block when the test holds, else its `else` block.
static list_s* if_block(list_s* args, list_s* raw_args) {
    return block_calls(raw_args, arg_value(args, 0) != std_atom_null ? 1 : 2);
}

// Kept out of line: inlined into the runner's loop, it made every call there dearer.
__attribute__((noinline)) list_s* control_block(atom_s* func, list_s* args, list_s* raw_args,
                                                atom_s*& scope_name) {
    if (func == std_atom_with) {
        scope_name = arg_value(args, 0);
        return block_calls(raw_args, 1);
    }
    scope_name = std_atom_null;
    return if_block(args, raw_args);
}

static atom_s* run_block(list_s* calls, atom_s* scope_name) {
    scope_s block(&current_scope, scope_name, 0);
    atom_s* result = engine_run_func(calls, 0, 1);
    block.done();
    return result;
}

atom_s* kavo_if(list_s* args, list_s* raw_args) {
    list_s* calls = if_block(args, raw_args);
    if (!calls) return std_atom_null;  // nothing runs, so no scope is needed
    return run_block(calls, std_atom_null);
}

atom_s* kavo_with(list_s* args, list_s* raw_args) {
    atom_s* scope_name;
    list_s* calls = control_block(std_atom_with, args, raw_args, scope_name);
    return run_block(calls, scope_name);
}

atom_s* kavo_body(list_s*, list_s*) { return std_atom_null; }

// ---- comparisons and logic --------------------------------------------------------------------

atom_s* kavo_eq(list_s* args, list_s*) {
    for (list_s* v = args; v && v->next; v = v->next)
        if (v->atom != v->next->atom) return std_atom_null;
    return std_atom_true;
}

atom_s* kavo_eqi(list_s* args, list_s*) {
    for (list_s* v = args; v && v->next; v = v->next)
        if (v->atom != v->next->atom && host_neqi(v->atom->c_str(), v->next->atom->c_str()))
            return std_atom_null;
    return std_atom_true;
}

atom_s* kavo_eqf(list_s* args, list_s*) {
    for (list_s* v = args; v && v->next; v = v->next)
        if (!str_eqf(v->atom->c_str(), v->next->atom->c_str())) return std_atom_null;
    return std_atom_true;
}

atom_s* kavo_not(list_s* args, list_s* raw_args) {
    atom_s** dest = get_dest(args, raw_args, 1);
    return *dest = arg_value(args, 0) == std_atom_null ? std_atom_true : std_atom_null;
}

atom_s* kavo_and(list_s* args, list_s*) {
    for (list_s* v = args; v; v = v->next)
        if (v->atom == std_atom_null) return std_atom_null;
    return std_atom_true;
}

atom_s* kavo_or(list_s* args, list_s*) {
    for (list_s* v = args; v; v = v->next)
        if (v->atom != std_atom_null) return std_atom_true;
    return std_atom_null;
}

// ---- variables ----------------------------------------------------------------------------------

// var, g_var and null point error reports at the name at hand: a top-level var shares one
// call with all the others.
atom_s* kavo_var(list_s*, list_s* raw_args) {
    for (list_s* name = raw_args; name; name = name->next)
        current_scope->new_var(engine_at(name)->atom, std_atom_null);
    return std_atom_null;
}

atom_s* kavo_g_var(list_s*, list_s* raw_args) {
    for (list_s* name = raw_args; name; name = name->next)
        global_scope.new_var(engine_at(name)->atom, std_atom_null);
    return std_atom_null;
}

atom_s* kavo_set(list_s* args, list_s* raw_args) {
    atom_s* value = arg_value(args, 1);
    if (!raw_args) return value;
    return *current_scope->var_value(raw_args->atom) = value;
}

atom_s* kavo_new(list_s* args, list_s* raw_args) {
    if (!raw_args) return std_atom_null;
    return current_scope->new_var(raw_args->atom, arg_value(args, 1));
}

atom_s* kavo_g_new(list_s* args, list_s* raw_args) {
    if (!raw_args) return std_atom_null;
    return global_scope.new_var(raw_args->atom, arg_value(args, 1));
}

atom_s* kavo_null(list_s*, list_s* raw_args) {
    for (list_s* name = raw_args; name; name = name->next)
        *current_scope->var_value(engine_at(name)->atom) = std_atom_null;
    return std_atom_null;
}

// ---- flow -----------------------------------------------------------------------------------------

atom_s* kavo_return(list_s* args, list_s*) {
    RETURN++;
    return RETURN_R = arg_value(args, 0);
}

atom_s* kavo_assert(list_s* args, list_s*) {
    if (arg_value(args, 0) != std_atom_null) return args->atom;
    console_printf("(!) --- Assertion failed ---\n");
    char note[MESSAGE_MAX];
    int at = text_format(note, sizeof note, "Assertion failed");
    for (list_s* v = args ? args->next : nullptr; v; v = v->next) {
        console_write_str(v->atom->data, v->atom->length);
        at += text_format(note + at, (int)sizeof note - at, "%s%s", v == args->next ? ": " : "",
                          v->atom->c_str());
    }
    console_write_str("\r\n", 2);
    host_note_where(note);
    console_printf("Press any key to exit...\n");
    console_read_char();
    host_exit(3);
}

// The written form of a built-in call is counted after compiling; a call made through `call`
// is counted here, so that no handler ever sees fewer values than it takes. `and` and `or`
// are meant for any number of values, none included (true and the empty atom).
static void check_count(list_s* cell) {
    atom_s* target = get_func_name(cell);
    if (target->notflag(AI_EXTERN) || current_scope->find_var(target)) return;
    if (target == std_atom_and || target == std_atom_or) return;
    for (auto& row : ATOM_ARG_RULE) {
        if (*row.atom != target) continue;
        char accepted[32];
        Error(!arg_rule_accepts(row.rule, list_length(cell->sub)), 2, target,
              arg_rule_text(row.rule, accepted));
    }
}

atom_s* kavo_call(list_s* args, list_s*) {
    if (!args) return std_atom_null;
    list_s cell = {args->atom, args->next, nullptr};
    check_count(&cell);
    return engine_run_func(&cell, 1, 0);
}
