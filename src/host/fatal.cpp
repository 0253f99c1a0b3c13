// Linux fatal errors and memory. Standard output gets the terse form programs and scripts
// rely on ("[ [ kavo ] error ] Error Code: 23", then "File:" and "Line:" for compile-time
// errors); standard error gets the filled-in message on one line for the person reading it.
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <new>

#include "../messages/messages.h"
#include "../runtime/runner.h"
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

static void put_line(char const* line) { fprintf(stderr, "%s\n", line); }

// The readable twin of a run-time report: where the failing call is written and the chain of
// functions that led to it, or just the message where no written call is running.
static void tell_where(char const* message) {
    char const* file;
    int line;
    if (!engine_where(&file, &line)) {
        fprintf(stderr, "kavo: error: %s\n", message);
        return;
    }
    fprintf(stderr, "%s:%i: error: %s\n", file, line, message);
    engine_backtrace(put_line);
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
        tell_where(message);
    host_exit(1);
}

void host_fatal_text(char const* text) {
    char message[MESSAGE_MAX];
    text_format(message, MESSAGE_MAX, "%s", text);
    printf("[ %s ] %s\n", TITLE, message);
    fflush(stdout);
    tell_where(message);
    host_exit(1);
}

void host_note_where(char const* message) {
    fflush(stdout);
    tell_where(message);
    fflush(stderr);
}

void stack_check_failed() {
    // Leave room for the report itself: the limit already keeps a margin below it.
    stack_limit = nullptr;
    host_fatal_text("Recursion too deep: the program ran out of stack");
}

// Blocks of 2 MiB and more (the atom index and arena of a big program, its value stack and
// number pages) are placed on huge-page bounds and offered huge pages, which cut the page
// faults and TLB misses of touching them.
static void* allocate(size_t size) {
    enum : size_t { HUGE = (size_t)2 << 20 };
    void* p;
    if (size >= HUGE && size < ((size_t)1 << 62)) {
        p = aligned_alloc(HUGE, (size + HUGE - 1) & ~(HUGE - 1));
        if (p) madvise(p, size, MADV_HUGEPAGE);
    } else {
        p = malloc(size ? size : 1);
    }
    Error(p == nullptr, 5, error_size(size));
    return p;
}

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // Linux 5.14; older kernels refuse it, which changes nothing
#endif

void host_ready(void* p, size_t size) {
    static uintptr_t page;  // set on first use, with no guard: a guard would need libstdc++
    if (!page) page = (uintptr_t)sysconf(_SC_PAGESIZE);
    uintptr_t from = ((uintptr_t)p + page - 1) & ~(page - 1), to = ((uintptr_t)p + size) & ~(page - 1);
    if (from < to) madvise((void*)from, to - from, MADV_POPULATE_WRITE);
}

void* operator new(size_t size) { return allocate(size); }
void* operator new[](size_t size) { return allocate(size); }
void* operator new(size_t size, std::nothrow_t const&) noexcept { return allocate(size); }
void* operator new[](size_t size, std::nothrow_t const&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
