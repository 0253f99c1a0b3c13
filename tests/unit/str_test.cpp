// str_s: growth, cutting, reading, comparisons, and the free text functions beside the record.
#include <climits>
#include <string>

#include "gtest/gtest.h"
#include "unit.h"

namespace {

// The invariants every operation must leave behind.
void expect_sound(str_s& s) {
    ASSERT_NE(s.data, nullptr);
    EXPECT_EQ(s.data[s.length], 0);
    EXPECT_GE(s.length, 0);
    EXPECT_LE(s.length, s.capacity);
    EXPECT_EQ(s.length, (int)std::string(s.data).size());
}

TEST(StrGrowth, InitMakesAnEmptyString) {
    str_s s;
    s.init();
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.capacity, 0);
    EXPECT_STREQ(s.data, "");
    expect_sound(s);
    s.free();
}

TEST(StrGrowth, AppendGrowsBySixteenSpareBytes) {
    str_s s;
    s.init();
    s.append('a');
    EXPECT_EQ(s.length, 1);
    EXPECT_EQ(s.capacity, 17);
    char* buffer = s.data;
    for (int i = 2; i <= 17; i++) {
        s.append('a');
        EXPECT_EQ(s.capacity, 17) << "after " << i << " bytes";
        EXPECT_EQ(s.data, buffer) << "the buffer is reused up to its capacity";
    }
    s.append('b');  // the eighteenth byte
    EXPECT_EQ(s.length, 18);
    EXPECT_EQ(s.capacity, 34);
    EXPECT_EQ(std::string(s.data), std::string(17, 'a') + "b");
    expect_sound(s);
    s.free();
}

// Past 4 KiB a text built byte by byte also grows by half its length, so a long quoted atom
// is not copied once every 17 bytes.
TEST(StrGrowth, LongTextsBuiltByteByByteReallocateRarely) {
    str_s s;
    s.init();
    int reallocations = 0;
    for (int i = 0; i < 1000000; i++) {
        int before = s.capacity;
        s.append((char)('a' + i % 26));
        if (s.capacity != before) reallocations++;
    }
    EXPECT_EQ(s.length, 1000000);
    EXPECT_LT(reallocations, 300 + 60);  // 4096 / 17 small steps, then a few dozen large ones
    EXPECT_EQ(s.data[999999], (char)('a' + 999999 % 26));
    expect_sound(s);
    s.free();
}

TEST(StrGrowth, CopyGrowsExactlyAndNeverShrinks) {
    str_s s;
    s.init("abcdef");
    EXPECT_EQ(s.capacity, 6);
    s.copy("xy");
    EXPECT_STREQ(s.data, "xy");
    EXPECT_EQ(s.capacity, 6);
    expect_sound(s);
    s.copy("0123456789");
    EXPECT_EQ(s.capacity, 10);
    expect_sound(s);

    str_s other;
    other.init("hello");
    s.copy(&other);
    EXPECT_STREQ(s.data, "hello");
    EXPECT_EQ(s.capacity, 10);
    EXPECT_NE(s.data, other.data) << "copy(str_s*) copies the bytes, it does not share them";
    expect_sound(s);
    other.free();
    s.free();
}

TEST(StrGrowth, ConcatGrowsToTheExactLength) {
    str_s s;
    s.init("a");
    s.concat("bc");
    EXPECT_STREQ(s.data, "abc");
    EXPECT_EQ(s.capacity, 3);
    expect_sound(s);

    // A text that fits reuses the buffer.
    char* buffer = s.data;
    s.empty();
    EXPECT_EQ(s.capacity, 3);
    s.concat("xy");
    EXPECT_EQ(s.data, buffer);
    EXPECT_EQ(s.capacity, 3);
    expect_sound(s);

    str_s tail;
    tail.init("\xE9z");
    s.concat(tail);
    EXPECT_STREQ(s.data, "xy\xE9z");
    EXPECT_EQ(s.capacity, 4);
    expect_sound(s);
    s.concat(&tail);
    EXPECT_EQ(s.length, 6);
    EXPECT_EQ(s.capacity, 6);
    expect_sound(s);
    tail.free();
    s.free();
}

