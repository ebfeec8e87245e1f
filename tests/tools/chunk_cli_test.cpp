// talix append, edit and query, run as a user runs them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/test_support.h"

namespace {

using talix_test::CliOutcome;

class ChunkCommands : public talix_test::CliTest {
protected:
    // A note of the sample export with a rich-text item "Memo" holding "start".
    std::string NoteWithText() {
        const std::string id = Import(Sample("2194.xml"));
        EXPECT_EQ(Talix({"append", db_, id, "Memo", "text", "start"}).status, 0);
        return id;
    }
};

TEST_F(ChunkCommands, AppendEditAndQueryAChunk) {
    const std::string id = NoteWithText();
    CliOutcome table = Talix({"append", db_, id, "Memo", "table", "3", "2", "--column", "Width=2", "--options",
                              "TableHTMLID=prices"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(Talix({"append", db_, id, "Memo", "text", "bold", "--font", "+Bold"}).status, 0);
    EXPECT_EQ(Talix({"append", db_, id, "Memo", "newlines", "40"}).status, 0);
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "Row", "Table 1"}).out, "3\n");
    // A table named by its id, in either case; another id names nothing.
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "Row", "Table ID 'Prices'"}).out, "3\n");
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "Row", "Table ID 'price'"}).out, "0\n");
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "Definition", "Table ID 'prices'"}).out,
              "Table ID \"prices\" 1\n");
    // The table's HTML attributes reach its element.
    const std::string html = Talix({"html", db_, id, "Memo"}).out;
    EXPECT_NE(html.find("<table id='prices'"), std::string::npos) << html;

    CliOutcome named = Talix({"query", db_, id, "Memo", "Everything", "named", "1", "Table", "EXACT", "prices"});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, "Table 1\n");
    CliOutcome run = Talix({"query", db_, id, "Memo", "Everything", "text-run", "1", "+Bold", "SUBSTR", "old"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo", run.out.substr(0, run.out.size() - 1)}).out, "bold\n");
    EXPECT_EQ(Talix({"query", db_, id, "Memo", "Everything", "font-in-use", "+Bold"}).out, "1\n");
    EXPECT_EQ(Talix({"query", db_, id, "Memo", "Everything", "font-in-use", "+Italic"}).out, "0\n");

    EXPECT_EQ(Talix({"edit", db_, id, "Memo", "Everything", "replace", "start", "begin"}).status, 0);
    EXPECT_EQ(Talix({"edit", db_, id, "Memo", "Table 1", "remove"}).status, 0);
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "Table"}).out, "0\n");
    // The table's removal leaves empty paragraphs between the two texts.
    const std::string text = Talix({"text", db_, id, "Memo"}).out;
    EXPECT_EQ(text.substr(0, 6), "begin\n") << text;
    EXPECT_NE(text.find("\nbold"), std::string::npos) << text;
}

// Buttons are found by their labels, as tables by their ids.
TEST_F(ChunkCommands, ButtonsAreFoundByTheirLabels) {
    const std::string id = NoteWithText();
    for (const char* label : {"Press", "Other"})
        ASSERT_EQ(Talix({"append", db_, id, "Memo", "hotspot", "BUTTON FORMULA", "@Now", label}).status, 0);
    const auto named = [&](const char* mode, const char* label) {
        return Talix({"query", db_, id, "Memo", "Everything", "named", "1", "Button", mode, label}).out;
    };
    EXPECT_EQ(named("EXACT", "Other"), "Button 2\n");
    EXPECT_EQ(named("STARTS", "pre"), "Button 1\n");
    EXPECT_EQ(named("EXACT", "Pres"), "");
    // What the search names is that button.
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "ButtonText", "Button 2"}).out, "Other\n");
}

