// Link operations run on stored items: links appended at a chunk, link
// properties read from inline, indexed and target records (and changed),
// every occurrence of a text turned into a link, and the regular-expression
// links that leave an item as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/chunk_work_state.h"
#include "core/operation_inputs.h"
#include "core/record_forms.h"
#include "core/signatures.h"
#include "core/statuses.h"
#include "hotspot_fixture.h"
#include "support/op_runner.h"
#include "talix/chunk.h"
#include "talix_platform.h"

namespace {

using engine_test::Count;
using engine_test::HotspotTest;
using engine_test::NonEmptyTexts;
using engine_test::Rec;
using engine_test::Records;
using engine_test::Runs;
using talix::kSigLinkExport2;
using talix::kSigText;
using talix::kSigV4HotspotBegin;
using talix::kSigV4HotspotEnd;
using talix_test::FixtureRecord;
using talix_test::Op;
using talix_test::RunOperation;

constexpr std::uint16_t kLink = 0xFF91, kHref = 0xFFF6;
constexpr std::uint16_t kReplica = 2323, kView = 2324, kNote = 2322, kAnchorText = 2338, kHint = 2339,
                        kPopupText = 2340, kUrl = 2341;

// A 40-byte note link whose ten words are seed, seed + 1, ...; its ids read
// as text put the high word of each 8-byte half first.
std::vector<std::uint8_t> NoteLink(std::uint32_t seed) {
    std::vector<std::uint8_t> link(40);
    for (std::uint32_t i = 0; i < 10; ++i) talix::WriteDword(link.data() + 4 * i, seed + i);
    return link;
}
std::string Hex(std::uint32_t high, std::uint32_t low) {
    char text[17];
    std::snprintf(text, sizeof text, "%.8X%.8X", high, low);
    return text;
}

FixtureRecord WithBytes(std::uint16_t signature, const std::vector<std::uint8_t>& head, const std::string& tail) {
    FixtureRecord record = talix_test::HostRecord(signature, static_cast<std::uint32_t>(head.size() + tail.size()));
    std::copy(head.begin() + 4, head.end(), record.bytes.begin() + 4);
    std::copy(tail.begin(), tail.end(), record.bytes.begin() + static_cast<long>(head.size()));
    return record;
}

FixtureRecord IndexedLink(std::uint16_t index, const std::string& texts) {
    std::vector<std::uint8_t> head(6);
    talix::WriteWord(head.data() + 4, index);
    return WithBytes(kLink, head, texts);
}

// A link target record of a Notes link held as an index after the server
// and file hints, followed by the anchor.
FixtureRecord IndexedTarget(std::uint16_t index, const std::string& server, const std::string& file,
                            const std::string& anchor) {
    std::vector<std::uint8_t> head(28);
    talix::WriteWord(head.data() + 8, 2);
    talix::WriteWord(head.data() + 12, static_cast<std::uint16_t>(anchor.size()));
    talix::WriteWord(head.data() + 14, static_cast<std::uint16_t>(server.size()));
    talix::WriteWord(head.data() + 16, static_cast<std::uint16_t>(file.size()));
    std::string tail = server + file + std::string(2, '\0') + anchor;
    tail[server.size() + file.size()] = static_cast<char>(index);
    return WithBytes(kHref, head, tail);
}

class LinkTest : public HotspotTest {
protected:
    // The note's list of links (a count, then the 40-byte links).
    void StoreLinks(const char* name, const std::vector<std::uint32_t>& seeds) {
        std::vector<std::uint8_t> value(2);
        talix::WriteWord(value.data(), static_cast<std::uint16_t>(seeds.size()));
        for (std::uint32_t seed : seeds) {
            const std::vector<std::uint8_t> link = NoteLink(seed);
            value.insert(value.end(), link.begin(), link.end());
        }
        ASSERT_EQ(plat::ItemAppend(item_.noteHandle, 0, name, static_cast<plat::WORD>(std::strlen(name)),
                                   plat::TYPE_NOTELINK_LIST, value.data(), static_cast<plat::DWORD>(value.size())),
                  0);
    }

