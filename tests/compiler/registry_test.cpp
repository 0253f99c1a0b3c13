// The standard atoms as the compiler finds them: the table right after load_std_atoms, the
// globals that point into it, the built-ins' flags and handlers, the start-up function, and
// the argument-count rules of the after-compile checks.
#include <map>
#include <set>

#include "compiler_fixture.h"

namespace {

char const MARK[] = {'"', '\'', 1, '\'', '"', 0};
char const BLOCK[] = {'"', '\'', 2, '\'', '"', 0};

struct named_global {
    atom_s** global;
    char const* text;
};

// The standard atoms in the order they are interned: eleven plain atoms, then the built-ins.
named_global const PLAIN[] = {
    {&std_atom_null, ""},
    {&std_atom_true, "true"},
    {&std_atom_main, "main"},
    {&std_atom_mark, MARK},
    {&std_atom_else, "else"},
    {&std_atom_class, "class"},
    {&std_atom_initialize, "kavo.initialize"},
    {&std_atom_do, "do"},
    {&std_atom_EOL, "\r\n"},
    {&std_atom_cmd_line, "command_line"},
    {&std_atom_rnd_set, "rnd.symbols"},
};

named_global const BUILTINS[] = {
    {&std_atom_write, "write"},       {&std_atom_writenl, "writenl"},
    {&std_atom_writeln, "writeln"},   {&std_atom_nl, "nl"},
    {&std_atom_eol, "eol"},           {&std_atom_read, "read"},
    {&std_atom_readchar, "readchar"}, {&std_atom_if, "if"},
    {&std_atom_with, "with"},         {&std_atom_trace, "trace"},
    {&std_atom_notrace, "notrace"},   {&std_atom_spy, "spy"},
    {&std_atom_eq, "eq"},             {&std_atom_eqi, "eqi"},
    {&std_atom_eqf, "eqf"},           {&std_atom_at, "at"},
    {&std_atom_gettag, "get_tag"},    {&std_atom_settag, "set_tag"},
    {&std_atom_body, BLOCK},          {&std_atom_set, "set"},
    {&std_atom_var, "var"},           {&std_atom_g_var, "g_var"},
    {&std_atom_new, "new"},           {&std_atom_g_new, "g_new"},
    {&std_atom_append, "append"},     {&std_atom_concat, "concat"},
    {&std_atom_left, "left"},         {&std_atom_right, "right"},
    {&std_atom_middle, "middle"},     {&std_atom_length, "length"},
    {&std_atom_reverse, "reverse"},   {&std_atom_head, "head"},
    {&std_atom_tail, "tail"},         {&std_atom_last, "last"},
    {&std_atom_like, "like"},         {&std_atom_not, "not"},
    {&std_atom_and, "and"},           {&std_atom_or, "or"},
    {&std_atom_return, "return"},     {&std_atom_assert, "assert"},
    {&std_atom_NULL, "null"},         {&std_atom_eval, "eval"},
    {&std_atom_include, "include"},   {&std_atom_call, "call"},
    {&std_atom_rnd, "rnd"},           {&std_atom_shell, "shell"},
    {&std_atom_sleep, "sleep"},       {&std_atom_version, "kavo.version"},
    {&std_atom_about, "kavo.about"},  {&std_atom_gettime, "get_time"},
    {&std_atom_atom_num, "kavo.number_of_atoms"},
};

std::string text_of(atom_s* a) { return std::string(a->data, a->length); }

}  // namespace

TEST(StandardAtoms, TableRightAfterLoadingHolds65AtomsInOrder) {
    startup_snapshot const& s = startup();
    EXPECT_EQ(s.count, 65);
    ASSERT_EQ(s.oldest_first.size(), 65u);

    std::vector<std::string> expected;
    for (auto const& row : PLAIN) expected.push_back(row.text);
    for (auto const& row : BUILTINS) expected.push_back(row.text);
    expected.push_back("_");
    expected.push_back("<NO COMMAND LINE AVAILABLE>");
    expected.push_back("0123456789");
    ASSERT_EQ(expected.size(), 65u);
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_EQ(text_of(s.oldest_first[i]), expected[i]) << "atom number " << i;

    // The empty atom is the first atom ever made, and each global points at its own row.
    EXPECT_EQ(s.oldest_first[0], std_atom_null);
    for (size_t i = 0; i < 11; i++) EXPECT_EQ(*PLAIN[i].global, s.oldest_first[i]) << PLAIN[i].text;
    for (size_t i = 0; i < 51; i++)
        EXPECT_EQ(*BUILTINS[i].global, s.oldest_first[11 + i]) << show_atom(*BUILTINS[i].global);
}

TEST(StandardAtoms, TheTwoInternalAtomsCannotBeSpelledInSource) {
    ASSERT_EQ(std_atom_body->length, 5);
    ASSERT_EQ(std_atom_mark->length, 5);
    EXPECT_EQ(text_of(std_atom_body), std::string("\"'\x02'\"", 5));
    EXPECT_EQ(text_of(std_atom_mark), std::string("\"'\x01'\"", 5));
    EXPECT_NE(std_atom_body, std_atom_mark);
}

