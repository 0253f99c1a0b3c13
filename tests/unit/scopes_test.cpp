// Scopes: the search stops at the nearest boundary and then looks in the global scope only;
// inner bindings hide outer ones; block scopes end with their variables; done() pops without
// touching the value atoms; a duplicate is error 24 and an invisible name error 23.
//
// Every test pushes its scopes onto a scope pointer of its own that starts at the global
// scope, as the runner does with current_scope, and pops them before it ends.
#include <unistd.h>

#include <string>

#include "core/scopes.h"
#include "gtest/gtest.h"
#include "unit.h"

namespace {

class Scopes : public ::testing::Test {
   protected:
    void SetUp() override { ensure_std_atoms(); }
    static atom_s* fresh(char const* stem) { return atoms_add(fresh_text(stem).c_str()); }
    scope_s* cur = &global_scope;
};

TEST_F(Scopes, PushingAndDoneRestoreTheScopePointer) {
    scope_s top(&cur, std_atom_null, 1);
    EXPECT_EQ(cur, &top);
    EXPECT_EQ(top.prev, &global_scope);
    EXPECT_EQ(top.link, &cur);
    {
        atom_s* object = fresh("object");
        scope_s with(&cur, object, 0);
        EXPECT_EQ(cur, &with);
        EXPECT_EQ(cur->name, object);
        EXPECT_EQ(with.boundary, 0);
        with.done();
    }
    EXPECT_EQ(cur, &top);
    top.done();
    EXPECT_EQ(cur, &global_scope);
}

TEST_F(Scopes, DoneOnAScopeThatWasNeverPushedDisturbsNothing) {
    scope_s* before = current_scope;
    scope_s loose;
    EXPECT_EQ(loose.vars, nullptr);
    EXPECT_EQ(loose.boundary, 0);
    EXPECT_EQ(loose.prev, nullptr);
    atom_s* name = fresh("loose");
    loose.new_var(name, std_atom_true);
    loose.done();
    EXPECT_EQ(current_scope, before);
    EXPECT_EQ(cur, &global_scope);
    EXPECT_EQ(global_scope.get_var(name), nullptr);
}

TEST_F(Scopes, NewVarBindsNewestFirstInThisScopeOnly) {
    scope_s top(&cur, std_atom_null, 1);
    atom_s *a = fresh("a"), *b = fresh("b"), *value = fresh("value");
    EXPECT_EQ(top.new_var(a, value), value);
    top.new_var(b, std_atom_null);
    ASSERT_NE(top.vars, nullptr);
    EXPECT_EQ(top.vars->atom, b);
    EXPECT_EQ(top.vars->next->atom, a);
    EXPECT_EQ(var_slot(top.get_var(a)), value);
    EXPECT_EQ(*top.var_value(b), std_atom_null);

    scope_s block(&cur, std_atom_null, 0);
    EXPECT_EQ(block.get_var(a), nullptr) << "get_var looks in its own scope only";
    EXPECT_EQ(block.find_var(a), top.get_var(a));
    block.done();
    top.done();
}

TEST_F(Scopes, BoundaryHidesTheCallerButNotTheGlobals) {
    atom_s *local = fresh("local"), *global = fresh("global"), *both = fresh("both");
    atom_s *v1 = fresh("v1"), *v2 = fresh("v2"), *v3 = fresh("v3");
    global_scope.new_var(global, v1);
    global_scope.new_var(both, v2);

    scope_s top(&cur, std_atom_null, 1);
    top.new_var(local, v3);
    top.new_var(both, v3);
    EXPECT_EQ(*cur->var_value(local), v3);
    EXPECT_EQ(*cur->var_value(both), v3) << "a local hides a global of the same name";

    scope_s callee(&cur, std_atom_null, 1);
    EXPECT_EQ(cur->find_var(local), nullptr) << "the caller's variables are out of sight";
    EXPECT_EQ(*cur->var_value(global), v1);
    EXPECT_EQ(*cur->var_value(both), v2) << "past the boundary only the globals are seen";

    // Two non-boundary blocks inside the callee still see through to its globals.
    scope_s block(&cur, std_atom_null, 0);
    scope_s nested(&cur, std_atom_null, 0);
    EXPECT_EQ(cur->find_var(local), nullptr);
    EXPECT_EQ(*cur->var_value(global), v1);
    nested.done();
    block.done();
    callee.done();

    EXPECT_EQ(*cur->var_value(local), v3);
    top.done();

    // A search started at the global scope covers the global scope only.
    EXPECT_EQ(global_scope.find_var(local), nullptr);
    EXPECT_EQ(var_slot(global_scope.find_var(global)), v1);
}

TEST_F(Scopes, InnerBindingsShadowForReadingAndAssignment) {
    atom_s *x = fresh("x"), *outer_value = fresh("outer"), *inner_value = fresh("inner");
    atom_s* assigned = fresh("assigned");
    scope_s top(&cur, std_atom_null, 1);
    top.new_var(x, outer_value);
    {
        scope_s block(&cur, std_atom_null, 0);
        block.new_var(x, inner_value);  // the same name in another scope is allowed
        EXPECT_EQ(*cur->var_value(x), inner_value);
        *cur->var_value(x) = assigned;
        EXPECT_EQ(var_slot(top.get_var(x)), outer_value) << "the outer binding is untouched";
        block.done();
    }
    EXPECT_EQ(*cur->var_value(x), outer_value) << "popping the inner binding uncovers the outer";
    *cur->var_value(x) = assigned;
    EXPECT_EQ(var_slot(top.get_var(x)), assigned);
    top.done();
}

TEST_F(Scopes, BlockVariablesEndWithTheBlockAndTheirValuesSurvive) {
    std::string value_text = fresh_text("kept");
    atom_s *x = fresh("blockvar"), *value = atoms_add(value_text.c_str());
    scope_s top(&cur, std_atom_null, 1);
    {
        scope_s block(&cur, std_atom_null, 0);
        block.new_var(x, value);
        EXPECT_NE(cur->find_var(x), nullptr);
        block.done();
    }
    EXPECT_EQ(cur->find_var(x), nullptr);
    EXPECT_EQ(atoms_find(value_text.c_str()), value) << "done() never frees a value atom";
    EXPECT_STREQ(value->data, value_text.c_str());

    // The same name can be bound again, here and in a new block.
    top.new_var(x, std_atom_true);
    EXPECT_EQ(*cur->var_value(x), std_atom_true);
    top.done();
    EXPECT_EQ(cur->find_var(x), nullptr);
}

TEST_F(Scopes, VariableThatIsOnlyGlobalCanBeHiddenByALocal) {
    atom_s* name = fresh("g_then_var");
    global_scope.new_var(name, std_atom_true);
    scope_s top(&cur, std_atom_null, 1);
    top.new_var(name, std_atom_null);
    EXPECT_EQ(*cur->var_value(name), std_atom_null);
    top.done();
    EXPECT_EQ(*cur->var_value(name), std_atom_true);
}

using ScopesDeathTest = Scopes;

// Death tests see standard error only: the statement sends standard output there too, so
// that the pattern covers both lines of the report, in order.
#define EXPECT_FATAL(statement, code, message)                                              \
    EXPECT_EXIT(                                                                            \
        {                                                                                   \
            dup2(2, 1);                                                                     \
            statement;                                                                      \
        },                                                                                  \
        ::testing::ExitedWithCode(1),                                                       \
        "^\\[ \\[ kavo \\] error \\] Error Code: " #code "\nkavo: error: " + (message) + "\n$")

TEST_F(ScopesDeathTest, DuplicateInOneScopeIsError24) {
    atom_s* x = fresh("dup");
    scope_s top(&cur, std_atom_null, 1);
    top.new_var(x, std_atom_true);
    EXPECT_FATAL(top.new_var(x, std_atom_null), 24,
                 "Variable <" + std::string(x->data) + "> already exists");

    atom_s* g = fresh("gdup");
    global_scope.new_var(g, std_atom_true);
    EXPECT_FATAL(global_scope.new_var(g, std_atom_true), 24,
                 "Variable <" + std::string(g->data) + "> already exists");
    top.done();
}

TEST_F(ScopesDeathTest, InvisibleVariableIsError23) {
    atom_s *x = fresh("hidden"), *never = fresh("never");
    scope_s top(&cur, std_atom_null, 1);
    top.new_var(x, std_atom_true);
    scope_s callee(&cur, std_atom_null, 1);
    auto message = [](atom_s* a) {
        return "There is no such variable <" + std::string(a->data) +
               "> at this point of program";
    };
    EXPECT_FATAL(*cur->var_value(x) = std_atom_null, 23, message(x));
    EXPECT_FATAL(cur->var_value(never), 23, message(never));
    callee.done();

    {
        scope_s block(&cur, std_atom_null, 0);
        atom_s* temp = fresh("temp");
        block.new_var(temp, std_atom_true);
        block.done();
        EXPECT_FATAL(cur->var_value(temp), 23, message(temp));
    }
    top.done();
}

}  // namespace