    // A link property of the chunk's first link (the third scratch buffer).
    std::string Property(ZervaRTChunk* chunk, std::uint16_t code) {
        char* scratch = session_.optionValue + talix::kScratchSize;
        scratch[0] = '\0';
        EXPECT_EQ(RunOperation(chunk, Op(talix::kOpGetLinkProperty, code)), 0);
        return scratch;
    }
};

TEST_F(LinkTest, UrlAndDocumentLinksAreAppendedAtTheChunk) {
    ZervaRTChunk* chunk = Open(Runs({"a"}));
    ASSERT_NE(chunk, nullptr);
    talix::LinkRequest& request = chunk->work->linkRequest;
    request.kind = talix::kLinkURL;
    request.target = "http://example.org/";
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpAppendLink, 0, 0, "Site")), 0);
    std::vector<Rec> records = Stored();
    // Begin, link target, hotspot, its text, end.
    std::vector<std::uint16_t> order;
    for (const Rec& record : records)
        if (record.signature == kHref || record.signature == kSigV4HotspotBegin || record.Text() == "Site" ||
            record.signature == kSigV4HotspotEnd)
            order.push_back(record.signature);
    EXPECT_EQ(order, (std::vector<std::uint16_t>{kHref, kSigV4HotspotBegin, kSigText, kSigV4HotspotEnd}));
    EXPECT_EQ(Property(item_.DefineChunk("Everything"), kUrl), "http://example.org/");

    // Without text a URL cannot be shown; an empty target is refused.
    const std::vector<std::string> before = db_.Stored(id_);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpAppendLink)), talix::kOperationFailed);
    request.target = "";
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpAppendLink, 0, 0, "Site")), talix::kArgumentError);
    EXPECT_EQ(item_.Save(), 0);
    EXPECT_EQ(db_.Stored(id_), before);

    // A document link: the ids come back in upper case, an empty
    // description becomes the default one.
    chunk = Open(Runs({"a"}));
    talix::LinkRequest& document = chunk->work->linkRequest;
    document.kind = talix::kLinkOnText;
    document.target = "0123456789abcdef";
    document.viewId = "00112233445566778899aabbccddeeff";
    document.noteId = "ffeeddccbbaa99887766554433221100";
    document.description = "";
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpAppendLink, 0, 0, "Doc")), 0);
    records = Stored();
    ASSERT_EQ(Count(records, kSigLinkExport2), 1u);
    for (const Rec& record : records)
        if (record.signature == kSigLinkExport2) EXPECT_EQ(record.Word(2), 44 + 22 + 1);   // description, empty hint
    ZervaRTChunk* link = item_.DefineChunk("Doclink 1");
    EXPECT_EQ(Property(link, kReplica), "0123456789ABCDEF");
    EXPECT_EQ(Property(link, kView), "00112233445566778899AABBCCDDEEFF");
    EXPECT_EQ(Property(link, kNote), "FFEEDDCCBBAA99887766554433221100");
    EXPECT_EQ(Property(link, kPopupText), "Click here to view...");
}

