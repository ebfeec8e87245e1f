// The bounds on the HTML parser's work: their messages, and the scan of
// attributes and fonts opened again.
#include "htmlimport/markup_bounds.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "htmlimport/html_input.h"

namespace talix {

namespace {

enum class Kind : std::uint8_t {
    kBlock,     // its start opens again the unclosed font elements
    kInline,    // opens nothing again
    kVoid,      // never has content
    kRawText,   // its text is no markup, up to the next end tag
    kFont,
};

struct TagKind {
    const char* name;
    Kind kind;
};

// Sorted by name. Elements not listed are blocks.
constexpr TagKind kTags[] = {
    {"a", Kind::kInline},        {"abbr", Kind::kInline},     {"acronym", Kind::kInline},
    {"area", Kind::kVoid},       {"b", Kind::kInline},        {"base", Kind::kVoid},
    {"basefont", Kind::kVoid},   {"bdo", Kind::kInline},      {"bgsound", Kind::kVoid},
    {"big", Kind::kInline},      {"blink", Kind::kInline},    {"br", Kind::kVoid},
    {"button", Kind::kInline},   {"cite", Kind::kInline},     {"code", Kind::kInline},
    {"col", Kind::kVoid},        {"command", Kind::kVoid},    {"dfn", Kind::kInline},
    {"em", Kind::kInline},       {"embed", Kind::kVoid},      {"font", Kind::kFont},
    {"frame", Kind::kVoid},      {"hr", Kind::kVoid},         {"i", Kind::kInline},
    {"image", Kind::kVoid},      {"img", Kind::kVoid},        {"input", Kind::kVoid},
    {"inputtarea", Kind::kVoid}, {"isindex", Kind::kVoid},    {"kbd", Kind::kInline},
    {"keygen", Kind::kVoid},     {"label", Kind::kInline},    {"link", Kind::kVoid},
    {"marquee", Kind::kInline},  {"meta", Kind::kVoid},       {"nextid", Kind::kVoid},
    {"nobr", Kind::kInline},     {"o:p", Kind::kInline},      {"param", Kind::kVoid},
    {"q", Kind::kInline},        {"rb", Kind::kInline},       {"rp", Kind::kInline},
    {"rt", Kind::kInline},       {"ruby", Kind::kInline},     {"s", Kind::kInline},
    {"samp", Kind::kInline},     {"script", Kind::kRawText},  {"small", Kind::kInline},
    {"source", Kind::kVoid},     {"spacer", Kind::kVoid},     {"span", Kind::kInline},
    {"strike", Kind::kInline},   {"strong", Kind::kInline},   {"style", Kind::kRawText},
    {"sub", Kind::kInline},      {"sup", Kind::kInline},      {"track", Kind::kVoid},
    {"tt", Kind::kInline},       {"u", Kind::kInline},        {"v:imagedata", Kind::kVoid},
    {"var", Kind::kInline},      {"w:wrap", Kind::kVoid},     {"wbr", Kind::kVoid},
};

constexpr bool Sorted() {
    for (std::size_t i = 1; i < std::size(kTags); ++i)
        if (std::string_view(kTags[i - 1].name) >= std::string_view(kTags[i].name)) return false;
    return true;
}
static_assert(Sorted(), "the tag table is looked up by name");

Kind KindOf(std::string_view name) {
    const auto found = std::lower_bound(std::begin(kTags), std::end(kTags), name,
                                        [](const TagKind& tag, std::string_view wanted) { return tag.name < wanted; });
    return found != std::end(kTags) && found->name == name ? found->kind : Kind::kBlock;
}

bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsNameChar(unsigned char c) {
    return IsLetter(c) || (c >= '0' && c <= '9') || c == ':' || c == '-' || c == '_' || c == '.';
}
// The parser drops control characters and reads the others as blanks.
bool IsBlank(unsigned char c) { return c <= ' '; }
char Lower(unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }

constexpr std::size_t kLongestName = 64;   // longer names are told apart by their start

enum class Reading : std::uint8_t {
    kText,
    kLess,          // after "<"
    kLessSlash,     // after "</"
    kName,          // a tag's name
    kEndTag,        // the rest of an end tag, up to ">"
    kAttributes,    // in a tag, between or in attribute names
    kTagLess,       // "<" in a tag where an attribute may start
    kTagChunk,      // "<%" or "<?" in place of an attribute, up to "%>" or "?>"
    kTagChunkEnd,   // its "%" or "?" read
    kValueStart,    // after "=", before the value
    kValueLess,     // a value starting with "<"
    kUnquotedLt,    // the rest of a value starting with "<", up to a blank or ">"
    kQuotedInLt,    // a quoted part of it
    kUnquoted,      // an unquoted value, up to a blank, ">" or "<"
    kQuoted,        // a quoted value, up to its closing quote
    kUntil,         // up to the terminator (then back to the text or the tag)
    kBang,          // after "<!"
    kBangDash,      // after "<!-"
    kComment,       // after "<!--", up to "-->"
    kKeyword,       // a keyword that may follow "<![" or "<?" is being matched
    kDoctypeWord,   // "<!d" or "<!D" and the rest of its word
    kDoctypeBlank,  // a blank after it
    kDoctypeName,   // the next word
    kDoctype,       // the rest, quoted texts passed over, up to ">"
    kDoctypeQuoted,
    kSubset,        // "[" of the document type, quoted texts passed over, up to "]"
    kSubsetQuoted,
    kToClose,       // a declaration or processing instruction, up to ">"
    kRawText,       // the text of a raw-text element
    kRawLess,       // "<" in it
    kRawSlash,      // "</" in it
};

// What follows a matched keyword.
enum class Keyword : std::uint8_t {
    kCData,     // "<![CDATA[": up to "]]>"; other sections up to "]>"
    kPhp,       // "<?php": up to "?>"; other instructions up to ">"
};

} // namespace

std::string DescribeHtmlBound(const HtmlBoundMet& met) {
    const std::string at = " (at byte " + std::to_string(met.at) + ")";
    switch (met.bound) {
    case HtmlBound::kNone: return "HTML within every bound";
    case HtmlBound::kSize:
        return "HTML of " + std::to_string(met.at) + " bytes, more than the " + std::to_string(kMaxHtmlInput) +
               " bytes (16 MiB) the import takes";
    case HtmlBound::kNesting:
        return "HTML nested more than " + std::to_string(kMaxHtmlNesting) + " elements deep" + at;
    case HtmlBound::kAttributes:
        return "an HTML element with more than " + std::to_string(kMaxHtmlAttributes) + " attributes" + at;
    case HtmlBound::kAttributeName:
        return "an HTML attribute name longer than " + std::to_string(kMaxHtmlAttributeName) + " bytes" + at;
    case HtmlBound::kReopenedFonts:
        return "HTML with unclosed font elements the parser would open more than " +
               std::to_string(kMaxReopenedFonts) + " times again" + at;
    }
    return "HTML past a bound" + at;
}

struct MarkupScan::State {
    bool xml = false;
    Reading reading = Reading::kText;
    bool endTag = false;
    std::string name;
    char previous = '\0';        // the character read before the current one
    char beforePrevious = '\0';  // and the one before it
    bool inName = false;         // an attribute's name is being read
    bool afterName = false;      // ... or was, with only blanks since
    char quote = '\0';           // the closing quote of a quoted value or text, or of a chunk
    bool chunkEmpty = false;     // nothing of the chunk read yet
    // kUntil: the text that ends the stretch, how much of it was just read,
    // and the reading after it (the text, or the tag's attributes).
    std::string_view terminator;
    std::size_t matched = 0;
    Reading afterTerminator = Reading::kText;
    // kKeyword: the keyword, how much of it was read, what it starts.
    std::string_view keyword;
    Keyword keywordKind = Keyword::kCData;
    int dashes = 0;              // in a comment, the dashes just read
    bool afterRawText = false;   // the end tag that ended a raw-text element's text
    std::string rawName;         // that element
    std::size_t at = 0;          // bytes read so far

