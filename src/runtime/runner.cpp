// The program runner.
#include "runner.h"

#include "../builtins/eval.h"
#include "../builtins/registry.h"
#include "../compiler/builder.h"
#include "../core/scopes.h"
#include "../host/host.h"
#include "../messages/messages.h"
#include "trace.h"

int RETURN;
atom_s* RETURN_R;

// The function obj.name when it exists, else null; the text is built and looked up only once
// per pair, since a method found stays a function for good and a miss stays a miss until the
// compiler defines another function.
namespace {
struct method_entry {
    atom_s* object;
    atom_s* name;
    atom_s* method;
    unsigned defined;
};
}  // namespace
static method_entry method_cache[512];

static __attribute__((noinline)) atom_s* method_look_up(atom_s* object, atom_s* name, method_entry& e) {
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
        text.init().concat(object).concat(".").concat(name);
        method = atoms_find(&text);
        text.free();
    }
    if (method && method->notflag(AI_FUNCTION)) method = nullptr;
    e = {object, name, method, functions_defined};
    return method;
}

static __attribute__((noinline)) atom_s* find_method(atom_s* object, atom_s* name) {
    method_entry& e = method_cache[(((uintptr_t)object >> 4) ^ ((uintptr_t)name >> 3)) & 511];
    if (e.object == object && e.name == name && (e.method || e.defined == functions_defined))
        return e.method;
    return method_look_up(object, name, e);
}

atom_s* get_func_name(list_s* call) {
    atom_s* atom = call->atom;
    if (atom->flag(AI_DOT)) return atoms_cut(atom, 1, atom->length - 1);
    // Inside with(obj, ...) a call of f runs obj.f when that function exists.
    if (atom_s* object = current_scope->name)
        if (atom_s* method = find_method(object, atom)) return method;
    return atom;
}

// The values of a call's arguments live on a stack of cells: a call's list is pushed cell by
// cell while its arguments are evaluated (the calls among them push and pop above it) and
// popped as a whole when the call no longer needs it, so a value costs no allocation. The
// stack grows by chunks, which a list may span, and keeps them for reuse.
namespace {
// A chunk is 64 KiB on 64-bit machines, so 64 of them fill 4 MiB to the byte.
enum { CHUNK_CELLS = (65536 - 2 * sizeof(void*)) / sizeof(list_s) };
struct chunk_s {
    chunk_s* below;
    chunk_s* above;
    list_s cells[CHUNK_CELLS];
};
}  // namespace
static chunk_s* chunk;
static list_s* value_base;  // chunk->cells
static list_s* value_top;   // the next free cell of `chunk`
static list_s* value_end;

#if KAVO_ASAN
extern "C" void __asan_poison_memory_region(void const volatile* p, decltype(sizeof 0) size);
extern "C" void __asan_unpoison_memory_region(void const volatile* p, decltype(sizeof 0) size);
#define VALUES_POISON(from, to) __asan_poison_memory_region(from, (char*)(to) - (char*)(from))
#define VALUES_UNPOISON(cell) __asan_unpoison_memory_region(cell, sizeof(list_s))
#else
#define VALUES_POISON(from, to) ((void)(from), (void)(to))
#define VALUES_UNPOISON(cell) (void)0
#endif

static void values_enter(chunk_s* c) {
    chunk = c;
    value_base = c->cells;
    value_end = c->cells + CHUNK_CELLS;
}

// True when `cell` lies in a chunk below the current one.
__attribute__((always_inline)) inline int below_chunk(list_s* cell) {
    return (uintptr_t)cell - (uintptr_t)value_base >= sizeof chunk->cells;
}

// The first few chunks come one by one; then 4 MiB of them at a time, a block the host backs
// with huge pages: a deep recursion's value stack then faults in 2 MiB at a time instead of
// 4 KiB.
static __attribute__((noinline)) void values_grow() {
    enum { ALONE = 4, GROUP = ((4 << 20) + sizeof(chunk_s) - 1) / sizeof(chunk_s) };
    static chunk_s* group;
    static int made, left;
    chunk_s* next = chunk ? chunk->above : nullptr;
    if (!next) {
        if (!left) {
            left = made < ALONE ? 1 : GROUP;
            group = new chunk_s[left];
        }
        made++;
        left--;
        next = group++;
        next->below = chunk;
        next->above = nullptr;
        if (chunk) chunk->above = next;
    }
    values_enter(next);
    value_top = value_base;
}

