// The nesting scan of an HTML input: a reader of tags and a model of the
// elements the parser keeps open.
#include "htmlimport/nesting_bound.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace talix {

namespace {

enum class Kind : std::uint8_t {
    kBlock,    // closed by its end tag, or by what the table below says
    kInline,   // closed by its end tag or with the block it is in
    kVoid,     // never open
    kRawText,  // its text is no markup, up to the next end tag
    kFont,     // open until its end tag, whatever closes around it
};

// What a start tag closes: the innermost open block while it is one of the
// named kinds (first the paragraph every block start closes).
enum Closes : std::uint16_t {
    kNone = 0,
    kListItem = 1 << 0,      // li
    kDefinition = 1 << 1,    // dt, dd
    kCell = 1 << 2,          // td, th
    kRow = 1 << 3,           // tr
    kSection = 1 << 4,       // thead, tbody, tfoot
    kOption = 1 << 5,        // option
    kOptionGroup = 1 << 6,   // optgroup
    kHeading = 1 << 7,       // h1 to h6
    kParagraph = 1 << 8,     // p
    kSame = 1 << 9,          // an element of its own name (inline: only the innermost element)
};

// Which end tags of elements outside an open element do not close it.
enum Stops : std::uint8_t {
    kStopsNone = 0,
    kStopsForm = 1,   // the end of a form
    kStopsAll = 3,    // every end
};

struct TagInfo {
    const char* name;
    Kind kind;
    std::uint16_t member;    // the Closes bit naming what it is
    std::uint16_t closes;    // what its start closes
    std::uint8_t weight;     // the levels the parser makes of it
    std::uint8_t stops;      // Stops
};

// Sorted by name. Elements not listed are blocks that close nothing.
constexpr TagInfo kTags[] = {
    {"a", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"abbr", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"acronym", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"applet", Kind::kBlock, kNone, kNone, 1, kStopsAll},
    {"area", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"b", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"base", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"basefont", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"bdo", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"bgsound", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"big", Kind::kInline, kNone, kNone, 1, kStopsNone},
    {"blink", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"br", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"button", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"caption", Kind::kBlock, kNone, kNone, 2, kStopsAll},
    {"cite", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"code", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"col", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"command", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"dd", Kind::kBlock, kDefinition, kDefinition, 1, kStopsNone},
    {"dfn", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"dir", Kind::kBlock, kNone, kNone, 1, kStopsForm},
    {"dl", Kind::kBlock, kNone, kNone, 2, kStopsForm},
    {"dt", Kind::kBlock, kDefinition, kDefinition, 1, kStopsForm},
    {"em", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"embed", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"font", Kind::kFont, kNone, kNone, 1, kStopsNone},
    {"frame", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"h1", Kind::kBlock, kHeading, kHeading, 1, kStopsAll},
    {"h2", Kind::kBlock, kHeading, kHeading, 1, kStopsAll},
    {"h3", Kind::kBlock, kHeading, kHeading, 1, kStopsAll},
    {"h4", Kind::kBlock, kHeading, kHeading, 1, kStopsAll},
    {"h5", Kind::kBlock, kHeading, kHeading, 1, kStopsAll},
    {"h6", Kind::kBlock, kHeading, kHeading, 1, kStopsAll},
    {"hr", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"i", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"image", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"img", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"input", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"inputtarea", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"isindex", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"kbd", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"keygen", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"label", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"legend", Kind::kBlock, kNone, kSame, 1, kStopsNone},
    {"li", Kind::kBlock, kListItem, kListItem, 1, kStopsNone},
    {"link", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"listing", Kind::kBlock, kNone, kSame, 1, kStopsNone},
    {"marquee", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"menu", Kind::kBlock, kNone, kNone, 1, kStopsForm},
    {"meta", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"nextid", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"nobr", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"noframes", Kind::kBlock, kNone, kNone, 1, kStopsAll},
    {"o:p", Kind::kInline, kNone, kNone, 1, kStopsNone},
    {"object", Kind::kBlock, kNone, kNone, 1, kStopsAll},
    {"ol", Kind::kBlock, kNone, kNone, 1, kStopsForm},
    {"optgroup", Kind::kBlock, kOptionGroup, kOption | kOptionGroup, 1, kStopsAll},
    {"option", Kind::kBlock, kOption, kOption, 1, kStopsNone},
    {"p", Kind::kBlock, kParagraph, kNone, 1, kStopsNone},
    {"param", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"pre", Kind::kBlock, kNone, kSame, 1, kStopsNone},
    {"q", Kind::kInline, kNone, kNone, 1, kStopsNone},
    {"rb", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"rp", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"rt", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"ruby", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"s", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"samp", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"script", Kind::kRawText, kNone, kNone, 0, kStopsNone},
    {"select", Kind::kBlock, kNone, kNone, 1, kStopsAll},
    {"small", Kind::kInline, kNone, kNone, 1, kStopsNone},
    {"source", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"spacer", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"span", Kind::kInline, kNone, kNone, 1, kStopsNone},
    {"strike", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"strong", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"style", Kind::kRawText, kNone, kNone, 0, kStopsNone},
    {"sub", Kind::kInline, kNone, kNone, 1, kStopsNone},
    {"sup", Kind::kInline, kNone, kNone, 1, kStopsNone},
    {"table", Kind::kBlock, kNone, kNone, 1, kStopsAll},
    {"tbody", Kind::kBlock, kSection, kCell | kRow | kSection, 1, kStopsAll},
    {"td", Kind::kBlock, kCell, kCell, 1, kStopsAll},
    {"textarea", Kind::kRawText, kNone, kNone, 0, kStopsNone},
    {"tfoot", Kind::kBlock, kSection, kCell | kRow | kSection, 1, kStopsAll},
    {"th", Kind::kBlock, kCell, kCell, 1, kStopsAll},
    {"thead", Kind::kBlock, kSection, kCell | kRow | kSection, 1, kStopsAll},
    {"title", Kind::kRawText, kNone, kNone, 0, kStopsNone},
    {"tr", Kind::kBlock, kRow, kCell | kRow, 1, kStopsAll},
    {"track", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"tt", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"u", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"ul", Kind::kBlock, kNone, kNone, 1, kStopsForm},
    {"v:imagedata", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"var", Kind::kInline, kNone, kSame, 1, kStopsNone},
    {"w:wrap", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"wbr", Kind::kVoid, kNone, kNone, 0, kStopsNone},
    {"xmp", Kind::kRawText, kNone, kNone, 0, kStopsNone},
};

constexpr TagInfo kOtherTag = {"", Kind::kBlock, kNone, kNone, 1, kStopsNone};

constexpr bool Sorted() {
    for (std::size_t i = 1; i < std::size(kTags); ++i)
        if (std::string_view(kTags[i - 1].name) >= std::string_view(kTags[i].name)) return false;
    return true;
}
static_assert(Sorted(), "the tag table is looked up by name");

const TagInfo& InfoOf(std::string_view name) {
    const auto found = std::lower_bound(std::begin(kTags), std::end(kTags), name,
                                        [](const TagInfo& tag, std::string_view wanted) { return tag.name < wanted; });
    return found != std::end(kTags) && found->name == name ? *found : kOtherTag;
}

bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsNameChar(unsigned char c) {
    return IsLetter(c) || (c >= '0' && c <= '9') || c == ':' || c == '-' || c == '_' || c == '.';
}
char Lower(unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }

constexpr std::size_t kLongestName = 64;   // longer names are told apart by their start

enum class Reading : std::uint8_t {
    kText,
    kLess,       // after "<"
    kName,       // a tag's name
    kInTag,      // after the name, up to ">"
    kBang,       // after "<!"
    kBangDash,   // after "<!-"
    kComment,    // after "<!--", up to "--" and ">"
    kToClose,    // a declaration or processing instruction, up to ">"
    kRawText,    // the text of a raw-text element
    kRawLess,    // "<" in it
    kRawSlash,   // "</" in it
};

} // namespace

