// The record walk over items built from records: text runs with their
// fonts, entities and automatic links, line breaks, rules, hidden
// paragraphs, pass-through HTML, form fields, the text event, a full buffer
// and damaged records.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/item_work_state.h"
#include "core/pool.h"
#include "generation_fixture.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/xml_gen_context.h"
#include "support/markup_validators.h"
#include "support/test_support.h"
#include "table_records.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using htmlgen_test::BidiRun;
using htmlgen_test::Bracket;
using htmlgen_test::Colour;
using htmlgen_test::Definition;
using htmlgen_test::Field;
using htmlgen_test::GenerationTest;
using htmlgen_test::Has;
using htmlgen_test::HideMarker;
using htmlgen_test::HideWhen;
using htmlgen_test::ParagraphBreak;
using htmlgen_test::Plain;
using htmlgen_test::Records;
using htmlgen_test::Reference;
using htmlgen_test::Rule;
using htmlgen_test::TextRun;
using htmlgen_test::TextBytes;

constexpr std::uint8_t kBold = 0x01, kItalic = 0x02, kUnderline = 0x04, kStrike = 0x08;
constexpr std::uint8_t kRed = 2;

std::string g_joined;
int g_pieces = 0;
std::vector<std::string> g_pieceTexts;
std::uint16_t Concatenate(ZervaRTChunk*, char* text, std::uint16_t length) {
    g_joined.append(text, length);
    g_pieceTexts.emplace_back(text, length);
    ++g_pieces;
    return 0;
}

std::string EncodedAlone(const std::string& text, const char* options, std::uint16_t format);

class Walk : public GenerationTest {
protected:
    std::string Fragment(ZervaRTChunk* chunk, const std::string& options = "", const char* format = "HTML") {
        return Generate(chunk, format, ("Generation=Fragment " + options).c_str());
    }

    // Each of the runs (the chunk's text: one paragraph, one font) is
    // written as the encoder writes it alone, in both formats, with and
    // without numeric references, kept whole and handed on in chunks of
    // each size.
    void ExpectEncodedAlone(ZervaRTChunk* chunk, const std::vector<std::string>& runs,
                            std::initializer_list<const char*> sizes) {
        for (const std::uint16_t format : {talix::kFormatHTML, talix::kFormatXHTML}) {
            const char* name = format == talix::kFormatHTML ? "HTML" : "XHTML";
            for (const char* options : {"", "UseXMLEntities=Yes "}) {
                std::string expected = "<div>";
                for (const std::string& text : runs) expected += EncodedAlone(text, options, format);
                expected += "</div>";
                EXPECT_EQ(Fragment(chunk, std::string(options) + "OutputToEvent=No", name), expected)
                    << name << " " << options;
                EXPECT_EQ(chunk->lastStatus, 0);
                for (const char* size : sizes) {
                    g_joined.clear();
                    const std::string streamed =
                        std::string("Generation=Fragment ") + options + "OutputToEvent=" + size;
                    const std::string tail = Generate(chunk, name, streamed.c_str(), nullptr, Concatenate);
                    EXPECT_EQ(g_joined + tail, expected) << name << " " << options << size;
                }
            }
        }
    }
};

