// The text-run operations: changing fonts, highlighting, testing whether a
// font is used, replacing text in runs and in other records. Results are
// read back from the stored note.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "change_font.h"
#include "core/record_forms.h"
#include "core/signatures.h"
#include "edit_fixture.h"
#include "support/op_runner.h"
#include "support/rich_text_items.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using engine_test::Bracket;
using engine_test::ChangeFont;
using engine_test::FixtureDatabase;
using engine_test::ReadItemRecords;
using engine_test::Records;
using engine_test::Runs;
using talix::kSigBar;
using talix::kSigBegin;
using talix::kSigButton;
using talix::kSigColor;
using talix::kSigEnd;
using talix::kSigPabDefinition;
using talix::kSigPabHide;
using talix::kSigPabReference;
using talix::kSigTableLabel;
using talix::kSigText;
using talix::kSigTextEffect;
using talix::kSigV4HotspotBegin;
using talix_test::FixtureRecord;
using talix_test::HostRecord;
using talix_test::Op;
using talix_test::Operation;
using talix_test::RunOperation;
using talix_test::TextRecord;

constexpr std::uint32_t kPlain = 0x0A000001, kItalic = 0x0A000201, kBold = 0x0A000101;

// A stored record read back, its bytes as a string.
struct StringRec {
    std::uint16_t signature = 0;
    std::string bytes;
    std::uint32_t Font() const { return talix::ReadDword(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 4); }
    std::uint16_t Word(std::size_t at) const { return talix::ReadWord(reinterpret_cast<const std::uint8_t*>(&bytes[at])); }
};
using Saved = std::vector<StringRec>;

std::vector<std::uint16_t> Signatures(const Saved& records) {
    std::vector<std::uint16_t> signatures;
    for (const StringRec& record : records) signatures.push_back(record.signature);
    return signatures;
}
std::vector<std::string> Texts(const Saved& records) {
    std::vector<std::string> texts;
    for (const StringRec& record : records)
        if (record.signature == kSigText && record.bytes.size() > 8) texts.push_back(record.bytes.substr(8));
    return texts;
}
// The first record of a signature whose bytes hold the text.
const StringRec& Find(const Saved& records, std::uint16_t signature, const std::string& holding = "") {
    for (const StringRec& record : records)
        if (record.signature == signature && record.bytes.find(holding) != std::string::npos) return record;
    static const StringRec none;
    ADD_FAILURE() << "no record " << signature << " holding " << holding;
    return none;
}
std::string RecordBytes(const FixtureRecord& record) { return std::string(record.bytes.begin(), record.bytes.end()); }

// A record of a fixed part with a word set in it and a text after it.
FixtureRecord Make(std::uint16_t signature, std::uint32_t fixed, std::size_t at = 0, std::uint32_t value = 0,
                   const std::string& text = "") {
    FixtureRecord record = HostRecord(signature, fixed + static_cast<std::uint32_t>(text.size()));
    if (at != 0) talix_test::PutDword(&record, at, value);
    std::memcpy(record.bytes.data() + fixed, text.data(), text.size());
    return record;
}
FixtureRecord OpenText() { return Bracket(kSigBegin, kSigText); }
FixtureRecord CloseText() { return Bracket(kSigEnd, kSigText); }
FixtureRecord Green() { return Make(kSigColor, 8, 2, 0x80000001); }
FixtureRecord Label(const std::string& name) {
    FixtureRecord record = HostRecord(kSigTableLabel, 140);
    std::memcpy(record.bytes.data() + 4, name.data(), name.size());
    return record;
}
FixtureRecord UrlHotspot(const std::string& url) {
    FixtureRecord record = Make(kSigV4HotspotBegin, 16, 8, 0x1000 | 0x10000, url);
    talix_test::PutWord(&record, 4, 11);
    talix_test::PutWord(&record, 12, static_cast<std::uint16_t>(url.size()));
    return record;
}
std::string Formula(const std::string& text, bool compile) {
    plat::DHANDLE handle = 0;
    plat::WORD length = 0;
    const plat::STATUS status =
        compile ? plat::FormulaCompile(text.data(), static_cast<plat::WORD>(text.size()), &handle, &length)
                : plat::FormulaDecompile(text.data(), static_cast<plat::WORD>(text.size()), &handle, &length);
    if (status != 0) return "<failed>";
    std::string result(static_cast<const char*>(plat::MemLock(handle)), length);
    plat::MemUnlock(handle);
    plat::MemFree(handle);
    return result;
}

