// The error templates and the small formatter both deliverables share, so that the texts a
// user sees cannot drift between Linux and Windows.
#include "messages.h"

#include "../host/host.h"

static char const* const TEMPLATES[ERROR_CODES] = {
    "Name <%s> is already reserved for a function",
    "Function <%s> requires %s argument(s)",
    "Function <%s> already defined",
    "You cannot define function <%s> with no body",
    "Cannot allocate memory [ %i byte(s) ]",
    "Too many nested brackets",
    "'{' expected",
    "'}' expected",
    "You cannot call variable <%s> as function",
    "You cannot call <%s>, it is not a function",
    "There is no main function in your program",
    "Could not open or create file \"%s\"",
    "Could not read a character from file",
    "Could not write to file",
    "Wrong file signature (it is possibly not compiled KAVO file)",
    "First argument to <%s> must be a variable",
    "All arguments to <%s> must be variables",
    "'%s' expected",
    "Too many nested 'with' functions.",
    "Unexpected end of file",
    "Object <%s> does not exist",
    "Object property <%s> does not exist",
    "There is no such variable <%s> at this point of program",
    "Variable <%s> already exists",
    "Unexpected '%s'",
    "Function <%s> requires at least %i argument(s)",
    "The program uses external function <%s> but it is not loaded. Use corresponding DLL library.",
};

char const* error_template(int code) {
    if (code < 1 || code > ERROR_CODES) return "Unknown error";
    return TEMPLATES[code - 1];
}

namespace {
// Decimal digits of `v` into digits[12]; returns where they begin (a sign included).
char const* decimal(int v, char* digits) {
    char* p = digits + 11;
    *p = 0;
    unsigned u = v < 0 ? 0u - (unsigned)v : (unsigned)v;  // INT_MIN too
    do *--p = (char)('0' + u % 10);
    while (u /= 10);
    if (v < 0) *--p = '-';
    return p;
}

// Appends to a bounded buffer; what does not fit is dropped, the NUL always fits.
struct sink {
    char* dst;
    int size;
    int len;
    void put(char c) {
        if (len + 1 < size) dst[len++] = c;
    }
};
}  // namespace

int text_vformat(char* dst, int size, char const* format, va_list ap) {
    if (size <= 0) return 0;
    sink out{dst, size, 0};
    for (char const* p = format; *p; p++) {
        if (*p != '%') {
            out.put(*p);
            continue;
        }
        p++;
        if (*p == '%') {
            out.put('%');
            continue;
        }
        char pad = ' ';
        if (*p == '0') {
            pad = '0';
            p++;
        }
        int width = 0;
        while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
        if (*p == 's') {
            char const* s = va_arg(ap, char const*);
            if (!s) s = "(null)";
            int n = 0;
            while (s[n]) n++;
            for (int i = n; i < width; i++) out.put(' ');
            for (int i = 0; i < n; i++) out.put(s[i]);
        } else if (*p == 'i' || *p == 'd') {
            int v = va_arg(ap, int);
            char digits[12];
            char const* d = decimal(v, digits);
            int n = (int)(digits + 11 - d);
            if (*d == '-' && pad == '0') out.put(*d++);
            for (int i = n; i < width; i++) out.put(pad);
            while (*d) out.put(*d++);
        } else if (*p == 0) {
            break;
        } else {
            out.put('%');
            out.put(*p);
        }
    }
    dst[out.len] = 0;
    return out.len;
}

int text_format(char* dst, int size, char const* format, ...) {
    va_list ap;
    va_start(ap, format);
    int n = text_vformat(dst, size, format, ap);
    va_end(ap);
    return n;
}

void error_raise(int code, ...) {
    va_list ap;
    va_start(ap, code);
    host_fatal_code(code, nullptr, 0, ap);
}