TEST_F(Walk, TextRunsWriteTheirFontChanges) {
    ZervaRTChunk* chunk = Define({TextRun(1, kBold, 0, 10, "Hello "), TextRun(5, 0, kRed, 12, "world")});
    ASSERT_EQ(item_.DefineFont("Arial"), 5);

    EXPECT_EQ(Fragment(chunk), "<b>Hello </b><span style=\"font-size: 12pt; color: rgb(255,0,0); "
                               "font-family: Arial; \">world</span>");
    EXPECT_EQ(Fragment(chunk, "SuppressFonts=all"), "Hello world");
    EXPECT_EQ(Fragment(chunk, "SuppressFonts=face"),
              "<b>Hello </b><span style=\"font-size: 12pt; color: rgb(255,0,0); \">world</span>");
    EXPECT_EQ(Fragment(chunk, "WAICompliant=Yes UseCurlyBracesInline=Yes"),
              "<strong>Hello </strong><span style=\"{font-size: 12pt; color: rgb(255,0,0); "
              "font-family: Arial; }\">world</span>");
    // Font elements: sizes by the thresholds, colours by name.
    EXPECT_EQ(Fragment(chunk, "StandardFontTags=Yes"),
              "<b>Hello </b><font color='Red' size='3' face='Arial'>world</font>");

    ZervaRTChunk* large = Define({TextRun(1, 0, 0, 13, "big")});
    EXPECT_EQ(Fragment(large, "StandardFontTags=Yes"), "<font size='4'>big</font>");
    EXPECT_EQ(Fragment(large, "StandardFontTags=Yes Font4=12"), "<font size='5'>big</font>");

    // Runs of one font continue one another; a colour record colours the
    // run before it; decorations and the face of the base font are CSS.
    // A plain run after a decorated one is not decorated.
    ZervaRTChunk* runs = Define({TextRun(1, kItalic, 0, 10, "a"), TextRun(1, kItalic, 0, 10, ""),
                                 TextRun(1, kItalic, 0, 10, "b"), TextRun(1, kUnderline | kStrike, 4, 10, "c"),
                                 Colour(1, 2, 3), TextRun(1, 0, 0, 10, "d")});
    EXPECT_EQ(Fragment(runs), "<i>ab</i><span style=\"color: rgb(1,2,3); text-decoration: underline line-through; \">"
                              "c</span>d");
    EXPECT_EQ(Fragment(runs, "ForceFontFace=Yes"),
              "<span style=\"font-family: sans-serif; \"><i>ab</i></span><span style=\"color: rgb(1,2,3); "
              "text-decoration: underline line-through; font-family: sans-serif; \">c</span>"
              "<span style=\"font-family: sans-serif; \">d</span>");
    // A highlighted run's background ends with it.
    ZervaRTChunk* marked = Define({TextRun(1, 0, 0, 10, "e"), Colour(0, 0, 0, 0x8001), TextRun(1, 0, 0, 10, "f")});
    EXPECT_EQ(Fragment(marked), "<span style=\"background: #ffffc2;\">e</span>f");

    // A font state that comes again writes the span it wrote before, unless
    // what the span says changed in between: a colour record, a link, a
    // right-to-left run (the spans after it give their direction, those
    // before it none, whether or not the item was rendered before).
    ZervaRTChunk* again = Define({TextRun(5, 0, kRed, 12, "a"), TextRun(1, 0, 0, 10, "b"),
                                  TextRun(5, 0, kRed, 12, "c"), Colour(1, 2, 3), TextRun(1, 0, 0, 10, "d"),
                                  TextRun(5, 0, kRed, 12, "e http://x.example/ e"), BidiRun("f"),
                                  TextRun(5, 0, kRed, 12, "g")});
    EXPECT_EQ(Fragment(again, "MakeURLHotspots=Yes"),
              "<span style=\"font-size: 12pt; color: rgb(255,0,0); \">a</span>b"
              "<span style=\"font-size: 12pt; color: rgb(1,2,3); \">c</span>d"
              "<span style=\"font-size: 12pt; color: rgb(255,0,0); \">e "
              "<a href=\"http://x.example/\">http://x.example/</a> e</span>"
              "<span style=\"font-size: 12pt; direction: rtl;\">f</span>"
              "<span style=\"font-size: 12pt; color: rgb(255,0,0); direction: ltr;\">g</span>");
    // (The item's fonts have their markup by now: only the walk's own
    // right-to-left run turns the direction on.)
    EXPECT_EQ(Fragment(again, "SuppressFonts=color"),
              "<span style=\"font-size: 12pt; \">a</span>b<span style=\"font-size: 12pt; \">c</span>d"
              "<span style=\"font-size: 12pt; \">e http://x.example/ e</span>"
              "<span style=\"font-size: 12pt; direction: rtl;\">f</span>"
              "<span style=\"font-size: 12pt; direction: ltr;\">g</span>");

    // Every font of a document is kept as the item's markup for it, whole
    // even where it is longer than its place.
    const std::uint32_t styled = 1u | (kBold | kItalic | kUnderline | kStrike) << 8 | kRed << 16 | 12u << 24;
    ZervaRTChunk* longest = Define({TextRun(1, kBold | kItalic | kUnderline | kStrike, kRed, 12, "x")});
    const std::string document =
        Generate(longest, "XHTML", "ForceFontFace=Yes SubstituteFont1=AVeryLongFamilyNameForTheTest31");
    const talix::StyleMappingInfo* mapping = item_.GetStyleMappingByFontID(styled, 1);
    ASSERT_NE(mapping, nullptr);
    const std::string opening = talix::MappingOpening(*mapping);
    EXPECT_GT(opening.size(), 127u);
    EXPECT_TRUE(Has(document, opening + "x</i></b></span>")) << document << "\n" << opening;
    EXPECT_STREQ(talix::MappingClosing(*mapping), "</i></b></span>");
    std::string report;
    EXPECT_TRUE(talix_test::XhtmlValid(document, &report)) << report;
}

TEST_F(Walk, SpansAndParagraphElementsEndBeforeTheBlocksAfterThem) {
    // Red text in a paragraph, then a rule; red text, then a table.
    Records records = {Definition(1), Reference(1), TextRun(1, 0, kRed, 10, "a"), Rule(0, 1440, 30, 0),
                       TextRun(1, 0, kRed, 10, "b")};
    const Records table = htmlgen_test::Table(htmlgen_test::Grid(1, 1));
    records.push_back(Reference(1));
    records.push_back(TextRun(1, kBold, kRed, 10, "c"));
    records.insert(records.end(), table.begin(), table.end());
    ZervaRTChunk* chunk = Define(records);
    const std::string html = Fragment(chunk);
    EXPECT_TRUE(Has(html, "a</span><hr")) << html;
    EXPECT_TRUE(Has(html, "<span style=\"color: rgb(255,0,0); \">b</span>")) << html;
    EXPECT_TRUE(Has(html, "<b>c</b></span><br></div><table")) << html;
    // With paragraph elements the rule and the table stand outside them.
    const std::string paragraphs = Fragment(chunk, "UsePTags=Yes");
    EXPECT_TRUE(Has(paragraphs, "a</span></p><hr")) << paragraphs;
    EXPECT_TRUE(Has(paragraphs, "<b>c</b></span></p><br><table")) << paragraphs;
    for (const char* options : {"", "UsePTags=Yes", "StandardFontTags=Yes"}) {
        for (const char* format : {"HTML", "XHTML"}) {
            std::string report;
            EXPECT_EQ(talix_test::TidyErrors(Generate(chunk, format, options), &report), 0) << report;
            EXPECT_EQ(report.find("missing </"), std::string::npos) << options << " " << format << "\n" << report;
        }
    }
}

TEST_F(Walk, TextIsEncodedAndAddressesBecomeLinks) {
    ZervaRTChunk* link = Define({TextBytes("go http://a.example/x?y=1&z=2, now")});
    EXPECT_EQ(Fragment(link, "MakeURLHotspots=Yes"),
              "go <a href=\"http://a.example/x?y=1&amp;z=2,\">http://a.example/x?y=1&amp;z=2,</a> now");
    EXPECT_EQ(Fragment(link), "go http://a.example/x?y=1&amp;z=2, now");

    ZervaRTChunk* others =
        Define({TextBytes("see http://ab"), TextBytes(" mailto:me@x.org<b> HTTPS://h.example:8080/")});
    EXPECT_EQ(Fragment(others, "MakeURLHotspots=Yes ExtraURLHotspotParams='target=\"_blank\"'"),
              "see http://ab <a href=\"mailto:me@x.org\">mailto:me@x.org</a>&lt;b&gt; <a target=\"_blank\" "
              "href=\"HTTPS://h.example\">HTTPS://h.example</a>:8080/");

    // Line breaks, tabs, blanks and characters outside ASCII.
    const std::string text = std::string("ab") + '\0' + "c\t d  e \x82";
    ZervaRTChunk* chunk = Define({TextBytes(text)});
    EXPECT_EQ(Fragment(chunk), "ab<br>c  d  e &eacute;");
    EXPECT_EQ(Fragment(chunk, "", "XHTML"), "ab<br />c  d  e &eacute;");
    EXPECT_EQ(Fragment(chunk, "PreserveSpaces=Yes PreserveTabs=2 UseXMLEntities=Yes"),
              "ab<br>c&nbsp;&nbsp; d&nbsp;&nbsp;e &#233;");
    ZervaRTChunk* paragraph = Define({ParagraphBreak(), TextBytes("x")});
    EXPECT_EQ(Fragment(paragraph), "<br>x");
    EXPECT_EQ(Fragment(paragraph, "", "XHTML"), "<br />x");

    // A paragraph of nothing but an empty run is a line break.
    ZervaRTChunk* empty = Define({Definition(1), Reference(1), TextBytes(""), Reference(1), TextBytes("y")});
    EXPECT_EQ(Fragment(empty), "<div><br></div><div>y</div>");
}

