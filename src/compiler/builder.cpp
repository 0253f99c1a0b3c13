// The program builder. Appends keep the last cell of each open list, so building a body of
// n calls costs n steps, not n squared; the lists themselves are exactly as if walked.
#include "builder.h"

#include "../builtins/registry.h"
#include "parser.h"
#include "reader.h"

namespace {

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
        list_push(&std_atom_initialize->body->sub, last_atom);
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
        append_after(&current_func->params, &param_last, atoms_add(text));
    }
}

}  // namespace

list_s* builder_append_init(atom_s* atom) {
    return append_after(&std_atom_initialize->body, &init_last, atom);
}

unsigned functions_defined;

void (*engine_event_observer)(char const* event, char const* text);

void engine_event(char const* event, char const* text) {
    if (engine_event_observer) engine_event_observer(event, text);
    switch (event[0]) {
        case 'a':  // atom
            last_atom = atoms_add(text);
            return;
        case 'f':  // func
            S_Error(last_atom->body != nullptr && last_atom != std_atom_var &&
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
                open_level(&current_func->body);
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
                    last_call = append_after(current_call[i_call], &current_last[i_call],
                                             atoms_add(text));
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
