// Chunk properties named as @DbCommand functions: read with the addressing
// arguments alone, set with one argument more.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/database_open.h"
#include "driver_calls.h"
#include "talix/driver.h"

namespace {

using namespace talix_test;

class ChunkProperties : public DriverCallTest {
protected:
    void SetUp() override {
        DriverCallTest::SetUp();
        plat::DBHANDLE db = plat::NULLHANDLE;
        ASSERT_EQ(plat::DbOpen("calls.nsf", &db), plat::NOERROR);
        plat::DxlImportResult imported;
        ASSERT_EQ(plat::DxlImportFile(db, (SampleDxlDir() / "styledtext.xml").string().c_str(), &imported),
                  plat::NOERROR)
            << imported.error;
        plat::DbClose(db);
        ASSERT_FALSE(imported.notes.empty());
        noteId_ = imported.notes.front();
    }
    void TearDown() override {
        if (context_ != nullptr) DriverCallTest::TearDown();
    }
    std::vector<std::string> Property(const std::string& name, std::vector<std::string> value = {}) {
        std::vector<std::string> args = {TextArg(name)};
        for (const std::string& arg : At()) args.push_back(arg);
        for (const std::string& arg : value) args.push_back(arg);
        return args;
    }
    plat::TIMEDATE Modified() {
        plat::DBHANDLE db = plat::NULLHANDLE;
        plat::TIMEDATE modified;
        if (plat::DbOpen("calls.nsf", &db) == plat::NOERROR) {
            plat::DbNoteInfo(db, noteId_, nullptr, &modified, nullptr);
            plat::DbClose(db);
        }
        return modified;
    }
};

TEST_F(ChunkProperties, TextIsReadAndReplacedAndTheNoteSaved) {
    DriverOutcome read = Command(Property("Text"));
    ASSERT_EQ(read.status, 0);
    ASSERT_GE(read.result.size(), 2u);
    EXPECT_EQ(read.result.substr(0, 2), TypeWord(plat::TYPE_TEXT));
    EXPECT_GT(read.result.size(), 2u);

    plat::TIMEDATE before = Modified();
    DriverOutcome set = Command(Property("text", {TextArg("Replaced")}));
    ASSERT_EQ(set.status, 0);
    EXPECT_EQ(set.result, TypeWord(0));
    plat::TIMEDATE after = Modified();
    EXPECT_TRUE(before.Innards[0] != after.Innards[0] || before.Innards[1] != after.Innards[1]);
    read = Command(Property("Text"));
    EXPECT_NE(read.result.find("Replaced"), std::string::npos);
}

TEST_F(ChunkProperties, ItemsOfAnotherTypeAreReadButNeverReplaced) {
    // The type word of the stored item of the name (0 when there is none).
    auto storedType = [this](const char* name) {
        plat::DBHANDLE db = plat::NULLHANDLE;
        plat::NOTEHANDLE note = plat::NULLHANDLE;
        std::uint16_t type = 0;
        if (plat::DbOpen("calls.nsf", &db) == plat::NOERROR && plat::NoteOpen(db, noteId_, 0, &note) == plat::NOERROR)
            type = talix::GetItemDataType(note, name);
        if (note != plat::NULLHANDLE) plat::NoteClose(note);
        if (db != plat::NULLHANDLE) plat::DbClose(db);
        return type;
    };
    auto in = [this](const char* item, const std::vector<std::string>& name, std::vector<std::string> value = {}) {
        std::vector<std::string> args = name;
        args.push_back(TextArg(""));
        args.push_back(TextArg("N" + HexNoteId(noteId_)));
        args.push_back(TextArg(item));
        for (const std::string& arg : value) args.push_back(arg);
        return args;
    };
    ASSERT_EQ(storedType("Status"), plat::TYPE_TEXT);
    ASSERT_EQ(storedType("Readers"), plat::TYPE_TEXT_LIST);
    ASSERT_EQ(storedType("Posted"), plat::TYPE_TIME);

    // Read, such an item gives its value as text.
    DriverOutcome read = Command(in("Status", {TextArg("Text")}));
    EXPECT_EQ(read.status, 0);
    EXPECT_EQ(read.result, TypeWord(plat::TYPE_TEXT) + "Draft");

    // A call that would write it back as rich text is refused, and the item,
    // its value and the note are left as they were.
    const plat::TIMEDATE before = Modified();
    ShownMessages().clear();
    EXPECT_EQ(Command(in("Readers", {TextArg("Text")}, {TextArg("x")})).status, talix::kDrvWrongArgumentType);
    EXPECT_EQ(Command(in("Posted", {TextListArg({"Create", "", "Text=y"})})).status, talix::kDrvWrongArgumentType);
    EXPECT_EQ(Command(in("Status", {TextArg("CaseSensitive")}, {NumberArg(1)})).status,
              talix::kDrvWrongArgumentType);
    EXPECT_EQ(ShownMessages(),
              (std::vector<std::string>{
                  "@Talix: The item 'Readers' is not rich text (data type 0x0501): it is left as it is.",
                  "@Talix: The item 'Posted' is not rich text (data type 0x0400): it is left as it is.",
                  "@Talix: The item 'Status' is not rich text (data type 0x0500): it is left as it is."}));
    EXPECT_EQ(storedType("Readers"), plat::TYPE_TEXT_LIST);
    EXPECT_EQ(storedType("Posted"), plat::TYPE_TIME);
    EXPECT_EQ(storedType("Status"), plat::TYPE_TEXT);
    const plat::TIMEDATE after = Modified();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(Command(in("Status", {TextArg("Text")})).result, TypeWord(plat::TYPE_TEXT) + "Draft");

    // A missing item is still created as rich text.
    EXPECT_EQ(Command(in("Fresh", {TextArg("Text")}, {TextArg("new")})).status, 0);
    EXPECT_EQ(storedType("Fresh"), plat::TYPE_COMPOSITE);
}

TEST_F(ChunkProperties, PropertiesAfterAnItemFunctionReachTheChunkItNames) {
    // "Create" with the property string "Text=..." to apply after it, on
    // the first paragraph: the other paragraphs stay.
    std::vector<std::string> read = {TextArg("Text"), TextArg(""), TextArg("N" + HexNoteId(noteId_)),
                                     TextListArg({"Body", "Paragraph 3"})};
    const std::string third = Command(read).result;
    EXPECT_EQ(third, TypeWord(plat::TYPE_TEXT) + "This is monospace text");
    std::vector<std::string> create = {TextListArg({"Create", "", "Text='First'"}), TextArg(""),
                                       TextArg("N" + HexNoteId(noteId_)), TextListArg({"Body", "Paragraph 1"})};
    ASSERT_EQ(Command(create).status, 0);
    EXPECT_EQ(Command(read).result, third);
    read.back() = TextListArg({"Body", "Paragraph 1"});
    EXPECT_EQ(Command(read).result, TypeWord(plat::TYPE_TEXT) + "First");
}

TEST_F(ChunkProperties, AnItemThatCannotBeReadIsNotReadAsEmpty) {
    // A record whose length runs past the item's end.
    plat::DBHANDLE db = plat::NULLHANDLE;
    plat::NOTEHANDLE note = plat::NULLHANDLE;
    ASSERT_EQ(plat::DbOpen("calls.nsf", &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteOpen(db, noteId_, 0, &note), plat::NOERROR);
    const unsigned char broken[] = {0x01, 0x00, 0x17, 0x00, 0, 0, 0, 0, 0};
    ASSERT_EQ(plat::ItemAppend(note, 0, "Broken", 6, plat::TYPE_COMPOSITE, broken, sizeof broken), plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteClose(note);
    plat::DbClose(db);

    for (const char* name : {"Text", "Exists", "PointSize"}) {
        std::vector<std::string> args = {TextArg(name)};
        for (const std::string& arg : At("Broken")) args.push_back(arg);
        DriverOutcome run = Command(args);
        EXPECT_NE(run.status, 0) << name;
    }
}

TEST_F(ChunkProperties, TextIsSetInAnItemWithoutRecords) {
    // An item that holds its data-type word alone, as some of real design
    // notes do: the text set is the first thing it holds, and it stays.
    plat::DBHANDLE db = plat::NULLHANDLE;
    plat::NOTEHANDLE note = plat::NULLHANDLE;
    ASSERT_EQ(plat::DbOpen("calls.nsf", &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteOpen(db, noteId_, 0, &note), plat::NOERROR);
    ASSERT_EQ(plat::ItemAppend(note, 0, "$Code", 5, plat::TYPE_COMPOSITE, nullptr, 0), plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteClose(note);
    plat::DbClose(db);

    std::vector<std::string> args = {TextArg("Text")};
    for (const std::string& arg : At("$Code")) args.push_back(arg);
    std::vector<std::string> set = args;
    set.push_back(TextArg("New text"));
    ASSERT_EQ(Command(set).status, 0);
    DriverOutcome read = Command(args);
    ASSERT_EQ(read.status, 0);
    EXPECT_EQ(read.result, TypeWord(plat::TYPE_TEXT) + "New text");
}

TEST_F(ChunkProperties, SettersRefuseWhatTheyCannotTake) {
    DriverOutcome run = Command(Property("Exists", {NumberArg(1)}));
    EXPECT_EQ(run.status, 12550);
    bool shown = false;
    for (const auto& message : ShownMessages())
        shown = shown || message.find("Unable to set read-only property 'Exists'") != std::string::npos;
    EXPECT_TRUE(shown);

    // A number that a 16-bit field cannot hold is refused, not cut to 0.
    for (const std::string& value : {NumberArg(65536), TextArg("65536"), NumberArg(-32769), NumberArg(1e10)}) {
        ShownMessages().clear();
        EXPECT_EQ(Command(Property("CaseSensitive", {value})).status, 12550);
        EXPECT_EQ(ShownMessages(), (std::vector<std::string>{
                                       "Talix: Unable to set property 'CaseSensitive': the value must be a whole "
                                       "number from -32768 to 65535"}));
    }
    EXPECT_EQ(Command(Property("CaseSensitive", {NumberArg(65535)})).status, 0);

    // A property the chunk reads but does not set this way is refused with
    // a word of why, once.
    ShownMessages().clear();
    EXPECT_EQ(Command(Property("Font", {TextArg("Bold 12pt")})).status, 12550);
    EXPECT_EQ(Command(Property("PointSize", {NumberArg(12)})).status, 12550);
    EXPECT_EQ(ShownMessages(), (std::vector<std::string>{
                                   "@Talix: The chunk property Font cannot be set here; nothing was set.",
                                   "Talix: No handler enabled to set property 'PointSize'"}));

    // A property of records the chunk does not hold (a button's text, a
    // section's title, a link's URL in text runs alone) is refused, and the
    // note is not saved as if it had been set.
    const plat::TIMEDATE before = Modified();
    ShownMessages().clear();
    EXPECT_EQ(Command(Property("ButtonText", {TextArg("Press")})).status, 12550);
    EXPECT_EQ(Command(Property("SectionTitle", {TextArg("Title")})).status, 12550);
    EXPECT_EQ(Command(Property("LinkHintServer", {TextArg("Server")})).status, 12550);
    EXPECT_EQ(Command(Property("GraphicStorage", {TextArg("Inline")})).status, 12550);
    EXPECT_EQ(ShownMessages(), (std::vector<std::string>{
                                   "@Talix: 'Everything' holds nothing that takes ButtonText; nothing was set.",
                                   "@Talix: 'Everything' holds nothing that takes SectionTitle; nothing was set.",
                                   "@Talix: 'Everything' holds nothing that takes LinkHintServer; nothing was set.",
                                   "@Talix: 'Everything' holds nothing that takes GraphicStorage; nothing was set."}));
    const plat::TIMEDATE after = Modified();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);

    // So is a font or paragraph style that names nothing of a font or a
    // paragraph: it would change no run while the set passed.
    ShownMessages().clear();
    EXPECT_EQ(Command(Property("FontColor", {TextArg("nonsense")})).status, 12550);
    EXPECT_EQ(Command(Property("TextAttributes", {TextArg("")})).status, 12550);
    EXPECT_EQ(Command(Property("ParagraphStyle", {TextArg("wobbly")})).status, 12550);
    EXPECT_EQ(ShownMessages(),
              (std::vector<std::string>{
                  "Talix: Unable to set property 'FontColor': the value names nothing of a font",
                  "Talix: Unable to set property 'TextAttributes': the value names nothing of a font",
                  "Talix: Unable to set property 'ParagraphStyle': the value names nothing of a paragraph"}));
    const plat::TIMEDATE unchanged = Modified();
    EXPECT_EQ(std::memcmp(&before, &unchanged, sizeof before), 0);
    EXPECT_EQ(Command(Property("FontColor", {TextArg("Red")})).status, 0);

    // A number property takes a number, or a text holding one.
    EXPECT_EQ(Command(Property("CaseSensitive", {NumberArg(1)})).status, 0);
    EXPECT_EQ(Command(Property("CaseSensitive", {TextArg("1")})).status, 0);
    ShownMessages().clear();
    EXPECT_EQ(Command(Property("CaseSensitive", {TextArg("")})).status, 12545);
    EXPECT_EQ(Command(Property("CaseSensitive", {TimeArg()})).status, 12546);
    EXPECT_EQ(Command(Property("Text", {NumberArg(1)})).status, 12546);
    EXPECT_EQ(ShownMessages(), (std::vector<std::string>{
                                   "@Talix: The value of CaseSensitive is an empty text.",
                                   "@Talix: The value of CaseSensitive is neither a number nor a text.",
                                   "@Talix: The value of Text is not a text."}));

    // A text that is not a decimal number is refused, not set as 0; so is a
    // number that is not finite.
    ShownMessages().clear();
    EXPECT_EQ(Command(Property("CaseSensitive", {TextArg(" 2.5 ")})).status, 0);
    EXPECT_EQ(Command(Property("CaseSensitive", {TextArg("yes")})).status, 12546);
    EXPECT_EQ(Command(Property("CaseSensitive", {TextArg("nan")})).status, 12546);
    EXPECT_EQ(Command(Property("CaseSensitive", {TextArg("1abc")})).status, 12546);
    EXPECT_EQ(Command(Property("CaseSensitive", {TextArg("1e999")})).status, 12546);
    EXPECT_EQ(Command(Property("CaseSensitive", {NumberArg(HUGE_VAL)})).status, 12546);
    EXPECT_EQ(ShownMessages(), (std::vector<std::string>{
                                   "@Talix: The value of CaseSensitive is not a number: 'yes'.",
                                   "@Talix: The value of CaseSensitive is not a number: 'nan'.",
                                   "@Talix: The value of CaseSensitive is not a number: '1abc'.",
                                   "@Talix: The value of CaseSensitive is not a number: '1e999'.",
                                   "@Talix: The value of CaseSensitive is not a finite number.",
                               }));
}

TEST_F(ChunkProperties, AValueIsOneEntryNotAList) {
    const std::string before = Command(Property("Text")).result;
    ShownMessages().clear();
    EXPECT_EQ(Command(Property("Text", {TextListArg({"first", "second"})})).status, 12546);
    EXPECT_EQ(Command(Property("Text", {TextListArg({})})).status, 12546);
    EXPECT_EQ(Command(Property("CaseSensitive", {NumberListArg({1, 0})})).status, 12546);
    EXPECT_EQ(Command(Property("CaseSensitive", {NumberListArg({})})).status, 12546);
    // So are values after the first one.
    EXPECT_EQ(Command(Property("Text", {TextArg("first"), TextArg("second")})).status, 12546);
    EXPECT_EQ(Command(Property("CaseSensitive", {NumberArg(1), NumberArg(0), TextArg("x")})).status, 12546);
    EXPECT_EQ(ShownMessages(), (std::vector<std::string>{
                                   "@Talix: Text takes one value, not a list of 2.",
                                   "@Talix: Text takes one value, not a list of 0.",
                                   "@Talix: CaseSensitive takes one value, not a list of 2.",
                                   "@Talix: CaseSensitive takes one value, not a list of 0.",
                                   "@Talix: Text takes one value, not 2.",
                                   "@Talix: CaseSensitive takes one value, not 3.",
                               }));
    EXPECT_EQ(Command(Property("Text")).result, before);
    // A list of one entry is that value.
    ASSERT_EQ(Command(Property("Text", {TextListArg({"only"})})).status, 0);
    EXPECT_NE(Command(Property("Text")).result.find("only"), std::string::npos);
    EXPECT_EQ(Command(Property("CaseSensitive", {NumberListArg({1})})).status, 0);
}

TEST_F(ChunkProperties, LongTextsAreSetWholeOrRefused) {
    plat::DBHANDLE db = plat::NULLHANDLE;
    plat::NOTEHANDLE note = plat::NULLHANDLE;
    ASSERT_EQ(plat::DbOpen("calls.nsf", &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteOpen(db, noteId_, 0, &note), plat::NOERROR);
    ASSERT_EQ(plat::ItemAppend(note, 0, "Long", 4, plat::TYPE_COMPOSITE, nullptr, 0), plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteClose(note);
    plat::DbClose(db);
    std::vector<std::string> args = {TextArg("Text")};
    for (const std::string& arg : At("Long")) args.push_back(arg);

    // Longer than the driver's 8,192-byte scratch text: every byte is kept.
    std::string text;
    for (int i = 0; text.size() < 20000; ++i) text += "word" + std::to_string(i) + " ";
    std::vector<std::string> set = args;
    set.push_back(TextArg(text));
    ASSERT_EQ(Command(set).status, 0);
    DriverOutcome read = Command(args);
    ASSERT_EQ(read.status, 0);
    EXPECT_EQ(read.result, TypeWord(plat::TYPE_TEXT) + text);

    // Longer than a property takes: refused, and the text before stays.
    ShownMessages().clear();
    set = args;
    set.push_back(TextArg(std::string(70000, 'x')));
    EXPECT_EQ(Command(set).status, 1028);
    EXPECT_EQ(ShownMessages(), std::vector<std::string>{
                                   "@Talix: The value of Text is 70000 bytes long; a property takes at most 65535 bytes."});
    read = Command(args);
    ASSERT_EQ(read.status, 0);
    EXPECT_EQ(read.result, TypeWord(plat::TYPE_TEXT) + text);
    // Longer than the one text run it becomes: refused with its limit, not
    // with the setter's bare status.
    ShownMessages().clear();
    set = args;
    set.push_back(TextArg(std::string(65000, 'x')));
    EXPECT_EQ(Command(set).status, 1028);
    EXPECT_EQ(ShownMessages(), std::vector<std::string>{"@Talix: The value of Text is 65000 bytes long; it takes at "
                                                        "most 64374 bytes, the most one text run holds."});
    EXPECT_EQ(Command(args).result, TypeWord(plat::TYPE_TEXT) + text);
    const std::string longest(64374, 'y');
    set = args;
    set.push_back(TextArg(longest));
    ASSERT_EQ(Command(set).status, 0);
    EXPECT_EQ(Command(args).result, TypeWord(plat::TYPE_TEXT) + longest);
    set = args;
    set.push_back(TextArg(text));
    ASSERT_EQ(Command(set).status, 0);

    // A text holding a zero byte would be stored up to it: refused, and the
    // text before stays.
    ShownMessages().clear();
    set = args;
    set.push_back(TextArg(std::string("kept\0lost", 9)));
    EXPECT_EQ(Command(set).status, 1028);
    EXPECT_EQ(ShownMessages(),
              std::vector<std::string>{"@Talix: The value of Text holds a NUL character; nothing was set."});
    EXPECT_EQ(Command(args).result, TypeWord(plat::TYPE_TEXT) + text);
}

} // namespace

namespace {

using namespace talix_test;

class ChunkDefinitions : public ChunkProperties {
protected:
    std::vector<std::string> InChunk(const std::string& name, const std::string& chunk,
                                     std::vector<std::string> value = {}) {
        std::vector<std::string> args = {TextArg(name), TextArg(""), TextArg("N" + HexNoteId(noteId_)),
                                         TextListArg({"Body", chunk})};
        for (const std::string& arg : value) args.push_back(arg);
        return args;
    }
};

TEST_F(ChunkDefinitions, AChunkThatMatchesNothingTakesNoValue) {
    const std::string before = Command(Property("Text")).result;
    const plat::TIMEDATE modified = Modified();

    // Set into a chunk that is not there: refused, named, and nothing saved.
    ShownMessages().clear();
    EXPECT_EQ(Command(InChunk("Text", "Table 9", {TextArg("lost")})).status, 546);
    EXPECT_EQ(Command(InChunk("Text", "Paragraph 999", {TextArg("lost")})).status, 546);
    EXPECT_EQ(Command(InChunk("CaseSensitive", "Table 9", {NumberArg(1)})).status, 546);
    EXPECT_EQ(ShownMessages(), (std::vector<std::string>{
                                   "@Talix: 'Table 9' matches nothing in 'Body': Text is not set.",
                                   "@Talix: 'Paragraph 999' matches nothing in 'Body': Text is not set.",
                                   "@Talix: 'Table 9' matches nothing in 'Body': CaseSensitive is not set.",
                               }));
    const plat::TIMEDATE after = Modified();
    EXPECT_EQ(std::vector<plat::DWORD>(std::begin(modified.Innards), std::end(modified.Innards)),
              std::vector<plat::DWORD>(std::begin(after.Innards), std::end(after.Innards)));
    EXPECT_EQ(Command(Property("Text")).result, before);

    // Reading one is not refused: Exists says it is not there.
    DriverOutcome exists = Command(InChunk("Exists", "Table 9"));
    ASSERT_EQ(exists.status, 0);
    EXPECT_EQ(exists.result, NumberArg(0));
    // Nor is one naming a row or column no table holds: it matches nothing
    // too, as a row the table lacks does.
    for (const std::string& chunk : {"Table 1; Row 300", "Table 1; Row 3", "Table 1; Column 999; Paragraph 1"}) {
        SCOPED_TRACE(chunk);
        DriverOutcome text = Command(InChunk("Text", chunk));
        EXPECT_EQ(text.status, 0);
        EXPECT_EQ(text.result, TypeWord(plat::TYPE_TEXT));
        DriverOutcome size = Command(InChunk("PointSize", chunk));
        EXPECT_EQ(size.status, 0);
        EXPECT_EQ(size.result, NumberArg(0));
    }
    EXPECT_EQ(Command(InChunk("Text", "Table 1; Row 300", {TextArg("lost")})).status, 546);

    // A chunk that is there still takes its value.
    ASSERT_EQ(Command(InChunk("Text", "Paragraph 1", {TextArg("First")})).status, 0);
    EXPECT_EQ(Command(InChunk("Text", "Paragraph 1")).result, TypeWord(plat::TYPE_TEXT) + "First");
}

TEST_F(ChunkDefinitions, ADefinitionThatIsNoneIsNamed) {
    ShownMessages().clear();
    EXPECT_EQ(Command(InChunk("Text", "bogus words")).status, 12572);
    EXPECT_EQ(Command(InChunk("Text", "bogus words", {TextArg("x")})).status, 12572);
    EXPECT_EQ(Call(kDbColumn, {TextArg(""), TextArg("N" + HexNoteId(noteId_)), TextListArg({"Body", "Table -1"}),
                               NumberArg(1)})
                  .status,
              12572);
    EXPECT_EQ(ShownMessages(), (std::vector<std::string>{
                                   "@Talix: 'bogus words' is not a chunk definition.",
                                   "@Talix: 'bogus words' is not a chunk definition.",
                                   "@Talix: 'Table -1' is not a chunk definition.",
                               }));
}

} // namespace
