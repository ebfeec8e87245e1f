// What the walk of an HTML import asks again and again, kept for the length
// of one walk: the style answers of the elements above the text (every run
// asks the same questions of the same ancestors), and the parsed form of
// the paragraph-style texts of blocks (most blocks of a document share a
// few). The answers are those the look-ups give; the memo only saves
// asking twice. The style answers are forgotten whenever the document's
// rules change (a style element or a linked sheet met during the walk).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/paragraph_def.h"
#include "core/statuses.h"
#include "htmlimport/style_lookup.h"

namespace talix {

struct HTMLImportContext;
struct HtmlNode;

class WalkMemo {
public:
    // The questions. The first group is asked of one element (its style
    // attribute and the rules); the second from an element up to the root,
    // at each element its property, its attribute and its name among two
    // tags (StyleAttrElem, element by element).
    enum Question : std::uint8_t {
        kTextDecoration, kFontSize, kFontFamily, kBackgroundColor,
        kWeightUp, kSlantUp, kScriptUp, kColorUp, kDirectionUp, kFontUp,
        kQuestions
    };

    explicit WalkMemo(const HTMLImportContext* import);

    // The answer of the element (null: none). For the questions asked up the
    // tree, *source (may be null) tells what gave it (StyleSource).
    const std::string* Ask(const HtmlNode* element, Question question, std::uint16_t* source = nullptr);

    // Forgets every style answer.
    void ForgetStyles();

    // The walk has left an element. Once the memo holds the answers of
    // kMostElements elements it forgets them, so that its size is bounded
    // however long the document: the answers are the look-ups' own, and
    // those still wanted (of the few elements still open) are found again.
    void LeftElement();

    // The walks up the tree that decide parts of a run's font. Each ends at
    // the first element that decides it: the decoration walk at the nearest
    // text-decoration of an element other than u, a, s and strike; the
    // family walk at a font element naming a face, at tt, or at the nearest
    // font-family; the highlight walk at td or th, or at the nearest
    // background-color.
    enum Walk : std::uint8_t { kDecorationWalk, kFamilyWalk, kHighlightWalk, kWalks };
    enum WalkEnd : std::uint8_t { kWalkedOut, kEndAnswer, kEndFontFace, kEndTt, kEndCell };
    struct WalkResult {
        WalkEnd end = kWalkedOut;
        const std::string* value = nullptr;   // the answer at kEndAnswer
    };

    // What an element's text inherits from the elements around it, each part
    // worked out from the element's own answers and its parent's state, so
    // that a run reads it in one step instead of walking up the tree.
    struct Inheritance {
        // The level of the nearest heading (h1 to h6), 0 for none.
        std::uint8_t heading = 0;
        // Underline and strike (font attribute bits) of the u, a, s and
        // strike elements from here up.
        std::uint8_t decorationTags = 0;
        // The element is a font element with a size attribute.
        bool fontWithSize = false;
        // The nearest font element from here up, and the nearest element
        // that is a font element with a size or has a font-size of its own
        // (where the search for a CSS size starts).
        const HtmlNode* nearestFont = nullptr;
        const HtmlNode* sizeLink = nullptr;
        // The element's own font-size (null: none).
        const std::string* ownSize = nullptr;
        // The answers of the questions asked up the tree (kWeightUp on; null:
        // none) and what gave them.
        const std::string* up[kQuestions] = {};
        std::uint8_t upSource[kQuestions] = {};
        // Where each walk from here up ends.
        WalkResult walks[kWalks];
    };
    // The state of the element (its nearest element when the node is none;
    // null when there is none). Valid until the next call.
    const Inheritance* Inherited(const HtmlNode* node);

    // The font of the runs of a parent element, kept with what the run's
    // font depends on besides the tree (the font colour text, the open
    // heading, pre) and what working it out leaves behind (the font colour
    // text, the direction).
    struct RunMemo {
        std::string colorTextBefore;
        std::uint16_t headingSize = 0;
        std::uint32_t inPre = 0;
        std::uint8_t font[4] = {};
        bool colored = false;
        std::uint16_t colorFlags = 0;
        std::uint32_t rgb = 0;
        std::string colorTextAfter;
        std::uint32_t rightToLeft = 0;
    };
    // The run memo of the parent, or null.
    const RunMemo* FindRun(const HtmlNode* parent);
    void KeepRun(const HtmlNode* parent, RunMemo memo);

    struct ParsedParagraph {
        CDPABDEFEXT definition;
        std::uint16_t words[6] = {};        // flags, flags2 and extension words to set and clear
        std::uint32_t listType = 0, listClear = 0;
        std::int32_t shifts[4] = {};
        std::uint32_t mask[kParagraphMaskSize] = {};
        STATUS status = kOK;
    };
    const ParsedParagraph* FindParagraph(const std::string& text) const;
    void KeepParagraph(const std::string& text, const ParsedParagraph& parsed);

    // The paragraph-style text of an earlier block with the same parent, the
    // same name and the same attributes (names and values, in order), while
    // in a box (a table cell or a layer) or not and in the same direction
    // (null: none kept). Its text cannot differ: the style look-ups read an
    // element's name, its attributes and its ancestors only. Forgotten with
    // the style answers.
    const std::string* FindParagraphStyle(const HtmlNode* block, bool boxed, bool rightToLeft);
    void KeepParagraphStyle(const HtmlNode* block, bool boxed, bool rightToLeft, const std::string& text);

    // ParseColorSpec of a colour text, for texts whose colour does not
    // depend on the index the caller gives (no "windowtext" in them).
    struct ParsedColor {
        std::uint16_t status = 0;
        std::uint16_t index = 0;
        std::uint32_t rgb = 0;
    };
    ParsedColor ParseColor(const char* text);

