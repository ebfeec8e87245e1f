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

    // The walks up the tree that decide parts of a run's font. Each ends at
    // the first element that decides it: the decoration walk at the nearest
    // text-decoration of an element other than u, a, s and strike; the
    // family walk at a font element naming a face, at tt, or at the nearest
    // font-family; the highlight walk at td or th, or at the nearest
    // background-color. What a walk found is kept with every element it
    // passed, so that a walk from below ends where one of them is met: an
    // element is asked no more than a walk of its own would ask it.
    enum Walk : std::uint8_t { kDecorationWalk, kFamilyWalk, kHighlightWalk, kWalks };
    enum WalkEnd : std::uint8_t { kWalkedOut, kEndAnswer, kEndFontFace, kEndTt, kEndCell };
    struct WalkResult {
        WalkEnd end = kWalkedOut;
        const std::string* value = nullptr;   // the answer at kEndAnswer
    };
    // The walk from the node up (from its nearest element).
    WalkResult Walked(const HtmlNode* from, Walk walk);
    // Underline and strike (the font attribute bits) of the u, a, s and
    // strike elements from the node up.
    std::uint8_t DecorationTags(const HtmlNode* from);

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

    // ParseColorSpec of a colour text, for texts whose colour does not
    // depend on the index the caller gives (no "windowtext" in them).
    struct ParsedColor {
        std::uint16_t status = 0;
        std::uint16_t index = 0;
        std::uint32_t rgb = 0;
    };
    ParsedColor ParseColor(const char* text);

private:
    struct Answers {
        const HtmlNode* node = nullptr;     // whose answers these are
        std::uint16_t known = 0;            // a bit per question: answered
        std::uint16_t found = 0;            // a bit per question: the answer has a value
        std::uint8_t source[kQuestions] = {};
        std::uint32_t value[kQuestions] = {};   // index into strings_
        std::uint32_t run = 0;              // 1 + index into runs_, 0 for none
        // What the element's style and its rules declare, read with its
        // first question about a property: kBitsUnread, kBitsRead (in
        // declared), or kBitsNone (no bits: every property may be declared).
        std::uint8_t bitsState = 0;
        DeclaredBits declared;
        // A bit per walk (kTagsWalked: the decoration tags): kept below.
        std::uint8_t walked = 0;
        std::uint8_t tagAttributes = 0;
        WalkEnd walkEnd[kWalks] = {};
        std::uint32_t walkValue[kWalks] = {};   // 1 + index into strings_, 0 for none
    };
    static constexpr std::uint8_t kTagsWalked = 0x80;
    // The element's own end of a walk (kWalkedOut: it decides nothing).
    WalkEnd OwnEnd(std::size_t at, Walk walk, std::uint32_t* value);
    static constexpr std::uint8_t kBitsUnread = 0, kBitsRead = 1, kBitsNone = 2;
    // Whether the element at `at` surely declares the question's property
    // nowhere (so that only its attribute and tags can answer).
    bool Undeclared(std::size_t at, Question question);
    // The place of the node's answers, made when it has none.
    std::size_t Place(const HtmlNode* node);
    const Answers* Placed(const HtmlNode* node) const;
    // The element's own answer to a question asked up the tree.
    bool OwnUpAnswer(std::size_t at, Question question, std::string* value, std::uint16_t* source);
    void Keep(std::size_t at, Question question, const std::string* value, std::uint16_t source);
    void CheckRules();

    const HTMLImportContext* import_;
    std::size_t ruleCount_ = 0;
    PropertyBits propertyBits_[kQuestions];
    std::vector<Answers> answers_;
    std::deque<std::string> strings_;
    std::vector<RunMemo> runs_;
    std::vector<std::size_t> chain_;
    std::vector<std::size_t> walkChain_;
    std::unordered_map<std::string, ParsedParagraph> paragraphs_;
    std::unordered_map<std::string, ParsedColor> colors_;
};

} // namespace talix
