// The parser's event stream and the program the builder makes of it, from real source files:
// definitions, bodies, if/else/with, top-level include, var, new and do, and the builder's own
// guards on the event interface.
#include <algorithm>

#include "compiler_fixture.h"

namespace {

using texts = std::vector<std::string>;

std::string block_text() { return std::string(std_atom_body->data, std_atom_body->length); }

atom_s* function(char const* name) {
    atom_s* a = atoms_find(name);
    EXPECT_NE(a, nullptr) << name << " was never read";
    return a;
}

std::string body_of(char const* name) {
    atom_s* a = function(name);
    return a ? show_calls(a->body) : "<missing>";
}

// The calls of kavo.initialize from the n-th on.
std::string init_calls_from(int n) {
    list_s* call = std_atom_initialize->body;
    for (int i = 0; i < n && call; i++) call = call->next;
    return show_calls(call);
}

// The n-th call of kavo.initialize alone.
std::string init_call(int n) {
    list_s* call = list_get(std_atom_initialize->body, n);
    if (!call) return "<none>";
    list_s* next = call->next;
    call->next = nullptr;
    std::string text = show_calls(call);
    call->next = next;
    return text;
}

// The last n calls of kavo.initialize.
std::string last_init_calls(int n) {
    return init_calls_from(list_length(std_atom_initialize->body) - n);
}

}  // namespace

TEST(Parser, WorkedExampleEventsInOrder) {
    write_source("worked.kavo", "show(a, b) { if eq(a, b) write(\"same\") else { write(a) nl } }\n");
    event_log log;
    ASSERT_TRUE(compile_here("worked"));
    std::string block = block_text();
    EXPECT_EQ(log.constructs(),
              (texts{"func show",    "pbegin (",       "param a",     "param b",     "pend )",
                     "begin {",      "call if",        "cbegin (",    "call eq",     "cbegin (",
                     "call a",       "call b",         "cend )",      "call " + block, "cbegin (",
                     "call write",   "cbegin (",       "call same",   "cend )",      "cend )",
                     "call " + block, "cbegin (",      "begin {",     "call write",  "cbegin (",
                     "call a",       "cend )",         "call nl",     "end }",       "cend )",
                     "end }"}));
}

TEST(Builder, WorkedExampleStructure) {
    ASSERT_TRUE(compile_source("worked2",
                               "show2(a, b) { if eq(a, b) write(\"same\") else { write(a) nl } }\n"));
    atom_s* show = function("show2");
    ASSERT_NE(show, nullptr);
    EXPECT_TRUE(show->flag(AI_FUNCTION));
    EXPECT_FALSE(show->flag(AI_EXTERN));
    EXPECT_EQ(show_params(show), "a b");
    EXPECT_EQ(show_calls(show->body), "if(eq(a b) {write(same)} {write(a) nl})");

    // The cells themselves: one call in the body, three arguments of if, the branches are
    // cells of the block atom, and names written without a list have no sub-list.
    list_s* call_if = show->body;
    ASSERT_NE(call_if, nullptr);
    EXPECT_EQ(call_if->atom, std_atom_if);
    EXPECT_EQ(call_if->next, nullptr);
    ASSERT_EQ(list_length(call_if->sub), 3);
    list_s* branch = call_if->sub->next;
    EXPECT_EQ(branch->atom, std_atom_body);
    EXPECT_EQ(branch->next->atom, std_atom_body);
    EXPECT_EQ(branch->sub->sub->atom, atoms_find("same"));
    EXPECT_EQ(branch->sub->sub->sub, nullptr);
    list_s* nl = branch->next->sub->next;
    EXPECT_EQ(nl->atom, std_atom_nl);
    EXPECT_EQ(nl->sub, nullptr);
    EXPECT_EQ(nl->next, nullptr);
}

