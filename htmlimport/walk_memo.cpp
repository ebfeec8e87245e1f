// The walk's memo of style answers and parsed paragraph styles.
#include "htmlimport/walk_memo.h"

#include <cstdint>

#include "core/font_spec.h"
#include "htmlimport/css_rules.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"

namespace talix {

namespace {

// Paragraph-style texts kept at most; the memo starts again when full.
constexpr std::size_t kMostParagraphs = 512;
// Colour texts kept at most; the memo starts again when full.
constexpr std::size_t kMostColors = 4096;

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

const CSSRuleList* Rules(const CSSRuleList& list) { return list.Empty() ? nullptr : &list; }

} // namespace

WalkMemo::WalkMemo(const HTMLImportContext* import) : import_(import) {
    ruleCount_ = import->styleRules1.Size() + import->styleRules2.Size();
    for (int question = 0; question < kQuestions; ++question)
        propertyBits_[question] = PropertyDeclaredBits(kQuestionRows[question].property);
}

void WalkMemo::ForgetStyles() {
    answers_.clear();
    strings_.clear();
    runs_.clear();
}

void WalkMemo::CheckRules() {
    const std::size_t count = import_->styleRules1.Size() + import_->styleRules2.Size();
    if (count == ruleCount_) return;
    ForgetStyles();
    ruleCount_ = count;
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

bool WalkMemo::OwnUpAnswer(std::size_t at, Question question, std::string* value, std::uint16_t* source) {
    const QuestionRow& row = kQuestionRows[question];
    // A property the element declares nowhere is not looked for: only its
    // attribute and its name can answer.
    if (Undeclared(at, question)) {
        const char* const tags[3] = {row.tag1, row.tag2, nullptr};
        if (source != nullptr) *source = kStyleNotFound;
        std::uint16_t from = kStyleNotFound;
        if (!AttributeOrTagAnswer(answers_[at].node, row.attribute, tags, value, &from)) return false;
        if (source != nullptr) *source = from;
        return true;
    }
    StyleValue answer = StyleAttrElem(answers_[at].node, row.property, row.attribute, row.tag1, row.tag2, nullptr, source,
                                      false, Rules(import_->styleRules1), Rules(import_->styleRules2));
    if (!answer.has_value()) return false;
    *value = std::move(*answer);
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
                const StyleValue value = FindStyleValue(element, kQuestionRows[question].property,
                                                        Rules(import_->styleRules1), Rules(import_->styleRules2));
                Keep(at, question, value.has_value() ? &*value : nullptr, kStyleFromCSS);
            }
        }
        const Answers& answers = answers_[at];
        return (answers.found & bit) != 0 ? &strings_[answers.value[question]] : nullptr;
    }

    // The elements from this one up to the first that knows its answer; then
    // each answers for itself or takes the answer of the element above it.
    chain_.clear();
    std::size_t above = SIZE_MAX;
    for (const HtmlNode* node = element; node != nullptr; node = node->parent) {
        if (!node->IsElement()) continue;
        const std::size_t at = Place(node);
        if ((answers_[at].known & bit) != 0) {
            above = at;
            break;
        }
        chain_.push_back(at);
    }
    for (auto at = chain_.rbegin(); at != chain_.rend(); ++at) {
        std::string value;
        std::uint16_t from = kStyleNotFound;
        if (OwnUpAnswer(*at, question, &value, &from)) {
            Keep(*at, question, &value, from);
        } else if (above != SIZE_MAX && (answers_[above].found & bit) != 0) {
            Answers& answers = answers_[*at];
            answers.known |= bit;
            answers.found |= bit;
            answers.source[question] = answers_[above].source[question];
            answers.value[question] = answers_[above].value[question];
        } else {
            Keep(*at, question, nullptr, kStyleNotFound);
        }
        above = *at;
    }
    const Answers* answers = Placed(element);
    if (answers == nullptr || (answers->found & bit) == 0) return nullptr;
    if (source != nullptr) *source = answers->source[question];
    return &strings_[answers->value[question]];
}

