// Linux console: standard output and standard input through the C library. Output is
// flushed before every read, so a prompt is on the screen when the program waits.
#include <stdio.h>

#include "host.h"

void console_write_str(char const* text, int length) {
    if (length > 0) fwrite(text, 1, (size_t)length, stdout);
}

void console_printf(char const* format, ...) {
    va_list ap;
    va_start(ap, format);
    vprintf(format, ap);
    va_end(ap);
}

static int is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One word, as scanf("%s") reads it, but never more than `max` bytes: the rest of a longer
// word stays in the input and is the next call's word.
int console_read(char* buffer, int max) {
    fflush(stdout);
    int c = getchar();
    while (c != EOF && is_space(c)) c = getchar();
    int n = 0;
    while (c != EOF && !is_space(c) && n < max) {
        buffer[n++] = (char)c;
        c = getchar();
    }
    if (c != EOF) ungetc(c, stdin);
    buffer[n] = 0;
    return n;
}

int console_read_char() {
    fflush(stdout);
    return getchar();
}

void console_reject_key() { putchar(8); }

// Keys come line by line after Enter, so readchar reads before it looks at its destination.
int console_key_is_immediate() { return 0; }
