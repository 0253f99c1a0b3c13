#include "compiler_fixture.h"

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace {

startup_snapshot snapshot;
std::string folder;

int remove_entry(char const* path, struct stat const*, int, struct FTW*) { return remove(path); }

// Interns the standard atoms once for the whole process, records the table as it is then, and
// moves the process into a temporary folder for its source files.
class compiler_environment : public ::testing::Environment {
   public:
    void SetUp() override {
        char name[] = "/tmp/kavo-compiler-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder = name;
        ASSERT_EQ(chdir(name), 0);

        load_std_atoms();
        snapshot.count = atoms_count();
        for (atom_s* a = atom_table; a; a = a->next) {
            snapshot.oldest_first.insert(snapshot.oldest_first.begin(), a);
            snapshot.flags.insert(snapshot.flags.begin(), a->flags);
        }
        snapshot.init_body = show_calls(std_atom_initialize->body);
    }
    void TearDown() override {
        if (chdir("/") == 0 && !folder.empty())
            nftw(folder.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    }
};

::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new compiler_environment);

bool needs_quotes(std::string const& text) {
    if (text.empty()) return true;
    for (unsigned char c : text)
        if (c <= 32 || c == '(' || c == ')' || c == '{' || c == '}') return true;
    return false;
}

void make_parents(std::string const& path) {
    for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0755);
}

}  // namespace

startup_snapshot const& startup() { return snapshot; }

void write_source(std::string const& path, std::string const& text) {
    make_parents(path);
    std::ofstream out(path, std::ios::binary);
    out << text;
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string read_text(std::string const& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string show_atom(atom_s* atom) {
    if (!atom) return "<null>";
    std::string text(atom->data, atom->length);
    return needs_quotes(text) ? "\"" + text + "\"" : text;
}

std::string show_calls(list_s* calls) {
    std::string s;
    for (list_s* call = calls; call; call = call->next) {
        if (!s.empty()) s += ' ';
        if (call->atom == std_atom_body) {
            s += "{" + show_calls(call->sub) + "}";
            continue;
        }
        s += show_atom(call->atom);
        if (call->sub) s += "(" + show_calls(call->sub) + ")";
    }
    return s;
}

std::string show_atoms(list_s* cells) {
    std::string s;
    for (list_s* cell = cells; cell; cell = cell->next) {
        if (!s.empty()) s += ' ';
        s += show_atom(cell->atom);
    }
    return s;
}

std::string show_params(atom_s* function) { return show_atoms(function->params); }

namespace {
event_log* recording;
void record(char const* event, char const* text) {
    if (recording) recording->events.emplace_back(event, text);
}
}  // namespace

event_log::event_log() {
    recording = this;
    engine_event_observer = record;
}

event_log::~event_log() {
    engine_event_observer = nullptr;
    recording = nullptr;
}

std::vector<std::string> event_log::constructs() const {
    std::vector<std::string> out;
    for (auto const& e : events)
        if (e.first != "atom") out.push_back(e.first + " " + e.second);
    return out;
}

std::vector<std::string> event_log::all() const {
    std::vector<std::string> out;
    for (auto const& e : events) out.push_back(e.first + " " + e.second);
    return out;
}

void expect_outcome(std::function<void()> const& body, int exit_code, std::string const& out,
                    std::string const& err, bool err_is_part) {
    remove("child.out");
    remove("child.err");
    EXPECT_EXIT(
        {
            if (!freopen("child.out", "w", stdout) || !freopen("child.err", "w", stderr)) _exit(98);
            body();
            fflush(stdout);
            fflush(stderr);
            _exit(0);
        },
        ::testing::ExitedWithCode(exit_code), "")
        << "standard output: " << read_text("child.out")
        << "\nstandard error: " << read_text("child.err");
    EXPECT_EQ(read_text("child.out"), out);
    if (err_is_part)
        EXPECT_NE(read_text("child.err").find(err), std::string::npos)
            << "standard error: " << read_text("child.err") << "\nlacks: " << err;
    else
        EXPECT_EQ(read_text("child.err"), err);
}

bool compile_here(std::string const& name) {
    bool failed_before = ::testing::Test::HasFailure();
    expect_outcome([&] { engine_compile(name.c_str()); }, 0, "", "");
    if (!failed_before && ::testing::Test::HasFailure()) return false;
    engine_compile(name.c_str());
    return true;
}

bool compile_source(std::string const& name, std::string const& text) {
    write_source(name + ".kavo", text);
    return compile_here(name);
}

std::string compile_error_out(int code, std::string const& file, int line) {
    return "[ [ kavo ] error ] Error Code: " + std::to_string(code) + "\nFile: " + file +
           "\nLine: " + std::to_string(line) + "\n";
}
