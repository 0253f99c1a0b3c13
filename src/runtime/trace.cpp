// Trace mode: the dialogue and the built-ins trace, notrace and spy.
#include "trace.h"

#include "../builtins/registry.h"
#include "../host/host.h"

int is_tracing;

static void print_keys() {
    console_printf("%% Keys: (c)ontinue or space; (s)kip; (n)otrace; (q)uit; (h)elp or ?.\n\n");
}

void PROCESS_TRACING(atom_s* func, list_s* args, int& resume) {
    if (!is_tracing || func == std_atom_body || func->notflag(AI_FUNCTION)) return;
    console_printf("%% %s: %s( ", func->flag(AI_EXTERN) ? "Extern" : "Call", func->c_str());
    for (list_s* v = args; v; v = v->next) {
        console_write_str("'", 1);
        console_write_str(v->atom->data, v->atom->length);
        console_write_str("' ", 2);
    }
    console_write_str(")\n", 2);
    for (;;) {
        int key = console_read_char();
        switch (key) {
            case -1:  // input has ended: nobody can answer, so the program runs on, traced
            case ' ':
            case 'c':
            case 'C':
                return;
            case 'h':
            case 'H':
            case '?':
                print_keys();
                break;
            case 'n':
            case 'N':
                kavo_notrace(nullptr, nullptr);
                return;
            case 'q':
            case 'Q':
                host_exit(0);
            case 's':
            case 'S':
                resume++;
                is_tracing = 0;
                return;
            default:
                console_reject_key();
        }
    }
}

atom_s* kavo_trace(list_s*, list_s*) {
    console_printf("%% Trace mode on\n");
    print_keys();
    return is_tracing++ ? std_atom_true : std_atom_null;
}

atom_s* kavo_notrace(list_s*, list_s*) {
    int was = is_tracing;
    is_tracing = 0;
    console_printf("%% Trace mode off\n\n");
    return was ? std_atom_true : std_atom_null;
}

atom_s* kavo_spy(list_s* args, list_s*) {
    if (!args) return std_atom_null;
    atom_s* target = args->atom;
    if (target->flag(AI_SPY)) return std_atom_true;
    target->set_flag(AI_SPY);
    return std_atom_null;
}
