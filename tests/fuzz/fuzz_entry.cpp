// The entry of the fuzzing build (KAVO_FUZZ): kavo's own start-up, reading main.kavo from the
// current folder, minus what makes a run slow or unrepeatable under AFL++. Every run is a fork
// of a sanitizer process, and in it each page first written costs a page fault; so the
// interpreter runs on the main thread (a thread with a 1 GiB stack cost more faults than a
// short program's whole run), the generator starts from 0 so that a run depends on its input
// alone, and what every run would otherwise set up for itself (the standard atoms, the C
// library's file and output buffers) is done once, before the fork server starts.
#include <stdio.h>
#include <sys/resource.h>

#include "builtins/registry.h"
#include "compiler/parser.h"
#include "host/host.h"
#include "runtime/runner.h"

int main() {
    char base;
    rlimit stack;
    getrlimit(RLIMIT_STACK, &stack);
    size_t room = stack.rlim_cur == RLIM_INFINITY ? (size_t)8 << 20 : (size_t)stack.rlim_cur;
    stack_limit = &base - (room - room / 4);  // a quarter stays for the report and the C library
    hInstance = nullptr;
    rnd_seed = 0;
    load_std_atoms();

    static char output[4096];
    setvbuf(stdout, output, _IOFBF, sizeof output);
    if (FILE* file = fopen("/proc/self/exe", "r")) {
        fgetc(file);
        fclose(file);
    }
#ifdef __AFL_HAVE_MANUAL_CONTROL
    __AFL_INIT();
#endif
    engine_compile("main");
    engine_run();
    host_exit(0);
}
