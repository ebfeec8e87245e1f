// The talix program, run as a user runs it: its output on the samples, its
// exit statuses and its messages.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/patterns.h"
#include "support/test_support.h"

namespace {

using talix_test::CliOutcome;

namespace fs = std::filesystem;


class Cli : public talix_test::CliTest {
protected:
    // A database holding one note made of the given items; returns its id.
    std::string OneNoteDb(const std::string& items) {
        CliOutcome run = Talix({"import", db_, Write("one.xml", "<note class='document'>" + items + "</note>")});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out.substr(0, 10);
    }

};

TEST_F(Cli, ImportPrintsTheNotesAndNotesListsThem) {
    auto files = talix_test::DxlFilesBelow(talix_test::SampleDxlDir());
    std::vector<std::string> args = {"import", db_};
    for (const auto& file : files) args.push_back(file.string());
    CliOutcome imported = Talix(args);
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.err, "");
    auto lines = imported.lines();
    ASSERT_EQ(lines.size(), files.size());
    // Each note beside the file it came from.
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(talix_test::FullMatch(lines[i], "0x[0-9A-F]{8}\t[0-9A-F]{32}\t.*")) << lines[i];
        EXPECT_EQ(lines[i].substr(lines[i].rfind('\t') + 1), files[i].string());
        lines[i].erase(lines[i].rfind('\t'));
    }

    CliOutcome notes = Talix({"notes", db_});
    ASSERT_EQ(notes.status, 0) << notes.err;
    auto listed = notes.lines();
    ASSERT_EQ(listed.size(), lines.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        EXPECT_EQ(listed[i].substr(0, lines[i].size() + 1), lines[i] + "\t");   // note-id order = import order
        EXPECT_TRUE(talix_test::FullMatch(listed[i], "0x[0-9A-F]{8}\t[0-9A-F]{32}\t0x[0-9A-F]{4}\t.*"));
    }
    // The class's bits by name as the last column.
    EXPECT_NE(notes.out.find("\t852559E00078377C052556C20056B593\t0x0004\tResponse\tform\n"), std::string::npos);
    EXPECT_NE(notes.out.find("\t0x8008\tAll\tview, default\n"), std::string::npos);
    EXPECT_NE(notes.out.find("\t0x0400\ttestfield\tshared field\n"), std::string::npos);

    // Importing notes that carry a UNID again replaces them: same notes,
    // same listing.
    CliOutcome again = Talix({"import", db_, Sample("2194.xml"), Sample("styledtext.xml")});
    EXPECT_EQ(again.status, 0) << again.err;
    ASSERT_EQ(again.lines().size(), 2u);
    EXPECT_NE(imported.out.find(again.lines()[0] + "\n"), std::string::npos);
    EXPECT_NE(imported.out.find(again.lines()[1] + "\n"), std::string::npos);
    EXPECT_EQ(Talix({"notes", db_}).out, notes.out);
}