// A chunk whose definition is longer than a scratch buffer is changed as
// it was named.
TEST_F(ChunkCommands, SetTextOfAChunkWithALongDefinition) {
    const std::string id = NoteWithText();
    const std::string longText(5000, 'b');
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "text", longText}).status, 0);
    CliOutcome set = Talix({"edit", db_, id, "Memo", "Text '" + longText + "'", "set-text", "replaced"});
    EXPECT_EQ(set.status, 0) << set.err;
    const std::string text = Talix({"text", db_, id, "Memo"}).out;
    EXPECT_TRUE(text == "startreplaced\n") << text.size() << " bytes: " << text.substr(0, 20);
}

TEST_F(ChunkCommands, RefusalsAndUsageErrors) {
    const std::string id = NoteWithText();
    CliOutcome link = Talix({"append", db_, id, "Memo", "link", "nocolon", "text"});
    EXPECT_EQ(link.status, 1);
    EXPECT_NE(link.err.find("status 1028"), std::string::npos) << link.err;
    CliOutcome hotspot = Talix({"append", db_, id, "Memo", "hotspot", "POPUP JAVASCRIPT", "alert(1)"});
    EXPECT_EQ(hotspot.status, 1);
    EXPECT_NE(hotspot.err.find("talix: Error in argument #1"), std::string::npos) << hotspot.err;
    CliOutcome layer = Talix({"append", db_, id, "Memo", "layer", "1px", "1px", "1 px", "20px"});
    EXPECT_EQ(layer.status, 2);
    EXPECT_NE(layer.err.find("'1 px' is no HEIGHT"), std::string::npos) << layer.err;
    // A status that is one of the library's own error words reads as its meaning.
    CliOutcome table = Talix({"append", db_, id, "Memo", "table", "0", "2"});
    EXPECT_EQ(table.status, 1);
    EXPECT_NE(table.err.find("status 20017: a formula or an argument is not valid\n"), std::string::npos)
        << table.err;
    EXPECT_NE(table.err.find("talix: Invalid row count 0 for AppendTable: a table has 1 to 255 rows\n"),
              std::string::npos)
        << table.err;
    EXPECT_EQ(Talix({"edit", db_, id, "Memo", "Everything", "sort-rows", "1"}).status, 1);
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "start\n");

    EXPECT_EQ(Talix({"append", db_, id, "Memo", "table", "two", "2"}).status, 2);
    EXPECT_EQ(Talix({"append", db_, id, "Memo", "teleport"}).status, 2);
    EXPECT_EQ(Talix({"append", db_, id, "Memo", "text"}).status, 2);
    EXPECT_EQ(Talix({"append", db_, id, "Memo", "text", "x", "--colour", "red"}).status, 2);
    EXPECT_EQ(Talix({"edit", db_, id, "Memo", "Everything", "sort-rows", "0"}).status, 2);
    // A font text that names nothing of a font would change no run: it is
    // refused with the reason, and the item stays as it was.
    const std::string records = Talix({"records", db_, id, "Memo"}).out;
    for (const char* fontText : {"nonsense", "COLOR300", "Arial 200", ""}) {
        SCOPED_TRACE(fontText);
        CliOutcome font = Talix({"edit", db_, id, "Memo", "Everything", "font", fontText});
        EXPECT_EQ(font.status, 2);
        EXPECT_TRUE(talix_test::Has(font.err, "'" + std::string(fontText) + "' names nothing of a font")) << font.err;
    }
    // So is a paragraph style that names nothing of a paragraph.
    for (const char* style : {"nonsense", "LEFTMARGIN 1", "HIDE_READX"}) {
        SCOPED_TRACE(style);
        CliOutcome paragraph = Talix({"edit", db_, id, "Memo", "Everything", "paragraph", style});
        EXPECT_EQ(paragraph.status, 2);
        EXPECT_TRUE(talix_test::Has(paragraph.err, "'" + std::string(style) + "' names nothing of a paragraph"))
            << paragraph.err;
    }
    EXPECT_EQ(Talix({"records", db_, id, "Memo"}).out, records);
    const std::string value = Talix({"value", db_, id, "Memo"}).out;
    EXPECT_EQ(Talix({"edit", db_, id, "Memo", "Everything", "paragraph", "+HIDE_READ"}).status, 0);
    EXPECT_NE(Talix({"value", db_, id, "Memo"}).out, value);
    EXPECT_EQ(Talix({"edit", db_, id, "Memo", "Everything", "font", "RED 11.5"}).status, 0);
    // Red (colour 2) in 11 points: the size keeps its whole points.
    const std::string changed = Talix({"records", db_, id, "Memo"}).out;
    const std::size_t start = changed.find(" text=start");
    ASSERT_NE(start, std::string::npos) << changed;
    EXPECT_EQ(changed.substr(start - 10, 6), "0x0B02") << changed;
    EXPECT_EQ(Talix({"query", db_, id, "Memo", "Everything", "named", "1", "Table", "EXACT"}).status, 2);
    EXPECT_EQ(Talix({"edit", db_, id, "Memo", "Bogus 1", "remove"}).status, 1);
    EXPECT_EQ(Talix({"edit", db_, id, "NoSuchItem", "Everything", "remove"}).status, 1);
    EXPECT_EQ(Talix({"append", db_, id, "Memo", "--help"}).status, 0);
}

