// The source reader on real files: separators, comments, quotes, where plain atoms end, line
// counting, the end of the file, the push-back and the nesting of compile scopes.
#include "compiler_fixture.h"

namespace {

// One file opened for reading, its compile scope current while it lives.
struct open_source {
    compile_scope_s scope;
    str_s atom;
    explicit open_source(std::string const& name) {
        scope.file = file_io_open(name.c_str(), 'r');
        text_copy(scope.name, name.c_str(), (int)name.size());
        scope.name[name.size()] = 0;
        atom.init();
    }
    ~open_source() {
        atom.free();
        file_io_close(scope.file);
        scope.done();
    }
    std::string read(int required = 0) {
        char* text = engine_read_atom(atom, required);
        EXPECT_EQ(text, atom.data);
        return std::string(atom.data, atom.length);
    }
};

int file_number;

// The atoms of `text`, read with `required` 0 up to the end of the file; an empty atom read
// together with the end is not listed.
std::vector<std::string> atoms_of(std::string const& text) {
    std::string name = "reader" + std::to_string(++file_number) + ".kavo";
    write_source(name, text);
    open_source src(name);
    std::vector<std::string> atoms;
    for (int guard = 0; guard < 1000; guard++) {
        std::string a = src.read();
        if (src.scope.eof && a.empty()) break;
        atoms.push_back(a);
        if (src.scope.eof) break;
    }
    return atoms;
}

using texts = std::vector<std::string>;

}  // namespace

TEST(Reader, SeparatorsAreBytes1To32CommaAndSemicolon) {
    for (int c = 0; c < 256; c++) {
        int want = (c >= 1 && c <= 32) || c == ',' || c == ';';
        EXPECT_EQ(is_sep(c), want) << "byte " << c;
    }
    EXPECT_EQ(atoms_of("f(a,b);"), (texts{"f", "(", "a", "b", ")"}));
    EXPECT_EQ(atoms_of("f ( a b )"), (texts{"f", "(", "a", "b", ")"}));
    EXPECT_EQ(atoms_of("a\x01" "b\x1f" "c\x7f" "d\te"), (texts{"a", "b", "c\x7f" "d", "e"}));
    EXPECT_EQ(atoms_of(",,;; \r\n"), texts{});
}

TEST(Reader, CommentsRunToHashOrToTheLineEnd) {
    EXPECT_EQ(atoms_of("abc#note#def"), (texts{"abc", "def"}));
    EXPECT_EQ(atoms_of("abc%note\ndef"), (texts{"abc", "def"}));
    EXPECT_EQ(atoms_of("abc%note\rdef"), (texts{"abc", "def"}));
    EXPECT_EQ(atoms_of("%only a comment\n#and ( another )#  \n"), texts{});
    // Quote and bracket characters inside comments are nothing special.
    EXPECT_EQ(atoms_of("a #\"(}# b % ' ) {\nc"), (texts{"a", "b", "c"}));
    // A "#" comment still open at the end of the file simply ends there.
    EXPECT_EQ(atoms_of("a #open to the end\n b"), (texts{"a"}));
}

TEST(Reader, QuotedAtomsKeepEverythingUpToTheSameQuote) {
    EXPECT_EQ(atoms_of("\"a b(x)\""), (texts{"a b(x)"}));
    EXPECT_EQ(atoms_of("'say \"hi\"'"), (texts{"say \"hi\""}));
    EXPECT_EQ(atoms_of("\"it's\""), (texts{"it's"}));
    EXPECT_EQ(atoms_of("\"two\nlines, #no comment# %none\""), (texts{"two\nlines, #no comment# %none"}));
    EXPECT_EQ(atoms_of("\"a\r\nb\r\rc\r\""), (texts{"a\r\nb\r\rc\r"}));
    EXPECT_EQ(atoms_of("\"(\" '}'"), (texts{"(", "}"}));
    EXPECT_EQ(atoms_of("x\"y\"z"), (texts{"x", "y", "z"}));
    EXPECT_EQ(atoms_of("\"open to the end"), (texts{"open to the end"}));
    EXPECT_EQ(atoms_of("\xe9t\xe9 \"\xff\x80\""), (texts{"\xe9t\xe9", "\xff\x80"}));
}

TEST(Reader, EmptyQuotesAreTheEmptyAtomNotTheEnd) {
    write_source("empty_quotes.kavo", "\"\" x");
    open_source src("empty_quotes.kavo");
    EXPECT_EQ(src.read(1), "");
    EXPECT_EQ(src.scope.eof, 0);
    EXPECT_EQ(src.read(1), "x");
}

TEST(Reader, BracketsAreOneCharacterAtomsAndEndPlainAtoms) {
    EXPECT_EQ(atoms_of("a(b)c{d}e"), (texts{"a", "(", "b", ")", "c", "{", "d", "}", "e"}));
    EXPECT_EQ(atoms_of("(()"), (texts{"(", "(", ")"}));
    EXPECT_EQ(atoms_of("a%x\nb#y#c'q'd"), (texts{"a", "b", "c", "q", "d"}));
}

TEST(Reader, PlainAtomAtTheLastByteIsDeliveredWithTheEndReached) {
    write_source("last_byte.kavo", "first last");
    open_source src("last_byte.kavo");
    EXPECT_EQ(src.read(), "first");
    EXPECT_EQ(src.scope.eof, 0);
    EXPECT_EQ(src.read(), "last");
    EXPECT_NE(src.scope.eof, 0);
    // Reading on after the end is harmless: empty atoms, and the count of end hits grows.
    int hits = src.scope.eof;
    EXPECT_EQ(src.read(), "");
    EXPECT_GT(src.scope.eof, hits);
    EXPECT_EQ(engine_read_char(), 0);
}

