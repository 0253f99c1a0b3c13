// The Linux entry. Programs loop by recursion, so the interpreter runs on a thread of its own
// with a stack far larger than the default; the runner checks the remaining room and ends a
// runaway recursion with a fatal error instead of a segmentation fault.
#include <pthread.h>
#include <time.h>

#include "../builtins/registry.h"
#include "../compiler/parser.h"
#include "../runtime/runner.h"
#include "host.h"

static size_t const STACK_SIZE = (size_t)1 << 30;     // reserved, touched only as used
static size_t const STACK_MARGIN = (size_t)1 << 20;   // room left for the error report

static size_t stack_size;

static void* interpret(void*) {
    char base;
    stack_limit = &base - (stack_size - STACK_MARGIN);
    hInstance = nullptr;
    rnd_seed = (u32)clock();
    load_std_atoms();
    engine_compile("main");
    engine_run();
    host_exit(0);
}

int main() {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_t thread;
    // Fall back to smaller stacks where the address space is tight.
    for (stack_size = STACK_SIZE; stack_size >= ((size_t)64 << 20); stack_size /= 2) {
        pthread_attr_setstacksize(&attr, stack_size);
        if (pthread_create(&thread, &attr, interpret, nullptr) == 0) {
            pthread_join(thread, nullptr);
            return 0;
        }
    }
    stack_size = (size_t)8 << 20;  // the main thread's usual stack
    interpret(nullptr);
}
