// Strings: str_s, the growable string in which texts are built, and the text primitives
// beside it. A str_s owns its NUL-terminated buffer and keeps `length` current through every
// operation. Atoms extend the record but store their texts by rules of their own (atoms.h).
// It has no constructor or destructor: an init() makes it usable, free() releases it, and
// a record copied field by field shares its buffer (move() hands a buffer over that way).
// copy() and concat() grow to the exact new length, append() to the new length plus 16
// (plus half the length beyond 4 KiB);
// nothing shrinks. Every growth goes through one guarded routine: a text that would pass
// STR_MAX bytes is fatal error 5 before anything is allocated or copied, so no length ever
// wraps. Code that adds up sizes before it grows a text does so in 64 bits and lets reserve()
// judge the total. This file also holds the number conversions s2i/i2s and the generator.
#pragma once

enum : int { STR_MAX = 0x7FFFFFFF };  // the longest text a str_s holds

struct str_s {
    char* data;
    int length;
    int capacity;

    str_s& init();
    str_s& init(char const* text);
    str_s& init(str_s& other);
    str_s& init(int n);
    void free();
    str_s& empty();
    str_s& move(str_s* other);

    str_s& copy(char const* text);
    str_s& copy(str_s* other);
    str_s& concat(char const* text);
    str_s& concat(str_s* other);
    str_s& concat(str_s& other) { return concat(&other); }
    str_s& append(char c);
    str_s& convert(int n);
    str_s& reserve(long long n);  // room for n bytes of text, so a known size grows once

    str_s& left(int n);
    str_s& right(int n);
    str_s& reverse();

    int head() { return at(0); }
    char* tail() { return data + 1; }
    int last() { return at(length - 1); }
    int at(int i) { return i < 0 || i >= length ? 0 : (int)(signed char)data[i]; }
    int to_int();

    int eq(char const* text);
    int neq(char const* text) { return !eq(text); }
    int eq(char c) { return length == 1 && data[0] == c; }
    int neq(char c) { return !eq(c); }
    int eq(str_s& other);
    int neq(str_s& other) { return !eq(other); }
    int eqf(char const* text);
    int eqf(str_s& other) { return eqf(other.data); }
    int neqf(char const* text) { return !eqf(text); }
    int neqf(str_s& other) { return !eqf(other.data); }
    int neqi(char const* text);
    int neqi(str_s& other) { return neqi(other.data); }

   private:
    void grow(long long needed, int keep);
};

// ---- texts ----------------------------------------------------------------------------------
int str_eqf(char const* a, char const* b);
int str_like(char const* text, char const* pattern);
char* str_middle(char* dst, char const* src, int start, int count);
char* str_reverse(char* dst, char const* src);
char* str_find(char* text, char const* needle);

inline int text_length(char const* text) {
    int n = 0;
    while (text[n]) n++;
    return n;
}
int text_equal(char const* a, char const* b);  // 1 when byte for byte equal
// The ranges must not overlap. Eight bytes a step, and a short text in two words that may
// overlap each other: most texts are short, and a loop of bytes costs a step per byte.
inline void text_copy(char* dst, char const* src, int n) {
    if (n >= 8) {
        int i = 0;
        for (; i + 8 <= n; i += 8) __builtin_memcpy(dst + i, src + i, 8);  // one move each way
        if (i < n) __builtin_memcpy(dst + n - 8, src + n - 8, 8);
    } else if (n >= 4) {
        __builtin_memcpy(dst, src, 4);
        __builtin_memcpy(dst + n - 4, src + n - 4, 4);
    } else {
        for (int i = 0; i < n; i++) dst[i] = src[i];
    }
}

// ---- numbers ----------------------------------------------------------------------------------
// Reads an optional sign, then decimal, "0x" hexadecimal or "0" octal digits, wrapping at 32
// bits; stops at the first other character. Never fails: no digits read as 0.
int s2i(char const* text);
char* i2s(int value, char* dst);  // dst holds at least 12 bytes
int rnd();                        // rnd_seed = rnd_seed * 20021 + 1, returned signed
