// The bound on how deep the elements of an HTML input nest, measured before
// the parse in one pass over the text.
//
// The HTML parser's time grows faster than the nesting depth of its input
// (100,000 nested elements take minutes), and so does its tree where an
// unclosed font element is opened again in every block that follows. The
// scan follows the parser's way of closing elements closely enough to
// measure both from above: the depth (elements open at once, each counted
// once, a dl or caption twice as the parser adds an element inside them,
// unclosed font elements included) and the font elements the parser would
// open again (at every block start, the unclosed font elements then). An
// input past either bound is refused before the parse (kHtmlTooDeep), with
// nothing imported; below them the worst input parses in a fraction of a
// second.
//
// Text is read as the parser reads it: a tag runs from "<" and a letter (or
// "</" and a letter) to the first ">", a comment from "<!--" to "--" and
// ">", declarations and processing instructions ("<!", "<?") to the first
// ">", and the text of script, style, title, textarea and xmp elements to
// the first "</" and a letter. Where the scan cannot tell how the parser
// reads something, it takes the reading that counts more levels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace talix {

// The most elements open at once that the import takes.
constexpr std::size_t kMaxHtmlNesting = 1000;
// The most unclosed font elements the parser may open again, in all.
constexpr std::size_t kMaxReopenedFonts = 50000;

class NestingScan {
public:
    // xml: the input is parsed as XML (no element is closed for the parser
    // but by its end tag or "/>").
    explicit NestingScan(bool xml);
    ~NestingScan();
    NestingScan(const NestingScan&) = delete;
    NestingScan& operator=(const NestingScan&) = delete;

    // The next part of the input. Once a bound is passed, the rest is not
    // looked at.
    void Feed(std::string_view text);
    // A bound was passed: the depth passed kMaxHtmlNesting, or the fonts
    // opened again passed kMaxReopenedFonts.
    bool Exceeded() const;
    bool DepthExceeded() const;
    // The most levels open at once so far, and the font elements opened
    // again so far.
    std::size_t Deepest() const;
    std::size_t Reopened() const;
    // The byte of the input (counted from 0 over every Feed) where it was
    // passed.
    std::size_t ExceededAt() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace talix
