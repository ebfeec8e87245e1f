// Stored HTML attributes, text lists joined, and the link event with its
// ids read from their texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/chunk_work_state.h"
#include "generation_fixture.h"
#include "htmlgen/stored_attributes.h"
#include "talix/session.h"

namespace {

using htmlgen_test::Context;

// An id/name record in host form: the six texts in stored order (id, class,
// style, title, extra, name).
std::vector<std::uint8_t> IdName(const std::vector<std::string>& texts) {
    std::vector<std::uint8_t> record(26, 0);
    record[0] = 0x7A;
    record[1] = 0xFF;
    for (std::size_t i = 0; i < 6; ++i) {
        record[4 + 2 * i] = static_cast<std::uint8_t>(texts[i].size());
        record.insert(record.end(), texts[i].begin(), texts[i].end());
    }
    record[2] = static_cast<std::uint8_t>(record.size());
    return record;
}

std::string Attributes(Context& context, const std::vector<std::string>& texts, char* extra = nullptr) {
    context.SetText("<td");
    const std::vector<std::uint8_t> record = IdName(texts);
    EXPECT_EQ(talix::WriteIDNameAttributes(record.data(), static_cast<std::uint32_t>(record.size()), context.get(),
                                           extra),
              0);
    return context.Text().substr(3);
}

TEST(StoredAttributes, WrittenInOrderEncodedAndQuoted) {
    RARIvoSession session;
    Context context(&session);
    context.Read(nullptr);
    EXPECT_EQ(Attributes(context, {"", "c", "", "", "", ""}), " class=\"c\"");
    EXPECT_EQ(Attributes(context, {"i", "c", "s", "say \"hi\"\n", "", "n"}),
              " id=\"i\" name=\"n\" class=\"c\" style=\"s\" title=\"say &quot;hi&quot;\"");

    // Keys the generation reads itself are taken out of the extra text.
    EXPECT_EQ(Attributes(context, {"", "", "", "", "Caption='a b'", ""}), " ");
    EXPECT_EQ(Attributes(context, {"", "", "", "", "a=1 src=b.gif TalixTH=2 onclick='x()'", ""}),
              " a=1 onclick='x()'");
    char prepared[] = "Caption=x width=5";
    EXPECT_EQ(Attributes(context, {"", "", "", "", "ignored", ""}, prepared), " width=5");
    EXPECT_STREQ(prepared, "width=5");

    context.Read("AutoQuoteHTMLParams=Yes");
    EXPECT_EQ(Attributes(context, {"", "", "", "", "onclick=go() width=5", ""}), " onclick=\"go()\" width=\"5\"");
    EXPECT_EQ(Attributes(context, {"", "", "", "", "title='x' alt=a\"b<c", ""}),
              " title='x' alt=\"a&quot;b&lt;c\"");

    // XHTML quotes what is left of every extra text.
    context.Read(nullptr, talix::kFormatXHTML);
    EXPECT_EQ(Attributes(context, {"", "", "", "", "onclick=go() Caption=x width=5", ""}),
              " onclick=\"go()\" width=\"5\"");
    char xhtmlPrepared[] = "TalixTH=1 border=0";
    EXPECT_EQ(Attributes(context, {"", "", "", "", "ignored", ""}, xhtmlPrepared), " border=\"0\"");

    // A record whose texts pass its end writes nothing.
    std::vector<std::uint8_t> damaged = IdName({"abc", "", "", "", "", ""});
    damaged.resize(27);
    context.SetText("<td");
    EXPECT_EQ(talix::WriteIDNameAttributes(damaged.data(), 27, context.get(), nullptr), 1028);
    EXPECT_EQ(context.Text(), "<td");
}

// A text list in memory: count, lengths, entries.
std::vector<std::uint8_t> TextList(const std::vector<std::string>& entries) {
    std::vector<std::uint8_t> list = {static_cast<std::uint8_t>(entries.size()), 0};
    for (const std::string& entry : entries) {
        list.push_back(static_cast<std::uint8_t>(entry.size()));
        list.push_back(0);
    }
    for (const std::string& entry : entries) list.insert(list.end(), entry.begin(), entry.end());
    return list;
}

TEST(TextLists, JoinedWithTheSeparatorWithinTheCapacity) {
    char out[32];
    talix::STATUS status = 99;
    std::vector<std::uint8_t> three = TextList({"a", "b", "c"});
    EXPECT_EQ(talix::JoinTextList(three.data(), static_cast<std::uint32_t>(three.size()), out, sizeof out, "; ",
                                  &status),
              7u);
    EXPECT_STREQ(out, "a; b; c");
    EXPECT_EQ(status, 0);
    std::vector<std::uint8_t> one = TextList({"only"});
    EXPECT_EQ(talix::JoinTextList(one.data(), static_cast<std::uint32_t>(one.size()), out, sizeof out, "; "), 4u);
    EXPECT_STREQ(out, "only");
    std::vector<std::uint8_t> none = TextList({});
    EXPECT_EQ(talix::JoinTextList(none.data(), static_cast<std::uint32_t>(none.size()), out, sizeof out, ";"), 0u);
    EXPECT_STREQ(out, "");

    // Entries past the capacity, and a list shorter than its lengths say.
    EXPECT_EQ(talix::JoinTextList(three.data(), static_cast<std::uint32_t>(three.size()), out, 7, "; ", &status), 263u);
    EXPECT_EQ(status, 263);
    EXPECT_STREQ(out, "a; b");
    EXPECT_EQ(talix::JoinTextList(three.data(), static_cast<std::uint32_t>(three.size()) - 1, out, sizeof out, ";",
                                  &status),
              1028u);
    EXPECT_EQ(status, 1028);
}

struct LinkEvent {
    std::uint16_t kind = 0;
    std::string replica;
    plat::TIMEDATE replicaId;
    plat::UNIVERSALNOTEID viewId, noteId;
    std::string text1;
    int calls = 0;
};
LinkEvent g_link;

std::uint16_t RecordLink(ZervaRTChunk*, std::uint16_t kind, char* replica, std::uint16_t replicaLength,
                         void* replicaId, void* viewId, void* noteId, char* text1, std::uint16_t length1, char*,
                         std::uint16_t length2, char*, std::uint16_t) {
    g_link.kind = kind;
    g_link.replica = replica != nullptr ? std::string(replica, replicaLength) : "<none>";
    std::memcpy(&g_link.replicaId, replicaId, sizeof g_link.replicaId);
    std::memcpy(&g_link.viewId, viewId, sizeof g_link.viewId);
    std::memcpy(&g_link.noteId, noteId, sizeof g_link.noteId);
    g_link.text1 = text1 != nullptr ? std::string(text1, length1) : "<none>";
    EXPECT_EQ(length2, 0);
    ++g_link.calls;
    return 0;
}

TEST(LinkEvents, IdsAreReadFromTheirTexts) {
    RARIvoSession session;
    ZervaRTChunk chunk(&session, nullptr);
    char replica[] = "1234567:89ABCDEF";
    char view[] = "0123456789ABCDEF0011223344556677";
    char shortView[] = "0123456789ABCDEF001122334455667";
    char comment[] = "see";

    // Without a procedure nothing happens.
    chunk.RaiseQueryLinkData(nullptr, 0, 0, replica, view, view, comment, nullptr, nullptr);
    EXPECT_EQ(g_link.calls, 0);

    chunk.work->queryLinkData = RecordLink;
    chunk.RaiseQueryLinkData(nullptr, 0, 0, replica, view, shortView, comment, nullptr, nullptr);
    EXPECT_EQ(g_link.calls, 1);
    EXPECT_EQ(g_link.replica, "1234567:89ABCDEF");
    EXPECT_EQ(g_link.replicaId.Innards[0], 0x89ABCDEFu);
    EXPECT_EQ(g_link.replicaId.Innards[1], 0x1234567u);
    EXPECT_EQ(g_link.viewId.File.Innards[0], 0x89ABCDEFu);
    EXPECT_EQ(g_link.viewId.File.Innards[1], 0x01234567u);
    EXPECT_EQ(g_link.viewId.Note.Innards[0], 0x44556677u);
    EXPECT_EQ(g_link.viewId.Note.Innards[1], 0x00112233u);
    EXPECT_EQ(g_link.noteId.File.Innards[0], 0u);   // 31 characters: no id
    EXPECT_EQ(g_link.text1, "see");

    char digits[] = "0123456789ABCDEF";   // 16 digits without a colon: no replica id
    char underscore[] = "_X89ABCDEF01234567:";
    chunk.RaiseQueryLinkData(nullptr, 0, 2, digits, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(g_link.kind, 2);
    EXPECT_EQ(g_link.replicaId.Innards[0], 0u);
    EXPECT_EQ(g_link.replicaId.Innards[1], 0u);
    EXPECT_EQ(g_link.text1, "<none>");
    chunk.RaiseQueryLinkData(nullptr, 0, 0, underscore, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(g_link.replicaId.Innards[0], 0x01234567u);
    EXPECT_EQ(g_link.replicaId.Innards[1], 0x89ABCDEFu);
}

} // namespace
