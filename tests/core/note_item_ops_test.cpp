// Item operations on other items of the connected note: the web editor
// set-up, header and footer, formula items and the check text.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/statuses.h"
#include "core/walkers.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix_test::StoredValues;

// Little-endian words, for expected stored values.
std::string Words(std::initializer_list<unsigned> words) {
    std::string bytes;
    for (unsigned word : words) bytes += {static_cast<char>(word & 0xFF), static_cast<char>(word >> 8)};
    return bytes;
}

// The "$HTMLHeadTag" formula text for a field and toolbar set.
std::string ExpectedHeadTag(const std::string& field, const std::string& toolbar) {
    return std::string(R"(br := @NewLine;"<META HTTP-EQUIV=\"CACHE-CONTROL\" CONTENT=\"NO-CACHE\">")") +
           R"(+ br +"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">")" +
           R"(+ br +"<meta name=\"robots\" content=\"noindex, nofollow\">")" +
           R"(+ br +@If(@IsDocBeingEdited; )" +
           R"("<script type=\"text/javascript\" src=\"/QVE_fckeditor.nsf/fckeditor/fckeditor.js\"></script>")" +
           R"(+ br +"<script type=\"text/javascript\">")" +
           R"(+ br +"function doLoadAlternateEditor() {")" +
           R"(+ br +"var oFCKeditor1 = new FCKeditor( ')" + field + R"(' ) ;")" +
           R"(+ br +"oFCKeditor1.BasePath  = '/QVE_fckeditor.nsf/fckeditor/' ;")" +
           R"(+ br +"oFCKeditor1.ToolbarSet  = ')" + toolbar + R"(' ;")" +
           R"(+ br +"oFCKeditor1.Height            = '500' ;")" +
           R"(+ br +"oFCKeditor1.Width            = '100%' ;")" +
           R"(+ br +"oFCKeditor1.ReplaceTextarea() ;")" +
           R"(+ br +"return")" +
           R"(+ br +"} ")" +
           R"(+ br +"function doSubmit () { return true } ")" +
           R"(+ br +"function FCKeditor_OnComplete( editorInstance ) {")" +
           R"(+ br +" window.status = editorInstance.Description ;")" +
           R"(+ br +"}")" +
           R"(+ br +"var editmode = 'true' ; ")" +
           R"(+ br +"</script>")" +
           R"(; br +"<script type=\"text/javascript\">")" +
           R"(+ br +"function doLoadAlternateEditor () { return true } ")" +
           R"(+ br +"function doSubmit () { return true } ")" +
           R"(+ br +"</script>"))";
}

class NoteItemOps : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(plat::DbCreate(dir_.file("ops.nsf").c_str(), &db_), plat::NOERROR);
        ASSERT_EQ(plat::NoteCreate(db_, &note_), plat::NOERROR);
        item_ = new ZervaRTItem(&session_);
        ASSERT_EQ(item_->ConnectBackend(note_, "Body", 1), 0);
    }
    void TearDown() override {
        delete item_;
        plat::NoteClose(note_);
        plat::DbClose(db_);
    }

    std::string FormulaText(const char* name) {
        std::vector<char> text(0x10000, 'x');
        std::uint16_t length = item_->GetFormulaItem(name, text.data(), static_cast<std::uint16_t>(text.size() - 1));
        EXPECT_EQ(std::strlen(text.data()), length);
        return text.data();
    }

    talix_test::TempDir dir_;
    plat::DBHANDLE db_ = 0;
    plat::NOTEHANDLE note_ = 0;
    RARIvoSession session_;
    ZervaRTItem* item_ = nullptr;
};

