// The parser. Each routine keeps the atom it reads in a local string of its own.
#include "parser.h"

#include "../builtins/registry.h"
#include "../messages/messages.h"
#include "after_compile.h"
#include "builder.h"
#include "reader.h"

namespace {

// A local token string, released on every way out of the routine.
struct token {
    str_s s;
    token() { s.init(); }
    ~token() { s.free(); }
    char* read(int required = 1) { return engine_read_atom(s, required); }
    int is(char c) { return s.eq(c); }
    int is(atom_s* a) { return s.eq(a->c_str()); }
};

void send(char const* event, str_s& atom) { engine_event(event, atom); }

// A file that is already being compiled further out would include itself without end.
void check_cycle(char const* path) {
    for (compile_scope_s* s = ccs; s; s = s->outer) {
        if (!text_equal(s->name, path)) continue;
        char message[MESSAGE_MAX];
        text_format(message, MESSAGE_MAX, "Include cycle: \"%s\" includes itself (%s, line %i)",
                    path, ccs->name, ccs->line);
        Error(1, message);
    }
}

}  // namespace

void engine_compile(char const* name) {
    str_s path;
    path.init(name).concat(".kavo");
    // A name that does not fit the compile scope is refused like a file that cannot be opened.
    Error(path.length >= FILE_NAME_MAX, 12, path.data);
    check_cycle(path.data);
    file_handle file = file_io_open(path.data, 'r');
    engine_compile(file, path.data);
    file_io_close(file);
    path.free();
}

void engine_compile(file_handle file, char const* name) {
    compile_scope_s scope;
    scope.file = file;
    int n = text_length(name);
    if (n >= FILE_NAME_MAX) n = FILE_NAME_MAX - 1;
    text_copy(scope.name, name, n);
    scope.name[n] = 0;
    engine_program();
    after_compile_work();
    scope.done();
}

void engine_program() {
    while (!ccs->eof) engine_func();
}

void engine_func() {
    static int DO_INDEX = 0;
    token n;
    n.read(0);
    if (ccs->eof) return;  // the file is done; an atom that ends with it is dropped
    if (n.is(std_atom_do)) {
        DO_INDEX++;
        char digits[12];
        n.s.copy("do#").concat(i2s(DO_INDEX, digits));
        builder_append_init(atoms_add(n.s.data));
        send("atom", n.s);
    }
    send("func", n.s);
    if (n.is(std_atom_include) || n.is(std_atom_var)) {
        token t;
        t.read();
        S_Error(t.s.neq('('), 18, "(");
        engine_set_next_atom(t.s);
        engine_param_list();
    } else if (n.is(std_atom_new)) {
        token t;
        t.read();
        S_Error(t.s.neq('('), 18, "(");
        send("pbegin", t.s);
        t.read();
        send("param", t.s);
        t.read();
        send("pAram", t.s);
        t.read();
        S_Error(t.s.neq(')'), 18, ")");
    } else {
        engine_param_list();
        engine_BODY();
    }
}

void engine_param_list() {
    token t;
    t.read();
    if (t.s.neq('(')) {
        engine_set_next_atom(t.s);
        return;
    }
    send("pbegin", t.s);
    t.read();
    send("param", t.s);
    engine_params();
}

void engine_params() {
    token t;
    for (;;) {
        t.read();
        if (t.is(')')) {
            send("pend", t.s);
            return;
        }
        send("param", t.s);
    }
}

void engine_BODY() {
    token t;
    t.read();
    if (t.is('{')) {
        send("begin", t.s);
        engine_body();
        t.read();
        S_Error(t.s.neq('}'), 8);
        send("end", t.s);
    } else {
        engine_set_next_atom(t.s);
        engine_event("begin", "{");
        engine_call();
        engine_event("end", "}");
    }
}

void engine_body() {
    token t;
    for (;;) {
        t.read();
        engine_set_next_atom(t.s);
        if (t.is('}')) return;
        engine_call();
    }
}

void engine_CALLs() {
    engine_event("call", std_atom_body->data);
    engine_event("cbegin", "(");
    token t;
    t.read();
    engine_set_next_atom(t.s);
    if (t.s.neq('{')) {
        engine_call();
        engine_event("cend", ")");
    } else {
        engine_BODY();
    }
}

void engine_call() {
    stack_check();
    token a;
    a.read();
    send("call", a.s);
    if (a.s.eq("if")) {
        engine_event("cbegin", "(");
        engine_call();
        engine_CALLs();
        token t;
        t.read();
        if (t.s.eq("else"))
            engine_CALLs();
        else
            engine_set_next_atom(t.s);
        engine_event("cend", ")");
    } else if (a.s.eq("with")) {
        engine_event("cbegin", "(");
        engine_call();
        engine_CALLs();
        engine_event("cend", ")");
    } else {
        engine_call_param_list();
    }
}

void engine_call_param_list() {
    token t;
    t.read();
    if (t.s.neq('(')) {
        engine_set_next_atom(t.s);
        return;
    }
    send("cbegin", t.s);
    engine_call();
    engine_call_params();
}

void engine_call_params() {
    token t;
    for (;;) {
        t.read();
        if (t.is(')')) {
            send("cend", t.s);
            return;
        }
        engine_set_next_atom(t.s);
        engine_call();
    }
}
