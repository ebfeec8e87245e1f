#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/evaluate_formula.h"
#include "status_codes.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using namespace plat;
using talix_test::TempDir;

// A typed value read back from a result block.
struct TypedValue {
    WORD type = 0;
    std::vector<std::string> texts;
    std::vector<double> numbers;
    std::vector<DWORD> times;   // Innards[0] and Innards[1] of each time
    bool operator==(const TypedValue&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TypedValue& typed) {
    out << "type 0x" << std::hex << typed.type << std::dec;
    for (const auto& text : typed.texts) out << " \"" << text << "\"";
    for (double number : typed.numbers) out << " " << number;
    for (DWORD word : typed.times) out << " t" << word;
    return out;
}

TypedValue Text(const std::string& text) { return TypedValue{TYPE_TEXT, {text}, {}, {}}; }
TypedValue Texts(std::vector<std::string> texts) { return TypedValue{TYPE_TEXT_LIST, std::move(texts), {}, {}}; }
TypedValue Number(double number) { return TypedValue{TYPE_NUMBER, {}, {number}, {}}; }
TypedValue Numbers(std::vector<double> numbers) { return TypedValue{TYPE_NUMBER_RANGE, {}, std::move(numbers), {}}; }
TypedValue Time(const TIMEDATE& time) { return TypedValue{TYPE_TIME, {}, {}, {time.Innards[0], time.Innards[1]}}; }

WORD ReadWord(const unsigned char* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

DWORD ReadDword(const unsigned char* p) { return ReadWord(p) | (static_cast<DWORD>(ReadWord(p + 2)) << 16); }

double Double(const unsigned char* p) {
    double number;
    std::memcpy(&number, p, sizeof number);
    return number;
}

// Reads a result value; every count is checked against the length.
TypedValue ReadTyped(const unsigned char* p, size_t length) {
    TypedValue typed;
    if (p == nullptr || length < 2) return typed;
    typed.type = ReadWord(p);
    const unsigned char* data = p + 2;
    size_t size = length - 2;
    switch (typed.type) {
    case TYPE_TEXT: typed.texts.emplace_back(reinterpret_cast<const char*>(data), size); break;
    case TYPE_TEXT_LIST: {
        size_t count = ReadWord(data);
        size_t offset = 2 + 2 * count;
        for (size_t i = 0; i < count && offset <= size; ++i) {
            size_t entry = ReadWord(data + 2 + 2 * i);
            if (offset + entry > size) break;
            typed.texts.emplace_back(reinterpret_cast<const char*>(data + offset), entry);
            offset += entry;
        }
        break;
    }
    case TYPE_NUMBER: typed.numbers.push_back(Double(data)); break;
    case TYPE_NUMBER_RANGE:
        for (size_t i = 0; i < ReadWord(data) && 4 + 8 * (i + 1) <= size; ++i) typed.numbers.push_back(Double(data + 4 + 8 * i));
        break;
    case TYPE_TIME:
        typed.times = {ReadDword(data), ReadDword(data + 4)};
        break;
    case TYPE_TIME_RANGE:
        for (size_t i = 0; i < ReadWord(data) && 4 + 8 * (i + 1) <= size; ++i) {
            typed.times.push_back(ReadDword(data + 4 + 8 * i));
            typed.times.push_back(ReadDword(data + 8 + 8 * i));
        }
        break;
    default: break;
    }
    return typed;
}

// Compiles a formula and evaluates it on a note; the status of the first
// step that fails.
STATUS Evaluate(NOTEHANDLE note, const std::string& text, TypedValue* result, bool* matches = nullptr) {
    std::string value;
    const STATUS status = talix_test::EvaluateFormula(note, text, &value, matches);
    if (status == NOERROR) *result = ReadTyped(reinterpret_cast<const unsigned char*>(value.data()), value.size());
    return status;
}

// Compiles and decompiles; the text given back.
std::string RoundTrip(const std::string& text) {
    DHANDLE compiled = NULLHANDLE;
    WORD compiledLength = 0;
    STATUS status = FormulaCompile(text.data(), static_cast<WORD>(text.size()), &compiled, &compiledLength);
    EXPECT_EQ(status, NOERROR) << text << ": " << FormulaLastError();
    if (status != NOERROR) return "";
    EXPECT_EQ(compiledLength % 2, 0);
    DHANDLE decompiled = NULLHANDLE;
    WORD length = 0;
    EXPECT_EQ(FormulaDecompile(MemLock(compiled), compiledLength, &decompiled, &length), NOERROR);
    MemFree(compiled);
    std::string back(static_cast<const char*>(MemLock(decompiled)), length);
    MemFree(decompiled);
    return back;
}

// The head-tag formula of the web editor set-up, for a field and toolbar set.
std::string HeadTagFormula(const std::string& field, const std::string& toolbar) {
    auto join = [](const std::vector<std::string>& parts) {
        std::string joined;
        for (size_t i = 0; i < parts.size(); ++i) joined += (i == 0 ? "" : "+ br +") + parts[i];
        return joined;
    };
    std::vector<std::string> meta = {
        R"("<META HTTP-EQUIV=\"CACHE-CONTROL\" CONTENT=\"NO-CACHE\">")",
        R"("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">")",
        R"("<meta name=\"robots\" content=\"noindex, nofollow\">")",
    };
    std::vector<std::string> editing = {
        R"("<script type=\"text/javascript\" src=\"/QVE_fckeditor.nsf/fckeditor/fckeditor.js\"></script>")",
        R"("<script type=\"text/javascript\">")",
        R"("function doLoadAlternateEditor() {")",
        "\"var oFCKeditor1 = new FCKeditor( '" + field + "' ) ;\"",
        R"("oFCKeditor1.BasePath  = '/QVE_fckeditor.nsf/fckeditor/' ;")",
        "\"oFCKeditor1.ToolbarSet  = '" + toolbar + "' ;\"",
        R"("oFCKeditor1.Height            = '500' ;")",
        R"("oFCKeditor1.Width            = '100%' ;")",
        R"("oFCKeditor1.ReplaceTextarea() ;")",
        R"("return")",
        R"("} ")",
        R"("function doSubmit () { return true } ")",
        R"("function FCKeditor_OnComplete( editorInstance ) {")",
        R"(" window.status = editorInstance.Description ;")",
        R"("}")",
        R"("var editmode = 'true' ; ")",
        R"("</script>")",
    };
    std::vector<std::string> reading = {
        R"("<script type=\"text/javascript\">")",
        R"("function doLoadAlternateEditor () { return true } ")",
        R"("function doSubmit () { return true } ")",
        R"("</script>")",
    };
    return "br := @NewLine;" + join(meta) + "+ br +@If(@IsDocBeingEdited; " + join(editing) + "; br + " + join(reading) +
           ")";
}