TEST_F(LinkTest, PropertiesOfIndexedLinksComeFromTheNotesLinkList) {
    Records body = Runs({"a"});
    body.push_back(IndexedLink(1, std::string("desc\0hint\0anchor\0", 17)));
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    StoreLinks("$Links", {0x100, 0x200});
    EXPECT_EQ(Property(chunk, kReplica), Hex(0x201, 0x200));
    EXPECT_EQ(Property(chunk, kView), Hex(0x203, 0x202) + Hex(0x205, 0x204));
    EXPECT_EQ(Property(chunk, kNote), Hex(0x207, 0x206) + Hex(0x209, 0x208));
    EXPECT_EQ(Property(chunk, kPopupText), "desc");
    EXPECT_EQ(Property(chunk, kHint), "hint");
    EXPECT_EQ(Property(chunk, kAnchorText), "anchor");

    // An index past the list is reported and gives no value.
    body.back() = IndexedLink(5, std::string("d\0", 2));
    chunk = Open(body);
    StoreLinks("$Links", {0x100});
    EXPECT_EQ(Property(chunk, kReplica), "");
    EXPECT_EQ(messages, std::vector<std::string>{"TALIX: Broken $Links reference"});

    // A link target record keeps its index after its two hints; a note
    // without "$Links" has its links in "$FormLinks".
    body.back() = IndexedTarget(0, "srv", "db.nsf", "top");
    chunk = Open(body);
    StoreLinks("$FormLinks", {0x300});
    EXPECT_EQ(Property(chunk, kReplica), Hex(0x301, 0x300));
    EXPECT_EQ(Property(chunk, kHint), "srv");
    EXPECT_EQ(Property(chunk, kAnchorText), "top");
}

TEST_F(LinkTest, ChangingALinkWritesItInlineAndLeavesTheListAlone) {
    Records body = Runs({"a"});
    body.push_back(IndexedLink(0, std::string("desc\0hint\0", 10)));
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    StoreLinks("$Links", {0x100});
    const std::string anchor = "part2";
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpSetLinkValue, kAnchorText, 0, anchor.c_str())), 0);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpSetLinkValue, kReplica, 0, "00000AAA00000BBB")), 0);
    // Not an id of 16 hexadecimal characters: refused, nothing changes.
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpSetLinkValue, kReplica, 0, "not an id")), talix::kArgumentError);

    const std::vector<Rec> records = Stored();
    ASSERT_EQ(Count(records, kLink), 0u);
    ASSERT_EQ(Count(records, kSigLinkExport2), 1u);
    ZervaRTChunk* saved = item_.DefineChunk("Everything");
    EXPECT_EQ(Property(saved, kReplica), "00000AAA00000BBB");
    EXPECT_EQ(Property(saved, kView), Hex(0x103, 0x102) + Hex(0x105, 0x104));
    EXPECT_EQ(Property(saved, kPopupText), "desc");
    EXPECT_EQ(Property(saved, kHint), "hint");
    EXPECT_EQ(Property(saved, kAnchorText), "part2");
    EXPECT_EQ(plat::ItemInfo(item_.noteHandle, "$Links", 6, nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(LinkTest, EveryOccurrenceBecomesALinkAndRegularExpressionLinksKeepTheItem) {
    ZervaRTChunk* chunk = Open(Runs({"see abc and abc"}));
    ASSERT_NE(chunk, nullptr);
    talix::LinkRequest& request = chunk->work->linkRequest;
    request.kind = talix::kLinkOnText;
    request.target = "0123456789ABCDEF";
    talix_test::Operation occurrences = Op(talix::kOpLinkOccurrences, 0, 3);
    occurrences.second = "abc";
    EXPECT_EQ(RunOperation(chunk, occurrences), 0);
    std::vector<Rec> records = Stored();
    EXPECT_EQ(Count(records, kSigLinkExport2), 2u);
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"see ", "abc", " and ", "abc"}));
    EXPECT_STREQ(session_.messageBuffer, "abc");

    // Without a search length every run stays.
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpLinkOccurrences)), 0);
    EXPECT_EQ(Count(Stored(), kSigLinkExport2), 2u);

    // The bitmap's records stay as they were.
    Records bitmap = Runs({"x"});
    bitmap.push_back(talix_test::HostRecord(0x0095, 40));
    bitmap.push_back(talix_test::HostRecord(0x0096, 20));
    chunk = Open(bitmap);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpExpressionLinks)), 0);
    records = Stored();
    ASSERT_GE(records.size(), bitmap.size());
    for (std::size_t i = 0; i < bitmap.size(); ++i) EXPECT_EQ(records[i].bytes, bitmap[i].bytes) << i;
}

} // namespace