TEST(StrGrowth, MoveTakesTheOtherBuffer) {
    str_s a, b;
    a.init("old");
    b.init("new text");
    char* buffer = b.data;
    a.move(&b);
    EXPECT_EQ(a.data, buffer);
    EXPECT_STREQ(a.data, "new text");
    EXPECT_EQ(a.length, 8);
    EXPECT_EQ(a.capacity, 8);
    a.free();
}

TEST(StrCut, LeftAndRight) {
    str_s s;
    s.init("abcd");
    s.left(2);
    EXPECT_STREQ(s.data, "ab");
    EXPECT_EQ(s.capacity, 4);
    expect_sound(s);

    s.copy("abcd");
    s.left(10);
    EXPECT_STREQ(s.data, "abcd");

    s.right(2);
    EXPECT_STREQ(s.data, "cd");
    expect_sound(s);

    s.copy("abcd");
    s.right(4);
    EXPECT_STREQ(s.data, "abcd");

    s.right(0);
    EXPECT_STREQ(s.data, "");
    expect_sound(s);

    s.copy("abcd");
    s.left(0);
    EXPECT_STREQ(s.data, "");
    expect_sound(s);
    s.free();
}

TEST(StrCut, Reverse) {
    str_s s;
    s.init("abc");
    s.reverse();
    EXPECT_STREQ(s.data, "cba");
    s.copy("abcd");
    s.reverse();
    EXPECT_STREQ(s.data, "dcba");
    expect_sound(s);
    s.empty();
    s.reverse();
    EXPECT_STREQ(s.data, "");
    expect_sound(s);
    s.free();

    char out[8];
    EXPECT_STREQ(str_reverse(out, "abc"), "cba");
    EXPECT_STREQ(str_reverse(out, ""), "");
}

TEST(StrReading, OutsideTheTextReadsZero) {
    str_s s;
    s.init("\xFF" "bc");
    EXPECT_EQ(s.at(0), -1);
    EXPECT_EQ(s.head(), -1);
    EXPECT_EQ(s.at(2), 'c');
    EXPECT_EQ(s.last(), 'c');
    EXPECT_EQ(s.at(-1), 0);
    EXPECT_EQ(s.at(s.length), 0);
    EXPECT_STREQ(s.tail(), "bc");
    s.empty();
    EXPECT_EQ(s.head(), 0);
    EXPECT_EQ(s.last(), 0);
    s.free();
}

TEST(StrConvert, NumbersToText) {
    str_s s;
    s.init(INT_MIN);
    EXPECT_STREQ(s.data, "-2147483648");
    expect_sound(s);
    s.convert(0);
    EXPECT_STREQ(s.data, "0");
    s.convert(INT_MAX);
    EXPECT_STREQ(s.data, "2147483647");
    s.convert(-7);
    EXPECT_STREQ(s.data, "-7");
    expect_sound(s);
    EXPECT_EQ(s.to_int(), -7);
    s.free();
}

TEST(StrCompare, EqualityForms) {
    str_s xx, x, empty, ab, ba, ab2;
    xx.init("xx");
    x.init("x");
    empty.init();
    ab.init("ab");
    ba.init("ba");
    ab2.init("ab");

    EXPECT_EQ(xx.eq('x'), 0);
    EXPECT_EQ(x.eq('x'), 1);
    EXPECT_EQ(x.neq('x'), 0);
    EXPECT_EQ(xx.neq('x'), 1);
    EXPECT_EQ(empty.eq((char)0), 0);
    EXPECT_EQ(empty.neq((char)0), 1);

    EXPECT_EQ(ab.eq(ba), 0);
    EXPECT_EQ(ab.neq(ba), 1);
    EXPECT_EQ(ab.eq(ab2), 1);
    EXPECT_EQ(ab.neq(ab2), 0);

    EXPECT_EQ(ab.eq("ab"), 1);
    EXPECT_EQ(ab.eq("abc"), 0);
    EXPECT_EQ(ab.eq("a"), 0);
    EXPECT_EQ(ab.neq("ab"), 0);
    EXPECT_NE(ab.neq("ba"), 0);
    EXPECT_EQ(empty.eq(""), 1);

    for (str_s* s : {&xx, &x, &empty, &ab, &ba, &ab2}) s->free();
}