// Rows that a merged cell joins go together or stay: removing only some of
// them is refused with the item as it was; removing them all leaves a
// table whose rows span nothing that is gone.
TEST_F(ChunkCommands, RowsJoinedByAMergedCellAreRemovedTogether) {
    const std::string id = NoteWithText();
    const std::string page = Write("merged.html",
                                   "<table><tr><td>a</td><td>x</td></tr><tr><td rowspan=2>b</td><td>y</td></tr>"
                                   "<tr><td>z</td></tr><tr><td>d</td><td>w</td></tr></table>");
    ASSERT_EQ(Talix({"import-html", db_, id, "Grid", page, "--replace"}).status, 0);
    const std::string value = Talix({"value", db_, id, "Grid"}).out;
    for (const char* part : {"Table 1; Row 2", "Table 1; Row 3", "Table 1; Row 1,3", "Table 1; Row 3-4"}) {
        SCOPED_TRACE(part);
        CliOutcome cut = Talix({"edit", db_, id, "Grid", part, "remove"});
        EXPECT_EQ(cut.status, 1);
        EXPECT_TRUE(talix_test::Has(cut.err, "error 20025")) << cut.err;
        EXPECT_EQ(Talix({"value", db_, id, "Grid"}).out, value);
    }
    CliOutcome both = Talix({"edit", db_, id, "Grid", "Table 1; Row 2-3", "remove"});
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(Talix({"count", db_, id, "Grid", "Row", "Table 1"}).out, "2\n");
    const std::string html = Talix({"html", db_, id, "Grid"}).out;
    EXPECT_FALSE(talix_test::Has(html, "rowspan")) << html;
    EXPECT_TRUE(talix_test::Has(html, ">a<") && talix_test::Has(html, ">w<")) << html;
    EXPECT_FALSE(talix_test::Has(html, ">y<") || talix_test::Has(html, ">z<")) << html;
    // Rows that no merged cell joins go alone as before.
    EXPECT_EQ(Talix({"edit", db_, id, "Grid", "Table 1; Row 1", "remove"}).status, 0);
    EXPECT_EQ(Talix({"count", db_, id, "Grid", "Row", "Table 1"}).out, "1\n");
}

// An attachment named so that no file name is left ("..", ".", a folder)
// is refused before anything is stored; the attachments appended under
// proper names are extracted by an export.
TEST_F(ChunkCommands, AnAttachmentNeedsAFileName) {
    const std::string id = NoteWithText();
    const std::string file = Write("att.txt", "attached");
    const std::string items = Talix({"items", db_, id}).out;
    for (const char* name : {"..", ".", "dir/", "a/..", "x\\."}) {
        SCOPED_TRACE(name);
        CliOutcome run = Talix({"append", db_, id, "Memo", "attachment", file, name});
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(talix_test::Has(run.err, "talix: '" + std::string(name) + "' is no file name for an attachment\n"))
            << run.err;
    }
    EXPECT_EQ(Talix({"items", db_, id}).out, items);
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "attachment", file, "dir/named.txt"}).status, 0);
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "attachment", file}).status, 0);
    const std::string folder = dir_.file("extracted");
    CliOutcome exported = Talix({"html", db_, id, "Memo", "--out", dir_.file("page.html"), "--options",
                                 "AttachmentHandling=DISK AttachmentDirectory=" + folder});
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(talix_test::ReadFile(folder + "/named.txt"), "attached");
    EXPECT_EQ(talix_test::ReadFile(folder + "/att.txt"), "attached");
}

