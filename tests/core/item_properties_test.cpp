#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/font_spec.h"
#include "core/item_work_state.h"
#include "core/properties.h"
#include "core/statuses.h"
#include "core/thread_state.h"
#include "core_fixture.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

using talix_test::CollectMessage;
using talix_test::g_messages;

class ItemProperties : public testing::Test {
protected:
    void SetUp() override {
        session = std::make_unique<RARIvoSession>();
        item = new ZervaRTItem(session.get());
        g_messages.clear();
        plat::RegisterMessageProc(CollectMessage);
    }
    void TearDown() override {
        plat::RegisterMessageProc(nullptr);
        delete item;
        if (note != 0) plat::NoteClose(note);
        if (db != 0) plat::DbClose(db);
    }
    // Gives the item a fresh note it borrows (the test closes it).
    void UseNote() {
        ASSERT_EQ(plat::DbCreate(dir.file("props.nsf").c_str(), &db), plat::NOERROR);
        ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
        item->noteHandle = note;
        item->work->borrowed = 1;
    }
    std::string Text(const char* name, std::uint16_t size = 256) {
        std::vector<char> buffer(size + 1, 'G');
        std::uint16_t length = item->GetPropertyText(name, buffer.data(), size);
        EXPECT_EQ(length, std::strlen(buffer.data()));
        return buffer.data();
    }
    plat::WORD ItemType(const char* name) {
        plat::WORD type = 0;
        plat::DWORD length = 0;
        if (plat::ItemInfo(note, name, static_cast<plat::WORD>(std::strlen(name)), nullptr, &type, nullptr,
                           &length) != plat::NOERROR)
            return 0;
        EXPECT_EQ(length % 2, 0u);
        return type;
    }

    talix_test::TempDir dir;
    std::unique_ptr<RARIvoSession> session;
    ZervaRTItem* item = nullptr;
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
};

TEST_F(ItemProperties, NumbersAndSwitches) {
    EXPECT_EQ(item->SetPropertyNumber("DefaultTableWidth", 6.5), 0);
    EXPECT_EQ(item->defaultTableWidth, 9360);
    EXPECT_DOUBLE_EQ(item->GetPropertyNumber("defaulttablewidth"), 6.5);
    // Widths that twips cannot hold are refused.
    item->SetPropertyNumber("DefaultTableWidth", -1.0);
    item->SetPropertyNumber("DefaultTableWidth", 1e9);
    EXPECT_EQ(item->defaultTableWidth, 9360);

    // Every settable switch is set by a non-zero integer part and read back.
    for (const PropertyTableEntry* row = ItemPropertyTable(); row->name != nullptr; ++row) {
        if (!row->isSwitch || row->readOnly) continue;
        SCOPED_TRACE(row->name);
        item->SetPropertyNumber(row->name, -2.0);
        EXPECT_EQ(item->GetPropertyNumber(row->name), 1.0);
        item->SetPropertyNumber(row->name, 0.4);
        EXPECT_EQ(item->GetPropertyNumber(row->name), 0.0);
    }

    item->connected = 1;
    item->work->borrowed = 1;
    item->noteHandle = 1234;
    EXPECT_EQ(item->GetPropertyNumber("IsConnected"), 1.0);
    EXPECT_EQ(item->GetPropertyNumber("Handle"), 1234.0);
    item->noteHandle = 0;
    EXPECT_EQ(item->GetPropertyNumber("NoSuchProperty"), 0.0);
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(ItemProperties, ReadOnlyPropertiesAreRefusedWithAMessage) {
    for (const PropertyTableEntry* row = ItemPropertyTable(); row->name != nullptr; ++row) {
        if (!row->readOnly) continue;
        SCOPED_TRACE(row->name);
        g_messages.clear();
        std::string expected = std::string("Talix: Unable to set read-only property '") + row->name + "'";
        if (row->valueType == kPropertyText)
            EXPECT_EQ(item->SetPropertyText(row->name, "x", 0), 0);
        else
            EXPECT_EQ(item->SetPropertyNumber(row->name, 1.0), 0);
        ASSERT_EQ(g_messages.size(), 1u);
        EXPECT_EQ(g_messages[0], expected);
        EXPECT_EQ(std::string(session->textResult, session->textResultLength), expected);
    }

    // A number row set as text, and an unknown name, are refused quietly.
    g_messages.clear();
    EXPECT_EQ(item->SetPropertyText("AutoSave", "1", 0), 0);
    EXPECT_EQ(item->SetPropertyText("NoSuchProperty", "1", 0), 0);
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(ItemProperties, TextPropertiesAreSetAndReadBack) {
    EXPECT_EQ(Text("HyperlinkFont"), "BLUE +UNDERLINE");
    for (const char* name : {"ActionHotspotFont", "HighlightFont", "HyperlinkFont", "PermanentPenFont",
                             "PopUpFont", "URLFont", "ImportExportFile"}) {
        SCOPED_TRACE(name);
        std::string value = std::string(name) + " value";
        EXPECT_EQ(item->SetPropertyText(name, value.c_str(), 0), 1);
        EXPECT_EQ(Text(name), value);
        EXPECT_EQ(std::string(session->textResult), value);
    }
    // The length cuts the value; a short buffer cuts the answer.
    EXPECT_EQ(item->SetPropertyText("urlfont", "GREEN +BOLDxyz", 11), 1);
    EXPECT_STREQ(item->urlFont, "GREEN +BOLD");
    EXPECT_EQ(Text("URLFont", 6), "GREEN");

    EXPECT_EQ(item->SetPropertyText("ClientPreference", "wEb", 0), 1);
    EXPECT_EQ(ThisThread().clientPreference, 0u);
    EXPECT_EQ(Text("ClientPreference"), "Web");
    EXPECT_EQ(item->SetPropertyText("ClientPreference", "Webs", 0), 1);
    EXPECT_EQ(ThisThread().clientPreference, 1u);
    EXPECT_EQ(Text("ClientPreference"), "Notes");

    item->noteID = 0x20FA;
    EXPECT_EQ(Text("NoteID"), "20FA");
    EXPECT_EQ(Text("AutoSave"), "");
    EXPECT_EQ(Text("NoSuchProperty"), "");
}

TEST_F(ItemProperties, BulkStringsSetEveryTextPropertyTheyName) {
    EXPECT_EQ(item->SetPropertyText("HighlightFont", nullptr, 0), 0);
    EXPECT_EQ(item->SetPropertyText("HighlightFont='GREEN +ITALIC' urlfont=RED NoteID=5 AutoSave=1", nullptr, 0),
              1);
    EXPECT_STREQ(item->highlightFont, "GREEN +ITALIC");
    EXPECT_STREQ(item->urlFont, "RED");
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0], "Talix: Unable to set read-only property 'NoteID'");
}