    std::size_t attributes = 0;  // of the tag being read
    std::size_t nameLength = 0;  // of the attribute name being read
    std::size_t mostAttributes = 0;
    // A select element is open; the text of a textarea (or an option
    // outside a select) is being read, where the parser takes a script's
    // content for markup.
    bool selectOpen = false;
    bool textContent = false;
    std::size_t fonts = 0;       // unclosed font elements
    std::size_t reopened = 0;
    HtmlBoundMet met;

    bool Passed() const { return met.bound != HtmlBound::kNone; }

    void Pass(HtmlBound bound) {
        if (!Passed()) met = HtmlBoundMet{bound, at};
    }

    void BeginName(unsigned char first, bool end) {
        endTag = end;
        name.assign(1, Lower(first));
        attributes = 0;
        inName = afterName = false;
        reading = Reading::kName;
    }

    void Until(std::string_view text, Reading after) {
        terminator = text;
        matched = 0;
        afterTerminator = after;
        reading = Reading::kUntil;
    }

    void MatchKeyword(std::string_view text, Keyword kind) {
        keyword = text;
        keywordKind = kind;
        matched = 0;
        reading = Reading::kKeyword;
    }

    // An attribute's name starts, or goes on by a character.
    void CountAttribute() {
        ++attributes;
        mostAttributes = std::max(mostAttributes, attributes);
        if (attributes > kMaxHtmlAttributes) Pass(HtmlBound::kAttributes);
        nameLength = 1;
    }
    void LengthenName() {
        if (++nameLength > kMaxHtmlAttributeName) Pass(HtmlBound::kAttributeName);
    }

