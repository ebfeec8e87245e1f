// Calling the database driver as the host does: typed argument values, a
// database with one note, and a test host that initializes the driver,
// calls it and frees every result block.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "driver/driver_context.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace talix_test {

// Typed values: the type word, then the data.
std::string TextArg(const std::string& text);
std::string TextListArg(std::initializer_list<std::string> texts);
std::string NumberArg(double number);
std::string NumberListArg(std::initializer_list<double> numbers);
std::string TimeArg();
std::string NoteRefArg(const plat::UNID& unid);
std::string TypeWord(plat::WORD type);

// The note id as the driver's note argument takes it ("1F2A").
std::string HexNoteId(plat::NOTEID id);

// The host's function codes of a call: the look-ups name themselves, the
// command takes its name from the first argument.
constexpr plat::WORD kDbLookup = 0, kDbColumn = 1, kDbCommand = 2;

struct DriverOutcome {
    plat::STATUS status = 0;
    bool block = false;    // the driver handed out a result block
    std::string result;    // the typed result (its length as the driver said)
};

// Messages shown through the host's message procedure, with code 6.
std::vector<std::string>& ShownMessages();
bool Logged(const std::string& line);

// A data directory with the database "calls.nsf" holding one document note;
// the driver is initialized, opened and pointed at that database.
class DriverCallTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // One call of the function (kDbLookup, kDbColumn or kDbCommand).
    DriverOutcome Call(plat::WORD function, const std::vector<std::string>& args);
    DriverOutcome Command(const std::vector<std::string>& args) { return Call(kDbCommand, args); }
    // The addressing arguments of the note, then the item name.
    std::vector<std::string> At(const std::string& item = "Body") const;

    // Whether the stored note has an item of the name.
    bool StoredItem(const std::string& name) const;
    // How the look-ups of the driver context read their cells.
    void UseRoute(talix::LookUpRoute route);

    TempDir data_;
    plat::NOTEID noteId_ = 0;
    plat::UNID unid_;
    void* block_[8] = {};
    void* context_ = nullptr;
};

} // namespace talix_test
