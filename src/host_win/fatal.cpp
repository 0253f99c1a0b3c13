// Windows fatal errors and memory. A fatal error is a message box with the full text of the
// error, its template taken from the executable's string table, and then exit code 1.
#include <windows.h>

#include <new>

#include "win_host.h"

void* hInstance;
u32 rnd_seed;
char const* stack_limit;

static char const TITLE[] = "[ kavo ] error";

enum { TEMPLATE_MAX = 128 };

void host_exit(int code) { ExitProcess((UINT)code); }

// kavo-win's reports are its message boxes, exactly as they are; there is no second channel.
void host_note_where(char const*) {}

[[noreturn]] static void report(char const* text) {
    MessageBoxA(nullptr, text, TITLE, MB_TOPMOST | MB_ICONERROR);
    ExitProcess(1);
}

void host_fatal_code(int code, char const* file, int line, va_list ap) {
    char message[MESSAGE_MAX];
    char templ[TEMPLATE_MAX];
    // The string table is built from the same templates Linux uses; were it ever missing,
    // the code number alone is still an honest report.
    if (LoadStringA((HINSTANCE)hInstance, (UINT)code, templ, TEMPLATE_MAX) > 0)
        win_vformat(message, MESSAGE_MAX, templ, ap);
    else
        win_format(message, MESSAGE_MAX, "Error Code: %i", code);
    va_end(ap);
    if (!file) report(message);
    char full[COMPILE_MESSAGE_MAX];
    win_format(full, COMPILE_MESSAGE_MAX, "%s\nFile: %s\nLine: %i", message, file, line);
    report(full);
}

void host_fatal_text(char const* text) {
    char message[MESSAGE_MAX];
    win_format(message, MESSAGE_MAX, "%s", text);
    report(message);
}

void stack_check_failed() {
    // The report runs in the margin the limit keeps below it; no second check may fire there.
    stack_limit = nullptr;
    host_fatal_text("Recursion too deep: the program ran out of stack");
}

// ---- memory -------------------------------------------------------------------------------------

static void* allocate(size_t size) {
    void* p = LocalAlloc(LMEM_FIXED, size ? size : 1);
    Error(p == nullptr, 5, error_size(size));
    return p;
}

static void release(void* p) {
    if (p) LocalFree(p);
}

// Windows faults the pages in as they are touched.
void host_ready(void*, size_t) {}

void* operator new(size_t size) { return allocate(size); }
void* operator new[](size_t size) { return allocate(size); }
void* operator new(size_t size, std::nothrow_t const&) noexcept { return allocate(size); }
void* operator new[](size_t size, std::nothrow_t const&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, size_t) noexcept { release(p); }
void operator delete[](void* p, size_t) noexcept { release(p); }
