// The atom table and its index. The chain from `atom_table` is what walks see; the index is
// an open-addressing table of atom pointers, kept at most half full, keyed by a well-mixed
// hash of the bytes (the byte-sum hash would put every anagram in one bucket).
#include "atoms.h"

#include "../host/host.h"

atom_s* atom_table;

// A slot holds an atom's address with the top 16 bits of its mixed hash in the 16 bits above
// it (user-space addresses fit in 48 bits), so a probe that misses rarely touches the atom.
typedef unsigned long long slot_s;
static slot_s* slots;
static unsigned slot_mask;  // slot count - 1, a power of two minus one
static int count;    // every atom
static int indexed;  // those in the index

static slot_s slot_make(atom_s* a) { return (slot_s)(uintptr_t)a | (slot_s)(a->mix >> 16) << 48; }
static atom_s* slot_atom(slot_s slot) { return (atom_s*)(uintptr_t)(slot & 0xFFFFFFFFFFFFull); }
static int slot_may_hold(slot_s slot, unsigned mix) { return (slot >> 48) == (mix >> 16); }

// Eight bytes at a time: long texts are hashed and compared by the word.
static unsigned long long load8(char const* p) {
    unsigned long long v;
    __builtin_memcpy(&v, p, 8);
    return v;
}

static unsigned mix_bytes(char const* text, int length) {
    unsigned long long h = 0xcbf29ce484222325ull ^ (unsigned)length;
    int i = 0;
    for (; i + 8 <= length; i += 8) {
        h = (h ^ load8(text + i)) * 0x100000001b3ull;
        h ^= h >> 29;
    }
    for (; i < length; i++) h = (h ^ (unsigned char)text[i]) * 0x100000001b3ull;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return (unsigned)h;
}

static void index_grow() {
    unsigned size = slots ? (slot_mask + 1) * 2 : 1024;
    slot_s* fresh = new slot_s[size];
    for (unsigned i = 0; i < size; i++) fresh[i] = 0;
    for (unsigned k = 0; slots && k <= slot_mask; k++) {
        if (!slots[k]) continue;
        unsigned i = slot_atom(slots[k])->mix & (size - 1);
        while (fresh[i]) i = (i + 1) & (size - 1);
        fresh[i] = slots[k];
    }
    delete[] slots;
    slots = fresh;
    slot_mask = size - 1;
}

static int same_bytes(char const* a, char const* b, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8)
        if (load8(a + i) != load8(b + i)) return 0;
    for (; i < n; i++)
        if (a[i] != b[i]) return 0;
    return 1;
}

// The number of bytes before the first byte 0 among the first n.
static int bytes_before_zero(char const* p, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        unsigned long long v = load8(p + i);
        if ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) break;
    }
    while (i < n && p[i]) i++;
    return i;
}