TEST_F(Walk, EveryCharacterOfALongRunIsWrittenWhereverItStands) {
    // Markup characters, the blank, DEL, a letter outside ASCII and link
    // letters at every offset of a long stretch of letters: each ends or
    // joins the stretch written as it stands, as its own kind asks.
    const std::string specials = "&<>\" \x7F\x82hms";
    for (std::size_t offset = 0; offset < 16; ++offset) {
        std::string text;
        std::string expected;
        for (const char special : specials) {
            text += std::string(offset, 'a') + special + std::string(16, 'b');
            expected += std::string(offset, 'a');
            switch (special) {
            case '&': expected += "&amp;"; break;
            case '<': expected += "&lt;"; break;
            case '>': expected += "&gt;"; break;
            case '"': expected += "&quot;"; break;
            case '\x82': expected += "&eacute;"; break;
            default: expected += special; break;
            }
            expected += std::string(16, 'b');
        }
        ZervaRTChunk* chunk = Define({TextBytes(text)});
        EXPECT_EQ(Fragment(chunk), expected) << offset;
        EXPECT_EQ(Fragment(chunk, "MakeURLHotspots=Yes"), expected) << offset;
        EXPECT_EQ(Fragment(chunk, "OutputToEvent=Yes"), expected) << offset;
        EXPECT_EQ(Fragment(chunk, "PreserveSpaces=Yes"), expected) << offset;
    }
    // One special in a stretch that ends the run, before or among its last
    // sixteen bytes: the stretch stops at it wherever it stands.
    for (const char special : specials) {
        for (const std::size_t before : {5u, 17u, 20u, 31u, 36u}) {
            for (std::size_t after = 0; after < 18; ++after) {
                const std::string text = std::string(before, 'a') + special + std::string(after, 'b');
                std::string escaped(1, special);
                if (special == '<') escaped = "&lt;";
                if (special == '&') escaped = "&amp;";
                if (special == '\x82') escaped = "&eacute;";
                if (special == '>' || special == '"') escaped = special == '>' ? "&gt;" : "&quot;";
                const std::string expected = std::string(before, 'a') + escaped + std::string(after, 'b');
                ZervaRTChunk* chunk = Define({TextBytes(text)});
                EXPECT_EQ(Fragment(chunk), expected) << before << " " << after;
                EXPECT_EQ(Fragment(chunk, "MakeURLHotspots=Yes"), expected) << before << " " << after;
            }
        }
    }
}

TEST_F(Walk, BytesAtTheEdgesOfPlainTextEndALongStretchWhereverTheyStand) {
    // The bytes just inside and just outside the range of bytes written as
    // they stand (the blank among them, with and without PreserveSpaces),
    // at every offset of a long stretch of letters: each is written as it
    // is when it starts a run, and the letters around it as they stand.
    const std::string edges("\x00\x09\x0A\x0D\x1F\x20\x21\x7E\x7F\x80\xA0\xFE\xFF", 13);
    const std::string after(20, 'b');
    for (const char edge : edges) {
        for (const char* options : {"", "PreserveSpaces=Yes", "OutputToEvent=Yes"}) {
            const std::string alone = Fragment(Define({TextBytes(std::string(1, edge) + after)}), options);
            for (std::size_t offset = 0; offset < 40; ++offset) {
                const std::string text = std::string(offset, 'a') + edge + after;
                EXPECT_EQ(Fragment(Define({TextBytes(text)}), options), std::string(offset, 'a') + alone)
                    << static_cast<int>(static_cast<unsigned char>(edge)) << " " << offset << " " << options;
            }
        }
    }
}

// The encoding of an LMBCS text by the encoder alone, in a context of its
// own (no character remembered), under the options and format.
std::string EncodedAlone(const std::string& text, const char* options, std::uint16_t format) {
    // Room for the longest encoding of every byte (buffers cleared for each
    // of the many texts cost more than the encoding itself).
    const auto room = static_cast<std::uint32_t>(16 * text.size() + 1024);
    RARIvoSession session;
    htmlgen_test::Context context(&session, std::max<std::uint32_t>(room, 65406));
    context.Read(options, format);
    context.SetText("");
    std::vector<char> output(room, '\0');
    EXPECT_EQ(talix::WriteXMLEncodedTextTo(context.get(), text.data(), static_cast<std::uint32_t>(text.size()),
                                           output.data(), static_cast<std::uint32_t>(output.size()), 0, 0, 0, 0),
              0);
    talix::ReleaseEncoderTables(context.get());
    return output.data();
}

