// Fatal errors on Linux: the terse line on standard output, the filled-in message on standard
// error, exit code 1; a false condition does nothing; messages are cut to their buffer; a
// failed allocation is error 5. Each case runs in a child process so that both streams and
// the exit code can be read exactly.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "gtest/gtest.h"
#include "core/lists.h"
#include "host/host.h"
#include "unit.h"

namespace {

std::string const ERROR_LINE = "[ [ kavo ] error ] ";

TEST(FatalError, RunTimeErrorLines) {
    child_result r = run_child([] { Error(1, 23, "x"); });
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "[ [ kavo ] error ] Error Code: 23\n");
    EXPECT_EQ(r.err, "kavo: error: There is no such variable <x> at this point of program\n");

    r = run_child([] { Error(1, 2, "middle", "3"); });
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, ERROR_LINE + "Error Code: 2\n");
    EXPECT_EQ(r.err, "kavo: error: Function <middle> requires 3 argument(s)\n");

    r = run_child([] { Error(1, 26, "f", 4); });
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, ERROR_LINE + "Error Code: 26\n");
    EXPECT_EQ(r.err, "kavo: error: Function <f> requires at least 4 argument(s)\n");

    r = run_child([] { Error(7 > 3, 20); });  // any non-zero condition is a failure
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, ERROR_LINE + "Error Code: 20\n");
    EXPECT_EQ(r.err, "kavo: error: Unexpected end of file\n");
}

TEST(FatalError, TextFormReportsTheTextItself) {
    child_result r = run_child([] { Error(1, "something broke"); });
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, ERROR_LINE + "something broke\n");
    EXPECT_EQ(r.err, "kavo: error: something broke\n");
}

TEST(FatalError, FalseConditionDoesNothing) {
    child_result r = run_child([] {
        for (int code = 1; code <= 27; code++) Error(0, code, "x", "y");
        Error(0, 5, 100);
        Error(0, "text");
        console_write_str("still here", 10);
    });
    EXPECT_EQ(r.exit_code, CHILD_RETURNED);
    EXPECT_EQ(r.out, "still here");
    EXPECT_EQ(r.err, "");
}

TEST(FatalError, OutputWrittenBeforeTheErrorComesFirst) {
    child_result r = run_child([] {
        console_write_str("partial", 7);
        console_printf("%s-%i", "line", 2);
        Error(1, 24, "v");
    });
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "partialline-2" + ERROR_LINE + "Error Code: 24\n");
    EXPECT_EQ(r.err, "kavo: error: Variable <v> already exists\n");
}

TEST(FatalError, OverLongArgumentIsCutToTheMessageBuffer) {
    static std::string const name(3000, 'n');
    child_result r = run_child([] { Error(1, 24, name.c_str()); });
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.out, ERROR_LINE + "Error Code: 24\n");
    // The filled-in message keeps its first 255 characters.
    EXPECT_EQ(r.err, "kavo: error: Variable <" + std::string(255 - 10, 'n') + "\n");

    static std::string const text(3000, 't');
    r = run_child([] { Error(1, text.c_str()); });
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.out, ERROR_LINE + std::string(255, 't') + "\n");
    EXPECT_EQ(r.err, "kavo: error: " + std::string(255, 't') + "\n");
}

void compile_time_error(char const* file, int line, int code, ...) {
    va_list ap;
    va_start(ap, code);
    host_fatal_code(code, file, line, ap);
}

TEST(FatalError, CompileTimeFormAddsFileAndLine) {
    child_result r = run_child([] { compile_time_error("main.kavo", 3, 18, "("); });
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, ERROR_LINE + "Error Code: 18\nFile: main.kavo\nLine: 3\n");
    EXPECT_EQ(r.err, "main.kavo:3: error: '(' expected\n");
}

// A string as if it were `length` bytes long and full, over a buffer of a few bytes.
str_s fake_long(int length) {
    str_s s;
    s.init("ab");
    s.length = s.capacity = length;
    return s;
}

// Two values of 2^30 bytes each: together one byte past the longest text.
list_s* fake_values() {
    static atom_s half;
    half.init("x");
    half.length = half.capacity = 1 << 30;
    static list_s second = {&half, {nullptr}, nullptr};
    static list_s first = {&half, {nullptr}, &second};
    return &first;
}

// The size reaches the allocator through a volatile, so the call cannot be folded away.
volatile size_t impossible_size = SIZE_MAX / 2;

TEST(FatalError, AllocationFailureIsError5) {
    for (int array = 0; array < 2; array++) {
        child_result r = run_child([array] {
            void* volatile p =
                array ? ::operator new[](impossible_size) : ::operator new(impossible_size);
            console_printf("allocated %p\n", p);
        });
        EXPECT_EQ(r.exit_code, 1) << (array ? "new[]" : "new");
        EXPECT_EQ(r.out, ERROR_LINE + "Error Code: 5\n");
        // A sanitizer build may warn on standard error first; the report is the last line.
        size_t line = r.err.rfind("kavo: error: ");
        ASSERT_NE(line, std::string::npos) << r.err;
        EXPECT_EQ(r.err.substr(line), "kavo: error: Cannot allocate memory [ 2147483647 byte(s) ]\n");
    }
}

// Every way a text grows stops with error 5 before it allocates or copies once the text would
// pass STR_MAX bytes; the sizes are faked, so no case needs gigabytes. The message shows the
// largest int, since the buffer asked for does not fit one.
TEST(FatalError, GrowingATextPastTheLongestIsError5) {
    static std::function<void()> const growers[] = {
        [] { fake_long(STR_MAX - 5).concat("0123456789"); },
        [] {
            str_s other = fake_long(6);
            fake_long(STR_MAX - 5).concat(&other);
        },
        [] { fake_long(STR_MAX).append('x'); },
        [] { fake_long(0).reserve(STR_MAX + 1LL); },
        [] { kavo_concat(fake_values(), nullptr); },
        [] { kavo_eval(fake_values(), nullptr); },
    };
    for (auto& grow : growers) {
        child_result r = run_child(grow);
        EXPECT_EQ(r.exit_code, 1) << &grow - growers;
        EXPECT_EQ(r.out, ERROR_LINE + "Error Code: 5\n");
        EXPECT_EQ(r.err, "kavo: error: Cannot allocate memory [ 2147483647 byte(s) ]\n");
    }
}

}  // namespace
