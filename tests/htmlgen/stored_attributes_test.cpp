// Stored HTML attributes, text lists joined, and the link event with its
// ids read from their texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/chunk_work_state.h"
#include "generation_fixture.h"
#include "htmlgen/extra_attributes.h"
#include "htmlgen/stored_attributes.h"
#include "support/markup_validators.h"
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

// The extra text an author typed stays attributes of its element: in HTML
// nothing of it ends the start tag, in XHTML the tag stays well-formed with
// each name once.
TEST(StoredAttributes, ExtraTextNeverLeavesItsStartTag) {
    RARIvoSession session;
    Context context(&session);
    context.Read(nullptr);
    // As typed, where the text is sound; what would end the tag, or a value
    // never closed that would take the markup after it, is made harmless.
    EXPECT_EQ(Attributes(context, {"", "", "", "", "onclick=\"if (a>b) go()\" width=5 checked", ""}),
              " onclick=\"if (a>b) go()\" width=5 checked");
    EXPECT_EQ(Attributes(context, {"", "", "", "", "x=1><script>alert(1)</script", ""}),
              " x=1&gt;&lt;script&gt;alert(1)&lt;/script");
    EXPECT_EQ(Attributes(context, {"", "", "", "", "title=\"abc", ""}), " title=\"abc\"");
    char prepared[] = "width=5 title='x><b";
    EXPECT_EQ(Attributes(context, {"", "", "", "", "ignored", ""}, prepared), " width=5 title='x><b'");
    context.Read("AutoQuoteHTMLParams=Yes");
    EXPECT_EQ(Attributes(context, {"", "", "", "", "title=\"abc onclick=go()", ""}), " title=\"abc onclick=go()\"");
    EXPECT_EQ(Attributes(context, {"", "", "", "", "a=x>y checked", ""}), " a=\"x&gt;y\" checked");

    // XHTML: every attribute with a quoted value, references XML reads,
    // no name twice (the record's own among them), none XML cannot take.
    context.Read(nullptr, talix::kFormatXHTML);
    const std::vector<std::string> hostile = {
        "title=\"abc",
        "checked",
        "a=b&c d=&amp; e=&#1; f=&nosuch;",
        "id=dup ID=again class=x",
        "a=\"x\"\"y\" b=\"1\"c=\"2\"",
        "o<x=1 9y=2 :z=3 w>=3 q=a>b<c",
        "=lonely \"quoted\" 'single' on\x01click=x v=\x7F",
        "x='a\"b' y=\"c'd\" z=e'f\"g",
    };
    for (const std::string& text : hostile) {
        const std::string written = Attributes(context, {"i", "c", "", "", text, ""});
        std::string report;
        EXPECT_TRUE(talix_test::XmlWellFormed("<td" + written + "/>", &report)) << text << ": " << written << report;
    }
    EXPECT_EQ(Attributes(context, {"", "", "", "", "checked a=b&c e=&#1; f=&eacute;", ""}),
              " checked=\"checked\" a=\"b&amp;c\" e=\"&amp;#1;\" f=\"&eacute;\"");
    EXPECT_EQ(Attributes(context, {"i", "", "", "", "ID=dup onclick=go() Onclick=again", ""}),
              " id=\"i\"  onclick=\"go()\" ");
    EXPECT_EQ(Attributes(context, {"", "", "", "", "b=\"1\"c=\"2\" title=\"abc", ""}), " b=\"1\" c=\"2\" title=\"abc\"");
    // What the start tag holds before, and what its writer adds after.
    context.SetText("<div href=\"a>b\" Align='x'");
    const std::vector<std::uint8_t> record = IdName({"", "", "", "", "HREF=y align=z style=s width=5", ""});
    EXPECT_EQ(talix::WriteIDNameAttributes(record.data(), static_cast<std::uint32_t>(record.size()), context.get(),
                                           nullptr, {"style"}),
              0);
    EXPECT_EQ(context.Text(), "<div href=\"a>b\" Align='x'    width=\"5\"");
    // A sound text comes out as AutoQuoteHTMLParams always wrote it.
    EXPECT_EQ(Attributes(context, {"", "", "", "", "onclick=go() title='x' alt=a\"b<c", ""}),
              " onclick=\"go()\" title='x' alt=\"a&quot;b&lt;c\"");
    EXPECT_EQ(talix::OpenStartTagNames("<p>x</p><td a=\"1\" B='2' c"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(talix::OpenStartTagNames("<td a=\"1\">text").empty());
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

TEST(StoredTextLists, JoinedWithTheSeparatorWithinTheCapacity) {
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
    g_link = LinkEvent();
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