// The slot holding the text, or the empty slot where it would go.
static slot_s* index_slot(char const* text, int length, unsigned mix) {
    if (!slots) index_grow();
    unsigned i = mix & slot_mask;
    for (;; i = (i + 1) & slot_mask) {
        slot_s* slot = &slots[i];
        if (!*slot) return slot;
        if (!slot_may_hold(*slot, mix)) continue;
        atom_s* a = slot_atom(*slot);
        if (a->mix == mix && a->length == length && same_bytes(a->data, text, length)) return slot;
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
    static size_t block_size = 32768;  // doubled up to 4 MiB, where huge pages pay
    size = (size + 7) & ~(size_t)7;
    if (size > 1024) return new char[size];
    if (size > left) {
        if (block_size < (4 << 20)) block_size *= 2;
        block = new char[block_size];
        left = block_size;
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
    a->global = nullptr;
    a->next = atom_table;
    atom_table = a;
    count++;
    return a;
}

// ---- numbers ----------------------------------------------------------------------------------
// Numbers are the commonest values a program makes. The atoms of 0 to 4194303, written as
// decimal text without leading zeros, are kept apart from the index in a table of
// 4096-number pages, made as they are needed: a counter then finds its numbers in order where
// the index would scatter them, and the index stays small. Every way to an atom looks there
// first for such a text, so each text still has exactly one atom.

enum { PAGE_BITS = 12, PAGE = 1 << PAGE_BITS, PAGES = 1024 };
static atom_s** number_pages[PAGES];

// The table's slot for n (made when missing), or null for a number outside the table.
static atom_s** number_slot(int n) {
    if (n < 0 || n >= PAGE * PAGES) return nullptr;
    atom_s**& page = number_pages[n >> PAGE_BITS];
    if (!page) {
        page = new atom_s*[PAGE];
        for (int i = 0; i < PAGE; i++) page[i] = nullptr;
    }
    return &page[n & (PAGE - 1)];
}

// The number a text is the table's text for, or -1.
static int table_number(char const* text, int length) {
    if (length < 1 || length > 7 || (text[0] == '0' && length > 1)) return -1;
    int n = 0;
    for (int i = 0; i < length; i++) {
        if (text[i] < '0' || text[i] > '9') return -1;
        n = n * 10 + (text[i] - '0');
    }
    return n < PAGE * PAGES ? n : -1;
}

atom_s* atoms_new() {
    atom_s* a = (atom_s*)arena_take(sizeof(atom_s));
    a->init();
    return link_atom(a);
}

atom_s* atoms_find(char const* text, int length) {
    int n = table_number(text, length);
    if (n >= 0) {
        atom_s** page = number_pages[n >> PAGE_BITS];
        return page ? page[n & (PAGE - 1)] : nullptr;
    }
    return slot_atom(*index_slot(text, length, mix_bytes(text, length)));
}

atom_s* atoms_find(char const* text) { return atoms_find(text, text_length(text)); }

atom_s* atoms_find(str_s* string) { return atoms_find(string->data, string->length); }

// A new atom for a text that has none yet; `give` is a string to take over, or null to copy
// `text`. The caller files it in the index or the number table.
static atom_s* new_atom(char const* text, int length, str_s* give) {
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
    return link_atom(a);
}

// Interns a text that is not yet in the index, placing it in `slot`.
static atom_s* intern(slot_s* slot, char const* text, int length, unsigned mix, str_s* give) {
    atom_s* a = new_atom(text, length, give);
    a->mix = mix;
    indexed++;
    *slot = slot_make(a);
    Error(slot_atom(*slot) != a, "An atom's address does not fit the atom index");
    if ((unsigned)indexed * 2 > slot_mask + 1) index_grow();
    return a;
}

static atom_s* add_text(char const* text, int length) {
    if (atom_s** at = number_slot(table_number(text, length))) {
        if (!*at) *at = new_atom(text, length, nullptr);
        return *at;
    }
    unsigned mix = mix_bytes(text, length);
    slot_s* slot = index_slot(text, length, mix);
    return *slot ? slot_atom(*slot) : intern(slot, text, length, mix, nullptr);
}

atom_s* atoms_add(char const* text) { return add_text(text, text_length(text)); }
atom_s* atoms_add(char const* text, int length) { return add_text(text, length); }

atom_s* atoms_add(str_s* string) {
    // A byte 0 read into a string ends its text, as it does for every char* caller.
    int length = bytes_before_zero(string->data, string->length);
    if (length != string->length) string->left(length);
    if (atom_s** at = number_slot(table_number(string->data, string->length))) {
        if (*at) {
            string->free();
            return *at;
        }
        return *at = new_atom(nullptr, 0, string);
    }
    unsigned mix = mix_bytes(string->data, string->length);
    slot_s* slot = index_slot(string->data, string->length, mix);
    if (*slot) {
        string->free();
        return slot_atom(*slot);
    }
    return intern(slot, string->data, string->length, mix, string);
}

atom_s* atoms_add(char c) {
    char text[2] = {c, 0};
    return atoms_add(text);
}

// Other numbers are remembered in a small table indexed by their low bits.
atom_s* atoms_add(int n) {
    static struct {
        int n;
        atom_s* atom;
    } recent[4096];
    if (atom_s** at = number_slot(n)) {
        if (!*at) {
            char text[12];
            *at = new_atom(text, text_length(i2s(n, text)), nullptr);
        }
        return *at;
    }
    auto& seen = recent[(unsigned)n & 4095];
    if (seen.atom && seen.n == n) return seen.atom;
    char text[12];
    atom_s* atom = add_text(text, text_length(i2s(n, text)));
    seen = {n, atom};
    return atom;
}

int atoms_count() { return count; }
