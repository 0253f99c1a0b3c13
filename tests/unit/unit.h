// Shared helpers of the unit tests.
// The atom table is global and lives as long as the test process, and the tests may run all
// in one process or one per process: every test interns texts of its own (fresh_text) and
// never assumes an atom is new unless it made the text itself.
#pragma once

#include <functional>
#include <string>

#include "builtins/registry.h"
#include "core/atoms.h"
#include "core/str.h"

// A text that no other test interns: the stem followed by a process-wide counter.
std::string fresh_text(char const* stem);

// The standard atoms (std_atom_null and the rest), interned once per process.
void ensure_std_atoms();

// What a child process did: its exit code (or -1 when a signal ended it) and everything it
// wrote to standard output and standard error.
struct child_result {
    int exit_code;
    int signal;
    std::string out;
    std::string err;
};

// Runs `body` in a forked child whose standard input reads `input` (from a file) and whose
// standard output and error go to files that are read back. A body that returns makes the
// child exit with CHILD_RETURNED, so a fatal error is told apart from a normal return.
enum { CHILD_RETURNED = 99 };
child_result run_child(std::function<void()> const& body, std::string const& input = "");
