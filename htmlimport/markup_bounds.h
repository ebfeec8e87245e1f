// The bounds on the HTML parser's work, whatever the markup, and the scan
// that measures two of them before the parse.
//
// The parser's time grows faster than its input in four ways: with the
// depth its elements nest to (100,000 nested elements take minutes), with
// the attributes of one element (60,000 take 20 seconds), with the length
// of an attribute's name (one of 256 KiB takes 25 seconds), and with
// unclosed font elements, which it opens again in every block that
// follows. Each has
// a bound; markup past one is refused (kHtmlPastBound), with nothing
// imported and a message that names the bound and the byte where it was
// met. Below the bounds the worst input parses in a fraction of a second.
// HTML larger than kMaxHtmlInput is refused the same way.
//
// The nesting is counted as the parser builds its tree (tidy_parse.h). The
// attributes of each element, the length of their names and the fonts
// opened again are counted by the scan, in one pass over the text before the parse. The scan reads the text
// as the parser does, as far as the parser's way was seen to go: a start
// tag runs from "<" and a letter to its ">" (a value quoted after "=" runs
// to its closing quote whatever it holds; a value starting with "<" keeps
// its next character, and with "<%" or "<?" runs to a ">"; "<%" or "<?" in
// place of an attribute runs to "%>" or "?>"; "<" elsewhere ends the tag);
// an end tag runs to the first ">"; a comment from "<!--" to "-->", a
// CDATA section to "]]>", other sections to "]>", "<?php" to "?>", "<%" to
// "%>", "<#" to "#>", a document type to its ">" past quoted texts and its
// internal subset, other declarations and processing instructions to the
// first ">"; the text of script and style elements runs to the first "</"
// and a letter (a script directly in a textarea, or an option outside a
// select, is no raw text). Every name in a tag counts as an attribute.
// Where the scan cannot tell how the parser reads something, it takes the
// reading that counts more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace talix {

// The most levels of elements open at once that the import takes.
constexpr std::size_t kMaxHtmlNesting = 1000;
// The most attributes of one element.
constexpr std::size_t kMaxHtmlAttributes = 1000;
// The longest name of an attribute, in bytes.
constexpr std::size_t kMaxHtmlAttributeName = 256;
// The most unclosed font elements the parser may open again, in all.
constexpr std::size_t kMaxReopenedFonts = 50000;

enum class HtmlBound : std::uint8_t {
    kNone,
    kSize,            // larger than kMaxHtmlInput
    kNesting,         // nested deeper than kMaxHtmlNesting
    kAttributes,      // an element with more than kMaxHtmlAttributes attributes
    kAttributeName,   // an attribute's name longer than kMaxHtmlAttributeName
    kReopenedFonts,   // fonts opened again more than kMaxReopenedFonts times
};

// A bound the markup passed, and where: the byte of the input (from 0) at
// which it was met, or for kSize the size of the input.
struct HtmlBoundMet {
    HtmlBound bound = HtmlBound::kNone;
    std::size_t at = 0;
};

// What was passed and where, for a message: "HTML nested more than 1000
// elements deep (at byte 4506)".
std::string DescribeHtmlBound(const HtmlBoundMet& met);

class MarkupScan {
public:
    // xml: the input is parsed as XML (the parser opens no element again).
    explicit MarkupScan(bool xml);
    ~MarkupScan();
    MarkupScan(const MarkupScan&) = delete;
    MarkupScan& operator=(const MarkupScan&) = delete;

    // The next part of the input. Once a bound is passed, the rest is not
    // looked at.
    void Feed(std::string_view text);
    // The bound passed (kNone while none is).
    const HtmlBoundMet& Met() const;
    // The most attributes counted in one tag, and the font elements opened
    // again, so far.
    std::size_t MostAttributes() const;
    std::size_t Reopened() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace talix