// A new cell whose `next` the caller sets. Its `sub` is cleared: `call` hands values on as the
// cells of a call, whose sub-lists a built-in may read.
__attribute__((always_inline)) inline list_s* values_push(atom_s* atom) {
    if (__builtin_expect(value_top == value_end, 0)) values_grow();
    list_s* cell = value_top++;
    VALUES_UNPOISON(cell);
    cell->atom = atom;
    cell->sub = nullptr;
    return cell;
}

// A list that starts below the current chunk: the chunks above it are left for reuse.
static __attribute__((noinline)) void values_drop_chunks(list_s* values) {
    do {
        VALUES_POISON(value_base, value_top);
        values_enter(chunk->below);
        value_top = value_end;
    } while (below_chunk(values));
}

// Pops a list of values and everything pushed after it.
__attribute__((always_inline)) inline void free_values(list_s* values) {
    if (!values) return;
    if (__builtin_expect(below_chunk(values), 0))
        values_drop_chunks(values);
    VALUES_POISON(values, value_top);
    value_top = values;
}

static int shows_trace(atom_s* func) {
    return is_tracing && func != std_atom_body && func->flag(AI_FUNCTION);
}

static void print_exit(atom_s* result) {
    console_printf("%% Exit: '");
    console_write_str(result->data, result->length);
    console_printf("'\n");
}

static void show_exit(atom_s* func, atom_s* result) {
    if (shows_trace(func)) print_exit(result);
}

// One call from its name up to the moment it runs.
struct call_s {
    atom_s* func;   // what the name resolved to
    list_s* args;   // the values (or, through `call`, the cells given)
    int resume;     // its dialogue got "s": tracing comes back on when it ends
};

static atom_s* run(list_s* call, int eval_args, call_s* ready);

// For error reports: the call whose lookup or built-in runs now, and how many levels the
// calls in last position have released (their functions no longer show in a backtrace).
static list_s* running;
static unsigned long long levels_released;

// The value of a bare name that cannot call anything, show anything or mean a method: a
// variable's value or the literal itself; null when the full call path must decide.
__attribute__((always_inline)) inline atom_s* plain_value(list_s* cell) {
    atom_s* atom = cell->atom;
    if (cell->sub) {
        // A block evaluated as a value (the branches of `if`) runs nothing and yields the
        // empty atom; no program can name a variable or method like the block atom.
        if (atom == std_atom_body && atom->notflag(AI_SPY)) return std_atom_null;
        return nullptr;
    }
    if (atom->flags & (AI_FUNCTION | AI_SPY | AI_DOT)) return nullptr;
    if (current_scope->name) return nullptr;
    if (atom->notflag(AI_VARIABLE)) return atom;
    list_s* var = current_scope->find_var(atom);
    return var ? var_slot(var) : atom;
}

// True for a call of a built-in that nothing can turn into something else before it runs:
// no trace to show, no spy point, no `with` object whose method it could mean, and a name
// that was never a variable's (the sticky flag is rechecked once the arguments are in).
__attribute__((always_inline)) inline int is_plain_builtin(list_s* cell) {
    atom_s* atom = cell->atom;
    if ((atom->flags & (AI_FUNCTION | AI_EXTERN | AI_SPY | AI_VARIABLE)) != (AI_FUNCTION | AI_EXTERN) ||
        is_tracing || atom == std_atom_body)
        return 0;
    return !current_scope->name;
}

static atom_s* run_builtin(list_s* cell);

// Inlined into run() so that a recursion through arguments costs one native frame a level.
__attribute__((always_inline)) inline list_s* run_list(list_s* calls) {
    list_s* values = nullptr;
    list_s** tail = &values;
    for (list_s* cell = calls; cell; cell = cell->next) {
        atom_s* value = plain_value(cell);
        if (!value) {
            value = is_plain_builtin(cell) ? run_builtin(cell) : run(cell, 1, nullptr);
            if (RETURN) {
                RETURN = 0;
                value = RETURN_R;
            }
        }
        *tail = values_push(value);
        tail = &(*tail)->next;
    }
    *tail = nullptr;
    return values;
}

list_s* engine_run_list(list_s* calls) { return run_list(calls); }
void engine_free_list(list_s* values) { free_values(values); }

