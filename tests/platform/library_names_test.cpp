#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform_fixture.h"
#include "status_codes.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using namespace plat;
using platform_test::FilterEntry;
using platform_test::FilterRequest;
using talix_test::IniOverride;
using talix_test::TempDir;

constexpr WORD kFilterCommand = 3;

STATUS CollectText(const void* record, WORD signature, DWORD length, void* context) {
    if (signature == 0xFF85) {
        static_cast<std::vector<std::string>*>(context)->emplace_back(static_cast<const char*>(record) + 8, length - 8);
    }
    return NOERROR;
}

TEST(Libraries, FilterLibraryConvertsAFileThroughItsEntryPoint) {
    TempDir dir;
    std::ofstream(dir.file("source.txt"), std::ios::binary) << "first line\nsecond\r\nthird";
    ModuleHandle module = nullptr;
    void* entry = nullptr;
    ASSERT_EQ(LibraryLoad(TALIX_TEST_FILTER_PATH, &module, &entry), NOERROR);
    ASSERT_NE(entry, nullptr);
    auto filter = reinterpret_cast<FilterEntry>(entry);

    FilterRequest request;
    std::string output = dir.file("out.cd");
    std::strncpy(request.output, output.c_str(), sizeof request.output - 1);
    request.module = module;
    ASSERT_EQ(filter(&request, kFilterCommand, module, nullptr, dir.file("source.txt").c_str()), NOERROR);
    std::vector<std::string> lines;
    ASSERT_EQ(EnumRecordFile(request.output, CollectText, &lines), NOERROR);
    EXPECT_EQ(lines, (std::vector<std::string>{"first line", "second", "third"}));

    // An empty proposed name: the filter names its output in the block.
    FilterRequest unnamed;
    ASSERT_EQ(filter(&unnamed, kFilterCommand, module, nullptr, dir.file("source.txt").c_str()), NOERROR);
    EXPECT_EQ(std::string(unnamed.output), dir.file("source.txt") + ".cd");

    // A failure: the library's own text for its status, the platform's for others.
    STATUS failed = filter(&request, kFilterCommand, module, nullptr, dir.file("missing.txt").c_str());
    EXPECT_NE(failed, NOERROR);
    char text[4096];
    LibraryStatusText(module, failed, text, sizeof text);
    EXPECT_STREQ(text, "Test filter: cannot read the source file");
    EXPECT_EQ(LibraryStatusText(module, failed, text, 12), 11);
    EXPECT_STREQ(text, "Test filter");
    LibraryStatusText(module, ERR_ITEM_NOT_FOUND, text, sizeof text);
    EXPECT_STREQ(text, "Item not found");

    ASSERT_EQ(LibraryUnload(module), NOERROR);
    EXPECT_EQ(LibraryUnload(module), ERR_INVALID_HANDLE);
    EXPECT_EQ(LibraryProcedure(module, "MainEntryPoint"), nullptr);
}

TEST(Libraries, NamesAndFailures) {
    // A ".dll" name finds the ".so" of its stem in the library directory.
    std::filesystem::path built(TALIX_TEST_FILTER_PATH);
    IniOverride directory("LibraryDirectory", built.parent_path().string());
    ModuleHandle module = nullptr;
    ASSERT_EQ(LibraryLoad("C:\\Notes\\talixtestfilter.DLL", &module, nullptr), NOERROR);
    EXPECT_NE(LibraryProcedure(module, "LibraryStatusText"), nullptr);
    EXPECT_EQ(LibraryProcedure(module, "NoSuchProcedure"), nullptr);
    EXPECT_EQ(LibraryUnload(module), NOERROR);

    LogClearRecent();
    void* entry = reinterpret_cast<void*>(1);
    EXPECT_EQ(LibraryLoad("nosuchfilter.dll", &module, &entry), ERR_LIBRARY_LOAD);
    EXPECT_EQ(module, nullptr);
    EXPECT_EQ(entry, nullptr);
    ASSERT_FALSE(LogRecent().empty());
    EXPECT_EQ(LogRecent().back().status, ERR_LIBRARY_LOAD);
    EXPECT_NE(LogRecent().back().text.find("nosuchfilter.so"), std::string::npos);

    // A library without the entry point loads only when none is asked for.
    EXPECT_EQ(LibraryLoad("libm.so.6", &module, &entry), ERR_LIBRARY_ENTRY);
    ASSERT_EQ(LibraryLoad("libm.so.6", &module, nullptr), NOERROR);
    EXPECT_EQ(LibraryUnload(module), NOERROR);
}

