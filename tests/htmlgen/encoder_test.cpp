// Entity encoding of document text, and the entity table it shares with the
// HTML import.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "generation_fixture.h"
#include "htmlgen/encoding_table.h"
#include "htmlgen/entity_encoder.h"
#include "htmlimport/entity_table.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using htmlgen_test::Context;

// The encoding of an LMBCS text under the options, into the line buffer.
std::string Encode(Context& context, const std::string& text, int dropLineEnds = 0, int allSpaces = 0,
                   int formula = 0) {
    context.SetText("");
    EXPECT_EQ(talix::WriteXMLEncodedText(context.get(), text.data(), static_cast<std::uint16_t>(text.size()),
                                         dropLineEnds, allSpaces, formula),
              0);
    return context.Text();
}

TEST(EntityEncoding, CharactersBecomeEntitiesOrReferences) {
    RARIvoSession session;
    Context context(&session);
    context.Read(nullptr);
    EXPECT_EQ(Encode(context, "<a href=\"x\">&</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;");
    EXPECT_EQ(Encode(context, "\x82\x9C"), "&eacute;&pound;");
    EXPECT_EQ(Encode(context, "\x02\xD6"), "&alpha;");
    EXPECT_EQ(Encode(context, "\x14\x03\xB1"), "&alpha;");   // the same letter in the Unicode group
    // Letters that repeat, in their forms of two and three bytes.
    EXPECT_EQ(Encode(context, "\x82" "a\x82\x02\xD6\x14\x03\xB1\x82\x02\xD6" "b"),
              "&eacute;a&eacute;&alpha;&alpha;&eacute;&alpha;b");
    EXPECT_EQ(Encode(context, "\x04"), "&diams;");           // a control byte names its group-1 form
    EXPECT_EQ(Encode(context, "\x14\x4E\x2D"), "&#20013;");  // no entity: the code point
    EXPECT_EQ(Encode(context, plat::NativeToLmbcs("\xF0\x9F\x98\x80")), "&#128512;");
    EXPECT_EQ(Encode(context, "a  b "), "a  b ");
    EXPECT_EQ(Encode(context, "a\tb"), "a b");
    EXPECT_EQ(Encode(context, "a\r\nb", 1), "ab");
    EXPECT_EQ(Encode(context, "a b", 0, 1), "a&nbsp;b");

    context.Read("UseXMLEntities=Yes PreserveSpaces=Yes PreserveTabs=3");
    EXPECT_EQ(Encode(context, "\x82"), "&#233;");
    EXPECT_EQ(Encode(context, "\x82\x82"), "&#233;&#233;");
    EXPECT_EQ(Encode(context, "\x02\xD6"), "&#945;");
    EXPECT_EQ(Encode(context, "\x04"), "&diams;");
    EXPECT_EQ(Encode(context, "a  b "), "a&nbsp;&nbsp;b&nbsp;");
    EXPECT_EQ(Encode(context, "a b\t"), "a b&nbsp;&nbsp;&nbsp;");

    // XHTML refers to no control character that XML forbids; HTML does.
    EXPECT_EQ(Encode(context, "a\x0F\x2E" "b"), "a&#14;b");
    context.Read(nullptr, talix::kFormatXHTML);
    EXPECT_EQ(Encode(context, "a\x0F\x2E" "b"), "ab");
    EXPECT_EQ(Encode(context, "a\nb"), "a&#10;b");
}

TEST(EntityEncoding, UrlsFormulasAndACallersBuffer) {
    RARIvoSession session;
    Context context(&session);
    context.Read(nullptr);
    char out[64] = "x=";
    ASSERT_EQ(talix::WriteXMLEncodedTextTo(context.get(), "a&b <c>", 7, out, sizeof out, 0, 0, 0, 1), 0);
    EXPECT_STREQ(out, "x=a&b &lt;c&gt;");
    ASSERT_EQ(talix::WriteXMLEncodedTextTo(context.get(), "a&b", 3, out, sizeof out, 0, 0, 0, 0), 0);
    EXPECT_STREQ(out, "x=a&b &lt;c&gt;a&amp;b");
    // Text that does not fit leaves the buffer as it was.
    char small[8] = "ab";
    EXPECT_EQ(talix::WriteXMLEncodedTextTo(context.get(), "<<<", 3, small, sizeof small, 0, 0, 0, 0), 263);
    EXPECT_STREQ(small, "ab");

    // Formulas: their results, encoded; text that does not compile stays.
    EXPECT_EQ(Encode(context, "\"a<b\"", 0, 0, 1), "a&lt;b");
    EXPECT_EQ(Encode(context, "\"x\":\"y\"", 0, 0, 1), "x;y");
    EXPECT_EQ(Encode(context, "1+2", 0, 0, 1), "3");
    EXPECT_EQ(Encode(context, "\"unclosed", 0, 0, 1), "&quot;unclosed");

    // The line buffer's capacity holds.
    Context tiny(&session, 16);
    tiny.Read(nullptr);
    EXPECT_EQ(talix::WriteXMLEncodedText(tiny.get(), "\x82\x82\x82", 3, 0, 0, 0), 263);
    EXPECT_EQ(tiny.Text(), "");
    EXPECT_EQ(tiny->overflow, 1u);
}

TEST(EntityEncoding, ACharacterMetBeforeIsWrittenAsItsSwitchesAskEachTime) {
    // The same characters encoded again and again in one context while the
    // switches they depend on change between the calls: each call writes
    // what a fresh context under those switches writes.
    const std::string text = "\x82\x01\x76\x14\x20\xAC\x02\xD6\x14\x4E\x2D\x0F\x2E\x04\x14\xD8\x3D" "a";
    RARIvoSession session;
    auto fresh = [&](bool xml, bool extended, std::uint16_t format) {
        Context alone(&session);
        alone.Read(nullptr, format);
        talix::SetSwitch(alone.get(), talix::sw::kUseXMLEntities, xml);
        talix::SetSwitch(alone.get(), talix::sw::kExtendedSpecialCharacters, extended);
        return Encode(alone, text);
    };
    for (const std::uint16_t format : {talix::kFormatHTML, talix::kFormatXHTML}) {
        Context context(&session);
        context.Read(nullptr, format);
        for (int round = 0; round < 3; ++round) {
            for (int mode = 0; mode < 4; ++mode) {
                const bool xml = (mode & 1) != 0, extended = (mode & 2) != 0;
                talix::SetSwitch(context.get(), talix::sw::kUseXMLEntities, xml);
                talix::SetSwitch(context.get(), talix::sw::kExtendedSpecialCharacters, extended);
                EXPECT_EQ(Encode(context, text), fresh(xml, extended, format)) << format << " " << mode;
            }
        }
    }
    // The trade mark by name unless extended characters are asked for.
    EXPECT_EQ(fresh(false, false, talix::kFormatHTML).substr(0, 21), "&eacute;&trade;&euro;");
    EXPECT_EQ(fresh(true, true, talix::kFormatHTML).substr(0, 13), "&#233;&#8482;");
}

TEST(EncodingTable, KeepsEntitiesAndReferencesOfWholeCharactersOnly) {
    talix::EncodingTable table(talix::LmbcsLengths());
    auto bytes = [](const char* text) { return reinterpret_cast<const std::uint8_t*>(text); };
    // Characters of one, two and three bytes (Latin-1, an exception form,
    // the Unicode group and a double-byte group), each found whole from its
    // bytes as it was kept.
    const char* characters[] = {"\x82", "\x01\x76", "\x14\x03\xB1", "\x10\x88\xA1", "\x07"};
    for (const char* character : characters) {
        const auto n = static_cast<std::uint16_t>(std::strlen(character));
        const std::string reference = "&#" + std::to_string(n * 100 + static_cast<std::uint8_t>(character[n - 1])) + ";";
        table.Keep(bytes(character), n, reference.data(), reference.size());
        for (const talix::StoredEncoding* found : {table.Find(bytes(character), n), table.FindWhole(bytes(character))}) {
            ASSERT_NE(found, nullptr) << character;
            EXPECT_EQ(std::string(found->text, found->length), reference);
        }
    }
    // What the writer of text runs writes otherwise, and a character cut
    // short, is never kept: an entry stands for a whole character's
    // entity or reference.
    for (const char* other : {"a", " ", "&", "\x7F", "\t", "\n", "\r"}) {
        table.Keep(bytes(other), 1, "&#10;", 5);
        EXPECT_EQ(table.Find(bytes(other), 1), nullptr) << static_cast<int>(other[0]);
        EXPECT_EQ(table.FindWhole(bytes(other)), nullptr) << static_cast<int>(other[0]);
    }
    const char zero[3] = {0, 0, 0};
    table.Keep(bytes(zero), 1, "&#0;", 4);
    EXPECT_EQ(table.FindWhole(bytes(zero)), nullptr);
    table.Keep(bytes("\x14\x20"), 2, "&#65533;", 8);
    EXPECT_EQ(table.FindWhole(bytes("\x14\x20\xAC")), nullptr);
    table.Keep(bytes("\x02"), 1, "&#65533;", 8);
    EXPECT_EQ(table.FindWhole(bytes("\x02\xD6")), nullptr);
}

TEST(EntityTable, RowsNativeFormsAndLookUp) {
    const talix::EntityRow* rows = talix::EntityTable();
    EXPECT_STREQ(rows[0].name, "nbsp");
    EXPECT_EQ(rows[0].codePoint, 32u);
    EXPECT_EQ(rows[0].native, nullptr);
    EXPECT_STREQ(rows[95].name, "yuml");
    EXPECT_STREQ(rows[96].name, "fnof");
    EXPECT_STREQ(rows[219].name, "diams");
    EXPECT_STREQ(rows[220].name, "quot");
    EXPECT_STREQ(rows[talix::kEntityCount - 1].name, "euro");

    auto native = [&](const char* name) {
        for (int i = 0; i < talix::kEntityCount; ++i) {
            if (std::strcmp(rows[i].name, name) == 0)
                return std::string(rows[i].native != nullptr ? rows[i].native : "");
        }
        return std::string("?");
    };
    EXPECT_EQ(native("pound"), "\x9C");
    EXPECT_EQ(native("OElig"), "\x01\x40");
    EXPECT_EQ(native("trade"), "\x01\x76");
    EXPECT_EQ(native("euro"), "\x14\x20\xAC");
    EXPECT_EQ(native("alpha"), "\x02\xD6");
    EXPECT_EQ(native("amp"), "");

    // Names are distinct; every native form is its character and finds its
    // own row.
    std::set<std::string> names;
    for (int i = 0; i < talix::kEntityCount; ++i) {
        names.insert(rows[i].name);
        if (rows[i].native == nullptr) continue;
        const auto length = static_cast<std::uint16_t>(std::strlen(rows[i].native));
        EXPECT_EQ(talix::LmbcsCodePoint(rows[i].native, length), static_cast<std::int32_t>(rows[i].codePoint))
            << rows[i].name;
        EXPECT_STREQ(talix::FindEntityByNativeText(nullptr, rows[i].native, length), rows[i].name);
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(talix::kEntityCount));
    EXPECT_EQ(talix::FindEntityByNativeText(nullptr, "a", 1), nullptr);
    EXPECT_EQ(talix::FindEntityByNativeText(nullptr, "\x14\x4E\x2D", 3), nullptr);
}

} // namespace