// The dialogue of a call while tracing; 1 when it got "s". Out of line, so that no call's
// record needs an address.
static __attribute__((noinline)) int dialogue(atom_s* func, list_s* args) {
    int resume = 0;
    PROCESS_TRACING(func, args, resume);
    return resume;
}

// The steps of a call that happen in the caller's scopes, in order: the spy check, the call
// line, the arguments and the dialogue.
__attribute__((always_inline)) inline void call_prepare(call_s& c, list_s* call, int eval_args) {
    atom_s* func = get_func_name(call);
    if (func->flag(AI_SPY)) kavo_trace(nullptr, nullptr);
    c.func = func;
    c.resume = 0;
    if (shows_trace(func)) console_printf("%% Calling '%s' ...\n", func->c_str());
    c.args = call->sub;
    if (eval_args) c.args = call->atom == std_atom_body ? nullptr : run_list(call->sub);
    if (is_tracing) c.resume = dialogue(func, c.args);
}

enum call_kind { CALL_VALUE, CALL_EXTERN, CALL_FUNCTION };

// A number or short atom that names a function runs as its record, which holds the
// parameters and calls: the record takes the atom's flags for the call, and has its text.
static __attribute__((noinline, cold)) atom_s* record_function(atom_s* atom) {
    atom_s* record = atom->names();
    record->flags = atom->flags & ~(unsigned)(AI_NUMBER | AI_SHORT | AI_RECORD);
    return record;
}

// What a prepared call names, decided in this order: a visible variable (`value` is its
// value), an atom that is no function (`value` is the atom), a built-in, a program function.
__attribute__((always_inline)) inline call_kind call_classify(list_s* call, call_s& c, atom_s*& value) {
    if (list_s* var = current_scope->find_var(c.func)) {
        Error(call->sub != nullptr, 9, c.func);
        value = var_slot(var);
        return CALL_VALUE;
    }
    if (c.func->notflag(AI_FUNCTION)) {
        Error(call->sub != nullptr, 10, c.func);
        value = c.func;
        return CALL_VALUE;
    }
    if (c.func->flag(AI_EXTERN)) return CALL_EXTERN;
    if (c.func->flags & (AI_NUMBER | AI_SHORT)) c.func = record_function(c.func);
    return CALL_FUNCTION;
}

// The steps after a call has run.
static void call_end(atom_s* func, int resume, atom_s* result) {
    if (resume) is_tracing++;
    show_exit(func, result);
}

// Ends a call that runs no program function: a built-in gives its value (the empty atom for
// none); otherwise `value` is what the call named. The values are popped when they are owned.
__attribute__((always_inline)) inline atom_s* call_finish(call_s& c, list_s* call, call_kind kind,
                                                          atom_s* value, int owns_args) {
    if (kind == CALL_EXTERN) value = c.func->handler(c.args, call->sub);
    if (!value) value = std_atom_null;
    if (owns_args) free_values(c.args);
    call_end(c.func, c.resume, value);
    return value;
}

// Binds a program function's parameters to the values in its boundary scope, pushed and
// empty. Values the caller leaves to the function (`owned`, on the value stack) become the
// variable cells themselves: each cell takes its parameter's name and keeps its value in the
// variable's slot, so binding allocates nothing. Gives the owned values: the scope borrows
// their cells, and they are popped when the scope ends (unbind).
__attribute__((always_inline)) inline list_s* bind(scope_s& scope, atom_s* func, list_s* args, int owned) {
    list_s* value = args;
    // Too few values is found before a name given twice, so that must wait for the count.
    int twice = func->flag(AI_PARAMS_TWICE);
    if (!owned || twice) {
        for (list_s* p = func->params; p; p = p->next, value = value->next)
            if (!value) Error(1, 26, func, list_length(func->params));
        value = args;
    }
    if (!owned) {
        for (list_s* p = func->params; p; p = p->next, args = args->next)
            scope.new_var(p->atom, args->atom);
        return nullptr;
    }
    list_s** tail = &scope.vars;
    for (list_s* p = func->params; p; p = p->next, value = value->next) {
        atom_s* name = p->atom;
        if (!value) Error(1, 26, func, list_length(func->params));
        if (twice)
            for (list_s* v = scope.vars; v; v = v->next) Error(v->atom == name, 24, name);
        var_slot(value) = value->atom;
        value->atom = name;
        name->set_flag(AI_VARIABLE);
        *tail = value;
        tail = &value->next;
    }
    // Values beyond the parameters are dropped from the list, but stay on the stack up to
    // the scope's end.
    *tail = nullptr;
    return args;
}