TEST(FormulaCompile, DecompileGivesBackTheExactText) {
    std::vector<std::string> formulas = {
        HeadTagFormula("Body", "MirratDefault"),
        // The compose formulas of unresolved wiki links, with a server and
        // database, and with a formula in place of the server.
        R"(@Command([Compose]; "Wiki/Acme":"apps\\wiki.nsf"; "Document"); @Command([EditGoToField]; "Subject"); @Command([EditInsertText]; "Release plan");)",
        R"(@Command([Compose]; @Subset(@DbName; 1) : "wiki.nsf"; "Page"); @Command([EditGoToField]; "Subject"); @Command([EditInsertText]; "Home");)",
        R"(SELECT Form = "Memo")",
        "SELECT @All",
        R"(select @IsAvailable(Subject) & (Form != "Reply" | @Created > [01/01/2020]))",
        "REM {keeps a comment};\r\n\tFIELD Total := Price * Qty;\nDEFAULT Qty := 1;\nENVIRONMENT LastRun := @Text(@Now);  ",
        R"(x := -(1 + 2) * 3 / 4e2 - .5; y := "a\"b\\c" : {brace "quoted"} *+ "d"; z := x *= 1 : -2;)"
        R"( @If(!x; y; z <> 3 & z >< 2 | x =! 1 & x *!= 2; @True; x *<= y; @Do(n := 1; n + 1); 1.5E-3);;)",
        "@DbCommand(\"Talix\":\"NoCache\"; \"Initialize\")",
        NativeToLmbcs("REM \"Grüße aus Köln\"; \"日本語\" + Subject"),
        "",
    };
    for (const std::string& formula : formulas) EXPECT_EQ(RoundTrip(formula), formula);

    // A compiled formula stored as an item comes back the same way.
    TempDir dir;
    DBHANDLE db = NULLHANDLE;
    ASSERT_EQ(DbCreate(dir.file("stored.nsf").c_str(), &db), NOERROR);
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db, &note), NOERROR);
    const std::string& head = formulas.front();
    DHANDLE compiled = NULLHANDLE;
    WORD compiledLength = 0;
    ASSERT_EQ(FormulaCompile(head.data(), static_cast<WORD>(head.size()), &compiled, &compiledLength), NOERROR);
    EXPECT_EQ(ItemAppend(note, 0, "$HTMLHeadTag", 12, TYPE_FORMULA, MemLock(compiled), compiledLength), NOERROR);
    MemFree(compiled);
    BLOCKID value;
    DWORD valueLength = 0;
    ASSERT_EQ(ItemInfo(note, "$HTMLHeadTag", 12, nullptr, nullptr, &value, &valueLength), NOERROR);
    DHANDLE text = NULLHANDLE;
    WORD textLength = 0;
    EXPECT_EQ(FormulaDecompile(static_cast<const char*>(BlockLock(value)) + 2, static_cast<WORD>(valueLength - 2), &text,
                               &textLength),
              NOERROR);
    BlockUnlock(value);
    EXPECT_EQ(std::string(static_cast<const char*>(MemLock(text)), textLength), head);
    MemFree(text);
    NoteClose(note);
    DbClose(db);
}

TEST(FormulaCompile, SyntaxErrorsNameWhereTheyWereFound) {
    struct Case {
        std::string text;
        WORD offset;
    };
    std::vector<Case> cases = {
        {R"(x := "abc)", 5},                      // unterminated string
        {"x := {abc", 5},                         // unterminated brace string
        {"@Command([Compose", 9},                 // unterminated keyword
        {"@Command([]; 1)", 9},                   // empty keyword
        {"@If(a; b", 8},                          // unclosed argument list
        {"(1 + 2", 6},                            // unclosed parenthesis
        {"1 + 2)", 5},                            // parenthesis never opened
        {"a := 1 +", 8},                          // dangling operator
        {"1 := 2", 2},                            // assignment to a value
        {"x y", 2},                               // missing separator
        {"a := 1 # 2", 7},                        // unknown character
        {"x := @", 5},                            // "@" without a name
        {"@If(SELECT 1; 2; 3)", 4},               // SELECT inside arguments
        {"FIELD := 1", 6},                        // FIELD without a name
        {"x := 1 + 1e400", 9},                    // a number beyond the doubles
    };
    for (const Case& c : cases) {
        DHANDLE compiled = NULLHANDLE;
        WORD compiledLength = 0;
        WORD offset = 0xFFFF;
        STATUS status = FormulaCompile(c.text.data(), static_cast<WORD>(c.text.size()), &compiled, &compiledLength, &offset);
        EXPECT_EQ(status, ERR_FORMULA_SYNTAX) << c.text;
        EXPECT_EQ(compiled, NULLHANDLE) << c.text;
        EXPECT_EQ(offset, c.offset) << c.text << ": " << FormulaLastError();
        EXPECT_NE(std::string(FormulaLastError()).find("at offset " + std::to_string(c.offset)), std::string::npos)
            << c.text << ": " << FormulaLastError();
    }
    // A good compile clears the last error.
    DHANDLE compiled = NULLHANDLE;
    WORD compiledLength = 0;
    ASSERT_EQ(FormulaCompile("1", 1, &compiled, &compiledLength), NOERROR);
    EXPECT_STREQ(FormulaLastError(), "");
    MemFree(compiled);
}

