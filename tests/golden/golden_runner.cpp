// golden_runner: runs one golden case against the interpreter and compares what it sees.
//
//   golden_runner <interpreter> <case-file>
//
// The case is written into a fresh temporary folder as main.kavo (plus the extra files of its
// "% file:" sections), the interpreter is started there with the arguments of its "% args:"
// lines and the case's standard input, and its standard output (exact bytes), exit code and
// standard error (must contain each "% err:" text) are checked. A run that takes longer than
// 20 seconds (or KAVO_GOLDEN_TIMEOUT) is killed and fails.
// The "% windows" section of a case is kavo-win's expectation: it is checked for mistakes,
// then ignored.
//
// Exit codes: 0 pass, 1 fail, 2 the case file or the command line is unusable, 77 the case is
// for another platform (CTest reports it as skipped).
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// Sanitizer builds run several times slower; their ctest sets KAVO_GOLDEN_TIMEOUT.
int timeout_seconds() {
    char const* given = getenv("KAVO_GOLDEN_TIMEOUT");
    int n = given ? atoi(given) : 0;
    return n > 0 ? n : 20;
}
constexpr size_t kOutputCap = 16u << 20;  // keep at most this much of each stream
constexpr int kExitPass = 0, kExitFail = 1, kExitBadCase = 2, kExitSkip = 77;

struct Case {
    std::string main_text;                                      // main.kavo
    std::vector<std::pair<std::string, std::string>> files;    // extra files, in order
    bool write_main = true;
    std::string expected_out;
    std::string input;
    std::vector<std::string> expected_err;
    int expected_exit = 0;
    std::string platform;  // empty: every platform
    std::vector<std::string> args;  // given to the interpreter after its name
};

[[noreturn]] void bad_case(std::string const& path, int line, std::string const& why) {
    fprintf(stderr, "golden_runner: %s:%d: %s\n", path.c_str(), line, why.c_str());
    exit(kExitBadCase);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Turns the escapes \r \n \t \b \\ \xHH into their bytes; anything else after a backslash
// is a mistake in the case file, not a literal.
bool unescape(std::string const& text, std::string& out, std::string& why) {
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\') { out += c; continue; }
        if (++i == text.size()) { why = "a lone backslash ends the text (write \\\\)"; return false; }
        switch (text[i]) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'b': out += '\b'; break;
            case '\\': out += '\\'; break;
            case 'x': {
                int hi = i + 1 < text.size() ? hex_digit(text[i + 1]) : -1;
                int lo = i + 2 < text.size() ? hex_digit(text[i + 2]) : -1;
                if (hi < 0 || lo < 0) { why = "\\x needs two hexadecimal digits"; return false; }
                out += (char)(hi * 16 + lo);
                i += 2;
                break;
            }
            default: why = std::string("unknown escape \\") + text[i]; return false;
        }
    }
    return true;
}

// A directive is "% keyword: TEXT" (TEXT after the single space) or "% keyword" alone for
// the keywords that take nothing. Returns false for an ordinary comment or program line.
bool split_directive(std::string line, std::string& keyword, std::string& text) {
    static char const* const with_text[] = {"out", "in", "exit", "err", "file", "platform", "args"};
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, 2, "% ") != 0) return false;
    for (char const* alone : {"no-main-file", "windows"})
        if (line.compare(2, std::string::npos, alone) == 0) { keyword = alone; text.clear(); return true; }
    for (char const* k : with_text) {
        std::string head = std::string("% ") + k + ":";
        if (line.compare(0, head.size(), head) != 0) continue;
        keyword = k;
        text = line.size() > head.size() && line[head.size()] == ' ' ? line.substr(head.size() + 1)
                                                                     : line.substr(head.size());
        return true;
    }
    return false;
}

