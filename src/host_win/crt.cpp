// The few C library routines the compiler may emit calls to on its own (block copies and
// clears), since kavo-win links no C runtime. Built without loop-to-call transformation, so
// these loops never turn back into calls of themselves.
#include <stddef.h>

extern "C" {

void* memcpy(void* dst, void const* src, size_t n) {
    unsigned char* d = (unsigned char*)dst;
    unsigned char const* s = (unsigned char const*)src;
    while (n--) *d++ = *s++;
    return dst;
}

void* memmove(void* dst, void const* src, size_t n) {
    unsigned char* d = (unsigned char*)dst;
    unsigned char const* s = (unsigned char const*)src;
    if (d < s) {
        while (n--) *d++ = *s++;
    } else {
        while (n--) d[n] = s[n];
    }
    return dst;
}

void* memset(void* dst, int c, size_t n) {
    unsigned char* d = (unsigned char*)dst;
    while (n--) *d++ = (unsigned char)c;
    return dst;
}

int memcmp(void const* a, void const* b, size_t n) {
    unsigned char const* x = (unsigned char const*)a;
    unsigned char const* y = (unsigned char const*)b;
    for (; n; n--, x++, y++)
        if (*x != *y) return *x - *y;
    return 0;
}

size_t strlen(char const* text) {
    size_t n = 0;
    while (text[n]) n++;
    return n;
}
}
