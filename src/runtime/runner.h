// Program runner: executes the compiled lists directly. Every called name is resolved, in
// this order, to a visible variable, a literal (an atom that is no function), a built-in or
// a program function; arguments are evaluated left to right in the caller's scope before the
// callee's scope exists. A `return` travels out through RETURN/RETURN_R until a sequence run
// with stop_return set takes it. The calls of a sequence run in a loop, and a program
// function called in last position (its value is its caller's value) takes over its
// caller's frame and scopes, so loops written as recursion run in constant stack; only
// nesting and other recursion use native stack, and that is checked rather than overrun.
// Argument values live on the runner's own stack of cells, never in the program's lists.
#pragma once

#include "../core/atoms.h"
#include "../core/lists.h"

extern int RETURN;
extern atom_s* RETURN_R;

void engine_run();
// 1 when the program defines `main`; otherwise shows the missing-main warning and gives 0.
int engine_check_main();
atom_s* engine_run_func(list_s* call, int stop_return, int eval_args);
// The values live on the runner's value stack: engine_free_list pops them, and with them
// every list made after them, before any list made earlier is popped.
list_s* engine_run_list(list_s* calls);
void engine_free_list(list_s* values);
atom_s* get_func_name(list_s* call);

// Where the run is, for error reports. engine_where gives the file and line of the call that
// is running (0 when no written call runs); engine_backtrace passes one line for each active
// function, innermost first ("  in f, main.kavo:7"), a long chain shortened in its middle.
// A built-in that works through its argument cells one by one may point at the one at hand.
int engine_where(char const** file, int* line);
void engine_backtrace(void (*put)(char const* line));
list_s* engine_at(list_s* cell);