TEST(Parser, EveryReadIsAnnouncedPushedBackAtomsAgain) {
    write_source("announce.kavo", "announced { nl }\n");
    event_log log;
    ASSERT_TRUE(compile_here("announce"));
    EXPECT_EQ(log.all(), (texts{"atom announced", "func announced", "atom {", "atom {", "begin {",
                                "atom nl", "atom nl", "call nl", "atom }", "atom }", "atom }",
                                "end }", "atom "}));
}

TEST(Parser, EmptyParenthesesAreNoEmptyParameterList) {
    write_source("parens.kavo", "pz() { pzfoo } ) write(x)\n");
    event_log log;
    ASSERT_TRUE(compile_here("parens"));
    EXPECT_EQ(log.constructs(),
              (texts{"func pz", "pbegin (", "param )", "param {", "param pzfoo", "param }", "pend )",
                     "begin {", "call write", "cbegin (", "call x", "cend )", "end }"}));
    EXPECT_EQ(show_params(function("pz")), "\")\" \"{\" pzfoo \"}\"");
    EXPECT_EQ(body_of("pz"), "write(x)");
}

TEST(Parser, BodiesBracedOrOneCall) {
    ASSERT_TRUE(compile_source("bodies",
                               "pm1 write(\"x\")\n"
                               "pm2 nl pm3 { nl nl }\n"
                               "pm4(v) \"{\" write(v) '}'\n"
                               "pm5 { pcall(a, b); pcall2(c;d) }\n"
                               "pm6 { write \"(\" \"x y\" \")\" }\n"
                               "pm7 { .nl If c a }"));
    EXPECT_EQ(body_of("pm1"), "write(x)");
    EXPECT_EQ(body_of("pm2"), "nl");
    EXPECT_EQ(body_of("pm3"), "nl nl");
    EXPECT_EQ(body_of("pm4"), "write(v)");
    EXPECT_EQ(body_of("pm5"), "pcall(a b) pcall2(c d)");
    EXPECT_EQ(body_of("pm6"), "write(\"x y\")");
    // A leading dot stays part of the name; only lower-case "if" is special.
    EXPECT_EQ(body_of("pm7"), ".nl If c a");
    EXPECT_EQ(function("pm7")->body->atom, atoms_find(".nl"));
}

TEST(Parser, IfElseWithAndStrayElse) {
    ASSERT_TRUE(compile_source("branches",
                               "pif1 {\n"
                               "  if c\n"
                               "    write(a)\n"
                               "  else\n"
                               "    write(b)\n"
                               "}\n"
                               "pif2 { if c a nl if c a else b }\n"
                               "pif3 { else nl if c a x else y }\n"
                               "pif4 { write(if eq(x y) \"yes\" else \"no\") }\n"
                               "pif5 { if if c a b else { } with o { a b } with o a }\n"
                               "pif6 if c { write(a) nl } else if d b\n"
                               "pif7 { nl }\n"));
    EXPECT_EQ(body_of("pif1"), "if(c {write(a)} {write(b)})");
    EXPECT_EQ(body_of("pif2"), "if(c {a}) nl if(c {a} {b})");
    // An else that follows no branch of an if is an ordinary call.
    EXPECT_EQ(body_of("pif3"), "else nl if(c {a}) x else y");
    EXPECT_EQ(function("pif3")->body->atom, std_atom_else);
    EXPECT_EQ(body_of("pif4"), "write(if(eq(x y) {yes} {no}))");
    // An empty braced branch is a block call without a list.
    EXPECT_EQ(body_of("pif5"), "if(if(c {a}) {b} {}) with(o {a b}) with(o {a})");
    EXPECT_EQ(body_of("pif6"), "if(c {write(a) nl} {if(d {b})})");
}

