// Lists: singly linked cells {atom, sub, next} from which the compiled program and every
// run-time value list are built. A chain owns its cells and, depth first, the sub-lists
// hanging below them; no cell owns its atom. A scope's variable cells keep their value atom
// in `sub`, so their owner clears those slots (list_null_sublists) before list_free.
#pragma once

struct atom_s;

struct list_s {
    atom_s* atom;
    union {
        list_s* sub;    // the arguments of a call, the calls of a block
        atom_s* value;  // the value of a scope's variable cell
    };
    list_s* next;

    // Cells come and go with every call the runner makes, so freed cells are kept for reuse.
    static void* operator new(decltype(sizeof 0) size);
    static void operator delete(void* p);
};

list_s* list_new(atom_s* atom);
list_s* list_new(char const* text);
list_s* list_add(list_s** head, atom_s* atom);
list_s* list_add(list_s** head, char const* text);
list_s* list_push(list_s** head, atom_s* atom);
list_s* list_last(list_s* list);
int list_length(list_s* list);
void list_free(list_s* list);
list_s* list_null_sublists(list_s* list);
list_s* list_find(list_s* list, atom_s* atom);
list_s* list_get(list_s* list, int n);
