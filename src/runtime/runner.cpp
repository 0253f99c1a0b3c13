// The program runner.
#include "runner.h"

#include "../builtins/eval.h"
#include "../builtins/registry.h"
#include "../compiler/builder.h"
#include "../core/scopes.h"
#include "../host/host.h"
#include "trace.h"

int RETURN;
atom_s* RETURN_R;

// The function obj.name when it exists, else null; the text is built and looked up only once
// per pair, since a method found stays a function for good and a miss stays a miss until the
// compiler defines another function.
static atom_s* find_method(atom_s* object, atom_s* name) {
    struct entry {
        atom_s* object;
        atom_s* name;
        atom_s* method;
        unsigned defined;
    };
    static entry cache[512];
    entry& e = cache[(((uintptr_t)object >> 4) ^ ((uintptr_t)name >> 3)) & 511];
    if (e.object == object && e.name == name && (e.method || e.defined == functions_defined))
        return e.method;
    long long n = (long long)object->length + 1 + name->length;
    atom_s* method;
    if (n > STR_MAX) {
        method = nullptr;  // no text, so no function, is that long
    } else if (n < 256) {
        char text[256];
        text_copy(text, object->data, object->length);
        text[object->length] = '.';
        text_copy(text + object->length + 1, name->data, name->length);
        method = atoms_find(text, (int)n);
    } else {
        str_s text;
        text.init(object->data).concat(".").concat(name->data);
        method = atoms_find(&text);
        text.free();
    }
    if (method && method->notflag(AI_FUNCTION)) method = nullptr;
    e = {object, name, method, functions_defined};
    return method;
}

atom_s* get_func_name(list_s* call) {
    atom_s* atom = call->atom;
    if (atom->data[0] == '.') return atoms_add(atom->data + 1);
    // Inside with(obj, ...) a call of f runs obj.f when that function exists.
    atom_s* object = current_scope->name;
    if (object && object->length)
        if (atom_s* method = find_method(object, atom)) return method;
    return atom;
}

// Value lists hold atoms only, no sub-lists: their cells go straight back.
static void free_values(list_s* values) {
    while (values) {
        list_s* next = values->next;
        delete values;
        values = next;
    }
}

static int shows_trace(atom_s* func) {
    return is_tracing && func != std_atom_body && func->flag(AI_FUNCTION);
}

static atom_s* call_function(atom_s* func, list_s* args) {
    scope_s scope(&current_scope, std_atom_null, 1);
    int wanted = list_length(func->params);
    Error(list_length(args) < wanted, 26, func->data, wanted);
    list_s* value = args;
    for (list_s* p = func->params; p; p = p->next, value = value->next)
        scope.new_var(p->atom, value->atom);
    atom_s* result = engine_run_func(func->body, 1, 1);
    scope.done();
    return result;
}

atom_s* engine_run_func(list_s* call, int stop_return, int eval_args) {
    atom_s* result = nullptr;
    while (call) {
        stack_check();
        atom_s* func = get_func_name(call);
        if (func->flag(AI_SPY)) kavo_trace(nullptr, nullptr);
        int resume = 0;
        if (shows_trace(func)) console_printf("%% Calling '%s' ...\n", func->data);

        list_s* args = call->sub;
        if (eval_args) args = call->atom == std_atom_body ? nullptr : engine_run_list(call->sub);
        if (is_tracing) PROCESS_TRACING(func, args, resume);

        if (list_s* var = current_scope->find_var(func)) {
            Error(call->sub != nullptr, 9, func->data);
            result = var_slot(var);
        } else if (func->notflag(AI_FUNCTION)) {
            Error(call->sub != nullptr, 10, func->data);
            result = func;
        } else if (func->flag(AI_EXTERN)) {
            result = func->handler(args, call->sub);
        } else {
            result = call_function(func, args);
        }

        if (eval_args) free_values(args);
        if (resume) is_tracing++;
        if (shows_trace(func)) {
            atom_s* shown = result ? result : std_atom_null;
            console_printf("%% Exit: '");
            console_write_str(shown->data, shown->length);
            console_printf("'\n");
        }
        if (RETURN) {
            if (stop_return) RETURN = 0;
            result = RETURN_R;
            break;
        }
        call = call->next;
        eval_args = 1;
    }
    return result ? result : std_atom_null;
}

// The value of a bare name that cannot call anything, show anything or mean a method: a
// variable's value or the literal itself; null when the full call path must decide.
static atom_s* plain_value(list_s* cell) {
    atom_s* atom = cell->atom;
    if (cell->sub || (atom->flags & (AI_FUNCTION | AI_SPY)) || atom->data[0] == '.') return nullptr;
    atom_s* object = current_scope->name;
    if (object && object->length) return nullptr;
    if (atom->bound == 0) return atom;
    list_s* var = current_scope->find_var(atom);
    return var ? var_slot(var) : atom;
}

list_s* engine_run_list(list_s* calls) {
    list_s* values = nullptr;
    list_s** tail = &values;
    for (list_s* cell = calls; cell; cell = cell->next) {
        atom_s* value = plain_value(cell);
        if (!value) {
            list_s one = {cell->atom, cell->sub, nullptr};
            value = engine_run_func(&one, 1, 1);
        }
        *tail = list_new(value);
        tail = &(*tail)->next;
    }
    return values;
}

static void warn_no_main() {
    str_s text;
    text.init(
        "WARNING: No 'main' function.\nIf it's not a library then it's error.\n\n"
        "----- List of declared functions -----\n\n");
    for (atom_s* a = atom_table; a; a = a->next) {
        if (a->notflag(AI_FUNCTION) || a->flag(AI_EXTERN) || a == std_atom_initialize) continue;
        if (a->data[0] == 'd' && a->data[1] == 'o' && a->data[2] == '#') continue;
        text.concat(a->data).concat(", ");
    }
    host_message("KAVO: Run WARNING", text.data);
    text.free();
}

void engine_run() {
    if (std_atom_main->notflag(AI_FUNCTION)) {
        warn_no_main();
        return;
    }
    eval_init();
    current_scope = &global_scope;
    scope_s top(&current_scope, std_atom_null, 1);
    list_s start = {std_atom_initialize, nullptr, nullptr};
    engine_run_func(&start, 1, 1);
    list_s run_main = {std_atom_main, nullptr, nullptr};
    engine_run_func(&run_main, 1, 1);
    top.done();
}
