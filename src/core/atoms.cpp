// The atom table, its index and the stores that long texts share. The chain from
// `atom_table` and atom_walk are what walks see; small numbers have a table of their own
// (and an atom of 32 bytes, with a record beside it when one names a function), and every other
// atom is found through an open-addressing index kept at most three quarters full, keyed by
// a hash of the text's stem (all its bytes but the last): a word-at-a-time mix for short
// texts, and for long ones a polynomial hash that can be combined from the hashes of the
// parts, so that cutting and joining long texts costs time in the bytes added, not in the
// whole text. The key only picks candidates: texts are always compared byte for byte.
#include "atoms.h"

#include "../host/host.h"
#include "lists.h"

atom_s* atom_table;
static int count;    // every atom
static int indexed;  // those in the index
static int numbers;  // those of the number table, which are not in the chain

static_assert(sizeof(atom_s) <= 64, "a deep recursion makes an atom per level");
// Short atoms: a short text's ends after `next`, a long text's after `key`.
enum { SHORT_SIZE = 32, SHORT_LONG_SIZE = 40 };
static_assert(sizeof(str_s) + 2 * sizeof(unsigned) + sizeof(atom_s*) == SHORT_SIZE, "a number's atom ends after `next`");
static_assert(sizeof(atom_s) - 3 * sizeof(list_s*) == SHORT_LONG_SIZE, "a long short atom ends after `key`");

typedef unsigned long long u64;

static u64 load8(char const* p) {
    u64 v;
    __builtin_memcpy(&v, p, 8);
    return v;
}

// ---- keys -------------------------------------------------------------------------------------

// A short text is keyed by its stem, its length and all its bytes but the last, eight bytes
// at a time: the texts of one stem share their key, and the index tells them apart by their
// last bytes.
static u64 short_key(char const* text, int length) {
    u64 h = 0xcbf29ce484222325ull ^ (unsigned)length;
    int i = 0, n = length - 1;
    if (n < 8) {
        for (; i < n; i++) h = (h ^ (unsigned char)text[i]) * 0x100000001b3ull;
        return h;
    }
    // The stem's last eight bytes are read as one word, overlapping the word before when the
    // stem's length is no multiple of eight.
    for (; i + 8 < n; i += 8) {
        h = (h ^ load8(text + i)) * 0x100000001b3ull;
        h ^= h >> 29;
    }
    h = (h ^ load8(text + n - 8)) * 0x100000001b3ull;
    return h ^ h >> 29;
}

// A long text is keyed by the polynomial sum of byte[i] * P^(length - 1 - i), modulo 2^64:
// the key of a joined text is key(a) * P^length(b) + key(b), and the key of a cut follows
// from the key of its source by taking the dropped ends off. P is odd, so it has an inverse.
static u64 const P = 0x9E3779B97F4A7C15ull;

static constexpr u64 power_of_p(int k) {
    u64 v = 1;
    for (int i = 0; i < k; i++) v *= P;
    return v;
}

static u64 poly(char const* text, int length, u64 h = 0) {
    static constexpr u64 p[9] = {power_of_p(0), power_of_p(1), power_of_p(2),
                                 power_of_p(3), power_of_p(4), power_of_p(5),
                                 power_of_p(6), power_of_p(7), power_of_p(8)};
    unsigned char const* b = (unsigned char const*)text;
    int i = 0;
    // Eight bytes per step: the multiplications of a step do not wait for each other.
    for (; i + 8 <= length; i += 8)
        h = h * p[8] + b[i] * p[7] + b[i + 1] * p[6] + b[i + 2] * p[5] + b[i + 3] * p[4] +
            b[i + 4] * p[3] + b[i + 5] * p[2] + b[i + 6] * p[1] + b[i + 7];
    for (; i < length; i++) h = h * P + b[i];
    return h;
}

// P^k for any text length k, from three tables of 2048 powers filled at first use.
static u64 pw(int k) {
    static u64 low[2048], mid[2048], high[1024];
    if (!low[0]) {
        u64 v = 1;
        for (int i = 0; i < 2048; i++, v *= P) low[i] = v;
        u64 step = v;  // P^2048
        v = 1;
        for (int i = 0; i < 2048; i++, v *= step) mid[i] = v;
        step = v;  // P^(2048 * 2048)
        v = 1;
        for (int i = 0; i < 1024; i++, v *= step) high[i] = v;
    }
    if (k < 2048) return low[k];
    return low[k & 2047] * mid[(k >> 11) & 2047] * high[(unsigned)k >> 22];
}

// The inverse of an odd number modulo 2^64: each Newton step doubles the bits that are right.
static u64 inverse(u64 x) {
    u64 y = x;  // right in the low 3 bits, as x * x is 1 modulo 8
    for (int i = 0; i < 5; i++) y *= 2 - x * y;
    return y;
}

static unsigned mix_of(u64 h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return (unsigned)h;
}

static u64 text_key(char const* text, int length) {
    return length < ATOM_LONG ? short_key(text, length) : poly(text, length);
}

// The polynomial key of any atom's text: long atoms carry it.
static u64 poly_key(atom_s* a) { return a->length < ATOM_LONG ? poly(a->data, a->length) : a->key; }

// ---- memory -----------------------------------------------------------------------------------

