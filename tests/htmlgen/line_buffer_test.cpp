// The line buffer: quoted-printable, cutting into lines, and text that
// stays in memory when it has nowhere to go.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "generation_fixture.h"
#include "htmlgen/line_buffer.h"
#include "talix/session.h"

namespace {

using htmlgen_test::Context;
using htmlgen_test::DecodeQuotedPrintable;

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
    context.SetText(std::string("a\tb c=d\xE9\x14\x03\xB1"));
    ASSERT_EQ(talix::EncodeXMLLineBuffer(context.get(), 0), 0);
    EXPECT_EQ(context.Text(), "a\tb c=3Dd=E9=14=03=B1");
    // Encoding again leaves what is encoded alone.
    talix::AppendOutput(context.get(), "=");
    ASSERT_EQ(talix::EncodeXMLLineBuffer(context.get(), 0), 0);
    EXPECT_EQ(context.Text(), "a\tb c=3Dd=E9=14=03=B1=3D");

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

TEST(LineBuffer, LinesAreCutAtBreakPointsOrAtTheLength) {
    RARIvoSession session;
    Context context(&session);
    context.Read("MaxLineLength=72 AddNewlines=CRLF");

    // One 200-character word: lines of 72 characters.
    context.SetText(std::string(200, 'w'));
    ASSERT_EQ(talix::FlushXMLLineBuffer(context.get(), 1), 0);
    EXPECT_EQ(Lines(context.Text()),
              (std::vector<std::string>{std::string(72, 'w'), std::string(72, 'w'), std::string(56, 'w')}));

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
    EXPECT_EQ(DecodeQuotedPrintable(encoded), text + "\r\n");
}

} // namespace