// An attachment named after its file keeps a name outside ASCII as one
// given as NAME: read back, shown in HTML and extracted under it.
TEST_F(ChunkCommands, AnAttachmentNamedAfterItsFileKeepsItsCharacters) {
    const std::string id = NoteWithText();
    const std::string file = Write("caf\u00E9.txt", "attached");
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "attachment", file}).status, 0);
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "attachment", file, "cr\u00E8me.txt"}).status, 0);
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "FileName", "File 1"}).out, "caf\u00E9.txt\n");
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "FileName", "File 2"}).out, "cr\u00E8me.txt\n");
    const std::string folder = dir_.file("extracted");
    CliOutcome exported = Talix({"html", db_, id, "Memo", "--out", dir_.file("page.html"), "--options",
                                 "AttachmentHandling=DISK AttachmentDirectory=" + folder});
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(talix_test::ReadFile(folder + "/caf\u00E9.txt"), "attached");
    EXPECT_EQ(talix_test::ReadFile(folder + "/cr\u00E8me.txt"), "attached");
}

// Appended attachments are the item's File targets: counted, found by
// number and read by their properties, as the hotspots they are.
TEST_F(ChunkCommands, AppendedAttachmentsAreFileTargets) {
    const std::string id = NoteWithText();
    const std::string file = Write("att.txt", "attached");
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "attachment", file}).status, 0);
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "attachment", file, "second.txt"}).status, 0);
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "File"}).out, "2\n");
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "Hotspot"}).out, "2\n");
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "Button"}).out, "0\n");
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "FileName", "File 2"}).out, "second.txt\n");
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "FileSize", "File 1"}).out, "8\n");
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "FirstRecord", "File 2"}).out,
              Talix({"get-property", db_, id, "Memo", "FirstRecord", "Hotspot 2"}).out);
}

// A match mode, an attribute or an element the query does not know is
// refused, where it was read as no condition at all: any run matched, and
// an attribute read as empty.
TEST_F(ChunkCommands, QueriesRefuseWordsTheyDoNotKnow) {
    const std::string id = NoteWithText();
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "table", "1", "1", "--options", "TableHTMLID=prices"}).status, 0);
    auto query = [&](std::vector<std::string> words) {
        std::vector<std::string> args = {"query", db_, id, "Memo"};
        args.insert(args.end(), words.begin(), words.end());
        return Talix(args);
    };
    CliOutcome mode = query({"Everything", "text-run", "1", "Plain", "CONTAINS", "nowhere"});
    EXPECT_EQ(mode.status, 2);
    EXPECT_TRUE(talix_test::Has(mode.err, "talix: unknown match mode 'CONTAINS'")) << mode.err;
    EXPECT_EQ(query({"Everything", "named", "1", "Table", "like", "prices"}).status, 2);
    CliOutcome attribute = query({"Table 1", "html-value", "IDENT"});
    EXPECT_EQ(attribute.status, 2);
    EXPECT_TRUE(talix_test::Has(attribute.err, "talix: unknown HTML attribute 'IDENT'")) << attribute.err;
    CliOutcome element = query({"Table 1", "html-value", "ID", "Row"});
    EXPECT_EQ(element.status, 2);
    EXPECT_TRUE(talix_test::Has(element.err, "talix: unknown element 'Row'")) << element.err;
    // A font text naming no font (a face the item lacks) would match every
    // run; it is refused with the reason. An empty font text of text-run is any font.
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"Everything", "font-in-use", "Comic Sans MS"},
          {"Everything", "font-in-use", ""},
          {"Everything", "text-run", "1", "Comic Sans MS"},
          {"Everything", "text-run", "1", "nonsense", "SUBSTR", "tar"}}) {
        CliOutcome font = query(words);
        EXPECT_EQ(font.status, 2) << words.back();
        EXPECT_TRUE(talix_test::Has(font.err, "names nothing of a font")) << font.err;
    }
    EXPECT_EQ(query({"Everything", "text-run", "1", "", "SUBSTR", "tar"}).out, "Text 2\n");
    EXPECT_EQ(query({"Everything", "font-in-use", "Plain"}).out, "1\n");

    // The words it knows, in any case.
    EXPECT_EQ(query({"Everything", "text-run", "1", "Plain", "substr", "tar"}).out, "Text 2\n");
    EXPECT_EQ(query({"Everything", "text-run", "1", "Plain", "Exact", "nowhere"}).status, 1);
    EXPECT_EQ(query({"Everything", "named", "1", "Table", "Entire", "prices"}).out, "Table 1\n");
    EXPECT_EQ(query({"Table 1", "html-value", "id"}).out, "prices\n");
    EXPECT_EQ(query({"Table 1", "html-value", "Id", "table"}).out, "prices\n");
    EXPECT_EQ(query({"Table 1", "html-value", "CLASS", "Cell"}).out, "\n");
}