// Atoms and texts are never freed, so they are carved out of blocks instead of costing an
// allocation each: an atom and the short text made with it lie side by side. Blocks double
// from 64 KiB up to 4 MiB: a small program stays small, and a large one asks the host for
// few large blocks, which it may back with huge pages. From 256 KiB on, a block is made ready
// a quarter at a time, in one call to the host instead of a page fault every 4 KiB. The
// sanitizer build gives every piece its own allocation, so that it can see each one.

// Where the ready bytes of a block of `size` bytes, ready up to `ready` and ending at `end`,
// end after one more part: all of a block below 256 KiB (its pages fault in as they are
// touched), a quarter of a larger one, made ready in one call to the host.
static char* block_ready(char* ready, char* end, long long size) {
    if (size < (256 << 10)) return end;
    long long part = size / 4 < end - ready ? size / 4 : end - ready;
    host_ready(ready, (size_t)part);
    return ready + part;
}

enum { ARENA_PIECE_MAX = 1024 };

// Whether a piece of `size` bytes (a multiple of 8) is an allocation of its own, not carved
// from a block: a large one, and every one in the sanitizer build, so that it sees each.
static int piece_alone(long long size) { return KAVO_ASAN || size > ARENA_PIECE_MAX; }

#if KAVO_ASAN
extern "C" void __asan_poison_memory_region(void const volatile* p, size_t size);
#endif

#if !KAVO_ASAN
static char *arena_block, *arena_ready, *arena_end;  // the newest block's free bytes, ready or not

static __attribute__((noinline)) void arena_refill(long long size) {
    static long long next = 32768;
    if (arena_end - arena_block < size) {
        if (next < (4 << 20)) next *= 2;
        arena_block = arena_ready = new char[next];
        arena_end = arena_block + next;
    }
    arena_ready = block_ready(arena_ready, arena_end, next);
}
#endif

__attribute__((always_inline)) inline void* arena_take(long long size) {
#if KAVO_ASAN
    return new char[size];
#else
    size = (size + 7) & ~7;
    if (__builtin_expect(piece_alone(size), 0)) return new char[size];
    if (__builtin_expect(size > arena_ready - arena_block, 0)) arena_refill(size);
    char* p = arena_block;
    arena_block += size;
    return p;
#endif
}

// Gives back a piece that nothing points to any more (an outgrown leaf): one that had an
// allocation of its own is freed, one carved from a block stays there unused.
static void arena_drop(void* p, long long size) {
    if (piece_alone((size + 7) & ~7)) delete[] (char*)p;
}

// A store: `room` bytes (and one for the NUL after the newest text) with this record behind
// them, so that an atom finds it from its `data + capacity`. Bytes below `used` never change.
// `prefix[j]` is the polynomial key of the first j * PREFIX_STEP bytes, filled on demand for j
// up to `hashed`: a key every 64 bytes costs an eighth of the store and gives the key of any
// range from two of them and at most 126 bytes hashed.
enum { PREFIX_STEP = 64 };

struct store_s {
    char* bytes;
    u64* prefix;
    int used;
    int room;
    int hashed;
};

static store_s* store_at_end(char* room_end) {
    return (store_s*)(((uintptr_t)room_end + 1 + 7) & ~(uintptr_t)7);
}

static store_s* store_of(atom_s* a) { return store_at_end(a->data + a->capacity); }

static store_s* store_new(int room) {
    char* bytes = (char*)arena_take((long long)room + 1 + 7 + (long long)sizeof(store_s));
    store_s* store = store_at_end(bytes + room);
    store->bytes = bytes;
    store->prefix = nullptr;
    store->used = 0;
    store->room = room;
    store->hashed = 0;
    bytes[0] = 0;
    return store;
}

// The key of the store's first i bytes, and of its bytes [from, to).
static u64 store_prefix_key(store_s* store, int i) {
    if (!store->prefix) {
        store->prefix = new u64[(unsigned)store->room / PREFIX_STEP + 1];
        store->prefix[0] = 0;
    }
    for (int& j = store->hashed; j < i / PREFIX_STEP; j++)
        store->prefix[j + 1] = poly(store->bytes + j * PREFIX_STEP, PREFIX_STEP, store->prefix[j]);
    int from = i - i % PREFIX_STEP;
    return poly(store->bytes + from, i - from, store->prefix[from / PREFIX_STEP]);
}

static u64 store_range_key(store_s* store, int from, int to) {
    return store_prefix_key(store, to) - store_prefix_key(store, from) * pw(to - from);
}

// ---- numbers ----------------------------------------------------------------------------------
// Numbers are the commonest values a program makes. The atoms of 0 to 9999999 (every number
// of up to seven digits), written as decimal text without leading zeros, are kept apart from
// the index in a table of 512-number pages, made as they are needed: a counter then finds its
// numbers in order where the index would scatter them, and the index stays small. Every way
// to an atom looks there first for such a text, so each text still has exactly one atom.
//
// A number's atom is found by its place among the number atoms: the atoms live in blocks
// of their own, block b holding the places from b * NUMBER_BLOCK on. The first two blocks are
// only partly filled (a small program stays small); the later ones hold 2 MiB of atoms. They
// are made ready like the arena's blocks. A number's atom is 32 bytes, the fields up to
// `next`, and a full block holds as many as fit in 2 MiB. The sanitizer build gives each 64
// and poisons the rest, so that it sees any reach past a number's end; it keeps the blocks
// whole otherwise, as a number atom has no text of its own to run past.
//
// A page's slots are 16 bits: a number's place less the page's base, the place before its
// first number's, and 0 for none. The numbers of a page are nearly always made close
// together (a count's, or a sum's that grows by a few each step), so a program that meets
// numbers spread thinly over a wide range (running totals) keeps 2 bytes for each number of
// that range, not 4. A page whose numbers were made far apart, a place more than 65535 past
// its base, is widened once to whole places, which its pointer's low bit then tells.

