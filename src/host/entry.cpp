// The Linux entry. Programs loop by recursion, so the interpreter runs on a thread of its own
// with a stack far larger than the default; the runner checks the remaining room and ends a
// runaway recursion with a fatal error instead of a segmentation fault.
//
// The command line only chooses the program and whether it runs; the program itself never
// sees it (its command_line stays the fixed text). A FOLDER is entered and its main.kavo
// compiled, exactly as if kavo had been started there; a FILE.kavo is compiled as the main
// program from its own folder, which is where its includes are then found. --check stops
// after the after-compile checks and the missing-main warning, before kavo.initialize.
#include <limits.h>
#include <malloc.h>
#include <pthread.h>
#include <sys/mman.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "../builtins/registry.h"
#include "../compiler/parser.h"
#include "../runtime/runner.h"
#include "host.h"

// Reserved, touched only as used. Loops in last position need no stack; half a GiB holds a
// recursion of some two million levels, and a runaway one ends within a few seconds.
static size_t const STACK_SIZE = (size_t)1 << 29;
static size_t const STACK_MARGIN = (size_t)1 << 20;   // room left for the error report

static char const USAGE[] =
    "Usage: kavo [--check] [--] [FOLDER | FILE.kavo]\n"
    "       kavo --help | --version\n"
    "Runs main.kavo in FOLDER (default: the current folder), or FILE.kavo, in its own folder.\n"
    "  --check    compile and check the program, but do not run it\n"
    "  --help     show this help\n"
    "  --version  show the version\n"
    "  --         end of options\n";

static size_t stack_size;
static char const* program = "main";  // compiled as program + ".kavo" from the current folder
static int check_only;

static void* interpret(void*) {
    char base;
    stack_limit = &base - (stack_size - STACK_MARGIN);
    hInstance = nullptr;
    rnd_seed = (u32)clock();
    load_std_atoms();
    engine_compile(program);
    if (check_only)
        engine_check_main();
    else
        engine_run();
    host_exit(0);
}

// The interpreter's stack, mapped here so that it can ask for huge pages: a deep recursion
// then faults its stack in 2 MiB at a time instead of 4 KiB. Pages are reserved, not taken,
// until they are touched; the lowest ones are a guard, far below where stack_check stops.
static void* map_stack(size_t size) {
    void* stack = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (stack == MAP_FAILED) return nullptr;
    // Only a hint (without huge pages all still works), and not for the top 4 MiB, where
    // every program's stack lies: a small program keeps its small footprint.
    madvise(stack, size - ((size_t)4 << 20), MADV_HUGEPAGE);
    mprotect(stack, 65536, PROT_NONE);
    return stack;
}

[[noreturn]] static void usage_error(char const* why, char const* arg) {
    fprintf(stderr, "kavo: %s '%s'\n%s", why, arg, USAGE);
    host_exit(2);
}

// A folder that cannot be entered leaves the program file unopened: error 12, with its path.
static void enter(char const* folder, char const* file) {
    int failed = chdir(folder) != 0;
    Error(failed, 12, file);
}

static void choose_program(char* arg) {
    static char path[PATH_MAX + 16];
    struct stat st;
    if (stat(arg, &st) == 0 && S_ISDIR(st.st_mode)) {
        snprintf(path, sizeof path, "%s/main.kavo", arg);
        enter(arg, path);
        return;
    }
    size_t n = strlen(arg);
    if (n < 5 || strcmp(arg + n - 5, ".kavo") != 0)
        usage_error("neither a folder nor a .kavo file:", arg);
    char* slash = strrchr(arg, '/');
    if (slash) {
        snprintf(path, sizeof path, "%.*s", slash == arg ? 1 : (int)(slash - arg), arg);
        enter(path, arg);
        arg = slash + 1;
    }
    arg[strlen(arg) - 5] = 0;  // the compiler appends the extension again
    program = arg;
}

int main(int argc, char** argv) {
    char* chosen = nullptr;
    int options = 1;
    for (int i = 1; i < argc; i++) {
        char* a = argv[i];
        if (options && a[0] == '-' && a[1]) {
            if (!strcmp(a, "--")) {
                options = 0;
            } else if (!strcmp(a, "--check")) {
                check_only = 1;
            } else if (!strcmp(a, "--help")) {
                fputs(USAGE, stdout);
                return 0;
            } else if (!strcmp(a, "--version")) {
                printf("kavo %s (language %s)\n", KAVO_RELEASE, LANGUAGE_VERSION);
                return 0;
            } else {
                usage_error("unknown option", a);
            }
        } else if (chosen) {
            usage_error("more than one program given:", a);
        } else {
            chosen = a;
        }
    }
    if (chosen) choose_program(chosen);

    // The interpreter's thread allocates from the main heap: a heap of its own would cost a
    // 64 MiB reservation and its trimming at every start, for a thread that runs alone.
    mallopt(M_ARENA_MAX, 1);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_t thread;
    // Fall back to smaller stacks where the address space is tight.
    for (stack_size = STACK_SIZE; stack_size >= ((size_t)64 << 20); stack_size /= 2) {
        void* stack = map_stack(stack_size);
        if (!stack) continue;
        pthread_attr_setstack(&attr, stack, stack_size);
        if (pthread_create(&thread, &attr, interpret, nullptr) == 0) {
            pthread_join(thread, nullptr);
            return 0;
        }
    }
    stack_size = (size_t)8 << 20;  // the main thread's usual stack
    interpret(nullptr);
}