TEST_F(ItemProperties, FormulaPropertiesAreStoredAsCompiledItems) {
    UseNote();
    const char* formula = "\"Title: \" + Subject";
    EXPECT_EQ(item->SetPropertyText("WindowTitle", formula, 0), 1);
    EXPECT_EQ(ItemType("$WindowTitle"), plat::TYPE_FORMULA);
    EXPECT_EQ(Text("WindowTitle"), formula);

    // A formula that does not compile is refused; the stored one stays.
    EXPECT_EQ(item->SetPropertyText("WindowTitle", "\"unclosed", 0), 0);
    EXPECT_EQ(item->ownError, kErrFormula);
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0].rfind("Talix: ", 0), 0u);
    EXPECT_EQ(Text("WindowTitle"), formula);

    EXPECT_EQ(item->SetPropertyText("WindowTitle", "", 0), 1);
    EXPECT_EQ(ItemType("$WindowTitle"), 0);
    EXPECT_EQ(item->SetPropertyText("HTMLHeadContent", "\"<meta>\"", 0), 1);
    EXPECT_EQ(ItemType("$HTMLHeadTag"), plat::TYPE_FORMULA);

    EXPECT_EQ(item->SetFormulaItem("$Custom", "1 + 2", 5), kOK);
    EXPECT_EQ(ItemType("$Custom"), plat::TYPE_FORMULA);
    EXPECT_EQ(item->SetFormulaItem("$Custom", "1 +", 3), kOperationFailed);
    EXPECT_EQ(ItemType("$Custom"), plat::TYPE_FORMULA);
    // A length past the formula's end takes the formula alone.
    std::string held("1 + 2\0 + (", 10);
    held.resize(64, ' ');
    EXPECT_EQ(item->SetFormulaItem("$Custom", held.c_str(), 64), kOK);
    char text[32];
    EXPECT_EQ(std::string(text, item->GetFormulaItem("$Custom", text, sizeof text)), "1 + 2");
    EXPECT_EQ(item->SetFormulaItem("$Custom", nullptr, 0), kOK);
    EXPECT_EQ(ItemType("$Custom"), 0);
}

TEST(PropertyLookups, NamesAndQuoteCharacters) {
    int rows = 0;
    for (const PropertyTableEntry* row = ItemPropertyTable(); row->name != nullptr; ++row, ++rows) {
        std::string lower = row->name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(FindItemProperty(lower.c_str()), row) << row->name;
    }
    EXPECT_EQ(rows, 29);
    EXPECT_EQ(FindItemProperty("AutoSav"), nullptr);
    EXPECT_EQ(FindItemProperty("Zzz"), nullptr);
    EXPECT_EQ(FindItemProperty(nullptr), nullptr);

    EXPECT_EQ(ChooseQuoteChar("it's|", 5), '"');
    EXPECT_EQ(ChooseQuoteChar("plain", 5), '\'');
    EXPECT_EQ(ChooseQuoteChar("'\"|", 3), '~');
    EXPECT_EQ(ChooseQuoteChar("'", 0), '\'');
    EXPECT_EQ(ChooseQuoteChar("'", 40), '"');   // searched to the terminator only
}

} // namespace
