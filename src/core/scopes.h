// Scopes: frames of variables. A name is looked up from the innermost scope outwards as far
// as the nearest boundary scope, and then in the global scope only; every call of a program
// function pushes a boundary, so a function never sees its caller's variables. A scope
// lives in the frame of the routine that pushed it and owns only its variable cells (the
// runner lends a function's scope the cells of its argument values for its parameters); each
// cell's `sub` slot holds the variable's value atom, not a list.
#pragma once

#include "atoms.h"
#include "lists.h"

struct scope_s {
    static scope_s* tmp;  // where a scope that was never pushed "pops" to

    list_s* vars;     // newest first; a function's parameters last, in their order
    atom_s* name;     // the object of a `with` scope; null otherwise (the empty text is none)
    int boundary;
    scope_s** link;   // the scope pointer this scope was pushed onto
    scope_s* prev;    // what *link held before the push
    list_s* call;     // a running function's scope: the call of its body that runs now

    // Constant-initialised, so the global scope needs no start-up code on either platform.
    constexpr scope_s()
        : vars(nullptr), name(nullptr), boundary(0), link(&tmp), prev(nullptr), call(nullptr) {}
    scope_s(scope_s** link, atom_s* name, int boundary) { push(link, name, boundary); }
    // What the pushing constructor does, for a scope whose storage outlives one push.
    void push(scope_s** link, atom_s* name, int boundary);
    // Pops the scope and frees its variable cells up to `borrowed`: the cells from there
    // on belong to whoever lent them.
    void done(list_s* borrowed = nullptr);
    // What done() does but the pop: the scope stays pushed, empty, as a fresh push leaves it.
    void clear(list_s* borrowed = nullptr);

    atom_s* new_var(atom_s* name, atom_s* value);
    list_s* get_var(atom_s* name);
    list_s* find_var(atom_s* name);
    atom_s** var_value(atom_s* name);
};

extern scope_s global_scope;
extern scope_s* current_scope;

// A variable cell keeps its value in the slot that elsewhere holds a sub-list.
inline atom_s*& var_slot(list_s* cell) { return cell->value; }
