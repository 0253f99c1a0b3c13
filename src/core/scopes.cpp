// Scopes and variables.
#include "scopes.h"

#include "../builtins/registry.h"
#include "../host/host.h"

scope_s global_scope;
scope_s* current_scope;

scope_s* scope_s::tmp;

void scope_s::push(scope_s** at, atom_s* scope_name, int is_boundary) {
    vars = nullptr;
    name = scope_name == std_atom_null ? nullptr : scope_name;
    boundary = is_boundary;
    link = at;
    prev = *at;
    call = nullptr;
    *at = this;
}

// The cells a scope owns go back, in one pass: their value slots hold atoms, not sub-lists.
static void cells_free(list_s* cell, list_s* borrowed) {
    while (cell && cell != borrowed) {
        list_s* next = cell->next;
        delete cell;
        cell = next;
    }
}

// Out of line, so that the runner's clearing of a function's scope stays small.
static __attribute__((noinline)) void globals_clear(list_s* vars) {
    for (list_s* cell = vars; cell; cell = cell->next) cell->atom->set_global_var(nullptr);
    cells_free(vars, nullptr);
}

void scope_s::clear(list_s* borrowed) {
    if (this == &global_scope)
        globals_clear(vars);
    else
        cells_free(vars, borrowed);
    vars = nullptr;
    call = nullptr;
}

void scope_s::done(list_s* borrowed) {
    clear(borrowed);
    *link = prev;
}

atom_s* scope_s::new_var(atom_s* name, atom_s* value) {
    Error(get_var(name) != nullptr, 24, name);
    list_s* cell = list_push(&vars, name);
    name->set_flag(AI_VARIABLE);
    if (this == &global_scope) name->set_global_var(cell);
    var_slot(cell) = value;
    return value;
}

list_s* scope_s::get_var(atom_s* name) {
    if (this == &global_scope) return name->global_var();
    return list_find(vars, name);
}

list_s* scope_s::find_var(atom_s* name) {
    if (name->notflag(AI_VARIABLE)) return nullptr;
    scope_s* s = this;
    for (; s && s != &global_scope; s = s->prev) {
        if (list_s* cell = list_find(s->vars, name)) return cell;
        if (s->boundary) break;
    }
    return s ? name->global_var() : nullptr;  // the globals come next, unless nothing does
}

atom_s** scope_s::var_value(atom_s* name) {
    list_s* cell = find_var(name);
    Error(cell == nullptr, 23, name);
    return &var_slot(cell);
}
