#include <gtest/gtest.h>

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

// What the test driver saw, and what it is to answer.
enum class Answer { Echo, Fail, Nothing, Damaged };

struct DriverState {
    Answer answer = Answer::Echo;
    int inits = 0, terms = 0, opens = 0, closes = 0, performs = 0;
    void* module = nullptr;
    std::vector<std::string> paths;
    WORD function = 0xFFFF;
    std::vector<std::string> arguments;   // each typed value as the host passed it
};

DriverState driver;
int driverContext;

constexpr STATUS kDriverFailure = 12550;

// A result block as the driver hands it out: allocated, filled, unlocked.
DWORD ResultBlock(const std::string& bytes, DWORD size) {
    DHANDLE handle = NULLHANDLE;
    if (MemAlloc(size, MEM_GROWABLE, &handle) != NOERROR) return NULLHANDLE;
    std::memcpy(MemLock(handle), bytes.data(), std::min<size_t>(bytes.size(), size));
    MemUnlock(handle);
    return handle;
}

STATUS TestTerm(void*) {
    ++driver.terms;
    return NOERROR;
}

STATUS TestOpen(void*, void** context) {
    ++driver.opens;
    *context = &driverContext;
    return NOERROR;
}

STATUS TestClose(void*, void* context) {
    ++driver.closes;
    EXPECT_EQ(context, &driverContext);
    return NOERROR;
}

STATUS TestSetOpenContext(void*, void* context, const char* path, void*) {
    EXPECT_EQ(context, &driverContext);
    driver.paths.push_back(path);
    return NOERROR;
}

// Echo gives back the last argument as it came.
STATUS TestPerform(void*, void* context, WORD function, WORD count, const DWORD* lengths, const void* const* values,
                   DWORD* resultHandle, DWORD* resultLength) {
    EXPECT_EQ(context, &driverContext);
    ++driver.performs;
    driver.function = function;
    driver.arguments.clear();
    for (WORD i = 0; i < count; ++i) driver.arguments.emplace_back(static_cast<const char*>(values[i]), lengths[i]);
    switch (driver.answer) {
    case Answer::Echo:
        if (count > 0) {
            *resultHandle = ResultBlock(driver.arguments.back(), 65406);
            *resultLength = lengths[count - 1];
        }
        return NOERROR;
    case Answer::Fail:
        *resultHandle = ResultBlock(std::string("\x00\x03", 2), 10);
        return kDriverFailure;
    case Answer::Nothing: return NOERROR;
    case Answer::Damaged:
        // A text list of 9 entries in 6 bytes.
        *resultHandle = ResultBlock(std::string("\x01\x05\x09\x00\x01\x00", 6), 6);
        *resultLength = 6;
        return NOERROR;
    }
    return NOERROR;
}

extern "C" {
static STATUS DBDInit(void* driverBlock) {
    auto* block = static_cast<DriverBlock*>(driverBlock);
    ++driver.inits;
    driver.module = reinterpret_cast<void**>(block)[1];   // the module handle at offset 8
    block->init = reinterpret_cast<void*>(&DBDInit);
    block->term = reinterpret_cast<void*>(&TestTerm);
    block->open = reinterpret_cast<void*>(&TestOpen);
    block->close = reinterpret_cast<void*>(&TestClose);
    block->setOpenContext = reinterpret_cast<void*>(&TestSetOpenContext);
    block->performFunction = reinterpret_cast<void*>(&TestPerform);
    return NOERROR;
}

// A driver that fills in too little of its block.
static STATUS IncompleteDBDInit(void* driverBlock) {
    auto* block = static_cast<DriverBlock*>(driverBlock);
    ++driver.inits;
    block->term = reinterpret_cast<void*>(&TestTerm);
    return NOERROR;
}
}

std::string TypedText(WORD type, const std::string& data) {
    std::string typed(2, '\0');
    typed[0] = static_cast<char>(type & 0xFF);
    typed[1] = static_cast<char>(type >> 8);
    return typed + data;
}

std::string Doubles(std::initializer_list<double> numbers) {
    std::string bytes;
    for (double number : numbers) bytes.append(reinterpret_cast<const char*>(&number), sizeof number);
    return bytes;
}