static void unbind(scope_s& scope, list_s* borrowed) {
    scope.done(borrowed);
    free_values(borrowed);
}

// A call in last position takes over a scope whose borrowed cells, and everything after
// them but the callee's values, are dead: the values move down to the first dead cell, so
// that a loop's stack of values stays as high as one step's.
static list_s* values_move_down(list_s* to, list_s* values) {
    chunk_s* was = chunk;
    list_s* was_top = value_top;
    while (below_chunk(to)) values_enter(chunk->below);  // no poisoning: the values are read yet
    value_top = to;
    // Each value is read before its cell can be written: the cells only move down.
    list_s* head = nullptr;
    list_s** tail = &head;
    while (values) {
        list_s* next = values->next;
        *tail = values_push(values->atom);
        tail = &(*tail)->next;
        values = next;
    }
    *tail = nullptr;
    if (chunk == was) VALUES_POISON(value_top, was_top);
    return head;
}

// An `if` or `with` whose value is its function's value: the function runs its block itself,
// so that a call in last position inside the block can release the block with the function.
// The blocks of one function are the scopes above its own, so they need no chain of their own.
struct block_s {
    scope_s scope;
    int kind;  // BLOCK_WITH for a `with` (else an `if`), BLOCK_RESUME when its dialogue got "s"
};
enum { BLOCK_WITH = 1, BLOCK_RESUME = 2 };
static block_s* spare_blocks;  // chained through scope.prev

static void block_enter(atom_s* func, int resume, atom_s* scope_name) {
    if (!spare_blocks) {
        // Non-tail recursion through such blocks keeps one a level: take them 64 at a time.
        enum { CHUNK = 64 };
        block_s* chunk = new block_s[CHUNK];
        for (int i = 0; i < CHUNK; i++) chunk[i].scope.prev = i + 1 < CHUNK ? &chunk[i + 1].scope : nullptr;
        spare_blocks = chunk;
    }
    block_s* b = spare_blocks;
    spare_blocks = (block_s*)b->scope.prev;
    b->scope.push(&current_scope, scope_name, 0);
    b->kind = (func == std_atom_with ? BLOCK_WITH : 0) | (resume ? BLOCK_RESUME : 0);
}

// Pops the innermost block; with a result its call ends as any call does, without one it
// ends silently, released.
static void block_leave(atom_s* result) {
    block_s* b = (block_s*)current_scope;
    b->scope.done();
    if (result) call_end(b->kind & BLOCK_WITH ? std_atom_with : std_atom_if, b->kind & BLOCK_RESUME, result);
    b->scope.prev = (scope_s*)spare_blocks;
    spare_blocks = b;
}

// A call that is_plain_builtin() let through: the steps of run() for a built-in, minus those
// that cannot apply, in a frame of its own size. What its arguments did is looked at again:
// a `trace` among them starts the dialogue, a variable of the built-in's name made among
// them takes the call over as run() would decide; both are rare and go the slow way, so the
// common way keeps everything in registers.
static __attribute__((noinline)) atom_s* run_builtin_slow(list_s* cell, list_s* args) {
    call_s c = {cell->atom, args, 0};
    if (is_tracing) c.resume = dialogue(c.func, c.args);
    if (c.func->flag(AI_VARIABLE)) {
        atom_s* result = run(cell, 0, &c);
        free_values(c.args);
        return result;
    }
    running = cell;
    return call_finish(c, cell, CALL_EXTERN, nullptr, 1);
}

