// Program runner: executes the compiled lists directly. Every called name is resolved, in
// this order, to a visible variable, a literal (an atom that is no function), a built-in or
// a program function; arguments are evaluated left to right in the caller's scope before the
// callee's scope exists. A `return` travels out through RETURN/RETURN_R until a sequence run
// with stop_return set takes it. The calls of a sequence run in a loop, so only nesting and
// recursion use native stack, and that is checked rather than overrun.
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
