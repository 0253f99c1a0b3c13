// Messages: the 27 error templates and the bounded formatter that fills them in. Both
// deliverables show these very texts (kavo-win's string table is generated from this table),
// so they live apart from either host. The formatter writes nothing past the buffer it is
// given and cuts what does not fit. Freestanding: no C library. messages.cpp also holds
// error_raise (host.h), the step from Error(cond, code, ...) to the host's report.
#pragma once

#include <stdarg.h>

enum { ERROR_CODES = 27, MESSAGE_MAX = 256, COMPILE_MESSAGE_MAX = 700 };

// The template of error `code` (1..27), exactly as users see it filled in.
char const* error_template(int code);
// Fills `format` ("%s", "%i", "%%", with a 0 flag and a width) into `dst`, never writing more
// than `size` bytes (a message that does not fit is cut). Returns the length written.
int text_vformat(char* dst, int size, char const* format, va_list ap);
int text_format(char* dst, int size, char const* format, ...);