TEST(FormulaCompile, HostileInputFailsCleanly) {
    DHANDLE compiled = NULLHANDLE;
    WORD compiledLength = 0;
    // 64 KB of formula: too long for a compiled formula's 16-bit length.
    std::string huge = "\"" + std::string(65533, 'a') + "\"";
    EXPECT_EQ(FormulaCompile(huge.data(), static_cast<WORD>(huge.size()), &compiled, &compiledLength), ERR_FORMULA_TOO_LONG);
    EXPECT_NE(std::string(FormulaLastError()).find("65535 bytes"), std::string::npos) << FormulaLastError();
    EXPECT_EQ(compiled, NULLHANDLE);
    // An unterminated string that runs to the end of a long formula.
    std::string open = "x := \"" + std::string(60000, 'b');
    WORD offset = 0;
    EXPECT_EQ(FormulaCompile(open.data(), static_cast<WORD>(open.size()), &compiled, &compiledLength, &offset),
              ERR_FORMULA_SYNTAX);
    EXPECT_EQ(offset, 5);

    // 200 nested parentheses compile and evaluate; far deeper nesting is
    // refused without exhausting the stack.
    TypedValue result;
    EXPECT_EQ(Evaluate(NULLHANDLE, std::string(200, '(') + "1 + 2" + std::string(200, ')'), &result), NOERROR)
        << FormulaLastError();
    EXPECT_EQ(result, Number(3));
    for (const std::string& deep : {std::string(20000, '(') + "1" + std::string(20000, ')'),
                                    std::string(20000, '-') + "1", std::string(20000, '!') + "1",
                                    [] {
                                        std::string calls;
                                        for (int i = 0; i < 5000; ++i) calls += "@If(1;";
                                        return calls;
                                    }()}) {
        EXPECT_EQ(FormulaCompile(deep.data(), static_cast<WORD>(deep.size()), &compiled, &compiledLength), ERR_FORMULA_SYNTAX);
        EXPECT_NE(std::string(FormulaLastError()).find("nested"), std::string::npos) << FormulaLastError();
    }
    // A long flat formula is no deeper than a short one.
    std::string sum = "1";
    for (int i = 1; i < 30000; ++i) sum += "+1";
    EXPECT_EQ(Evaluate(NULLHANDLE, sum, &result), NOERROR);
    EXPECT_EQ(result, Number(30000));

    // Bytes that are not a compiled formula.
    const char junk[] = "not a formula";
    DHANDLE text = NULLHANDLE;
    WORD textLength = 0;
    EXPECT_EQ(FormulaDecompile(junk, sizeof junk, &text, &textLength), ERR_FORMULA_INVALID);
    HCOMPUTE compute = 0;
    EXPECT_EQ(ComputeStart(junk, &compute), ERR_FORMULA_INVALID);
    EXPECT_EQ(ComputeEvaluate(12345, NULLHANDLE, &text, &textLength), ERR_INVALID_HANDLE);
    EXPECT_EQ(ComputeStop(12345), ERR_INVALID_HANDLE);
}

// A formula that doubles an 8 MB text: the statements that follow it in
// each case would need gigabytes.
std::string EightMegabytes() {
    std::string formula = R"(x := "0123456789abcdef")";
    for (int i = 0; i < 19; ++i) formula += "; x := x + x";
    return formula;
}

TEST(FormulaEvaluate, LargeValuesAreRefusedBeforeTheyAreBuilt) {
    const std::string x = EightMegabytes();
    std::string lists = x + "; l := x : x";
    for (int i = 0; i < 12; ++i) lists += "; l := l : l";
    std::string variables = x;
    for (int i = 0; i < 400; ++i) variables += "; v" + std::to_string(i) + " := x + \"\"";
    std::string defaults = x;
    for (int i = 0; i < 400; ++i) defaults += "; DEFAULT d" + std::to_string(i) + " := x + \"\"";
    struct Case {
        std::string formula;
        std::string named;
    };
    for (const Case& c : std::vector<Case>{
             {lists + "; @Elements(l)", "list too large"},
             {variables + "; 1", "more than 64 MB (assigning v7)"},
             {defaults + "; 1", "more than 64 MB (assigning d7)"},
             {x + R"(; @DbCommand("NoSuchDriver"; x; x; x))", "@DbCommand: the arguments hold more than 16 MB"},
         }) {
        TypedValue result;
        EXPECT_EQ(Evaluate(NULLHANDLE, c.formula, &result), ERR_FORMULA_EVAL) << c.named;
        EXPECT_NE(std::string(FormulaLastError()).find(c.named), std::string::npos) << FormulaLastError();
    }

    // Values within the limits: an 8 MB text in a list of two, a variable
    // given a new value in place of its old one, and a result that fits.
    TypedValue result;
    std::string reassigned = x + "; l := x : x";
    for (int i = 0; i < 20; ++i) reassigned += "; y := x + \"\"";
    EXPECT_EQ(Evaluate(NULLHANDLE, reassigned + "; @Elements(l) + @Elements(y)", &result), NOERROR)
        << FormulaLastError();
    EXPECT_EQ(result, Number(3));
}

