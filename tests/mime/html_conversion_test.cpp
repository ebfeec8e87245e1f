// The whole-item HTML conversions: an item rebuilt from the HTML another
// item of its note holds (with a file resource's style sheet), and an item
// rendered as HTML into a file, a text run or a new rich-text item.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/record_io.h"
#include "core/signatures.h"
#include "core/statuses.h"
#include "fixture_items.h"
#include "mime/html_from_item.h"
#include "platform/testing.h"
#include "support/markup_validators.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using engine_test::Records;
using engine_test::Runs;

std::uint16_t Word(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                      (static_cast<std::uint8_t>(bytes[at + 1]) << 8));
}

// One stored record of a value: signature, length in its header, its bytes.
struct StoredRecord {
    std::uint16_t signature = 0;
    std::uint16_t length = 0;
    std::string bytes;
};

// The records of a rich-text value (data-type word first): byte, word and
// long headers as the signature's high byte says.
std::vector<StoredRecord> WordRecords(const std::string& value) {
    std::vector<StoredRecord> records;
    std::size_t at = 2;
    while (at + 2 <= value.size()) {
        StoredRecord record;
        const std::uint16_t word = Word(value, at);
        std::size_t length = 0;
        if ((word >> 8) == 0xFF) {
            record.signature = word;
            length = at + 4 <= value.size() ? Word(value, at + 2) : 0;
        } else if ((word >> 8) == 0) {
            record.signature = word;
            length = at + 6 <= value.size() ? Word(value, at + 2) | (Word(value, at + 4) << 16) : 0;
        } else {
            record.signature = word & 0xFF;
            length = word >> 8;
        }
        if (length < 2 || at + length > value.size()) break;
        record.length = static_cast<std::uint16_t>(length);
        record.bytes = value.substr(at, length);
        records.push_back(record);
        at += length + (length & 1u);
    }
    return records;
}

class HtmlConversion : public testing::Test {
protected:
    // A note with "Body" and the other items given, item_ connected to Body.
    void Store(const std::vector<std::pair<std::string, Records>>& items) {
        plat::DBHANDLE db = 0;
        if (plat::DbOpen(path_.c_str(), &db) != plat::NOERROR) ASSERT_EQ(plat::DbCreate(path_.c_str(), &db), 0);
        plat::NOTEHANDLE note = 0;
        ASSERT_EQ(plat::NoteCreate(db, &note), 0);
        for (const auto& [name, records] : items) EXPECT_EQ(talix_test::StoreRichTextItem(note, name, records), 0);
        ASSERT_EQ(plat::NoteUpdate(note, 0), 0);
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &noteId_);
        plat::NoteClose(note);
        plat::DbClose(db);
        ASSERT_EQ(item_.Connect("", path_.c_str(), noteId_, "Body", 0), 0);
        ASSERT_NE(item_.connected, 0);
    }
    // A file resource of the database with the content.
    void StoreStyleSheet(const char* name, const std::string& content) {
        const std::string file = dir_.file("sheet.css");
        std::FILE* out = std::fopen(file.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(content.data(), 1, content.size(), out);
        std::fclose(out);
        RARIvoSession session;
        ZervaRTItem* resource =
            session.CreateDesignElement("File Resource", "", path_.c_str(), name, ("SourceFile=" + file).c_str());
        ASSERT_NE(resource, nullptr);
        EXPECT_EQ(resource->Save(), 0);
        delete resource;
    }
    // The text of every run of an item of the open note, runs joined by "|".
    std::string Text(const char* name) {
        ZervaRTItem reader(&session_);
        if (reader.ConnectBackend(item_.noteHandle, name, 0) != 0 || reader.connected == 0) return "<missing>";
        ZervaRTChunk* chunk = reader.DefineChunk("Everything");
        std::vector<char> buffer(200000);
        chunk->GetText(nullptr, buffer.data(), static_cast<std::uint32_t>(buffer.size()), 1, "|");
        delete chunk;
        return buffer.data();
    }
    // About 1.2 MB of text in runs: many times what one record holds.
    static Records LongRuns() {
        std::vector<std::string> texts;
        for (int i = 0; i < 3300; ++i)
            texts.push_back("Run " + std::to_string(i) + " " + std::string(300, static_cast<char>('a' + i % 26)));
        return Runs(texts);
    }
    // The HTML the item exports to a file.
    std::string ExportedHtml() {
        const std::string file = dir_.file("whole.htm");
        item_.ExportToHTML(file.c_str(), nullptr, nullptr, 0, nullptr);
        return talix_test::ReadFile(file);
    }
    std::vector<std::string> Values(const char* name) const {
        return talix_test::StoredValues(item_.noteHandle, name);
    }
    // The colour byte of the first text run holding text.
    int FirstRunColour(const char* name) {
        for (const std::string& value : Values(name)) {
            for (const StoredRecord& record : WordRecords(value)) {
                if (record.signature == talix::kSigText && record.length > 8) return record.bytes[6];
            }
        }
        return -1;
    }

    talix_test::TempDir dir_;
    std::string path_ = dir_.file("html.nsf");
    plat::NOTEID noteId_ = 0;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
};