    // The border record that a border text makes of a blank one (null: not
    // known yet): a page of like blocks asks for the same border again and
    // again.
    const std::string* FindBorder(const std::string& text) const;
    void KeepBorder(const std::string& text, const std::uint8_t* record, std::size_t length);

    // The points of one of the memo's font-size answers (text points into
    // the memo) around a size, once kept (null: not known yet); forgotten
    // with the answers.
    const std::uint8_t* FindSize(const std::string* text, std::uint8_t around) const;
    void KeepSize(const std::string* text, std::uint8_t around, std::uint8_t points);

    // The item's face of a family name once it has one (null: not known
    // yet), and the face to keep for it: a name keeps its face for the
    // length of the import, since faces are only added to the item.
    const std::uint8_t* FindFace(const std::string& family) const;
    void KeepFace(const std::string& family, std::uint8_t face);

private:
    struct Answers {
        const HtmlNode* node = nullptr;     // whose answers these are
        std::uint16_t known = 0;            // a bit per question: answered
        std::uint16_t found = 0;            // a bit per question: the answer has a value
        std::uint8_t source[kQuestions] = {};
        std::uint32_t value[kQuestions] = {};   // index into strings_
        std::uint32_t run = 0;              // 1 + index into runs_, 0 for none
        std::uint32_t inherited = 0;        // 1 + index into inherited_, 0 for none
        // What the element's style and its rules declare, read with its
        // first question about a property: kBitsUnread, kBitsRead (in
        // declared), or kBitsNone (no bits: every property may be declared).
        std::uint8_t bitsState = 0;
        DeclaredBits declared;
    };
    // The element's own end of a walk (kWalkedOut: it decides nothing);
    // with noProperties, the element is known to declare no property.
    WalkResult OwnEnd(const HtmlNode* node, Walk walk, bool noProperties);
    // What an element's style answers add to its parent's state: its own
    // font-size, its answers to the questions asked up the tree, and where
    // the walks end at it.
    struct OwnPart {
        const std::string* ownSize = nullptr;
        const std::string* up[kQuestions] = {};
        std::uint8_t upSource[kQuestions] = {};
        WalkResult walks[kWalks];
    };
    void FindOwnPart(std::size_t at, OwnPart* part);
    // Builds in partKey_ the key under which the element's own part is
    // shared with the elements of its name and class; false when an
    // attribute of its own may answer (style, color, dir, face, size).
    bool OwnPartKey(const HtmlNode* node);
    // Whether the element's own part is that of every element of its key:
    // its rules were matched by name and class alone.
    bool SharesOwnPart(const HtmlNode* node) const;
    // The element's own part of its state, on top of its parent's.
    void Inherit(std::size_t at, const Inheritance* parent, Inheritance* state);
    static constexpr std::uint8_t kBitsUnread = 0, kBitsRead = 1, kBitsNone = 2;
    // Whether the element at `at` surely declares the question's property
    // nowhere (so that only its attribute and tags can answer).
    bool Undeclared(std::size_t at, Question question);
    // Whether neither the element's style nor any rule matching it declares
    // any property (so that every question of a property has no answer).
    bool DeclaresNothing(std::size_t at);
    // The place of the node's answers, made when it has none.
    std::size_t Place(const HtmlNode* node);
    const Answers* Placed(const HtmlNode* node) const;
    // The element's own answer to a question asked up the tree.
    bool OwnUpAnswer(std::size_t at, Question question, std::string* value, std::uint16_t* source);
    void Keep(std::size_t at, Question question, const std::string* value, std::uint16_t source);
    void CheckRules();

    const HTMLImportContext* import_;
    std::uint64_t ruleVersions_[2] = {};
    PropertyBits propertyBits_[kQuestions];
    std::vector<Answers> answers_;
    std::deque<std::string> strings_;
    std::vector<RunMemo> runs_;
    std::vector<std::size_t> chain_;
    std::vector<Inheritance> inherited_;
    // The own parts of elements by name and class (see OwnPartKey), while
    // the style answers are kept.
    std::unordered_map<std::string, OwnPart> ownParts_;
    // Points by answer text and the size around it.
    struct SizeKey {
        const std::string* text;
        std::uint8_t around;
        bool operator==(const SizeKey&) const = default;
    };
    struct SizeKeyHash {
        std::size_t operator()(const SizeKey& key) const {
            return std::hash<const std::string*>()(key.text) ^ (std::size_t{key.around} * 0x9E3779B97F4A7C15ull);
        }
    };
    std::unordered_map<SizeKey, std::uint8_t, SizeKeyHash> sizes_;
    std::string partKey_;
    std::unordered_map<std::string, ParsedParagraph> paragraphs_;
    // The paragraph-style texts of the last few blocks, the oldest replaced.
    struct ParagraphStyle {
        const HtmlNode* parent = nullptr;
        const char* name = nullptr;
        HtmlTag tag = HtmlTag::kUnknown;
        bool boxed = false;
        bool rightToLeft = false;
        // The block's attributes as they were (the document keeps the texts).
        std::vector<std::pair<const char*, const char*>> attributes;
        std::string text;
    };
    bool SameBlock(const ParagraphStyle& kept, const HtmlNode* block, bool boxed, bool rightToLeft) const;
    std::vector<ParagraphStyle> paragraphStyles_;
    std::size_t nextParagraphStyle_ = 0;
    std::unordered_map<std::string, ParsedColor> colors_;
    std::unordered_map<std::string, std::uint8_t> faces_;
    std::unordered_map<std::string, std::string> borders_;
};

} // namespace talix