TEST_F(Cli, ItemsAndValuesOfANote) {
    CliOutcome imported = Talix({"import", db_, Sample("2194.xml")});
    ASSERT_EQ(imported.status, 0) << imported.err;
    std::string id = imported.out.substr(0, 10);
    CliOutcome byUnid = Talix({"items", db_, "852559E00078377C052556C20056B593"});
    ASSERT_EQ(byUnid.status, 0) << byUnid.err;
    auto items = byUnid.lines();
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(items[0], "$TITLE\t0x0500\t0x0000\t10\ttext");
    EXPECT_EQ(items[3], "From\t0x0000\t0x0100\t2\tno data type, placeholder");
    EXPECT_EQ(items[8].substr(0, 14), "$BODY\t0x0001\t0");
    EXPECT_EQ(Talix({"items", db_, id}).out, byUnid.out);
    EXPECT_EQ(Talix({"items", db_, std::to_string(std::stoul(id, nullptr, 16))}).out, byUnid.out);

    CliOutcome title = Talix({"value", db_, id, "$title"});
    EXPECT_EQ(title.status, 0) << title.err;
    EXPECT_EQ(title.out, std::string("\x00\x05Response", 10));
    CliOutcome missing = Talix({"value", db_, id, "Nothing"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("talix: "), std::string::npos);
    EXPECT_NE(missing.err.find("Nothing"), std::string::npos);
    EXPECT_EQ(Talix({"items", db_, "0x7FFFFFF0"}).status, 1);

    // Same-named items: all of them one after another, or the K-th.
    std::string other = OneNoteDb("<item name='Part'><text>one</text></item><item name='X'><text/></item>"
                                  "<item name='Part'><number>2</number></item>");
    EXPECT_EQ(Talix({"value", db_, other, "Part"}).out, std::string("\x00\x05one\x00\x03\0\0\0\0\0\0\0\x40", 15));
    EXPECT_EQ(Talix({"value", db_, other, "Part", "--index", "1"}).out, std::string("\x00\x03\0\0\0\0\0\0\0\x40", 10));
    EXPECT_EQ(Talix({"value", db_, other, "--index", "0", "Part"}).out, std::string("\x00\x05one", 5));
    CliOutcome beyond = Talix({"value", db_, other, "Part", "--index", "2"});
    EXPECT_EQ(beyond.status, 1);
    EXPECT_EQ(beyond.out, "");
    EXPECT_NE(beyond.err.find("index 2"), std::string::npos);
}

// Values that hold tabs, line ends, backslashes or bytes that are no UTF-8
// (a title, an item name, the name of an imported file): each listing keeps
// one row per line and its columns, and each value reads back as it was.
TEST_F(Cli, ListingsKeepValuesOnTheirLinesAndReadBack) {
    const auto unescape = [](const std::string& field) {
        std::string text;
        for (size_t i = 0; i < field.size(); ++i) {
            if (field[i] != '\\' || i + 1 == field.size()) {
                text += field[i];
                continue;
            }
            const char next = field[++i];
            if (next == 't') text += '\t';
            else if (next == 'n') text += '\n';
            else if (next == 'r') text += '\r';
            else if (next == 'x') text += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16)), i += 2;
            else text += next;
        }
        return text;
    };
    const std::string file = Write("a\tb\xFE\\c.xml", "<note class='document'><item name='$TITLE'><text>T&#10;i\\tle"
                                                       "&#9;x</text></item><item name='a&#9;b\\c'><text>v</text>"
                                                       "</item></note>");
    CliOutcome imported = Talix({"import", db_, file});
    ASSERT_EQ(imported.status, 0) << imported.err;
    ASSERT_EQ(imported.lines().size(), 1u) << imported.out;
    const std::string row = imported.lines()[0];
    const std::string fileName = "/a\\tb\\xFE\\\\c.xml";
    ASSERT_GT(row.size(), fileName.size());
    EXPECT_EQ(row.substr(row.size() - fileName.size()), fileName) << row;
    EXPECT_EQ(unescape(row.substr(row.rfind('\t') + 1)), file);
    const std::string id = row.substr(0, 10);

    CliOutcome notes = Talix({"notes", db_});
    ASSERT_EQ(notes.lines().size(), 1u) << notes.out;
    EXPECT_TRUE(talix_test::Has(notes.out, "\tT\\ni\\\\tle\\tx\tdocument\n")) << notes.out;

    CliOutcome items = Talix({"items", db_, id});
    ASSERT_EQ(items.lines().size(), 2u) << items.out;
    const std::string name = items.lines()[1].substr(0, items.lines()[1].find('\t'));
    EXPECT_EQ(name, "a\\tb\\\\c");
    EXPECT_EQ(Talix({"value", db_, id, unescape(name)}).out, std::string("\x00\x05v", 3));
}

TEST_F(Cli, RecordLengthsAddUpToTheRichTextValue) {
    CliOutcome imported = Talix({"import", db_, Sample("form-layout.xml")});
    ASSERT_EQ(imported.status, 0) << imported.err;
    std::string id = imported.out.substr(0, 10);
    CliOutcome records = Talix({"records", db_, id, "$Body"});
    ASSERT_EQ(records.status, 0) << records.err;
    size_t total = 0, index = 0;
    for (const auto& line : records.lines()) {
        std::vector<std::string> m;
        ASSERT_TRUE(talix_test::FullMatch(line, "([0-9]+)\t0x[0-9A-F]{4}\t[^\t]+\t([0-9]+)\t.*", &m)) << line;
        EXPECT_EQ(std::stoul(m[1]), ++index);
        size_t length = std::stoul(m[2]);
        total += length + length % 2;
    }
    CliOutcome value = Talix({"value", db_, id, "$Body"});
    ASSERT_EQ(value.status, 0);
    EXPECT_EQ(total, value.out.size() - 2);
    EXPECT_NE(records.out.find("\t0xFF85\tCD_TEXT\t24\tfont=0x0A000001 text=I am layout text\n"), std::string::npos);
    EXPECT_NE(records.out.find("\t0x0083\tCD_PABREFERENCE\t4\tpabid=1\n"), std::string::npos);

    // An odd record is followed by a pad byte, which the last record of a
    // value may leave out.
    std::string odd = OneNoteDb("<item name='Odd'><rawitemdata type='1'>hf8JAAEAAApBAIEC</rawitemdata></item>");
    CliOutcome padded = Talix({"records", db_, odd, "Odd"});
    EXPECT_EQ(padded.status, 0) << padded.err;
    EXPECT_EQ(padded.out, "1\t0xFF85\tCD_TEXT\t9\tfont=0x0A000001 text=A\n2\t0x0081\tCD_PARAGRAPH\t2\t\n");
    CliOutcome inher = Talix({"import", db_, Sample("form-testinher.xml")});
    CliOutcome info = Talix({"records", db_, inher.out.substr(0, 10), "$Info"});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out, "1\t0x0086\tCD_DOCUMENT\t33\t\n");
}