TEST_F(Walk, TextOutsideAsciiIsWrittenAsTheEncoderWritesItWhateverStandsAround) {
    // Seeded runs of letters, blanks, markup characters, control bytes and
    // characters outside ASCII of one, two and three bytes (hundreds of
    // distinct ones, more than the encoder remembers, and a character
    // beyond 16 bits), in stretches of every length: the walk writes each
    // as the encoder does on its own, with the text handed on in chunks of
    // any size or kept whole.
    const std::string astral = plat::NativeToLmbcs("\xF0\x9F\x98\x80");
    const std::string pieces[] = {"a", "bc", "defghijklmnopqrstu", " ", "&", "<", "\"", "\x82", "\x9C", "\x04",
                                  "\x02\xD6", "\x14\x03\xB1", "\x14\x4E\x2D", "\x0F\x2E", astral};
    std::uint32_t state = 45;
    auto draw = [&](std::uint32_t below) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % below;
    };
    // Runs of one font of about 700 bytes, whole characters each (stored
    // runs hold even lengths).
    Records records = {Definition(1), Reference(1)};
    std::vector<std::string> runs;
    std::string run;
    std::size_t size = 0;
    auto endRun = [&] {
        if (run.size() % 2 != 0) run += 'z';
        size += run.size();
        records.push_back(TextRun(1, 0, 0, 10, run));
        runs.push_back(run);
        run.clear();
    };
    while (size < 20000) {
        const std::uint32_t pick = draw(20);
        if (pick < 15) {
            run += pieces[pick];
        } else {
            // A character of the Unicode group from a wide range of the
            // ideographs (no byte of it ASCII), or a Latin-1 letter by
            // its byte.
            const auto high = static_cast<char>(0x4E + draw(6)), low = static_cast<char>(0xA0 + draw(0x5F));
            run += pick < 18 ? std::string{'\x14', high, low} : std::string(1, static_cast<char>(0x80 + draw(0x7F)));
        }
        if (run.size() >= 700) endRun();
    }
    ZervaRTChunk* chunk = Define(records);
    for (const std::uint16_t format : {talix::kFormatHTML, talix::kFormatXHTML}) {
        const char* name = format == talix::kFormatHTML ? "HTML" : "XHTML";
        for (const char* options : {"", "UseXMLEntities=Yes ", "MakeURLHotspots=Yes "}) {
            // A character does not reach from one run into the next.
            std::string expected = "<div>";
            for (const std::string& text : runs) expected += EncodedAlone(text, options, format);
            expected += "</div>";
            const std::string whole = Fragment(chunk, std::string(options) + "OutputToEvent=No", name);
            EXPECT_EQ(chunk->lastStatus, 0);
            EXPECT_EQ(whole, expected) << name << " " << options;
            for (const char* size : {"5", "200", "Yes"}) {
                g_joined.clear();
                const std::string streamed = std::string("Generation=Fragment ") + options + "OutputToEvent=" + size;
                const std::string tail = Generate(chunk, name, streamed.c_str(), nullptr, Concatenate);
                EXPECT_EQ(g_joined + tail, whole) << name << " " << options << size;
            }
        }
    }
}

TEST_F(Walk, ShortRunsOutsideAsciiAreWrittenAsTheEncoderWritesThem) {
    // Runs of every even length up to 48 bytes (and a few of 64 to 100),
    // opening with a few letters or with a character outside ASCII, packed
    // with characters of one, two and three bytes and ending wherever the
    // length falls, a character cut short included (whose form completed
    // by zero bytes is met whole elsewhere): each run is written as the
    // encoder writes it alone, kept whole or handed on in chunks of any size.
    const std::string pieces[] = {"ab", "c", "xyz", " ", "&", "\x82", "\x9C", "\x02\xD6", "\x14\x03\xB1",
                                  "\x14\x4E\x2D", "\x0F\x2E", "\x14\x03\xB2", std::string("\x14\x03\x00", 3)};
    std::uint32_t state = 7;
    Records records = {Definition(1), Reference(1)};
    std::vector<std::string> runs;
    for (std::size_t length = 2; length <= 100; length += length < 48 ? 2 : 12) {
        for (int variant = 0; variant < 4; ++variant) {
            std::string run = variant % 2 == 0 ? "de" : "";
            while (run.size() < length) {
                state = state * 1103515245u + 12345u;
                run += pieces[(state >> 8) % std::size(pieces)];
            }
            run.resize(length);
            records.push_back(TextRun(1, 0, 0, 10, run));
            runs.push_back(run);
        }
    }
    ExpectEncodedAlone(Define(records), runs, {"5", "64", "200", "Yes"});
}

TEST_F(Walk, ACharacterCutByTheEndOfItsRunIsWrittenAsTheEncoderWritesIt) {
    // Characters of two, three and six bytes (a pair of halves), cut at
    // every byte by the end of a run, their rest starting the next run, the
    // whole character before and after: a cut form is written as the
    // encoder writes it alone, and never stands in for the whole character
    // or the whole one for it.
    const std::string characters[] = {"\x02\xD6", "\x0F\x2E", "\x01\x76", "\x14\x03\xB1", "\x14\x20\xAC",
                                      "\x10\x88\xA1", "\x14\xF6\x4E", plat::NativeToLmbcs("\xF0\x9F\x98\x80")};
    for (const std::string& character : characters) {
        for (std::size_t cut = 1; cut < character.size(); ++cut) {
            // Stored runs hold even lengths: the first is evened at its
            // start, the second at its end.
            std::string first = "a" + character + character.substr(0, cut);
            if (first.size() % 2 != 0) first = "z" + first;
            std::string second = character.substr(cut) + character + "b" + character.substr(0, cut);
            if (second.size() % 2 != 0) second += "y";
            ZervaRTChunk* chunk =
                Define({Definition(1), Reference(1), TextRun(1, 0, 0, 10, first), TextRun(1, 0, 0, 10, second)});
            for (const std::uint16_t format : {talix::kFormatHTML, talix::kFormatXHTML}) {
                const char* name = format == talix::kFormatHTML ? "HTML" : "XHTML";
                for (const char* options : {"", "UseXMLEntities=Yes "}) {
                    const std::string expected =
                        "<div>" + EncodedAlone(first, options, format) + EncodedAlone(second, options, format) + "</div>";
                    EXPECT_EQ(Fragment(chunk, std::string(options) + "OutputToEvent=No", name), expected)
                        << name << " " << options << character.size() << " cut " << cut;
                    g_joined.clear();
                    const std::string streamed = std::string("Generation=Fragment ") + options + "OutputToEvent=5";
                    const std::string tail = Generate(chunk, name, streamed.c_str(), nullptr, Concatenate);
                    EXPECT_EQ(g_joined + tail, expected) << name << " " << options << character.size() << " cut " << cut;
                }
            }
        }
    }
}

