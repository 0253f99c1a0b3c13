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

void scope_s::clear(list_s* borrowed) {
    if (this == &global_scope)
        for (list_s* cell = vars; cell; cell = cell->next) cell->atom->global = nullptr;
    // The value slots hold atoms, not sub-lists: the cells alone go back, in one pass.
    for (list_s* cell = vars; cell && cell != borrowed;) {
        list_s* next = cell->next;
        delete cell;
        cell = next;
    }
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
    if (this == &global_scope) name->global = cell;
    var_slot(cell) = value;
    return value;
}

list_s* scope_s::get_var(atom_s* name) {
    if (this == &global_scope) return name->global;
    return list_find(vars, name);
}

list_s* scope_s::find_var(atom_s* name) {
    if (name->notflag(AI_VARIABLE)) return nullptr;
    for (scope_s* s = this; s; s = s->prev) {
        if (list_s* cell = s->get_var(name)) return cell;
        if (s->boundary) return global_scope.get_var(name);
    }
    return nullptr;
}

atom_s** scope_s::var_value(atom_s* name) {
    list_s* cell = find_var(name);
    Error(cell == nullptr, 23, name);
    return &var_slot(cell);
}