    // Whether the text content of a textarea, or of an option outside a
    // select, goes on past the tag: inline elements, empty ones, scripts
    // and options leave it; any other start or end ends it.
    void FollowTextContent(Kind kind) {
        if (!endTag && name == "select") selectOpen = true;
        if (endTag && name == "select") selectOpen = false;
        if (!endTag && (name == "textarea" || name == "option")) {
            textContent = !selectOpen;
            return;
        }
        const bool keeps = kind == Kind::kInline || kind == Kind::kVoid || kind == Kind::kFont || name == "script";
        if (!keeps) textContent = false;
    }

    // A tag closed by "/>" counts as open but for a raw-text element, whose
    // content the parser then reads as markup: the reading that counts more.
    void StartTag(bool selfClosed) {
        const Kind kind = xml ? Kind::kBlock : KindOf(name);
        const bool inText = textContent && name == "script";
        if (!xml) FollowTextContent(kind);
        switch (kind) {
        case Kind::kRawText:
            if (selfClosed || inText) return;
            reading = Reading::kRawText;
            rawName = name;
            return;
        case Kind::kFont: ++fonts; return;
        case Kind::kBlock:
            if (xml) return;
            reopened += fonts;
            if (reopened > kMaxReopenedFonts) Pass(HtmlBound::kReopenedFonts);
            return;
        default: return;
        }
    }

    // The tag ends: ">" read, or "<" that starts something else.
    void FinishTag(bool byGreater) {
        reading = Reading::kText;
        if (!endTag) {
            StartTag(byGreater && previous == '/');
        } else if (!afterRawText || name == rawName) {
            // The end tag that ends a raw-text element's text may be taken
            // for text of it: only the element's own end closes anything.
            if (name == "font" && fonts > 0) --fonts;
            if (!xml) FollowTextContent(KindOf(name));
        }
        afterRawText = false;
    }

    // A character in a tag's attributes (outside values and chunks).
    void InAttributes(unsigned char c) {
        if (c == '>') {
            FinishTag(true);
            return;
        }
        if (IsBlank(c)) {
            if (inName) afterName = true;
            inName = false;
            return;
        }
        if (c == '<') {
            reading = Reading::kTagLess;
            inName = afterName = false;
            return;
        }
        if (c == '=') {
            // "=" where a name would start is passed over.
            if (inName || afterName) reading = Reading::kValueStart;
            inName = afterName = false;
            return;
        }
        if (c == '"' || c == '\'') {
            // A quote where a name would start is passed over; one right
            // after a "-" that follows a name character starts the name's
            // value.
            if (!inName) return;
            if (previous == '-' && IsNameChar(static_cast<unsigned char>(beforePrevious))) {
                inName = afterName = false;
                reading = Reading::kValueStart;
                return;
            }
        }
        // Every name counts, also one the parser would drop.
        if (inName) LengthenName();
        else CountAttribute();
        inName = true;
        afterName = false;
    }

    // The stretch ends with the terminator, whose characters but the last
    // are all the same ("%>", "]]>").
    void InStretch(unsigned char c) {
        const std::size_t last = terminator.size() - 1;
        if (matched == last && c == static_cast<unsigned char>(terminator[last])) {
            reading = afterTerminator;
            return;
        }
        matched = c == static_cast<unsigned char>(terminator[0]) ? std::min(matched + 1, last) : 0;
    }

    void InKeyword(unsigned char c) {
        if (matched < keyword.size() && static_cast<char>(c) == keyword[matched]) {
            if (++matched < keyword.size()) return;
            if (keywordKind == Keyword::kCData) Until("]]>", Reading::kText);
            else Until("?>", Reading::kText);
            return;
        }
        // Not the keyword: a section up to "]>", an instruction up to ">".
        if (keywordKind == Keyword::kCData) {
            Until("]>", Reading::kText);
            InStretch(c);
            return;
        }
        reading = c == '>' ? Reading::kText : Reading::kToClose;
    }

