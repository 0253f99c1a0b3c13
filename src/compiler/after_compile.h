// After-compile checks: run at the end of every compiled file over the whole program built
// so far. They reject parameters named like functions (error 1), wrong argument counts to
// built-ins (2), calls with arguments of dotted names that name nothing (10), and computed
// values where a built-in needs a variable (16, 17). They only read; they change nothing.
#pragma once

#include "../core/atoms.h"
#include "../core/lists.h"

struct arg_rule_row {
    atom_s** atom;
    int rule;  // low byte A, next byte B, both signed: A -2 exactly B, -1 B or more, else A or B
};
enum { ATOM_ARG_RULES = 46 };
extern arg_rule_row const ATOM_ARG_RULE[ATOM_ARG_RULES];

void after_compile_work();
void after_compile_check_body(list_s* calls);
// The accepted counts of a rule as users read them: "2", "1+", "2 or 3".
char* arg_rule_text(int rule, char* dst);
int arg_rule_accepts(int rule, int n);