Case parse_case(std::string const& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) bad_case(path, 0, "cannot read the case file");
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string all = buffer.str();

    Case c;
    std::string* section = &c.main_text;
    bool windows = false;  // past "% windows": expectations of the other deliverable
    size_t pos = 0;
    for (int number = 1; pos < all.size(); ++number) {
        size_t end = all.find('\n', pos);
        bool has_lf = end != std::string::npos;
        std::string line = all.substr(pos, has_lf ? end - pos : std::string::npos);
        pos = has_lf ? end + 1 : all.size();

        std::string keyword, text, why;
        if (split_directive(line, keyword, text)) {
            bool expectation = keyword == "out" || keyword == "in" || keyword == "exit" || keyword == "err";
            if (windows && !expectation) bad_case(path, number, "% " + keyword + " cannot follow % windows");
            if (keyword == "windows") {
                windows = true;
            } else if (keyword == "file") {
                if (text.empty() || text[0] == '/' || text.find("..") != std::string::npos)
                    bad_case(path, number, "% file: needs a relative path inside the case folder");
                c.files.emplace_back(text, std::string());
                section = &c.files.back().second;
                continue;  // the separator line itself belongs to no file
            } else if (keyword == "no-main-file") {
                c.write_main = false;
            } else if (keyword == "platform") {
                c.platform = text;
            } else if (keyword == "args") {
                std::istringstream words(text);
                for (std::string w; words >> w;) c.args.push_back(w);
            } else if (keyword == "exit") {
                char* stop = nullptr;
                long v = strtol(text.c_str(), &stop, 10);
                if (text.empty() || *stop != 0) bad_case(path, number, "% exit: needs a number");
                if (!windows) c.expected_exit = (int)v;
            } else {
                std::string bytes;
                if (!unescape(text, bytes, why)) bad_case(path, number, why);
                if (windows) {
                    // only checked: kavo-win's driver runs these
                } else if (keyword == "out") {
                    c.expected_out += bytes;
                } else if (keyword == "in") {
                    c.input += bytes;
                } else {
                    c.expected_err.push_back(bytes);
                }
            }
        }
        // Directive lines stay in the written file as comments.
        *section += line;
        if (has_lf) *section += '\n';
    }
    return c;
}

// Makes every folder on the way to `file` inside `root`.
bool make_parents(std::string const& root, std::string const& file) {
    for (size_t slash = file.find('/'); slash != std::string::npos; slash = file.find('/', slash + 1)) {
        std::string dir = root + "/" + file.substr(0, slash);
        if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool write_file(std::string const& path, std::string const& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return (bool)out;
}

int remove_entry(char const* path, struct stat const*, int, struct FTW*) { return remove(path); }

void remove_tree(std::string const& root) {
    nftw(root.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

struct Result {
    std::string out, err;
    int exit_code = -1;
    int signal = 0;
    bool timed_out = false;
    std::string start_error;
};

double now_seconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

void append_capped(std::string& to, char const* bytes, size_t n) {
    if (to.size() < kOutputCap) to.append(bytes, std::min(n, kOutputCap - to.size()));
}

Result run(std::string const& interpreter, std::vector<std::string> const& args,
           std::string const& folder, std::string const& input) {
    Result r;
    std::vector<char*> argv{(char*)interpreter.c_str()};
    for (auto const& a : args) argv.push_back((char*)a.c_str());
    argv.push_back(nullptr);
    int in_pipe[2], out_pipe[2], err_pipe[2], exec_pipe[2];
    if (pipe(in_pipe) || pipe(out_pipe) || pipe(err_pipe) || pipe(exec_pipe)) {
        r.start_error = std::string("pipe: ") + strerror(errno);
        return r;
    }
    fcntl(exec_pipe[1], F_SETFD, FD_CLOEXEC);

    pid_t pid = fork();
    if (pid < 0) {
        r.start_error = std::string("fork: ") + strerror(errno);
        return r;
    }
    if (pid == 0) {
        setpgid(0, 0);
        signal(SIGPIPE, SIG_DFL);
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1],
                       exec_pipe[0]})
            close(fd);
        int failure = 0;
        if (chdir(folder.c_str()) != 0) {
            failure = errno;
        } else {
            execv(interpreter.c_str(), argv.data());
            failure = errno;
        }
        ssize_t ignored = write(exec_pipe[1], &failure, sizeof failure);
        (void)ignored;
        _exit(127);
    }
    setpgid(pid, pid);  // also done by the child; whichever runs first wins
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    close(exec_pipe[1]);

    int failure = 0;
    if (read(exec_pipe[0], &failure, sizeof failure) == (ssize_t)sizeof failure)
        r.start_error = std::string("cannot start ") + interpreter + ": " + strerror(failure);
    close(exec_pipe[0]);

    int in_fd = in_pipe[1], out_fd = out_pipe[0], err_fd = err_pipe[0];
    fcntl(in_fd, F_SETFL, O_NONBLOCK);
    size_t written = 0;
    if (input.empty()) { close(in_fd); in_fd = -1; }

    double deadline = now_seconds() + timeout_seconds();
    char buffer[65536];
    while (out_fd >= 0 || err_fd >= 0) {
        double left = deadline - now_seconds();
        if (left <= 0) { r.timed_out = true; break; }
        pollfd fds[3];
        int n = 0;
        if (out_fd >= 0) fds[n++] = {out_fd, POLLIN, 0};
        if (err_fd >= 0) fds[n++] = {err_fd, POLLIN, 0};
        if (in_fd >= 0) fds[n++] = {in_fd, POLLOUT, 0};
        int ready = poll(fds, n, (int)(left * 1000) + 1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) break;
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents) continue;
            int fd = fds[i].fd;
            if (fd == in_fd) {
                ssize_t k = write(in_fd, input.data() + written, input.size() - written);
                if (k > 0) written += (size_t)k;
                if (k < 0 && errno == EAGAIN) continue;
                if (k < 0 || written == input.size()) { close(in_fd); in_fd = -1; }
                continue;
            }
            ssize_t k = read(fd, buffer, sizeof buffer);
            if (k < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (k <= 0) {
                close(fd);
                (fd == out_fd ? out_fd : err_fd) = -1;
                continue;
            }
            append_capped(fd == out_fd ? r.out : r.err, buffer, (size_t)k);
        }
    }
    if (r.timed_out) kill(-pid, SIGKILL), kill(pid, SIGKILL);
    for (int fd : {in_fd, out_fd, err_fd})
        if (fd >= 0) close(fd);

    // The streams are closed; the process itself may still be finishing.
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, r.timed_out ? 0 : WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) break;
        if (done == 0) {
            if (now_seconds() > deadline) {
                r.timed_out = true;
                kill(-pid, SIGKILL), kill(pid, SIGKILL);
                continue;
            }
            usleep(2000);
        }
    }
    if (WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    return r;
}