TEST(Reader, OnlyLineFeedsCountLines) {
    // The line after every atom read, the last at the end of the file. A CR LF file agrees
    // with its LF twin atom by atom, also where reading the line break ends a plain atom; a
    // file of carriage returns alone stays on line 1.
    auto lines_after_atoms = [](std::string const& text) {
        std::string name = "lines" + std::to_string(++file_number) + ".kavo";
        write_source(name, text);
        open_source src(name);
        std::vector<int> lines;
        do {
            src.read();
            lines.push_back(src.scope.line);
        } while (!src.scope.eof);
        return lines;
    };
    std::vector<int> lf = lines_after_atoms("f {\n  write(x)\n\n  #a\nb# nl\n} g\n%c\nh");
    std::vector<int> crlf = lines_after_atoms("f {\r\n  write(x)\r\n\r\n  #a\r\nb# nl\r\n} g\r\n%c\r\nh");
    std::vector<int> cr = lines_after_atoms("f {\r  write(x)\r\r  #a\rb# nl\r} g\r%c\rh");
    EXPECT_EQ(lf, (std::vector<int>{1, 1, 2, 2, 2, 2, 6, 6, 7, 8}));
    EXPECT_EQ(crlf, lf);
    EXPECT_EQ(cr, std::vector<int>(lf.size(), 1));
}

TEST(Reader, LinesOfCompileErrorsAgreeForCrLfAndLf) {
    write_source("lf_end.kavo", "lfa {\n  nl\n");
    write_source("crlf_end.kavo", "crlfa {\r\n  nl\r\n");
    write_source("cr_end.kavo", "cra {\r  nl\r");
    std::string err = ": error: Unexpected end of file\n";
    expect_outcome([] { engine_compile("lf_end"); }, 1, compile_error_out(20, "lf_end.kavo", 3),
                   "lf_end.kavo:3" + err);
    expect_outcome([] { engine_compile("crlf_end"); }, 1, compile_error_out(20, "crlf_end.kavo", 3),
                   "crlf_end.kavo:3" + err);
    expect_outcome([] { engine_compile("cr_end"); }, 1, compile_error_out(20, "cr_end.kavo", 1),
                   "cr_end.kavo:1" + err);
}

TEST(Reader, RequiredAtomAtTheEndIsError20WithFileAndLine) {
    write_source("required.kavo", "a\n\n% nothing more\n#x\n#");
    expect_outcome(
        [] {
            open_source src("required.kavo");
            src.read(1);
            src.read(1);
        },
        1, compile_error_out(20, "required.kavo", 5), "required.kavo:5: error: Unexpected end of file\n");
    // Not required: the same read returns the empty text and nothing ends.
    open_source src("required.kavo");
    EXPECT_EQ(src.read(0), "a");
    EXPECT_EQ(src.read(0), "");
    EXPECT_NE(src.scope.eof, 0);
}

TEST(Reader, PushedBackAtomIsReadAndAnnouncedAgain) {
    write_source("pushback.kavo", "one two");
    open_source src("pushback.kavo");
    event_log log;
    EXPECT_EQ(src.read(), "one");
    EXPECT_EQ(engine_set_next_atom(src.atom), src.atom.data);
    EXPECT_EQ(src.scope.has_next_atom, 1);
    EXPECT_EQ(src.read(), "one");
    EXPECT_EQ(src.scope.has_next_atom, 0);
    // Only one atom waits: a second push-back replaces the first text.
    engine_set_next_atom("first");
    engine_set_next_atom("second");
    EXPECT_EQ(src.scope.has_next_atom, 2);
    EXPECT_EQ(src.read(), "second");
    EXPECT_EQ(src.read(), "two");
    EXPECT_EQ(log.all(), (texts{"atom one", "atom one", "atom second", "atom two"}));
}

TEST(Reader, CompileScopesNestAndRestoreTheOuterFile) {
    write_source("outer.kavo", "o1 o2(");
    write_source("inner.kavo", "i1");
    compile_scope_s* before = ccs;
    {
        open_source outer("outer.kavo");
        EXPECT_EQ(ccs, &outer.scope);
        EXPECT_EQ(outer.scope.outer, before);
        EXPECT_EQ(outer.read(), "o1");
        EXPECT_EQ(outer.read(), "o2");
        EXPECT_EQ(outer.scope.next_char, '(');
        engine_set_next_atom("pending");
        {
            open_source inner("inner.kavo");
            EXPECT_EQ(ccs, &inner.scope);
            EXPECT_EQ(inner.scope.outer, &outer.scope);
            EXPECT_EQ(inner.scope.line, 1);
            EXPECT_EQ(inner.scope.has_next_atom, 0);
            EXPECT_EQ(inner.scope.next_char, 0);
            EXPECT_EQ(inner.read(), "i1");
            EXPECT_NE(inner.scope.eof, 0);
        }
        // The outer file resumes exactly where it stopped: the atom, then the character.
        EXPECT_EQ(ccs, &outer.scope);
        EXPECT_EQ(outer.scope.eof, 0);
        EXPECT_EQ(outer.read(), "pending");
        EXPECT_EQ(outer.read(), "(");
    }
    EXPECT_EQ(ccs, before);
}

TEST(Reader, CharacterGivenBackIsDeliveredFirst) {
    write_source("ahead.kavo", "ab(c");
    open_source src("ahead.kavo");
    EXPECT_EQ(src.read(), "ab");
    EXPECT_EQ(src.scope.next_char, '(');
    EXPECT_EQ(engine_read_char(), '(');
    EXPECT_EQ(src.scope.next_char, 0);
    EXPECT_EQ(engine_read_char(), 'c');
}