TEST_F(NoteItemOps, AlternateEditorWritesTheEventsAndTheHeadTagFormula) {
    EXPECT_EQ(item_->SetupAlternateEditor("ignored", "BodyText", 4, nullptr), 0);

    // Two JavaScript events, each an event record, a blob part and its code
    // (cut to even length, line ends made zero), then two event entries.
    const std::string zeros(14, '\0');
    const std::string code = Words({1}) +
        Words({0xFFF9, 32, 0, 0, 13, 4, 26, 0, 0}) + zeros + Words({0xFFDC, 18 + 26, 0xFFF9, 26, 16000, 0, 0, 0, 0}) +
        "doLoadAlternateEditor() ; " +
        Words({0xFFF9, 32, 0, 0, 16, 4, 14, 0, 0}) + zeros + Words({0xFFDC, 18 + 14, 0xFFF9, 14, 16000, 0, 0, 0, 0}) +
        std::string("doSubmit() ; \0", 14) +
        Words({0xFF5F, 16, 2, 13, 7, 0, 0, 0}) + Words({0xFF5F, 16, 2, 16, 7, 0, 0, 0});
    EXPECT_EQ(StoredValues(note_, "$HTMLCode"), std::vector<std::string>{code});

    // The field name is taken with its given length; the default toolbar set.
    EXPECT_EQ(FormulaText("$HTMLHeadTag"), ExpectedHeadTag("Body", "MirratDefault"));

    // Doing it again replaces both items.
    EXPECT_EQ(item_->SetupAlternateEditor(nullptr, "Notes", 5, "Basic"), 0);
    EXPECT_EQ(StoredValues(note_, "$HTMLCode"), std::vector<std::string>{code});
    EXPECT_EQ(FormulaText("$HTMLHeadTag"), ExpectedHeadTag("Notes", "Basic"));

    // A quote in a name cannot end its formula string and add formula code.
    const char* field = R"(F" + @NoteID + ")";
    EXPECT_EQ(item_->SetupAlternateEditor(nullptr, field, 100, "T\\"), 0);
    EXPECT_EQ(FormulaText("$HTMLHeadTag"), ExpectedHeadTag(R"(F\" + @NoteID + \")", "T\\\\"));
}

TEST_F(NoteItemOps, HeaderAndFooterAreReplacedByOneRecord) {
    ASSERT_EQ(plat::ItemSetText(note_, "$Header", "old", 3), plat::NOERROR);
    EXPECT_EQ(item_->ResetHeaderFooter(1, "Page 1", 0x0A000001, "Arial"), 0);
    // Type word, header, pitch-and-family byte 0x20, face, font id, text length.
    const std::string header = Words({1, 0xFF8E, 43 + 7}) + " Arial" + std::string(27, '\0') +
                               Words({1, 0x0A00, 7}) + std::string("Page 1\0", 7);
    EXPECT_EQ(StoredValues(note_, "$Header"), std::vector<std::string>{header});

    // The footer: an odd record length is padded to even; a face name too
    // long for its field is cut; the header stays.
    std::string face(40, 'F');
    EXPECT_EQ(item_->ResetHeaderFooter(0, "abc", 7, face.c_str()), 0);
    const std::string footer = Words({1, 0xFF8E, 43 + 4}) + " " + std::string(31, 'F') + std::string(1, '\0') +
                               Words({7, 0, 4}) + std::string("abc\0\0", 5);
    EXPECT_EQ(StoredValues(note_, "$Footer"), std::vector<std::string>{footer});
    EXPECT_EQ(StoredValues(note_, "$Header"), std::vector<std::string>{header});
}

TEST_F(NoteItemOps, FormulaItemsAndCheckText) {
    const std::string formula = R"(SELECT Form = "Memo")";
    ASSERT_EQ(item_->SetFormulaItem("Sel", formula.c_str(), static_cast<std::uint16_t>(formula.size())), 0);
    EXPECT_EQ(FormulaText("Sel"), formula);
    // A text that does not fit is not handed back cut short.
    char small[20] = "x";
    EXPECT_EQ(item_->GetFormulaItem("Sel", small, sizeof small), 0);
    EXPECT_STREQ(small, "");
    ASSERT_EQ(plat::ItemSetText(note_, "Subject", "text", 4), plat::NOERROR);
    EXPECT_EQ(FormulaText("Subject"), "");
    EXPECT_EQ(FormulaText("Missing"), "");

    char text[32] = "x", expected[32];
    ASSERT_EQ(talix::FormatItemCRC(note_, "Body", expected, sizeof expected, 4, 6), 0);
    EXPECT_EQ(item_->CalculateRTItemCRC(text, 4, 6), 0);
    EXPECT_STREQ(text, expected);
    ZervaRTItem unconnected(&session_);
    EXPECT_EQ(unconnected.CalculateRTItemCRC(text, 4, 6), 0);
    EXPECT_STREQ(text, "");
}

} // namespace