TEST(Names, CanonicalAndAbbreviatedForms) {
    const struct {
        const char* abbreviated;
        const char* canonical;
    } names[] = {
        {"Jo Doe/Org", "CN=Jo Doe/O=Org"},
        {"Jo Doe/Sales/East/Org", "CN=Jo Doe/OU=Sales/OU=East/O=Org"},
        {"Jo Doe/Org/US", "CN=Jo Doe/O=Org/C=US"},
        {"Jo Doe", "Jo Doe"},
    };
    char buf[128];
    for (const auto& name : names) {
        ASSERT_EQ(NameCanonicalize(name.abbreviated, buf, sizeof buf), NOERROR);
        EXPECT_STREQ(buf, name.canonical);
        ASSERT_EQ(NameCanonicalize(name.canonical, buf, sizeof buf), NOERROR);
        EXPECT_STREQ(buf, name.canonical);
        ASSERT_EQ(NameAbbreviate(name.canonical, buf, sizeof buf), NOERROR);
        EXPECT_STREQ(buf, name.abbreviated);
    }
    ASSERT_EQ(NameCanonicalize("cn=Jo Doe / o=Org", buf, sizeof buf), NOERROR);
    EXPECT_STREQ(buf, "CN=Jo Doe/O=Org");
    EXPECT_EQ(NameCanonicalize("Jo Doe/Org", buf, 15), ERR_BUFFER_SMALL);
    EXPECT_STREQ(buf, "");

    ASSERT_EQ(UserName(buf, sizeof buf), NOERROR);
    EXPECT_STREQ(buf, "CN=Talix User/O=Local");
    IniOverride user("UserName", "Ann Lee/Acme");
    ASSERT_EQ(UserName(buf, sizeof buf), NOERROR);
    EXPECT_STREQ(buf, "CN=Ann Lee/O=Acme");
}

// Adds a document with a form, full names and an internet address.
void AddPerson(DBHANDLE db, const char* form, const std::vector<std::string>& names, const char* address) {
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db, &note), NOERROR);
    ASSERT_EQ(ItemSetText(note, "Form", form, static_cast<WORD>(std::strlen(form))), NOERROR);
    for (const std::string& name : names) {
        ASSERT_EQ(ItemAppendTextList(note, "FullName", name.data(), static_cast<WORD>(name.size()), true), NOERROR);
    }
    if (address != nullptr) {
        ASSERT_EQ(ItemSetText(note, "InternetAddress", address, static_cast<WORD>(std::strlen(address))), NOERROR);
    }
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
    NoteClose(note);
}

TEST(Names, AddressBookLookUp) {
    TempDir data;
    IniOverride directory("Directory", data.path().string());
    char buf[256];
    EXPECT_EQ(NameLookupItem("", "$Users", "Jo Doe", "InternetAddress", buf, sizeof buf), ERR_FILE_NOT_FOUND);

    DBHANDLE db = NULLHANDLE;
    ASSERT_EQ(DbCreate("names.nsf", &db), NOERROR);
    AddPerson(db, "Group", {"CN=Jo Doe/O=Org"}, "group@example.org");
    AddPerson(db, "Person", {"CN=Ann Lee/O=Org", "Ann Lee"}, "ann@example.org");
    AddPerson(db, "Person", {"CN=Jo Doe/O=Org", "Jo Doe", "jdoe"}, "jo@example.org");
    AddPerson(db, "Person", {"CN=Max Roe/O=Org"}, nullptr);
    DbClose(db);

    for (const char* name : {"Jo Doe/Org", "cn=jo doe/o=org", "JDOE", "jo doe"}) {
        ASSERT_EQ(NameLookupItem(nullptr, "$users", name, "InternetAddress", buf, sizeof buf), NOERROR) << name;
        EXPECT_STREQ(buf, "jo@example.org");
    }
    ASSERT_EQ(NameLookupItem("", nullptr, "Ann Lee", "FullName", buf, sizeof buf), NOERROR);
    EXPECT_STREQ(buf, "CN=Ann Lee/O=Org,Ann Lee");

    EXPECT_EQ(NameLookupItem("", "$Users", "Nobody", "InternetAddress", buf, sizeof buf), ERR_NAME_NOT_FOUND);
    EXPECT_EQ(NameLookupItem("", "$Users", "Max Roe/Org", "InternetAddress", buf, sizeof buf), ERR_ITEM_NOT_FOUND);
    EXPECT_EQ(NameLookupItem("", "$Users", "Jo Doe", "InternetAddress", buf, 10), ERR_BUFFER_SMALL);
    EXPECT_EQ(NameLookupItem("", "$Groups", "Jo Doe", "InternetAddress", buf, sizeof buf), ERR_NAME_SPACE);
    EXPECT_EQ(NameLookupItem("Elsewhere", "$Users", "Jo Doe", "InternetAddress", buf, sizeof buf),
              ERR_SERVER_UNREACHABLE);
}

} // namespace