// A list written as a long run of ":" holds every operand in order, a
// variable used in it keeps its value, and the bounds of a list are met at
// the operand that passes them.
TEST(FormulaEvaluate, LongListsKeepEveryOperandInOrder) {
    const int count = 9000;
    std::string numbers = "n := 1";
    for (int i = 2; i <= count; ++i) numbers += ":" + std::to_string(i);
    TypedValue result;
    ASSERT_EQ(Evaluate(NULLHANDLE, numbers + "; @Elements(n) : @Member(1; n) : @Member(4500; n) : @Member(9000; n)",
                       &result),
              NOERROR)
        << FormulaLastError();
    EXPECT_EQ(result, Numbers({9000, 1, 4500, 9000}));
    ASSERT_EQ(Evaluate(NULLHANDLE,
                       numbers + "; m := (n * 2) : 0 : n; @Elements(m) : @Member(18000; m) : @Member(0; m) : "
                                 "@Member(1; m) : @Member(9000; m)",
                       &result),
              NOERROR)
        << FormulaLastError();
    EXPECT_EQ(result, Numbers({18001, 9000, 9001, 9002, 4500}));

    // So does a text written as a long run of "+".
    std::string text = R"(x := "<")";
    for (int i = 0; i < 4000; ++i) text += R"( + "ab")";
    ASSERT_EQ(Evaluate(NULLHANDLE, text + R"( + ">"; @Left(x; 4) : @Right(x; 4) : @Left(@Right(x; 4002); 3))", &result),
              NOERROR)
        << FormulaLastError();
    EXPECT_EQ(result, Texts({"<aba", "bab>", "bab"}));

    ASSERT_EQ(Evaluate(NULLHANDLE, R"(t := "a" : "b"; l := t : "c" : t : "d" : t; l : t)", &result), NOERROR)
        << FormulaLastError();
    EXPECT_EQ(result, Texts({"a", "b", "c", "a", "b", "d", "a", "b", "a", "b"}));

    // 32,768 numbers joined to themselves pass the 65,535 entries; a text
    // at the end of a long run of numbers is named.
    std::string doubled = "l := 1";
    for (int i = 0; i < 15; ++i) doubled += "; l := l : l";
    for (const auto& [formula, named] : std::vector<std::pair<std::string, std::string>>{
             {doubled + "; l := l : l; 0", "list too long"},
             {numbers + R"(; n : 1 : 2 : "x" : 3)", "a list cannot join number and text"},
             {doubled + "; l : 1 : l : 1", "list too long"},
         }) {
        EXPECT_EQ(Evaluate(NULLHANDLE, formula, &result), ERR_FORMULA_EVAL) << named;
        EXPECT_NE(std::string(FormulaLastError()).find(named), std::string::npos) << FormulaLastError();
    }
}

// A document with items of every kind the formulas read.
class FormulaOnNote : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DbCreate(dir_.file("notes.nsf").c_str(), &db_), NOERROR);
        ASSERT_EQ(NoteCreate(db_, &note_), NOERROR);
        ASSERT_EQ(ItemSetText(note_, "Form", "Memo", 4), NOERROR);
        ASSERT_EQ(ItemSetText(note_, "Subject", "Hello World", 11), NOERROR);
        for (const char* tag : {"red", "green", "blue"}) {
            ASSERT_EQ(ItemAppendTextList(note_, "Tags", tag, static_cast<WORD>(std::strlen(tag)), true), NOERROR);
        }
        NUMBER count = 3;
        ASSERT_EQ(ItemSetNumber(note_, "Count", &count), NOERROR);
        unsigned char prices[4 + 16] = {2, 0, 0, 0};
        double values[2] = {1.5, 2.5};
        std::memcpy(prices + 4, values, sizeof values);
        ASSERT_EQ(ItemAppend(note_, 0, "Prices", 6, TYPE_NUMBER_RANGE, prices, sizeof prices), NOERROR);
        TimeFields fields;
        fields.year = 2021, fields.month = 3, fields.day = 4, fields.hour = 5, fields.minute = 6, fields.second = 7;
        ASSERT_EQ(TimeFromFields(&fields, &when_), NOERROR);
        ASSERT_EQ(ItemSetTime(note_, "When", &when_), NOERROR);
        ASSERT_EQ(ItemAppend(note_, 0, "Body", 4, TYPE_COMPOSITE, "\x85\xff", 2), NOERROR);
        ASSERT_EQ(NoteUpdate(note_, 0), NOERROR);
    }
    void TearDown() override {
        if (note_ != NULLHANDLE) NoteClose(note_);
        if (db_ != NULLHANDLE) DbClose(db_);
    }

    TempDir dir_;
    DBHANDLE db_ = NULLHANDLE;
    NOTEHANDLE note_ = NULLHANDLE;
    TIMEDATE when_;
};

