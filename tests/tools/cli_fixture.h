// Runs the talix program as a user runs it, for the tests of its commands.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace talix_test {

// True when the text holds the part.
bool Has(const std::string& text, const std::string& part);
// The argument quoted for the shell: in single quotes, each single quote
// written as '\''.
std::string Quoted(const std::string& arg);

struct CliOutcome {
    int status = -1;
    std::string out, err;
    std::vector<std::string> lines() const;
};

class CliTest : public testing::Test {
protected:
    // Runs talix with the arguments; standard output and error are captured.
    CliOutcome Talix(const std::vector<std::string>& args);
    // Writes a file in the test's directory and returns its path.
    std::string Write(const std::string& name, const std::string& text);
    // The path of one of the project's sample files.
    static std::string Sample(const char* name);
    // Imports a file into db_ and returns the note id of its first note.
    std::string Import(const std::string& file);

    // Runs talix as from a fresh shell: with no environment variables at all.
    bool emptyEnvironment_ = false;
    // A command put before talix (such as one that runs it as another user).
    std::string runAs_;
    // One more variable ("NAME=value") the runs get, when not empty.
    std::string environment_;
    TempDir dir_;
    std::string db_ = dir_.file("t.nsf");
};

} // namespace talix_test
