// The walk's memo of style answers and parsed paragraph styles.
#include "htmlimport/walk_memo.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "core/debug_level.h"
#include "core/font_spec.h"
#include "core/text_compare.h"
#include "htmlimport/css_rules.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/html_tags.h"
#include "htmlimport/shared_matches.h"
#include "htmlimport/style_declarations.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Paragraph-style texts kept at most; the memo starts again when full.
constexpr std::size_t kMostParagraphs = 512;
// Colour texts kept at most; the memo starts again when full.
constexpr std::size_t kMostColors = 4096;
// Family names kept at most; the memo starts again when full.
constexpr std::size_t kMostFaces = 1024;
// Font-size answers kept at most, each with the size around it; the memo
// starts again when full.
constexpr std::size_t kMostSizes = 4096;
// Border texts kept at most; the memo starts again when full.
constexpr std::size_t kMostBorders = 512;
// Paragraph-style texts of blocks kept at most (the blocks of a page of
// like paragraphs share a few), the oldest replaced when full.
constexpr std::size_t kMostParagraphStyles = 8;
// Elements whose style answers are kept at most; the memo starts again
// when the walk leaves an element after that many.
constexpr std::size_t kMostElements = 1024;

struct QuestionRow {
    const char* property;
    const char* attribute;
    const char* tag1;
    const char* tag2;
};

constexpr QuestionRow kQuestionRows[WalkMemo::kQuestions] = {
    {"text-decoration", nullptr, nullptr, nullptr},
    {"font-size", nullptr, nullptr, nullptr},
    {"font-family", nullptr, nullptr, nullptr},
    {"background-color", nullptr, nullptr, nullptr},
    {"font-weight", nullptr, "b", "strong"},
    {"font-style", nullptr, "i", "em"},
    {nullptr, nullptr, "sub", "sup"},
    {"color", "color", nullptr, nullptr},
    {"direction", "dir", nullptr, nullptr},
    {"font", nullptr, nullptr, nullptr},
};

// The element ids of the two tags of each question (kUnknown: none), so
// that an element is told at once that its name cannot answer.
constexpr HtmlTag kQuestionTags[WalkMemo::kQuestions][2] = {
    {HtmlTag::kUnknown, HtmlTag::kUnknown}, {HtmlTag::kUnknown, HtmlTag::kUnknown},
    {HtmlTag::kUnknown, HtmlTag::kUnknown}, {HtmlTag::kUnknown, HtmlTag::kUnknown},
    {HtmlTag::kB, HtmlTag::kStrong},        {HtmlTag::kI, HtmlTag::kEm},
    {HtmlTag::kSub, HtmlTag::kSup},         {HtmlTag::kUnknown, HtmlTag::kUnknown},
    {HtmlTag::kUnknown, HtmlTag::kUnknown}, {HtmlTag::kUnknown, HtmlTag::kUnknown},
};

const CSSRuleList* Rules(const CSSRuleList& list) { return list.Empty() ? nullptr : &list; }

} // namespace

WalkMemo::WalkMemo(const HTMLImportContext* import) : import_(import) {
    ruleVersions_[0] = import->styleRules1.Version();
    ruleVersions_[1] = import->styleRules2.Version();
    for (int question = 0; question < kQuestions; ++question)
        propertyBits_[question] = PropertyDeclaredBits(kQuestionRows[question].property);
}

void WalkMemo::ForgetStyles() {
    answers_.clear();
    strings_.clear();
    runs_.clear();
    inherited_.clear();
    ownParts_.clear();
    sizes_.clear();
    paragraphStyles_.clear();
    nextParagraphStyle_ = 0;
}

void WalkMemo::LeftElement() {
    if (answers_.size() >= kMostElements) ForgetStyles();
}

void WalkMemo::CheckRules() {
    // Any change of either list (also one that keeps its size) forgets.
    if (import_->styleRules1.Version() == ruleVersions_[0] && import_->styleRules2.Version() == ruleVersions_[1]) return;
    ForgetStyles();
    ruleVersions_[0] = import_->styleRules1.Version();
    ruleVersions_[1] = import_->styleRules2.Version();
}

const WalkMemo::Answers* WalkMemo::Placed(const HtmlNode* node) const {
    const std::uint32_t slot = node->memoSlot;
    if (slot == 0 || slot > answers_.size() || answers_[slot - 1].node != node) return nullptr;
    return &answers_[slot - 1];
}

