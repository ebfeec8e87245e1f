// The driver as the host sees it: its entry points and context, loading by
// class name on first use, and the item functions with their property
// strings.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/session_work_area.h"
#include "driver/property_strings.h"
#include "driver_calls.h"
#include "support/evaluate_formula.h"
#include "talix/driver.h"
#include "talix/item.h"
#include "talix/session.h"

namespace {

using namespace talix_test;

TEST(DriverEntryPoints, InitFillsTheBlockAndEveryOpenSharesOneContext) {
    void* block[8] = {};
    int module = 0;
    block[1] = &module;
    ASSERT_EQ(DBDInit(block), 0);
    EXPECT_EQ(block[0], nullptr);
    EXPECT_EQ(block[1], &module);
    EXPECT_EQ(block[2], reinterpret_cast<void*>(&DBDInit));
    EXPECT_EQ(block[3], reinterpret_cast<void*>(&DBDTerm));
    EXPECT_EQ(block[4], reinterpret_cast<void*>(&DBDOpen));
    EXPECT_EQ(block[5], reinterpret_cast<void*>(&DBDClose));
    EXPECT_EQ(block[6], reinterpret_cast<void*>(&DBDSetOpenContext));
    EXPECT_EQ(block[7], reinterpret_cast<void*>(&DBDPerformFunction));

    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(DBDOpen(nullptr, &first), 0);
    ASSERT_EQ(DBDOpen(nullptr, &second), 0);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(DBDClose(nullptr, first), 0);

    std::string initialize = TextArg("Initialize");
    const void* values[] = {initialize.data()};
    const std::uint32_t lengths[] = {static_cast<std::uint32_t>(initialize.size())};
    std::uint32_t handle = 7, length = 7;
    EXPECT_EQ(DBDPerformFunction(nullptr, second, 2, 1, lengths, values, &handle, &length), 0);
    EXPECT_EQ(handle, 0u);
    // Only the context the driver gave out is taken.
    int stranger = 0;
    EXPECT_EQ(DBDPerformFunction(nullptr, &stranger, 2, 1, lengths, values, &handle, &length), 12572);

    EXPECT_EQ(DBDTerm(nullptr), 0);
    void* after = &stranger;
    EXPECT_EQ(DBDOpen(nullptr, &after), 12572);
    EXPECT_EQ(after, nullptr);
    EXPECT_EQ(DBDPerformFunction(nullptr, first, 2, 1, lengths, values, &handle, &length), 12572);
}

using DriverContextTest = DriverCallTest;

TEST_F(DriverContextTest, APathThatDoesNotFitLeavesNoCurrentDatabase) {
    EXPECT_EQ(Command({TextArg("Create"), NoteRefArg(unid_), TextArg("A")}).status, 0);
    EXPECT_EQ(DBDSetOpenContext(nullptr, context_, std::string(600, 'p').c_str(), nullptr), 1028);
    EXPECT_NE(Command({TextArg("Create"), NoteRefArg(unid_), TextArg("B")}).status, 0);
    EXPECT_TRUE(StoredItem("A"));
    EXPECT_FALSE(StoredItem("B"));
}

TEST_F(DriverContextTest, ItemPropertiesAnswerALoneTypeWord) {
    // One argument after the name reads the property, more set it.
    DriverOutcome run = Command({TextArg("HighlightFont"), NoteRefArg(unid_)});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.result, TypeWord(0));
    EXPECT_FALSE(StoredItem("Body"));   // a read saves nothing
    run = Command(std::vector<std::string>{TextArg("hyperlinkfont"), TextArg(""), TextArg(HexNoteId(noteId_)),
                                           TextArg("Body")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.result, TypeWord(0));
    EXPECT_TRUE(StoredItem("Body"));
}

TEST(PropertyStrings, EveryNamedItemPropertyIsSetWithItsValue) {
    std::vector<std::string>& shown = ShownMessages();
    shown.clear();
    plat::RegisterMessageProc([](const char* text, plat::WORD) { ShownMessages().push_back(text); });
    RARIvoSession session;
    ZervaRTItem item(&session);
    talix::ApplyItemProperties(&item, "AutoSave=1 HighlightFont='BLUE +BOLD' Bogus=3 FilePath='x' "
                                      "DefaultTableWidth=2 CacheRecords=Yes ImportNativeImages=abc");
    EXPECT_EQ(item.autoSave, 1);
    EXPECT_STREQ(item.highlightFont, "BLUE +BOLD");
    EXPECT_EQ(item.defaultTableWidth, 2880);
    EXPECT_EQ(item.cacheRecords, 1);
    EXPECT_EQ(item.importNativeImages, 0);   // not a number: left alone
    EXPECT_EQ(shown, std::vector<std::string>{"Talix: Unable to set read-only property 'FilePath'"});
    talix::ApplyItemProperties(&item, "AutoSave=No;HighlightFont=RED");   // the value runs to a blank
    EXPECT_EQ(item.autoSave, 1);
    EXPECT_STREQ(item.highlightFont, "BLUE +BOLD");
    talix::ApplyItemProperties(&item, "x'AutoSave=0'");   // inside a quoted value: not a name
    EXPECT_EQ(item.autoSave, 1);
    talix::ApplyItemProperties(&item, "CacheRecords=0 AutoSave=No");
    EXPECT_EQ(item.autoSave, 0);
    EXPECT_EQ(item.cacheRecords, 0);
    plat::RegisterMessageProc(nullptr);
}

// The formula host loads the driver by its class name, with nobody
// registering it.
class FormulaHost : public DriverCallTest {
protected:
    void SetUp() override {
        DriverCallTest::SetUp();
        // The fixture's own driver instance is not the one under test here.
        DBDTerm(nullptr);
        context_ = nullptr;
        ASSERT_EQ(plat::DbOpen("calls.nsf", &db_), plat::NOERROR);
        ASSERT_EQ(plat::NoteOpen(db_, noteId_, 0, &note_), plat::NOERROR);
    }
    void TearDown() override {
        plat::UnregisterDrivers();
        plat::NoteClose(note_);
        plat::DbClose(db_);
        plat::RegisterMessageProc(nullptr);
        plat::IniSet("Directory", "");
    }
    plat::STATUS Run(const std::string& call, std::string* result) {
        return EvaluateFormula(note_, "@DbCommand(\"Talix\":\"\"; " + call + ")", result);
    }
    plat::TIMEDATE Modified() {
        plat::TIMEDATE modified;
        plat::DbNoteInfo(db_, noteId_, nullptr, &modified, nullptr);
        return modified;
    }
    std::string Address(const std::string& item) { return "\"\"; \"N" + HexNoteId(noteId_) + "\"; \"" + item + "\""; }

