// Console input word by word, never past the caller's buffer, and the source-file reader.
// Standard input comes from a file in a child process; the child reports what it read on
// standard output in the form "[length:text]".
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "gtest/gtest.h"
#include "host/host.h"
#include "unit.h"

namespace {

// Reads `calls` items with buffers of max + 1 bytes followed by guard bytes, and reports each
// item, or "overflow" when a guard byte was written.
std::string read_words(std::string const& input, int max, int calls) {
    child_result r = run_child(
        [max, calls] {
            std::string report;
            for (int i = 0; i < calls; i++) {
                std::string buffer(max + 1 + 32, '#');
                int n = console_read(&buffer[0], max);
                if (buffer.find_first_not_of('#', max + 1) != std::string::npos)
                    report += "overflow";
                std::string text(buffer.c_str());
                report += "[" + std::to_string(n) + ":" + text + "]";
                if ((int)text.size() != n) report += "(length mismatch)";
            }
            fwrite(report.data(), 1, report.size(), stdout);
        },
        input);
    EXPECT_EQ(r.exit_code, CHILD_RETURNED) << r.err;
    return r.out;
}

TEST(ConsoleRead, WordByWord) {
    EXPECT_EQ(read_words("  hello world", 1023, 3), "[5:hello][5:world][0:]");
    EXPECT_EQ(read_words("one\ttwo\r\n\n  three \n", 1023, 4), "[3:one][3:two][5:three][0:]");
    EXPECT_EQ(read_words("\n\n   \n", 1023, 2), "[0:][0:]") << "an empty line is never a word";
    EXPECT_EQ(read_words("", 1023, 2), "[0:][0:]");
    EXPECT_EQ(read_words("x", 1023, 2), "[1:x][0:]");
    EXPECT_EQ(read_words("caf\xE9 ok", 1023, 2), "[4:caf\xE9][2:ok]");
}

TEST(ConsoleRead, NeverWritesPastTheBuffer) {
    // Words of every length around the limit, for a few limits.
    for (int max : {1, 2, 3, 8, 1023}) {
        for (int extra : {-1, 0, 1, 2, 40}) {
            int length = max + extra;
            if (length < 1) continue;
            std::string word(length, 'w');
            std::string got = read_words(word + " end", max, 1);
            std::string first(length < max ? length : max, 'w');
            EXPECT_EQ(got, "[" + std::to_string(first.size()) + ":" + first + "]")
                << "max " << max << ", word of " << length;
        }
    }
    // A word far longer than the read built-in's buffer.
    std::string word(5000, 'L');
    std::string got = read_words(word + " next", 1023, 1);
    EXPECT_EQ(got, "[1023:" + std::string(1023, 'L') + "]");
}

TEST(ConsoleRead, TheWordAfterALongWordIsStillRead) {
    // Whether the rest of a cut word is dropped or read next is the reader's choice; the
    // following word must come through either way.
    std::string got = read_words(std::string(10, 'a') + " end", 4, 5);
    EXPECT_EQ(got.find("overflow"), std::string::npos);
    EXPECT_EQ(got.rfind("[4:aaaa]", 0), 0u) << got;
    EXPECT_NE(got.find("[3:end]"), std::string::npos) << got;
}

TEST(ConsoleRead, ZeroLimitStoresOnlyTheTerminator) {
    // A buffer of max + 1 = 1 byte has room for the terminator alone.
    std::string got = read_words("abc", 0, 1);
    EXPECT_EQ(got, "[0:]");
}

TEST(ConsoleRead, CharactersOneByOne) {
    child_result r = run_child(
        [] {
            for (int i = 0; i < 5; i++) console_printf("%i ", console_read_char());
        },
        "a\n\xFF");
    EXPECT_EQ(r.exit_code, CHILD_RETURNED);
    EXPECT_EQ(r.out, "97 10 255 -1 -1 ");
}

class SourceFiles : public ::testing::Test {
   protected:
    std::string path(char const* name) { return dir + "/" + name; }
    void SetUp() override {
        char tmpl[] = "/tmp/kavo-files-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override {
        for (char const* name : {"empty.kavo", "bytes.kavo"}) unlink(path(name).c_str());
        rmdir(dir.c_str());
    }
    void write(char const* name, std::string const& content) {
        FILE* f = fopen(path(name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(content.data(), 1, content.size(), f);
        fclose(f);
    }
    std::string dir;
};

TEST_F(SourceFiles, EveryByteComesBackAsZeroTo255) {
    std::string content("a\r\n\0\xFF\x80z", 7);
    write("bytes.kavo", content);
    file_handle f = file_io_open(path("bytes.kavo").c_str(), 'r');
    for (unsigned char c : content) EXPECT_EQ(file_io_get_char(f), (int)c);
    EXPECT_EQ(file_io_get_char(f), -1);
    EXPECT_EQ(file_io_get_char(f), -1);
    file_io_close(f);
}

TEST_F(SourceFiles, EmptyFileEndsAtOnce) {
    write("empty.kavo", "");
    file_handle f = file_io_open(path("empty.kavo").c_str(), 'r');
    EXPECT_EQ(file_io_get_char(f), -1);
    file_io_close(f);
}

TEST_F(SourceFiles, MissingFileIsError12) {
    std::string missing = path("missing.kavo");
    child_result r = run_child([&missing] { file_io_open(missing.c_str(), 'r'); });
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "[ [ kavo ] error ] Error Code: 12\n");
    EXPECT_EQ(r.err, "kavo: error: Could not open or create file \"" + missing + "\"\n");
}

}  // namespace