std::size_t WalkMemo::Place(const HtmlNode* node) {
    if (const Answers* placed = Placed(node)) return static_cast<std::size_t>(placed - answers_.data());
    answers_.emplace_back();
    answers_.back().node = node;
    node->memoSlot = static_cast<std::uint32_t>(answers_.size());
    return answers_.size() - 1;
}

void WalkMemo::Keep(std::size_t at, Question question, const std::string* value, std::uint16_t source) {
    Answers& answers = answers_[at];
    const auto bit = static_cast<std::uint16_t>(1u << question);
    answers.known |= bit;
    answers.source[question] = static_cast<std::uint8_t>(source);
    if (value == nullptr) return;
    answers.found |= bit;
    answers.value[question] = static_cast<std::uint32_t>(strings_.size());
    strings_.push_back(*value);
}

bool WalkMemo::Undeclared(std::size_t at, Question question) {
    Answers& answers = answers_[at];
    if (answers.bitsState == kBitsUnread)
        answers.bitsState = DeclaredElementBits(answers.node, Rules(import_->styleRules1), Rules(import_->styleRules2),
                                                &answers.declared)
                                ? kBitsRead
                                : kBitsNone;
    if (answers.bitsState != kBitsRead) return false;
    return kQuestionRows[question].property == nullptr || !MayBeDeclared(answers.declared, propertyBits_[question]);
}

bool WalkMemo::DeclaresNothing(std::size_t at) {
    Undeclared(at, kFontSize);
    const Answers& answers = answers_[at];
    return answers.bitsState == kBitsRead && answers.declared.words == 0;
}

bool WalkMemo::OwnUpAnswer(std::size_t at, Question question, std::string* value, std::uint16_t* source) {
    const QuestionRow& row = kQuestionRows[question];
    // A property the element declares nowhere is not looked for: only its
    // attribute and its name can answer.
    if (Undeclared(at, question)) {
        if (source != nullptr) *source = kStyleNotFound;
        const HtmlNode* node = answers_[at].node;
        const bool byAttribute = row.attribute != nullptr && node->attributes != nullptr;
        const bool byName = row.tag1 != nullptr && node->tag != HtmlTag::kUnknown &&
                            (node->tag == kQuestionTags[question][0] || node->tag == kQuestionTags[question][1]);
        if (!byAttribute && !byName) return false;
        const char* const tags[3] = {row.tag1, row.tag2, nullptr};
        std::uint16_t from = kStyleNotFound;
        if (!AttributeOrTagAnswer(answers_[at].node, row.attribute, tags, value, &from)) return false;
        if (source != nullptr) *source = from;
        return true;
    }
    if (answers_[at].bitsState != kBitsRead) {
        StyleValue answer = StyleAttrElem(answers_[at].node, row.property, row.attribute, row.tag1, row.tag2, nullptr,
                                          source, false, Rules(import_->styleRules1), Rules(import_->styleRules2));
        if (!answer.has_value()) return false;
        *value = std::move(*answer);
        return true;
    }
    // The element may declare the property (its bits were read): its
    // property, then its attribute, then its name, as StyleAttrElem asks.
    if (source != nullptr) *source = kStyleNotFound;
    StyleValue own = FindDeclaredStyleValue(answers_[at].node, row.property, Rules(import_->styleRules1),
                                            Rules(import_->styleRules2));
    std::uint16_t from = kStyleFromCSS;
    if (own.has_value()) {
        *value = std::move(*own);
    } else {
        const char* const tags[3] = {row.tag1, row.tag2, nullptr};
        if (!AttributeOrTagAnswer(answers_[at].node, row.attribute, tags, value, &from)) return false;
    }
    if (source != nullptr) *source = from;
    return true;
}

const std::string* WalkMemo::Ask(const HtmlNode* element, Question question, std::uint16_t* source) {
    if (source != nullptr) *source = kStyleNotFound;
    if (element == nullptr || question >= kQuestions) return nullptr;
    CheckRules();
    const auto bit = static_cast<std::uint16_t>(1u << question);
    if (question < kWeightUp) {
        const std::size_t at = Place(element);
        if ((answers_[at].known & bit) == 0) {
            if (Undeclared(at, question)) {
                Keep(at, question, nullptr, kStyleFromCSS);
            } else {
                // Asked of the bits already when they were read.
                const CSSRuleList* first = Rules(import_->styleRules1);
                const CSSRuleList* second = Rules(import_->styleRules2);
                const char* property = kQuestionRows[question].property;
                const StyleValue value = answers_[at].bitsState == kBitsRead
                                             ? FindDeclaredStyleValue(element, property, first, second)
                                             : FindStyleValue(element, property, first, second);
                Keep(at, question, value.has_value() ? &*value : nullptr, kStyleFromCSS);
            }
        }
        const Answers& answers = answers_[at];
        return (answers.found & bit) != 0 ? &strings_[answers.value[question]] : nullptr;
    }

    const Inheritance* state = Inherited(element);
    if (state == nullptr || state->up[question] == nullptr) return nullptr;
    if (source != nullptr) *source = state->upSource[question];
    return state->up[question];
}

