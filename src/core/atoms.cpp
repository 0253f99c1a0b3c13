// The atom table and its index. The chain from `atom_table` is what walks see; the index is
// an open-addressing table of atom pointers, kept at most half full, keyed by a well-mixed
// hash of the bytes (the byte-sum hash would put every anagram in one bucket).
#include "atoms.h"

#include "../host/host.h"

atom_s* atom_table;

static atom_s** slots;
static unsigned slot_mask;  // slot count - 1, a power of two minus one
static int count;

static unsigned mix_bytes(char const* text, int length) {
    unsigned long long h = 0xcbf29ce484222325ull;
    for (int i = 0; i < length; i++) h = (h ^ (unsigned char)text[i]) * 0x100000001b3ull;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return (unsigned)h;
}

static void index_grow() {
    unsigned size = slots ? (slot_mask + 1) * 2 : 1024;
    atom_s** fresh = new atom_s*[size];
    for (unsigned i = 0; i < size; i++) fresh[i] = nullptr;
    for (atom_s* a = atom_table; a; a = a->next) {
        unsigned i = a->mix & (size - 1);
        while (fresh[i]) i = (i + 1) & (size - 1);
        fresh[i] = a;
    }
    delete[] slots;
    slots = fresh;
    slot_mask = size - 1;
}

// The slot holding the text, or the empty slot where it would go.
static atom_s** index_slot(char const* text, int length, unsigned mix) {
    if (!slots) index_grow();
    unsigned i = mix & slot_mask;
    for (;; i = (i + 1) & slot_mask) {
        atom_s* a = slots[i];
        if (!a) return &slots[i];
        if (a->mix == mix && a->length == length) {
            int k = 0;
            while (k < length && a->data[k] == text[k]) k++;
            if (k == length) return &slots[i];
        }
    }
}

// Atoms and the texts copied into them are never freed, so they are carved out of large
// blocks instead of costing two allocations each (the sanitizer build keeps them apart).
static void* arena_take(size_t size) {
#if KAVO_ASAN
    return new char[size];
#else
    static char* block;
    static size_t left;
    size = (size + 15) & ~(size_t)15;
    if (size > 1024) return new char[size];
    if (size > left) {
        block = new char[65536];
        left = 65536;
    }
    char* p = block;
    block += size;
    left -= size;
    return p;
#endif
}

static atom_s* link_atom(atom_s* a) {
    a->params = nullptr;
    a->body = nullptr;
    a->flags = 0;
    a->mix = 0;
    a->bound = 0;
    a->global = nullptr;
    a->next = atom_table;
    atom_table = a;
    count++;
    return a;
}

atom_s* atoms_new() {
    atom_s* a = (atom_s*)arena_take(sizeof(atom_s));
    a->init();
    return link_atom(a);
}

atom_s* atoms_find(char const* text, int length) {
    return *index_slot(text, length, mix_bytes(text, length));
}

atom_s* atoms_find(char const* text) { return atoms_find(text, text_length(text)); }

atom_s* atoms_find(str_s* string) { return atoms_find(string->data, string->length); }

// Interns a text that is not yet in the table, placing it in `slot`; `give` is a string
// to take over, or null to copy `text`.
static atom_s* intern(atom_s** slot, char const* text, int length, unsigned mix, str_s* give) {
    atom_s* a = (atom_s*)arena_take(sizeof(atom_s));
    if (give) {
        *(str_s*)a = *give;
    } else {
        a->data = (char*)arena_take((size_t)length + 1);  // length may be STR_MAX
        text_copy(a->data, text, length);
        a->data[length] = 0;
        a->length = a->capacity = length;
        a->hash = str_get_hash(a->data);
    }
    link_atom(a)->mix = mix;
    *slot = a;
    if ((unsigned)count * 2 > slot_mask + 1) index_grow();
    return a;
}

static atom_s* add_text(char const* text, int length) {
    unsigned mix = mix_bytes(text, length);
    atom_s** slot = index_slot(text, length, mix);
    return *slot ? *slot : intern(slot, text, length, mix, nullptr);
}

atom_s* atoms_add(char const* text) { return add_text(text, text_length(text)); }
atom_s* atoms_add(char const* text, int length) { return add_text(text, length); }

atom_s* atoms_add(str_s* string) {
    // A byte 0 read into a string ends its text, as it does for every char* caller.
    int length = text_length(string->data);
    if (length != string->length) string->left(length);
    unsigned mix = mix_bytes(string->data, string->length);
    atom_s** slot = index_slot(string->data, string->length, mix);
    if (*slot) {
        string->free();
        return *slot;
    }
    return intern(slot, string->data, string->length, mix, string);
}

atom_s* atoms_add(char c) {
    char text[2] = {c, 0};
    return atoms_add(text);
}

// Numbers are the commonest values a program makes; the small ones are remembered.
atom_s* atoms_add(int n) {
    static atom_s* small[1024];
    if (n >= 0 && n < 1024 && small[n]) return small[n];
    char text[12];
    atom_s* atom = add_text(text, text_length(i2s(n, text)));
    if (n >= 0 && n < 1024) small[n] = atom;
    return atom;
}

int atoms_count() { return count; }
