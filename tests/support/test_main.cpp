// The main of every test program: runs the tests and fails any test that
// leaves a memory handle allocated, or a database or note open; exits 77
// when every case that ran was skipped. The stored
// values record lists view are read-only pages, so that code writing into
// one ends the test program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/testing.h"
#include "talix_platform.h"

namespace {

class LeakCheck : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo&) override {
        handles_ = plat::MemLiveCount();
        databases_ = plat::TestOpenDatabases();
        notes_ = plat::TestOpenNotes();
    }
    void OnTestEnd(const testing::TestInfo& info) override {
        auto handles = plat::MemLiveCount();
        auto databases = plat::TestOpenDatabases();
        auto notes = plat::TestOpenNotes();
        if (handles > handles_ || databases > databases_ || notes > notes_) {
            std::fprintf(stderr, "%s.%s left %u memory handles, %u databases and %u notes behind\n",
                         info.test_suite_name(), info.name(), handles - handles_,
                         databases - databases_, notes - notes_);
            leaked_ = true;
        }
    }
    bool leaked() const { return leaked_; }

private:
    plat::DWORD handles_ = 0, databases_ = 0, notes_ = 0;
    bool leaked_ = false;
};

// The exit status of a run whose cases were all skipped.
constexpr int kAllSkipped = 77;

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // The Python helpers that read messages and pages talk UTF-8 with the
    // tests whatever the tester's locale: under a Latin-1 locale Python would
    // write its standard output in Latin-1 and fail on other characters.
    setenv("PYTHONUTF8", "1", 1);
    setenv("PYTHONIOENCODING", "utf-8", 1);
    plat::LogSetEcho(false);
    plat::TestReadOnlyKeptValues(true);
    auto* check = new LeakCheck;
    testing::UnitTest::GetInstance()->listeners().Append(check);
    int result = RUN_ALL_TESTS();
    if (result == 0 && check->leaked()) result = 1;
    // Every case that ran was skipped (what they need is missing here): the
    // status CTest takes for a skipped test, not for a passed one.
    const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
    if (result == 0 && unit.successful_test_count() == 0 && unit.skipped_test_count() > 0) result = kAllSkipped;
    return result;
}