namespace {

const HtmlNode* NearestElement(const HtmlNode* node) {
    while (node != nullptr && !node->IsElement()) node = node->parent;
    return node;
}

// h1 to h6: the level, else 0.
int HeadingLevel(const HtmlNode* node) {
    const char* name = node->name;
    if (name == nullptr || (name[0] != 'h' && name[0] != 'H') || name[1] < '1' || name[1] > '6' || name[2] != '\0')
        return 0;
    return name[1] - '0';
}

} // namespace

WalkMemo::WalkResult WalkMemo::OwnEnd(const HtmlNode* node, Walk walk, bool noProperties) {
    WalkResult result;
    Question question = kTextDecoration;
    switch (walk) {
    case kDecorationWalk:
        // u, a, s and strike decorate by their names, and their own
        // text-decoration counts as any element's: a link styled
        // "text-decoration: none" is not underlined.
        break;
    case kFamilyWalk:
        if (node->Is(HtmlTag::kFont) && FindAttribute(node, "face") != nullptr) {
            result.end = kEndFontFace;
            return result;
        }
        if (node->Is(HtmlTag::kTt)) {
            result.end = kEndTt;
            return result;
        }
        question = kFontFamily;
        break;
    case kHighlightWalk:
        if (node->Is(HtmlTag::kTd) || node->Is(HtmlTag::kTh)) {
            result.end = kEndCell;
            return result;
        }
        question = kBackgroundColor;
        break;
    default:
        return result;
    }
    result.value = noProperties ? nullptr : Ask(node, question);
    if (result.value != nullptr) result.end = kEndAnswer;
    return result;
}

void WalkMemo::Inherit(std::size_t at, const Inheritance* parent, Inheritance* state) {
    if (parent != nullptr) {
        *state = *parent;
    } else {
        for (std::uint8_t& source : state->upSource) source = kStyleNotFound;
    }
    const HtmlNode* node = answers_[at].node;
    if (const int level = HeadingLevel(node)) state->heading = static_cast<std::uint8_t>(level);
    if (node->Is(HtmlTag::kU) || node->Is(HtmlTag::kA)) {
        state->decorationTags |= kAttrUnderline;
    } else if (node->Is(HtmlTag::kS) || node->Is(HtmlTag::kStrike)) {
        state->decorationTags |= kAttrStrike;
    }
    state->fontWithSize = false;
    if (node->Is(HtmlTag::kFont)) {
        state->nearestFont = node;
        state->fontWithSize = FindAttribute(node, "size") != nullptr;
    }
    // Elements of one name and class whose rules were matched by those
    // alone, and whose own attributes answer nothing, add the same part.
    const bool keyed = OwnPartKey(node);
    const OwnPart* part = nullptr;
    OwnPart found;
    if (keyed) {
        const auto kept = ownParts_.find(partKey_);
        if (kept != ownParts_.end()) part = &kept->second;
    }
    if (part == nullptr) {
        FindOwnPart(at, &found);
        part = &found;
        try {
            if (keyed && SharesOwnPart(node)) ownParts_.emplace(partKey_, found);
        } catch (const std::bad_alloc&) {
            // Not shared: the next element of the key finds its own.
        }
    }
    state->ownSize = part->ownSize;
    if (state->fontWithSize || state->ownSize != nullptr) state->sizeLink = node;
    for (int question = kWeightUp; question < kQuestions; ++question) {
        if (part->up[question] == nullptr) continue;
        state->up[question] = part->up[question];
        state->upSource[question] = part->upSource[question];
    }
    for (int walk = 0; walk < kWalks; ++walk)
        if (part->walks[walk].end != kWalkedOut) state->walks[walk] = part->walks[walk];
}