struct NestingScan::State {
    bool xml = false;
    Reading reading = Reading::kText;
    bool endTag = false;
    bool afterRawText = false;   // the end tag that ended a raw-text element's text
    std::string rawName;         // that element
    char before = '\0';          // the character before the current one in a tag
    int dashes = 0;              // in a comment, the dashes just read
    std::string name;
    std::size_t at = 0;          // bytes read so far

    // The open elements, innermost last, each with its name's number and
    // kind; per name, where its open elements are; the blocks and the
    // boundaries among them.
    struct Open {
        int name;
        const TagInfo* info;
    };
    std::vector<Open> open;
    std::vector<std::vector<std::size_t>> byName;
    // Each name met: its number and its entry of the tag table (looked up
    // once per name instead of once per tag).
    struct Name {
        int number;
        const TagInfo* info;
    };
    std::unordered_map<std::string, Name> names;
    std::vector<std::size_t> blocks;
    std::vector<std::size_t> stopsAll;    // elements that stop every outer end
    std::vector<std::size_t> stopsForm;   // and those that stop only a form's
    std::size_t depth = 0;       // the open elements' levels, fonts included
    std::size_t deepest = 0;
    std::size_t fonts = 0;       // unclosed font elements
    std::size_t reopened = 0;
    bool depthPassed = false;
    bool fontsPassed = false;
    std::size_t passedAt = 0;