class HostDriver : public testing::Test {
protected:
    void SetUp() override {
        driver = DriverState();
        IniSet("Directory", data_.path().string().c_str());
        ASSERT_EQ(DbCreate("drivers.nsf", &db_), NOERROR);
        ASSERT_EQ(NoteCreate(db_, &note_), NOERROR);
        ASSERT_EQ(ItemSetText(note_, "Subject", "Hello", 5), NOERROR);
        ASSERT_EQ(RegisterDriver("TestDriver", DBDInit, &driverContext), NOERROR);
    }
    void TearDown() override {
        UnregisterDrivers();
        NoteClose(note_);
        DbClose(db_);
        IniSet("Directory", "");
    }

    // Evaluates a formula on the note; the raw result value.
    STATUS Run(const std::string& text, std::string* result) {
        return talix_test::EvaluateFormula(note_, text, result);
    }

    TempDir data_;
    DBHANDLE db_ = NULLHANDLE;
    NOTEHANDLE note_ = NULLHANDLE;
};

TEST_F(HostDriver, DbCommandGivesBackWhatTheDriverAnswered) {
    EXPECT_EQ(driver.inits, 1);
    EXPECT_EQ(driver.module, &driverContext);
    DWORD live = MemLiveCount();
    std::string result;
    ASSERT_EQ(Run(R"(@DbCommand("TestDriver"; "Echo"; "x"))", &result), NOERROR) << FormulaLastError();
    EXPECT_EQ(result, TypedText(TYPE_TEXT, "x"));
    EXPECT_EQ(MemLiveCount(), live);   // the driver's result block was freed
    EXPECT_EQ(driver.function, 2);
    EXPECT_EQ(driver.arguments, (std::vector<std::string>{TypedText(TYPE_TEXT, "Echo"), TypedText(TYPE_TEXT, "x")}));
    char path[MAXPATH + 1];
    ASSERT_EQ(DbPath(db_, path, sizeof path), NOERROR);
    EXPECT_EQ(driver.paths, std::vector<std::string>{path});

    // @DbLookup and @DbColumn; the class may carry "NoCache" and is matched
    // ignoring case; lists and numbers travel as typed values.
    ASSERT_EQ(Run(R"(@DbLookup("testdriver":"NoCache"; "srv":"db.nsf"; 5; Subject + "!"; 1 : 2))", &result), NOERROR)
        << FormulaLastError();
    EXPECT_EQ(driver.function, 0);
    std::string list("\x02\x00\x03\x00\x06\x00srvdb.nsf", 15);
    EXPECT_EQ(driver.arguments, (std::vector<std::string>{TypedText(TYPE_TEXT_LIST, list),
                                                          TypedText(TYPE_NUMBER, Doubles({5})),
                                                          TypedText(TYPE_TEXT, "Hello!"),
                                                          TypedText(TYPE_NUMBER_RANGE, std::string("\x02\x00\x00\x00", 4) +
                                                                                           Doubles({1, 2}))}));
    EXPECT_EQ(result, TypedText(TYPE_NUMBER_RANGE, std::string("\x02\x00\x00\x00", 4) + Doubles({1, 2})));
    ASSERT_EQ(Run(R"(@DbColumn("TESTDRIVER"; ""; 3))", &result), NOERROR);
    EXPECT_EQ(driver.function, 1);
    EXPECT_EQ(result, TypedText(TYPE_NUMBER, Doubles({3})));

    // A call with no result block gives the empty text; the result can feed
    // the rest of the formula.
    driver.answer = Answer::Nothing;
    ASSERT_EQ(Run(R"(@DbCommand("TestDriver"; "Quiet") + "done")", &result), NOERROR);
    EXPECT_EQ(result, TypedText(TYPE_TEXT, "done"));
    EXPECT_EQ(MemLiveCount(), live);

    // The driver was opened once, and is closed and terminated once.
    EXPECT_EQ(driver.opens, 1);
    EXPECT_EQ(driver.performs, 4);
    UnregisterDrivers();
    EXPECT_EQ(driver.closes, 1);
    EXPECT_EQ(driver.terms, 1);
    EXPECT_EQ(Run(R"(@DbCommand("TestDriver"; "Echo"))", &result), ERR_DRIVER_UNKNOWN);
}