TEST_F(ChunkCommands, ReadingCommandsNameWhatIsMissing) {
    // The note by id or by UNID; a note, UNID or item that is not there,
    // and an item that is not rich text, each said in the same words by
    // every command that reads a chunk.
    const std::string id = NoteWithText();
    EXPECT_EQ(Talix({"text", db_, "852559E00078377C052556C20056B593", "Memo"}).out, "start\n");
    EXPECT_EQ(Talix({"html", db_, id, "Memo", "--format", "text"}).out, "start");
    struct Case {
        std::string note, item, message;
    };
    const Case cases[] = {
        {id, "Nothing", "talix: note " + id + " has no item 'Nothing'\n"},
        {id, "$TITLE", "talix: item '$TITLE' is not rich text (data type 0x0500)\n"},
        {"0x7FF8", "Memo", "talix: cannot open note 0x7FF8: status 15020: Invalid or nonexistent document\n"},
        {"0", "Memo", "talix: cannot open note 0: status 15020: Invalid or nonexistent document\n"},
        {"852559E00078377C052556C20056B594", "Memo",
         "talix: cannot open note 852559E00078377C052556C20056B594: status 15022: Cannot find a document with that "
         "universal id\n"},
    };
    for (const Case& each : cases) {
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"text", db_, each.note, each.item},
              std::vector<std::string>{"html", db_, each.note, each.item, "--out", dir_.file("out.html")},
              std::vector<std::string>{"count", db_, each.note, each.item, "Paragraph"}}) {
            CliOutcome run = Talix(command);
            EXPECT_EQ(run.status, 1) << command[0] << " " << each.note << " " << each.item;
            EXPECT_EQ(run.err, each.message) << command[0];
            EXPECT_EQ(run.out, "");
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.file("out.html")));
}

TEST_F(ChunkCommands, AnImageResourceMadeFromAGifHoldsItsGraphic) {
    // Pictures come in through the import filter of their extension.
    talix_test::TempDir library;
    std::filesystem::copy_file(TALIX_TEST_FILTER_PATH, library.path() / "_IGIF.so");
    const std::string ini = Write("notes.ini", "[Notes]\nLibraryDirectory=" + library.path().string() +
                                                   "\nEDITIMP1=GIF Image,0,_IGIF.dll,GIF Image,.GIF\n");
    std::string gif(200, '\0');
    gif.replace(0, 6, "GIF89a");
    gif[6] = 4;
    gif[8] = 3;
    const std::string picture = Write("logo.gif", gif);
    ASSERT_EQ(Talix({"import", db_, Sample("2194.xml")}).status, 0);
    ::setenv("NOTES_INI", ini.c_str(), 1);
    CliOutcome created = Talix({"create-design", db_, "image-resource", "logo.gif", "SourceFile=" + picture});
    ::unsetenv("NOTES_INI");
    ASSERT_EQ(created.status, 0) << created.err;
    CliOutcome records = Talix({"design", db_, "image-resource", "logo.gif"});
    EXPECT_EQ(records.status, 0) << records.err;
    EXPECT_NE(records.out.find("CD_GRAPHIC"), std::string::npos) << records.out;
}

