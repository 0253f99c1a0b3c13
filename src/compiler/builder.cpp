// The program builder. Appends keep the last cell of each open list, so building a body of
// n calls costs n steps, not n squared; the lists themselves are exactly as if walked.
#include "builder.h"

#include "../builtins/registry.h"
#include "parser.h"
#include "reader.h"

namespace {

// ---- positions --------------------------------------------------------------------------------
// An open-addressing table from call cells to where they are written, at most half full.

struct place_s {
    list_s* cell;
    atom_s* func;
    int line;
    int file;  // an index into files
};
place_s* places;
unsigned place_mask;
unsigned place_count;
char** files;  // every source file compiled, by name
int file_count;
atom_s* body_owner;  // the function whose body is being built

unsigned place_home(list_s* cell) {
    unsigned long long h = (unsigned long long)(uintptr_t)cell * 0x9E3779B97F4A7C15ull;
    return (unsigned)(h >> 32) & place_mask;
}

void places_grow() {
    unsigned size = places ? (place_mask + 1) * 2 : 1024;
    place_s* old = places;
    unsigned old_size = places ? place_mask + 1 : 0;
    places = new place_s[size];
    place_mask = size - 1;
    for (unsigned i = 0; i < size; i++) places[i].cell = nullptr;
    for (unsigned k = 0; k < old_size; k++) {
        if (!old[k].cell) continue;
        unsigned i = place_home(old[k].cell);
        while (places[i].cell) i = (i + 1) & place_mask;
        places[i] = old[k];
    }
    delete[] old;
}

// The index of the file being compiled in `files`, adding it the first time.
int current_file() {
    for (int i = file_count - 1; i >= 0; i--)
        if (text_equal(files[i], ccs->name)) return i;
    char** more = new char*[file_count + 1];
    for (int i = 0; i < file_count; i++) more[i] = files[i];
    delete[] files;
    files = more;
    int n = text_length(ccs->name);
    files[file_count] = new char[n + 1];
    text_copy(files[file_count], ccs->name, n + 1);
    return file_count++;
}

// The cell was written at the atom read last, in the body of `func`.
list_s* placed(list_s* cell, atom_s* func) {
    if (!ccs) return cell;
    if ((place_count + 1) * 2 > place_mask + 1 || !places) places_grow();
    unsigned i = place_home(cell);
    while (places[i].cell && places[i].cell != cell) i = (i + 1) & place_mask;
    if (!places[i].cell) place_count++;
    places[i] = {cell, func, ccs->atom_line, current_file()};
    return cell;
}

// Appends a cell for `atom` to the list at `head`. `last` remembers the cell appended last
// (null when unknown); the walk for the end starts there, so other appenders stay welcome.
list_s* append_after(list_s** head, list_s** last, atom_s* atom) {
    list_s* cell = list_new(atom);
    list_s* end = *last ? *last : *head;
    if (!end) {
        *head = cell;
    } else {
        while (end->next) end = end->next;
        end->next = cell;
    }
    *last = cell;
    return cell;
}

atom_s* last_atom;
atom_s* current_func;
list_s** current_call[NESTING_MAX];
list_s* current_last[NESTING_MAX];  // the last cell of each open list, when known
int i_call = -1;
list_s* last_call;
list_s** ptr__;
list_s* init_last;    // the last call of kavo.initialize
list_s* param_last;   // the last parameter of current_func
atom_s* param_owner;  // the function param_last belongs to

void open_level(list_s** head) {
    S_Error(i_call > NESTING_MAX - 2, 6);
    i_call++;
    current_call[i_call] = head;
    current_last[i_call] = nullptr;
}

void close_level() {
    Error(i_call < 0, "Unbalanced compile events");
    i_call--;
}

void on_param(char const* text) {
    if (current_func == std_atom_include) {
        engine_compile(text);
        current_func = std_atom_include;
    } else if (current_func == std_atom_var) {
        placed(list_push(&std_atom_initialize->body->sub, last_atom), std_atom_initialize);
    } else if (current_func == std_atom_new) {
        atom_s* name = atoms_add(text);
        list_s* call = builder_append_init(std_atom_g_new);
        ptr__ = &call->sub;
        list_add(ptr__, name);
    } else {
        Error(current_func == nullptr, "Parameter outside a definition");
        if (param_owner != current_func) {
            param_owner = current_func;
            param_last = nullptr;
        }
        atom_s* name = atoms_add(text);
        if (list_find(current_func->names()->params, name)) current_func->set_flag(AI_PARAMS_TWICE);
        append_after(&current_func->names()->params, &param_last, name);
    }
}

}  // namespace

list_s* builder_append_init(atom_s* atom) {
    return placed(append_after(&std_atom_initialize->body, &init_last, atom), std_atom_initialize);
}

position_s builder_position(list_s* cell) {
    if (places && cell) {
        for (unsigned i = place_home(cell); places[i].cell; i = (i + 1) & place_mask)
            if (places[i].cell == cell) return {files[places[i].file], places[i].line, places[i].func};
    }
    return {nullptr, 0, nullptr};
}

unsigned functions_defined;

void (*engine_event_observer)(char const* event, char const* text);

void engine_event(char const* event, char const* text) {
    if (engine_event_observer) engine_event_observer(event, text);
    switch (event[0]) {
        case 'a':  // atom
            last_atom = atoms_add(text);
            return;
        case 'f':  // func: names() makes a number's record before it is flagged a function
            S_Error(last_atom->names()->body != nullptr && last_atom != std_atom_var &&
                        last_atom != std_atom_new && last_atom != std_atom_include,
                    3, last_atom->c_str());
            current_func = last_atom;
            current_func->set_flag(AI_FUNCTION);
            functions_defined++;
            return;
        case 'b':  // begin
            S_Error(i_call > NESTING_MAX - 2, 6);
            S_Error(current_func == std_atom_include || current_func == std_atom_var, 25, "{");
            if (current_func) {
                open_level(&current_func->names()->body);
                body_owner = current_func;
            }
            current_func = nullptr;
            return;
        case 'e':  // end
            close_level();
            return;
        case 'c':
            switch (event[1]) {
                case 'a':  // call
                    Error(i_call < 0, "Call outside a body");
                    last_call = placed(append_after(current_call[i_call], &current_last[i_call],
                                                    atoms_add(text)),
                                       body_owner);
                    return;
                case 'b':  // cbegin
                    Error(last_call == nullptr, "Arguments without a call");
                    open_level(&last_call->sub);
                    return;
                case 'e':  // cend
                    close_level();
                    return;
            }
            break;
        case 'p':
            switch (event[1]) {
                case 'b':  // pbegin
                case 'e':  // pend
                    return;
                case 'a':  // param
                    on_param(text);
                    return;
                case 'A':  // pAram
                    Error(ptr__ == nullptr, "Value outside a declaration");
                    list_add(ptr__, text);
                    return;
            }
            break;
    }
    Error(1, "Unknown event");
}
