#include "htmlgen/line_cutter.h"

#include <cstring>

#include "core/text_compare.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);
// The longest line a mail message may hold (RFC 5322): beyond it a tag is
// cut between two attributes.
constexpr std::size_t kLongestLine = 998;

void AppendLineEnd(const LineCutSettings& settings, std::string* out) {
    switch (settings.newlines) {
    case NewlineMode::CRLF:
        if (!settings.toCallerFile) *out += '\r';
        *out += '\n';
        break;
    case NewlineMode::NL:
        *out += '\0';
        break;
    case NewlineMode::None:
        break;
    }
}

// Appends text[from, to); in NL mode its line feeds become zero bytes.
void AppendText(const LineCutSettings& settings, const char* text, std::size_t from, std::size_t to,
                std::string* out) {
    const std::size_t start = out->size();
    out->append(text + from, to - from);
    if (settings.newlines == NewlineMode::NL) {
        for (std::size_t i = start; i < out->size(); ++i) {
            if ((*out)[i] == '\n') (*out)[i] = '\0';
        }
    }
}

// Whether the "<" at i starts a tag, a comment or a declaration (not a
// less-than sign that pass-through text or a script holds). One that ends
// the text is taken as a tag's start: the safe guess, as a tag is never cut.
bool StartsTag(const char* text, std::size_t i, std::size_t length) {
    if (i + 1 >= length) return true;
    const char c = text[i + 1];
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' || c == '!' || c == '?';
}

// A place where a line may end, and the tag state there.
struct BreakPoint {
    std::size_t at = kNone;
    std::size_t column = 0;
    LineCutState state;

    bool Set() const { return at != kNone; }
    void Mark(std::size_t position, std::size_t atColumn, const LineCutState& there) {
        at = position;
        column = atColumn;
        state = there;
    }
};

// The places where a line may end: those where a line end shows as nothing
// more than the white space beside it, and those of the stretch of tags
// since the last character of text, which show as a blank inside a word
// unless the text goes on with white space or a tag of the stretch breaks
// the flow.
struct LinePoints {
    BreakPoint ordinary, preferred, attribute;
    BreakPoint pendingOrdinary, pendingPreferred;

    // A tag boundary (before "<", after ">").
    void TagBoundary(bool preferredKind, std::size_t at, std::size_t column, const LineCutState& state) {
        const bool harmless = !state.afterWord || state.flowBreak || state.inHead;
        (harmless ? ordinary : pendingOrdinary).Mark(at, column, state);
        if (preferredKind) (harmless ? preferred : pendingPreferred).Mark(at, column, state);
    }
    // The stretch of tags turned out harmless: its places may be taken.
    void Confirm() {
        if (pendingOrdinary.Set()) ordinary = pendingOrdinary;
        if (pendingPreferred.Set()) preferred = pendingPreferred;
        Drop();
    }
    void Drop() { pendingOrdinary = pendingPreferred = BreakPoint(); }
};

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

template <std::size_t N>
bool Among(const char* const (&names)[N], const char* name, std::size_t length) {
    for (const char* candidate : names) {
        if (std::strlen(candidate) == length && std::memcmp(candidate, name, length) == 0) return true;
    }
    return false;
}

// Tags beside which white space never shows: the flow breaks there anyway
// (blocks, line breaks, list items, table parts, options), or the tag
// frames the document. "/" begins the name of an end tag.
bool BreaksFlow(const char* name, std::size_t length) {
    static const char* const kNames[] = {
        "address", "article", "aside", "blockquote", "body", "br", "caption", "center", "col", "colgroup",
        "dd", "details", "dir", "div", "dl", "dt", "fieldset", "figcaption", "figure", "footer", "form",
        "frame", "frameset", "h1", "h2", "h3", "h4", "h5", "h6", "head", "header", "hr", "html", "legend",
        "li", "main", "menu", "nav", "noframes", "ol", "optgroup", "option", "p", "pre", "section", "summary",
        "table", "tbody", "td", "tfoot", "th", "thead", "tr", "ul", "!doctype", "?xml"};
    if (length > 0 && name[0] == '/') {
        ++name;
        --length;
    }
    return Among(kNames, name, length);
}