void WalkMemo::FindOwnPart(std::size_t at, OwnPart* part) {
    const HtmlNode* node = answers_[at].node;
    // An element that declares no property answers none of their
    // questions: only its name and its attributes can decide anything.
    const bool noProperties = DeclaresNothing(at);
    part->ownSize = noProperties ? nullptr : Ask(node, kFontSize);
    for (int question = kWeightUp; question < kQuestions; ++question) {
        std::string value;
        std::uint16_t from = kStyleNotFound;
        if (!OwnUpAnswer(at, static_cast<Question>(question), &value, &from)) continue;
        strings_.push_back(std::move(value));
        part->up[question] = &strings_.back();
        part->upSource[question] = static_cast<std::uint8_t>(from);
    }
    for (int walk = 0; walk < kWalks; ++walk) part->walks[walk] = OwnEnd(node, static_cast<Walk>(walk), noProperties);
}

bool WalkMemo::OwnPartKey(const HtmlNode* node) {
    // Traced look-ups are each made, and logged, for every element.
    if (g_debugLevel > 3) return false;
    const HtmlAttr* classAttribute = nullptr;
    for (const HtmlAttr* attr = node->attributes; attr != nullptr; attr = attr->next) {
        if (attr->name == nullptr) return false;
        // Told by the first letter before the names are compared whole.
        switch (LowerAscii(attr->name[0])) {
        case 's':
            if (EqualNoCase(attr->name, "style") || EqualNoCase(attr->name, "size")) return false;
            break;
        case 'c':
            if (EqualNoCase(attr->name, "color")) return false;
            if (classAttribute == nullptr && EqualNoCase(attr->name, "class")) classAttribute = attr;
            break;
        case 'd':
            if (EqualNoCase(attr->name, "dir")) return false;
            break;
        case 'f':
            if (EqualNoCase(attr->name, "face")) return false;
            break;
        default:
            break;
        }
    }
    return NameAndClassKey(node, classAttribute, &partKey_);
}

bool WalkMemo::SharesOwnPart(const HtmlNode* node) const {
    // Without rules the part is the element's name's alone.
    if (import_->styleRules1.Empty() && import_->styleRules2.Empty()) return true;
    const HtmlStyleCache* cache = node->style;
    return cache != nullptr && cache->rules.known && cache->rules.byName &&
           cache->rules.lists[0] == Rules(import_->styleRules1) && cache->rules.lists[1] == Rules(import_->styleRules2) &&
           (cache->rules.lists[0] == nullptr || cache->rules.versions[0] == import_->styleRules1.Version()) &&
           (cache->rules.lists[1] == nullptr || cache->rules.versions[1] == import_->styleRules2.Version());
}

const WalkMemo::Inheritance* WalkMemo::Inherited(const HtmlNode* node) {
    CheckRules();
    const HtmlNode* element = NearestElement(node);
    if (element == nullptr) return nullptr;
    // The elements from this one up to the first whose state is known; then
    // each takes its parent's and adds its own.
    chain_.clear();
    std::uint32_t above = 0;
    for (const HtmlNode* at = element; at != nullptr; at = NearestElement(at->parent)) {
        const std::size_t place = Place(at);
        if (answers_[place].inherited != 0) {
            above = answers_[place].inherited;
            break;
        }
        chain_.push_back(place);
    }
    for (auto at = chain_.rbegin(); at != chain_.rend(); ++at) {
        Inheritance state;
        Inherit(*at, above != 0 ? &inherited_[above - 1] : nullptr, &state);
        inherited_.push_back(state);
        above = static_cast<std::uint32_t>(inherited_.size());
        answers_[*at].inherited = above;
    }
    return &inherited_[above - 1];
}

const WalkMemo::RunMemo* WalkMemo::FindRun(const HtmlNode* parent) {
    CheckRules();
    const Answers* answers = parent != nullptr ? Placed(parent) : nullptr;
    return answers != nullptr && answers->run != 0 ? &runs_[answers->run - 1] : nullptr;
}

void WalkMemo::KeepRun(const HtmlNode* parent, RunMemo memo) {
    if (parent == nullptr) return;
    CheckRules();
    const std::size_t at = Place(parent);
    if (answers_[at].run != 0) {
        runs_[answers_[at].run - 1] = std::move(memo);
        return;
    }
    runs_.push_back(std::move(memo));
    answers_[at].run = static_cast<std::uint32_t>(runs_.size());
}

