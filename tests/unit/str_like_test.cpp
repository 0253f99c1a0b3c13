// Wildcard matching. str_like is iterative; the matcher below walks the two cursors and
// recurses at every star exactly as the matching rules are written, and the two must agree
// on every text and pattern that can be built from a few bytes.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "unit.h"

namespace {

int reference_like(char const* t, char const* p) {
    while (*t && *p) {
        if (*p == '?') {
            t++, p++;
        } else if (*p == '*') {
            p++;
            for (; *t; t++)
                if (reference_like(t, p)) return 1;
            break;  // t is at the end of the text; p just after the star
        } else if (*t != *p) {
            break;
        } else {
            t++, p++;
        }
    }
    return *t == 0 && (p[0] == 0 || (p[0] == '*' && p[1] == 0));
}

// Every text over `alphabet` of length 0 to `max_length`.
std::vector<std::string> all_texts(std::string const& alphabet, int max_length) {
    std::vector<std::string> out{""};
    size_t begin = 0;
    for (int len = 1; len <= max_length; len++) {
        size_t end = out.size();
        for (size_t i = begin; i < end; i++)
            for (char c : alphabet) out.push_back(out[i] + c);
        begin = end;
    }
    return out;
}

struct like_case {
    char const* text;
    char const* pattern;
    int expected;
};

TEST(StrLike, DocumentedCases) {
    like_case const cases[] = {
        {"abc", "a?c", 1},  {"abc", "*", 1},    {"abc", "a*", 1},    {"abc", "*c", 1},
        {"abc", "a*c", 1},  {"abc", "abc*", 1}, {"abc", "**", 1},    {"abc", "abc", 1},
        {"abc", "ab", 0},   {"abc", "abcd", 0}, {"abc", "a?", 0},    {"abc", "?abc", 0},
        {"", "", 1},        {"", "*", 1},       {"", "**", 0},       {"", "?", 0},
        {"ab", "ab*", 1},   {"ab", "ab**", 0},  {"a?c", "a?c", 1},   {"abc", "ABC", 0},
        {"a*c", "a\\*c", 0}, {"abc", "a**c", 1}, {"abc", "*b*", 1},  {"abc", "*?*?*?", 1},
        {"ab", "*?*?*?", 0}, {"abc", "*a", 0},  {"abc", "?*?", 1},   {"a", "**", 1},
        {"a", "*a**", 0},   {"\xE9t\xE9", "?t?", 1},
    };
    for (auto const& c : cases) {
        EXPECT_EQ(str_like(c.text, c.pattern), c.expected)
            << "text \"" << c.text << "\" pattern \"" << c.pattern << "\"";
        EXPECT_EQ(reference_like(c.text, c.pattern), c.expected)
            << "reference, text \"" << c.text << "\" pattern \"" << c.pattern << "\"";
    }
}

TEST(StrLike, AgreesWithTheRecursiveRulesOnEverySmallText) {
    // Texts and patterns over the same four bytes: wildcards in a text are ordinary bytes.
    std::vector<std::string> texts = all_texts("ab?*", 5);
    std::vector<std::string> patterns = all_texts("ab?*", 5);
    long compared = 0, matched = 0, disagreements = 0;
    for (auto const& p : patterns)
        for (auto const& t : texts) {
            int want = reference_like(t.c_str(), p.c_str());
            int got = str_like(t.c_str(), p.c_str());
            compared++;
            matched += want;
            if (got != want && ++disagreements <= 20)
                ADD_FAILURE() << "text \"" << t << "\" pattern \"" << p << "\": str_like " << got
                              << ", expected " << want;
        }
    EXPECT_EQ(disagreements, 0);
    EXPECT_EQ(compared, 1365L * 1365L);
    EXPECT_GT(matched, 0);
    EXPECT_LT(matched, compared);
}

TEST(StrLike, AgreesOnLongerStarHeavyPatterns) {
    // Longer texts over two letters against patterns of up to seven places, a third of them
    // stars: the backtracking paths that short patterns cannot reach.
    std::vector<std::string> texts = all_texts("ab", 8);
    std::vector<std::string> patterns = all_texts("a*?", 7);
    long disagreements = 0;
    for (auto const& p : patterns)
        for (size_t i = 0; i < texts.size(); i += 7) {
            std::string const& t = texts[i];
            int want = reference_like(t.c_str(), p.c_str());
            int got = str_like(t.c_str(), p.c_str());
            if (got != want && ++disagreements <= 20)
                ADD_FAILURE() << "text \"" << t << "\" pattern \"" << p << "\": str_like " << got
                              << ", expected " << want;
        }
    EXPECT_EQ(disagreements, 0);
}

}  // namespace