// A filter's output name has to fit the filter's request; a temporary
// folder with a longer path is refused with that reason, and nothing is
// left in it or in the item.
TEST_F(ChunkCommands, AFilterImportThroughATemporaryFolderWithALongPathSaysWhy) {
    const std::string id = NoteWithText();
    std::string gif(200, '\0');
    gif.replace(0, 6, "GIF89a");
    gif[6] = 4;
    gif[8] = 3;
    const std::string picture = Write("logo.gif", gif);
    const std::filesystem::path folder = dir_.path() / std::string(100, 't');
    std::filesystem::create_directories(folder);
    environment_ = "TEMP=" + folder.string();
    CliOutcome imported = Talix({"append", db_, id, "Memo", "import", picture});
    EXPECT_NE(imported.status, 0);
    EXPECT_NE(imported.err.find("longer than"), std::string::npos) << imported.err;
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "start\n");

    environment_.clear();
    CliOutcome plain = Talix({"append", db_, id, "Memo", "import", picture});
    EXPECT_EQ(plain.status, 0) << plain.err;
}

// A record file the item cannot take says why, and the item stays as it
// was: a record cut short by the file's end is not a missing file.
TEST_F(ChunkCommands, ARecordFileThatCannotBeTakenSaysWhy) {
    const std::string id = NoteWithText();
    // The word 1, then a text run whose length (0x0100) passes the file's end.
    const std::string cut = Write("cut.cd", std::string("\x01\x00\x85\xFF\x00\x01\x00\x00\x00\x0A", 10));
    const std::string records = Talix({"records", db_, id, "Memo"}).out;
    CliOutcome run = Talix({"append", db_, id, "Memo", "import", cut});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, "cut.cd': The record file is cut short\n")) << run.err;
    EXPECT_TRUE(Has(run.err, "error 20014: the content could not be converted")) << run.err;
    EXPECT_FALSE(Has(run.err, "20032")) << run.err;
    EXPECT_EQ(Talix({"records", db_, id, "Memo"}).out, records);
}

// What is appended to the inside of a layer stays in the layer, in the order
// of the appends; the layer itself as the chunk takes appends after its end.
TEST_F(ChunkCommands, AppendsInsideALayerKeepTheirOrder) {
    const std::string id = NoteWithText();
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "layer", "10px", "10px", "100px", "100px"}).status, 0);
    for (const char* word : {"one", "two"}) {
        CliOutcome text = Talix({"append", db_, id, "Memo", "text", word, "--chunk", "Inside Layer 1"});
        ASSERT_EQ(text.status, 0) << text.err;
    }
    EXPECT_EQ(Talix({"text", db_, id, "Memo", "Inside Layer 1"}).out, "onetwo\n");
    EXPECT_EQ(Talix({"text", db_, id, "Memo", "Layer 1"}).out, "onetwo\n");
    // The texts lie before the layer's end record.
    const std::vector<std::string> records = Talix({"records", db_, id, "Memo"}).lines();
    std::size_t one = 0, two = 0, end = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (talix_test::Has(records[i], "text=one")) one = i;
        if (talix_test::Has(records[i], "text=two")) two = i;
        if (talix_test::Has(records[i], "CD_END")) end = i;
    }
    EXPECT_TRUE(one != 0 && one < two && two < end) << one << " " << two << " " << end;
    EXPECT_EQ(Talix({"append", db_, id, "Memo", "text", "after", "--chunk", "Layer 1"}).status, 0);
    EXPECT_EQ(Talix({"text", db_, id, "Memo", "Inside Layer 1"}).out, "onetwo\n");
}

} // namespace