Records Body(std::initializer_list<FixtureRecord> records) {
    Records body = Runs({});
    body.insert(body.end(), records);
    return body;
}

// A search operation: the search text as second argument with its length.
Operation Search(talix::OperationCode code, const char* search, const char* replacement = nullptr,
                 std::uint16_t parts = 0) {
    Operation operation = Op(code, 0, static_cast<std::uint16_t>(std::strlen(search)), replacement);
    operation.second = search;
    operation.a4 = parts;
    return operation;
}

// Reads an item's body through the record reader; "" or the structure
// checker's complaint in *problem.
Saved ReadBody(const std::string& path, plat::NOTEID id, const char* name, std::string* problem = nullptr) {
    std::vector<engine_test::Rec> read;
    const std::string found = ReadItemRecords(path, id, name, /*checkStructure=*/true, &read);
    if (problem != nullptr) *problem = found;
    Saved records;
    for (const engine_test::Rec& record : read)
        records.push_back({record.signature, std::string(record.bytes.begin(), record.bytes.end())});
    return records;
}

class TextRunTest : public ::testing::Test {
protected:
    ZervaRTChunk* Open(const Records& records, const char* definition = "Everything") {
        id_ = db_.AddNote(records);
        EXPECT_EQ(item_.Connect("", db_.path().c_str(), id_, "Body", 0), 0);
        return item_.DefineChunk(definition);
    }
    // Runs the operation on the whole item, saves and reads the body back.
    Saved Run(const Operation& operation) {
        EXPECT_EQ(RunOperation(item_.DefineChunk("Everything"), operation), 0);
        EXPECT_EQ(item_.Save(), 0);
        std::string problem;
        Saved records = ReadBody(db_.path(), id_, "Body", &problem);
        EXPECT_EQ(problem, "");
        return records;
    }

    FixtureDatabase db_;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    plat::NOTEID id_ = 0;
};

TEST_F(TextRunTest, ChangeFontChangesTheRunsAndControlsThatMeetTheCriteria) {
    const Records body = Body({TextRecord(kPlain, "plain"), TextRecord(kItalic, "italic"), OpenText(),
                               TextRecord(kItalic, "green"), Green(), CloseText(),
                               Make(kSigButton, 16, 12, kItalic, "Press"), Make(kSigBar, 12, 8, kPlain, "Section")});
    Open(body);
    Saved records = Run(ChangeFont("+BOLD", "+ITALIC"));
    ASSERT_EQ(Signatures(records), (std::vector<std::uint16_t>{kSigPabDefinition, kSigPabReference, kSigText, kSigText,
                                                               kSigBegin, kSigText, kSigColor, kSigEnd, kSigButton,
                                                               kSigBar, kSigText}));
    // What does not meet the criteria stays byte for byte; the button too,
    // as controls were not asked for.
    EXPECT_EQ(records[2].bytes, RecordBytes(body[2]));
    EXPECT_EQ(records[8].bytes, RecordBytes(body[8]));
    EXPECT_EQ(records[3].Font(), 0x0A000301u);
    EXPECT_EQ(records[5].Font(), 0x0A000301u);
    EXPECT_EQ(records[6].bytes, RecordBytes(body[6]));   // the run keeps its colour

    // A colour gives every run its colour record in a bracket of its own;
    // controls get theirs in a bracket of their own signature.
    records = Run(ChangeFont("BLUE", nullptr, 1));
    EXPECT_EQ(Texts(records), (std::vector<std::string>{"plain", "italic", "green"}));
    for (std::size_t i = 2; i + 1 < records.size(); i += 4) {
        EXPECT_EQ(records[i].signature, kSigBegin);
        EXPECT_EQ(records[i].Word(4), records[i + 1].signature);
        EXPECT_EQ(records[i + 2].signature, kSigColor);
        EXPECT_EQ(records[i + 2].bytes.substr(2, 5), std::string("\x01\x00\x00\x00\xFF", 5));   // RGB blue
        EXPECT_EQ(records[i + 3].signature, kSigEnd);
    }
    EXPECT_EQ(Find(records, kSigText, "plain").bytes[6], 4);   // colour index of blue
    EXPECT_EQ(Find(records, kSigButton).bytes[14], 4);
    EXPECT_EQ(Find(records, kSigBar).bytes.substr(10), std::string("\x04\x0A", 2) + "Section");
}