TEST_F(HtmlConversion, ItemRebuiltFromTheHtmlAnotherItemHolds) {
    Store({{"Body", Runs({"old text"})}, {"Editor", Runs({"<p>x</p>"})}});
    StoreStyleSheet("fck_editorarea.css", "p{\r\n\tcolor:red}");

    // Without a style sheet: the text, in the default colour.
    const plat::DWORD opened = plat::TestNotesOpened();
    EXPECT_EQ(item_.ConvertFromHTMLBackend(0, "Editor", "UseCSSFile=", 0, nullptr, 0), 0);
    EXPECT_EQ(plat::TestNotesOpened(), opened);
    EXPECT_EQ(Text("Body"), "x");
    EXPECT_EQ(FirstRunColour("Body"), 0);
    EXPECT_EQ(Text("Editor"), "<p>x</p>");

    // The default style sheet, line breaks and tabs in it, colours the text.
    EXPECT_EQ(item_.ConvertFromHTMLBackend(0, "Editor", "", 0, nullptr, 0), 0);
    EXPECT_EQ(Text("Body"), "x");
    EXPECT_EQ(FirstRunColour("Body"), 2);   // red
    EXPECT_NE(item_.defaultChunk, nullptr);

    // A source that is not there, or a prefix that makes the options too
    // long, leaves the item as it is.
    const std::vector<std::string> before = Values("Body");
    EXPECT_EQ(item_.ConvertFromHTMLBackend(0, "Missing", "", 0, nullptr, 0), talix::kOperationFailed);
    EXPECT_EQ(Values("Body"), before);
    const std::string prefix(4000, 'p');
    EXPECT_EQ(item_.ConvertFromHTMLBackend(0, "Editor", std::string(100, 'o').c_str(), 0, prefix.c_str(),
                                           static_cast<std::uint16_t>(prefix.size())),
              talix::kArgumentError);
    EXPECT_EQ(Values("Body"), before);
    // A prefix of its own is taken.
    EXPECT_EQ(item_.ConvertFromHTMLBackend(0, "Editor", nullptr, 0, "/res/", 5), 0);
    EXPECT_EQ(Text("Body"), "x");
}

