// The after-compile checks: what they accept, and that each variable rule applies exactly at
// the argument count it names. The failures users see, each in its own program, are in the
// golden cases of tests/golden/compile.
#include "compiler_fixture.h"

namespace {

int program_number;

// Compiles `body` as the body of a fresh function in a child; expects the checks to end it
// with error `code` and `message`.
void expect_check_error(std::string const& body, int code, std::string const& message) {
    std::string name = "checked" + std::to_string(++program_number);
    write_source(name + ".kavo", name + "_f { " + body + " }\n");
    SCOPED_TRACE(body);
    expect_outcome([&] { engine_compile(name.c_str()); }, 1,
                   "[ [ kavo ] error ] Error Code: " + std::to_string(code) + "\n",
                   "kavo: error: " + message + "\n");
}

void expect_accepted(std::string const& body) {
    std::string name = "accepted" + std::to_string(++program_number);
    SCOPED_TRACE(body);
    EXPECT_TRUE(compile_source(name, name + "_f { " + body + " }\n"));
}

}  // namespace

TEST(AfterCompile, AcceptedCallsCompile) {
    for (char const* body : {
             "write(nl) writenl writeln g_var null with o a",  // no rule, or a bare built-in
             "left(s 2) left(r s 2) right(s 2) like(s p) at(s 1) at(r s 1)",
             "reverse(f(x) s) reverse(s) concat(a b c d) eq(a b) eqi(a b c)",
             "null(a b) var(a) var(a b c) get_time get_time(a b c d e f g)",
             "set(\"text\" 1) set(x f(y)) append(x f(y) g(z))",
             "read read(x) readchar readchar(x) not(a) not(d a) middle(s 1 2) middle(d s 1 2)",
             "if c a if c a else b if eq(a b) { nl } else { nl nl }",
             "return return(x) eol kavo.version(v) kavo.number_of_atoms kavo.about",
             "rnd(x) rnd(x 5) sleep(1) get_tag(a) set_tag(a 1) spy(f) trace notrace",
             "shell(c) call(f) call(f a b) eval(\"1+2\") include(lib) new(a 1) g_new(a 1)",
             "assert(a b) and(a b) or(a b c) head(s) tail(s) last(s) length(s) length(d s)",
         })
        expect_accepted(body);
}

TEST(AfterCompile, LeadingDotIsTakenOffNamesThatExist) {
    // Without arguments any dotted name passes; with arguments the name must exist, as any
    // atom, and the call is then checked under that name.
    expect_accepted(".ac_nowhere .nl write(ac_literal) .ac_literal(1) .set(v 1) .left(d s 2)");
    expect_check_error(".ac_missing(1)", 10, "You cannot call <ac_missing>, it is not a function");
    expect_check_error(".left(f(x) s 2)", 16, "First argument to <left> must be a variable");
    expect_check_error(".var(a f(x))", 17, "All arguments to <var> must be variables");
    expect_check_error(".nl(1)", 2, "Function <nl> requires 0 argument(s)");
}

TEST(AfterCompile, FirstArgumentRulesApplyOnlyAtTheirCount) {
    struct rule {
        char const* fails;   // the first argument computed, at the count of the rule
        char const* passes;  // the same, at another accepted count
    };
    rule const rules[] = {
        {"set(f(x) 1)", nullptr},
        {"append(f(x) a b)", nullptr},
        {"append(f(x) a b c)", nullptr},
        {"read(f(x))", nullptr},
        {"readchar(f(x))", nullptr},
        {"left(f(x) s 2)", "left(f(x) 2)"},
        {"right(f(x) s 2)", "right(f(x) 2)"},
        {"like(f(x) s p)", "like(f(x) p)"},
        {"not(f(x) a)", "not(f(x))"},
        {"length(f(x) s)", "length(f(x))"},
        {"head(f(x) s)", "head(f(x))"},
        {"tail(f(x) s)", "tail(f(x))"},
        {"last(f(x) s)", "last(f(x))"},
        {"middle(f(x) s 1 2)", "middle(f(x) 1 2)"},
    };
    for (auto const& r : rules) {
        std::string fails = r.fails;
        std::string name = fails.substr(0, fails.find('('));
        expect_check_error(fails, 16, "First argument to <" + name + "> must be a variable");
        if (r.passes) expect_accepted(r.passes);
    }
    // Only the first argument is bound to be a name.
    expect_accepted("set(x f(y)) left(x f(s) g(2)) middle(x f(s) 1 g(2)) not(x f(y))");
    // A literal is an atom without a list, so it passes as a variable.
    expect_accepted("set(\"text\" 1) left('x' s 2)");
}

TEST(AfterCompile, AllArgumentRulesStopAtTheFirstComputedArgument) {
    for (char const* name : {"var", "g_var", "null"}) {
        std::string n = name;
        expect_check_error(n + "(f(x))", 17, "All arguments to <" + n + "> must be variables");
        expect_check_error(n + "(a b f(x) c)", 17, "All arguments to <" + n + "> must be variables");
        expect_accepted(n + "(a b c)");
    }
    expect_check_error("get_time(a b c d e f g(x))", 17, "All arguments to <get_time> must be variables");
    // The computed argument's own faults come after the call's rule.
    expect_check_error("null(a nl(1))", 17, "All arguments to <null> must be variables");
}

TEST(AfterCompile, ParametersMayNotNameFunctions) {
    std::string name = "params" + std::to_string(++program_number);
    write_source(name + ".kavo", "pp_f(a kavo.initialize) { nl }\n");
    expect_outcome([&] { engine_compile(name.c_str()); }, 1, "[ [ kavo ] error ] Error Code: 1\n",
                   "kavo: error: Name <kavo.initialize> is already reserved for a function\n");
    // A parameter named like an atom that is not a function is fine.
    ASSERT_TRUE(compile_source("params_ok", "pp_ok(pp_ok_literal main_arg) { write(pp_ok_literal) }\n"));
}

TEST(AfterCompile, ChecksChangeNothing) {
    ASSERT_TRUE(compile_source("unchanged", "pu_f(a) { if eq(a 1) { set(a 2) } .nl write(.x) }\n"));
    atom_s* f = atoms_find("pu_f");
    ASSERT_NE(f, nullptr);
    std::string before = show_params(f) + " | " + show_calls(f->body);
    int atoms = atoms_count();
    after_compile_work();
    after_compile_check_body(f->body);
    EXPECT_EQ(show_params(f) + " | " + show_calls(f->body), before);
    EXPECT_EQ(before, "a | if(eq(a 1) {set(a 2)}) .nl write(.x)");
    EXPECT_EQ(atoms_count(), atoms);
}