// Whether every text bracket holds a text record before its end.
bool EveryTextBracketHoldsText(const Saved& records) {
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].signature != kSigBegin || records[i].Word(4) != kSigText) continue;
        std::size_t j = i + 1;
        while (j < records.size() && records[j].signature != kSigText && records[j].signature != kSigEnd) ++j;
        if (j == records.size() || records[j].signature != kSigText) return false;
    }
    return true;
}

TEST_F(TextRunTest, EmptyTextAfterAnEmptyRunLeavesNoEmptyBracket) {
    // A coloured run replaced whole by nothing, right after an empty run:
    // the run goes with its bracket and colour.
    const Records body = Body({TextRecord(kPlain, "a"), TextRecord(kPlain, ""), OpenText(), TextRecord(kItalic, "gone"),
                               Green(), CloseText(), TextRecord(kPlain, "b")});
    Open(body);
    Saved records = Run(Search(talix::kOpReplaceText, "gone", "", 1));
    EXPECT_EQ(Texts(records), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(EveryTextBracketHoldsText(records));
    EXPECT_EQ(Signatures(records), (std::vector<std::uint16_t>{kSigPabDefinition, kSigPabReference, kSigText,
                                                               kSigText, kSigText, kSigText}));

    // Without an empty run before it, the emptied run keeps its bracket.
    Open(Body({TextRecord(kPlain, "a"), OpenText(), TextRecord(kItalic, "gone"), Green(), CloseText()}));
    records = Run(Search(talix::kOpReplaceText, "gone", "", 1));
    EXPECT_EQ(Signatures(records), (std::vector<std::uint16_t>{kSigPabDefinition, kSigPabReference, kSigText,
                                                               kSigBegin, kSigText, kSigColor, kSigEnd}));

    // Empty new text in a colour over a chunk whose first run is empty.
    Open(Body({TextRecord(kPlain, ""), TextRecord(kPlain, "old")}));
    records = Run(talix_test::TextOperation(talix::kOpSetText, "", "RED"));
    EXPECT_TRUE(Texts(records).empty());
    EXPECT_TRUE(EveryTextBracketHoldsText(records));
    EXPECT_EQ(Signatures(records), (std::vector<std::uint16_t>{kSigPabDefinition, kSigPabReference, kSigText}));
}

TEST_F(TextRunTest, HighlightingSplitsRunsAtEveryMatchAndKeepsTheRest) {
    Open(Body({TextRecord(kPlain, "xxabyyab"), TextRecord(kPlain, "none here"), OpenText(), TextRecord(kPlain, "1ab2"),
               Green(), CloseText()}));
    const Saved records = Run(Search(talix::kOpHighlightText, "ab"));
    EXPECT_EQ(Texts(records), (std::vector<std::string>{"xx", "ab", "yy", "ab", "none here", "1", "ab", "2"}));
    EXPECT_EQ(Signatures(records),
              (std::vector<std::uint16_t>{kSigPabDefinition, kSigPabReference, kSigText, kSigBegin, kSigText, kSigColor,
                                          kSigEnd, kSigText, kSigBegin, kSigText, kSigColor, kSigEnd, kSigText,
                                          kSigBegin, kSigText, kSigColor, kSigEnd, kSigBegin, kSigText, kSigColor,
                                          kSigEnd, kSigBegin, kSigText, kSigColor, kSigEnd, kSigText}));
    // The matches are red and bold; the pieces between keep the run's look.
    EXPECT_EQ(records[4].Font(), 0x0A020101u);
    EXPECT_EQ(records[7].Font(), kPlain);
    EXPECT_EQ(records[15].bytes, RecordBytes(Green()));
    EXPECT_EQ(records[19].bytes.substr(2, 4), std::string("\x01\x00\xFF\x00", 4));   // RGB red
    EXPECT_EQ(records[23].bytes, RecordBytes(Green()));
}

TEST_F(TextRunTest, FontInUseAndHighlightLookAtEveryRun) {
    ZervaRTChunk* chunk = Open(Body({TextRecord(kPlain, "a"), TextRecord(kItalic, "b")}));
    const std::vector<std::string> stored = db_.Stored(id_);
    std::strcpy(session_.messageBuffer, "0");
    ASSERT_EQ(RunOperation(chunk, Op(talix::kOpFontInUse, 0, 0, "+BOLD")), 0);
    EXPECT_STREQ(session_.messageBuffer, "0");
    ASSERT_EQ(RunOperation(chunk, Op(talix::kOpFontInUse, 0, 0, "+ITALIC")), 0);
    EXPECT_STREQ(session_.messageBuffer, "1");
    EXPECT_EQ(db_.Stored(id_), stored);

    char* highlightFont = item_.highlightFont;
    item_.highlightFont = const_cast<char*>("+UNDERLINE");
    const Saved records = Run(Op(talix::kOpHighlight));
    item_.highlightFont = highlightFont;
    EXPECT_EQ(Find(records, kSigText, "a").Font(), 0x0A000401u);
    EXPECT_EQ(Find(records, kSigText, "b").Font(), 0x0A000601u);
}

TEST_F(TextRunTest, QuickReplaceChangesOnlyThePartsItIsGiven) {
    const Records body = Body({TextRecord(kPlain, "Go to site"), Make(kSigButton, 16, 12, kPlain, "Go button"),
                               Make(kSigBar, 12, 8, kPlain, "Go section"), UrlHotspot("http://go.example/"),
                               Make(kSigPabHide, 14, 0, 0, Formula("Subject = \"go\"", true)),
                               Label("go tab")});
    Open(body);
    Saved records = Run(Search(talix::kOpReplaceText, "go", "went", 2));
    EXPECT_EQ(Texts(records), std::vector<std::string>{"Go to site"});
    EXPECT_EQ(Find(records, kSigButton).bytes.substr(16), "went button");
    EXPECT_EQ(Find(records, kSigButton).Word(2), 27);   // an odd label keeps its exact length
    EXPECT_EQ(Find(records, kSigBar).bytes.substr(12), "went section");
    EXPECT_EQ(Find(records, kSigV4HotspotBegin).bytes, RecordBytes(body[5]));
    EXPECT_EQ(Find(records, kSigPabHide).bytes, RecordBytes(body[6]));
    EXPECT_STREQ(Find(records, kSigTableLabel).bytes.c_str() + 4, "went tab");

    // A longer URL: an even record length and its data length updated; the
    // same length keeps the record's length.
    records = Run(Search(talix::kOpReplaceText, "go", "went", 16));
    EXPECT_EQ(Find(records, kSigV4HotspotBegin).bytes.substr(0, 16 + 20),
              std::string("\xAD\xFF\x24\x00\x0B\x00\x00\x00\x00\x10\x00\x00\x14\x00\x00\x00", 16) +
                  "http://went.example/");
    records = Run(Search(talix::kOpReplaceText, "went", "came", 16));
    EXPECT_EQ(Find(records, kSigV4HotspotBegin).bytes.substr(2, 2), std::string("\x24\x00", 2));
    EXPECT_EQ(Find(records, kSigV4HotspotBegin).bytes.substr(16, 20), "http://came.example/");

    // A hide-when formula is replaced through its text; text runs only when
    // asked (and then split like a highlight).
    records = Run(Search(talix::kOpReplaceText, "go", "stay", 8));
    EXPECT_EQ(Formula(Find(records, kSigPabHide).bytes.substr(14), false), "Subject = \"stay\"");
    records = Run(Search(talix::kOpReplaceText, "go", "went", 1));
    EXPECT_EQ(Texts(records), (std::vector<std::string>{"went", " to site"}));
}

TEST_F(TextRunTest, RestyleKeepsTheMatchedLengthInTheSecondSpecification) {
    ZervaRTChunk* chunk = Open(Runs({"one two"}));
    chunk->eventReturn[1] = const_cast<char*>("+BOLD");
    ASSERT_EQ(RunOperation(chunk, Search(talix::kOpQuickReplace, "two", "TWO!")), 0);
    chunk->eventReturn[1] = nullptr;
    const Saved records = Run(Op(talix::kOpGetText));
    EXPECT_EQ(Texts(records), (std::vector<std::string>{"one ", "TWO"}));
    EXPECT_EQ(Find(records, kSigText, "TWO").Font(), kBold);
}

TEST_F(TextRunTest, WhatCannotBeStoredFailsAndLeavesTheItem) {
    // A URL whose rewritten form outgrows the search buffer; a replacement
    // longer than a text run holds; a bracket closed before any text.
    const std::string longText(65000, 'x');
    Operation tooLong = Search(talix::kOpReplaceText, "b", longText.c_str(), 1);
    tooLong.op2 = static_cast<std::uint16_t>(longText.size());
    const std::pair<Records, Operation> cases[] = {
        {Body({UrlHotspot(std::string(3000, 'a'))}), Search(talix::kOpReplaceText, "a", "aaa", 16)},
        {Runs({"abc"}), tooLong},
        {Body({OpenText(), CloseText(), TextRecord(kPlain, "a")}), ChangeFont("+BOLD")},
    };
    for (const auto& [body, operation] : cases) {
        ZervaRTChunk* chunk = Open(body);
        const std::vector<std::string> stored = db_.Stored(id_);
        EXPECT_NE(RunOperation(chunk, operation), 0);
        EXPECT_EQ(db_.Stored(id_), stored);
    }
    // A tab label's name is cut to 127 bytes.
    Open(Body({Label("ab")}));
    const std::string longName(200, 'n');
    const Saved records = Run(Search(talix::kOpReplaceText, "b", longName.c_str(), 2));
    EXPECT_EQ(Find(records, kSigTableLabel).bytes.size(), 140u);
    EXPECT_EQ(std::string(Find(records, kSigTableLabel).bytes.c_str() + 4), "a" + longName.substr(0, 126));
}

TEST_F(TextRunTest, ARunIsReadWholeAndWrittenOnce) {
    // A chunk that ends inside a bracketed run.
    const Records body =
        Body({OpenText(), TextRecord(kPlain, "a"), Green(), CloseText(), TextRecord(kPlain, "b")});
    ASSERT_EQ(RunOperation(Open(body, "Before Record 5"), ChangeFont("+BOLD")), 0);
    Saved records = Run(Op(talix::kOpGetText));
    ASSERT_EQ(Signatures(records),
              (std::vector<std::uint16_t>{kSigPabDefinition, kSigPabReference, kSigBegin, kSigText, kSigColor, kSigEnd,
                                          kSigText, kSigText}));
    EXPECT_EQ(records[3].Font(), kBold);
    EXPECT_EQ(records[6].Font(), kPlain);

    // A text-effect record carries the font that is changed.
    Open(Body({Make(kSigTextEffect, 8, 4, 0x0A008001), TextRecord(kPlain, "shadow")}));
    records = Run(ChangeFont("+BOLD"));
    ASSERT_EQ(Signatures(records),
              (std::vector<std::uint16_t>{kSigPabDefinition, kSigPabReference, kSigTextEffect, kSigText, kSigText}));
    EXPECT_EQ(records[2].Font(), 0x0A008101u);
    EXPECT_EQ(records[3].Font(), 0x0A008101u);
}

// Changing the font of every rich-text item of the exported notes keeps the
// text, and what is saved passes the structure check whenever the stored
// item did (real data also closes a hotspot's BEGIN with the END of the
// hotspot's end record, which the checker does not pair).
TEST(TextRunRealData, ChangingTheFontOfEverythingKeepsTheText) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    std::vector<talix_test::NoteItem> targets;
    const auto files = talix_test::SampleAndSharedDxlFiles();
    ASSERT_EQ(talix_test::ImportRichTextItems(path, files, /*withImageData=*/false, &targets), plat::NOERROR);

    int changed = 0;
    for (const auto& [id, name] : targets) {
        SCOPED_TRACE("note " + std::to_string(id) + " item " + name);
        std::string before;
        const Saved original = ReadBody(path, id, name.c_str(), &before);
        if (before == "<unreadable>") continue;
        RARIvoSession session;
        ZervaRTItem item(&session);
        ASSERT_EQ(item.Connect("", path.c_str(), id, name.c_str(), 0), 0);
        ASSERT_EQ(RunOperation(item.DefineChunk("Everything"), ChangeFont("BLUE +BOLD")), 0);
        ASSERT_EQ(item.Save(), 0);
        ++changed;
        std::string after;
        const Saved saved = ReadBody(path, id, name.c_str(), &after);
        if (before.empty()) EXPECT_EQ(after, "");
        EXPECT_EQ(Texts(saved), Texts(original));
    }
    EXPECT_GT(changed, 20);
}

} // namespace