TEST(Builder, EmptyBodyCanBeDefinedAgain) {
    ASSERT_TRUE(compile_source("empty_first", "pe0 {}\n"));
    atom_s* f = function("pe0");
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->flag(AI_FUNCTION));
    EXPECT_EQ(f->body, nullptr);
    ASSERT_TRUE(compile_source("empty_second", "pe0(x) { nl }\n"));
    EXPECT_EQ(show_params(f), "x");
    EXPECT_EQ(show_calls(f->body), "nl");
}

TEST(Builder, TopLevelVarNamesGoToTheFrontOfTheFirstStartupCall) {
    // The only top-level var compiled in this process, so the whole call can be compared.
    ASSERT_EQ(startup().init_body.rfind("g_var(_ rnd.symbols command_line)", 0), 0u);
    write_source("vars.kavo", "var(p q)\nvar(r)\n");
    event_log log;
    ASSERT_TRUE(compile_here("vars"));
    EXPECT_EQ(log.constructs(), (texts{"func var", "pbegin (", "param p", "param q", "pend )",
                                       "func var", "pbegin (", "param r", "pend )"}));
    list_s* first = std_atom_initialize->body;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->atom, std_atom_g_var);
    EXPECT_EQ(show_atoms(first->sub), "r q p _ rnd.symbols command_line");
    EXPECT_EQ(first->sub->atom, atoms_find("r"));
    // Declaring names makes no functions of them.
    EXPECT_FALSE(atoms_find("p")->flag(AI_FUNCTION));
    EXPECT_EQ(atoms_find("p")->body, nullptr);
}

TEST(Builder, TopLevelNewAppendsGNewCallsInSourceOrder) {
    write_source("news.kavo", "new(x 5)\nnew(ny \"two words\")\n");
    int before = list_length(std_atom_initialize->body);
    event_log log;
    ASSERT_TRUE(compile_here("news"));
    EXPECT_EQ(log.constructs(), (texts{"func new", "pbegin (", "param x", "pAram 5", "func new",
                                       "pbegin (", "param ny", "pAram two words"}));
    EXPECT_EQ(list_length(std_atom_initialize->body), before + 2);
    EXPECT_EQ(last_init_calls(2), "g_new(x 5) g_new(ny \"two words\")");
    // Behind the declaring call and the two set calls that the start-up function began with.
    EXPECT_GE(before, 3);
    EXPECT_EQ(init_call(0).rfind("g_var(", 0), 0u);
    EXPECT_EQ(init_call(1), "set(command_line \"<NO COMMAND LINE AVAILABLE>\")");
    EXPECT_EQ(init_call(2), "set(rnd.symbols 0123456789)");
}

TEST(Builder, IncludeCompilesEachFileCompletelyInPlace) {
    write_source("inc_a.kavo", "new(io2 2)\nia_f { nl }\n");
    write_source("inc_b.kavo", "new(io3 3)\n");
    write_source("inc_main.kavo", "new(io1 1)\ninclude(inc_a inc_b)\nnew(io4 4)\nim_f { ia_f }\n");
    event_log log;
    ASSERT_TRUE(compile_here("inc_main"));
    EXPECT_EQ(last_init_calls(4), "g_new(io1 1) g_new(io2 2) g_new(io3 3) g_new(io4 4)");
    EXPECT_EQ(body_of("ia_f"), "nl");
    EXPECT_EQ(body_of("im_f"), "ia_f");
    EXPECT_EQ(log.constructs(),
              (texts{"func new", "pbegin (", "param io1", "pAram 1",
                     "func include", "pbegin (", "param inc_a",
                     // inc_a.kavo, compiled inside the "param" event that names it
                     "func new", "pbegin (", "param io2", "pAram 2",
                     "func ia_f", "begin {", "call nl", "end }",
                     "param inc_b",
                     "func new", "pbegin (", "param io3", "pAram 3",
                     "pend )",
                     "func new", "pbegin (", "param io4", "pAram 4",
                     "func im_f", "begin {", "call ia_f", "end }"}));
    EXPECT_EQ(ccs, nullptr);
}

