// I/O and system built-ins: the console, run-time include, the interpreter's own facts,
// the clock, random texts, the shell, sleeping and atom tags. What differs between Linux and
// Windows lives in the host layer; these handlers are the same for both.
#include "../compiler/parser.h"
#include "../core/scopes.h"
#include "../host/host.h"
#include "../messages/messages.h"
#include "registry.h"

// ---- console --------------------------------------------------------------------------------

atom_s* kavo_write(list_s* args, list_s*) {
    for (list_s* v = args; v; v = v->next) console_write_str(v->atom->data, v->atom->length);
    return std_atom_null;
}

atom_s* kavo_writenl(list_s* args, list_s* raw_args) {
    kavo_write(args, raw_args);
    console_write_str("\r\n", 2);
    return std_atom_null;
}

atom_s* kavo_nl(list_s*, list_s*) {
    console_write_str("\r\n", 2);
    return std_atom_null;
}

atom_s* kavo_eol(list_s* args, list_s*) {
    if (!args) return std_atom_EOL;
    int n = s2i(args->atom->c_str());
    str_s text;
    text.init();
    if (n > 0) text.reserve(2LL * n);  // more than the longest text is error 5 here
    for (int i = 0; i < n; i++) text.concat(std_atom_EOL);
    return atoms_add(&text);
}

// At the end of input there is no word: the result is the empty atom.
atom_s* kavo_read(list_s* args, list_s* raw_args) {
    char buffer[1024];
    console_read(buffer, 1023);
    atom_s* word = atoms_add(buffer);
    atom_s** dest = get_dest(args, raw_args, 0);
    return *dest = word;
}

atom_s* kavo_readchar(list_s* args, list_s* raw_args) {
    atom_s** dest = nullptr;
    if (console_key_is_immediate()) dest = get_dest(args, raw_args, 0);
    atom_s* key = atoms_add((char)console_read_char());
    if (!dest) dest = get_dest(args, raw_args, 0);
    return *dest = key;
}

// ---- the program and the interpreter --------------------------------------------------------

atom_s* kavo_include(list_s* args, list_s*) {
    for (list_s* v = args; v; v = v->next) engine_compile(v->atom->c_str());
    return std_atom_null;
}

static char const ABOUT[] =
    "KAVO Core.\n"
    "Based on KAVO programming language v1.2.\n"
    "\n"
    "Version 2.0\n"
    "\n"
    "Written in C++ by the kavo developers, as one source tree for Linux and Windows.\n"
    "Atoms, lists and scopes; a reader, parser and builder; a runner and fifty built-ins.\n"
    "-----------------------------------------------------------------\n"
    __DATE__ ", freestanding core with a Linux and a Windows host.\n";

atom_s* kavo_about(list_s*, list_s*) {
    host_message("About KAVO...", ABOUT);
    return std_atom_null;
}

atom_s* kavo_version(list_s* args, list_s* raw_args) {
    atom_s* version = atoms_add(LANGUAGE_VERSION);
    atom_s** dest = get_dest(args, raw_args, 0);
    return *dest = version;
}

atom_s* kavo_atom_num(list_s* args, list_s* raw_args) {
    atom_s* count = atoms_add(atoms_count());
    atom_s** dest = get_dest(args, raw_args, 0);
    return *dest = count;
}

// ---- clock, random texts, shell, sleep ----------------------------------------------------------

atom_s* kavo_gettime(list_s* args, list_s* raw_args) {
    int fields[7];
    if (!host_local_time(fields)) return std_atom_null;
    if (!args) return atoms_add(host_ticks());
    int i = 0;
    for (list_s* name = raw_args; name && i < 7; name = name->next)
        *current_scope->var_value(name->atom) = atoms_add(fields[i++]);
    char text[64];
    text_format(text, sizeof text, "%02i:%02i:%02i.%03i %02i-%02i-%04i", fields[0], fields[1],
                fields[2], fields[3], fields[4], fields[5], fields[6]);
    return atoms_add(text);
}

// An empty symbol set has nothing to draw: the result is the empty atom and the generator
// does not move.
atom_s* kavo_rnd(list_s* args, list_s*) {
    atom_s* symbols = args && args->next ? args->next->atom
                                         : *global_scope.var_value(std_atom_rnd_set);
    int n = s2i(arg_value(args, 0)->c_str());
    if (symbols->length == 0 || n <= 0) return std_atom_null;
    str_s text;
    text.init().reserve(n);
    for (; n > 0; n--) text.append(symbols->data[(unsigned)rnd() % (unsigned)symbols->length]);
    return atoms_add(&text);
}

atom_s* kavo_shell(list_s* args, list_s*) {
    str_s text;
    text.init();
    for (list_s* v = args; v; v = v->next) text.concat(v->atom);
    int started = host_shell(text.data);
    text.free();
    return started ? std_atom_true : std_atom_null;
}

atom_s* kavo_sleep(list_s* args, list_s*) {
    atom_s* ms = arg_value(args, 0);
    host_sleep(s2i(ms->c_str()));
    return ms;
}

// ---- tags -----------------------------------------------------------------------------------------

atom_s* kavo_gettag(list_s* args, list_s*) {
    return atoms_add((int)(arg_value(args, 0)->flags & AI_TAG));
}

atom_s* kavo_settag(list_s* args, list_s*) {
    atom_s* target = arg_value(args, 0);
    target->flags |= (unsigned)s2i(arg_value(args, 1)->c_str()) & AI_TAG;
    return target;
}
