// Atoms: interned texts. There is exactly one atom per distinct text, so the whole system
// compares names and values by pointer. Atoms are never freed, moved or changed once
// interned; every atom is chained newest first from `atom_table`, and an index of our own
// finds a text in constant expected time without walking that chain.
// atoms_add(str_s*) consumes the string: the atom takes its buffer, or it is released.
#pragma once

#include "str.h"

struct list_s;
struct atom_s;
typedef atom_s* (*extern_handler)(list_s* args, list_s* raw_args);

enum atom_s_info : unsigned {
    AI_TAG = 0xFFFF,
    AI_EXTERN = 0x10000,
    AI_FUNCTION = 0x20000,
    AI_SPY = 0x100000,
    AI_VARIABLE = 0x40000,  // the name of a variable, now or before: only such names are looked up
};

struct atom_s : str_s {
    atom_s* next;     // the next older atom
    list_s* params;   // a program function's parameter names
    union {
        list_s* body;             // a program function's calls
        extern_handler handler;  // a built-in's handler (AI_EXTERN)
    };
    unsigned flags;  // atom_s_info bits, and the tag in the low 16 bits
    unsigned mix;    // the index's hash of the text
    list_s* global;  // the global variable of this name, found without walking the globals

    int flag(atom_s_info mask) { return (int)(flags & mask); }
    int notflag(atom_s_info mask) { return (flags & mask) == 0; }
    void set_flag(int bits) { flags |= (unsigned)bits; }
    void clear_flag(atom_s_info mask) { flags &= ~(unsigned)mask; }
};

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
int atoms_count();