TEST(StandardAtoms, BuiltinsCarryFlagsAndHandlers) {
    startup_snapshot const& s = startup();
    std::set<extern_handler> handlers;
    for (size_t i = 0; i < 51; i++) {
        atom_s* a = *BUILTINS[i].global;
        EXPECT_EQ(s.flags[11 + i], (unsigned)(AI_EXTERN | AI_FUNCTION)) << show_atom(a);
        EXPECT_NE(a->handler, nullptr) << show_atom(a);
        EXPECT_EQ(a->params, nullptr) << show_atom(a);
        handlers.insert(a->handler);
    }
    // writenl and writeln share one handler: fifty handlers for fifty-one names.
    EXPECT_EQ(std_atom_writenl->handler, std_atom_writeln->handler);
    EXPECT_EQ(handlers.size(), 50u);

    // Of the plain atoms only the start-up function is callable, and it is no built-in.
    for (size_t i = 0; i < 11; i++) {
        unsigned want = *PLAIN[i].global == std_atom_initialize ? (unsigned)AI_FUNCTION : 0u;
        EXPECT_EQ(s.flags[i], want) << show_atom(*PLAIN[i].global);
    }
    for (size_t i = 62; i < 65; i++) EXPECT_EQ(s.flags[i], 0u) << show_atom(s.oldest_first[i]);
}

TEST(StandardAtoms, StartupFunctionDeclaresThenSetsTheThreeGlobals) {
    EXPECT_EQ(startup().init_body,
              "g_var(_ rnd.symbols command_line) "
              "set(command_line \"<NO COMMAND LINE AVAILABLE>\") "
              "set(rnd.symbols 0123456789)");
}

// The count rules as users meet them, by built-in name; those missing here have no rule.
TEST(ArgumentRules, EveryBuiltinHasItsRuleAndNoOtherRow) {
    std::map<std::string, int> expected;
    for (char const* n : {"set", "new", "g_new", "set_tag"}) expected[n] = 0x2FE;
    for (char const* n : {"write", "eval", "include", "var", "shell", "call"}) expected[n] = 0x1FF;
    for (char const* n : {"read", "kavo.version", "kavo.number_of_atoms", "return", "readchar", "eol"})
        expected[n] = 0x100;
    for (char const* n : {"nl", "kavo.about", "kavo.initialize", "trace", "notrace"}) expected[n] = 0xFE;
    for (char const* n : {"sleep", "get_tag", "spy"}) expected[n] = 0x1FE;
    for (char const* n : {"eq", "eqi", "eqf", "and", "or", "concat", "assert"}) expected[n] = 0x2FF;
    for (char const* n : {"if", "right", "like", "left", "at"}) expected[n] = 0x302;
    expected["middle"] = 0x403;
    for (char const* n : {"not", "length", "head", "tail", "last", "reverse", "rnd"}) expected[n] = 0x201;
    expected["get_time"] = 0x700;
    expected["append"] = 0x3FF;
    ASSERT_EQ(expected.size(), 46u);

    std::map<std::string, int> found;
    for (auto const& row : ATOM_ARG_RULE) {
        ASSERT_NE(*row.atom, nullptr);
        std::string name = text_of(*row.atom);
        EXPECT_EQ(found.count(name), 0u) << name << " has two rows";
        found[name] = row.rule;
    }
    EXPECT_EQ(found, expected);
    for (char const* unchecked : {"writenl", "writeln", "with", "g_var", "null"})
        EXPECT_EQ(found.count(unchecked), 0u) << unchecked;
    EXPECT_EQ(found.count(text_of(std_atom_body)), 0u);
}

// Both bytes of a rule are signed: 0xFE is -2 (exactly B), 0xFF is -1 (B or more).
TEST(ArgumentRules, DecodingAndTextOfEachForm) {
    struct form {
        int rule;
        char const* text;
        std::set<int> accepted;  // among 0 to 9
    };
    form const forms[] = {
        {0x2FE, "2", {2}},          {0x1FE, "1", {1}},          {0xFE, "0", {0}},
        {0x1FF, "1+", {1, 2, 3, 4, 5, 6, 7, 8, 9}},          {0x2FF, "2+", {2, 3, 4, 5, 6, 7, 8, 9}},
        {0x3FF, "3+", {3, 4, 5, 6, 7, 8, 9}},                {0x100, "0 or 1", {0, 1}},
        {0x302, "2 or 3", {2, 3}},  {0x403, "3 or 4", {3, 4}},  {0x201, "1 or 2", {1, 2}},
        {0x700, "0 or 7", {0, 7}},
    };
    for (auto const& f : forms) {
        char text[32];
        EXPECT_STREQ(arg_rule_text(f.rule, text), f.text) << std::hex << f.rule;
        for (int n = 0; n <= 9; n++)
            EXPECT_EQ(arg_rule_accepts(f.rule, n) != 0, f.accepted.count(n) == 1)
                << "rule " << f.text << " with " << n << " argument(s)";
    }
    // Only the two lowest bytes count.
    char text[32];
    EXPECT_STREQ(arg_rule_text(0x12340302, text), "2 or 3");
    EXPECT_FALSE(arg_rule_accepts(0x123402FE, 0x34));
    EXPECT_TRUE(arg_rule_accepts(0x123402FE, 2));
}
