// Quotations in quotations: each level of a block quote indents its text
// further than the one around it, and each close gives its indent back.
#include <string>

#include "core/signatures.h"
#include "walk_fixture.h"

namespace {

using import_test::Definition;
using import_test::Imported;
using import_test::ItemRecord;
using import_test::Shown;
using import_test::WalkTest;

// The left margin (twips) of the definition the run of the text refers to.
int QuoteTextMargin(const Imported& imported, const std::string& text) {
    int margin = -1;
    for (const ItemRecord& record : imported.records) {
        if (record.signature == talix::kSigPabReference) {
            const ItemRecord* definition = Definition(imported, record.Word(2));
            margin = definition != nullptr ? definition->Word(14) : -1;
        }
        if (record.signature == talix::kSigText && record.Text() == text) return margin;
    }
    return -2;
}

TEST_F(WalkTest, EachQuotationLevelIndentsFurther) {
    const Imported nested = Import(
        "<p>before</p><blockquote>outer<blockquote>inner<blockquote>third</blockquote></blockquote>"
        "outer again</blockquote><p>after</p>");
    ASSERT_EQ(nested.status, 0);
    EXPECT_EQ(nested.problem, "");
    // A quarter inch a level, from the page's inch.
    EXPECT_EQ(QuoteTextMargin(nested, "before"), 1440);
    EXPECT_EQ(QuoteTextMargin(nested, "outer"), 1800);
    EXPECT_EQ(QuoteTextMargin(nested, "inner"), 2160);
    EXPECT_EQ(QuoteTextMargin(nested, "third"), 2520);
    // Closing the inner quotations goes back to the outer one's indent, and
    // closing that back to the page.
    EXPECT_EQ(QuoteTextMargin(nested, "outer again"), 1800);
    EXPECT_EQ(QuoteTextMargin(nested, "after"), 1440);

    // A quotation beside another (not in it) keeps the one level.
    const Imported side = Import("<blockquote>one</blockquote><blockquote>two</blockquote>x");
    EXPECT_EQ(QuoteTextMargin(side, "one"), 1800);
    EXPECT_EQ(QuoteTextMargin(side, "two"), 1800);

    // A quoted mail reply indents nothing of its own: the quotation in it is
    // one level deep.
    const Imported reply = Import("<blockquote class='gmail_quote'>r<blockquote>q</blockquote></blockquote>z");
    EXPECT_EQ(QuoteTextMargin(reply, "q"), 1800);

    // A quotation with a margin of its own takes that margin, as before.
    const Imported margin = Import("<blockquote>o<blockquote style='margin-left: 0.5in'>m</blockquote></blockquote>z");
    EXPECT_EQ(QuoteTextMargin(margin, "m"), 2160);
}

TEST_F(WalkTest, ParagraphsInsideQuotationsKeepTheirIndent) {
    // The usual form of quoted text: paragraphs and divisions in the
    // quotation, at its level, and at the page's again after it.
    const Imported quoted = Import(
        "<p>before</p><blockquote><p>one</p><div>two</div><blockquote><p>deep</p></blockquote>"
        "<p>one again</p></blockquote><p>after</p>");
    ASSERT_EQ(quoted.status, 0);
    EXPECT_EQ(QuoteTextMargin(quoted, "before"), 1440);
    EXPECT_EQ(QuoteTextMargin(quoted, "one"), 1800);
    EXPECT_EQ(QuoteTextMargin(quoted, "two"), 1800);
    EXPECT_EQ(QuoteTextMargin(quoted, "deep"), 2160);
    EXPECT_EQ(QuoteTextMargin(quoted, "one again"), 1800);
    EXPECT_EQ(QuoteTextMargin(quoted, "after"), 1440);

    // Margins given in a style sheet still decide alone, and a quoted mail
    // reply still indents nothing.
    const Imported styled = Import("<blockquote style='margin-left: 0.5in'><p>m</p></blockquote>z");
    EXPECT_EQ(QuoteTextMargin(styled, "m"), 2160);
    const Imported reply = Import("<blockquote class='gmail_quote'><p>r</p></blockquote>z");
    EXPECT_EQ(QuoteTextMargin(reply, "r"), 1440);
}

} // namespace
