// Formula calls as the host makes them: names, the call sequence, document
// addressing, and refusals of bad input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver_calls.h"

namespace {

using namespace talix_test;

using talix::kDrvMissingArgument;
using talix::kDrvUnknownDesignKind;
using talix::kDrvUnknownFunction;
using talix::kDrvUnknownValueType;
using talix::kDrvWrongArgumentType;

std::vector<std::string> Join(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

bool Shown(const std::string& text) {
    for (const auto& message : ShownMessages())
        if (message == text) return true;
    return false;
}

using CallSequence = DriverCallTest;

TEST_F(CallSequence, NamesAreResolvedThroughAliasesAndTables) {
    // An alias replaces the name before the tables are searched.
    DriverOutcome run = Command(Join({TextArg("connectFORM")}, At()));
    EXPECT_EQ(run.status, kDrvUnknownFunction);
    EXPECT_TRUE(Shown("@Talix: Function 'ConnectFormBody' not recognized.")) << testing::PrintToString(ShownMessages());

    run = Command(Join({TextArg("Foo")}, At()));
    EXPECT_EQ(run.status, kDrvUnknownFunction);
    EXPECT_TRUE(Shown("@Talix: Function 'Foo' not recognized."));
    EXPECT_FALSE(Logged("AtTalix #4"));   // the call ended at its name

    // Names outside ASCII, given in the platform's character set, are shown
    // in the host's.
    run = Command(Join({TextArg(plat::NativeToLmbcs("Täxt"))}, At()));
    EXPECT_EQ(run.status, kDrvUnknownFunction);
    EXPECT_TRUE(Shown("@Talix: Function 'Täxt' not recognized.")) << testing::PrintToString(ShownMessages());
    run = Command({TextArg("Text"), TextArg(""), TextArg("N" + HexNoteId(noteId_)),
                   TextListArg({"Body", plat::NativeToLmbcs("Täble 1")})});
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(Shown("@Talix: 'Täble 1' is not a chunk definition.")) << testing::PrintToString(ShownMessages());

    // A name longer than the name field is refused under its first 31 characters.
    run = Command(Join({TextArg(std::string(40, 'z'))}, At()));
    EXPECT_EQ(run.status, kDrvUnknownFunction);
    EXPECT_TRUE(Shown("@Talix: Function '" + std::string(31, 'z') + "' not recognized."));
    // ... and its whole characters: a character cut at the field's end is
    // left out, not shown as another.
    for (int z : {29, 30}) {
        ShownMessages().clear();
        run = Command(Join({TextArg(std::string(z, 'z') + plat::NativeToLmbcs("\u6f22\u6f22"))}, At()));
        EXPECT_EQ(run.status, kDrvUnknownFunction);
        EXPECT_EQ(ShownMessages(),
                  std::vector<std::string>{"@Talix: Function '" + std::string(z, 'z') + "' not recognized."});
    }

    // A number in the name's place leaves the call without a name.
    run = Command(Join({NumberArg(5)}, At()));
    EXPECT_EQ(run.status, kDrvUnknownFunction);
    EXPECT_TRUE(Shown("@Talix: No function name or property specified."));

    // "dblookup" named by @DbCommand finds the same row as @DbLookup itself;
    // the look-up is a chunk function (its trace line), not a message.
    ShownMessages().clear();
    plat::LogClearRecent();
    run = Command(Join({TextArg("dblookup")}, At()));
    EXPECT_TRUE(Logged("AtTalix #21"));
    EXPECT_TRUE(ShownMessages().empty());
    plat::LogClearRecent();
    DriverOutcome lookup = Call(kDbLookup, At());
    EXPECT_TRUE(Logged("AtTalix #21"));
    EXPECT_EQ(lookup.status, run.status);
    EXPECT_TRUE(ShownMessages().empty());

    // "Initialize" succeeds with no result and makes no session.
    plat::LogClearRecent();
    run = Command({TextArg("initialize")});
    EXPECT_EQ(run.status, 0);
    EXPECT_FALSE(run.block);
    EXPECT_TRUE(plat::LogRecent().empty());
}

TEST_F(CallSequence, TheFirstCallOfASessionTracesItsSetUp) {
    std::vector<std::string> noop = Join({TextArg("ItemNOOP")}, At());
    DriverOutcome run = Command(noop);
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.result, NumberArg(0));
    EXPECT_TRUE(Logged("AtTalix #1"));
    EXPECT_TRUE(Logged("AtTalix #3"));
    EXPECT_TRUE(Logged("AtTalix #23"));
    EXPECT_FALSE(Logged("AtTalix #10 server= filepath=calls.nsf fieldname=Body"));   // ItemNOOP connects nothing
    EXPECT_FALSE(StoredItem("Body"));

    plat::LogClearRecent();
    ASSERT_EQ(Command(noop).status, 0);
    EXPECT_FALSE(Logged("AtTalix #1"));
    EXPECT_TRUE(Logged("AtTalix #4"));

    // A failure ends the session: the next call starts a new one.
    EXPECT_EQ(Command(Join({TextArg("ItemNOOP"), TextArg(""), TextListArg({"Frameset", "F"})}, {})).status,
              kDrvUnknownDesignKind);
    plat::LogClearRecent();
    ASSERT_EQ(Command(noop).status, 0);
    EXPECT_TRUE(Logged("AtTalix #1"));
    EXPECT_TRUE(Logged("AtTalix #3"));
}

TEST_F(CallSequence, NotesAreAddressedByIdTextUniversalIdOrTheCurrentDatabase) {
    std::string hex = HexNoteId(noteId_);
    auto create = [&](const std::vector<std::string>& address, const std::string& item) {
        return Command(Join(Join({TextArg("Create")}, address), {TextArg(item)}));
    };
    // "N1F2A" and "1F2A" name one note; so does "N" and 17 characters.
    EXPECT_EQ(create({TextArg(""), TextArg("N" + hex)}, "A").result, NumberArg(1));
    EXPECT_EQ(create({TextArg(""), TextArg(hex)}, "B").status, 0);
    std::string padded = std::string(17 - hex.size(), '0') + hex;
    EXPECT_EQ(create({TextArg(""), TextArg("N" + padded)}, "C").status, 0);
    EXPECT_EQ(create({TextArg(""), TextArg(padded)}, "D").status, kDrvMissingArgument);   // 17 characters
    // A text that is not all hexadecimal digits names no note, not the one
    // its first digits name.
    ShownMessages().clear();
    EXPECT_EQ(create({TextArg("calls.nsf"), TextArg("NT" + hex)}, "E").status, kDrvMissingArgument);
    EXPECT_EQ(create({TextArg(""), TextArg("N" + hex + "O")}, "E").status, kDrvMissingArgument);
    EXPECT_EQ(create({TextArg(""), TextArg(hex + " ")}, "E").status, kDrvMissingArgument);
    EXPECT_EQ(create({TextArg(""), TextArg("N")}, "E").status, kDrvMissingArgument);
    EXPECT_EQ(ShownMessages().size(), 4u);
    EXPECT_EQ(ShownMessages()[1], "@Talix: The note 'N" + hex + "O' is not a note id in hexadecimal (\"20FA\" or "
                                  "\"N20FA\").");
    // The current database: an empty file entry, or a universal id alone.
    EXPECT_EQ(create({TextListArg({"", ""}), TextArg(hex)}, "F").status, 0);
    EXPECT_EQ(create({NoteRefArg(unid_)}, "G").status, 0);
    EXPECT_EQ(create({TextArg("calls.nsf"), NoteRefArg(unid_)}, "H").status, 0);
    for (const char* item : {"A", "B", "C", "F", "G", "H"}) EXPECT_TRUE(StoredItem(item)) << item;
    EXPECT_FALSE(StoredItem("D"));
    EXPECT_FALSE(StoredItem("E"));

    // Without a note, or in a database that does not exist, nothing is made.
    EXPECT_EQ(Command({TextArg("Create"), TextArg("calls.nsf")}).status, kDrvMissingArgument);
    // A note id given as a number is refused as of the wrong type, and said so.
    ShownMessages().clear();
    EXPECT_EQ(Command({TextArg("Create"), TextArg("calls.nsf"), NumberArg(5), TextArg("I")}).status, 12546);
    EXPECT_TRUE(Shown("@Talix: The note after the database is a number; give its note id in hexadecimal as a text "
                      "(\"N20FA\")."));
    EXPECT_NE(create({TextArg("missing.nsf"), TextArg(hex)}, "J").status, 0);
    plat::UNID other = unid_;
    other.Note.Innards[0] ^= 0xFFFF;
    EXPECT_NE(create({NoteRefArg(other)}, "K").status, 0);
    EXPECT_FALSE(StoredItem("I"));
}

TEST_F(CallSequence, DatabaseNamesOutsideAsciiNameTheirFiles) {
    // A database whose file name has letters outside ASCII, beside the
    // current one; the formula names it in the platform's character set.
    const std::string name = "d\u00e4\u6f22.nsf";
    plat::DBHANDLE db = plat::NULLHANDLE;
    ASSERT_EQ(plat::DbCreate(name.c_str(), &db), plat::NOERROR);
    plat::NOTEHANDLE note = plat::NULLHANDLE;
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NOTEID id = 0;
    plat::ORIGINATORID oid;
    plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
    plat::NoteGetInfo(note, plat::NOTE_FIELD_OID, &oid);
    plat::NoteClose(note);
    plat::DbClose(db);
    const std::string lmbcs = plat::NativeToLmbcs(name);
    const std::string hex = "N" + HexNoteId(id);

    EXPECT_EQ(Command({TextArg("Create"), TextArg(lmbcs), TextArg(hex), TextArg("A")}).status, 0);
    EXPECT_TRUE(Logged("AtTalix #11 server= filepath=" + name + " fieldname=A"));
    EXPECT_EQ(Command({TextArg("Create"), TextListArg({"", lmbcs}), TextArg(hex), TextArg("B")}).status, 0);
    EXPECT_EQ(Command({TextArg("Create"), TextArg(lmbcs), NoteRefArg(plat::UNID{oid.File, oid.Note}), TextArg("C")})
                  .status,
              0);
    ASSERT_EQ(plat::DbOpen(name.c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteOpen(db, id, 0, &note), plat::NOERROR);
    for (const char* item : {"A", "B", "C"})
        EXPECT_TRUE(plat::ItemIsPresent(note, item, static_cast<plat::WORD>(std::strlen(item)))) << item;
    plat::NoteClose(note);
    plat::DbClose(db);
    // The current database is still named by its own path.
    EXPECT_EQ(Command(Join({TextArg("Create")}, At("D"))).status, 0);
    EXPECT_TRUE(StoredItem("D"));
}

TEST_F(CallSequence, ADesignElementIsReadThroughItsOwnItemOnly) {
    plat::DBHANDLE db = plat::NULLHANDLE;
    ASSERT_EQ(plat::DbOpen("calls.nsf", &db), plat::NOERROR);
    plat::DxlImportResult imported;
    ASSERT_EQ(plat::DxlImportFile(db, (SampleDxlDir() / "form-layout.xml").string().c_str(), &imported),
              plat::NOERROR);
    plat::DbClose(db);
    const std::string form = TextListArg({"Form", "Layout Form"});
    auto text = [&](const std::string& itemAndChunk, const std::vector<std::string>& value = {}) {
        return Command(Join({TextArg("Text"), TextArg(""), form, itemAndChunk}, value));
    };
    const std::string before = text(TextArg("Everything")).result;
    ASSERT_NE(before, TextArg(""));

    // Another item of the element is neither read nor changed through its
    // "$Body", and the call says so.
    ShownMessages().clear();
    EXPECT_EQ(text(TextListArg({"Other", "Everything"}), {TextArg("new")}).status, 546);
    EXPECT_EQ(text(TextListArg({"$Title", "Everything"})).status, 546);
    EXPECT_EQ(ShownMessages(),
              (std::vector<std::string>{
                  "@Talix: The design element 'Layout Form' is read through its item '$Body', not 'Other'.",
                  "@Talix: The design element 'Layout Form' is read through its item '$Body', not '$Title'.",
              }));
    EXPECT_EQ(text(TextArg("Everything")).result, before);

    // A kind with an empty name is not read as a note id.
    ShownMessages().clear();
    for (const char* kind : {"Form", "page", "ImageResource"})
        EXPECT_EQ(Command({TextArg("Text"), TextArg(""), TextListArg({kind, ""}), TextArg("Everything")}).status,
                  12545);
    EXPECT_EQ(ShownMessages(), (std::vector<std::string>{"@Talix: The name of the Form is an empty text.",
                                                         "@Talix: The name of the page is an empty text.",
                                                         "@Talix: The name of the ImageResource is an empty text."}));

    // Its own item may be named, in any case.
    EXPECT_EQ(text(TextListArg({"$body", "Everything"}), {TextArg("new")}).status, 0);
    EXPECT_EQ(text(TextArg("Everything")).result, TextArg("new"));
}

TEST_F(CallSequence, BadInputEndsTheCallAndTheSessionWithoutLeaks) {
    plat::DWORD live = plat::MemLiveCount();
    ASSERT_EQ(Command(Join({TextArg("ItemNOOP")}, At())).status, 0);   // a session to lose
    std::vector<std::string> args65 = {TextArg("ItemNOOP")};
    for (int i = 0; i < 65; ++i) args65.push_back(TextArg(""));
    struct Case {
        std::vector<std::string> args;
        plat::STATUS status;
    };
    const Case cases[] = {
        {{}, kDrvMissingArgument},
        {Join({TimeArg()}, At()), kDrvWrongArgumentType},
        {Join({TextListArg({})}, At()), kDrvMissingArgument},
        {Join({TextArg("Create"), TypeWord(0x9999)}, At()), kDrvUnknownValueType},
        {Join({TextArg("Create"), TextArg(""), TypeWord(plat::TYPE_TEXT_LIST) + std::string("\x05\x00", 2)}, {}),
         kDrvUnknownValueType},
        {args65, kDrvMissingArgument},
        {{TextArg("Create"), TextArg(""), TextArg(std::string(17, '1')), TextArg("Body")}, kDrvMissingArgument},
        {{TextArg("Create"), TextArg(""), TextListArg({"Frameset", "F"}), TextArg("Body")}, kDrvUnknownDesignKind},
        {{TextArg("Create"), TimeArg(), TextArg("1")}, kDrvMissingArgument},
        {{TextArg("Create"), TextArg(""), TextArg(""), TextArg("Body")}, kDrvMissingArgument},
        {{TextArg("Create"), TextArg(""), TextArg("N" + HexNoteId(noteId_)), TextArg("")}, kDrvMissingArgument},
        // Names that do not fit their fields are refused, never cut.
        {{TextArg("Create"), TextListArg({"", std::string(257, 'f')}), TextArg("1"), TextArg("Body")}, 1028},
        {{TextArg("Create"), TextArg(""), TextListArg({"Form", std::string(256, 'f')}), TextArg("Body")}, 1028},
        {Join({TextArg("Create")}, At(std::string(256, 'i'))), 1028},
        {{TextArg("Create"), TextArg(""), TextArg("1"), TextListArg({"Body", std::string(128, 'c')})}, 1028},
    };
    for (const Case& c : cases) {
        plat::LogClearRecent();
        DriverOutcome run = Command(c.args);
        EXPECT_EQ(run.status, c.status) << testing::PrintToString(c.args);
        EXPECT_FALSE(Logged("AtTalix #22")) << "the handler's result was prepared";
        EXPECT_EQ(plat::MemLiveCount(), live);
    }
    EXPECT_FALSE(StoredItem("Body"));
    // So does a name that is no text.
    ShownMessages().clear();
    EXPECT_EQ(Command(Join({TimeArg()}, At())).status, kDrvWrongArgumentType);
    EXPECT_EQ(ShownMessages(), std::vector<std::string>{"@Talix: The function name is not a text: a text naming a "
                                                        "function or property must come first."});
    // Empty lists where a name or a note is read say so, beyond the status
    // that speaks of a missing argument.
    ShownMessages().clear();
    std::string noUnids = TypeWord(plat::TYPE_NOTEREF_LIST);
    noUnids.append(2, '\0');
    EXPECT_EQ(Command(Join({TextListArg({})}, At())).status, kDrvMissingArgument);
    EXPECT_EQ(Command({TextArg("Text"), noUnids, TextArg("Body")}).status, kDrvMissingArgument);
    EXPECT_EQ(Command({TextArg("Text"), TextArg("calls.nsf"), noUnids, TextArg("Body")}).status, kDrvMissingArgument);
    EXPECT_EQ(ShownMessages(),
              (std::vector<std::string>{
                  "@Talix: The function name is an empty list: a text naming a function or property must come first.",
                  "@Talix: The universal id list is empty: it names no note.",
                  "@Talix: The universal id list is empty: it names no note."}));
    // Refused addressing arguments say what is wrong with them.
    ShownMessages().clear();
    EXPECT_EQ(Command({TextArg("Create"), TimeArg(), TextArg("1")}).status, kDrvMissingArgument);
    EXPECT_EQ(Command({TextArg("Create"), TextArg(""), TextArg(std::string(17, '1')), TextArg("Body")}).status,
              kDrvMissingArgument);
    EXPECT_EQ(Command({TextArg("Create"), TextArg(""), TextArg(""), TextArg("Body")}).status, kDrvMissingArgument);
    EXPECT_EQ(Command({TextArg("Create"), TextArg(""), TextListArg({"Frameset", "F"}), TextArg("Body")}).status,
              kDrvUnknownDesignKind);
    EXPECT_EQ(Command({TextArg("Create"), TextArg(""), TextArg("N" + HexNoteId(noteId_)), TextArg("")}).status,
              kDrvMissingArgument);
    EXPECT_EQ(ShownMessages(),
              (std::vector<std::string>{
                  "@Talix: No database and note are given: a database text, a universal id or a note handle must "
                  "follow the name.",
                  "@Talix: The note '" + std::string(17, '1') +
                      "' is not a note id in hexadecimal (\"20FA\" or \"N20FA\").",
                  "@Talix: The note is an empty text.",
                  "@Talix: 'Frameset' is not a kind of design element (Form, Page, Subform, SharedField, "
                  "ImageResource).",
                  "@Talix: The item name is an empty text.",
              }));
    // So do names too long for their fields: which name, and its limit.
    ShownMessages().clear();
    for (const Case& c : cases)
        if (c.status == 1028) EXPECT_EQ(Command(c.args).status, 1028);
    EXPECT_EQ(Command({TextArg("Create"), TextListArg({std::string(257, 's'), "x"}), TextArg("1"), TextArg("Body")})
                  .status,
              1028);
    EXPECT_EQ(ShownMessages(),
              (std::vector<std::string>{
                  "@Talix: The database file name is 257 bytes long; it may have at most 256.",
                  "@Talix: The design element name is 256 bytes long; it may have at most 255.",
                  "@Talix: The item name is 256 bytes long; it may have at most 255.",
                  "@Talix: The chunk definition is 128 bytes long; it may have at most 127.",
                  "@Talix: The server name is 257 bytes long; it may have at most 256.",
              }));
    // Names holding a zero byte are refused, not read up to it as other
    // names ("Body" is not created).
    ShownMessages().clear();
    const std::string zero("\0", 1);
    const std::string note = "N" + HexNoteId(noteId_);
    const std::vector<std::string> zeroCalls[] = {
        Join({TextArg("Create" + zero + "x")}, At()),
        Join({TextArg("Create")}, At("Body" + zero + "x")),
        {TextArg("Create"), TextArg("calls.nsf" + zero + "x"), TextArg(note), TextArg("Body")},
        {TextArg("Create"), TextListArg({"", "calls.nsf" + zero}), TextArg(note), TextArg("Body")},
        {TextArg("Create"), TextArg(""), TextArg(note + zero), TextArg("Body")},
        {TextArg("Create"), TextArg(""), TextArg(note), TextListArg({"Body", "Everything" + zero})},
    };
    for (const auto& args : zeroCalls) EXPECT_EQ(Command(args).status, 1028);
    EXPECT_EQ(ShownMessages(), (std::vector<std::string>{
                                   "@Talix: The function name holds a NUL character.",
                                   "@Talix: The item name holds a NUL character.",
                                   "@Talix: The database name holds a NUL character.",
                                   "@Talix: The database file name holds a NUL character.",
                                   "@Talix: The note holds a NUL character.",
                                   "@Talix: The chunk definition holds a NUL character.",
                               }));
    EXPECT_FALSE(StoredItem("Body"));
    // A note handle that cannot name a note is refused as such, not taken
    // for a missing database.
    ShownMessages().clear();
    for (double handle : {0.0, 0.5, -1.0, 4294967296.0})
        EXPECT_EQ(Command({TextArg("Text"), NumberArg(handle), TextArg("Body")}).status, kDrvMissingArgument);
    EXPECT_EQ(ShownMessages(), (std::vector<std::string>{"@Talix: The note handle 0 names no open note.",
                                                         "@Talix: The note handle 0 names no open note.",
                                                         "@Talix: The note handle -1 names no open note.",
                                                         "@Talix: The note handle 4294967296 names no open note."}));
    // Too many arguments are refused by their count, and said so.
    ShownMessages().clear();
    EXPECT_EQ(Command(args65).status, kDrvMissingArgument);
    EXPECT_EQ(ShownMessages(), std::vector<std::string>{
                                   "@Talix: A call takes at most 64 arguments after the function name, not 65."});
    // The session went with the first failure.
    plat::LogClearRecent();
    ASSERT_EQ(Command(Join({TextArg("ItemNOOP")}, At())).status, 0);
    EXPECT_TRUE(Logged("AtTalix #1"));
}

} // namespace
