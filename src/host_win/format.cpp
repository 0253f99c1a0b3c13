// Bounded formatting on the Windows formatter. wvsprintfA writes as much as its arguments
// make, so the %s arguments are cut first: the literal text and the numbers are counted, and
// what room is left is shared among the strings. The cut copies and the numbers are then laid
// out as the argument block wvsprintfA reads (one 8-byte slot per argument).
#include <windows.h>

#include "win_host.h"

enum { MAX_ARGS = 16, MAX_SIZE = 1024, NUMBER_MAX = 11 };

namespace {
struct spec {
    char conversion;
    int width;
};

// Reads one placeholder after its '%'; returns the character after it.
char const* read_spec(char const* p, spec& s) {
    while (*p == '-' || *p == '0' || *p == '#' || *p == '+' || *p == ' ') p++;
    s.width = 0;
    while (*p >= '0' && *p <= '9') s.width = s.width * 10 + (*p++ - '0');
    if (*p == 'l' || *p == 'h') p++;
    s.conversion = *p;
    return *p ? p + 1 : p;
}
}  // namespace

int win_vformat(char* dst, int size, char const* format, va_list ap) {
    if (size <= 0) return 0;
    // First pass: how much room the literal text and the numbers take.
    int fixed = 0, strings = 0, args = 0, widest_string = 0;
    bool plain = size <= MAX_SIZE;
    for (char const* p = format; *p && plain;) {
        if (*p != '%') {
            fixed++;
            p++;
            continue;
        }
        if (p[1] == '%') {
            fixed++;
            p += 2;
            continue;
        }
        spec s;
        p = read_spec(p + 1, s);
        args++;
        if (s.conversion == 's') {
            strings++;
            if (s.width > widest_string) widest_string = s.width;
        } else if (s.conversion == 'c') {
            fixed += s.width > 1 ? s.width : 1;
        } else if (s.conversion == 'i' || s.conversion == 'd' || s.conversion == 'u' ||
                   s.conversion == 'x' || s.conversion == 'X') {
            fixed += s.width > NUMBER_MAX ? s.width : NUMBER_MAX;
        } else {
            plain = false;  // a placeholder this layer does not use
        }
    }
    int room = size - 1 - fixed;
    int share = strings ? room / strings : 0;
    if (!plain || args > MAX_ARGS || room < 0 || widest_string > share)
        return text_vformat(dst, size, format, ap);

    // Second pass: take the arguments, cutting every string to its share.
    uintptr_t slots[MAX_ARGS];
    char cut[MAX_SIZE + MAX_ARGS];
    int used = 0, n = 0;
    for (char const* p = format; *p;) {
        if (*p != '%' || p[1] == '%') {
            p += *p == '%' ? 2 : 1;
            continue;
        }
        spec s;
        p = read_spec(p + 1, s);
        if (s.conversion == 's') {
            char const* text = va_arg(ap, char const*);
            if (!text) text = "(null)";
            char* copy = cut + used;
            int len = 0;
            while (text[len] && len < share) {
                copy[len] = text[len];
                len++;
            }
            copy[len] = 0;
            used += len + 1;
            slots[n++] = (uintptr_t)copy;
        } else {
            slots[n++] = (uintptr_t)(unsigned)va_arg(ap, int);
        }
    }
    return wvsprintfA(dst, format, (va_list)slots);
}

int win_format(char* dst, int size, char const* format, ...) {
    va_list ap;
    va_start(ap, format);
    int n = win_vformat(dst, size, format, ap);
    va_end(ap);
    return n;
}