TEST_F(FormulaOnNote, FormulasGiveTypedResults) {
    struct Case {
        std::string formula;
        TypedValue expected;
    };
    std::vector<Case> cases = {
        // Literals and item references.
        {R"("abc")", Text("abc")},
        {R"({a "b" c})", Text(R"(a "b" c)")},
        {R"("a\"b\\c")", Text(R"(a"b\c)")},
        {"[Compose]", Text("Compose")},
        {"Subject", Text("Hello World")},
        {"subject", Text("Hello World")},
        {"Missing", Text("")},
        {"Body", Text("")},
        {"Tags", Texts({"red", "green", "blue"})},
        {"Prices", Numbers({1.5, 2.5})},
        {"When", Time(when_)},
        // Arithmetic, lists and text.
        {"1 + 2 * 3 - 4 / 8", Number(6.5)},
        {"-(1 : 2)", Numbers({-1, -2})},
        {"1 : -2", Numbers({1, -2})},
        {"(1 : 2 : 3) + 10", Numbers({11, 12, 13})},
        {"(1 : 2) + (10 : 20 : 30)", Numbers({11, 22, 32})},
        {"(1 : 2) *+ (10 : 20)", Numbers({11, 21, 12, 22})},
        {"Count * Prices", Numbers({4.5, 7.5})},
        {R"("a" + "b")", Text("ab")},
        {R"(Tags + "!")", Texts({"red!", "green!", "blue!"})},
        {R"("x" : Tags)", Texts({"x", "red", "green", "blue"})},
        // A run of "+" over texts, the shorter list's last entry and the
        // permuted operator's entries used more than once.
        {R"(Tags + "!" + "?" + Subject)", Texts({"red!?Hello World", "green!?Hello World", "blue!?Hello World"})},
        {R"(("a" : "b") + ("1" : "2" : "3") + "x")", Texts({"a1x", "b2x", "b3x"})},
        {R"(("a" : "b") *+ ("1" : "2") + "x" + ("y" : "z"))", Texts({"a1xy", "a2xz", "b1xz", "b2xz"})},
        {R"(t := Tags + ""; u := t + "1" + "2"; t : u : Tags)",
         Texts({"red", "green", "blue", "red12", "green12", "blue12", "red", "green", "blue"})},
        // Comparisons and logic: a list comparison holds when any pair does.
        {R"(Form = "Memo")", Number(1)},
        {R"(Form = "memo")", Number(0)},
        {R"(Tags = "green")", Number(1)},
        {R"(Tags != "red")", Number(1)},
        {R"(!(Tags = "red"))", Number(0)},
        {R"(Tags *= "pink" : "blue")", Number(1)},
        {R"(Tags = "blue" : "red")", Number(0)},
        {R"(Tags = "pink" : "blue")", Number(1)},   // the last entry stands in for the missing ones
        {R"("apple" < "Banana")", Number(1)},
        {"Count >= 3 & Count <= 3", Number(1)},
        {"Count <> 3 | 0", Number(0)},
        {"When = When : @Created", Number(1)},
        {"When > [03/03/2021] & When < [03/05/2021 12:00]", Number(1)},
        // Statements.
        {"x := 5; x * x", Number(25)},
        {"Count := 10; Count", Number(10)},
        {R"(REM "comment"; 7)", Number(7)},
        {R"(DEFAULT Missing := "fallback"; Missing)", Text("fallback")},
        {R"(DEFAULT Subject := "fallback"; Subject)", Text("Hello World")},
        {"x := 1", Text("")},
        {R"(SELECT Form = "Memo")", Number(1)},
        // @functions.
        {"@All", Number(1)},
        {"@True : @False", Numbers({1, 0})},
        {R"(@If(Count > 5; "big"; Count > 2; "medium"; "small"))", Text("medium")},
        {R"(@If(0; @Unknown; "else"))", Text("else")},
        {R"(@Text(Count) + "x")", Text("3x")},
        {"@Text(1.5 : 2 : -0.25)", Texts({"1.5", "2", "-0.25"})},
        {R"(@TextToNumber(" 42 " : "-1.5e1") + 1)", Numbers({43, -14})},
        {R"(@TextToNumber("+.5" : "1e-400" : "1.7976931348623157e308"))", Numbers({0.5, 0, 1.7976931348623157e308})},
        {"1e-400 : 2.5e-400 : -1e-999", Numbers({0, 0, -0.0})},
        {"1.7976931348623157e308 * 1 - 1e308 / 10 * 10", Number(1.7976931348623157e308 - 1e308 / 10 * 10)},
        {"@Left(Subject; 5)", Text("Hello")},
        {R"(@Left(Subject; " "))", Text("Hello")},
        {"@Right(Subject; 5)", Text("World")},
        {R"(@Right(Subject; "o"))", Text(" World")},
        {R"(@Left(Tags; "x"))", Texts({"", "", ""})},
        {"@Left(Tags; 2)", Texts({"re", "gr", "bl"})},
        {R"(@Contains(Subject; "lo W"))", Number(1)},
        {R"(@Contains(Tags; "x" : "ee"))", Number(1)},
        {R"(@Begins(Subject; "World"))", Number(0)},
        // Texts sought that overlap what they follow.
        {R"(@Left("aaaab"; "aab") : @Right("abababcX"; "ababc") : @Left("abcab"; "cab"))", Texts({"aa", "X", "ab"})},
        {R"(@Contains("abcabd" : "x"; "abd") : @Contains("aab"; "ab" : "aaa"))", Numbers({1, 1})},
        {R"(a := "aaaaaaaaaaaaaaaa"; a := a + a + a + a; a := a + a + a + a; )"
         R"(@Contains(a + a + a; a + "b") : @Contains(a + a + "b" + a; a + "b") : @Contains("b"; a))",
         Numbers({0, 1, 0})},
        {"@LowerCase(Subject)", Text("hello world")},
        {"@UpperCase(Tags)", Texts({"RED", "GREEN", "BLUE"})},
        {R"(@Trim("  a   b  "))", Text("a b")},
        {R"(@Trim(" " : "x " : ""))", Text("x")},
        {"@Elements(Tags)", Number(3)},
        {"@Elements(Missing)", Number(0)},
        {R"(@Member("green"; Tags))", Number(2)},
        {R"(@Member("pink"; Tags))", Number(0)},
        {R"(@Implode(Tags; ", "))", Text("red, green, blue")},
        {"@Implode(Tags)", Text("red green blue")},
        {R"(@Explode("a, b;c"))", Texts({"a", "b", "c"})},
        {R"(@Explode("a,,b"; ","; @True))", Texts({"a", "", "b"})},
        {R"(@Explode("a" + @NewLine + "b"; ","))", Texts({"a", "b"})},
        {R"(@Explode("a" + @NewLine + "b"; ","; 0; 0))", Text("a\nb")},
        {R"(@Explode("a" + @NewLine + "b-c;d"; "-"; 0; 0))", Texts({"a\nb", "c;d"})},
        // Separators given many times over (32 KB of them) split as once.
        {R"(s := "-/"; s := s + s + s + s; s := s + s + s + s; s := s + s + s + s; s := s + s + s + s; )"
         R"(s := s + s + s + s; s := s + s + s + s; s := s + s + s + s; @Explode("a-b//c d;e/"; s + ";"; 1))",
         Texts({"a", "b", "", "c d", "e", ""})},
        {"@IsAvailable(Subject) : @IsAvailable(Missing)", Numbers({1, 0})},
        {R"("a" + @NewLine + "b")", Text("a\nb")},
    };
    for (const Case& c : cases) {
        TypedValue result;
        ASSERT_EQ(Evaluate(note_, c.formula, &result), NOERROR) << c.formula << ": " << FormulaLastError();
        EXPECT_EQ(result, c.expected) << c.formula;
    }

    // Text functions work on whole characters, never on parts of one.
    TypedValue result;
    std::string umlauts = NativeToLmbcs("grüße");
    ASSERT_EQ(Evaluate(note_, "@UpperCase(\"" + umlauts + "\")", &result), NOERROR);
    EXPECT_EQ(result, Text(NativeToLmbcs("GRÜSSE")));
    ASSERT_EQ(Evaluate(note_, "@Left(\"" + umlauts + "\"; 3)", &result), NOERROR);
    EXPECT_EQ(result, Text(NativeToLmbcs("grü")));
    ASSERT_EQ(Evaluate(note_, "@Right(\"" + umlauts + "\"; 2)", &result), NOERROR);
    EXPECT_EQ(result, Text(NativeToLmbcs("ße")));
    // A text sought is found where a character starts, never in the second
    // byte of a double-byte character ("ア" ends in the byte of "A").
    const std::string katakana = NativeToLmbcs("アxアAy");
    ASSERT_EQ(Evaluate(note_, "@Left(\"" + katakana + "\"; \"A\") : @Right(\"" + katakana + "\"; \"A\")", &result),
              NOERROR);
    EXPECT_EQ(result, Texts({NativeToLmbcs("アxア"), "y"}));
    ASSERT_EQ(Evaluate(note_, "@Contains(\"" + NativeToLmbcs("アxア") + "\"; \"A\")", &result), NOERROR);
    EXPECT_EQ(result, Number(0));
    // A character beyond 16 bits (an emoji, U+1D400, U+10000 whose units
    // have zero low bytes) is one character: never cut in half.
    const std::string wide = NativeToLmbcs("a\U0001F600\U0001D400\U00010000b");
    ASSERT_EQ(Evaluate(note_, "@Left(\"" + wide + "\"; 2)", &result), NOERROR);
    EXPECT_EQ(result, Text(NativeToLmbcs("a\U0001F600")));
    ASSERT_EQ(Evaluate(note_, "@Right(\"" + wide + "\"; 3)", &result), NOERROR);
    EXPECT_EQ(result, Text(NativeToLmbcs("\U0001D400\U00010000b")));
    ASSERT_EQ(Evaluate(note_, "@Left(\"" + wide + "\"; 4)", &result), NOERROR);
    EXPECT_EQ(result, Text(NativeToLmbcs("a\U0001F600\U0001D400\U00010000")));
}

