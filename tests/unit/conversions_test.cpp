// Number conversions, the random generator, the shared message formatter and the table of
// error templates.
#include <climits>
#include <string>

#include "gtest/gtest.h"
#include "host/host.h"
#include "messages/messages.h"
#include "unit.h"

namespace {

TEST(Conversions, TextToIntegerForms) {
    struct {
        char const* text;
        int value;
    } const cases[] = {
        {"  42", 42},      {"+7", 7},          {"-0x1F", -31},      {"0x", 0},
        {"017", 15},       {"09", 0},          {"12abc", 12},       {"", 0},
        {"- 5", 0},        {"4294967297", 1},  {"0X1f", 31},        {"0xaBcD", 0xABCD},
        {"-12", -12},      {"0", 0},           {"-0", 0},           {"+-3", 0},
        {"--3", 0},        {"\t\n\r 8", 8},    {"\x01\x1F" "5", 5}, {"\x80" "5", 0},
        {"\xA0" "5", 0},   {"2147483648", INT_MIN}, {"-2147483648", INT_MIN},
        {"0x7fffffff", INT_MAX}, {"0xFFFFFFFF", -1}, {"0777", 511}, {"0x1g", 1},
        {"abc", 0},        {"1 2", 1},
    };
    for (auto const& c : cases) EXPECT_EQ(s2i(c.text), c.value) << "text \"" << c.text << "\"";
}

TEST(Conversions, IntegerToText) {
    char buffer[16];
    EXPECT_STREQ(i2s(INT_MIN, buffer), "-2147483648");
    EXPECT_EQ(i2s(INT_MIN, buffer), buffer);
    EXPECT_STREQ(i2s(INT_MAX, buffer), "2147483647");
    EXPECT_STREQ(i2s(0, buffer), "0");
    EXPECT_STREQ(i2s(-1, buffer), "-1");
    EXPECT_STREQ(i2s(1000, buffer), "1000");

    // Twelve bytes are enough for every value; the thirteenth is never written.
    char guarded[13];
    guarded[12] = '#';
    i2s(INT_MIN, guarded);
    EXPECT_EQ(guarded[11], 0);
    EXPECT_EQ(guarded[12], '#');

    // Round trip through both directions.
    for (int v : {INT_MIN, INT_MIN + 1, -65536, -10, -9, 9, 10, 99, 100, 65535, INT_MAX})
        EXPECT_EQ(s2i(i2s(v, buffer)), v) << v;
}

TEST(Conversions, RandomSequenceFromZero) {
    u32 saved = rnd_seed;
    rnd_seed = 0;
    EXPECT_EQ(rnd(), 1);
    EXPECT_EQ(rnd(), 20022);
    EXPECT_EQ(rnd(), 400860463);
    EXPECT_EQ(rnd(), -1666546500);
    EXPECT_EQ(rnd_seed, 2628420796u);
    rnd_seed = saved;
}

TEST(Formatter, FillsStringsIntegersAndPercent) {
    char out[64];
    EXPECT_EQ(text_format(out, sizeof out, "%s %i %% %02i", "ab", -5, 7), 10);
    EXPECT_STREQ(out, "ab -5 % 07");
    text_format(out, sizeof out, "[%02i|%02i|%02i]", 123, -5, 0);
    EXPECT_STREQ(out, "[123|-5|00]");
    text_format(out, sizeof out, "%i/%i", INT_MIN, INT_MAX);
    EXPECT_STREQ(out, "-2147483648/2147483647");
    text_format(out, sizeof out, "no placeholders");
    EXPECT_STREQ(out, "no placeholders");
    text_format(out, sizeof out, "%s|%s", "", "x");
    EXPECT_STREQ(out, "|x");
    text_format(out, sizeof out, "100%%");
    EXPECT_STREQ(out, "100%");
}

TEST(Formatter, CutsToFitAndNeverOverflows) {
    char out[32];
    for (int size = 1; size <= 12; size++) {
        for (char& c : out) c = '#';
        int n = text_format(out, size, "%s=%i", "abcdef", 12345);  // "abcdef=12345", 12 bytes
        std::string full = "abcdef=12345";
        int kept = size - 1 < (int)full.size() ? size - 1 : (int)full.size();
        EXPECT_EQ(n, kept) << "size " << size;
        EXPECT_EQ(std::string(out), full.substr(0, kept)) << "size " << size;
        for (int i = size; i < (int)sizeof out; i++)
            ASSERT_EQ(out[i], '#') << "byte " << i << " written with size " << size;
    }
    // A size of zero writes nothing at all.
    out[0] = '#';
    EXPECT_EQ(text_format(out, 0, "%s", "abc"), 0);
    EXPECT_EQ(out[0], '#');

    // A long argument is cut, the rest of the buffer keeps its NUL at the limit.
    std::string huge(5000, 'z');
    char message[MESSAGE_MAX + 8];
    for (char& c : message) c = '#';
    int n = text_format(message, MESSAGE_MAX, "Variable <%s> already exists", huge.c_str());
    EXPECT_EQ(n, MESSAGE_MAX - 1);
    EXPECT_EQ(std::string(message), "Variable <" + std::string(MESSAGE_MAX - 11, 'z'));
    for (int i = MESSAGE_MAX; i < MESSAGE_MAX + 8; i++) ASSERT_EQ(message[i], '#');
}

TEST(ErrorTable, EveryTemplateIsPresent) {
    char const* const expected[27] = {
        "Name <%s> is already reserved for a function",
        "Function <%s> requires %s argument(s)",
        "Function <%s> already defined",
        "You cannot define function <%s> with no body",
        "Cannot allocate memory [ %i byte(s) ]",
        "Too many nested brackets",
        "'{' expected",
        "'}' expected",
        "You cannot call variable <%s> as function",
        "You cannot call <%s>, it is not a function",
        "There is no main function in your program",
        "Could not open or create file \"%s\"",
        "Could not read a character from file",
        "Could not write to file",
        "Wrong file signature (it is possibly not compiled KAVO file)",
        "First argument to <%s> must be a variable",
        "All arguments to <%s> must be variables",
        "'%s' expected",
        "Too many nested 'with' functions.",
        "Unexpected end of file",
        "Object <%s> does not exist",
        "Object property <%s> does not exist",
        "There is no such variable <%s> at this point of program",
        "Variable <%s> already exists",
        "Unexpected '%s'",
        "Function <%s> requires at least %i argument(s)",
        "The program uses external function <%s> but it is not loaded. Use corresponding DLL "
        "library.",
    };
    for (int code = 1; code <= 27; code++) {
        ASSERT_NE(error_template(code), nullptr) << code;
        EXPECT_STREQ(error_template(code), expected[code - 1]) << "code " << code;
        EXPECT_LT(std::string(error_template(code)).size(), 128u) << "fits the template buffer";
    }
}

TEST(ErrorTable, TemplatesFillAsUsersSeeThem) {
    char out[MESSAGE_MAX];
    text_format(out, sizeof out, error_template(5), 100);
    EXPECT_STREQ(out, "Cannot allocate memory [ 100 byte(s) ]");
    text_format(out, sizeof out, error_template(2), "middle", "3");
    EXPECT_STREQ(out, "Function <middle> requires 3 argument(s)");
    text_format(out, sizeof out, error_template(26), "f", 2);
    EXPECT_STREQ(out, "Function <f> requires at least 2 argument(s)");
    text_format(out, sizeof out, error_template(12), "missing.kavo");
    EXPECT_STREQ(out, "Could not open or create file \"missing.kavo\"");
}

}  // namespace