TEST_F(Walk, EachKindOfCharacterAtEveryOffsetAmongCharactersOutsideAscii) {
    // Characters of one, two, three and six bytes and the markup characters
    // at every offset up to 24 bytes from a run's start, and from its end,
    // in runs of letters and characters outside ASCII (so that they are
    // taken among them, not as plain stretches of their own): each run is
    // written as the encoder writes it alone, whether its characters are
    // met for the first time or again, whole or handed on in small pieces.
    const std::string astral = plat::NativeToLmbcs("\xF0\x9F\x98\x80");
    // Group bytes below 0x20 start characters of every length: of one
    // (0x07, 0x1A: control characters), two (0x02, 0x0F) and three (0x10,
    // 0x14).
    const std::string subjects[] = {"\x82", "\x07", "\x1A", "\x02\xD6", "\x0F\x2E", "\x10\x88\xA1", "\x14\x03\xB1",
                                    astral, "&", "<", ">", "\"", " "};
    const std::string fillers[] = {"\x9C", "ab", "\x14\x4E\x2D", "c", "\x01\x76", "de"};
    std::size_t next = 0;
    // About n bytes of whole characters drawn in turn from the fillers,
    // made exactly n with letters.
    auto filler = [&](std::size_t n) {
        std::string text;
        while (text.size() + 3 <= n) text += fillers[next++ % std::size(fillers)];
        return text + std::string(n - text.size(), 'x');
    };
    Records records = {Definition(1), Reference(1)};
    std::vector<std::string> runs;
    for (const std::string& subject : subjects) {
        for (std::size_t offset = 0; offset < 24; ++offset) {
            for (std::string text : {filler(offset) + subject + filler(17 + offset % 3),
                                     filler(20 + offset % 5) + subject + filler(offset)}) {
                // Stored runs hold even lengths.
                if (text.size() % 2 != 0) text += 'z';
                records.push_back(TextRun(1, 0, 0, 10, text));
                runs.push_back(text);
            }
        }
    }
    ExpectEncodedAlone(Define(records), runs, {"5", "37", "Yes"});
}

TEST_F(Walk, TextOutsideAsciiLongerThanTheBufferIsHandedOnWholeOrRefused) {
    // Runs of letters, blanks and characters outside ASCII whose markup is
    // several times the line buffer: handed on in pieces of every chunk
    // size it is the encoder's text, byte for byte; kept whole it does not
    // fit and the run ends with 263.
    const std::string pieces[] = {"ab", " ", "\x82", "\x14\x03\xB1", "\x02\xD6", "cde f", "\x14\x4E\x2D", "\x9C"};
    std::uint32_t state = 7;
    Records records = {Definition(1), Reference(1)};
    std::string expected = "<div>";
    for (int run = 0; run < 4; ++run) {
        std::string text;
        while (text.size() < 30000) {
            state = state * 1103515245u + 12345u;
            text += pieces[(state >> 8) % std::size(pieces)];
        }
        if (text.size() % 2 != 0) text += 'z';
        records.push_back(TextRun(1, 0, 0, 10, text));
        expected += EncodedAlone(text, "", talix::kFormatHTML);
    }
    expected += "</div>";
    ZervaRTChunk* chunk = Define(records);
    for (const char* size : {"80", "81", "997", "Yes"}) {
        g_joined.clear();
        const std::string tail =
            Generate(chunk, "HTML", (std::string("Generation=Fragment OutputToEvent=") + size).c_str(), nullptr, Concatenate);
        EXPECT_EQ(chunk->lastStatus, 0) << size;
        EXPECT_TRUE(g_joined + tail == expected) << size;
    }
    Fragment(chunk, "OutputToEvent=No");
    EXPECT_EQ(chunk->lastStatus, 263);
}

TEST_F(Walk, TextOutsideAsciiAmongLongWordsBlanksAndAddressesIsWrittenAsTheOptionsAsk) {
    // Words of letters (some of sixteen bytes and more), single and
    // repeated blanks, addresses and characters outside ASCII of one, two
    // and three bytes in runs of a few thousand bytes, whole or handed on
    // in chunks of any size, each run ending in a character cut short
    // (whose form completed by zero bytes is met whole before it): each
    // run as the encoder writes it alone, with PreserveSpaces its blanks
    // but those between words (one blank, not the run's last byte)
    // non-breaking; with addresses made links, the same handed on as kept
    // whole.
    const std::string pieces[] = {"ab",   "cdefghijklmnopqrstuvw", "x", " ", "   ", "\x82", "\x14\x03\xB1", "\x02\xD6",
                                  "\x9C", "\x14\x4E\x2D",         std::string("\x14\x03\x00", 3),
                                  "see http://example.com/a?b=1 or mailto:someone@example.com "};
    std::uint32_t state = 11;
    Records records = {Definition(1), Reference(1)};
    std::vector<std::string> texts(3);
    for (std::string& text : texts) {
        while (text.size() < 3000 || text.size() % 2 != 0) {
            state = state * 1103515245u + 12345u;
            text += pieces[(state >> 8) % std::size(pieces)];
        }
        text += "\x14\x03";
        records.push_back(TextRun(1, 0, 0, 10, text));
    }
    auto preserved = [](const std::string& encoded) {
        std::string out;
        for (std::size_t i = 0; i < encoded.size(); ++i) {
            const bool between = encoded[i] == ' ' && i + 1 < encoded.size() && encoded[i + 1] != ' ' &&
                                 (i == 0 || encoded[i - 1] != ' ');
            out += encoded[i] == ' ' && !between ? "&nbsp;" : encoded.substr(i, 1);
        }
        return out;
    };
    ZervaRTChunk* chunk = Define(records);
    for (const std::uint16_t format : {talix::kFormatHTML, talix::kFormatXHTML}) {
        const char* name = format == talix::kFormatHTML ? "HTML" : "XHTML";
        for (const std::string options : {"", "UseXMLEntities=Yes ", "PreserveSpaces=Yes ", "MakeURLHotspots=Yes ",
                                          "UseXMLEntities=Yes PreserveSpaces=Yes MakeURLHotspots=Yes "}) {
            const std::string whole = Fragment(chunk, options + "OutputToEvent=No", name);
            EXPECT_EQ(chunk->lastStatus, 0);
            if (options.find("MakeURLHotspots") == std::string::npos) {
                std::string expected = "<div>";
                for (const std::string& text : texts) {
                    const std::string encoded = EncodedAlone(text, options.c_str(), format);
                    expected += options.find("PreserveSpaces") != std::string::npos ? preserved(encoded) : encoded;
                }
                EXPECT_TRUE(whole == expected + "</div>") << name << " " << options;
            }
            for (const char* size : {"80", "333", "Yes"}) {
                g_joined.clear();
                const std::string tail =
                    Generate(chunk, name, ("Generation=Fragment " + options + "OutputToEvent=" + size).c_str(), nullptr,
                             Concatenate);
                EXPECT_TRUE(g_joined + tail == whole) << name << " " << options << size;
            }
        }
    }
}