enum { NUMBERS = 10000000, PAGE_BITS = 9, PAGE = 1 << PAGE_BITS };
enum { PAGES = (NUMBERS + PAGE - 1) / PAGE };
enum { NUMBER_SIZE = KAVO_ASAN ? 64 : 32, NUMBER_END = 32 };
enum { NUMBER_BLOCK_BITS = 16, NUMBER_BLOCK = 1 << NUMBER_BLOCK_BITS, FIRST_ROOM = 2048, SECOND_ROOM = 16384 };
enum { FULL_BYTES = 2 << 20, FULL_ROOM = FULL_BYTES / NUMBER_SIZE };
static_assert((int)FULL_ROOM <= (int)NUMBER_BLOCK, "a block's places fit below the next block's");
typedef unsigned number_place;
namespace {
struct narrow_page {
    number_place base;
    unsigned short slots[PAGE];
};
}  // namespace
enum : uintptr_t { WIDE = 1 };
static uintptr_t number_pages[PAGES];  // a narrow_page, or whole places with WIDE set
static char* number_blocks[NUMBERS / FULL_ROOM + 4];
// The next place, the end of the ready places and the end of the newest block; block 0 is
// unused, so that place 0 is none.
static number_place number_next = NUMBER_BLOCK, number_end = NUMBER_BLOCK, number_block_end = NUMBER_BLOCK;

static atom_s* number_at(number_place place) {
    return (atom_s*)(number_blocks[place >> NUMBER_BLOCK_BITS] + NUMBER_SIZE * (place & (NUMBER_BLOCK - 1)));
}

// The place that slot i of a narrow page holds, or 0.
static number_place narrow_place(narrow_page* page, int i) {
    unsigned slot = page->slots[i];
    return slot ? page->base + slot : 0;
}

// The place of n's atom, or 0 when n (a number of the table) has none yet.
static number_place number_place_of(int n) {
    uintptr_t page = number_pages[n >> PAGE_BITS];
    if (__builtin_expect(page & WIDE, 0)) return ((number_place*)(page - WIDE))[n & (PAGE - 1)];
    return page ? narrow_place((narrow_page*)page, n & (PAGE - 1)) : 0;
}

// Room for pages, carved in the order the program first meets them from blocks and cleared
// only then: a counter walks memory in order, and a program that meets a few scattered
// numbers (fib's) touches a page of memory for each, side by side, with no allocation's
// bookkeeping between. The first block holds 64 KiB, the next ones 2 MiB, which the host
// backs with huge pages instead of a page fault every 4 KiB.
static void* page_take(int bytes) {
    static char *block, *end;
    static long long next = 64 << 10;
    if (end - block < bytes) {
        block = new char[next];
        end = block + next;
        next = FULL_BYTES;
    }
    void* page = block;
    block += (bytes + 7) & ~7;
    for (int i = 0; i < bytes / 4; i++) ((unsigned*)page)[i] = 0;
    return page;
}

// Files n's new atom, at `place`, in a page that is missing or too narrow for it. Out
// of line, as number_refill is, so that making a number saves no registers for either.
static __attribute__((noinline)) void number_file_rare(int n, number_place place) {
    uintptr_t& page = number_pages[n >> PAGE_BITS];
    if (!page) {
        narrow_page* narrow = (narrow_page*)page_take((int)sizeof(narrow_page));
        narrow->base = place - 1;
        narrow->slots[n & (PAGE - 1)] = 1;
        page = (uintptr_t)narrow;
        return;
    }
    number_place* wide = (number_place*)page_take((int)(PAGE * sizeof(number_place)));
    for (int i = 0; i < PAGE; i++) wide[i] = narrow_place((narrow_page*)page, i);
    wide[n & (PAGE - 1)] = place;
    page = (uintptr_t)wide | WIDE;
}

// Files n's new atom, at `place`, in its page.
__attribute__((always_inline)) inline void number_file(int n, number_place place) {
    uintptr_t page = number_pages[n >> PAGE_BITS];
    narrow_page* narrow = (narrow_page*)page;
    if (page & WIDE)
        ((number_place*)(page - WIDE))[n & (PAGE - 1)] = place;
    else if (page && place - narrow->base <= 0xFFFF)
        narrow->slots[n & (PAGE - 1)] = (unsigned short)(place - narrow->base);
    else
        number_file_rare(n, place);
}

