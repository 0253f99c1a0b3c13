// Atoms: one atom per distinct text, the table chained newest first (the walk adding the
// numbers that hold functions and leaving out the short atoms that have no record), the
// records of numbers used as names, the str_s overload that
// consumes its string, the flag word, and the texts that share their bytes.
#include <initializer_list>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "unit.h"

namespace {

TEST(AtomIdentity, InterningTwiceAddsOneAtom) {
    std::string text = fresh_text("twice");
    int before = atoms_count();
    EXPECT_EQ(atoms_find(text.c_str()), nullptr);
    atom_s* a = atoms_add(text.c_str());
    EXPECT_EQ(atoms_count(), before + 1);
    EXPECT_EQ(atoms_add(text.c_str()), a);
    EXPECT_EQ(atoms_count(), before + 1);
    EXPECT_EQ(atoms_find(text.c_str()), a);
    EXPECT_STREQ(a->data, text.c_str());
    EXPECT_NE(a->data, text.c_str()) << "the char* overload copies the text";
    EXPECT_EQ(a->params, nullptr);
    EXPECT_EQ(a->body, nullptr);
    EXPECT_EQ(a->flags, 0u);
}

TEST(AtomIdentity, AnagramsAreDistinctAtoms) {
    std::string ab = fresh_text("ab"), ba(ab.rbegin(), ab.rend());
    atom_s* x = atoms_add(ab.c_str());
    atom_s* y = atoms_add(ba.c_str());
    EXPECT_NE(x, y);
    EXPECT_STREQ(x->data, ab.c_str());
    EXPECT_STREQ(y->data, ba.c_str());
    EXPECT_EQ(atoms_find(ab.c_str()), x);
    EXPECT_EQ(atoms_find(ba.c_str()), y);

    // Many texts with one byte sum: every one still finds its own atom.
    std::string stem = fresh_text("sum");
    atom_s* seen[26];
    for (int i = 0; i < 26; i++) {
        std::string t = stem + char('a' + i) + char('z' - i);
        seen[i] = atoms_add(t.c_str());
    }
    for (int i = 0; i < 26; i++) {
        std::string t = stem + char('a' + i) + char('z' - i);
        EXPECT_EQ(atoms_find(t.c_str()), seen[i]) << t;
        for (int j = 0; j < i; j++) EXPECT_NE(seen[i], seen[j]);
    }
}

TEST(AtomIdentity, ByteZeroIsTheEmptyText) {
    ensure_std_atoms();
    atom_s* empty = atoms_add("");
    EXPECT_EQ(atoms_add((char)0), empty);
    EXPECT_EQ(empty, std_atom_null);
    EXPECT_EQ(empty->length, 0);
    EXPECT_STREQ(empty->data, "");
    EXPECT_EQ(atoms_find(""), empty);

    std::string one = fresh_text("c");
    atom_s* c = atoms_add(one.back());
    EXPECT_EQ(c->length, 1);
    EXPECT_EQ(atoms_add(std::string(1, one.back()).c_str()), c);
}

TEST(AtomIdentity, StringOverloadInternsANewText) {
    std::string text = fresh_text("moved");
    str_s s;
    s.init(text.c_str());
    int before = atoms_count();
    atom_s* a = atoms_add(&s);
    EXPECT_EQ(atoms_count(), before + 1);
    EXPECT_STREQ(a->data, text.c_str());
    EXPECT_EQ(a->length, (int)text.size());
    EXPECT_EQ(atoms_find(text.c_str()), a);
}

TEST(AtomIdentity, StringOverloadOfAKnownTextReturnsTheOldAtom) {
    std::string text = fresh_text("known");
    atom_s* old = atoms_add(text.c_str());
    str_s s;
    s.init();
    for (char c : text) s.append(c);  // built byte by byte, as the reader builds tokens
    int before = atoms_count();
    EXPECT_EQ(atoms_find(&s), old);
    EXPECT_EQ(atoms_add(&s), old);
    EXPECT_EQ(atoms_count(), before);
    EXPECT_STREQ(old->data, text.c_str());
}

TEST(AtomIdentity, FindByStringOrTextReportsAbsenceAsNull) {
    std::string text = fresh_text("absent");
    str_s s;
    s.init(text.c_str());
    EXPECT_EQ(atoms_find(&s), nullptr);
    EXPECT_EQ(atoms_find(text.c_str()), nullptr);
    atom_s* a = atoms_add(text.c_str());
    EXPECT_EQ(atoms_find(&s), a);
    s.free();
}

atom_s* join(std::initializer_list<atom_s*> parts) {
    list_s* values = nullptr;
    for (atom_s* p : parts) list_add(&values, p);
    atom_s* joined = atoms_join(values);
    list_free(values);
    return joined;
}

TEST(AtomTable, ChainIsNewestFirstAndTheWalkAddsTheNumbersThatHoldFunctions) {
    std::string t1 = fresh_text("first"), t2 = fresh_text("second"), t3 = fresh_text("third");
    atom_s* a = atoms_add(t1.c_str());
    atom_s* n1 = atoms_add(9000001);  // the table's numbers are counted but not chained
    atom_s* b = atoms_add(t2.c_str());
    // So many numbers made between n1 and n2 that their page keeps whole places from n2 on.
    for (int i = 0; i < 70000; i++) atoms_add(6000000 + i);
    atom_s* n2 = atoms_add(9000002);
    EXPECT_EQ(atoms_find("9000001"), n1);
    EXPECT_EQ(atoms_add(9000002), n2);
    atom_s* n3 = atoms_add(9000003);
    atom_s* c = atoms_add(t3.c_str());
    EXPECT_EQ(atom_table, c);
    EXPECT_EQ(c->next, b);
    EXPECT_EQ(b->next, a);
    atoms_add(t1.c_str());  // an old text does not move to the head
    EXPECT_EQ(atom_table, c);
    // Joined texts are short atoms, chained like the others.
    atom_s* s1 = join({c, b});
    atom_s* s2 = join({c, a});
    EXPECT_EQ(atom_table, s2);
    EXPECT_EQ(s2->next, s1);
    EXPECT_EQ(s1->next, c);

    // n1 is a function (made as the builder makes one: its record first), n3 has calls, n2
    // a record and a global variable, s2 a record with calls: the walk takes n3 and n1 in
    // where they were made, and s2; n2 not, nor s1, which has no record.
    list_s cell = {};
    n1->names();
    n1->set_flag(AI_FUNCTION);
    n3->names()->body = &cell;
    n2->names();
    n2->set_global_var(&cell);
    EXPECT_NE(s2->names(), s2);
    s2->names()->body = &cell;
    EXPECT_EQ(s2->next, s1) << "a short atom keeps its own place in the chain";
    std::vector<atom_s*> walked;
    atom_walk walk;
    while (atom_s* x = walk.next()) walked.push_back(x);
    std::vector<atom_s*> expected = {s2, c, n3, b, n1, a};
    for (atom_s* x = a->next; x; x = x->next)
        if (!x->flag(AI_SHORT)) expected.push_back(x);  // earlier tests' joins have no records
    EXPECT_EQ(walked, expected);
}

TEST(AtomTable, EachNumberUsedAsANameKeepsARecordOfItsOwn) {
    std::vector<atom_s*> numbers, records;
    for (int i = 0; i < 1000; i++) {  // past several growths of the records' table
        atom_s* n = atoms_add(5000000 + 7 * i);
        numbers.push_back(n);
        records.push_back(n->names());
        EXPECT_NE(records.back(), n);
        records.back()->params = reinterpret_cast<list_s*>(numbers.back());
    }
    for (int i = 0; i < 1000; i++) {
        EXPECT_EQ(numbers[i]->names(), records[i]);
        EXPECT_EQ(records[i]->params, reinterpret_cast<list_s*>(numbers[i]));
    }
    atom_s* text = atoms_add(fresh_text("plain").c_str());
    EXPECT_EQ(text->names(), text);
}

TEST(AtomTable, NoTwoAtomsShareAText) {
    ensure_std_atoms();
    std::string stem = fresh_text("sweep");
    for (int i = 0; i < 200; i++) atoms_add((stem + std::to_string(i % 50)).c_str());
    int n = 0;
    for (atom_s* x = atom_table; x; x = x->next) {
        EXPECT_EQ(atoms_find(x->data), x) << x->data;
        n++;
    }
    EXPECT_EQ(n, atoms_count());
}

// A number made from its value spells its decimal text, whatever its length, and is the atom
// that interning that text finds: every power of ten and its neighbours, and a stride through
// the table's range.
TEST(AtomTable, NumbersFromValuesSpellTheirText) {
    std::vector<int> values = {0, 9999999, 10000000, -1, -2147483647 - 1};
    for (int p = 1; p <= 1000000; p *= 10) values.insert(values.end(), {p - 1, p, p + 1, 2 * p, 9 * p + p - 1});
    for (int v = 12345; v < 10000000; v += 987654) values.push_back(v);
    for (int v : values) {
        atom_s* made = atoms_add(v);
        EXPECT_EQ(std::string(made->c_str()), std::to_string(v));
        EXPECT_EQ(atoms_add(std::to_string(v).c_str()), made) << v;
    }
}

TEST(AtomFlags, FlagReturnsTheMaskedBits) {
    atom_s* a = atoms_add(fresh_text("flags").c_str());
    EXPECT_EQ(a->flag(AI_FUNCTION), 0);
    EXPECT_EQ(a->notflag(AI_FUNCTION), 1);

    a->set_flag(AI_EXTERN | AI_FUNCTION);  // 0x30000 in one call, as the registry does
    EXPECT_EQ(a->flag(AI_FUNCTION), 0x20000);
    EXPECT_EQ(a->flag(AI_EXTERN), 0x10000);
    EXPECT_EQ(a->flag(AI_SPY), 0);
    EXPECT_EQ(a->notflag(AI_FUNCTION), 0);
    EXPECT_EQ(a->notflag(AI_SPY), 1);
    EXPECT_EQ(a->flag((atom_s_info)(AI_EXTERN | AI_SPY)), 0x10000);

    a->set_flag(AI_SPY);
    EXPECT_EQ(a->flag(AI_SPY), 0x100000);
    EXPECT_EQ(a->flags, 0x130000u);

    a->clear_flag(AI_EXTERN);
    EXPECT_EQ(a->flag(AI_EXTERN), 0);
    EXPECT_EQ(a->notflag(AI_EXTERN), 1);
    EXPECT_EQ(a->flag(AI_FUNCTION), 0x20000);
    EXPECT_EQ(a->flag(AI_SPY), 0x100000);
}

TEST(AtomFlags, TagLivesInTheLowSixteenBits) {
    atom_s* a = atoms_add(fresh_text("tag").c_str());
    a->set_flag(AI_FUNCTION);
    a->set_flag(0x0005);
    a->set_flag(0x0102);  // set_flag ORs the value in
    EXPECT_EQ(a->flag((atom_s_info)0xFFFF), 0x0107);
    EXPECT_EQ(a->flag(AI_FUNCTION), 0x20000);
    a->clear_flag((atom_s_info)0xFFFF);
    EXPECT_EQ(a->flags, 0x20000u);
}

TEST(AtomFlags, StandardAtomsAreBuiltIns) {
    ensure_std_atoms();
    EXPECT_STREQ(std_atom_true->data, "true");
    EXPECT_NE(std_atom_writenl->flag(AI_EXTERN), 0);
    EXPECT_NE(std_atom_writenl->flag(AI_FUNCTION), 0);
    EXPECT_NE(std_atom_writenl->body, nullptr);
    EXPECT_EQ(std_atom_initialize->flag(AI_EXTERN), 0);
    EXPECT_NE(std_atom_initialize->flag(AI_FUNCTION), 0);
    EXPECT_EQ(std_atom_true->flag(AI_FUNCTION), 0);
}

// ---- texts that share their bytes -------------------------------------------------------------

std::string text_of(atom_s* a) { return std::string(a->data, a->length); }

TEST(AtomSharing, AppendingToATextExtendedBeforeCopiesIt) {
    std::string stem = fresh_text("grown") + std::string(40, '.');
    atom_s* base = join({atoms_add(stem.c_str()), atoms_add("+")});
    atom_s* first = join({base, atoms_add("1")});
    atom_s* second = join({base, atoms_add("2")});
    EXPECT_EQ(first->data, base->data) << "the newest text grows in place";
    EXPECT_NE(second->data, base->data) << "a text grown once already is copied";
    EXPECT_EQ(text_of(base), stem + "+");
    EXPECT_EQ(text_of(first), stem + "+1");
    EXPECT_EQ(text_of(second), stem + "+2");
    EXPECT_STREQ(base->c_str(), (stem + "+").c_str()) << "its bytes go on with a 1";
    EXPECT_EQ(text_of(join({second, atoms_add("3")})), stem + "+23");
    EXPECT_EQ(text_of(join({first, first})), stem + "+1" + stem + "+1");
    EXPECT_EQ(text_of(first), stem + "+1");
}

TEST(AtomSharing, ACutOfACutIsTheTextCutOnce) {
    std::string text;
    while (text.size() < 600) text += fresh_text("cut");
    atom_s* whole = atoms_add(text.c_str());
    atom_s* outer = atoms_cut(whole, 100, 400);
    atom_s* inner = atoms_cut(outer, 50, 200);
    EXPECT_EQ(inner->data, whole->data + 150) << "a long cut shares the bytes it comes from";
    EXPECT_EQ(atoms_add(text.substr(150, 200).c_str()), inner);
    EXPECT_STREQ(inner->c_str(), text.substr(150, 200).c_str());
    atom_s* two_tails = atoms_cut(atoms_cut(outer, 1, 399), 1, 398);
    EXPECT_EQ(two_tails, atoms_cut(whole, 102, 398));
    EXPECT_EQ(text_of(two_tails), text.substr(102, 398));
    EXPECT_EQ(atoms_cut(inner, 3, 5), atoms_add(text.substr(153, 5).c_str()));
}

// Made by joining, by interning the bytes, by cutting a longer text from either end, and by
// walking a text of one repeated piece, whose every tail that starts with the piece is a
// text the joins made before.
TEST(AtomSharing, EqualTextsMadeInDifferentWaysAreOneAtom) {
    std::string piece = fresh_text("rep"), text;
    atom_s* piece_atom = atoms_add(piece.c_str());
    std::vector<atom_s*> joined = {piece_atom};
    for (int i = 1; i < 100; i++) joined.push_back(join({joined.back(), piece_atom}));
    for (int i = 0; i < 100; i++) text += piece;
    EXPECT_EQ(atoms_add(text.c_str()), joined.back());
    atom_s* longer = join({atoms_add("<"), joined.back(), atoms_add(">")});
    EXPECT_EQ(atoms_cut(longer, 1, (int)text.size()), joined.back());
    atom_s* walked = joined.back();
    for (int i = 1; i < (int)text.size(); i++) {
        walked = atoms_cut(walked, 1, walked->length - 1);
        if (i % piece.size() == 0) {
            ASSERT_EQ(walked, joined[99 - i / piece.size()]) << i;
        }
    }
}

// Texts of one stem (all bytes but the last) share the index's place for it: every last byte,
// in a scrambled order, after a short and a long stem, made by interning, joining and cutting
// in turn; each is found again, and the texts one byte longer are others.
TEST(AtomSharing, TextsThatDifferInTheLastByteAreEachFound) {
    for (std::string stem : {fresh_text("st"), fresh_text("st") + std::string(40, '-')}) {
        atom_s* stem_atom = atoms_add(stem.c_str());
        std::vector<atom_s*> made(256);
        for (int k = 1; k < 256; k++) {
            int b = k * 97 % 256;  // 97 is odd: every byte once
            std::string text = stem + char(b);
            char byte[2] = {char(b), 0};
            made[b] = k % 3 == 0   ? atoms_add(text.c_str(), (int)text.size())
                      : k % 3 == 1 ? join({stem_atom, atoms_add(byte)})
                                   : atoms_cut(atoms_add((text + "+").c_str()), 0, (int)text.size());
        }
        for (int b = 1; b < 256; b++) {
            std::string text = stem + char(b);
            ASSERT_EQ(text_of(made[b]), text) << b;
            ASSERT_EQ(atoms_find(text.c_str(), (int)text.size()), made[b]) << b;
            ASSERT_EQ(atoms_find((text + "+").c_str()), atoms_add((text + "+").c_str()));
            ASSERT_NE(atoms_find((text + "+").c_str()), made[b]);
        }
        EXPECT_EQ(atoms_find(stem.c_str()), stem_atom);
    }
}

// The Thue-Morse text of 2048 bytes and its mirror image have equal polynomial keys modulo
// 2^64 whatever the base: the bytes decide, and these are two atoms.
TEST(AtomSharing, TextsWithEqualKeysStayApart) {
    std::string stem = fresh_text("tm"), morse, mirror;
    for (int i = 0; i < 2048; i++) {
        int odd = __builtin_popcount(i) & 1;
        morse += odd ? 'b' : 'a';
        mirror += odd ? 'a' : 'b';
    }
    atom_s* both = atoms_add((stem + morse + mirror).c_str());
    int n = (int)stem.size();
    atom_s* first = atoms_cut(atoms_cut(both, 0, n + 2048), n, 2048);
    atom_s* second = atoms_cut(both, n + 2048, 2048);
    EXPECT_EQ(first->key, second->key);
    EXPECT_NE(first, second);
    EXPECT_EQ(text_of(first), morse);
    EXPECT_EQ(text_of(second), mirror);
    EXPECT_EQ(atoms_add(mirror.c_str()), second);
}

}  // namespace