TEST_F(Walk, RulesAnchorsFieldsAndPassThrough) {
    ZervaRTChunk* rule = Define({Definition(1, 3), Reference(1), Rule(0x8, 7200, 30, 0), TextBytes("t"),
                                 Rule(0x4, 50, 15, kRed), Colour(0, 128, 0)});
    EXPECT_EQ(Fragment(rule), "<div><hr width=\"480\" size=\"2\" align='center' noshade style=\"color: rgb(0,0,0);\">"
                              "t<hr width=\"50%\" size=\"1\" align='center' style=\"color: rgb(0,128,0);\"></div>");
    const std::string xhtml = Generate(rule, "XHTML", nullptr);
    EXPECT_TRUE(Has(xhtml, "<hr width=\"480\" size=\"2\" align='center' noshade=\"noshade\" "
                           "style=\"color: rgb(0,0,0);\" />"));
    std::string report;
    EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report;

    ZervaRTChunk* fields = Define({Field(1, "Body"), Field(0x500, "Subject"), Field(0x501, "Tags"),
                                   Field(0x300, "Count"), talix_test::HeadAndText(0xFFCB, 12, 4, "top")});
    EXPECT_EQ(Fragment(fields), "<textarea name=\"Body\" rows=\"7\" cols=\"50\"></textarea>"
                                "<input type=\"text\" name=\"Subject\" value=\"\">"
                                "<input type=\"text\" name=\"Tags\" value=\"\"><a name=\"top\"></a>");
    const std::string form = Generate(fields, "XHTML", nullptr);
    EXPECT_TRUE(Has(form, "<input type=\"text\" name=\"Tags\" value=\"\" />"));
    EXPECT_TRUE(talix_test::XhtmlValid(form, &report)) << report;
    EXPECT_EQ(talix_test::TidyErrors(Generate(fields, "HTML", nullptr), &report), 0) << report;

    const talix_test::FixtureRecord begin = Plain(0xFFCC, 8), end = Plain(0xFFCD, 8);
    ZervaRTChunk* passthru = Define({begin, TextBytes("<b>x</b>"), end, TextBytes("&")});
    EXPECT_EQ(Fragment(passthru), "<b>x</b>&amp;");
    // Skipped, the stretch is text like any other.
    EXPECT_EQ(Fragment(passthru, "SkipPassthru=yes"), "&lt;b&gt;x&lt;/b&gt;&amp;");
}

TEST_F(Walk, DelimitedHtmlIsMarkedForTheGenerationOnly) {
    const Records records = {TextBytes("["), TextBytes("[<"), TextBytes("b"), TextBytes(">]"), TextBytes(">]")};
    ZervaRTChunk* chunk = Define(records);
    const std::vector<std::string> stored = db_.Stored(item_.noteID);
    EXPECT_EQ(Fragment(chunk, "MarkDelimitedHTML=Yes"),
              "[<!--DelimitedStart--><b><!--DelimitedEnd-->&gt;]");
    EXPECT_EQ(Fragment(chunk, "MarkDelimitedHTML=Yes DelimitedHTMLStart=S DelimitedHTMLEnd=E"), "[S<b>E&gt;]");
    EXPECT_EQ(Fragment(chunk), "[[&lt;b&gt;]&gt;]");

    // The item keeps its records: its text and, saved, its stored bytes.
    std::vector<char> text(100);
    EXPECT_EQ(chunk->GetText(nullptr, text.data(), 100, 1, nullptr), 8u);
    EXPECT_EQ(std::string(text.data(), 8), "[[<b>]>]");
    item_.cacheRecords = 1;
    EXPECT_EQ(Fragment(chunk, "MarkDelimitedHTML=Yes"), "[<!--DelimitedStart--><b><!--DelimitedEnd-->&gt;]");
    EXPECT_EQ(item_.Save(), 0);
    EXPECT_EQ(db_.Stored(item_.noteID), stored);

    // A stretch without its end reaches to the end of the item.
    ZervaRTChunk* open = Define({TextBytes("[<"), TextBytes("i>x&")});
    EXPECT_EQ(Fragment(open, "MarkDelimitedHTML=Yes"), "<!--DelimitedStart--><i>x&");
}