// Makes more places ready for number atoms, in the newest block or a new one.
static __attribute__((noinline)) void number_refill() {
    int b = (int)((number_end - 1) >> NUMBER_BLOCK_BITS);
    if (number_end == number_block_end) {
        int room = ++b == 1 ? (int)FIRST_ROOM : b == 2 ? (int)SECOND_ROOM : (int)FULL_ROOM;
        // A full block asks for its 2 MiB whole, the few bytes past its atoms too: so the
        // host sees a block it may give huge pages.
        number_blocks[b] = new char[room == FULL_ROOM ? (long long)FULL_BYTES : (long long)room * NUMBER_SIZE];
#if KAVO_ASAN
        for (int i = 0; i < room; i++)
            __asan_poison_memory_region(number_blocks[b] + i * NUMBER_SIZE + NUMBER_END, NUMBER_SIZE - NUMBER_END);
#endif
        number_next = number_end = (number_place)b << NUMBER_BLOCK_BITS;
        number_block_end = number_next + (number_place)room;
    }
    char* block = number_blocks[b];
    long long size = (long long)(number_block_end - ((number_place)b << NUMBER_BLOCK_BITS)) * NUMBER_SIZE;
    char* ready = block_ready((char*)number_at(number_end), block + size, size);
    number_end = ((number_place)b << NUMBER_BLOCK_BITS) + (number_place)((ready - block) / NUMBER_SIZE);
}

// Room for a new number atom, and its place.
__attribute__((always_inline)) inline atom_s* number_room(number_place& place) {
    if (__builtin_expect(number_next == number_end, 0)) number_refill();
    place = number_next++;
    return number_at(place);
}

// The number a text is the table's text for, or -1.
static int table_number(char const* text, int length) {
    if (length < 1 || length > 7 || (text[0] == '0' && length > 1)) return -1;
    int n = 0;
    for (int i = 0; i < length; i++) {
        if (text[i] < '0' || text[i] > '9') return -1;
        n = n * 10 + (text[i] - '0');
    }
    return n;  // seven digits at most, so below NUMBERS
}

// ---- comparing --------------------------------------------------------------------------------

static int same_bytes(char const* a, char const* b, int n) {
    int i = 0;
    if (n < 8) {
        for (; i < n; i++)
            if (a[i] != b[i]) return 0;
        return 1;
    }
    for (; i + 8 < n; i += 8)
        if (load8(a + i) != load8(b + i)) return 0;
    return load8(a + n - 8) == load8(b + n - 8);  // the last word, overlapping the one before
}

// Long equal ranges of atom bytes found lately. Walking a text made of one repeated piece
// meets, at every step, a text that is already an atom, and each would cost a comparison
// of its whole length; but those texts are shifted windows of ranges already compared, and
// atom bytes never change, so a window of a range known equal is equal without a look.
namespace {
struct equal_ranges {
    uintptr_t a, b;
    int length;
};
}  // namespace
static equal_ranges known[4];
static unsigned known_next;
static int const KNOWN_FROM = 256;  // shorter ranges are compared faster than remembered

static int known_equal(uintptr_t x, uintptr_t y, int n) {
    for (auto& k : known) {
        if (k.length < n) continue;
        uintptr_t limit = (uintptr_t)(k.length - n);
        if (x - k.a <= limit && x - k.a == y - k.b) return 1;
        if (y - k.a <= limit && y - k.a == x - k.b) return 1;
    }
    return 0;
}

// Compares two ranges of atom bytes (bytes that never change).
static int same_atom_bytes(char const* x, char const* y, int n) {
    if (x == y) return 1;
    if (n < KNOWN_FROM) return same_bytes(x, y, n);
    if (known_equal((uintptr_t)x, (uintptr_t)y, n)) return 1;
    if (!same_bytes(x, y, n)) return 0;
    known[known_next++ & 3] = {(uintptr_t)x, (uintptr_t)y, n};
    return 1;
}

// ---- the index --------------------------------------------------------------------------------

// The index files texts by stem: a short text's length and all its bytes but the last, and
// all of a long text, which seldom comes of counting and is keyed from its parts. A slot holds
// the one atom of a stem, or a leaf with all the atoms of a stem, placed by their last bytes.
// Texts that a program makes by counting ("item8", "item9", "item10"...) share stems, so ten
// of them take one slot and one leaf, which stay in the cache while the count goes on, where
// ten slots at random places would each cost a miss.
// A slot holds the address of an atom or a leaf, a multiple of 8 below 2^47, in its low 44
// bits, bit 44 set for a leaf, and 19 bits of the stem's mix above, so that a probe that misses
// rarely reads an atom. A stem's home slot is picked by the top bits of its mix, so that
// growing the index reads the old slots in order and writes the larger table front to back.
typedef unsigned long long slot_s;
static slot_s* slots;
static int slot_bits;  // the index has 2^slot_bits slots
static unsigned slot_mask;

namespace {
// The atoms of one stem, open-addressed by their last bytes in `room` places, a power of two
// kept at most three quarters full; the atoms and then their last bytes follow the record.
struct leaf_s {
    unsigned mix;  // the stem's
    int count, room;
    atom_s* first;  // an atom of the stem, to compare stems with
    atom_s** atoms() { return (atom_s**)(this + 1); }
    unsigned char* lasts() { return (unsigned char*)(atoms() + room); }
};

// Where a lookup ended: the stem's slot (empty for a new stem) and the text's atom, if any.
struct lookup_s {
    slot_s* slot;
    atom_s* atom;
};
}  // namespace

