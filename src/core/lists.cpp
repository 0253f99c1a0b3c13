// Lists of atoms.
#include "lists.h"

#include "../host/host.h"
#include "atoms.h"

// Cells come and go with every call, so they are carved a block at a time and freed cells
// are kept for reuse: newest first normally, for the cache; under the address sanitizer a
// freed cell is poisoned and waits behind thousands of others, as the sanitizer's own
// quarantine would make it, so a use after free is still reported.
#if KAVO_ASAN
extern "C" void __asan_poison_memory_region(void const volatile* p, decltype(sizeof 0) size);
extern "C" void __asan_unpoison_memory_region(void const volatile* p, decltype(sizeof 0) size);
enum { CELL_DELAY = 8192 };
#define POISON(cell) __asan_poison_memory_region(cell, sizeof(list_s))
#define UNPOISON(cell) __asan_unpoison_memory_region(cell, sizeof(list_s))
#else
enum { CELL_DELAY = 0 };
#define POISON(cell) (void)0
#define UNPOISON(cell) (void)0
#endif

static list_s* spare;       // freed cells, chained through `next`
static list_s* spare_last;  // the newest of them, under the sanitizer
static int spare_count;
static list_s* fresh;       // the block being carved
static int fresh_left;
static list_s* blocks;      // every block, chained through its first cell, never freed

void* list_s::operator new(decltype(sizeof 0) size) {
    if (spare_count > CELL_DELAY) {
        list_s* cell = spare;
        UNPOISON(cell);
        spare = cell->next;
        spare_count--;
        return cell;
    }
    if (!fresh_left) {
        // Deep recursion keeps many cells alive at once: take them a block at a time.
        enum { BLOCK = 1024 };
        fresh = (list_s*)::operator new(size * BLOCK);
        fresh->next = blocks;
        blocks = fresh++;
        fresh_left = BLOCK - 1;
    }
    fresh_left--;
    return fresh++;
}

void list_s::operator delete(void* p) {
    if (!p) return;
    list_s* cell = (list_s*)p;
    if (CELL_DELAY > 0) {
        cell->next = nullptr;
        POISON(cell);
        if (spare_count) {
            UNPOISON(spare_last);
            spare_last->next = cell;
            POISON(spare_last);
        } else {
            spare = cell;
        }
        spare_last = cell;
    } else {
        cell->next = spare;
        spare = cell;
    }
    spare_count++;
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