// Elements shown as a box of their own in the line (pictures, controls,
// embedded objects): white space beside one shows, as beside a word.
bool ShowsInLine(const char* name, std::size_t length) {
    static const char* const kNames[] = {"img",    "input", "select", "textarea", "button", "object",
                                         "embed",  "iframe", "applet", "video",    "audio",  "canvas"};
    return Among(kNames, name, length);
}

bool NameIs(const LineCutState& state, const char* name) {
    return state.nameLength == std::strlen(name) && std::memcmp(state.name, name, state.nameLength) == 0;
}

constexpr std::uint8_t kNameTooLong = 0xFF;

// Takes c as the next character of the open tag's name; false when c ends
// the name (the name's effects then take place).
bool TakeNameCharacter(LineCutState* run, char c, LinePoints* points) {
    const bool first = run->nameLength == 0;
    if (IsAsciiAlnum(c) || c == '-' || c == ':' || (first && (c == '/' || c == '!' || c == '?'))) {
        if (run->nameLength == kNameTooLong) return true;
        if (run->nameLength >= sizeof run->name) {
            run->nameLength = kNameTooLong;
            return true;
        }
        run->name[run->nameLength++] = LowerAscii(c);
        return true;
    }
    run->naming = false;
    if (run->nameLength == kNameTooLong) return false;
    if (NameIs(*run, "head")) run->inHead = true;
    else if (NameIs(*run, "/head") || NameIs(*run, "body")) run->inHead = false;
    if (BreaksFlow(run->name, run->nameLength)) {
        run->flowBreak = true;
        points->Confirm();
    } else if (ShowsInLine(run->name, run->nameLength)) {
        points->Drop();
        run->afterWord = true;
        run->flowBreak = false;
    }
    return false;
}

// Markup that is not quoted-printable: cut only where a line end shows as
// no more than white space (between words, or where the flow breaks).
void CutMarkup(const LineCutSettings& settings, std::size_t max, const char* text, std::size_t length, bool last,
               LineCutState* state, std::string* out) {
    std::size_t pos = 0;
    while (pos < length) {
        const std::size_t lineStart = pos;
        // A line the text before left open may end at once.
        const bool open = state->column > 0;
        std::size_t column = state->column;
        LineCutState run = *state;
        LinePoints points;
        std::size_t i = pos;
        bool stopped = false;
        while (i < length) {
            const char c = text[i];
            const std::size_t n = LmbcsCharBytes(text + i, length - i);
            const bool usable = i > lineStart || open;
            if (c == '\n') {
                // A line feed ends the line already; as text it is white space.
                column = 0;
                points = LinePoints();
                if (!run.inTag) run.afterWord = run.flowBreak = false;
                i += n;
                continue;
            }
            if (!run.inTag) {
                if (c == '<' && StartsTag(text, i, length)) {
                    if (usable) points.TagBoundary(false, i, column, run);
                    run.inTag = true;
                    run.closingTag = i + 1 < length && text[i + 1] == '/';
                    run.quote = 0;
                    run.afterEquals = false;
                    run.naming = true;
                    run.nameLength = 0;
                } else if (c == ' ' || c == '\t' || c == '\r') {
                    points.Confirm();
                    if (c == ' ' && usable) points.ordinary.Mark(i, column, run);
                    run.afterWord = run.flowBreak = false;
                } else {
                    points.Drop();
                    run.afterWord = true;
                    run.flowBreak = false;
                }
            } else if (!(run.naming && TakeNameCharacter(&run, c, &points))) {
                if (run.quote != 0) {
                    if (c == run.quote) run.quote = 0;
                } else if (c == ' ') {
                    if (usable) points.attribute.Mark(i, column, run);
                } else if ((c == '"' || c == '\'') && run.afterEquals) {
                    // A quote opens a value only right after "=": inside an
                    // unquoted value it is a character of the value.
                    run.quote = c;
                } else if (c == '>') {
                    run.inTag = false;
                    const bool beforeStartTag = i + 2 < length && text[i + 1] == '<' && text[i + 2] != '/';
                    const bool closing = run.closingTag;
                    run.closingTag = false;
                    points.TagBoundary(closing || beforeStartTag, i + n, column + 1, run);
                }
            }
            if (run.inTag && run.quote == 0 && c != ' ') run.afterEquals = c == '=';
            ++column;
            i += n;
            if ((column >= max && (points.ordinary.Set() || points.preferred.Set())) ||
                (column >= kLongestLine && points.attribute.Set())) {
                stopped = true;
                break;
            }
        }

        // Without a place to cut the line runs on: a word is never parted.
        BreakPoint cut;
        if (stopped || column > max) {
            if (points.preferred.Set() && points.preferred.column < max) cut = points.preferred;
            else if (points.ordinary.Set()) cut = points.ordinary;
            else if (column >= kLongestLine && points.attribute.Set()) cut = points.attribute;
        }
        if (!cut.Set()) {
            // The rest of the text: the last line, or the start of a line
            // the next text goes on with.
            AppendText(settings, text, lineStart, length, out);
            *state = run;
            state->column = static_cast<std::uint32_t>(column);
            if (last) {
                AppendLineEnd(settings, out);
                *state = LineCutState();
            }
            return;
        }
        AppendText(settings, text, lineStart, cut.at, out);
        AppendLineEnd(settings, out);
        *state = cut.state;
        state->column = 0;
        pos = cut.at;
    }
    if (last && state->column > 0) AppendLineEnd(settings, out);
    if (last) *state = LineCutState();
}