static slot_s slot_make(void* p, int leaf, unsigned mix) {
    return (slot_s)(uintptr_t)p >> 3 | (slot_s)leaf << 44 | (slot_s)(mix & 0x7FFFF) << 45;
}
static void* slot_pointer(slot_s slot) { return (void*)(uintptr_t)((slot & ((1ull << 44) - 1)) << 3); }
static int slot_is_leaf(slot_s slot) { return (int)(slot >> 44) & 1; }
static int slot_may_hold(slot_s slot, unsigned mix) { return (slot >> 45) == (mix & 0x7FFFF); }
static unsigned slot_home(unsigned mix) { return mix >> (32 - slot_bits); }
// Where the mix of a slot's stem is kept: in its leaf, or in its one atom.
static unsigned* slot_mix(slot_s slot) {
    void* p = slot_pointer(slot);
    return slot_is_leaf(slot) ? &((leaf_s*)p)->mix : &((atom_s*)p)->mix;
}
static unsigned char last_byte(atom_s* a) { return a->length ? (unsigned char)a->data[a->length - 1] : 0; }

static void index_grow() {
    int bits = slots ? slot_bits + 1 : 10;
    unsigned size = 1u << bits, mask = size - 1;
    slot_s* fresh = new slot_s[size];
    if (size >= 8192) host_ready(fresh, size * sizeof(slot_s));  // written whole at once
    for (unsigned i = 0; i < size; i++) fresh[i] = 0;
    for (unsigned k = 0; slots && k <= slot_mask; k++) {
        slot_s slot = slots[k];
        // The mixes are read each from a random place: those 64 slots on are fetched
        // meanwhile (16 on was too near to hide the misses).
        if (k + 64 <= slot_mask && slots[k + 64]) __builtin_prefetch(slot_mix(slots[k + 64]));
        if (!slot) continue;
        unsigned i = *slot_mix(slot) >> (32 - bits);
        while (fresh[i]) i = (i + 1) & mask;
        fresh[i] = slot;
    }
    delete[] slots;
    slots = fresh;
    slot_bits = bits;
    slot_mask = mask;
}

// The place in `leaf` of the atom whose last byte is `last`, or the empty place for it.
static int leaf_place(leaf_s* leaf, unsigned char last) {
    int i = last & (leaf->room - 1);
    while (leaf->atoms()[i] && leaf->lasts()[i] != last) i = (i + 1) & (leaf->room - 1);
    return i;
}

static void leaf_put(leaf_s* leaf, atom_s* a, unsigned char last) {
    int i = leaf_place(leaf, last);
    leaf->atoms()[i] = a;
    leaf->lasts()[i] = last;
    leaf->count++;
}

static long long leaf_size(int room) { return (long long)sizeof(leaf_s) + room * (long long)(sizeof(atom_s*) + 1); }

// A leaf of `room` places holding the atoms of `from`, a leaf or (when `room` is 16) a stem's
// one atom.
static leaf_s* leaf_make(int room, unsigned mix, slot_s from) {
    leaf_s* leaf = (leaf_s*)arena_take(leaf_size(room));
    leaf->mix = mix;
    leaf->count = 0;
    leaf->room = room;
    for (int i = 0; i < room; i++) leaf->atoms()[i] = nullptr;
    if (!slot_is_leaf(from)) {
        leaf->first = (atom_s*)slot_pointer(from);
        leaf_put(leaf, leaf->first, last_byte(leaf->first));
        return leaf;
    }
    leaf_s* old = (leaf_s*)slot_pointer(from);
    leaf->first = old->first;
    for (int i = 0; i < old->room; i++)
        if (old->atoms()[i]) leaf_put(leaf, old->atoms()[i], old->lasts()[i]);
    return leaf;
}

// The text of `length` bytes ending in `last` (any byte for a text that is its own stem) whose
// stem has `mix`; `same(a, n)` tells whether the first n bytes of a's text are the text's.
template <class Same>
static lookup_s index_find(unsigned mix, int length, unsigned char last, Same same) {
    if (!slots) index_grow();
    int stem = length && length < ATOM_LONG ? length - 1 : length;
    for (unsigned i = slot_home(mix);; i = (i + 1) & slot_mask) {
        slot_s* slot = &slots[i];
        if (!*slot) return {slot, nullptr};
        if (!slot_may_hold(*slot, mix)) continue;
        if (slot_is_leaf(*slot)) {
            leaf_s* leaf = (leaf_s*)slot_pointer(*slot);
            if (leaf->first->length != length || !same(leaf->first, stem)) continue;
            return {slot, leaf->atoms()[leaf_place(leaf, last)]};
        }
        atom_s* a = (atom_s*)slot_pointer(*slot);
        if (a->length != length || !same(a, stem)) continue;
        return {slot, stem == length || last_byte(a) == last ? a : nullptr};
    }
}

static lookup_s index_find(char const* text, int length, unsigned mix) {
    return index_find(mix, length, length ? (unsigned char)text[length - 1] : 0,
                      [&](atom_s* a, int n) { return same_bytes(a->data, text, n); });
}