TEST(Builder, IncludeNamesGetTheExtensionAndAreRelativeToTheCurrentFolder) {
    write_source("ext_lib.kavo.kavo", "ext_f { nl }\n");
    write_source("sub/slib.kavo", "include(sother)\nslib_f { sother_f }\n");
    write_source("sother.kavo", "sother_f { nl }\n");
    ASSERT_TRUE(compile_source("paths", "include(ext_lib.kavo sub/slib)\n"));
    EXPECT_EQ(body_of("ext_f"), "nl");
    EXPECT_EQ(body_of("slib_f"), "sother_f");
    EXPECT_EQ(body_of("sother_f"), "nl");
}

TEST(Builder, DoBlocksAreNumberedAcrossIncludes) {
    // The only top-level do blocks compiled in this process, so they are the first three.
    ASSERT_EQ(atoms_find("do#1"), nullptr);
    write_source("do_inc.kavo", "do write(\"three\")\n");
    write_source("dos.kavo", "do nl\ndo { write(\"two\") nl }\ninclude(do_inc)\n");
    event_log log;
    ASSERT_TRUE(compile_here("dos"));
    EXPECT_EQ(body_of("do#1"), "nl");
    EXPECT_EQ(body_of("do#2"), "write(two) nl");
    EXPECT_EQ(body_of("do#3"), "write(three)");
    EXPECT_TRUE(function("do#3")->flag(AI_FUNCTION));
    EXPECT_EQ(last_init_calls(3), "do#1 do#2 do#3");
    // The generated name is announced before the definition begins.
    auto const& events = log.events;
    auto func = std::find(events.begin(), events.end(), std::make_pair(std::string("func"), std::string("do#1")));
    ASSERT_NE(func, events.end());
    ASSERT_NE(func, events.begin());
    EXPECT_EQ(*(func - 1), std::make_pair(std::string("atom"), std::string("do#1")));
}

TEST(Parser, TopLevelWordsAreOrdinaryCallsInsideBodies) {
    ASSERT_TRUE(compile_source("words", "pw1 { include(pw_missing) var(pw_v) new(pw_n 1) do }\n"));
    EXPECT_EQ(body_of("pw1"), "include(pw_missing) var(pw_v) new(pw_n 1) do");
}

TEST(Parser, NameEndingAtTheLastByteIsDropped) {
    ASSERT_TRUE(compile_source("dropped", "pd1 { nl } pd_dropped"));
    atom_s* dropped = atoms_find("pd_dropped");
    ASSERT_NE(dropped, nullptr);  // read and interned, but no definition
    EXPECT_FALSE(dropped->flag(AI_FUNCTION));
    EXPECT_EQ(dropped->body, nullptr);
    EXPECT_EQ(body_of("pd1"), "nl");
}

TEST(Parser, FileOfSeparatorsAndCommentsCompilesToNothing) {
    write_source("nothing.kavo", " \t,;\r\n% a comment\n# a ( block\n comment #\n");
    event_log log;
    ASSERT_TRUE(compile_here("nothing"));
    EXPECT_EQ(log.constructs(), texts{});
    EXPECT_EQ(ccs, nullptr);
}

TEST(Builder, GuardsOfTheEventInterface) {
    expect_outcome([] { engine_event("done", "x"); }, 1, "[ [ kavo ] error ] Unknown event\n",
                   "kavo: error: Unknown event\n");
    // A body may not begin while include or var is being declared.
    for (atom_s** statement : {&std_atom_var, &std_atom_include}) {
        std::string name = std::string((*statement)->data);
        expect_outcome(
            [&] {
                compile_scope_s scope;
                text_copy(scope.name, "events.kavo", 12);
                engine_event("atom", name.c_str());
                engine_event("func", name.c_str());
                engine_event("begin", "{");
            },
            1, compile_error_out(25, "events.kavo", 1), "events.kavo:1: error: Unexpected '{'\n");
    }
}