    void Read(unsigned char c) {
        switch (reading) {
        case Reading::kText:
            if (c == '<') reading = Reading::kLess;
            return;
        case Reading::kLess:
            if (IsLetter(c)) BeginName(c, false);
            else if (c == '/') reading = Reading::kLessSlash;
            else if (c == '!') reading = Reading::kBang;
            else if (c == '?') MatchKeyword("php", Keyword::kPhp);
            else if (c == '%') Until("%>", Reading::kText);
            else if (c == '#') Until("#>", Reading::kText);
            else if (c != '<') reading = Reading::kText;
            return;
        case Reading::kLessSlash:
            // "</" without a name is text, and so is the character after it.
            if (IsLetter(c)) BeginName(c, true);
            else reading = Reading::kText;
            return;
        case Reading::kName:
            if (IsNameChar(c)) {
                if (name.size() < kLongestName) name.push_back(Lower(c));
                return;
            }
            if (endTag) {
                // An end tag has no attributes: it runs to the first ">".
                reading = Reading::kEndTag;
                Read(c);
                return;
            }
            reading = Reading::kAttributes;
            if (c == '<') {
                // The parser reads "<" right after the name as the start of an attribute's name.
                CountAttribute();
                inName = true;
                return;
            }
            // Any other character right after the name but a blank, "/" or
            // ">" is passed over.
            if (IsBlank(c) || c == '/' || c == '>') InAttributes(c);
            return;
        case Reading::kAttributes: InAttributes(c); return;
        case Reading::kEndTag:
            if (c == '>') FinishTag(true);
            return;
        case Reading::kTagLess:
            // "<%" and "<?" in place of an attribute are one, up to "%>" or "?>".
            if (c == '%' || c == '?') {
                CountAttribute();
                quote = static_cast<char>(c);
                chunkEmpty = true;
                reading = Reading::kTagChunk;
                return;
            }
            FinishTag(false);
            reading = Reading::kLess;
            Read(c);
            return;
        case Reading::kTagChunk:
            if (c == static_cast<unsigned char>(quote)) reading = Reading::kTagChunkEnd;
            else chunkEmpty = false;
            return;
        case Reading::kTagChunkEnd:
            // The character after the "%" or "?" is not looked at again; an
            // empty chunk ends the tag.
            if (c == '>') {
                if (chunkEmpty) FinishTag(true);
                else reading = Reading::kAttributes;
            } else {
                chunkEmpty = false;
                reading = Reading::kTagChunk;
            }
            return;
        case Reading::kValueStart:
            if (IsBlank(c)) return;
            if (c == '>') {
                FinishTag(true);
            } else if (c == '"' || c == '\'') {
                quote = static_cast<char>(c);
                reading = Reading::kQuoted;
            } else if (c == '<') {
                reading = Reading::kValueLess;
            } else {
                reading = Reading::kUnquoted;
            }
            return;
        case Reading::kValueLess:
            // The character after a value's first "<" belongs to the value,
            // whatever it is; after "<%" or "<?" the value runs to a ">".
            if (c == '%' || c == '?') Until(">", Reading::kAttributes);
            else reading = Reading::kUnquotedLt;
            return;
        case Reading::kUnquotedLt:
            // Quoted parts of the value are passed over.
            if (IsBlank(c)) {
                reading = Reading::kAttributes;
            } else if (c == '>') {
                FinishTag(true);
            } else if (c == '"' || c == '\'') {
                quote = static_cast<char>(c);
                reading = Reading::kQuotedInLt;
            }
            return;
        case Reading::kQuotedInLt:
            // ... which ends at a ">" as well, and so does the tag.
            if (c == static_cast<unsigned char>(quote)) reading = Reading::kUnquotedLt;
            else if (c == '>') FinishTag(true);
            return;
        case Reading::kUnquoted:
            if (IsBlank(c)) {
                reading = Reading::kAttributes;
            } else if (c == '>') {
                FinishTag(true);
            } else if (c == '<') {
                FinishTag(false);
                reading = Reading::kLess;
            }
            return;
        case Reading::kQuoted:
            if (c == static_cast<unsigned char>(quote)) reading = Reading::kAttributes;
            return;
        case Reading::kUntil: InStretch(c); return;
        case Reading::kBang:
            // The character after "<!" never ends the declaration. One
            // starting with "d" is read as a document type: quoted texts in
            // its third word and after are passed over.
            if (c == '-') reading = Reading::kBangDash;
            else if (c == '[') MatchKeyword("CDATA[", Keyword::kCData);
            else if (c == 'd' || c == 'D') reading = Reading::kDoctypeWord;
            else reading = Reading::kToClose;
            return;
        case Reading::kDoctypeWord:
            if (c == '>') reading = Reading::kText;
            else if (IsBlank(c)) reading = Reading::kDoctypeBlank;
            return;
        case Reading::kBangDash:
            // "<!--" starts a comment; the character after "<!" and the one
            // after "<!-" are not looked at again.
            if (c == '-') {
                reading = Reading::kComment;
                dashes = 0;
            } else {
                reading = Reading::kToClose;
            }
            return;
        case Reading::kComment:
            if (c == '>' && dashes >= 2) reading = Reading::kText;
            dashes = c == '-' ? dashes + 1 : 0;
            return;
        case Reading::kKeyword: InKeyword(c); return;
        case Reading::kDoctypeBlank:
            if (c == '>') reading = Reading::kText;
            else if (!IsBlank(c)) reading = Reading::kDoctypeName;
            return;
        case Reading::kDoctypeName:
            // Quotes are no quotes in the second word; "[" starts an internal
            // subset from there on.
            if (c == '>') reading = Reading::kText;
            else if (IsBlank(c)) reading = Reading::kDoctype;
            else if (c == '[') reading = Reading::kSubset;
            return;
        case Reading::kDoctype:
            if (c == '>') {
                reading = Reading::kText;
            } else if (c == '"' || c == '\'') {
                quote = static_cast<char>(c);
                reading = Reading::kDoctypeQuoted;
            } else if (c == '[') {
                reading = Reading::kSubset;
            }
            return;
        case Reading::kDoctypeQuoted:
            if (c == static_cast<unsigned char>(quote)) reading = Reading::kDoctype;
            return;
        case Reading::kSubset:
            // A quote after a blank starts a quoted text.
            if (c == ']') {
                reading = Reading::kDoctype;
            } else if ((c == '"' || c == '\'') && IsBlank(static_cast<unsigned char>(previous))) {
                quote = static_cast<char>(c);
                reading = Reading::kSubsetQuoted;
            }
            return;
        case Reading::kSubsetQuoted:
            if (c == static_cast<unsigned char>(quote)) reading = Reading::kSubset;
            return;
        case Reading::kToClose:
            if (c == '>') reading = Reading::kText;
            return;
        case Reading::kRawText:
            if (c == '<') reading = Reading::kRawLess;
            return;
        case Reading::kRawLess:
            reading = c == '/' ? Reading::kRawSlash : c == '<' ? Reading::kRawLess : Reading::kRawText;
            return;
        case Reading::kRawSlash:
            if (IsLetter(c)) {
                BeginName(c, true);
                afterRawText = true;
            } else {
                reading = Reading::kRawText;
            }
            return;
        }
    }