// Puts a new atom, its text given, in the index where index_find() left off: in the empty
// slot of a new stem, or in its stem's leaf, made or grown as needed.
static void index_add(lookup_s at, atom_s* a) {
    unsigned mix = a->mix;
    slot_s* slot = at.slot;
    int new_stem = !*slot;
    void* held = a;
    if (!new_stem) {
        leaf_s* leaf = (leaf_s*)slot_pointer(*slot);
        if (!slot_is_leaf(*slot)) {
            leaf = leaf_make(16, mix, *slot);  // 16 places: the ten last digits of a count each get one
        } else if ((leaf->count + 1) * 4 > leaf->room * 3) {
            leaf = leaf_make(leaf->room * 2, mix, *slot);
            arena_drop(slot_pointer(*slot), leaf_size(leaf->room / 2));
        }
        leaf_put(leaf, a, last_byte(a));
        held = leaf;
    }
    *slot = slot_make(held, held != a, mix);
    Error(slot_pointer(*slot) != held, "An atom's address does not fit the atom index");
    if (new_stem && (unsigned long long)++indexed * 4 > (slot_mask + 1ull) * 3) index_grow();
}

// A new atom's room, whole or short, its fields cleared but the text, which the caller gives it.
__attribute__((always_inline)) inline atom_s* atom_fresh(u64 key, unsigned mix, int size = (int)sizeof(atom_s)) {
#if KAVO_ASAN
    // A whole atom's room with what lies past a short atom's end poisoned, as for numbers: the
    // sanitizers then see both a reach past its end and an atom that has room for its type.
    atom_s* a = (atom_s*)arena_take((long long)sizeof(atom_s));
    if (size != (int)sizeof(atom_s)) __asan_poison_memory_region((char*)a + size, sizeof(atom_s) - (size_t)size);
#else
    atom_s* a = (atom_s*)arena_take(size);
#endif
    a->next = nullptr;
    a->flags = AI_SHORT;
    a->mix = mix;
    if (size != SHORT_SIZE) a->key = key;
    if (size != SHORT_SIZE && size != SHORT_LONG_SIZE) {
        a->global = nullptr;
        a->params = nullptr;
        a->body = nullptr;
        a->flags = 0;
    }
    return a;
}

// A new atom, newest in the chain; the caller gives it its text and files it.
__attribute__((always_inline)) inline atom_s* atom_link(u64 key, unsigned mix, int size = (int)sizeof(atom_s)) {
    atom_s* a = atom_fresh(key, mix, size);
    a->next = atom_table;
    atom_table = a;
    count++;
    return a;
}

// A new atom's last step, once its text is given: its flag for a leading '.', and its place
// in the index where index_find() left off.
static void atom_file(lookup_s at, atom_s* a) {
    if (a->length && a->data[0] == '.') a->set_flag(AI_DOT);
    index_add(at, a);
}

// Gives a new atom a copy of the text: a buffer of its own when short, a store when long.
static void atom_copy_text(atom_s* a, char const* text, int length) {
    if (length < ATOM_LONG) {
        a->data = (char*)arena_take(length + 1);
    } else {
        store_s* store = store_new(length);
        store->used = length;
        a->data = store->bytes;
    }
    text_copy(a->data, text, length);
    a->data[length] = 0;
    a->length = a->capacity = length;
}

// ---- the table ----------------------------------------------------------------------------------

atom_s* atoms_new() {
    u64 key = text_key("", 0);
    atom_s* a = atom_link(key, mix_of(key));
    a->init();
    return a;
}

atom_s* atoms_find(char const* text, int length) {
    int n = table_number(text, length);
    if (n >= 0) {
        number_place place = number_place_of(n);
        return place ? number_at(place) : nullptr;
    }
    return index_find(text, length, mix_of(text_key(text, length))).atom;
}

atom_s* atoms_find(char const* text) { return atoms_find(text, text_length(text)); }

atom_s* atoms_find(str_s* string) { return atoms_find(string->data, string->length); }

// A number of the table's, not yet an atom. Only the table finds it, never the index, so it
// needs no key; it is not chained either (see atom_walk), so its text (seven digits at most,
// and the NUL) is kept in `next`'s place, written as one word whose lowest byte is the first
// digit. `capacity`, which no short text reads, keeps how many chained atoms are older.
static __attribute__((noinline)) atom_s* number_atom(int n) {
    // All eight digits at once, zero-padded, the first in the lowest byte: the number's two
    // halves of four digits each in a 32-bit lane, split into pairs and then digits by
    // multiplying by a reciprocal in every lane together. The leading zeros are shifted out.
    u64 x = (u64)((unsigned)n / 10000) | (u64)((unsigned)n % 10000) << 32;
    u64 pairs = (x * 10486) >> 20 & 0x0000007F0000007Full;  // x / 100, exact below 10000
    x = pairs | (x - pairs * 100) << 16;
    u64 tens = (x * 103) >> 10 & 0x000F000F000F000Full;  // x / 10, exact below 100
    x = tens | (x - tens * 10) << 8;
    int zeros = n ? __builtin_ctzll(x) >> 3 : 7;
    int length = 8 - zeros;
    u64 word = (x + 0x3030303030303030ull) >> (8 * zeros);
    number_place place;
    atom_s* a = number_room(place);
    number_file(n, place);
    __builtin_memcpy(&a->next, &word, sizeof word);
    a->data = (char*)&a->next;
    a->length = length;
    a->capacity = count - numbers;
    a->flags = AI_NUMBER;
    a->number = (unsigned)n;
    count++;
    numbers++;
    return a;
}

// The atom of n, a number of the table, made when missing.
static atom_s* number_get(int n) {
    number_place place = number_place_of(n);
    return place ? number_at(place) : number_atom(n);
}

