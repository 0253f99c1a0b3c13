// Strings, texts and number conversions. Freestanding: loops instead of the C library.
#include "str.h"

#include "../host/host.h"

// ---- texts ----------------------------------------------------------------------------------

int text_equal(char const* a, char const* b) {
    while (*a && *a == *b) a++, b++;
    return *a == *b;
}

int str_eqf(char const* a, char const* b) {
    for (;; a++, b++) {
        if (!*a || !*b) return 1;
        if (*a != *b) return 0;
    }
}

// Wildcard matching: "?" is one byte, "*" any run of bytes. Where the text is used up, the
// rest of the pattern must be empty or a single "*", so a pattern ending in two or more stars
// needs at least one byte for them: that final run behaves as "?*". With that rewrite the
// match is ordinary globbing, done here without recursion by going back to the last star.
int str_like(char const* text, char const* pattern) {
    int m = text_length(pattern);
    // One star inside the pattern: the text must begin with what stands before it and end
    // with what follows it, without the two overlapping.
    int star_at = -1, star_count = 0;
    for (int i = 0; i < m; i++)
        if (pattern[i] == '*') star_at = i, star_count++;
    if (star_count == 1 && star_at < m - 1) {
        int n = text_length(text), tail = m - star_at - 1;
        if (n < star_at + tail) return 0;
        for (int i = 0; i < star_at; i++)
            if (pattern[i] != '?' && pattern[i] != text[i]) return 0;
        for (int i = 0; i < tail; i++)
            if (pattern[star_at + 1 + i] != '?' && pattern[star_at + 1 + i] != text[n - tail + i]) return 0;
        return 1;
    }
    int stars = 0;
    while (stars < m && pattern[m - 1 - stars] == '*') stars++;
    if (stars >= 2) m -= stars - 2;  // the run's first two places read "?*"
    int const run = stars >= 2 ? m - 2 : m;
    auto pat = [&](int i) -> char { return i < run ? pattern[i] : i == run ? '?' : '*'; };

    int t = 0, p = 0, star = -1, resume = 0;
    while (text[t]) {
        char c = p < m ? pat(p) : 0;
        if (p < m && c == '*') {
            star = p++;
            resume = t;
        } else if (p < m && (c == '?' || c == text[t])) {
            t++, p++;
        } else if (star >= 0) {
            p = star + 1;
            t = ++resume;
        } else {
            return 0;
        }
    }
    return p == m || (p == m - 1 && pat(p) == '*');
}

char* str_middle(char* dst, char const* src, int start, int count) {
    int n = 0;
    src += start;
    while (n < count && src[n]) {
        dst[n] = src[n];
        n++;
    }
    dst[n] = 0;
    return dst;
}

char* str_reverse(char* dst, char const* src) {
    int n = text_length(src);
    for (int i = 0; i < n; i++) dst[i] = src[n - 1 - i];
    dst[n] = 0;
    return dst;
}

// Only a needle that ends the text can compare equal with the whole rest of it.
char* str_find(char* text, char const* needle) {
    int n = text_length(text), m = text_length(needle);
    if (m == 0 || m > n) return nullptr;
    return text_equal(text + n - m, needle) ? text + n - m : nullptr;
}

// ---- numbers ----------------------------------------------------------------------------------

int s2i(char const* text) {
    unsigned char const* p = (unsigned char const*)text;
    while ((signed char)*p >= 1 && (signed char)*p <= 32) p++;
    int negative = 0;
    if (*p == '-') {
        negative = 1;
        p++;
    } else if (*p == '+') {
        p++;
    }
    unsigned v = 0;
    if (*p != '0') {
        while (*p >= '0' && *p <= '9') v = v * 10 + (*p++ - '0');
    } else if (p[1] == 'x' || p[1] == 'X') {
        p += 2;
        for (;; p++) {
            unsigned d;
            if (*p >= '0' && *p <= '9') d = *p - '0';
            else if (*p >= 'a' && *p <= 'f') d = *p - 'a' + 10;
            else if (*p >= 'A' && *p <= 'F') d = *p - 'A' + 10;
            else break;
            v = v * 16 + d;
        }
    } else {
        p++;
        while (*p >= '0' && *p <= '7') v = v * 8 + (*p++ - '0');
    }
    return (int)(negative ? 0u - v : v);
}