TEST_F(FormulaOnNote, DocumentFunctionsAndSelection) {
    TypedValue result;
    ORIGINATORID oid;
    NOTEID id = 0;
    TIMEDATE created;
    ASSERT_EQ(NoteGetInfo(note_, NOTE_FIELD_OID, &oid), NOERROR);
    ASSERT_EQ(NoteGetInfo(note_, NOTE_FIELD_ID, &id), NOERROR);
    ASSERT_EQ(NoteGetInfo(note_, NOTE_FIELD_CREATED, &created), NOERROR);
    char unid[33], noteId[16];
    std::snprintf(unid, sizeof unid, "%08X%08X%08X%08X", oid.File.Innards[1], oid.File.Innards[0], oid.Note.Innards[1],
                  oid.Note.Innards[0]);
    std::snprintf(noteId, sizeof noteId, "NT%08X", id);
    ASSERT_EQ(Evaluate(note_, "@DocumentUniqueID", &result), NOERROR);
    EXPECT_EQ(result, Text(unid));
    ASSERT_EQ(Evaluate(note_, "@NoteID", &result), NOERROR);
    EXPECT_EQ(result, Text(noteId));
    ASSERT_EQ(Evaluate(note_, "@Created", &result), NOERROR);
    EXPECT_EQ(result, Time(created));
    ASSERT_EQ(Evaluate(note_, "@Now : @Created", &result), NOERROR);
    EXPECT_EQ(result.type, TYPE_TIME_RANGE);
    EXPECT_EQ(result.times.size(), 4u);

    // The selection answer: the last SELECT, else a true result.
    bool matches = false;
    ASSERT_EQ(Evaluate(note_, R"(SELECT Form = "Memo"; "anything")", &result, &matches), NOERROR);
    EXPECT_TRUE(matches);
    EXPECT_EQ(result, Text("anything"));
    ASSERT_EQ(Evaluate(note_, R"(SELECT Form = "Reply")", &result, &matches), NOERROR);
    EXPECT_FALSE(matches);
    ASSERT_EQ(Evaluate(note_, "Count = 3", &result, &matches), NOERROR);
    EXPECT_TRUE(matches);
    ASSERT_EQ(Evaluate(note_, "Subject", &result, &matches), NOERROR);
    EXPECT_FALSE(matches);

    // Without a note, items read as empty and document functions fail.
    ASSERT_EQ(Evaluate(NULLHANDLE, R"(Subject + "x")", &result), NOERROR);
    EXPECT_EQ(result, Text("x"));
    EXPECT_EQ(Evaluate(NULLHANDLE, "@NoteID", &result), ERR_FORMULA_EVAL);
    EXPECT_NE(std::string(FormulaLastError()).find("@NoteID"), std::string::npos);
}