// An `eval` of one to three bare values: its remembered value is found from the values
// themselves before any list is made, and a value not remembered is worked out from them
// without looking again. Null for other calls, which take the ordinary way. Only
// run_builtin calls this, so no dialogue, trace line or variable of eval's name applies.
__attribute__((always_inline)) inline atom_s* eval_of_values(list_s* cell) {
    list_s* a0 = cell->sub;
    if (!a0 || a0->sub) return nullptr;
    list_s* a1 = a0->next;
    list_s* a2 = a1 ? a1->next : nullptr;
    if ((a1 && a1->sub) || (a2 && (a2->sub || a2->next))) return nullptr;  // a call among them
    atom_s* k[3] = {plain_value(a0), nullptr, nullptr};
    if (!k[0] || (a1 && !(k[1] = plain_value(a1))) || (a2 && !(k[2] = plain_value(a2)))) return nullptr;
    int n = a2 ? 3 : a1 ? 2 : 1;
    unsigned slot;
    if (atom_s* value = eval_recall(k[0], k[1], k[2], slot)) return value;
    list_s* args = nullptr;
    list_s** tail = &args;
    for (int i = 0; i < n; i++) {
        *tail = values_push(k[i]);
        tail = &(*tail)->next;
    }
    *tail = nullptr;
    running = cell;
    atom_s* value = eval_keep(args, slot);
    free_values(args);
    return value;
}

static atom_s* run_builtin(list_s* cell) {
    stack_check();
    if (cell->atom == std_atom_eval)
        if (atom_s* value = eval_of_values(cell)) return value;
    list_s* args = run_list(cell->sub);
    atom_s* func = cell->atom;
    if (__builtin_expect(is_tracing || func->flag(AI_VARIABLE), 0)) return run_builtin_slow(cell, args);
    running = cell;
    atom_s* value = func->handler(args, cell->sub);
    if (!value) value = std_atom_null;
    free_values(args);
    show_exit(func, value);  // the built-in may have been `trace`
    return value;
}

// Runs one call: `ready` is a call already prepared, else the call is prepared here.
// A program function runs in this same frame, and so does every program function called
// where its value is the function's value (the last call of the body, or of a block of an
// `if`/`with` in such a place): the caller's scopes are released and the callee takes its
// place, so a loop written as recursion runs in constant stack. While tracing is on, or
// where a level's dialogue got "s", nothing is released. The exit lines of released levels
// (all of them carry the same value) are shown after the last callee's own.
static atom_s* run(list_s* call, int eval_args, call_s* ready) {
    stack_check();
    call_s c;
    if (ready)
        c = *ready;
    else
        call_prepare(c, call, eval_args);
    atom_s* result = nullptr;
    running = call;
    call_kind kind = call_classify(call, c, result);
    if (kind != CALL_FUNCTION) return call_finish(c, call, kind, result, eval_args);

    scope_s scope;
    scope.push(&current_scope, std_atom_null, 1);
    list_s* borrowed = bind(scope, c.func, c.args, eval_args);
    atom_s* owner = c.func;   // whose exit line this frame shows
    int owner_resume = c.resume;
    int keep = c.resume;      // a level here got "s": it must end in place
    int blocks = 0;
    unsigned long long released = 0;  // exit lines of released levels still to show
    call = c.func->body;
    while (call) {
        scope.call = call;
        if (call->next) {
            result = is_plain_builtin(call) ? run_builtin(call) : run(call, 1, nullptr);
            if (RETURN) break;
            call = call->next;
            continue;
        }
        // A value in last position (a literal, a variable, a block) ends the call at once.
        if ((result = plain_value(call))) break;
        call_prepare(c, call, 1);
        running = call;
        kind = call_classify(call, c, result);
        if (kind == CALL_EXTERN && (c.func == std_atom_if || c.func == std_atom_with)) {
            atom_s* scope_name;
            list_s* block = control_block(c.func, c.args, call->sub, scope_name);
            free_values(c.args);
            block_enter(c.func, c.resume, scope_name);
            blocks++;
            keep |= c.resume;
            call = block;
            result = nullptr;
            continue;
        }
        if (kind == CALL_FUNCTION && !is_tracing && !keep) {
            levels_released += 1 + blocks;
            for (released += 1 + blocks; blocks; blocks--) block_leave(nullptr);
            scope.clear(borrowed);  // the callee takes it over
            if (borrowed && c.args)
                c.args = values_move_down(borrowed, c.args);
            else
                free_values(borrowed);
            owner = c.func;
            owner_resume = keep = c.resume;
            borrowed = bind(scope, c.func, c.args, 1);
            call = c.func->body;
            result = nullptr;
            continue;
        }
        if (kind == CALL_FUNCTION) {
            call_s ready = c;  // a copy, so that `c` itself never needs an address
            result = run(call, 1, &ready);
            break;
        }
        result = call_finish(c, call, kind, result, 1);
        break;
    }
    if (RETURN) result = RETURN_R;
    if (!result) result = std_atom_null;
    for (; blocks; blocks--) block_leave(result);
    RETURN = 0;
    unbind(scope, borrowed);
    call_end(owner, owner_resume, result);
    if (released) levels_released -= released;
    if (is_tracing)
        for (; released; released--) print_exit(result);
    return result;
}