TEST_F(HtmlConversion, ImportOptionsWithAPrefix) {
    std::string composed;
    ASSERT_TRUE(talix::ComposeHTMLImportOptions("Size1=6 Size2=9", 0, nullptr, 0, &composed));
    EXPECT_EQ(composed, "Size1=6 Size2=9");
    ASSERT_TRUE(talix::ComposeHTMLImportOptions("Size1=6 Size2=9", 0, "pre/", 4, &composed));
    EXPECT_EQ(composed, "Size1=6 Size2=9 LocalResourcePrefix='pre/'");
    // A length cuts the options, even inside a value.
    ASSERT_TRUE(talix::ComposeHTMLImportOptions("Size1=6 Size2=9", 13, "pre/", 4, &composed));
    EXPECT_EQ(composed, "Size1=6 Size2 LocalResourcePrefix='pre/'");
    ASSERT_TRUE(talix::ComposeHTMLImportOptions(nullptr, 0, "pre/xyz", 4, &composed));
    EXPECT_EQ(composed, "LocalResourcePrefix='pre/'");
    const std::string options(4095 - std::strlen(" LocalResourcePrefix='p'"), 'o');
    EXPECT_TRUE(talix::ComposeHTMLImportOptions(options.c_str(), 0, "p", 1, &composed));
    EXPECT_EQ(composed.size(), 4095u);
    EXPECT_FALSE(talix::ComposeHTMLImportOptions((options + "o").c_str(), 0, "p", 1, &composed));
}

TEST_F(HtmlConversion, ExportToAFile) {
    Store({{"Body", Runs({"Hello [<b>] world"})}});
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir_.file(""));
    item_.ExportToHTML("", nullptr, nullptr, 0, nullptr);
    std::filesystem::current_path(before);
    EXPECT_EQ(item_.lastStatus, 0);
    const std::string html = talix_test::ReadFile(dir_.file("export.htm"));
    EXPECT_NE(html.find("Hello [&lt;b&gt;] world"), std::string::npos) << html;
    std::string report;
    EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << report;

    const std::string xhtmlPath = dir_.file("x.htm");
    item_.ExportToHTML(xhtmlPath.c_str(), "XHTML 1.0", nullptr, 0, nullptr);
    EXPECT_NE(talix_test::ReadFile(xhtmlPath).find("XHTML 1.0"), std::string::npos);

    // MarkDelimitedHTML highlights with fonts of its own and puts the
    // item's back.
    char* highlight = item_.highlightFont;
    std::string highlightText = highlight;
    item_.autoMergeText = 1;
    item_.ExportToHTML(dir_.file("m.htm").c_str(), nullptr, "MarkDelimitedHTML=Yes", 0, nullptr);
    EXPECT_EQ(item_.lastStatus, 0);
    EXPECT_EQ(std::string(item_.highlightFont), highlightText);
    EXPECT_EQ(item_.autoMergeText, 1);
    EXPECT_NE(talix_test::ReadFile(dir_.file("m.htm")).find("Hello <!--DelimitedStart--><b><!--DelimitedEnd--> world"), std::string::npos)
        << talix_test::ReadFile(dir_.file("m.htm"));

    item_.ExportToHTML(dir_.file("no/such/folder.htm").c_str(), nullptr, nullptr, 0, nullptr);
    EXPECT_EQ(item_.lastStatus, talix::kItemNotFound);
    EXPECT_EQ(item_.ownError, talix::kItemNotFound);
}

