// The Windows host layer's own declarations, beside the shared interface in host/host.h.
// kavo-win runs without a C runtime: the entry, memory, the few routines the compiler emits
// calls to, the console, files and the system services are all here, on kernel32, user32 and
// shell32 alone.
#pragma once

#include <stddef.h>

#include "../host/host.h"
#include "../messages/messages.h"

// The stack the linker reserves for the one thread (kavo-win.cmake passes the same number to
// the linker); the runner stops a runaway recursion this far below the entry frame, less a
// margin in which the error report still runs.
#ifndef KAVO_STACK_RESERVE
#define KAVO_STACK_RESERVE (512u * 1024u * 1024u)
#endif
enum : size_t { STACK_MARGIN = 1024u * 1024u };

// Creates the console window and takes its handles on the first console operation, so a
// program that never writes or reads shows no console at all.
void console_init();

// wvsprintfA into `size` bytes (terminator included) without ever writing past them: the
// %s arguments are cut so that the whole message fits. Knows %s, %i, %d, %u, %x, %c and %%,
// with a 0 flag and a width. Returns the length written.
int win_vformat(char* dst, int size, char const* format, va_list ap);
int win_format(char* dst, int size, char const* format, ...);