TEST_F(HostDriver, DriverFailuresBecomeEvaluationFailures) {
    DWORD live = MemLiveCount();
    std::string result;
    driver.answer = Answer::Fail;
    EXPECT_EQ(Run(R"(@DbCommand("TestDriver"; "Anything"))", &result), kDriverFailure);
    char text[256];
    StatusText(kDriverFailure, text, sizeof text);
    EXPECT_STREQ(FormulaLastError(), text);
    EXPECT_EQ(MemLiveCount(), live);   // the block handed out before the failure was freed

    driver.answer = Answer::Damaged;
    EXPECT_EQ(Run(R"(@DbCommand("TestDriver"; "Anything"))", &result), ERR_DRIVER_RESULT);
    EXPECT_EQ(MemLiveCount(), live);

    EXPECT_EQ(Run(R"(@DbCommand("Nobody"; "Echo"))", &result), ERR_DRIVER_UNKNOWN);
    EXPECT_NE(std::string(FormulaLastError()).find("Nobody"), std::string::npos) << FormulaLastError();
    EXPECT_EQ(Run(R"(@DbCommand(1; "Echo"))", &result), ERR_FORMULA_EVAL);
    EXPECT_EQ(Run("@DbCommand", &result), ERR_FORMULA_EVAL);
    EXPECT_EQ(driver.performs, 2);
}

TEST_F(HostDriver, RegistrationReplacesAndRefuses) {
    // Registering a name again ends the driver of that name first.
    ASSERT_EQ(RegisterDriver("testDRIVER", DBDInit), NOERROR);
    EXPECT_EQ(driver.terms, 1);
    EXPECT_EQ(driver.inits, 2);
    EXPECT_EQ(driver.module, nullptr);
    std::string result;
    ASSERT_EQ(Run(R"(@DbCommand("TestDriver"; "x"))", &result), NOERROR);

    // A driver that does not supply its entry points is refused and ended.
    EXPECT_EQ(RegisterDriver("Broken", IncompleteDBDInit), ERR_DRIVER_ENTRY);
    EXPECT_EQ(driver.terms, 2);
    EXPECT_EQ(Run(R"(@DbCommand("Broken"; "x"))", &result), ERR_DRIVER_UNKNOWN);

    EXPECT_EQ(RegisterDriver("", DBDInit), ERR_BAD_ARGUMENT);
    EXPECT_EQ(RegisterDriver("Null", nullptr), ERR_BAD_ARGUMENT);
    EXPECT_NE(RegisterDriverLibrary("Missing", "no-such-driver-library.so"), NOERROR);
    EXPECT_EQ(Run(R"(@DbCommand("Missing"; "x"))", &result), ERR_DRIVER_UNKNOWN);
}

TEST_F(HostDriver, AnUnregisteredClassIsLoadedFromItsProgramLibrary) {
    // notes.ini names the library of a class; a library without DBDInit is
    // no driver.
    IniSet("DBDriver_Filtered", TALIX_TEST_FILTER_PATH);
    std::string result;
    EXPECT_EQ(Run(R"(@DbCommand("filtered"; "x"))", &result), ERR_DRIVER_ENTRY);
    EXPECT_NE(std::string(FormulaLastError()).find("talixtestfilter"), std::string::npos) << FormulaLastError();
    IniSet("DBDriver_Filtered", "");
    // Without an entry the class names "lib<class>.so"; a class that could
    // name a path is refused before any library is looked for.
    LogClearRecent();
    EXPECT_EQ(Run(R"(@DbCommand("No_Such-Class"; "x"))", &result), ERR_DRIVER_UNKNOWN);
    EXPECT_NE(std::string(FormulaLastError()).find("libno_such-class.so"), std::string::npos) << FormulaLastError();
    LogClearRecent();
    EXPECT_EQ(Run(R"(@DbCommand("../lib/x"; "x"))", &result), ERR_DRIVER_UNKNOWN);
    EXPECT_TRUE(LogRecent().empty());
    EXPECT_EQ(driver.performs, 0);
}

} // namespace