const WalkMemo::ParsedParagraph* WalkMemo::FindParagraph(const std::string& text) const {
    const auto found = paragraphs_.find(text);
    return found != paragraphs_.end() ? &found->second : nullptr;
}

WalkMemo::ParsedColor WalkMemo::ParseColor(const char* text) {
    const auto found = colors_.find(text);
    if (found != colors_.end()) return found->second;
    ParsedColor parsed;
    parsed.status = ParseColorSpec(text, &parsed.index, &parsed.rgb);
    if (colors_.size() >= kMostColors) colors_.clear();
    colors_.emplace(text, parsed);
    return parsed;
}

const std::uint8_t* WalkMemo::FindSize(const std::string* text, std::uint8_t around) const {
    const auto found = sizes_.find(SizeKey{text, around});
    return found != sizes_.end() ? &found->second : nullptr;
}

void WalkMemo::KeepSize(const std::string* text, std::uint8_t around, std::uint8_t points) {
    if (sizes_.size() >= kMostSizes) sizes_.clear();
    try {
        sizes_.emplace(SizeKey{text, around}, points);
    } catch (const std::bad_alloc&) {
        // Not kept: worked out again next time.
    }
}

bool WalkMemo::SameBlock(const ParagraphStyle& kept, const HtmlNode* block, bool boxed, bool rightToLeft) const {
    if (kept.parent != block->parent || kept.tag != block->tag || kept.boxed != boxed ||
        kept.rightToLeft != rightToLeft || std::strcmp(kept.name, block->name) != 0)
        return false;
    auto same = [](const char* a, const char* b) { return a == b || (a != nullptr && b != nullptr && std::strcmp(a, b) == 0); };
    std::size_t n = 0;
    for (const HtmlAttr* attr = block->attributes; attr != nullptr; attr = attr->next, ++n) {
        if (n == kept.attributes.size() || !same(kept.attributes[n].first, attr->name) ||
            !same(kept.attributes[n].second, attr->value))
            return false;
    }
    return n == kept.attributes.size();
}

const std::string* WalkMemo::FindParagraphStyle(const HtmlNode* block, bool boxed, bool rightToLeft) {
    CheckRules();
    if (block->name == nullptr || block->parent == nullptr) return nullptr;
    for (const ParagraphStyle& kept : paragraphStyles_)
        if (SameBlock(kept, block, boxed, rightToLeft)) return &kept.text;
    return nullptr;
}

void WalkMemo::KeepParagraphStyle(const HtmlNode* block, bool boxed, bool rightToLeft, const std::string& text) {
    CheckRules();
    if (block->name == nullptr || block->parent == nullptr) return;
    ParagraphStyle* slot = nullptr;
    if (paragraphStyles_.size() < kMostParagraphStyles) {
        slot = &paragraphStyles_.emplace_back();
    } else {
        slot = &paragraphStyles_[nextParagraphStyle_];
        nextParagraphStyle_ = (nextParagraphStyle_ + 1) % kMostParagraphStyles;
    }
    ParagraphStyle& kept = *slot;
    kept.parent = block->parent;
    kept.name = block->name;
    kept.tag = block->tag;
    kept.boxed = boxed;
    kept.rightToLeft = rightToLeft;
    kept.attributes.clear();
    for (const HtmlAttr* attr = block->attributes; attr != nullptr; attr = attr->next)
        kept.attributes.emplace_back(attr->name, attr->value);
    kept.text = text;
}

const std::string* WalkMemo::FindBorder(const std::string& text) const {
    const auto found = borders_.find(text);
    return found != borders_.end() ? &found->second : nullptr;
}

void WalkMemo::KeepBorder(const std::string& text, const std::uint8_t* record, std::size_t length) {
    if (borders_.size() >= kMostBorders) borders_.clear();
    borders_.insert_or_assign(text, std::string(reinterpret_cast<const char*>(record), length));
}

const std::uint8_t* WalkMemo::FindFace(const std::string& family) const {
    const auto found = faces_.find(family);
    return found != faces_.end() ? &found->second : nullptr;
}

void WalkMemo::KeepFace(const std::string& family, std::uint8_t face) {
    if (faces_.size() >= kMostFaces) faces_.clear();
    faces_.emplace(family, face);
}

void WalkMemo::KeepParagraph(const std::string& text, const ParsedParagraph& parsed) {
    if (paragraphs_.size() >= kMostParagraphs) paragraphs_.clear();
    paragraphs_.emplace(text, parsed);
}

} // namespace talix
