// Linux fatal errors and memory. Standard output gets the terse form programs and scripts
// rely on ("[ [ kavo ] error ] Error Code: 23", then "File:" and "Line:" for compile-time
// errors); standard error gets the filled-in message on one line for the person reading it.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <new>

#include "host.h"

void* hInstance;
u32 rnd_seed;
char const* stack_limit;

static char const TITLE[] = "[ kavo ] error";

void host_exit(int code) {
    fflush(stdout);
    fflush(stderr);
#ifdef KAVO_FUZZ
    _exit(code);  // the exit handlers cost a short fuzzing run a sixth of its time
#endif
    exit(code);
}

void host_fatal_code(int code, char const* file, int line, va_list ap) {
    char message[COMPILE_MESSAGE_MAX];
    text_vformat(message, file ? COMPILE_MESSAGE_MAX : MESSAGE_MAX, error_template(code), ap);
    va_end(ap);
    printf("[ %s ] Error Code: %i\n", TITLE, code);
    if (file) printf("File: %s\nLine: %i\n", file, line);
    fflush(stdout);
    if (file)
        fprintf(stderr, "%s:%i: error: %s\n", file, line, message);
    else
        fprintf(stderr, "kavo: error: %s\n", message);
    host_exit(1);
}

void host_fatal_text(char const* text) {
    char message[MESSAGE_MAX];
    text_format(message, MESSAGE_MAX, "%s", text);
    printf("[ %s ] %s\n", TITLE, message);
    fflush(stdout);
    fprintf(stderr, "kavo: error: %s\n", message);
    host_exit(1);
}

void stack_check_failed() {
    // Leave room for the report itself: the limit already keeps a margin below it.
    stack_limit = nullptr;
    host_fatal_text("Recursion too deep: the program ran out of stack");
}

static void* allocate(size_t size) {
    void* p = malloc(size ? size : 1);
    Error(p == nullptr, 5, error_size(size));
    return p;
}

void* operator new(size_t size) { return allocate(size); }
void* operator new[](size_t size) { return allocate(size); }
void* operator new(size_t size, std::nothrow_t const&) noexcept { return allocate(size); }
void* operator new[](size_t size, std::nothrow_t const&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
