// Atoms: interned texts. There is exactly one atom per distinct text, so the whole system
// compares names and values by pointer. Atoms are never freed or moved, and an atom's text
// never changes once interned; every atom but the table's numbers is chained newest first
// from `atom_table` (atom_walk adds the numbers that hold functions in their places), and an
// index of our own finds a text in constant expected time without walking that chain.
// atoms_add(str_s*) consumes the string: its text is copied or found, and the string released.
//
// How an atom stores its text, which nothing outside this layer may rely on:
// - A text shorter than ATOM_LONG bytes has a buffer of its own, NUL-terminated, and
//   `capacity` equals `length`; but a number of the table keeps its text inside its atom,
//   and its `capacity` says how many chained atoms are older (atom_walk's order).
// - A longer text lives in a store: a block of bytes that several atoms share, never freed.
//   A cut (atoms_cut) points into the bytes it was cut from; a join (atoms_join) writes its
//   new bytes after the first text's, in place, when that text ends where its store's
//   written bytes end and there is room, and into a new store otherwise. For such an atom
//   `data + capacity` is the end of its store's room, whatever part of the store it uses.
// - So `data`/`length` are always the text, but the byte after it is a NUL only while no
//   later text has been written behind it (a cut that ends inside its source, a text that
//   was extended). c_str() gives a NUL-terminated text in every case: it returns `data` when
//   the text is terminated, and otherwise first moves the atom to a terminated copy of its
//   own. Code that needs a C string (a message, a file name, a number to read, the platform)
//   calls c_str() and uses the pointer at once, before any other text is made.
#pragma once

#include "str.h"

struct list_s;
struct atom_s;
typedef atom_s* (*extern_handler)(list_s* args, list_s* raw_args);

enum atom_s_info : unsigned {
    AI_TAG = 0xFFFF,
    AI_EXTERN = 0x10000,
    AI_FUNCTION = 0x20000,
    AI_VARIABLE = 0x40000,  // the name of a variable, now or before: only such names are looked up
    AI_PARAMS_TWICE = 0x80000,  // a program function that names a parameter twice
    AI_SPY = 0x100000,
    AI_DOT = 0x200000,      // a text that starts with '.', set when the atom is made
    AI_NUMBER = 0x400000,   // a number of the number table: `number` is its value
    AI_SHORT = 0x800000,    // a text made by joining or cutting: its atom ends after `next`
    AI_RECORD = 0x1000000,  // a number or short atom whose record (see names()) is made
};

enum : int { ATOM_LONG = 32 };  // texts this long live in shared stores

// A number of the table (AI_NUMBER) is half an atom: it ends after `next`, whose place holds
// its text, and the fields a name needs (`global` to `body`) live in a record of their own,
// made the first time the number names a function or a global variable. A text that joining
// or cutting makes while the program runs (AI_SHORT) keeps `next` too, and `key` when the
// text is long, and has such a record for the rest. Those fields are reached through names()
// and global_var() on every atom that may be one of them: numbers and the texts a program
// computes are the commonest atoms by far and seldom name anything, so they take 32 bytes
// (40 for a long text), not 64.
struct atom_s : str_s {
    unsigned flags;  // atom_s_info bits, and the tag in the low 16 bits
    union {
        unsigned mix;     // the index's hash of the text's stem, for its slots
        unsigned number;  // AI_NUMBER: the value (such atoms live in a table, not the index)
    };
    atom_s* next;  // the next older atom; a number of the table's text
    // A number's atom, and a short atom of a short text, ends here.
    unsigned long long key;  // the hash that `mix` is made from; what joins and cuts combine
    // A short atom of a long text ends here.
    list_s* global;  // the global variable of this name, found without walking the globals
    list_s* params;  // a program function's parameter names
    union {
        list_s* body;             // a program function's calls
        extern_handler handler;  // a built-in's handler (AI_EXTERN)
    };

    int flag(atom_s_info mask) { return (int)(flags & mask); }
    int notflag(atom_s_info mask) { return (flags & mask) == 0; }
    void set_flag(int bits) { flags |= (unsigned)bits; }
    void clear_flag(atom_s_info mask) { flags &= ~(unsigned)mask; }
    char const* c_str() { return data[length] ? terminate() : data; }
    // The record that holds this atom's fields from `global` on: the atom itself, or a
    // number's or short atom's own record, made on first use.
    atom_s* names() { return flags & (AI_NUMBER | AI_SHORT) ? own_record() : this; }
    // The global variable of this name; reading it makes no record.
    list_s* global_var() { return flags & (AI_NUMBER | AI_SHORT) ? record_global() : global; }
    __attribute__((noinline)) void set_global_var(list_s* cell);

   private:
    __attribute__((noinline, cold)) char const* terminate();
    __attribute__((noinline)) atom_s* own_record();
    __attribute__((noinline, cold)) list_s* record_global();
};

// An atom given to Error() fills its message's %s with the atom's text.
inline char const* message_arg(atom_s* a) { return a->c_str(); }

extern atom_s* atom_table;

atom_s* atoms_new();
atom_s* atoms_find(char const* text);
atom_s* atoms_find(char const* text, int length);
atom_s* atoms_find(str_s* string);
atom_s* atoms_add(char const* text);
atom_s* atoms_add(char const* text, int length);  // text holds no byte 0 before length
atom_s* atoms_add(str_s* string);
atom_s* atoms_add(char c);
atom_s* atoms_add(int n);  // the decimal text of n
// The `count` bytes of a's text from `start` (both within the text); a itself when that is
// all of it. A long piece shares a's bytes.
atom_s* atoms_cut(atom_s* a, int start, int count);
// The texts of the values joined in order. The first non-empty text grows in place when
// nothing was written behind it yet, so a loop that keeps appending to its newest text
// writes each byte once.
atom_s* atoms_join(list_s* values);
int atoms_count();

// The atoms that may hold a function, newest first: every atom but the numbers of the table
// that were never given parameters, calls or the function flag, and the short atoms that
// have no record (a number or short atom is given the flag only after its record is made:
// the builder asks for the record's calls first). A walk takes one each next(), and null at
// the end; no atom may be made while it lasts.
struct atom_walk {
    atom_walk();
    atom_s* next();

   private:
    atom_s* chain;  // the next atom of the chain, and how many chained atoms are older
    int older;
    int left;  // the numbers that hold a function not yet given, the newest last
};