    plat::DBHANDLE db_ = plat::NULLHANDLE;
    plat::NOTEHANDLE note_ = plat::NULLHANDLE;
};

bool SameTime(const plat::TIMEDATE& a, const plat::TIMEDATE& b) {
    return a.Innards[0] == b.Innards[0] && a.Innards[1] == b.Innards[1];
}

TEST_F(FormulaHost, LoadsTheDriverByClassAndRunsItemFunctions) {
    plat::DWORD live = plat::MemLiveCount();
    std::string result;
    ASSERT_EQ(Run("\"ItemNOOP\"; " + Address("Body"), &result), plat::NOERROR) << plat::FormulaLastError();
    EXPECT_EQ(result, NumberArg(0));
    bool loaded = false;
    for (const auto& entry : plat::LogRecent())
        loaded = loaded || entry.text.find("Database driver Talix loaded from program library") == 0;
    EXPECT_TRUE(loaded);
    // The host loaded the product library once: its driver context is the
    // one the host's DBDInit made, and the library is found again as it is.
    plat::ModuleHandle module = nullptr;
    ASSERT_EQ(plat::LibraryLoad("libtalix.so", &module, nullptr), plat::NOERROR);
    auto* open = reinterpret_cast<DBDOpenProc*>(plat::LibraryProcedure(module, "DBDOpen"));
    ASSERT_NE(open, nullptr);
    void* shared = nullptr;
    EXPECT_EQ(open(nullptr, &shared), 0);
    EXPECT_NE(shared, nullptr);
    EXPECT_EQ(plat::LibraryUnload(module), plat::NOERROR);

    // Create makes the missing item and saves the note; Save answers 1 and
    // leaves the note as it was stored.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    plat::TIMEDATE before = Modified();
    ASSERT_EQ(Run("\"Create\"; " + Address("Body"), &result), plat::NOERROR) << plat::FormulaLastError();
    EXPECT_EQ(result, NumberArg(1));
    EXPECT_TRUE(StoredItem("Body"));
    plat::TIMEDATE created = Modified();
    EXPECT_FALSE(SameTime(created, before));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(Run("\"Save\"; " + Address("Body"), &result), plat::NOERROR);
    EXPECT_EQ(result, NumberArg(1));
    EXPECT_TRUE(SameTime(Modified(), created));
    ASSERT_EQ(Run("\"Save\"; " + Address("Fresh"), &result), plat::NOERROR);
    EXPECT_FALSE(StoredItem("Fresh"));

    // The property string of the name reaches the item before the handler:
    // the formula property is stored with the item Create saves.
    ASSERT_EQ(Run("\"Create\":\"WebQueryOpen='@True' AutoSave=1\"; " + Address("Other"), &result),
              plat::NOERROR)
        << plat::FormulaLastError();
    EXPECT_TRUE(StoredItem("Other"));
    EXPECT_TRUE(StoredItem("$WEBQueryOpen"));

    // Failures reach the formula with the driver's message shown.
    EXPECT_EQ(Run("\"Foo\"; " + Address("Body"), &result), 12550);
    EXPECT_EQ(ShownMessages().back(), "@Talix: Function 'Foo' not recognized.");

    // Once the host lets its drivers go, the session's memory is gone too.
    ASSERT_EQ(Run("\"Create\"; " + Address("Body"), &result), plat::NOERROR);
    plat::UnregisterDrivers();
    EXPECT_EQ(plat::MemLiveCount(), live);
}

} // namespace