// Shows bytes so that CR, LF, tabs, backspaces and other control bytes can be seen; a real
// line break follows each \n to keep long outputs readable.
std::string visible(std::string const& bytes) {
    std::string s;
    char hex[8];
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = bytes[i];
        switch (c) {
            case '\r': s += "\\r"; break;
            case '\n': s += i + 1 < bytes.size() ? "\\n\n    " : "\\n"; break;
            case '\t': s += "\\t"; break;
            case '\b': s += "\\b"; break;
            case '\\': s += "\\\\"; break;
            default:
                if (c < 32 || c >= 127) { snprintf(hex, sizeof hex, "\\x%02X", c); s += hex; }
                else s += (char)c;
        }
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: golden_runner <interpreter> <case-file>\n");
        return kExitBadCase;
    }
    signal(SIGPIPE, SIG_IGN);
    std::string interpreter = argv[1];
    std::string case_path = argv[2];
    if (interpreter.find('/') != std::string::npos && interpreter[0] != '/') {
        char* full = realpath(interpreter.c_str(), nullptr);
        if (full) interpreter = full, free(full);
    }

    Case c = parse_case(case_path);
    if (!c.platform.empty() && c.platform != "linux") {
        printf("skipped: the case is for the platform '%s'\n", c.platform.c_str());
        return kExitSkip;
    }

    char folder_template[] = "/tmp/kavo-golden-XXXXXX";
    char const* tmpdir = getenv("TMPDIR");
    std::string pattern = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/kavo-golden-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    char* made = mkdtemp(name.data());
    if (!made) made = mkdtemp(folder_template);
    if (!made) {
        fprintf(stderr, "golden_runner: cannot make a temporary folder: %s\n", strerror(errno));
        return kExitFail;
    }
    std::string folder = made;

    bool written = !c.write_main || write_file(folder + "/main.kavo", c.main_text);
    for (auto const& f : c.files)
        written = written && make_parents(folder, f.first) && write_file(folder + "/" + f.first, f.second);
    if (!written) {
        fprintf(stderr, "golden_runner: cannot write the case files into %s\n", folder.c_str());
        remove_tree(folder);
        return kExitFail;
    }

    Result r = run(interpreter, c.args, folder, c.input);
    remove_tree(folder);

    std::vector<std::string> missing;
    for (auto const& e : c.expected_err)
        if (r.err.find(e) == std::string::npos) missing.push_back(e);
    bool out_ok = r.out == c.expected_out;
    bool exit_ok = r.signal == 0 && r.exit_code == c.expected_exit;
    bool pass = r.start_error.empty() && !r.timed_out && out_ok && exit_ok && missing.empty();
    if (pass) return kExitPass;

    printf("FAIL %s\n", case_path.c_str());
    if (!r.start_error.empty()) printf("  %s\n", r.start_error.c_str());
    if (r.timed_out) printf("  killed after %d seconds\n", timeout_seconds());
    if (!out_ok) {
        size_t at = 0;
        while (at < r.out.size() && at < c.expected_out.size() && r.out[at] == c.expected_out[at]) ++at;
        printf("  standard output differs at byte %zu\n", at);
        printf("  expected (%zu bytes):\n    %s\n", c.expected_out.size(), visible(c.expected_out).c_str());
        printf("  actual (%zu bytes):\n    %s\n", r.out.size(), visible(r.out).c_str());
    }
    printf("  exit code: expected %d, actual ", c.expected_exit);
    if (r.signal) printf("killed by signal %d\n", r.signal);
    else printf("%d\n", r.exit_code);
    for (auto const& m : missing) printf("  standard error lacks: %s\n", visible(m).c_str());
    if (!missing.empty() || !r.err.empty())
        printf("  standard error:\n    %s\n", visible(r.err).c_str());
    return kExitFail;
}