TEST(StrCompare, PrefixEquality) {
    EXPECT_EQ(str_eqf("abc", "ab"), 1);
    EXPECT_EQ(str_eqf("ab", "abc"), 1);
    EXPECT_EQ(str_eqf("", "x"), 1);
    EXPECT_EQ(str_eqf("x", ""), 1);
    EXPECT_EQ(str_eqf("ab", "ac"), 0);
    EXPECT_EQ(str_eqf("b", "abc"), 0);

    str_s s, t;
    s.init("abc");
    t.init("abd");
    EXPECT_EQ(s.eqf("ab"), 1);
    EXPECT_EQ(s.neqf("ab"), 0);
    EXPECT_EQ(s.eqf(t), 0);
    EXPECT_EQ(s.neqf(t), 1);
    s.free();
    t.free();
}

TEST(StrCompare, CaseInsensitiveFoldsAsciiLettersOnly) {
    str_s s, t;
    s.init("ABC");
    t.init("abc");
    EXPECT_EQ(s.neqi("abc"), 0);
    EXPECT_EQ(s.neqi(t), 0);
    EXPECT_EQ(s.neqi("aBc"), 0);
    EXPECT_NE(s.neqi("ab"), 0);
    EXPECT_NE(t.neqi("abcd"), 0);
    s.copy("[");
    EXPECT_NE(s.neqi("{"), 0) << "'[' and '{' differ by the case bit but are not letters";
    s.copy("\xC9");
    EXPECT_NE(s.neqi("\xE9"), 0) << "bytes above 127 are not folded";
    s.free();
    t.free();
}

TEST(StrTexts, MiddleCopiesAtMostCountBytes) {
    char out[16];
    EXPECT_STREQ(str_middle(out, "abcdef", 2, 3), "cde");
    EXPECT_STREQ(str_middle(out, "abcdef", 4, 10), "ef");
    EXPECT_STREQ(str_middle(out, "abcdef", 2, 0), "");
    EXPECT_STREQ(str_middle(out, "abcdef", 2, -4), "");
    EXPECT_STREQ(str_middle(out, "abcdef", 6, 3), "");
    EXPECT_STREQ(str_middle(out, "abcdef", 0, 6), "abcdef");

    // Nothing past the copied bytes and their NUL is touched.
    char guarded[8];
    for (char& c : guarded) c = '#';
    str_middle(guarded, "abcdef", 1, 2);
    EXPECT_EQ(std::string(guarded, 8), std::string("bc\0#####", 8));
}

TEST(StrTexts, FindOnlyMatchesTheEndOfTheText) {
    char text[] = "abcabc";
    EXPECT_EQ(str_find(text, "abc"), text + 3);
    EXPECT_EQ(str_find(text, "c"), text + 5);
    EXPECT_EQ(str_find(text, "abcabc"), text);
    char other[] = "abcd";
    EXPECT_EQ(str_find(other, "abc"), nullptr);
    EXPECT_EQ(str_find(other, "abcde"), nullptr);
    char short_text[] = "abc";
    EXPECT_EQ(str_find(short_text, ""), nullptr);
    char empty[] = "";
    EXPECT_EQ(str_find(empty, ""), nullptr);
    EXPECT_EQ(str_find(empty, "a"), nullptr);
}

}  // namespace
