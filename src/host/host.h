// Host layer: everything the shared core asks of the platform.
// The core (strings, atoms, compiler, runner, built-ins) is freestanding: it never calls the
// C library. Memory comes from the replaced operator new/delete, which end the process with
// error 5 instead of returning null. Every failure ends the process through host_fatal_*;
// none of them returns. Linux implements this header on the C library (src/host), Windows
// on Win32 alone (src/host_win); both show the texts of src/messages.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

// 1 in the sanitizer build: allocations are then left apart (no arena, no cell pool) so that
// AddressSanitizer sees each one. GCC and Clang announce the sanitizer differently.
#if defined(__SANITIZE_ADDRESS__)
#define KAVO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KAVO_ASAN 1
#endif
#endif
#ifndef KAVO_ASAN
#define KAVO_ASAN 0
#endif

typedef unsigned int u32;
typedef intptr_t file_handle;

extern void* hInstance;
extern u32 rnd_seed;

// ---- memory -----------------------------------------------------------------------------------
// Asks for the pages of [p, p + size), fresh memory about to be written whole, in one go
// instead of a page fault each; only a hint, which a host may ignore.
void host_ready(void* p, size_t size);

// ---- fatal errors -------------------------------------------------------------------------

// Ends the process with exit code 1 after reporting error `code` with its arguments.
// `file` is null for run-time errors; compile-time errors name the source file and line.
[[noreturn]] void host_fatal_code(int code, char const* file, int line, va_list ap);
// Ends the process with exit code 1 after reporting a message that has no code.
[[noreturn]] void host_fatal_text(char const* text);
// Tells the person reading where the run is, with `message`, without ending it: a failed
// assert's position (Linux: on standard error; Windows shows nothing more).
void host_note_where(char const* message);
// Ends the process with `code`; output written so far is delivered first.
[[noreturn]] void host_exit(int code);

// The one guarded fatal call: Error(cond, code, args...) or Error(cond, text) does nothing
// when cond is 0 (inline, so a passing check costs one test) and otherwise never returns.
// error_raise lives with the templates (src/messages), the same for both hosts.
[[noreturn]] void error_raise(int code, ...);
inline void Error(int cond, char const* text) {
    if (__builtin_expect(cond != 0, 0)) host_fatal_text(text);
}
// An argument reaches the message as it is given; an atom gives its text (atoms.h), which is
// fetched only when the error is raised.
template <class T>
inline T message_arg(T value) {
    return value;
}
template <class... Args>
inline void Error(int cond, int code, Args... args) {
    if (__builtin_expect(cond != 0, 0)) error_raise(code, message_arg(args)...);
}

// Error 5 names the bytes asked for in an int; a larger size is shown as the largest int.
inline int error_size(size_t size) { return size > 0x7FFFFFFF ? 0x7FFFFFFF : (int)size; }

// ---- native stack -------------------------------------------------------------------------
// The runner runs on a stack the host makes large; recursive routines call stack_check()
// so that a program recursing past it ends with a fatal error instead of a crash.
extern char const* stack_limit;
void stack_check_failed();
inline void stack_check() {
    char here;
    if (&here < stack_limit) stack_check_failed();
}

// ---- console --------------------------------------------------------------------------------
void console_write_str(char const* text, int length);
void console_printf(char const* format, ...);
// One input item (Linux: one word) of at most `max` bytes into buffer[max + 1]; its length.
// At the end of input: the empty text, 0.
int console_read(char* buffer, int max);
// The next byte of input, 0..255, or -1 at the end of input.
int console_read_char();
// 1 where a key arrives the moment it is pressed (Windows): readchar then checks its
// destination before it waits, so a wrong name never leaves the user pressing keys.
int console_key_is_immediate();
// Trace mode's answer to a key outside its table (Linux: a backspace, Windows: a beep).
void console_reject_key();

// ---- files ------------------------------------------------------------------------------------
// Opens `name`; a file that cannot be opened is fatal error 12.
file_handle file_io_open(char const* name, char mode);
int file_io_get_char(file_handle file);  // 0..255, or -1 at the end
void file_io_close(file_handle file);

// ---- system services of the built-ins -----------------------------------------------------
char const* host_command_line();
int host_neqi(char const* a, char const* b);  // 0 when equal ignoring letter case
void host_message(char const* title, char const* text);  // warnings and the about box
int host_shell(char const* text);                       // 1 when the shell took it
void host_sleep(int ms);
// Local time as hour, minute, second, millisecond, day, month, year; 0 where there is none.
int host_local_time(int fields[7]);
int host_ticks();
