// talix view, run as a user runs it on a database imported from DXL.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/test_support.h"

namespace {

using talix_test::CliOutcome;

class ViewCommand : public talix_test::CliTest {
protected:
    static std::string Text(const char* name, const std::string& value) {
        return std::string("<item name='") + name + "'><text>" + value + "</text></item>";
    }

};

TEST_F(ViewCommand, ListsTheEntriesOfAViewAndOfAKey) {
    const char* subjects[] = {"pear", "Apple", "fig", "apple", "leek"};
    std::string dxl = "<database>";
    for (const char* subject : subjects) {
        dxl += "<note class='document'>" + Text("Form", "Memo") + Text("Subject", subject) + "</note>";
    }
    dxl += "<note class='document'>" + Text("Form", "Other") + Text("Subject", "apple") + "</note>";
    dxl += "<note class='view'>" + Text("$TITLE", "By Subject|subj") +
           "<item name='$ViewSelection'><formula>SELECT Form = \"Memo\"</formula></item>"
           "<item name='$ViewColumns'><textlist><text>Subject</text></textlist></item>"
           "<item name='$ViewColumnFlags'><textlist><text>sorted</text></textlist></item></note></database>";
    std::string file = dir_.file("view.xml");
    std::FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(dxl.data(), 1, dxl.size(), out);
    std::fclose(out);
    CliOutcome imported = Talix({"import", db_, file});
    ASSERT_EQ(imported.status, 0) << imported.err;
    std::istringstream lines(imported.out);
    std::map<std::string, std::string> subjectOf;   // note id text -> subject
    std::string line;
    for (const char* subject : subjects) {
        std::getline(lines, line);
        subjectOf[line.substr(0, 10)] = subject;
    }

    CliOutcome all = Talix({"view", db_, "By Subject"});
    ASSERT_EQ(all.status, 0) << all.err;
    std::istringstream listed(all.out);
    std::string order;
    while (std::getline(listed, line)) {
        ASSERT_EQ(line.size() > 11 ? line[10] : '\0', '\t') << line;
        EXPECT_EQ(line.substr(11), subjectOf[line.substr(0, 10)]);
        order += line.substr(11) + " ";
    }
    EXPECT_TRUE(order == "Apple apple fig leek pear " || order == "apple Apple fig leek pear ") << order;

    CliOutcome key = Talix({"view", db_, "SUBJ", "APPLE"});
    ASSERT_EQ(key.status, 0) << key.err;
    EXPECT_EQ(key.out, all.out.substr(0, 2 * 17));

    CliOutcome missingKey = Talix({"view", db_, "subj", "plum"});
    EXPECT_EQ(missingKey.status, 1);
    EXPECT_EQ(missingKey.out, "");
    EXPECT_NE(missingKey.err.find("plum"), std::string::npos);
    CliOutcome missingView = Talix({"view", db_, "By Date"});
    EXPECT_EQ(missingView.status, 1);
    EXPECT_NE(missingView.err.find("By Date"), std::string::npos);
    EXPECT_EQ(Talix({"view", db_}).status, 2);

    // A selection formula, as match takes it: the documents it selects, in
    // note-id order, with their subjects.
    CliOutcome selected = Talix({"view", db_, "SELECT Form = \"Memo\""});
    ASSERT_EQ(selected.status, 0) << selected.err;
    std::string expected;
    for (const auto& [id, subject] : subjectOf) expected += id + "\t" + subject + "\n";
    EXPECT_EQ(selected.out, expected);
    EXPECT_EQ(Talix({"view", db_, "SELECT @All"}).lines().size(), 6u);
    EXPECT_EQ(Talix({"view", db_, "SELECT @All", "apple"}).status, 2);
    CliOutcome broken = Talix({"view", db_, "SELECT @Left("});
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find("status "), std::string::npos) << broken.err;
}

} // namespace