namespace {

const HtmlNode* NearestElement(const HtmlNode* node) {
    while (node != nullptr && !node->IsElement()) node = node->parent;
    return node;
}

} // namespace

WalkMemo::WalkEnd WalkMemo::OwnEnd(std::size_t at, Walk walk, std::uint32_t* value) {
    const HtmlNode* node = answers_[at].node;
    Question question = kTextDecoration;
    switch (walk) {
    case kDecorationWalk:
        if (node->Is(HtmlTag::kU) || node->Is(HtmlTag::kA) || node->Is(HtmlTag::kS) || node->Is(HtmlTag::kStrike))
            return kWalkedOut;
        break;
    case kFamilyWalk:
        if (node->Is(HtmlTag::kFont) && FindAttribute(node, "face") != nullptr) return kEndFontFace;
        if (node->Is(HtmlTag::kTt)) return kEndTt;
        question = kFontFamily;
        break;
    case kHighlightWalk:
        if (node->Is(HtmlTag::kTd) || node->Is(HtmlTag::kTh)) return kEndCell;
        question = kBackgroundColor;
        break;
    default:
        return kWalkedOut;
    }
    if (Ask(node, question) == nullptr) return kWalkedOut;
    *value = answers_[at].value[question] + 1;
    return kEndAnswer;
}

WalkMemo::WalkResult WalkMemo::Walked(const HtmlNode* from, Walk walk) {
    WalkResult result;
    if (walk >= kWalks) return result;
    CheckRules();
    const auto bit = static_cast<std::uint8_t>(1u << walk);
    std::uint32_t value = 0;
    walkChain_.clear();
    for (const HtmlNode* node = NearestElement(from); node != nullptr; node = NearestElement(node->parent)) {
        const std::size_t at = Place(node);
        if ((answers_[at].walked & bit) != 0) {
            result.end = answers_[at].walkEnd[walk];
            value = answers_[at].walkValue[walk];
            break;
        }
        walkChain_.push_back(at);
        const WalkEnd end = OwnEnd(at, walk, &value);
        if (end != kWalkedOut) {
            result.end = end;
            break;
        }
    }
    // Every element passed decides nothing of its own but the last: all
    // end where the walk ended.
    for (const std::size_t at : walkChain_) {
        answers_[at].walked |= bit;
        answers_[at].walkEnd[walk] = result.end;
        answers_[at].walkValue[walk] = value;
    }
    if (value != 0) result.value = &strings_[value - 1];
    return result;
}

std::uint8_t WalkMemo::DecorationTags(const HtmlNode* from) {
    CheckRules();
    std::uint8_t above = 0;
    walkChain_.clear();
    for (const HtmlNode* node = NearestElement(from); node != nullptr; node = NearestElement(node->parent)) {
        const std::size_t at = Place(node);
        if ((answers_[at].walked & kTagsWalked) != 0) {
            above = answers_[at].tagAttributes;
            break;
        }
        walkChain_.push_back(at);
    }
    for (auto at = walkChain_.rbegin(); at != walkChain_.rend(); ++at) {
        const HtmlNode* node = answers_[*at].node;
        if (node->Is(HtmlTag::kU) || node->Is(HtmlTag::kA)) {
            above |= kAttrUnderline;
        } else if (node->Is(HtmlTag::kS) || node->Is(HtmlTag::kStrike)) {
            above |= kAttrStrike;
        }
        answers_[*at].walked |= kTagsWalked;
        answers_[*at].tagAttributes = above;
    }
    return above;
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

void WalkMemo::KeepParagraph(const std::string& text, const ParsedParagraph& parsed) {
    if (paragraphs_.size() >= kMostParagraphs) paragraphs_.clear();
    paragraphs_.emplace(text, parsed);
}

} // namespace talix