TEST_F(Cli, RecordsOfDamagedOrOtherDataFail) {
    // A paragraph, then a text record claiming 32 bytes where 6 are left;
    // in a second item of the name, a long-form record of length 0.
    std::string id = OneNoteDb("<item name='Body'><rawitemdata type='1'>gQKF/yAAAQAAAA==</rawitemdata></item>"
                               "<item name='Zero'><rawitemdata type='1'>gQKBAgAAAAAAAA==</rawitemdata></item>"
                               "<item name='Plain'><text>x</text></item>");
    CliOutcome past = Talix({"records", db_, id, "Body"});
    EXPECT_EQ(past.status, 1);
    EXPECT_EQ(past.out, "1\t0x0081\tCD_PARAGRAPH\t2\t\n");
    EXPECT_NE(past.err.find("talix: "), std::string::npos);
    EXPECT_NE(past.err.find("past the end"), std::string::npos) << past.err;
    CliOutcome zero = Talix({"records", db_, id, "Zero"});
    EXPECT_EQ(zero.status, 1);
    EXPECT_EQ(zero.lines().size(), 2u);
    EXPECT_NE(zero.err.find("length 0"), std::string::npos) << zero.err;
    CliOutcome plain = Talix({"records", db_, id, "Plain"});
    EXPECT_EQ(plain.status, 1);
    EXPECT_NE(plain.err.find("not rich text"), std::string::npos);
}

TEST_F(Cli, AnImportWithAFailingFileImportsNothingAndShowsTheLogOnlyWhenVerbose) {
    std::string bad = Write("bad.xml", "<note class='form'>\n<item name='A'><number>x</number></item></note>");
    CliOutcome run = Talix({"import", db_, Sample("2194.xml"), bad, Sample("view-all.xml")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("talix: " + bad + ":2: 'x' is not a number"), std::string::npos) << run.err;
    // The database the import made is gone again, with its log files.
    EXPECT_NE(run.err.find("the new database was removed again"), std::string::npos) << run.err;
    for (const char* suffix : {"", "-wal", "-shm"}) EXPECT_FALSE(std::filesystem::exists(db_ + suffix)) << suffix;

    // Into a database that exists: nothing of the good files lands either.
    ASSERT_EQ(Talix({"import", db_, Sample("2194.xml")}).status, 0);
    const std::string before = Talix({"notes", db_}).out;
    run = Talix({"import", db_, Sample("view-all.xml"), Sample("styledtext.xml"), bad});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Talix({"notes", db_}).out, before);
    EXPECT_TRUE(std::filesystem::exists(db_));
    run = Talix({"import", db_, Sample("view-all.xml"), Sample("styledtext.xml")});
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.lines().size(), 2u);
    // Each note beside the file it came from.
    EXPECT_NE(run.lines()[0].find("\t" + Sample("view-all.xml")), std::string::npos) << run.out;
    EXPECT_NE(run.lines()[1].find("\t" + Sample("styledtext.xml")), std::string::npos) << run.out;

    CliOutcome quiet = Talix({"import", db_, Sample("field-testfield.xml")});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
    CliOutcome verbose = Talix({"--verbose", "import", db_, Sample("field-testfield.xml")});
    EXPECT_EQ(verbose.status, 0);
    EXPECT_NE(verbose.err.find("testfield"), std::string::npos);
}

TEST_F(Cli, UsageErrorsHelpAndMissingDatabases) {
    const struct {
        std::vector<std::string> args;
        int status;
        const char* err;
    } cases[] = {
        {{}, 2, "no command"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{"--quiet", "notes", "x"}, 2, "unknown option"},
        {{"notes"}, 2, "usage: talix notes DB"},
        {{"import", "x.db"}, 2, "usage: talix import"},
        {{"items", "x.db", "note"}, 2, "'note' is neither"},
        {{"value", "x.db", "0x20"}, 2, "usage: talix value"},
        {{"value", "x.db", "0x20", "A", "--index", "-1"}, 2, "--index"},
        {{"records", "x.db", "0x20", "A", "--index", "1"}, 2, "unknown option '--index'"},
        {{"notes", "missing.db"}, 1, "talix: cannot open missing.db"},
        {{"items", "missing.db", "12"}, 1, "talix: cannot open missing.db"},
    };
    for (const auto& c : cases) {
        CliOutcome run = Talix(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_EQ(run.err.rfind("talix: ", 0), 0u) << run.err;
    }
    CliOutcome help = Talix({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"import", "notes", "items", "value", "records"}) {
        EXPECT_NE(help.out.find(std::string("talix ") + command), std::string::npos);
        CliOutcome commandHelp = Talix({command, "--help"});
        EXPECT_EQ(commandHelp.status, 0);
        EXPECT_EQ(commandHelp.out.rfind(std::string("usage: talix ") + command, 0), 0u) << commandHelp.out;
    }
}

} // namespace