// A new text's atom is whole, but for texts made by joining and cutting (SHORT_SIZE): those
// are the program's own values, which seldom name a function.
static atom_s* add_text(char const* text, int length, int size = (int)sizeof(atom_s)) {
    int n = table_number(text, length);
    if (n >= 0) return number_get(n);
    u64 key = text_key(text, length);
    unsigned mix = mix_of(key);
    lookup_s at = index_find(text, length, mix);
    if (at.atom) return at.atom;
    atom_s* a = atom_link(key, mix, size);
    atom_copy_text(a, text, length);
    atom_file(at, a);
    return a;
}

atom_s* atoms_add(char const* text) { return add_text(text, text_length(text)); }
atom_s* atoms_add(char const* text, int length) { return add_text(text, length); }

atom_s* atoms_add(str_s* string) {
    // A byte 0 read into a string ends its text, as it does for every char* caller.
    int length = 0;
    while (length < string->length && string->data[length]) length++;
    atom_s* a = add_text(string->data, length);
    string->free();
    return a;
}

atom_s* atoms_add(char c) {
    static atom_s* bytes[256];  // head, at and last make these over and over
    atom_s*& known = bytes[(unsigned char)c];
    if (!known) {
        char text[2] = {c, 0};
        known = atoms_add(text);
    }
    return known;
}

// Other numbers are remembered in a small table indexed by their low bits; they are made
// out of line, so that a number of the table costs no more than its lookup.
static __attribute__((noinline)) atom_s* other_number(int n) {
    static struct {
        int n;
        atom_s* atom;
    } recent[4096];
    auto& seen = recent[(unsigned)n & 4095];
    if (seen.atom && seen.n == n) return seen.atom;
    char text[12];
    atom_s* atom = add_text(text, text_length(i2s(n, text)));
    seen = {n, atom};
    return atom;
}

atom_s* atoms_add(int n) {
    if ((unsigned)n < (unsigned)NUMBERS) return number_get(n);
    return other_number(n);
}

int atoms_count() { return count; }

// ---- numbers and short atoms as names -------------------------------------------------------------

// The record of each number or short atom that names a function or a global variable, found
// by the atom's address in an open-addressing table kept at most half full. A record is a
// whole atom with the atom's text, whose fields from `global` on are the atom's (a call runs
// the record in its place); its `next` is unused.
namespace {
struct named_s {
    atom_s* atom;
    atom_s* names;
};
struct walk_number {
    number_place place;  // numbers are placed in the order they are made
    atom_s* atom;
};
}  // namespace
static named_s* named;
static unsigned named_mask;
static int named_count;

static unsigned named_home(atom_s* a) { return (unsigned)((uintptr_t)a * 0x9E3779B97F4A7C15ull >> 32) & named_mask; }

static void named_grow() {
    named_s* old = named;
    unsigned old_size = old ? named_mask + 1 : 0, size = old ? old_size * 2 : 64;
    named = new named_s[size];
    for (unsigned i = 0; i < size; i++) named[i] = {nullptr, nullptr};
    named_mask = size - 1;
    for (unsigned k = 0; k < old_size; k++) {
        if (!old[k].atom) continue;
        unsigned i = named_home(old[k].atom);
        while (named[i].atom) i = (i + 1) & named_mask;
        named[i] = old[k];
    }
    delete[] old;
}

atom_s* atom_s::own_record() {
    if (!named) named_grow();
    unsigned i = named_home(this);
    for (; named[i].atom; i = (i + 1) & named_mask)
        if (named[i].atom == this) return named[i].names;
    atom_s* names = atom_fresh(0, mix);  // not chained, nor indexed: the walk finds it through its atom
    names->data = data;
    names->length = length;
    names->capacity = length < ATOM_LONG ? length : capacity;  // a long text's store, as its atom's
    flags |= AI_RECORD;
    named[i] = {this, names};
    if (++named_count * 2 > (int)named_mask + 1) named_grow();
    return names;
}

list_s* atom_s::record_global() { return flags & AI_RECORD ? own_record()->global : nullptr; }

void atom_s::set_global_var(list_s* cell) { names()->global = cell; }

// The numbers that hold a function, oldest first, for the walk in progress.
static walk_number* walk_numbers;

static void walk_sift(walk_number* w, int i, int n) {
    for (int c; (c = 2 * i + 1) < n; i = c) {
        if (c + 1 < n && w[c + 1].place > w[c].place) c++;
        if (w[i].place >= w[c].place) return;
        walk_number t = w[i];
        w[i] = w[c];
        w[c] = t;
    }
}

// The chain holds every atom but the numbers; the numbers that hold a function, sorted by
// place (the order they were made in), are merged in: a number is newer than a chained atom
// when more chained atoms were older than it. Short atoms without a record hold nothing.
atom_walk::atom_walk() : chain(atom_table), older(count - numbers - 1), left(0) {
    delete[] walk_numbers;
    walk_numbers = new walk_number[named_count + 1];
    for (unsigned i = 0; named && i <= named_mask; i++) {
        named_s& n = named[i];
        if (!n.atom || n.atom->notflag(AI_NUMBER)) continue;
        if (n.atom->notflag(AI_FUNCTION) && !n.names->params && !n.names->body) continue;
        walk_numbers[left++] = {number_place_of((int)n.atom->number), n.atom};
    }
    for (int i = left / 2 - 1; i >= 0; i--) walk_sift(walk_numbers, i, left);
    for (int n = left - 1; n > 0; n--) {
        walk_number t = walk_numbers[0];
        walk_numbers[0] = walk_numbers[n];
        walk_numbers[n] = t;
        walk_sift(walk_numbers, 0, n);
    }
}

