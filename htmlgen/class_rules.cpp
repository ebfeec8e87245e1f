#include "htmlgen/class_rules.h"

#include <cstring>

#include "htmlgen/generation_options.h"
#include "htmlgen/paragraph_definitions.h"
#include "htmlgen/style_text.h"
#include "htmlgen/table_writer.h"
#include "htmlgen/walk_records.h"
#include "talix/chunk.h"

namespace talix {

namespace {

constexpr long kInch = kTwipsPerInch;
constexpr long kListIndent = 360;      // a list's own quarter inch
constexpr double kShallowList = 0.2;   // inches beyond the first inch under which a list is padded
// A cell's left margin.
constexpr std::uint32_t kCellLeftMarginAt = 4;

const char* LineEnd(const XMLGenContext* context) {
    return context->newlines != NewlineMode::None && !IsOn(context, sw::kQuotedPrintable) ? "\n" : " ";
}

void LeftMargin(XMLGenContext* context, const ParagraphFields& f, std::string* rule) {
    const bool list = f.List();
    const bool inside = context->tableDepth > 0 || context->layerDepth > 0;
    const bool noMargin = (f.flags2 & kPara2NoMargin) != 0;
    if (f.extension && (f.flags2 & kPara2LeftOffset) != 0) {
        const long offset = f.leftOffset;
        if (list || noMargin) return;
        if (!inside && offset > kInch) AppendInches(rule, "margin-left", offset - kInch);
        if (inside && offset != kInch) AppendInches(rule, "margin-left", offset);
        return;
    }
    if (f.extension && (f.flags2 & kPara2LeftPercent) != 0) {
        const int percent = f.leftPercent;
        if (percent < 1) return;
        if (!list) {
            AppendFormat(rule, "margin-left: %3d%%; ", percent);
        } else if (percent < 3) {
            rule->append("margin-left: 2%; ");
        } else if (percent < 7) {
            AppendFormat(rule, "margin-left: 0%%; padding-left: %3d%%; ", percent);
        } else {
            AppendFormat(rule, "margin-left: %3d%%; padding-left: 7%%; ", percent - 7);
        }
        return;
    }
    const long left = f.leftMargin;
    if (!inside) {
        if (list && static_cast<double>(left) / kInch - 1.0 < kShallowList) {
            rule->append("padding-left: 0.25in; ");
            AppendInches(rule, "margin-left", left - kListIndent);
        } else if (!noMargin && left != kInch) {
            AppendInches(rule, "margin-left", left - kInch);
        }
        return;
    }
    const CDRecordNode* cell = CurrentTableLevel(context)->cellNode;
    const long cellLeft = cell != nullptr ? NodeWord(cell, kCellLeftMarginAt) : 0;
    if (list) {
        if (cell == nullptr) return;
        const long depth = left - cellLeft;
        rule->append("padding-left: 0.25in; ");
        AppendInches(rule, "margin-left", depth >= kListIndent ? depth - kListIndent : left - kListIndent);
        return;
    }
    if (!noMargin && !(cell != nullptr && left == cellLeft)) AppendInches(rule, "margin-left", left - kInch);
}

void RightMargin(const XMLGenContext* context, const ParagraphFields& f, std::string* rule) {
    if (!f.extension || (f.flags2 & (kPara2RightPercent | kPara2RightOffset)) != kPara2RightPercent) return;
    const int percent = f.rightPercent;
    if (percent < 1 || percent > 99) return;
    // The stored percentage places the right margin from the left edge: the
    // CSS margin is what lies beyond it, inside a table cell as outside.
    AppendFormat(rule, "margin-right: %3d%%; ", 100 - percent);
}

void FirstLineIndent(const XMLGenContext* context, const ParagraphFields& f, std::string* rule) {
    const bool relative = IsOn(context, sw::kRelativeIndents);
    if (f.extension && (f.flags2 & kPara2FirstLineOffset) != 0) {
        const long first = f.firstLineOffset, left = f.leftOffset;
        if (first == left) return;
        if (relative) {
            AppendInches(rule, "text-indent", first - kInch);
        } else if (first != 0) {
            AppendInches(rule, "text-indent", first - left);
        }
        return;
    }
    if (f.extension && (f.flags2 & kPara2FirstLinePercent) != 0) {
        const int first = f.firstLinePercent, left = f.leftPercent;
        if (first != left) AppendFormat(rule, "text-indent: %3d%%; ", relative ? first : first - left);
        return;
    }
    const long first = f.firstLineMargin, left = f.leftMargin;
    if (first != left) AppendInches(rule, "text-indent", relative ? first : first - left);
}

// The list style of a list definition; the graphic of a bulleted one, when
// the options give it, is the bullet's picture.
void ListStyle(const XMLGenContext* context, const ParagraphFields& f, bool* listImageSeen, std::string* rule) {
    const GenTexts& texts = context->texts;
    const char* style = "decimal";
    const char* graphic = nullptr;
    if (f.Bulleted()) {
        if ((f.flags2 & kPara2ListStyle800) != 0) {
            style = "circle";
            graphic = texts.cssCircleBulletGraphic;
        } else if ((f.flags2 & kPara2ListStyle2000) != 0) {
            style = "circle";
            const char* named = ImageReplacement(context, "_a_unchecked");
            graphic = named != nullptr ? named : texts.cssCheckBulletGraphic;
        } else if ((f.flags2 & kPara2ListStyle1000) != 0) {
            style = "square";
            graphic = texts.cssSquareBulletGraphic;
        } else {
            style = "disc";
            if ((f.flags2 & kPara2ListStyle2) != 0) {
                const char* named = ImageReplacement(context, "_a_checked");
                graphic = named != nullptr ? named : texts.cssCheckBulletGraphic;
            } else {
                graphic = texts.cssBulletGraphic;
            }
        }
    } else {
        const bool b800 = (f.flags2 & kPara2ListStyle800) != 0, b1000 = (f.flags2 & kPara2ListStyle1000) != 0,
                   b2 = (f.flags2 & kPara2ListStyle2) != 0;
        style = b800 && b1000 && b2 ? "lower-alpha"
                : b800 && b2        ? "upper-roman"
                : b1000 && b2       ? "lower-roman"
                : b800 && b1000     ? "upper-alpha"
                                    : "decimal";
    }
    if (graphic != nullptr && graphic[0] != '\0') {
        AppendFormat(rule, "list-style: url('%s') %s; ", graphic, style);
        *listImageSeen = true;
    } else if (*listImageSeen) {
        AppendFormat(rule, "list-style: url('') %s; ", style);
    } else {
        AppendFormat(rule, "list-style-type: %s; ", style);
    }
    rule->append("margin-top: 0; margin-bottom: 0; ");
}

} // namespace

std::string SpacingDeclarations(const XMLGenContext* context, std::uint16_t lineSpacing,
                                std::uint16_t spacingBefore, std::uint16_t spacingAfter, bool anyOther) {
    auto half = [anyOther](std::uint16_t value) { return value == 1 || (anyOther && value != 0 && value != 2); };
    std::string text;
    if (lineSpacing == 2) text += "line-height: 2em; ";
    if (half(lineSpacing)) text += "line-height: 1.5em; ";
    if (spacingBefore == 2) text += "margin-top: 1em; ";
    if (half(spacingBefore)) text += "margin-top: 0.5em; ";
    if (spacingAfter == 2) text += "margin-bottom: 1em; ";
    if (half(spacingAfter) || (spacingAfter == 0 && IsOn(context, sw::kUsePTags))) text += "margin-bottom: 0.5em; ";
    return text;
}

std::string ComposeClassRule(XMLGenContext* context, CDRecordNode* definition, bool* listImageSeen) {
    const ParagraphFields f = ReadParagraphFields(definition);
    const bool inlineStyles = IsOn(context, sw::kMoveStylesInline);
    const char* element = f.Bulleted() ? "ul" : f.Numbered() ? "ol" : "div";
    std::string rule;
    if (!inlineStyles) AppendFormat(&rule, "%s.pabid%u {", element, f.id);
    if (f.List()) AddUsedPABDefinition(context, definition);

    LeftMargin(context, f, &rule);
    RightMargin(context, f, &rule);
    FirstLineIndent(context, f, &rule);
    if ((f.flags2 & kPara2RightToLeft) != 0) {
        rule += " direction: rtl;";
        context->rightToLeftSeen = 1;
    } else if (context->rightToLeftSeen != 0) {
        rule += " direction: ltr;";
    }
    if (f.List()) ListStyle(context, f, listImageSeen, &rule);

    // Spacing: a list's goes to its items, in a rule of its own.
    const std::string spacing = SpacingDeclarations(context, f.lineSpacing, f.spacingBefore, f.spacingAfter, false);
    const bool noSpacing = f.lineSpacing == 0 && f.spacingBefore == 0 && f.spacingAfter == 0;
    if (inlineStyles || noSpacing) {
        if (!f.List()) rule += spacing;
    } else if (f.List()) {
        rule += "}";
        rule += LineEnd(context);
        AppendFormat(&rule, "%s.pabid%u LI {", element, f.id);
        rule += spacing;
    } else {
        rule += spacing;
    }

    if (!inlineStyles) {
        rule += "} ";
    } else if (rule.size() >= 2 && rule.back() == ' ') {
        rule.pop_back();
    }
    return rule;
}

std::string CellBorderCode(const CDRecordNode* cell) {
    const CellBorders borders = ReadCellBorders(cell);
    std::string code;
    // A digit per side, widths from 10 up as the letters a to f: written as
    // decimal numbers, 1,0,11,0 and 10,1,1,0 would share a code and the
    // second cell would take the first's rule.
    AppendFormat(&code, "%x%x%x%x", borders.top, borders.right, borders.bottom, borders.left);
    return code;
}

std::string ComposeBorderRule(const XMLGenContext* context, const CDRecordNode* cell) {
    const CellBorders borders = ReadCellBorders(cell);
    std::string rule;
    if (!IsOn(context, sw::kMoveStylesInline)) AppendFormat(&rule, "td.brdr%s {", CellBorderCode(cell).c_str());
    if (borders.All(borders.top)) {
        if (borders.top == 0) {
            rule += "border:none; ";
        } else {
            AppendFormat(&rule, "border:%upx solid black", borders.top);
        }
        return rule;
    }
    auto side = [&rule](const char* none, const char* format, unsigned width) {
        if (width == 0) {
            rule += none;
        } else {
            AppendFormat(&rule, format, width);
        }
    };
    side("border-top:none; ", "border-top:%upx solid black; ", borders.top);
    side("border-left:none; ", "border-left:%upx solid black; ", borders.left);
    side("border-right:none; ", "border-right: %upx solid black; ", borders.right);
    side("border-bottom:none; ", "border-bottom: %upx solid black; ", borders.bottom);
    rule.resize(rule.size() - 2);
    return rule;
}

} // namespace talix
