// The line buffer: quoted-printable, cutting into lines, and text that
// stays in memory when it has nowhere to go.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "generation_fixture.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/line_buffer.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using htmlgen_test::Context;
using htmlgen_test::DecodeQuotedPrintable;

// Flushes the text to a file in pieces, as the walk does while it writes,
// the last flush ending the run; returns what the file holds.
std::string FlushInPieces(Context* context, const std::string& text, const std::vector<std::size_t>& cuts) {
    std::FILE* file = std::tmpfile();
    (*context)->callerFile = file;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
        const std::size_t to = i < cuts.size() ? cuts[i] : text.size();
        const std::string piece = text.substr(from, to - from);
        talix::AppendOutput(context->get(), piece.data(), piece.size());
        EXPECT_EQ(talix::FlushOutput(context->get(), i == cuts.size() ? 1 : 0), 0);
        from = to;
    }
    std::fflush(file);
    std::string written;
    std::rewind(file);
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) written.append(chunk, n);
    std::fclose(file);
    (*context)->callerFile = nullptr;
    return written;
}

// A page of awkward markup: long attribute values with blanks, quotes of
// both kinds and ">" inside them, long words, entities and accented
// letters, seeded.
std::string AwkwardMarkup(std::mt19937* random, std::size_t size) {
    const char* words[] = {"a", "word", "caf\x82", "&amp;", "x;y", "=", "  ", "\x82\x82\x82"};
    std::string markup;
    while (markup.size() < size) {
        switch ((*random)() % 5) {
        case 4: {
            // A quote inside an unquoted value is a character of it.
            std::string value;
            for (std::size_t i = (*random)() % 1200; i > 0; --i) value += "ab cd;"[(*random)() % 6];
            markup += "<p class=a\"b title=\"" + value + "\" lang=x'y>q</p>";
            break;
        }
        case 0: {
            std::string value;
            const std::size_t length = (*random)() % 300;
            for (std::size_t i = 0; i < length; ++i) value += "ab cd>'=;"[(*random)() % 9];
            markup += "<img src=\"" + value + "\" alt='x \"y\" z' width=\"10\">";
            break;
        }
        case 1:
            markup += std::string((*random)() % 200, 'w');
            break;
        case 2:
            markup += "<p class=\"c\">";
            for (int i = (*random)() % 30; i > 0; --i) markup += std::string(words[(*random)() % 8]) + " ";
            markup += "</p>";
            break;
        default:
            markup += "<a href=\"http://h/" + std::string((*random)() % 1200, 'u') + "\">" + "t</a>";
            break;
        }
    }
    return markup;
}

std::size_t FirstDifference(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return i;
}

// Whether a line end lies inside a quoted attribute value of the text (as
// HTML reads one: a quote opens a value only right after "=").
bool BreakInsideValue(const std::string& text) {
    bool inTag = false, afterEquals = false;
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == '\n' || c == '\r') return true;
            if (c == quote) quote = 0;
        } else if (inTag) {
            if ((c == '"' || c == '\'') && afterEquals) quote = c;
            else if (c == '>') inTag = false;
            if (c != ' ' && c != '\n' && c != '\r') afterEquals = c == '=';
        } else if (c == '<' && i + 1 < text.size() && (std::isalpha(static_cast<unsigned char>(text[i + 1])) ||
                                                       text[i + 1] == '/')) {
            inTag = true;
        }
    }
    return false;
}