// A permuted comparison holds when some pair of its entries does: each is
// checked against its pairs compared one by one, over lists with repeated
// entries, texts whose collation and bytes order differently, a negative
// zero, times and a stored number that is not a number. Lists of more than
// 65,535 pairs are compared too: the answer is one number.
TEST_F(FormulaOnNote, PermutedComparisonsHoldWhenSomePairDoes) {
    const std::vector<std::vector<std::vector<std::string>>> families = {
        {{R"("a")"}, {R"("B")", R"("a")"}, {R"("b")", R"("A")", R"("b")"}, {R"("")", R"("ab")"}, {R"("A")", R"("A")"}},
        {{"1"}, {"2", "1"}, {"-0", "0"}, {"3", "3"}, {"1", "2", "3"}, {"0", "-1e10"}, {"Count"}},
        {{"[01/02/2020]"}, {"[01/02/2020]", "[01/03/2020 10:00]"}, {"[01/01/2020]", "When"}, {"When", "When"}},
    };
    const std::vector<std::string> ops = {"=", "!=", "<", ">", "<=", ">="};
    for (const auto& lists : families) {
        for (const auto& left : lists) {
            for (const auto& right : lists) {
                for (const std::string& op : ops) {
                    std::string joinedLeft, joinedRight, pairs;
                    for (const std::string& a : left) joinedLeft += (joinedLeft.empty() ? "" : " : ") + a;
                    for (const std::string& b : right) joinedRight += (joinedRight.empty() ? "" : " : ") + b;
                    for (const std::string& a : left) {
                        for (const std::string& b : right) pairs += (pairs.empty() ? "" : " | ") + ("(" + a + " " + op + " " + b + ")");
                    }
                    const std::string permuted = "(" + joinedLeft + ") *" + op + " (" + joinedRight + ")";
                    TypedValue expected, result;
                    ASSERT_EQ(Evaluate(note_, pairs, &expected), NOERROR) << pairs << ": " << FormulaLastError();
                    ASSERT_EQ(Evaluate(note_, permuted, &result), NOERROR) << permuted << ": " << FormulaLastError();
                    EXPECT_EQ(result, expected) << permuted;
                }
            }
        }
    }

    // A stored number that is not a number, beside 5: paired with any
    // entry it satisfies =, <= and >= alone.
    unsigned char odd[4 + 16] = {2, 0, 0, 0};
    const double values[2] = {std::nan(""), 5};
    std::memcpy(odd + 4, values, sizeof values);
    ASSERT_EQ(ItemAppend(note_, 0, "Odd", 3, TYPE_NUMBER_RANGE, odd, sizeof odd), NOERROR);
    for (const std::string& op : ops) {
        for (const std::string& other : {"5", "7", "3"}) {
            TypedValue expected, result;
            ASSERT_EQ(Evaluate(note_, "Odd " + op + " " + other, &expected), NOERROR) << FormulaLastError();
            ASSERT_EQ(Evaluate(note_, "Odd *" + op + " " + other, &result), NOERROR) << FormulaLastError();
            EXPECT_EQ(result, expected) << "Odd *" << op << " " << other;
            ASSERT_EQ(Evaluate(note_, other + " " + op + " Odd", &expected), NOERROR) << FormulaLastError();
            ASSERT_EQ(Evaluate(note_, other + " *" + op + " Odd", &result), NOERROR) << FormulaLastError();
            EXPECT_EQ(result, expected) << other << " *" << op << " Odd";
        }
    }

    std::string hundreds = "l := 1";
    for (int i = 2; i <= 300; ++i) hundreds += " : " + std::to_string(i);
    hundreds += "; m := l + 300; t := @Text(l); ";
    for (const auto& [formula, answer] : std::vector<std::pair<std::string, double>>{
             {"l *= m", 0}, {"(l : 450) *= m", 1}, {"l *< m", 1}, {"m *< l", 0}, {"m *>= l", 1}, {"l *!= l", 1},
             {"t *= @Text(m)", 0}, {R"(t *= "150")", 1}, {R"(t *> "99")", 0}, {R"(t *>= "99")", 1}}) {
        TypedValue result;
        ASSERT_EQ(Evaluate(note_, hundreds + formula, &result), NOERROR) << formula << ": " << FormulaLastError();
        EXPECT_EQ(result, Number(answer)) << formula;
    }
}

