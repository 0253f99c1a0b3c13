// Lists of atoms.
#include "lists.h"

#include "../host/host.h"
#include "atoms.h"

#define KAVO_CELL_POOL !KAVO_ASAN  // the sanitizer sees every cell's lifetime

static list_s* spare;  // freed cells, chained through `next`

void* list_s::operator new(decltype(sizeof 0) size) {
    if (!KAVO_CELL_POOL) return ::operator new(size);
    if (!spare) {
        // Deep recursion keeps many cells alive at once: take them a block at a time.
        enum { BLOCK = 1024 };
        list_s* block = (list_s*)::operator new(size * BLOCK);
        for (int i = 0; i < BLOCK - 1; i++) block[i].next = &block[i + 1];
        block[BLOCK - 1].next = nullptr;
        spare = block;
    }
    list_s* cell = spare;
    spare = cell->next;
    return cell;
}

void list_s::operator delete(void* p) {
    if (!p) return;
    if (KAVO_CELL_POOL) {
        list_s* cell = (list_s*)p;
        cell->next = spare;
        spare = cell;
        return;
    }
    ::operator delete(p);
}

list_s* list_new(atom_s* atom) {
    list_s* cell = new list_s;
    cell->atom = atom;
    cell->sub = nullptr;
    cell->next = nullptr;
    return cell;
}

list_s* list_new(char const* text) { return list_new(atoms_add(text)); }

list_s* list_add(list_s** head, atom_s* atom) {
    list_s* cell = list_new(atom);
    if (*head)
        list_last(*head)->next = cell;
    else
        *head = cell;
    return cell;
}

list_s* list_add(list_s** head, char const* text) { return list_add(head, atoms_add(text)); }

list_s* list_push(list_s** head, atom_s* atom) {
    list_s* cell = list_new(atom);
    cell->next = *head;
    *head = cell;
    return cell;
}

list_s* list_last(list_s* list) {
    while (list->next) list = list->next;
    return list;
}

int list_length(list_s* list) {
    int n = 0;
    for (; list; list = list->next) n++;
    return n;
}

void list_free(list_s* list) {
    while (list) {
        list_s* next = list->next;
        list_free(list->sub);
        delete list;
        list = next;
    }
}

list_s* list_null_sublists(list_s* list) {
    for (list_s* cell = list; cell; cell = cell->next) cell->sub = nullptr;
    return list;
}

list_s* list_find(list_s* list, atom_s* atom) {
    for (; list; list = list->next)
        if (list->atom == atom) return list;
    return nullptr;
}

list_s* list_get(list_s* list, int n) {
    while (list && n > 0) {
        list = list->next;
        n--;
    }
    return list;
}
