#include "unit.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

std::string fresh_text(char const* stem) {
    static int counter;
    return std::string(stem) + "#" + std::to_string(++counter);
}

void ensure_std_atoms() {
    static bool loaded;
    if (!loaded) load_std_atoms();
    loaded = true;
}

// The allocation-failure test asks for an impossible size; under AddressSanitizer that must
// come back as null, as it does from the plain C library, instead of stopping the process.
extern "C" char const* __asan_default_options() { return "allocator_may_return_null=1"; }

static std::string temp_file(std::string const& content) {
    char name[] = "/tmp/kavo-unit-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) abort();
    if (!content.empty() && write(fd, content.data(), content.size()) != (ssize_t)content.size())
        abort();
    close(fd);
    return name;
}

static std::string slurp(std::string const& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

child_result run_child(std::function<void()> const& body, std::string const& input) {
    std::string in_name = temp_file(input), out_name = temp_file(""), err_name = temp_file("");
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        if (!freopen(in_name.c_str(), "rb", stdin) || !freopen(out_name.c_str(), "wb", stdout) ||
            !freopen(err_name.c_str(), "wb", stderr))
            _exit(98);
        body();
        fflush(stdout);
        fflush(stderr);
        _exit(CHILD_RETURNED);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    child_result r;
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    r.out = slurp(out_name);
    r.err = slurp(err_name);
    unlink(in_name.c_str());
    unlink(out_name.c_str());
    unlink(err_name.c_str());
    return r;
}
