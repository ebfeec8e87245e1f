#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "status_codes.h"
#include "support/patterns.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using namespace plat;

TEST(Log, KeepsTheLastLinesAndWritesStampedLines) {
    LogClearRecent();
    LogLine(NOERROR, "Out of memory at %d in %s", 12, "html");
    LogLine(ERR_FILE_NOT_FOUND, "Cannot open %s", "a.nsf");
    auto recent = LogRecent();
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_EQ(recent[0].text, "Out of memory at 12 in html");
    EXPECT_EQ(recent[0].status, NOERROR);
    EXPECT_EQ(recent[1].text, "Cannot open a.nsf");
    EXPECT_EQ(recent[1].status, ERR_FILE_NOT_FOUND);

    for (int i = 0; i < 1005; ++i) LogLine(NOERROR, "line %d", i);
    recent = LogRecent();
    ASSERT_EQ(recent.size(), 1000u);
    EXPECT_EQ(recent.front().text, "line 5");
    EXPECT_EQ(recent.back().text, "line 1004");

    // notes.ini "LogFile" sends the lines to a file instead of standard error.
    talix_test::TempDir dir;
    std::string file = dir.file("log.txt");
    IniSet("LogFile", file.c_str());
    LogLine(ERR_FILE_NOT_FOUND, "Cannot open %s", "b.nsf");
    IniSet("LogFile", "none");
    LogLine(NOERROR, "nowhere");
    IniSet("LogFile", "");
    std::string written = talix_test::ReadFile(file);
    char statusText[128];
    StatusText(ERR_FILE_NOT_FOUND, statusText, sizeof statusText);
    const std::string stamped("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d Cannot open b\\.nsf \\(status " +
                              std::to_string(ERR_FILE_NOT_FOUND) + ": " + statusText + "\\)\n");
    EXPECT_TRUE(talix_test::FullMatch(written, stamped)) << written;
    EXPECT_EQ(LogRecent().back().text, "nowhere");
    LogClearRecent();
    EXPECT_TRUE(LogRecent().empty());
}

void RecordMessage(const char*, WORD) {}

TEST(Log, HostMessageProcedure) {
    EXPECT_EQ(HostProcedure(HOST_PROC_MESSAGE), nullptr);
    RegisterMessageProc(&RecordMessage);
    EXPECT_EQ(HostProcedure(HOST_PROC_MESSAGE), &RecordMessage);
    EXPECT_EQ(HostProcedure(1), nullptr);
    RegisterMessageProc(nullptr);
    EXPECT_EQ(HostProcedure(HOST_PROC_MESSAGE), nullptr);
}

TEST(NotesIni, ReadsTheFileNamedByTheEnvironment) {
    talix_test::TempDir dir;
    std::string path = dir.file("notes.ini");
    {
        std::ofstream out(path, std::ios::binary);
        out << "[Notes]\r\nTalixDebug=3\r\nEDITIMP1=HTML,0,_IHTML,,.HTM,,4,\nTalixDebug=9\n"
               "Broken line\nLimit=-42abc\nWord=abc\n";
    }
    const char* previous = std::getenv("NOTES_INI");
    std::string saved = previous != nullptr ? previous : "";
    setenv("NOTES_INI", path.c_str(), 1);
    IniReload();

    EXPECT_EQ(IniGetInt("talixdebug"), 3);   // names ignore case; the first of two counts
    EXPECT_EQ(IniGetInt("Limit"), -42);
    EXPECT_EQ(IniGetInt("Word"), 0);
    EXPECT_EQ(IniGetInt("Missing"), 0);
    char text[64];
    WORD length = 0;
    ASSERT_TRUE(IniGetText("editimp1", text, sizeof text, &length));
    EXPECT_STREQ(text, "HTML,0,_IHTML,,.HTM,,4,");
    EXPECT_EQ(length, 23);
    ASSERT_TRUE(IniGetText("EDITIMP1", text, 5, &length));
    EXPECT_STREQ(text, "HTML");
    EXPECT_EQ(length, 4);
    EXPECT_FALSE(IniGetText("Broken line", text, sizeof text, &length));
    EXPECT_FALSE(IniGetText("EDITIMP2", text, sizeof text, &length));
    EXPECT_STREQ(text, "");

    // Values set in memory override the file until it is read again.
    IniSet("TALIXDEBUG", "5");
    EXPECT_EQ(IniGetInt("TalixDebug"), 5);
    IniSet("TalixDebug", "");
    EXPECT_FALSE(IniGetText("TalixDebug", text, sizeof text, &length));
    IniSet("Fresh", "1");
    IniReload();
    EXPECT_EQ(IniGetInt("TalixDebug"), 3);
    EXPECT_FALSE(IniGetText("Fresh", text, sizeof text, &length));

    if (previous != nullptr) {
        setenv("NOTES_INI", saved.c_str(), 1);
    } else {
        unsetenv("NOTES_INI");
    }
    IniReload();
}

} // namespace