// An item that is open but not connected (as CopyItem leaves it) has
// nothing to render: the conversions are refused, and neither an item
// nor a file is written over with an empty page.
TEST_F(HtmlConversion, AnItemNotConnectedIsNotRendered) {
    Store({{"Body", Runs({"Alpha"})}});
    ZervaRTItem opened(&session_);
    ASSERT_EQ(opened.CopyItem("", path_.c_str(), noteId_, "Body", 0), 0);
    const std::vector<std::string> body = talix_test::StoredValues(opened.noteHandle, "Body");
    opened.ConvertToHTML(nullptr, nullptr, "Overwrite=Yes CreateRTItem=No", 0, nullptr);
    EXPECT_EQ(opened.lastStatus, talix::kArgumentError);
    EXPECT_EQ(opened.ownError, talix::kErrConversion);
    EXPECT_EQ(talix_test::StoredValues(opened.noteHandle, "Body"), body);
    const std::string file = dir_.file("opened.htm");
    opened.ExportToHTML(file.c_str(), nullptr, nullptr, 0, nullptr);
    EXPECT_EQ(opened.lastStatus, talix::kArgumentError);
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(HtmlConversion, ConvertIntoAnItemOfTheNote) {
    Store({{"Body", Runs({"Alpha", "Beta"})}});

    item_.ConvertToHTML("Out", nullptr, "CreateRTItem=No PassthruHTML=Yes", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    std::vector<std::string> values = Values("Out");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(Word(values[0], 0), 1);   // rich text
    std::vector<StoredRecord> records = WordRecords(values[0]);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].signature, talix::kSigHtmlBegin);
    EXPECT_EQ(records[0].bytes, std::string("\xCC\xFF\x08\x00\x00\x00\x00\x00", 8));
    EXPECT_EQ(records[1].signature, talix::kSigText);
    EXPECT_EQ(records[2].bytes, std::string("\xCD\xFF\x08\x00\x00\x00\x00\x00", 8));
    const std::string html = records[1].bytes.substr(8);
    EXPECT_NE(html.find("Alpha"), std::string::npos) << html;
    std::string report;
    EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << report;

    // The output exists now: refused without Overwrite=Yes, as is the
    // item's own name.
    item_.ConvertToHTML("Out", nullptr, "CreateRTItem=No PassthruHTML=No", 0, nullptr);
    EXPECT_EQ(item_.lastStatus, 260);
    EXPECT_EQ(item_.ownError, talix::kErrConversion);
    EXPECT_EQ(Values("Out"), values);
    item_.ConvertToHTML("", nullptr, nullptr, 0, nullptr);
    EXPECT_EQ(item_.lastStatus, 260);

    item_.ConvertToHTML("Out", nullptr, "CreateRTItem=No PassthruHTML=No Overwrite=Yes", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    records = WordRecords(Values("Out")[0]);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].bytes.substr(8), html);

    // The rich-text form: the same markup, a line per piece.
    item_.ConvertToHTML("Lines", nullptr, nullptr, 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    std::string lines = Text("Lines");
    EXPECT_NE(lines.find("Alpha"), std::string::npos) << lines;
    std::string joined;
    for (char c : lines) {
        if (c != '|') joined += c;
    }
    EXPECT_EQ(joined, html);
    // Nothing marked without PassthruHTML=; everything with ALL.
    for (const std::string& value : Values("Lines")) {
        for (const StoredRecord& record : WordRecords(value)) EXPECT_NE(record.signature, talix::kSigHtmlBegin);
    }
    item_.ConvertToHTML("Marked", nullptr, "PassthruHTML=ALL", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    int begins = 0;
    for (const std::string& value : Values("Marked")) {
        for (const StoredRecord& record : WordRecords(value)) begins += record.signature == talix::kSigHtmlBegin;
    }
    EXPECT_GT(begins, 0);
    item_.ConvertToHTML("Runs", nullptr, "PassthruHTML=Text", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    EXPECT_NE(Values("Runs"), Values("Lines"));

    // A caller's buffer gets the markup from its 9th byte on; the item
    // still gets the records in front of the text.
    std::vector<char> buffer(70000, 'z');
    item_.SaveAsHTMLInternal("Buffered", nullptr, "CreateRTItem=No", 0, buffer.data(), 0, nullptr, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    EXPECT_EQ(std::string(buffer.data() + 8), html);
    records = WordRecords(Values("Buffered").at(0));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].bytes.substr(8), html);
    EXPECT_EQ(Text("Body"), "Alpha|Beta");

    // Into the item's own name: a later save keeps the HTML, not the
    // records the item held.
    item_.cacheRecords = 1;
    item_.ConvertToHTML(nullptr, nullptr, "Overwrite=Yes CreateRTItem=No", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    ASSERT_EQ(item_.Save(), 0);
    records = WordRecords(Values("Body").at(0));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].bytes.substr(8), html);
    item_.ConvertToHTML(nullptr, nullptr, "Overwrite=Yes", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    EXPECT_NE(Text("Body").find("AlphaBeta"), std::string::npos) << Text("Body");
}

TEST_F(HtmlConversion, LongMarkupIsStoredWholeInRunsTheReaderTakes) {
    // About 1.2 MB of markup: many times what one record holds.
    Store({{"Body", LongRuns()}});
    const std::string whole = ExportedHtml();
    ASSERT_EQ(item_.lastStatus, 0);
    ASSERT_GT(whole.size(), 1000000u);

    // Into the item itself: the source goes only once the HTML is stored.
    std::vector<char> buffer(70000, 'z');
    item_.SaveAsHTMLInternal(nullptr, nullptr, "CreateRTItem=No Overwrite=Yes", 0, buffer.data(), 0, nullptr,
                             nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    // The caller's buffer holds what it can of the markup.
    EXPECT_EQ(std::string(buffer.data() + 8), whole.substr(0, 65393));

    const std::vector<std::string> values = Values("Body");
    EXPECT_GT(values.size(), 20u);
    std::string stored;
    std::vector<std::uint16_t> signatures;
    for (const std::string& value : values) {
        EXPECT_LE(value.size(), 2u + talix::kItemRecordBytes);
        for (const StoredRecord& record : WordRecords(value)) {
            signatures.push_back(record.signature);
            if (record.signature == talix::kSigText) stored += record.bytes.substr(8);
        }
    }
    EXPECT_EQ(stored, whole);
    ASSERT_GT(signatures.size(), 3u);
    EXPECT_EQ(signatures.front(), talix::kSigHtmlBegin);
    EXPECT_EQ(signatures.back(), talix::kSigHtmlEnd);
    // The library's own reader takes the item back whole.
    ZervaRTItem reader(&session_);
    ASSERT_EQ(reader.ConnectBackend(item_.noteHandle, "Body", 0), 0);
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(&reader, 0, nullptr, 0, 0, 0, nullptr, &status);
    EXPECT_EQ(status, 0);
    std::size_t records = 0;
    for (const talix::CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr; node = node->next)
        ++records;
    EXPECT_EQ(records, signatures.size());
    talix::DeleteItemRecordList(&session_, list);
}

TEST_F(HtmlConversion, LongMarkupInARichTextItemIsALinePerPieceInOrder) {
    // About 1.2 MB of markup, handed on in many pieces while it is made.
    Store({{"Body", LongRuns()}});
    const std::string whole = ExportedHtml();
    ASSERT_EQ(item_.lastStatus, 0);

    item_.ConvertToHTML("Lines", nullptr, nullptr, 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    // After the item's opening paragraph, each piece is a text run, then a
    // line break, each followed by an empty run, as appending the piece and
    // then a new line writes them.
    std::vector<StoredRecord> records;
    for (const std::string& value : Values("Lines"))
        for (StoredRecord& record : WordRecords(value)) records.push_back(std::move(record));
    ASSERT_GT(records.size(), 3u);
    EXPECT_EQ(records[0].signature, talix::kSigPabDefinition);
    EXPECT_EQ(records[1].signature, talix::kSigPabReference);
    std::string joined;
    std::size_t pieces = 0;
    std::size_t at = 3;   // past the opening paragraph's empty run
    for (; at + 3 < records.size(); at += 4, ++pieces) {
        const std::string piece = records[at].bytes.substr(8);
        ASSERT_EQ(records[at].signature, talix::kSigText) << "record " << at;
        ASSERT_FALSE(piece.empty()) << "record " << at;
        EXPECT_EQ(records[at + 1].length, 8u) << "record " << at + 1;
        EXPECT_EQ(records[at + 2].bytes.substr(8), std::string(1, '\0')) << "record " << at + 2;
        EXPECT_EQ(records[at + 3].length, 8u) << "record " << at + 3;
        joined += piece;
    }
    EXPECT_EQ(at, records.size());
    EXPECT_GT(pieces, 15u);
    EXPECT_EQ(joined, whole);
}

TEST_F(HtmlConversion, LongMarkupRunsEndAfterALineEndOrWhereTheRunIsFull) {
    Store({{"Body", LongRuns()}});
    // The most text one run holds: a stored item less two pass-thru records
    // and the run's header.
    const std::size_t full = talix::kItemRecordBytes - 3 * 8;
    const auto runsOf = [&](const char* name) {
        std::vector<std::string> runs;
        for (const std::string& value : Values(name))
            for (const StoredRecord& record : WordRecords(value))
                if (record.signature == talix::kSigText) runs.push_back(record.bytes.substr(8));
        return runs;
    };
    // Markup without line ends: every run but the last is full.
    item_.ConvertToHTML("Flat", nullptr, "CreateRTItem=No", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    std::vector<std::string> runs = runsOf("Flat");
    ASSERT_GT(runs.size(), 15u);
    for (std::size_t i = 0; i + 1 < runs.size(); ++i) {
        EXPECT_EQ(runs[i].size(), full) << "run " << i;
        EXPECT_EQ(runs[i].find('\n'), std::string::npos);
    }
    // Markup of lines: each run but the last ends after the last line end
    // that fits.
    item_.ConvertToHTML("Lines", nullptr, "CreateRTItem=No AddNewlines=Yes", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    runs = runsOf("Lines");
    ASSERT_GT(runs.size(), 15u);
    std::string joined;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        joined += runs[i];
        if (i + 1 == runs.size()) break;
        EXPECT_LE(runs[i].size(), full);
        EXPECT_GT(runs[i].size(), full / 2);
        ASSERT_EQ(runs[i].back(), '\n') << "run " << i;
        const std::size_t next = runs[i + 1].find('\n');
        EXPECT_GT(runs[i].size() + (next == std::string::npos ? runs[i + 1].size() : next + 1), full) << "run " << i;
    }
    EXPECT_NE(joined.find("3299"), std::string::npos);   // the last paragraph
}

} // namespace

namespace {

TEST_F(HtmlConversion, AHeadLongerThanOneRunOrThanTheBufferInARichTextItem) {
    Store({{"Body", Runs({"Body text"})}});
    const auto runText = [&](const char* name) {
        std::string joined;
        for (const std::string& value : Values(name))
            for (const StoredRecord& record : WordRecords(value))
                if (record.signature == talix::kSigText) joined += record.bytes.substr(8);
        return joined;
    };
    // A head of one piece longer than one text run holds goes on in a
    // further run.
    const std::string title(65000, 't');
    item_.ConvertToHTML("Long", nullptr, ("Title=" + title).c_str(), 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    const std::string stored = runText("Long");
    EXPECT_NE(stored.find("<title>" + title + "</title>"), std::string::npos);
    EXPECT_NE(stored.find("Body text"), std::string::npos);
    // A head the generation's buffer cannot hold is refused, not stored
    // without its title and body.
    const std::string tooLong = "Title=" + std::string(65300, 't');
    item_.ConvertToHTML("Cut", nullptr, tooLong.c_str(), 0, nullptr);
    EXPECT_EQ(item_.lastStatus, talix::kOutOfMemory);
    EXPECT_TRUE(Values("Cut").empty());
    // The items such a conversion was to replace stay as they were, the
    // rendered item's own among them.
    const std::vector<std::string> long_ = Values("Long"), body = Values("Body");
    for (const char* into : {"Long", "Body"}) {
        item_.ConvertToHTML(into, nullptr, ("Overwrite=Yes " + tooLong).c_str(), 0, nullptr);
        EXPECT_EQ(item_.lastStatus, talix::kOutOfMemory) << into;
    }
    EXPECT_EQ(Values("Long"), long_);
    EXPECT_EQ(Values("Body"), body);
}

} // namespace