char* i2s(int value, char* dst) {
    char digits[12];
    int n = 0;
    unsigned u = value < 0 ? 0u - (unsigned)value : (unsigned)value;
    do {
        digits[n++] = (char)('0' + u % 10);
        u /= 10;
    } while (u);
    char* p = dst;
    if (value < 0) *p++ = '-';
    while (n) *p++ = digits[--n];
    *p = 0;
    return dst;
}

int rnd() {
    rnd_seed = rnd_seed * 20021u + 1u;
    return (int)rnd_seed;
}

// ---- str_s ------------------------------------------------------------------------------------

// A new buffer for `needed` bytes of text that keeps the first `keep` bytes of the old one.
// The one place a text grows: a length past STR_MAX ends the program, shown as the largest
// size the message holds, since the buffer it would take does not fit an int.
void str_s::grow(long long needed, int keep) {
    Error(needed > STR_MAX, 5, (int)STR_MAX);
    char* fresh = new char[(unsigned long long)needed + 1];
    text_copy(fresh, data, keep);
    delete[] data;
    data = fresh;
    capacity = (int)needed;
}

str_s& str_s::init() {
    data = new char[1];
    data[0] = 0;
    length = capacity = 0;
    return *this;
}

str_s& str_s::init(char const* text) { return init().copy(text); }
str_s& str_s::init(str_s& other) { return init().copy(&other); }
str_s& str_s::init(int n) { return init().convert(n); }

void str_s::free() {
    delete[] data;
    data = nullptr;
}

str_s& str_s::empty() {
    length = 0;
    data[0] = 0;
    return *this;
}

str_s& str_s::move(str_s* other) {
    delete[] data;
    *this = *other;
    return *this;
}

str_s& str_s::copy(char const* text) {
    int n = text_length(text);
    if (n > capacity) grow(n, 0);
    text_copy(data, text, n);
    data[n] = 0;
    length = n;
    return *this;
}

str_s& str_s::copy(str_s* other) {
    int n = other->length;
    if (n > capacity) grow(n, 0);
    text_copy(data, other->data, n);
    data[n] = 0;
    length = n;
    return *this;
}

str_s& str_s::concat(char const* text) {
    int n = text_length(text);
    if ((long long)length + n > capacity) grow((long long)length + n, length);
    text_copy(data + length, text, n);
    length += n;
    data[length] = 0;
    return *this;
}

str_s& str_s::concat(str_s* other) {
    int n = other->length;
    if ((long long)length + n > capacity) grow((long long)length + n, length);
    text_copy(data + length, other->data, n);
    length += n;
    data[length] = 0;
    return *this;
}

str_s& str_s::append(char c) {
    // Sixteen bytes of room make one allocation every 17 bytes, which is right for tokens and
    // words; a text built byte by byte past 4 KiB (a long quoted atom) also grows by half, so
    // a megabyte no longer costs tens of thousands of copies. The room never asks for more
    // than the longest text, so only the byte past it is refused.
    if (length >= capacity) {
        long long room = (long long)length + 1 + 16 + (length > 4096 ? length / 2 : 0);
        grow(room > STR_MAX && length < STR_MAX ? (long long)STR_MAX : room, length);
    }
    data[length++] = c;
    data[length] = 0;
    return *this;
}

str_s& str_s::convert(int n) {
    char text[12];
    return copy(i2s(n, text));
}

str_s& str_s::left(int n) {
    if (length > n) {
        length = n;
        data[n] = 0;
    }
    return *this;
}

str_s& str_s::right(int n) {
    if (length > n) {
        int from = length - n;
        for (int i = 0; i <= n; i++) data[i] = data[from + i];
        length = n;
    }
    return *this;
}

str_s& str_s::reverse() {
    for (int i = 0, j = length - 1; i < j; i++, j--) {
        char c = data[i];
        data[i] = data[j];
        data[j] = c;
    }
    return *this;
}

str_s& str_s::reserve(long long n) {
    if (n > capacity) grow(n, length);
    return *this;
}

int str_s::to_int() { return s2i(data); }

int str_s::eq(char const* text) { return text_equal(data, text); }

int str_s::eq(str_s& other) {
    return length == other.length && text_equal(data, other.data);
}

int str_s::eqf(char const* text) { return str_eqf(data, text); }

int str_s::neqi(char const* text) { return host_neqi(data, text); }
