// The after-compile checks. The count rules are looked up through a tag-free side index:
// each built-in's row number is found by pointer in the table, which is small and fixed.
#include "after_compile.h"

#include "../builtins/registry.h"
#include "../messages/messages.h"
#include "../host/host.h"

arg_rule_row const ATOM_ARG_RULE[ATOM_ARG_RULES] = {
    {&std_atom_set, 0x2FE},      {&std_atom_new, 0x2FE},        {&std_atom_g_new, 0x2FE},
    {&std_atom_settag, 0x2FE},   {&std_atom_write, 0x1FF},      {&std_atom_eval, 0x1FF},
    {&std_atom_include, 0x1FF},  {&std_atom_var, 0x1FF},        {&std_atom_shell, 0x1FF},
    {&std_atom_call, 0x1FF},     {&std_atom_read, 0x100},       {&std_atom_version, 0x100},
    {&std_atom_atom_num, 0x100}, {&std_atom_return, 0x100},     {&std_atom_readchar, 0x100},
    {&std_atom_eol, 0x100},      {&std_atom_nl, 0xFE},          {&std_atom_about, 0xFE},
    {&std_atom_initialize, 0xFE}, {&std_atom_trace, 0xFE},      {&std_atom_notrace, 0xFE},
    {&std_atom_sleep, 0x1FE},    {&std_atom_gettag, 0x1FE},     {&std_atom_spy, 0x1FE},
    {&std_atom_eq, 0x2FF},       {&std_atom_eqi, 0x2FF},        {&std_atom_eqf, 0x2FF},
    {&std_atom_and, 0x2FF},      {&std_atom_or, 0x2FF},         {&std_atom_concat, 0x2FF},
    {&std_atom_assert, 0x2FF},   {&std_atom_if, 0x302},         {&std_atom_right, 0x302},
    {&std_atom_like, 0x302},     {&std_atom_left, 0x302},       {&std_atom_at, 0x302},
    {&std_atom_middle, 0x403},   {&std_atom_not, 0x201},        {&std_atom_length, 0x201},
    {&std_atom_head, 0x201},     {&std_atom_tail, 0x201},       {&std_atom_last, 0x201},
    {&std_atom_reverse, 0x201},  {&std_atom_rnd, 0x201},        {&std_atom_gettime, 0x700},
    {&std_atom_append, 0x3FF},
};

static int rule_a(int rule) { return (signed char)(rule & 0xFF); }
static int rule_b(int rule) { return (signed char)((rule >> 8) & 0xFF); }

int arg_rule_accepts(int rule, int n) {
    int a = rule_a(rule), b = rule_b(rule);
    if (a == -2) return n == b;
    if (a == -1) return n >= b;
    return n == a || n == b;
}

char* arg_rule_text(int rule, char* dst) {
    int a = rule_a(rule), b = rule_b(rule);
    if (a == -2)
        text_format(dst, 32, "%i", b);
    else if (a == -1)
        text_format(dst, 32, "%i+", b);
    else
        text_format(dst, 32, "%i or %i", a, b);
    return dst;
}

static int const* rule_of(atom_s* atom) {
    if (atom->notflag(AI_EXTERN) && atom != std_atom_initialize) return nullptr;
    for (auto& row : ATOM_ARG_RULE)
        if (*row.atom == atom) return &row.rule;
    return nullptr;
}

enum var_rule { NONE, FIRST, ALL };

// Which arguments of a call of `atom` with n arguments must be bare names.
static var_rule var_rule_of(atom_s* atom, int n) {
    if (atom == std_atom_set || atom == std_atom_append) return FIRST;
    if ((atom == std_atom_read || atom == std_atom_readchar) && n == 1) return FIRST;
    if ((atom == std_atom_left || atom == std_atom_right || atom == std_atom_like) && n == 3)
        return FIRST;
    if ((atom == std_atom_not || atom == std_atom_length || atom == std_atom_head ||
         atom == std_atom_tail || atom == std_atom_last) &&
        n == 2)
        return FIRST;
    if (atom == std_atom_middle && n == 4) return FIRST;
    if (atom == std_atom_var || atom == std_atom_g_var || atom == std_atom_NULL ||
        atom == std_atom_gettime)
        return ALL;
    return NONE;
}

void after_compile_check_body(list_s* calls) {
    for (list_s* call = calls; call; call = call->next) {
        int n = list_length(call->sub);
        atom_s* atom = call->atom;
        char const* name = atom->c_str();
        if (name[0] == '.') {
            if (atom_s* plain = atoms_find(name + 1)) {
                atom = plain;
                name = name + 1;
            } else {
                Error(n > 0, 10, name + 1);
            }
        }
        if (int const* rule = rule_of(atom)) {
            char accepted[32];
            Error(!arg_rule_accepts(*rule, n), 2, name, arg_rule_text(*rule, accepted));
        }
        switch (var_rule_of(atom, n)) {
            case FIRST:
                Error(call->sub && call->sub->sub, 16, name);
                break;
            case ALL:
                for (list_s* arg = call->sub; arg; arg = arg->next) Error(arg->sub != nullptr, 17, name);
                break;
            case NONE:
                break;
        }
        after_compile_check_body(call->sub);
    }
}

void after_compile_work() {
    atom_walk walk;
    while (atom_s* atom = walk.next()) {
        if (atom->flag(AI_EXTERN)) continue;
        for (list_s* p = atom->names()->params; p; p = p->next) Error(p->atom->flag(AI_FUNCTION), 1, p->atom);
        after_compile_check_body(atom->names()->body);
    }
}