// Quoted-printable text: every line, with its soft break, within max
// characters; an escape is never split.
void CutQuotedPrintable(const LineCutSettings& settings, std::size_t max, const char* text, std::size_t length,
                        bool last, LineCutState* state, std::string* out) {
    const std::size_t budget = max - 1;   // room before a soft break
    std::size_t pos = 0;
    while (pos < length) {
        const std::size_t lineStart = pos;
        const std::size_t startColumn = state->column;
        const std::size_t room = budget > startColumn ? budget - startColumn : 0;
        const std::size_t rest = length - pos;
        const bool blankAtEnd = text[length - 1] == ' ';
        // The rest fits: it stays open for the next text, or is the last line
        // (a blank at its end written as an escape).
        if (!last && rest <= room) {
            out->append(text + pos, rest);
            state->column = static_cast<std::uint32_t>(startColumn + rest);
            return;
        }
        if (last && startColumn + rest + (blankAtEnd ? 2 : 0) <= max) {
            out->append(text + pos, blankAtEnd ? rest - 1 : rest);
            if (blankAtEnd) *out += "=20";
            AppendLineEnd(settings, out);
            *state = LineCutState();
            return;
        }
        // The last break point within the room, preferably after a closing
        // tag; else as much as fits.
        std::size_t cut = lineStart + room;
        std::size_t ordinary = kNone, preferred = kNone;
        for (std::size_t i = lineStart; i < lineStart + room && i < length; ++i) {
            const char c = text[i];
            if ((c == ' ' || c == '<') && (i > lineStart || startColumn > 0)) ordinary = i;
            if (c == '>' || c == ';') ordinary = i + 1;
            if (c == '>' && i + 1 < length && text[i + 1] == '<' && (i + 2 >= length || text[i + 2] != '/'))
                preferred = i + 1;
        }
        if (preferred != kNone) cut = preferred;
        else if (ordinary != kNone) cut = ordinary;
        // An escape stays on one line.
        if (cut >= lineStart + 1 && text[cut - 1] == '=') {
            cut -= 1;
        } else if (cut >= lineStart + 2 && text[cut - 2] == '=') {
            cut -= 2;
        }
        out->append(text + lineStart, cut - lineStart);
        *out += '=';
        AppendLineEnd(settings, out);
        state->column = 0;
        pos = cut;
    }
    if (last && state->column > 0) AppendLineEnd(settings, out);
    if (last) *state = LineCutState();
}

} // namespace

std::size_t LmbcsCharBytes(const char* p, std::size_t available) {
    if (static_cast<std::uint8_t>(*p) >= 0x20) return 1;
    const std::size_t length =
        plat::LmbcsCharLength(reinterpret_cast<const plat::BYTE*>(p), static_cast<plat::DWORD>(available));
    return length == 0 ? 1 : length;
}

void CutIntoLines(const LineCutSettings& settings, const char* text, std::size_t length, bool last,
                  LineCutState* state, std::string* out) {
    const std::size_t max = settings.maxLineLength > 0 ? settings.maxLineLength : 72;
    if (settings.quotedPrintable) {
        CutQuotedPrintable(settings, max < 4 ? 4 : max, text, length, last, state, out);
    } else {
        CutMarkup(settings, max, text, length, last, state, out);
    }
}

} // namespace talix
