// talix rewrite and talix records --host, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/patterns.h"
#include "support/test_support.h"

namespace {

using talix_test::CliOutcome;

class RewriteCommand : public talix_test::CliTest {
protected:
    // Imports a file and returns the id of its first note.
    std::string Import(const std::string& file) {
        CliOutcome run = Talix({"import", db_, file});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out.substr(0, 10);
    }

};

TEST_F(RewriteCommand, RewritingAnItemKeepsItsStoredBytes) {
    std::string id = Import((talix_test::SampleDxlDir() / "form-layout.xml").string());
    CliOutcome before = Talix({"value", db_, id, "$Body"});
    ASSERT_EQ(before.status, 0) << before.err;
    CliOutcome listed = Talix({"records", db_, id, "$Body"});
    const std::string itemsBefore = Talix({"items", db_, id}).out;

    CliOutcome rewritten = Talix({"rewrite", db_, id, "$Body"});
    ASSERT_EQ(rewritten.status, 0) << rewritten.err;
    EXPECT_EQ(rewritten.out, std::to_string(listed.lines().size()) + "\n");
    EXPECT_EQ(Talix({"value", db_, id, "$Body"}).out, before.out);
    // The item stays signed.
    EXPECT_EQ(Talix({"items", db_, id}).out, itemsBefore);
    // Named in other letters, the item keeps its stored name.
    ASSERT_EQ(Talix({"rewrite", db_, id, "$BODY"}).status, 0);
    EXPECT_EQ(Talix({"value", db_, id, "$Body"}).out, before.out);
    const std::string items = Talix({"items", db_, id}).out;
    EXPECT_EQ(items.find("$BODY"), std::string::npos) << items;
    EXPECT_NE(items.find("$Body\t"), std::string::npos) << items;

    // The odd last record of form-testinher.xml's "$Info" has no pad byte,
    // before and after.
    std::string inher = Import((talix_test::SampleDxlDir() / "form-testinher.xml").string());
    before = Talix({"value", db_, inher, "$Info"});
    ASSERT_EQ(Talix({"rewrite", db_, inher, "$Info"}).status, 0);
    EXPECT_EQ(Talix({"value", db_, inher, "$Info"}).out, before.out);
    EXPECT_EQ(before.out.size(), 35u);

    // An item that holds no records, only its data-type word, stays.
    std::string empty = Import(Write("e.xml", "<note class='form'><item name='$HTMLCode' sign='true'>"
                                              "<rawitemdata type='1'></rawitemdata></item></note>"));
    before = Talix({"items", db_, empty});
    ASSERT_NE(before.out.find("$HTMLCode"), std::string::npos) << before.out;
    rewritten = Talix({"rewrite", db_, empty, "$HTMLCode"});
    EXPECT_EQ(rewritten.status, 0) << rewritten.err;
    EXPECT_EQ(rewritten.out, "0\n");
    EXPECT_EQ(Talix({"items", db_, empty}).out, before.out);

    // A summary item that is signed keeps both flags.
    std::string flagged = Import(Write("f.xml", "<note class='document'><item name='Body' summary='true' "
                                                "sign='true'><rawitemdata type='1'>gQKF/wwAAQAAAGFiY2Q="
                                                "</rawitemdata></item></note>"));
    before = Talix({"items", db_, flagged});
    ASSERT_NE(before.out.find("Body\t0x0001\t0x0005\t"), std::string::npos) << before.out;
    ASSERT_EQ(Talix({"rewrite", db_, flagged, "Body"}).status, 0);
    EXPECT_EQ(Talix({"items", db_, flagged}).out, before.out);
}

TEST_F(RewriteCommand, AnItemNamedOutsideAsciiIsRewritten) {
    std::string id = Import(Write("u.xml", "<note class='document'><item name='Grüße'><rawitemdata type='1'>"
                                           "gQKF/wwAAQAAAGFiY2Q=</rawitemdata></item></note>"));
    CliOutcome before = Talix({"value", db_, id, "Grüße"});
    ASSERT_EQ(before.status, 0) << before.err;
    CliOutcome rewritten = Talix({"rewrite", db_, id, "Grüße"});
    ASSERT_EQ(rewritten.status, 0) << rewritten.err;
    EXPECT_EQ(rewritten.out, "2\n");
    EXPECT_EQ(Talix({"value", db_, id, "Grüße"}).out, before.out);
}

TEST_F(RewriteCommand, DamagedOrOtherItemsAreNotWritten) {
    // A paragraph, then a text record claiming 32 bytes where 6 are left.
    std::string id = Import(Write("d.xml", "<note class='document'>"
                                           "<item name='Body'><rawitemdata type='1'>gQKF/yAAAQAAAA==</rawitemdata></item>"
                                           "<item name='Plain'><text>x</text></item></note>"));
    CliOutcome before = Talix({"value", db_, id, "Body"});
    CliOutcome damaged = Talix({"rewrite", db_, id, "Body"});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(damaged.err, "talix: cannot rewrite item 'Body': item 1: damaged data at byte 4: record 0xFF85 of "
                           "length 32 runs past the end of the value (8 bytes left): status 15150: Damaged "
                           "rich-text data; nothing was written\n");
    EXPECT_EQ(Talix({"value", db_, id, "Body"}).out, before.out);
    EXPECT_EQ(Talix({"rewrite", db_, id, "Plain"}).status, 1);

    // A sound first item and a second one ending in a stray byte after a
    // paragraph and a text run: refused too, where the reader of the item
    // would have dropped the byte.
    std::string stray = Import(Write("s.xml", "<note class='document'>"
                                              "<item name='Body'><rawitemdata type='1'>gQI=</rawitemdata></item>"
                                              "<item name='Body'><rawitemdata type='1'>gQKF/wwAAQAAAGFiY2SB"
                                              "</rawitemdata></item></note>"));
    before = Talix({"value", db_, stray, "Body"});
    ASSERT_EQ(before.out.size(), 4u + 17u);
    damaged = Talix({"rewrite", db_, stray, "Body"});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(damaged.err, "talix: cannot rewrite item 'Body': item 2: damaged data at byte 16: a record header "
                           "needs 2 bytes, 1 is left: status 15150: Damaged rich-text data; nothing was written\n");
    EXPECT_EQ(Talix({"value", db_, stray, "Body"}).out, before.out);

    // The other commands that write the item back refuse it the same way.
    CliOutcome edited = Talix({"edit", db_, stray, "Body", "Everything", "set-text", "new"});
    EXPECT_EQ(edited.status, 1);
    EXPECT_NE(edited.err.find("cannot edit item 'Body': item 2: damaged data at byte 16"), std::string::npos)
        << edited.err;
    CliOutcome appended = Talix({"append", db_, stray, "Body", "text", "more"});
    EXPECT_EQ(appended.status, 1);
    EXPECT_NE(appended.err.find("cannot append to item 'Body': item 2"), std::string::npos) << appended.err;
    EXPECT_EQ(Talix({"value", db_, stray, "Body"}).out, before.out);
    EXPECT_EQ(Talix({"rewrite", db_, id}).status, 2);

    CliOutcome host = Talix({"records", "--host", db_, id, "Body"});
    EXPECT_EQ(host.status, 1);
    EXPECT_EQ(host.out, "1\t0x0081\tCD_PARAGRAPH\t2\t\n");
}

TEST_F(RewriteCommand, HostRecordsShowHostLengthsAndSideData) {
    std::string id = Import((talix_test::SampleDxlDir() / "form-layout.xml").string());
    CliOutcome host = Talix({"records", db_, id, "$Body", "--host"});
    ASSERT_EQ(host.status, 0) << host.err;
    CliOutcome stored = Talix({"records", db_, id, "$Body"});
    auto hostLines = host.lines(), storedLines = stored.lines();
    ASSERT_EQ(hostLines.size(), storedLines.size());
    const std::string line("([0-9]+)\t(0x[0-9A-F]{4})\t([^\t]+)\t([0-9]+)\t(.*)");
    bool longer = false;
    for (std::size_t i = 0; i < hostLines.size(); ++i) {
        std::vector<std::string> h, s;
        ASSERT_TRUE(talix_test::FullMatch(hostLines[i], line, &h)) << hostLines[i];
        ASSERT_TRUE(talix_test::FullMatch(storedLines[i], line, &s)) << storedLines[i];
        EXPECT_EQ(h[1], s[1]);
        EXPECT_EQ(h[2], s[2]);
        longer = longer || std::stoul(h[4]) > std::stoul(s[4]);
        EXPECT_GE(std::stoul(h[4]), std::stoul(s[4]));
    }
    EXPECT_TRUE(longer);
    EXPECT_NE(host.out.find("\t0xFF85\tCD_TEXT\t24\ttext=I am layout text\n"), std::string::npos) << host.out;

    // A table of two rows and two columns, with its cells pointing at it and
    // at the pre-table record before it.
    std::string tables = Import((talix_test::SampleDxlDir() / "form-testls.xml").string());
    host = Talix({"records", "--host", db_, tables, "$Body"});
    ASSERT_EQ(host.status, 0) << host.err;
    EXPECT_NE(host.out.find("\n40\t0xFFFB\tCD_PRETABLEBEGIN\t48\t\n"), std::string::npos) << host.out;
    EXPECT_NE(host.out.find("\n43\t0x00A3\tCD_TABLEBEGIN\t14\trows=2 columns=2\n"), std::string::npos);
    EXPECT_NE(host.out.find("\n58\t0x00A4\tCD_TABLECELL\t18\ttable=43 pretable=40\n"), std::string::npos);
}

} // namespace