std::vector<std::string> Lines(const std::string& text, const std::string& end = "\r\n") {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at = text.find(end); at != std::string::npos; at = text.find(end, start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + end.size();
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

TEST(LineBuffer, QuotedPrintableEscapesWhatIsNotPlainAscii) {
    RARIvoSession session;
    Context context(&session);
    context.Read("ContentTransferEncoding=quoted-printable");
    // Characters outside ASCII are escaped as their bytes in UTF-8 (the
    // e acute of the platform's set, an alpha of its Unicode group).
    context.SetText(std::string("a\tb c=d\x82\x14\x03\xB1"));
    ASSERT_EQ(talix::EncodeXMLLineBuffer(context.get(), 0), 0);
    EXPECT_EQ(context.Text(), "a\tb c=3Dd=C3=A9=CE=B1");
    // Encoding again leaves what is encoded alone.
    talix::AppendOutput(context.get(), "=");
    ASSERT_EQ(talix::EncodeXMLLineBuffer(context.get(), 0), 0);
    EXPECT_EQ(context.Text(), "a\tb c=3Dd=C3=A9=CE=B1=3D");

    // In a set that Charset= names: its bytes, and a reference to a
    // character it does not hold.
    Context latin(&session);
    latin.Read("ContentTransferEncoding=quoted-printable Charset=ISO-8859-1");
    latin.SetText(std::string("d\x82\x14\x03\xB1x"));
    ASSERT_EQ(talix::EncodeXMLLineBuffer(latin.get(), 0), 0);
    EXPECT_EQ(latin.Text(), "d=E9&#945;x");

    // A zero byte before the write position separates lines: CR LF in
    // memory and part files, a line feed alone into the caller's file.
    const std::string separated = std::string("x") + '\0' + "y";
    context.SetText(separated);
    ASSERT_EQ(talix::EncodeXMLLineBuffer(context.get(), 0), 0);
    EXPECT_EQ(context.Text(), "x=0D=0Ay");
    context->callerFile = stdout;
    context.SetText(separated);
    ASSERT_EQ(talix::EncodeXMLLineBuffer(context.get(), 0), 0);
    EXPECT_EQ(context.Text(), "x=0Ay");
    context->callerFile = nullptr;

    // Encoded text that would not fit the buffer leaves it as it was.
    Context small(&session, 40);
    small.SetText(std::string(20, '='));
    EXPECT_EQ(talix::EncodeXMLLineBuffer(small.get(), 0), 263);
    EXPECT_EQ(small.Text(), std::string(20, '='));
}

TEST(LineBuffer, LinesAreCutOnlyWhereNoWordChanges) {
    RARIvoSession session;
    Context context(&session);
    context.Read("MaxLineLength=72 AddNewlines=CRLF");

    // One 200-character word, and a word whose letters are character
    // references and inline elements: each stays on one line.
    const std::string longWord(200, 'w');
    std::string references;
    for (int i = 0; i < 30; ++i) references += i % 7 == 3 ? "<b>&#1083;</b>" : "&#1089;&#1086;";
    context.SetText(longWord + " " + references + "<span>x</span>&amp;y");
    ASSERT_EQ(talix::FlushXMLLineBuffer(context.get(), 1), 0);
    EXPECT_EQ(Lines(context.Text()),
              (std::vector<std::string>{longWord, " " + references + "<span>x</span>&amp;y"}));

    // Words of references: lines end before the blanks between them.
    std::string words;
    for (int i = 0; i < 40; ++i) words += "&#1051;&#1080;&#1089;&#1090; ";
    context.SetText(words);
    ASSERT_EQ(talix::FlushXMLLineBuffer(context.get(), 1), 0);
    const std::vector<std::string> wordLines = Lines(context.Text());
    EXPECT_GT(wordLines.size(), 10u);
    for (std::size_t i = 1; i < wordLines.size(); ++i) EXPECT_EQ(wordLines[i].substr(0, 7), " &#1051") << i;

    // Tags where the flow breaks (blocks, cells, line breaks) take line
    // ends beside words; inline tags beside a blank do too.
    context.SetText("<table><tr><td>" + std::string(60, 'a') + "</td><td>" + std::string(60, 'b') + "</td></tr>"
                    "</table><i>" + std::string(60, 'c') + "</i> <i>" + std::string(60, 'd') + "</i><br>" +
                    std::string(60, 'e'));
    ASSERT_EQ(talix::FlushXMLLineBuffer(context.get(), 1), 0);
    EXPECT_EQ(Lines(context.Text()),
              (std::vector<std::string>{"<table><tr>", "<td>" + std::string(60, 'a') + "</td>",
                                        "<td>" + std::string(60, 'b') + "</td>", "</tr></table>",
                                        "<i>" + std::string(60, 'c') + "</i>", " <i>" + std::string(60, 'd') + "</i>",
                                        "<br>" + std::string(60, 'e')}));

    // Markup: lines end after closing tags, before blanks and tags, never
    // inside a tag; nothing is lost. Text written after an in-memory flush
    // is cut on the next one without cutting the earlier lines again.
    std::string first, markup;
    for (int i = 0; i < 30; ++i) {
        markup += "<p class=\"c" + std::to_string(i) + "\">some text &amp; more</p><br><span>x</span>";
        if (i == 9) first = markup;
    }
    context.SetText(first);
    ASSERT_EQ(talix::FlushXMLLineBuffer(context.get(), 0), 0);
    talix::AppendOutput(context.get(), markup.substr(first.size()).c_str());
    ASSERT_EQ(talix::FlushXMLLineBuffer(context.get(), 1), 0);
    std::string joined;
    for (const std::string& line : Lines(context.Text())) {
        EXPECT_LE(line.size(), 100u) << line;
        const std::size_t open = line.rfind('<'), close = line.rfind('>');
        EXPECT_TRUE(open == std::string::npos || (close != std::string::npos && close > open)) << line;
        joined += line;
    }
    EXPECT_EQ(joined, markup);

    // Zero bytes end the lines in NL mode.
    context.Read("MaxLineLength=20 AddNewlines=NL");
    context.SetText("aaaaaaaaaa bbbbbbbbbb cccccccccc");
    ASSERT_EQ(talix::FlushXMLLineBuffer(context.get(), 1), 0);
    EXPECT_EQ(std::string(context->buffer, context->measuredLength),
              std::string("aaaaaaaaaa") + '\0' + " bbbbbbbbbb" + '\0' + " cccccccccc" + '\0');
}

TEST(LineBuffer, QuotedPrintableLinesKeepEscapesWhole) {
    RARIvoSession session;
    Context context(&session);
    context.Read("ContentTransferEncoding=quoted-printable");
    EXPECT_EQ(context->maxLineLength, 76);

    // Accented letters among words and runs of them without a break point.
    std::string text;
    for (int i = 0; i < 40; ++i) text += i % 3 == 0 ? "\x82\x82\x82\x82\x82\x82\x82\x82 " : "caf\x82 ";
    text += std::string(60, '\x82') + "x";
    context.SetText(text);
    ASSERT_EQ(talix::FlushOutput(context.get(), 1), 0);
    const std::string encoded = context.Text();
    for (const std::string& line : Lines(encoded)) {
        EXPECT_LE(line.size(), 76u) << line;
        // A line ends with a soft break or a whole escape.
        const std::size_t escape = line.rfind('=');
        EXPECT_TRUE(escape == std::string::npos || escape + 1 == line.size() || escape + 3 <= line.size()) << line;
    }
    EXPECT_EQ(DecodeQuotedPrintable(encoded), plat::LmbcsToNative(text) + "\r\n");
}

TEST(LineBuffer, CutsNeverChangeAValueAndQuotedPrintableLinesStayWithin76) {
    RARIvoSession session;
    std::mt19937 random(4404);
    for (int round = 0; round < 20; ++round) {
        const std::string markup = AwkwardMarkup(&random, 6000 + random() % 6000);
        std::vector<std::size_t> cuts;
        for (std::size_t at = random() % 700; at < markup.size(); at += 1 + random() % 1500) cuts.push_back(at);

        // Lines of markup end where a break changes nothing: taking the
        // line ends out gives the markup back, and no attribute value holds
        // one; a line passes 998 characters only where nothing could be cut.
        Context plain(&session);
        plain.Read("", talix::kFormatHTML, 1);
        const std::string written = FlushInPieces(&plain, markup, cuts);
        std::string joined;
        for (const std::string& line : Lines(written, "\n")) joined += line;
        // The caller's file takes the text in the native character set.
        EXPECT_TRUE(joined == plat::LmbcsToNative(markup)) << "round " << round << ": differs from byte "
                                                           << FirstDifference(joined, plat::LmbcsToNative(markup));
        EXPECT_FALSE(BreakInsideValue(written)) << "round " << round;

        // Quoted-printable: every line within 76 characters, soft break
        // included; decoded, the markup as it was (in UTF-8).
        Context encoded(&session);
        encoded.Read("ContentTransferEncoding=quoted-printable", talix::kFormatHTML, 1);
        const std::string qp = FlushInPieces(&encoded, markup, cuts);
        for (const std::string& line : Lines(qp, "\n")) EXPECT_LE(line.size(), 76u) << "round " << round << ": " << line;
        std::string crlf;
        for (const char c : qp) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        const std::string decoded = DecodeQuotedPrintable(crlf);
        const std::string expected = plat::LmbcsToNative(markup) + "\r\n";
        EXPECT_TRUE(decoded == expected) << "round " << round << ": differs from byte "
                                         << FirstDifference(decoded, expected);
    }
}


// Text taken back, or left half written by a write that did not fit, never
// comes out after the buffer is handed on, whether the buffer is the
// caller's (left all zero after each hand-on) or the generation's own.
TEST(LineBuffer, TextTakenBackNeverComesOutAgain) {
    for (const std::uint32_t callers : {1u, 0u}) {
        SCOPED_TRACE(callers != 0 ? "caller's buffer" : "own buffer");
        RARIvoSession session;
        Context context(&session, 4096);
        context->callerBuffer = callers;
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        context->callerFile = file;
        auto allZero = [&] {
            for (std::uint32_t i = 0; i < context->capacity; ++i)
                if (context->buffer[i] != '\0') return false;
            return true;
        };

        const std::string first(3000, 'x');
        talix::AppendOutput(context.get(), first.data(), first.size());
        EXPECT_EQ(talix::FlushOutput(context.get(), 0), 0);
        if (callers != 0) EXPECT_TRUE(allZero());

        // Encoded text longer than the buffer: refused, partly written.
        const std::string accented(3000, '\x82');
        talix::AppendOutput(context.get(), "<b>");
        EXPECT_NE(talix::WriteXMLEncodedText(context.get(), accented.data(),
                                             static_cast<std::uint16_t>(accented.size()), 0, 0, 0),
                  0);
        context->overflow = 0;
        EXPECT_EQ(talix::FlushOutput(context.get(), 0), 0);
        if (callers != 0) EXPECT_TRUE(allZero());

        // A tag taken back by its terminator alone, the rest of it left.
        talix::AppendOutput(context.get(), "<i class=\"long\">");
        talix::NoteTextCut(context.get());
        context->buffer[0] = '\0';
        context->writePosition = context->buffer;
        talix::AppendOutput(context.get(), "end");
        EXPECT_EQ(talix::FlushOutput(context.get(), 1), 0);
        if (callers != 0) EXPECT_TRUE(allZero());

        std::fflush(file);
        std::rewind(file);
        std::string written;
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) written.append(chunk, n);
        std::fclose(file);
        context->callerFile = nullptr;
        EXPECT_EQ(written, first + "<b>end");
    }
}

// Appends go to the text's end wherever the write position was left (a
// writer that steps back over text it wrote, or cuts it back by a zero
// byte); one that does not fit before the buffer's last byte writes
// nothing, marks the overflow and leaves the text as it was.
TEST(LineBuffer, AppendsGoToTheTextsEndAndOneThatDoesNotFitChangesNothing) {
    RARIvoSession session;
    Context context(&session, 64);
    auto text = [&] { return std::string(context->buffer); };

    EXPECT_TRUE(talix::AppendOutput(context.get(), "abc"));
    context->writePosition = context->buffer;   // stepped back over its own text
    EXPECT_TRUE(talix::AppendOutput(context.get(), "de", 2));
    EXPECT_EQ(text(), "abcde");
    EXPECT_EQ(context->writePosition, context->buffer + 5);

    talix::NoteTextCut(context.get());
    context->buffer[3] = '\0';                  // "de" taken back
    context->writePosition = context->buffer + 3;
    EXPECT_TRUE(talix::AppendOutput(context.get(), "X"));
    EXPECT_EQ(text(), "abcX");
    EXPECT_EQ(talix::TextLength(context.get()), 4u);

    const std::string tooLong(60, 'y');          // 4 + 60 leaves no byte for the terminator
    EXPECT_FALSE(talix::AppendOutput(context.get(), tooLong.data(), tooLong.size()));
    EXPECT_NE(context->overflow, 0);
    EXPECT_EQ(text(), "abcX");
    EXPECT_EQ(context->writePosition, context->buffer + 4);

    context->overflow = 0;
    EXPECT_TRUE(talix::AppendOutput(context.get(), tooLong.data(), tooLong.size() - 1));
    EXPECT_EQ(context->overflow, 0);
    EXPECT_EQ(text(), "abcX" + std::string(59, 'y'));
    EXPECT_EQ(talix::TextLength(context.get()), 63u);
    EXPECT_FALSE(talix::AppendOutput(context.get(), "z"));
    EXPECT_TRUE(talix::AppendOutput(context.get(), ""));
    EXPECT_EQ(talix::TextLength(context.get()), 63u);
}

// Appends of every length up to past the short ones copied in fixed moves:
// each lands whole at the text's end, the text stays terminated and the
// bytes after it stay zero.
TEST(LineBuffer, AppendsOfEveryShortLengthLandWhole) {
    RARIvoSession session;
    Context context(&session, 4096);
    std::string expected;
    for (std::size_t length = 0; length <= 80; ++length) {
        std::string piece;
        for (std::size_t k = 0; k < length; ++k) piece += static_cast<char>('A' + (length + k) % 26);
        ASSERT_TRUE(talix::AppendOutput(context.get(), piece.data(), piece.size())) << length;
        expected += piece;
        ASSERT_EQ(talix::TextLength(context.get()), expected.size()) << length;
        ASSERT_EQ(std::string(context->buffer, expected.size()), expected) << length;
        for (std::size_t k = expected.size(); k < expected.size() + 96 && k < 4096; ++k)
            ASSERT_EQ(context->buffer[k], '\0') << length << " at " << k;
    }
}

} // namespace