TEST_F(Walk, LongPassThroughTextStreamsUnderQuotedPrintable) {
    // One pass-through record of 60,000 bytes, nearly half of them in
    // characters of three bytes: each of their bytes takes three encoded.
    std::string html;
    while (html.size() < 60000) html += "<b>\x10\x88\xA0\x10\x88\xA0</b>";
    const Records records = {Plain(0xFFCC, 8), TextBytes(html), Plain(0xFFCD, 8), TextBytes("END")};
    ZervaRTChunk* chunk = Define(records);
    const std::string plain = Fragment(chunk, "OutputToEvent=No");
    ASSERT_EQ(chunk->lastStatus, 0);
    ASSERT_EQ(plain, html + "END");
    const std::string expected = plat::LmbcsToNative(plain);
    for (const char* size : {"Yes", "80", "32703", "64382"}) {
        g_joined.clear();
        g_pieces = 0;
        const std::string options =
            std::string("Generation=Fragment ContentTransferEncoding=quoted-printable OutputToEvent=") + size;
        const std::string tail = Generate(chunk, "HTML", options.c_str(), nullptr, Concatenate);
        EXPECT_EQ(chunk->lastStatus, 0) << size;
        // Decoded, the pieces and what stayed are the text in the output
        // character set, lines joined.
        std::string text;
        for (char c : htmlgen_test::DecodeQuotedPrintable(g_joined + tail)) {
            if (c != '\r' && c != '\n') text += c;
        }
        EXPECT_TRUE(text == expected) << size << ": " << text.size() << " bytes";
        EXPECT_GT(g_pieces, 1) << size;
    }
}

TEST_F(Walk, HiddenParagraphsArePassedOver) {
    const Records records = {Definition(1), Definition(2, 0, 0x10), Definition(3, 0, 0x800), Definition(4, 0, 0x800),
                             HideWhen(3, "1"), HideWhen(4, "0"),
                             Reference(1), TextBytes("a"), Reference(2), TextBytes("b"), ParagraphBreak(),
                             TextBytes("c"), Reference(3), TextBytes("d"), Reference(4), TextBytes("e"),
                             HideMarker(true), Reference(1), TextBytes("f"), ParagraphBreak(), TextBytes("g"),
                             HideMarker(false), Reference(1), TextBytes("h")};
    ZervaRTChunk* chunk = Define(records);
    EXPECT_EQ(Fragment(chunk), "<div>a</div><div>b<br>c</div><div>d</div><div>efg</div><div>h</div>");
    EXPECT_EQ(Fragment(chunk, "RespectHiddenFormulas=Yes"), "<div>a</div><div>efg</div><div>h</div>");
    // In preview mode flag 0x40 hides instead of 0x10.
    EXPECT_EQ(Fragment(chunk, "RespectHiddenFormulas=Yes PreviewMode=Yes"),
              "<div>a</div><div>b<br>c</div><div>efg</div><div>h</div>");
}

TEST_F(Walk, TextEventsHandOnWhatTheBufferWouldHold) {
    // Runs in changing fonts, addresses and entities: about 40 KB.
    Records records = {Definition(1), Reference(1)};
    for (int i = 0; i < 250; ++i) {
        records.push_back(TextRun(1, static_cast<std::uint8_t>(i % 3), static_cast<std::uint8_t>(i % 4), 10,
                              "word \x82 http://x.example/" + std::to_string(i) + "&q " + std::string(30, 'a')));
        if (i % 7 == 0) records.push_back(ParagraphBreak());
    }
    ZervaRTChunk* chunk = Define(records);
    const std::string whole = Generate(chunk, "XHTML", "MakeURLHotspots=Yes OutputToEvent=No");
    EXPECT_EQ(chunk->lastStatus, 0);
    ASSERT_GT(whole.size(), 30000u);
    std::string report;
    EXPECT_TRUE(talix_test::XhtmlValid(whole, &report)) << report;

    for (const char* size : {"Yes", "5", "200"}) {
        g_joined.clear();
        g_pieces = 0;
        const std::string options = std::string("MakeURLHotspots=Yes OutputToEvent=") + size;
        const std::string tail = Generate(chunk, "XHTML", options.c_str(), nullptr, Concatenate);
        EXPECT_EQ(chunk->lastStatus, 0);
        // Apart from the day in the comment, which a run over midnight changes.
        EXPECT_EQ(talix_test::WithoutRunDates(g_joined + tail), talix_test::WithoutRunDates(whole)) << size;
        EXPECT_GT(g_pieces, std::string(size) == "Yes" ? 3 : 100) << size;
    }

    // Without events a body larger than the buffer ends with 263: what was
    // written stays, nothing past the buffer.
    Records big = records;
    for (int i = 0; i < 3; ++i) big.insert(big.end(), records.begin() + 2, records.end());
    ZervaRTChunk* large = Define(big);
    g_joined.clear();
    const std::string kept = Generate(large, "XHTML", "MakeURLHotspots=Yes OutputToEvent=No");
    EXPECT_EQ(large->lastStatus, 263);
    EXPECT_LE(kept.size(), 65405u);
    EXPECT_GT(kept.size(), 60000u);
    const std::string full = Generate(large, "XHTML", "MakeURLHotspots=Yes", nullptr, Concatenate);
    EXPECT_EQ(large->lastStatus, 0);
    const std::string streamed = g_joined + full;
    EXPECT_EQ(streamed.substr(0, kept.size() - 200), kept.substr(0, kept.size() - 200));
}

TEST_F(Walk, TextEventsAreCutAfterABlankNearTheChunkSize) {
    // One long run of words, every third with a letter outside ASCII and
    // an entity: with 80-byte chunks each piece ends after the first blank
    // that brings it within 7 bytes of the chunk size, so that lines can
    // end there.
    std::string text;
    for (int i = 0; i < 300; ++i) text += i % 3 == 0 ? "ab\x82z&y " : "word ";
    ZervaRTChunk* chunk = Define({Definition(1), Reference(1), TextRun(1, 0, 0, 10, text)});
    for (const char* options : {"", "MakeURLHotspots=Yes "}) {
        const std::string whole = Fragment(chunk, std::string(options) + "OutputToEvent=No");
        ASSERT_NE(whole.find("ab&eacute;z&amp;y word word ab&eacute;z&amp;y "), std::string::npos);
        g_joined.clear();
        g_pieceTexts.clear();
        const std::string streamed = std::string("Generation=Fragment ") + options + "OutputToEvent=5";
        const std::string tail = Generate(chunk, "HTML", streamed.c_str(), nullptr, Concatenate);
        EXPECT_EQ(g_joined + tail, whole);
        ASSERT_GT(g_pieceTexts.size(), 20u);
        for (std::size_t i = 0; i + 1 < g_pieceTexts.size(); ++i) {
            const std::string& piece = g_pieceTexts[i];
            EXPECT_EQ(piece.back(), ' ') << i << ": " << piece;
            EXPECT_GE(piece.size() + 7, 81u) << i << ": " << piece;
            EXPECT_LE(piece.size(), 80u + 16u) << i << ": " << piece;
        }
    }

    // With PreserveSpaces a blank between words stays one, blanks in a row
    // do not, wherever the chunks end.
    Records spaced = {Definition(1), Reference(1), TextRun(1, 0, 0, 10, "a  b \x82 c   d")};
    ZervaRTChunk* preserved = Define(spaced);
    g_joined.clear();
    const std::string end =
        Generate(preserved, "HTML", "Generation=Fragment PreserveSpaces=Yes OutputToEvent=5", nullptr, Concatenate);
    EXPECT_TRUE(Has(g_joined + end, "a&nbsp;&nbsp;b &eacute; c&nbsp;&nbsp;&nbsp;d")) << g_joined + end;
}