    bool Passed() const { return depthPassed || fontsPassed; }

    const Name& NameOf(const std::string& text) {
        // try_emplace makes no entry for a name already known.
        const auto [found, added] = names.try_emplace(text, Name{static_cast<int>(names.size()), nullptr});
        if (added) {
            found->second.info = xml ? &kOtherTag : &InfoOf(text);
            byName.emplace_back();
        }
        return found->second;
    }

    void Check() {
        deepest = std::max(deepest, depth);
        if (Passed()) return;
        if (depth > kMaxHtmlNesting) depthPassed = true;
        if (reopened > kMaxReopenedFonts) fontsPassed = true;
        if (Passed()) passedAt = at;
    }

    // Closes the elements from index on.
    void CloseFrom(std::size_t index) {
        while (open.size() > index) {
            const Open& last = open.back();
            const std::size_t top = open.size() - 1;
            byName[static_cast<std::size_t>(last.name)].pop_back();
            for (std::vector<std::size_t>* indexes : {&blocks, &stopsAll, &stopsForm}) {
                if (!indexes->empty() && indexes->back() == top) indexes->pop_back();
            }
            depth -= last.info->weight;
            open.pop_back();
        }
    }

    void StartTag(const std::string& tag, bool selfClosed) {
        const Name& known = NameOf(tag);
        const TagInfo& info = *known.info;
        if (info.kind == Kind::kVoid) return;
        if (info.kind == Kind::kRawText) {
            if (!selfClosed) {
                reading = Reading::kRawText;
                rawName = tag;
            }
            return;
        }
        if (selfClosed) return;
        if (info.kind == Kind::kFont) {
            ++fonts;
            ++depth;
            Check();
            return;
        }
        const int number = known.number;
        if (info.kind == Kind::kInline) {
            if ((info.closes & kSame) != 0 && !open.empty() && open.back().name == number) CloseFrom(open.size() - 1);
        } else if (!xml) {
            // A block closes the paragraph it starts in, then what the table says.
            const std::uint16_t closes = static_cast<std::uint16_t>(kParagraph | (info.closes & ~kSame));
            while (!blocks.empty()) {
                const Open& inner = open[blocks.back()];
                const bool same = (info.closes & kSame) != 0 && inner.name == number;
                if (!same && (inner.info->member & closes) == 0) break;
                CloseFrom(blocks.back());
            }
            reopened += fonts;
        }
        const std::size_t index = open.size();
        open.push_back({number, &info});
        byName[static_cast<std::size_t>(number)].push_back(index);
        if (info.kind == Kind::kBlock) blocks.push_back(index);
        if (info.stops == kStopsAll) stopsAll.push_back(index);
        if (info.stops != kStopsNone) stopsForm.push_back(index);
        depth += info.weight;
        Check();
    }

    void EndTag(const std::string& tag) {
        const Name& known = NameOf(tag);
        const TagInfo& info = *known.info;
        if (info.kind == Kind::kFont) {
            if (fonts > 0) {
                --fonts;
                --depth;
            }
            return;
        }
        if (byName[static_cast<std::size_t>(known.number)].empty()) return;
        const std::size_t index = byName[static_cast<std::size_t>(known.number)].back();
        // An inline element's end closes no block inside it; an element's
        // end closes no table, cell, heading, list of options or object
        // inside it, and a form's no list either.
        if (!xml) {
            if (info.kind == Kind::kInline && !blocks.empty() && blocks.back() > index) return;
            const std::vector<std::size_t>& stops = tag == "form" ? stopsForm : stopsAll;
            if (!stops.empty() && stops.back() > index) return;
        }
        CloseFrom(index);
    }

