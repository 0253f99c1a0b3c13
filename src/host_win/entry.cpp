// The entry of kavo-win. No C runtime runs before it: the linker points the executable's
// entry here, so this routine sets up what a runtime would (the stack guard and any static
// constructors) and then makes the one run: compile main.kavo, run it, end the process.
#include <windows.h>

#include "../builtins/registry.h"
#include "../compiler/parser.h"
#include "../runtime/runner.h"
#include "win_host.h"

// The linker's table of static constructors: a -1 entry, the constructors, a null entry.
// The interpreter is written to need none, but should the compiler ever emit one it still runs,
// last to first as a runtime would.
extern "C" void (*__CTOR_LIST__[])();

static void run_constructors() {
    size_t n = 1;
    while (__CTOR_LIST__[n]) n++;
    while (--n > 0) __CTOR_LIST__[n]();
}

extern "C" void kavo_win_entry() {
    char base;
    stack_limit = &base - (KAVO_STACK_RESERVE - STACK_MARGIN);
    run_constructors();
    hInstance = GetModuleHandleA(nullptr);
    rnd_seed = GetCurrentThreadId() ^ GetTickCount();
    load_std_atoms();
    engine_compile("main");
    engine_run();
    ExitProcess(0);
}