atom_s* engine_run_func(list_s* call, int stop_return, int eval_args) {
    atom_s* result = std_atom_null;
    for (; call; call = call->next, eval_args = 1) {
        result = eval_args && is_plain_builtin(call) ? run_builtin(call) : run(call, eval_args, nullptr);
        if (RETURN) {
            if (stop_return) RETURN = 0;
            result = RETURN_R;
            break;
        }
    }
    return result;
}

int engine_check_main() {
    if (std_atom_main->flag(AI_FUNCTION)) return 1;
    str_s text;
    text.init(
        "WARNING: No 'main' function.\nIf it's not a library then it's error.\n\n"
        "----- List of declared functions -----\n\n");
    atom_walk walk;
    while (atom_s* a = walk.next()) {
        if (a->notflag(AI_FUNCTION) || a->flag(AI_EXTERN) || a == std_atom_initialize) continue;
        if (a->length >= 3 && a->data[0] == 'd' && a->data[1] == 'o' && a->data[2] == '#') continue;
        text.concat(a).concat(", ");
    }
    host_message("KAVO: Run WARNING", text.data);
    text.free();
    return 0;
}

void engine_run() {
    if (!engine_check_main()) return;
    eval_init();
    current_scope = &global_scope;
    scope_s top(&current_scope, std_atom_null, 1);
    list_s start = {std_atom_initialize, nullptr, nullptr};
    engine_run_func(&start, 1, 1);
    list_s run_main = {std_atom_main, nullptr, nullptr};
    engine_run_func(&run_main, 1, 1);
    top.done();
}

// ---- where the run is ----------------------------------------------------------------------

list_s* engine_at(list_s* cell) {
    if (!builder_position(cell).file) return cell;
    running = cell;
    // kavo.initialize runs the top-level declarations through calls that no file wrote:
    // its level then shows the declaration at hand.
    scope_s* s = current_scope;
    while (s && !s->boundary) s = s->prev;
    if (s && s->call && !builder_position(s->call).file) s->call = cell;
    return cell;
}

int engine_where(char const** file, int* line) {
    position_s at = builder_position(running);
    if (!at.file) return 0;
    *file = at.file;
    *line = at.line;
    return 1;
}

static void put_level(scope_s* s, void (*put)(char const* line)) {
    position_s at = builder_position(s->call);
    char const* name = at.func->c_str();
    char line[MESSAGE_MAX];
    if (at.func == std_atom_initialize)
        text_format(line, sizeof line, "  at start-up, %s:%i", at.file, at.line);
    else if (name[0] == 'd' && name[1] == 'o' && name[2] == '#')
        text_format(line, sizeof line, "  in a do block, %s:%i", at.file, at.line);
    else
        text_format(line, sizeof line, "  in %s, %s:%i", name, at.file, at.line);
    put(line);
}

static int is_level(scope_s* s) { return s->boundary && builder_position(s->call).file; }

void engine_backtrace(void (*put)(char const* line)) {
    enum { SHOWN_AT_EACH_END = 10 };
    long long levels = 0;
    for (scope_s* s = current_scope; s; s = s->prev) levels += is_level(s);
    long long k = 0;
    for (scope_s* s = current_scope; s; s = s->prev) {
        if (!is_level(s)) continue;
        if (levels <= 2 * SHOWN_AT_EACH_END || k < SHOWN_AT_EACH_END || k >= levels - SHOWN_AT_EACH_END) {
            put_level(s, put);
        } else if (k == SHOWN_AT_EACH_END) {
            char line[MESSAGE_MAX];
            text_format(line, sizeof line, "  ... %i more levels ...",
                        (int)(levels - 2 * SHOWN_AT_EACH_END));
            put(line);
        }
        k++;
    }
    if (levels_released) {
        char line[MESSAGE_MAX];
        int n = levels_released > 0x7FFFFFFF ? 0x7FFFFFFF : (int)levels_released;
        text_format(line, sizeof line, "  (%i level%s not shown: released by calls in last position)",
                    n, n == 1 ? "" : "s");
        put(line);
    }
}