    void FinishTag() {
        if (name.empty()) return;
        if (!endTag) {
            StartTag(name, before == '/');
        } else if (!afterRawText || name == rawName) {
            // The end tag that ends a raw-text element's text may be taken
            // for text of it: only the element's own end closes anything.
            EndTag(name);
        }
        afterRawText = false;
    }

    void Read(unsigned char c) {
        switch (reading) {
        case Reading::kText:
            if (c == '<') reading = Reading::kLess;
            return;
        case Reading::kLess:
            if (IsLetter(c)) {
                BeginName(c, false);
            } else if (c == '/') {
                endTag = true;
                name.clear();
                reading = Reading::kName;
            } else if (c == '!') {
                reading = Reading::kBang;
            } else if (c == '?') {
                reading = Reading::kToClose;
            } else if (c != '<') {
                reading = Reading::kText;
            }
            return;
        case Reading::kName:
            if (name.empty() && endTag && !IsLetter(c)) {
                // "</" without a name is text.
                reading = c == '<' ? Reading::kLess : Reading::kText;
                return;
            }
            if (IsNameChar(c)) {
                if (name.size() < kLongestName) name.push_back(Lower(c));
                before = static_cast<char>(c);
                return;
            }
            reading = Reading::kInTag;
            [[fallthrough]];
        case Reading::kInTag:
            if (c == '>') {
                reading = Reading::kText;
                FinishTag();
            } else {
                before = static_cast<char>(c);
            }
            return;
        case Reading::kBang:
            reading = c == '-' ? Reading::kBangDash : c == '>' ? Reading::kText : Reading::kToClose;
            return;
        case Reading::kBangDash:
            if (c == '-') {
                reading = Reading::kComment;
                dashes = 0;
            } else {
                reading = c == '>' ? Reading::kText : Reading::kToClose;
            }
            return;
        case Reading::kComment:
            if (c == '>' && dashes >= 2) reading = Reading::kText;
            dashes = c == '-' ? dashes + 1 : 0;
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
                reading = c == '<' ? Reading::kRawLess : Reading::kRawText;
            }
            return;
        }
    }

    void BeginName(unsigned char first, bool end) {
        endTag = end;
        name.assign(1, Lower(first));
        before = static_cast<char>(first);
        reading = Reading::kName;
    }
};

NestingScan::NestingScan(bool xml) : state_(std::make_unique<State>()) { state_->xml = xml; }

NestingScan::~NestingScan() = default;

void NestingScan::Feed(std::string_view text) {
    State& state = *state_;
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at < end) {
        if (state.Passed()) return;
        // Text, the inside of a tag and what runs up to a ">" change nothing
        // until the character that ends them: they are passed at once.
        const Reading reading = state.reading;
        if (reading == Reading::kText || reading == Reading::kRawText || reading == Reading::kInTag ||
            reading == Reading::kToClose) {
            const char wanted = reading == Reading::kText || reading == Reading::kRawText ? '<' : '>';
            const void* found = std::memchr(at, wanted, static_cast<std::size_t>(end - at));
            const char* stop = found != nullptr ? static_cast<const char*>(found) : end;
            if (stop > at) {
                if (reading == Reading::kInTag) state.before = stop[-1];
                state.at += static_cast<std::size_t>(stop - at);
                at = stop;
                continue;
            }
        }
        state.Read(static_cast<unsigned char>(*at));
        ++state.at;
        ++at;
    }
}

bool NestingScan::Exceeded() const { return state_->Passed(); }
std::size_t NestingScan::Deepest() const { return state_->deepest; }
std::size_t NestingScan::Reopened() const { return state_->reopened; }
bool NestingScan::DepthExceeded() const { return state_->depthPassed; }
std::size_t NestingScan::ExceededAt() const { return state_->passedAt; }

} // namespace talix