TEST_F(FormulaOnNote, FailuresSayWhatWentWrong) {
    struct Case {
        std::string formula;
        STATUS status;
        std::string named;
    };
    std::vector<Case> cases = {
        {"@IsDocBeingEdited", ERR_FORMULA_UNSUPPORTED, "@IsDocBeingEdited"},
        {HeadTagFormula("Body", "MirratDefault"), ERR_FORMULA_UNSUPPORTED, "@IsDocBeingEdited"},
        {R"(@Command([Compose]; "Memo"))", ERR_FORMULA_UNSUPPORTED, "@Command"},
        {"FIELD Subject := 1", ERR_FORMULA_UNSUPPORTED, "FIELD Subject"},
        {R"(ENVIRONMENT Last := "x")", ERR_FORMULA_UNSUPPORTED, "ENVIRONMENT Last"},
        {"1 / 0", ERR_FORMULA_EVAL, "division by zero"},
        {R"("a" - "b")", ERR_FORMULA_EVAL, "'-' needs numbers"},
        {R"(Subject + 1)", ERR_FORMULA_EVAL, "cannot combine text and number"},
        {R"(1 : "a")", ERR_FORMULA_EVAL, "list cannot join"},
        {R"(@If("yes"; 1; 2))", ERR_FORMULA_EVAL, "@If condition 1"},
        {"@If(1; 2)", ERR_FORMULA_EVAL, "@If"},
        {"@Left(Subject)", ERR_FORMULA_EVAL, "@Left takes 2"},
        {"@UpperCase(Count)", ERR_FORMULA_EVAL, "@UpperCase needs text"},
        {R"(@TextToNumber("12abc"))", ERR_FORMULA_EVAL, "12abc"},
        {R"(@TextToNumber("nan"))", ERR_FORMULA_EVAL, "'nan' is not a number"},
        {R"(@TextToNumber("1" : "-inf"))", ERR_FORMULA_EVAL, "'-inf' is not a number"},
        {R"(@TextToNumber("Infinity"))", ERR_FORMULA_EVAL, "'Infinity' is not a number"},
        {R"(@TextToNumber("+-5"))", ERR_FORMULA_EVAL, "'+-5' is not a number"},
        {R"(@TextToNumber("1e400"))", ERR_FORMULA_EVAL, "'1e400' is out of the range of numbers"},
        {"1e308 * 10", ERR_FORMULA_EVAL, "the result of '*' is not a finite number"},
        {"1e308 + 1e308", ERR_FORMULA_EVAL, "the result of '+' is not a finite number"},
        {"-1e308 - 1e308", ERR_FORMULA_EVAL, "the result of '-' is not a finite number"},
        {"(1 : 2) / (1 : 1e-308)", ERR_FORMULA_EVAL, "the result of '/' is not a finite number"},
        {"(1 : 1e300) ** 1e300", ERR_FORMULA_EVAL, "the result of '**' is not a finite number"},
        {R"(SELECT "yes")", ERR_FORMULA_EVAL, "SELECT"},
        {"@IsAvailable(1)", ERR_FORMULA_EVAL, "field name"},
        {"x := (1:2:3:4:5:6:7:8:9:10:11:12:13:14:15:16); x *+ x *+ x *+ x *+ x", ERR_FORMULA_EVAL, "list too long"},
    };
    for (const Case& c : cases) {
        TypedValue result;
        EXPECT_EQ(Evaluate(note_, c.formula, &result), c.status) << c.formula;
        EXPECT_NE(std::string(FormulaLastError()).find(c.named), std::string::npos)
            << c.formula << ": " << FormulaLastError();
    }
}

TEST(DbSearch, SelectFindsExactlyTheMemos) {
    TempDir dir;
    DBHANDLE db = NULLHANDLE;
    ASSERT_EQ(DbCreate(dir.file("search.nsf").c_str(), &db), NOERROR);
    std::vector<NOTEID> memos;
    DWORD documents = 0;
    for (int i = 0; i < 1000; ++i) {
        NOTEHANDLE note = NULLHANDLE;
        ASSERT_EQ(NoteCreate(db, &note), NOERROR);
        // Design notes with the same item are not documents.
        bool design = i % 100 == 7;
        const char* form = design || i % 3 == 0 ? "Memo" : (i % 3 == 1 ? "Reply" : nullptr);
        if (form != nullptr) {
            ASSERT_EQ(ItemSetText(note, "Form", form, static_cast<WORD>(std::strlen(form))), NOERROR);
        }
        if (design) {
            WORD formClass = NOTE_CLASS_FORM;
            ASSERT_EQ(NoteSetInfo(note, NOTE_FIELD_CLASS, &formClass), NOERROR);
        } else {
            ++documents;
        }
        ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
        NOTEID id = 0;
        NoteGetInfo(note, NOTE_FIELD_ID, &id);
        if (!design && form != nullptr && form[0] == 'M') memos.push_back(id);
        NoteClose(note);
    }

    auto search = [&](const std::string& text, WORD classes, std::vector<NOTEID>* found) {
        DHANDLE compiled = NULLHANDLE;
        WORD length = 0;
        STATUS status = NOERROR;
        if (!text.empty()) status = FormulaCompile(text.data(), static_cast<WORD>(text.size()), &compiled, &length);
        if (status != NOERROR) return status;
        status = DbSearch(db, compiled == NULLHANDLE ? nullptr : MemLock(compiled), classes,
                          [&](const SearchMatch& match) -> STATUS {
                              EXPECT_EQ(match.matchFlags & 1, 1);
                              found->push_back(match.noteId);
                              return NOERROR;
                          });
        if (compiled != NULLHANDLE) MemFree(compiled);
        return status;
    };
    std::vector<NOTEID> found;
    ASSERT_EQ(search(R"(SELECT Form = "Memo")", NOTE_CLASS_DOCUMENT, &found), NOERROR);
    EXPECT_EQ(found, memos);
    found.clear();
    ASSERT_EQ(search("SELECT @All", NOTE_CLASS_DOCUMENT, &found), NOERROR);
    EXPECT_EQ(found.size(), documents);
    found.clear();
    ASSERT_EQ(search("", NOTE_CLASS_DOCUMENT | NOTE_CLASS_FORM, &found), NOERROR);
    EXPECT_EQ(found.size(), 1000u);
    found.clear();
    ASSERT_EQ(search(R"(SELECT Form = "Memo")", NOTE_CLASS_FORM, &found), NOERROR);
    EXPECT_EQ(found.size(), 10u);

    // A callback's status stops the search; an evaluation failure ends it.
    int calls = 0;
    DHANDLE compiled = NULLHANDLE;
    WORD length = 0;
    ASSERT_EQ(FormulaCompile("SELECT @All", 11, &compiled, &length), NOERROR);
    EXPECT_EQ(DbSearch(db, MemLock(compiled), NOTE_CLASS_DOCUMENT, [&](const SearchMatch&) -> STATUS {
                  STATUS stop = ERR_INJECTED;
                  return ++calls == 5 ? stop : NOERROR;
              }),
              ERR_INJECTED);
    EXPECT_EQ(calls, 5);
    MemFree(compiled);
    found.clear();
    EXPECT_EQ(search("SELECT Form + 1", NOTE_CLASS_DOCUMENT, &found), ERR_FORMULA_EVAL);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(search("SELECT @All", 0, &found), ERR_BAD_ARGUMENT);
    DbClose(db);
}

} // namespace