atom_s* atom_walk::next() {
    for (;;) {
        if (left > 0 && (!chain || walk_numbers[left - 1].atom->capacity > older)) return walk_numbers[--left].atom;
        if (!chain) return nullptr;
        atom_s* a = chain;
        chain = a->next;
        older--;
        if ((a->flags & (AI_SHORT | AI_RECORD)) != AI_SHORT) return a;
    }
}

// ---- cutting and joining ------------------------------------------------------------------------

// The key of a's bytes [start, start + n), a long piece of a long text. When few bytes are
// dropped they are taken off a's own key; otherwise the store's prefix keys give it.
static u64 cut_key(atom_s* a, int start, int n) {
    int end = start + n, length = a->length;
    if (length - n <= 16) {
        u64 h = a->key - poly(a->data, start) * pw(length - start) - poly(a->data + end, length - end);
        return end == length ? h : h * inverse(pw(length - end));
    }
    store_s* store = store_of(a);
    int from = (int)(a->data + start - store->bytes);
    return store_range_key(store, from, from + n);
}

atom_s* atoms_cut(atom_s* a, int start, int count) {
    if (start == 0 && count == a->length) return a;
    char* piece = a->data + start;
    if (count < ATOM_LONG) return add_text(piece, count, SHORT_SIZE);
    u64 key = cut_key(a, start, count);
    unsigned mix = mix_of(key);
    lookup_s at = index_find(mix, count, 0, [&](atom_s* b, int n) { return same_atom_bytes(b->data, piece, n); });
    atom_s* cut = at.atom;
    if (!cut) {
        cut = atom_link(key, mix, SHORT_LONG_SIZE);
        cut->data = piece;
        cut->length = count;
        cut->capacity = a->capacity - start;  // the same store, so the same end of room
        atom_file(at, cut);
    }
    // A text walked byte by byte is cut again right behind its first byte: the index slot
    // of that next tail is fetched now, while the program does the rest of the step.
    if (start == 1 && count > ATOM_LONG) {
        u64 next = key - (unsigned char)piece[0] * pw(count - 1);
        __builtin_prefetch(&slots[slot_home(mix_of(next))]);
    }
    return cut;
}

// True when `a` ends where its store's written bytes end and `extra` more bytes fit there.
static int grows_in_place(atom_s* a, int extra) {
    if (a->length < ATOM_LONG || a->capacity - a->length < extra) return 0;
    store_s* store = store_of(a);
    return a->data + a->length == store->bytes + store->used;
}

atom_s* atoms_join(list_s* values) {
    // A short text is joined on the stack as it is measured, and found or copied from there.
    // (Eight bytes to spare: the compiler cannot tell that a copy ends within ATOM_LONG.)
    char text[ATOM_LONG + 8];
    long long total = 0;
    for (list_s* v = values; v; v = v->next) {
        if (total + v->atom->length < ATOM_LONG) text_copy(text + total, v->atom->data, v->atom->length);
        total += v->atom->length;
    }
    if (total < ATOM_LONG) return add_text(text, (int)total, SHORT_SIZE);
    while (values->atom->length == 0) values = values->next;
    atom_s* first = values->atom;
    if (total == first->length) return first;
    Error(total > STR_MAX, 5, (int)STR_MAX);  // as str_s growth reports a text past the longest
    int length = (int)total;

    u64 key = poly_key(first);
    for (list_s* v = values->next; v; v = v->next) key = key * pw(v->atom->length) + poly_key(v->atom);
    unsigned mix = mix_of(key);
    lookup_s found = index_find(mix, length, 0, [&](atom_s* b, int) {
        char const* at = b->data;
        for (list_s* v = values; v; at += v->atom->length, v = v->next)
            if (!same_atom_bytes(at, v->atom->data, v->atom->length)) return 0;
        return 1;
    });
    if (found.atom) return found.atom;

    atom_s* joined = atom_link(key, mix, SHORT_LONG_SIZE);
    list_s* rest = values;
    if (grows_in_place(first, length - first->length)) {
        joined->data = first->data;
        joined->capacity = first->capacity;
        rest = values->next;
    } else {
        // Room for half as much again: a text that keeps growing is copied a few times only.
        long long room = total + total / 2;
        store_s* store = store_new(room > STR_MAX ? length : (int)room);
        joined->data = store->bytes;
        joined->capacity = store->room;
    }
    char* at = joined->data + (rest == values ? 0 : first->length);
    for (list_s* v = rest; v; v = v->next) {
        text_copy(at, v->atom->data, v->atom->length);
        at += v->atom->length;
    }
    *at = 0;
    store_s* store = store_of(joined);
    store->used = (int)(at - store->bytes);
    joined->length = length;
    atom_file(found, joined);
    return joined;
}

char const* atom_s::terminate() {
    store_s* store = store_new(length);
    text_copy(store->bytes, data, length);
    store->bytes[length] = 0;
    store->used = length;
    data = store->bytes;
    capacity = length;
    return data;
}
