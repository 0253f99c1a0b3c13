// Shared helpers of the compiler tests.
//
// The atom table, the builder's state and the `do` counter live as long as the process, and
// the tests run either all in one process (the binary started by hand) or one per process
// (CTest). So: the standard atoms are interned once, by the global environment, which also
// records what the table and the start-up function looked like right after that; every test
// compiles source files of its own, names its functions uniquely, and never counts on an atom
// being new unless it wrote the text itself. The process works in a temporary folder, where the
// source files are written, so that `include` finds them by their relative names.
//
// A compilation that fails ends the process. Whatever may fail therefore runs in a child (a
// death test) whose standard output and standard error are captured into files and compared.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "builtins/registry.h"
#include "compiler/after_compile.h"
#include "compiler/builder.h"
#include "compiler/parser.h"
#include "compiler/reader.h"
#include "core/atoms.h"
#include "core/lists.h"

// What the table and kavo.initialize looked like right after load_std_atoms.
struct startup_snapshot {
    int count;                        // atoms_count()
    std::vector<atom_s*> oldest_first;  // the whole table, oldest atom first
    std::vector<unsigned> flags;      // the flags of oldest_first, in the same order
    std::string init_body;            // show_calls of kavo.initialize's body
};
startup_snapshot const& startup();

// Writes `text` into the file `path` (relative to the test folder; folders are made).
void write_source(std::string const& path, std::string const& text);
std::string read_text(std::string const& path);

// Readable forms of the compiled program. A call is its name, followed by its arguments in
// parentheses when it has an argument list; a block call is its calls in braces; an atom whose
// text is empty or holds a separator or a bracket is shown in double quotes.
std::string show_atom(atom_s* atom);
std::string show_calls(list_s* calls);
std::string show_params(atom_s* function);
// The atoms of a list, each shown with show_atom, separated by one space.
std::string show_atoms(list_s* cells);

// Records every compile event while it lives.
struct event_log {
    std::vector<std::pair<std::string, std::string>> events;
    event_log();
    ~event_log();
    // The events without the "atom" events, each as "event text".
    std::vector<std::string> constructs() const;
    // Every event, each as "event text".
    std::vector<std::string> all() const;
};

// Runs `body` in a child process (a death test) with standard output and standard error
// captured; expects the child to end with `exit_code`, to write exactly `out` on standard
// output and to write `err` (exactly, unless err_is_part) on standard error. A body that
// returns makes the child exit with 0 after flushing its output.
void expect_outcome(std::function<void()> const& body, int exit_code, std::string const& out,
                    std::string const& err, bool err_is_part = false);

// Compiles name + ".kavo" in a child first; only when that compiles without a word does it
// compile the file in this process too. Returns whether it compiled here.
bool compile_here(std::string const& name);
// Writes the source and then compile_here.
bool compile_source(std::string const& name, std::string const& text);

// The text of error `code` as standard output shows it for a compile-time error.
std::string compile_error_out(int code, std::string const& file, int line);