    // The character that ends a stretch passed over at once, or 0 when the
    // current reading looks at every character.
    char StretchEnd() const {
        switch (reading) {
        case Reading::kText:
        case Reading::kRawText: return '<';
        case Reading::kQuoted:
        case Reading::kDoctypeQuoted:
        case Reading::kSubsetQuoted: return quote;
        case Reading::kTagChunk: return chunkEmpty ? '\0' : quote;
        case Reading::kUntil: return matched == 0 ? terminator[0] : '\0';
        case Reading::kToClose:
        case Reading::kEndTag: return '>';
        case Reading::kComment: return dashes == 0 ? '-' : '\0';
        default: return '\0';
        }
    }
};

MarkupScan::MarkupScan(bool xml) : state_(std::make_unique<State>()) { state_->xml = xml; }

MarkupScan::~MarkupScan() = default;

void MarkupScan::Feed(std::string_view text) {
    State& state = *state_;
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at < end) {
        if (state.Passed()) return;
        // Text, values and what runs up to a closing character change nothing
        // until that character: they are passed at once.
        if (const char wanted = state.StretchEnd(); wanted != '\0') {
            const void* found = std::memchr(at, wanted, static_cast<std::size_t>(end - at));
            const char* stop = found != nullptr ? static_cast<const char*>(found) : end;
            if (stop > at) {
                state.beforePrevious = stop - at >= 2 ? stop[-2] : state.previous;
                state.previous = stop[-1];
                state.at += static_cast<std::size_t>(stop - at);
                at = stop;
                continue;
            }
        }
        state.Read(static_cast<unsigned char>(*at));
        state.beforePrevious = state.previous;
        state.previous = *at;
        ++state.at;
        ++at;
    }
}

const HtmlBoundMet& MarkupScan::Met() const { return state_->met; }
std::size_t MarkupScan::MostAttributes() const { return state_->mostAttributes; }
std::size_t MarkupScan::Reopened() const { return state_->reopened; }

} // namespace talix