TEST_F(Walk, AnAddressLongerThanTheRoomLeftEndsItsLinkAndKeepsEveryCharacter) {
    // An address of thousands of characters that is still going on as the
    // buffer fills: its link (whose text is the address again) ends where
    // it still fits, the rest follows as text; the generation succeeds and
    // every character is there. Before, completing the link needed room the
    // buffer no longer had, and nothing was generated.
    const std::string address = "http://example.com/" + std::string(40000, 'a');
    const std::string filler(50000, 'x');
    for (const Records& records :
         {Records{Definition(1), Reference(1), TextRun(1, 0, 0, 10, "see " + address + " end")},
          Records{Definition(1), Reference(1), TextRun(1, 0, 0, 10, filler + " "),
                  TextRun(1, 0, 0, 10, address.substr(0, 15000))}}) {
        ZervaRTChunk* chunk = Define(records);
        for (const char* size : {"Yes", "60000"}) {
            g_joined.clear();
            const std::string tail =
                Generate(chunk, "HTML", (std::string("MakeURLHotspots=Yes OutputToEvent=") + size).c_str(), nullptr,
                         Concatenate);
            const std::string markup = g_joined + tail;
            EXPECT_EQ(chunk->lastStatus, 0) << size;
            EXPECT_EQ(htmlgen_test::Count(markup, "<a href=\"http://example.com/aaa"), 1u) << size;
            EXPECT_EQ(htmlgen_test::Count(markup, "</a>"), 1u) << size;
            // The address's letters once in the link's href and text and
            // after it: each character of the address stands in the text.
            const std::string text = talix_test::HtmlBodyText(markup);
            const std::size_t letters = std::count(records.back().bytes.begin(), records.back().bytes.end(), 'a');
            EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), 'a')), letters) << size;
        }
    }
}

TEST_F(Walk, DamagedRecordsAreClosedOrPassedOver) {
    // Records the store would refuse: runs without text or font, short
    // rules, cells and anchors, BEGIN and END out of balance, a table
    // without its end, a cell outside any table.
    const Records records = {
        Plain(0xFF85, 4),         TextRun(1, kBold, kRed, 14, "a"),  Plain(0xFFC9, 10), Bracket(0xDD, 0xFFA9),
        Bracket(0xDD, 0x6C),      TextRun(1, kItalic, 0, 10, "b"),   Bracket(0xDE, 0x6C), Bracket(0xDE, 0x6C),
        Bracket(0xDE, 0xFFA9),    Bracket(0xDE, 0x1234),         Plain(0x00A4, 4),    TextRun(1, 0, 0, 10, "c"),
        Plain(0xFFCB, 8),         Plain(0x00A3, 14),             Plain(0x00A4, 18),   TextRun(1, kBold, 0, 10, "d"),
        Plain(0x00DD, 3),         Plain(0xFF8A, 40),             Plain(0xFFBB, 4),    Plain(0x0083, 2),
        Plain(0xFFCC, 8),         TextRun(1, 0, 0, 10, "e"),
    };
    for (const char* options : {"Generation=Fragment", "Generation=Fragment StandardFontTags=Yes",
                                "Generation=Fragment RespectHiddenFormulas=Yes MakeURLHotspots=Yes"}) {
        talix::STATUS status = 1;
        const std::string text = htmlgen_test::WalkRecords(&session_, &item_, records, options, talix::kFormatXHTML,
                                                           &status);
        EXPECT_EQ(status, 0) << options;
        EXPECT_TRUE(Has(text, "a")) << text;
        EXPECT_TRUE(Has(text, "b")) << text;
        EXPECT_TRUE(Has(text, "c")) << text;
        EXPECT_TRUE(Has(text, "d")) << text;
        EXPECT_TRUE(Has(text, "e")) << text;
        std::string report;
        EXPECT_TRUE(talix_test::XmlWellFormed("<div>" + text + "</div>", &report)) << options << report << text;
    }

    // A range that ends before it starts renders nothing; one record long,
    // that record.
    const Records three = {TextBytes("one"), TextBytes("two"), Plain(0x0083, 4)};
    EXPECT_EQ(htmlgen_test::WalkRecords(&session_, &item_, three, "Generation=Fragment", talix::kFormatHTML,
                                        nullptr, 65406, 2, 0),
              "");
    EXPECT_EQ(htmlgen_test::WalkRecords(&session_, &item_, three, "Generation=Fragment", talix::kFormatHTML,
                                        nullptr, 65406, 1, 1),
              "two");

    // Deeply nested BEGIN records and tables go only so deep.
    Records deep;
    for (int i = 0; i < 5000; ++i) deep.push_back(Bracket(0xDD, static_cast<std::uint16_t>(i % 2 ? 0xFFA9 : 0x6C)));
    for (int i = 0; i < 5000; ++i) deep.push_back(Plain(0x00CF, 14));
    deep.push_back(TextRun(1, kBold, 0, 10, "deep"));
    talix::STATUS status = 1;
    const std::string text =
        htmlgen_test::WalkRecords(&session_, &item_, deep, "Generation=Fragment", talix::kFormatHTML, &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(Has(text, "<b>deep</b>")) << text.substr(0, 200);
}

} // namespace
