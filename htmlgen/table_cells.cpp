// The cells of a table: which cell is written at a position (a merged
// block is stored on its last cell and written at its first position), the
// row start with its row group, and the cell element with its header kind,
// width, borders, alignment, colour and spans.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/chunk_types.h"
#include "core/font_match.h"
#include "core/font_spec.h"
#include "core/mime_ids.h"
#include "core/options.h"
#include "core/record_layouts.h"
#include "core/signature_groups.h"
#include "core/text_compare.h"
#include "htmlgen/cell_navigation.h"
#include "htmlgen/class_rules.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/document_addresses.h"
#include "htmlgen/extra_attributes.h"
#include "htmlgen/images.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/paragraph_definitions.h"
#include "htmlgen/span_owners.h"
#include "htmlgen/stored_attributes.h"
#include "htmlgen/style_rules.h"
#include "htmlgen/table_writer.h"
#include "htmlgen/walk_dispatch.h"
#include "htmlgen/walk_records.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

constexpr std::uint32_t kTwipsPerPixel = 15;
constexpr double kTwipsPerInch = 1440.0;
// Data flags record: entry count, element kind, entries.
constexpr std::uint32_t kDataCountAt = 2, kDataKindAt = 4, kDataEntriesAt = 12;
constexpr std::uint32_t kColumnHeader = 0x1, kRowHeader = 0x2;
// Paragraph definition: justification and margins.
constexpr std::uint32_t kJustificationAt = 6, kLeftMarginAt = 14, kRightMarginAt = 16;
constexpr std::uint16_t kJustifyRight = 1, kJustifyFull = 2, kJustifyCentre = 3;
// Table colour style bits of the begin record.
constexpr std::uint16_t kStyleAll = 0x0080 | 0x0100 | 0x0200 | 0x0400 | 0x0800 | 0x2000 | 0x4000;
constexpr int kLastPaletteIndex = 239;
// Image reference of a cell: flags, type words, name length, the lengths
// of the two texts before the name, and where the texts start; the
// placement record after it.
constexpr std::uint32_t kReferenceFlagsAt = 4, kReferenceTypeAt = 8, kReferenceUseAt = 10,
                        kReferenceNameLengthAt = 12, kReferenceFirstLengthAt = 14,
                        kReferenceSecondLengthAt = 16, kReferenceTextsAt = 36, kPlacementAt = 4;
constexpr std::uint32_t kReferenceIsFormula = 0x1;
constexpr std::uint16_t kBackgroundType = 3, kBackgroundUse = 19;

// Whether the cell belongs to the row group keyword's group.
bool GroupOn(std::vector<char>* other, const char* key) {
    std::vector<char> value(other->size() + 1, '\0');
    const bool on = GetOptionValue(other->data(), key, value.data(), static_cast<std::uint32_t>(value.size())) != 0 &&
                    EqualNoCase(value.data(), "Yes");
    RemoveOption(other->data(), key);
    return on;
}

// The cell's id/name record (before the next cell), or null.
const CDRecordNode* CellIdName(const XMLGenContext* context, const CDRecordNode* cell) {
    for (const CDRecordNode* node = cell->next; InRange(context, node); node = node->next) {
        if (IsCellRecord(node->signature) || IsTableEndRecord(node->signature) || IsTableBeginRecord(node->signature))
            return nullptr;
        if (node->signature == kSigTableCellIdName) return node;
    }
    return nullptr;
}

std::string OtherOf(const CDRecordNode* idName) {
    TableCall scratch;
    TakeOtherText(&scratch, idName);
    std::string text = scratch.other;
    if (!scratch.caption.empty()) text += " Caption=" + scratch.caption;
    return text;
}

// The row start: the previous row closes, the row group and the tab row
// of the row come first, then "<tr".
void StartRow(XMLGenContext* context, TableCall* call, const CDRecordNode* position, const CDRecordNode* cell) {
    TableLevelState* level = CurrentTableLevel(context);
    const bool firstRow = level->rowStartRow < 0;
    const bool accordion = level->animated != 0 && IsOn(context, sw::kSupportRico);
    // The row before ends, when it is still open: a covered row's place was
    // written whole, and a row of the table around this one stays open.
    if (!firstRow && !accordion && HasCloseTagBefore(context, "</tr>", "</table>") != 0)
        CloseOpenXMLTagsToOutput(context, "</tr>", 1, 1, 0, 0);
    if (accordion) WriteAccordionRow(context, position, firstRow);
    if (context->elementType != kTypeColumn) {
        const CDRecordNode* idName = CellIdName(context, cell);
        if (idName != nullptr) {
            std::string text = OtherOf(idName);
            std::vector<char> other(text.begin(), text.end());
            other.push_back('\0');
            const bool head = GroupOn(&other, "TalixTHEAD=");
            const bool foot = GroupOn(&other, "TalixTFOOT=");
            const bool body = GroupOn(&other, "TalixTBODY=");
            // Only the row groups of this table close: a group of a table
            // around it holds the cell this table stands in. A group never
            // opens inside another, and a header or footer row after one of
            // its kind goes on in the group open.
            auto open = [context](const char* tag) { return HasCloseTagBefore(context, tag, "</table>") != 0; };
            auto close = [context, &open](const char* tag) {
                if (open(tag)) CloseOpenXMLTagsToOutput(context, tag, 1, 1, 0, 0);
            };
            if (head) {
                if (!open("</thead>")) {
                    close("</tfoot>");
                    close("</tbody>");
                    AppendOutput(context, "<thead>");
                    PushCloseTag(context, "</thead>");
                }
            } else if (foot) {
                close("</thead>");
                if (!open("</tfoot>")) {
                    close("</tbody>");
                    AppendOutput(context, "<tfoot>");
                    PushCloseTag(context, "</tfoot>");
                }
            } else if (body) {
                close("</thead>");
                close("</tfoot>");
                close("</tbody>");
                AppendOutput(context, "<tbody>");
                PushCloseTag(context, "</tbody>");
            }
        }
    }
    if (level->tabbed != 0 && IsOn(context, sw::kZelundaTabs)) WriteTabRow(context, cell);
    const unsigned row = NodeByte(position, kCellRowAt);
    AppendOutput(context, "<tr");
    if (IsOn(context, sw::kAutoTagRow)) {
        if (context->tableDepth < 2) {
            AppendPrintf(context, " id='tbl%u_r%u'", level->tableNumber, row + 1);
        } else {
            AppendPrintf(context, " id='n%utbl%u_r%u'", context->tableDepth, level->tableNumber, row + 1);
        }
    }
    level->rowFlags = NodeByte(cell, kCellFlagsAt);
    if (!OtherHas(*call, "valign=") && !IsOn(context, sw::kSparseTable)) {
        const char* align = (level->rowFlags & kCellBottom) != 0   ? "bottom"
                            : (level->rowFlags & kCellMiddle) != 0 ? "middle"
                                                                    : "top";
        AppendPrintf(context, " valign='%s'", align);
    }
    AppendOutput(context, ">");
    PushCloseTag(context, "</tr>");
    level->rowStartRow = row;
}

// Whether a cell is written as a header cell, and the scope a data-flags
// record gives it ("" when none).
bool HeaderCell(XMLGenContext* context, TableLevelState* level, const CDRecordNode* cell, const char** scope) {
    *scope = "";
    bool header = false;
    bool idNameSeen = false;
    for (const CDRecordNode* node = cell->next; InRange(context, node); node = node->next) {
        const std::uint16_t signature = node->signature;
        if (IsCellRecord(signature) || IsTableEndRecord(signature) || IsTableBeginRecord(signature)) break;
        if (IsTextRun(signature) && IsOn(context, sw::kAutoTHFont) && !idNameSeen && node->length >= kTextRunHeader) {
            // The font of the last run before the id/name record counts; a
            // cell without one keeps the font of an earlier cell.
            level->headerFont = ReadFontId(node->bytes + 4);
            level->headerFontKnown = 1;
        }
        if (signature == kSigTableCellIdName) idNameSeen = true;
        if (signature == kSigTableCellDataFlags && NodeWord(node, kDataKindAt) == kSigPabReference) {
            const std::uint32_t count = NodeWord(node, kDataCountAt);
            for (std::uint32_t i = 0; i < count && kDataEntriesAt + 4 * i + 4 <= node->length; ++i) {
                const std::uint32_t flags = NodeDword(node, kDataEntriesAt + 4 * i);
                if ((flags & (kColumnHeader | kRowHeader)) != 0) {
                    header = true;
                    if ((*scope)[0] == '\0') *scope = (flags & kRowHeader) != 0 ? " scope=\"row\"" : " scope=\"col\"";
                }
            }
        }
    }
    if (IsOn(context, sw::kAutoTHFont) && level->headerFontKnown != 0 &&
        MatchFontID(level->headerFont, context->headerCellFont, context->headerCellFontMask) != 0)
        header = true;
    const unsigned row = NodeByte(cell, kCellRowAt), column = NodeByte(cell, kCellColumnAt);
    if ((level->dataTableKind == 1 || level->dataTableKind == 2) && row == 0) header = true;
    if ((level->dataTableKind == 3 || level->dataTableKind == 4) && column == 0) header = true;
    return header;
}

// For a cell spanning columns: the first paragraph definition met in it
// (directly or through a paragraph's remapped id).
const CDRecordNode* SpanningDefinition(XMLGenContext* context, const CDRecordNode* cell) {
    for (const CDRecordNode* node = cell->next; InRange(context, node); node = node->next) {
        const std::uint16_t signature = node->signature;
        if (IsCellRecord(signature) || IsTableEndRecord(signature) || IsTableBeginRecord(signature) ||
            signature == kSigTableCellIdName)
            return nullptr;
        if (signature == kSigPabDefinition) return node;
        if (signature == kSigPabReference)
            return NearestDefinitionBefore(context, node, RemapPABID(context, NodeWord(node, 2)));
    }
    return nullptr;
}

bool ColumnFixed(const TableLevelState* level, unsigned column) {
    if (level->preTable == nullptr) return false;
    if (column < 32) return (NodeDword(level->preTable, kPreColumnsAt) >> column & 1u) != 0;
    if (column < 64) return (NodeDword(level->preTable, kPreMoreColumnsAt) >> (column - 32) & 1u) != 0;
    return false;
}

// The table's border style word and colour.
const char* TableBorderStyle(const TableLevelState* level) {
    if ((level->beginFlags & kTableExtruded) != 0) return "ridge";
    if ((level->beginFlags & kTableEmbossed) != 0) return "groove";
    return "solid";
}
bool BorderColourSet(const TableLevelState* level) {
    return level->preTable != nullptr && (NodeWord(level->preTable, kPreBorderColourFlagsAt) & 1u) != 0;
}
std::string TableBorderColour(const TableLevelState* level) {
    if (!BorderColourSet(level)) return "black";
    char text[16];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", NodeByte(level->preTable, kPreBorderColourAt),
                  NodeByte(level->preTable, kPreBorderColourAt + 1), NodeByte(level->preTable, kPreBorderColourAt + 2));
    return text;
}

void AppendPadding(std::string* style, const TableLevelState* level) {
    if (level->beginWords[0] == 0 && level->beginWords[1] == 0) return;
    char text[64];
    plat::FormatText(text, sizeof text, "padding: %6.4fin %6.4fin; ", level->beginWords[1] / kTwipsPerInch,
                  level->beginWords[0] / kTwipsPerInch);
    *style += text;
}

void AppendSide(std::string* style, const char* side, unsigned width, const char* word, const std::string& colour) {
    char text[96];
    if (width == 0) {
        std::snprintf(text, sizeof text, "border-%s: none; ", side);
    } else {
        std::snprintf(text, sizeof text, "border-%s: %upx %s %s; ", side, width, word, colour.c_str());
    }
    *style += text;
}

// A cell's background picture: its CSS and the element's attribute.
struct CellBackground {
    std::string css;
    std::string attribute;
};

// The first image reference of the cell marked as its background (nested
// tables passed over), with the placement record after it.
CellBackground ReadCellBackground(XMLGenContext* context, const CDRecordNode* cell) {
    CellBackground background;
    if (IsOn(context, sw::kStandardFontTags)) return background;
    int nesting = 0;
    for (const CDRecordNode* node = cell->next; InRange(context, node); node = node->next) {
        const std::uint16_t signature = node->signature;
        if (IsTableBeginRecord(signature)) {
            ++nesting;
            continue;
        }
        if (IsTableEndRecord(signature)) {
            if (nesting == 0) break;
            --nesting;
            continue;
        }
        if (nesting != 0) continue;
        if (IsCellRecord(signature)) break;
        if ((signature != kSigTableCellHref && signature != kSigTableCellHref2) ||
            NodeWord(node, kReferenceTypeAt) != kBackgroundType || NodeWord(node, kReferenceUseAt) != kBackgroundUse)
            continue;
        const std::uint32_t nameLength = NodeWord(node, kReferenceNameLengthAt);
        const std::uint32_t nameAt = kReferenceTextsAt + NodeWord(node, kReferenceFirstLengthAt) +
                                     NodeWord(node, kReferenceSecondLengthAt);
        if (nameAt > node->length || nameLength > node->length - nameAt) break;
        const auto* stored = node->bytes + nameAt;
        std::string name;
        if ((NodeDword(node, kReferenceFlagsAt) & kReferenceIsFormula) != 0) {
            KeepStatus(context, EvaluateStoredFormula(context, stored, nameLength, &name));
        } else {
            name.assign(reinterpret_cast<const char*>(stored), strnlen(reinterpret_cast<const char*>(stored), nameLength));
        }
        // The resource is looked up under its stored name; the HTML names it
        // by its Content-ID.
        name = name.substr(0, name.find('|'));
        if (name.empty() || ResourceContentId(name).empty()) break;
        // A MIME message carries the picture only when it can be handed over.
        if (context->mimeMode != 0 && !ImageResourceTravels(context, node, name)) break;
        const CDRecordNode* placement = node->next;
        const int repeat = placement != nullptr && placement->signature == kSigCellBackgroundData
                               ? NodeByte(placement, kPlacementAt)
                               : -1;
        const std::string contentId = ImageResourceContentId(context, node, name);
        background.css = "background-image: url(cid:" + contentId + ");";
        background.css += repeat < 0 || repeat == 4 ? "background-repeat:repeat;"
                          : repeat == 2            ? "background-repeat:repeat-y;"
                          : repeat == 3            ? "background-repeat:repeat-x;"
                          : repeat == 5            ? "background-size:100%;"
                                                   : "background-repeat:no-repeat;";
        background.css += repeat == 6 ? "background-position:center;" : "background-position:left top;";
        background.attribute = " background=\"cid:" + contentId + "\"";
        break;
    }
    return background;
}

// The borders of the cell: a class, attributes or style.
void WriteCellBorders(XMLGenContext* context, const TableCall& call, const CDRecordNode* cell, std::string* style) {
    const TableLevelState* level = CurrentTableLevel(context);
    const CellBorders borders = ReadCellBorders(cell);
    // The background goes into the style in every form, so that it is
    // never dropped; the attribute only where the border is not plain.
    const CellBackground background = ReadCellBackground(context, cell);
    *style += background.css;
    const bool plain = (level->beginFlags & (kTableExtruded | kTableEmbossed)) == 0 && !BorderColourSet(level);
    const char* word = TableBorderStyle(level);
    const std::string colour = TableBorderColour(level);
    char text[96];
    if (level->borderMode < 0) {
        if (!IsOn(context, sw::kCSSBorders) || IsOn(context, sw::kSparseTable) || context->sectionBox != 0 ||
            level->noCellBorders != 0 || OtherHas(call, "class="))
            return;
        if (plain) {
            const std::string code = CellBorderCode(cell);
            if (IsOn(context, sw::kMoveStylesInline)) {
                const char* rule = FindBorderRule(context, code.c_str());
                if (rule == nullptr && context->borderRuleCount > 0) rule = context->borderRules[0].text;
                if (rule != nullptr) {
                    const char* brace = std::strchr(rule, '{');
                    *style += brace != nullptr ? brace + 1 : rule;
                }
            } else {
                AppendOutput(context, " class='brdr");
                AppendOutput(context, code.c_str());
                AppendOutput(context, "'");
            }
            return;
        }
        AppendPadding(style, level);
        if (borders.All(0)) {
            *style += "border: none; ";
        } else if (borders.All(borders.top)) {
            std::snprintf(text, sizeof text, "border: %upx %s %s; ", borders.top, word, colour.c_str());
            *style += text;
        } else {
            AppendSide(style, "top", borders.top, word, colour);
            AppendSide(style, "left", borders.left, word, colour);
            AppendSide(style, "right", borders.right, word, colour);
            AppendSide(style, "bottom", borders.bottom, word, colour);
        }
        if (!style->empty() && style->back() == ' ') style->pop_back();
        return;
    }
    // No cell element of XHTML takes a border attribute: there the style
    // alone carries the border.
    if (context->format != kFormatXHTML) AppendPrintf(context, " border=\"%u\"", borders.left);
    if (plain) {
        std::snprintf(text, sizeof text, "border: %upx solid black; ", borders.left);
        *style += text;
    } else {
        if (context->format != kFormatXHTML) AppendOutput(context, background.attribute.c_str());
        AppendPadding(style, level);
        std::snprintf(text, sizeof text, "border: %upx %s %s; ", borders.left, word, colour.c_str());
        *style += text;
    }
}

// Whether the cell's start tag being written holds the attribute already
// (an id: its stored id, one among its other attributes, or its data-table
// id; a scope: the one its data flags give): the attribute the writer makes
// then gives way, so that the tag holds one.
bool StartTagHas(XMLGenContext* context, const char* name) {
    MoveToTextEnd(context);
    const std::vector<std::string> names = OpenStartTagNames(
        std::string_view(context->buffer, static_cast<std::size_t>(context->writePosition - context->buffer)));
    return std::find(names.begin(), names.end(), name) != names.end();
}
bool StartTagHasId(XMLGenContext* context) { return StartTagHas(context, "id"); }

// Writes the cell element of the cell (its tag, attributes and ">").
void WriteCellElement(XMLGenContext* context, TableCall* call, CDRecordNode* cell) {
    TableLevelState* level = CurrentTableLevel(context);
    const unsigned row = NodeByte(cell, kCellRowAt), column = NodeByte(cell, kCellColumnAt);
    const unsigned rowSpan = NodeByte(cell, kCellRowSpanAt), columnSpan = NodeByte(cell, kCellColumnSpanAt);
    const CDRecordNode* idName = CellIdName(context, cell);
    if (idName != nullptr && call->haveOther) ReleaseCallTexts(call, kCleanUpCellIdName);
    call->other = idName != nullptr ? OtherOf(idName) : std::string();
    call->haveOther = !call->other.empty();
    const char* scope = "";
    const bool header = HeaderCell(context, level, cell, &scope);
    // The previous cell of the row closes.
    if (HasCloseTagBefore(context, "</td>", "</tr>") != 0) CloseOpenXMLTagsToOutput(context, "</td>", 1, 1, 0, 0);
    if (HasCloseTagBefore(context, "</th>", "</tr>") != 0) CloseOpenXMLTagsToOutput(context, "</th>", 1, 1, 0, 0);
    AppendOutput(context, header ? "<th" : "<td");
    AppendOutput(context, scope);
    level->cellWritten = 1;
    // The cell's stored style goes into the style attribute of its borders.
    // In XHTML, where a start tag may hold one style attribute, so does a
    // style among its other attributes.
    std::string storedStyle, otherStyle;
    if (context->format == kFormatXHTML && call->haveOther && TakeAttribute(&call->other, "style", &otherStyle))
        call->haveOther = !call->other.empty();
    if (idName != nullptr) {
        std::vector<char> extra(call->other.begin(), call->other.end());
        extra.push_back('\0');
        const std::vector<std::uint8_t> rest = TakeIDNameStyle(idName->bytes, idName->length, &storedStyle);
        WriteIDNameAttributes(rest.data(), static_cast<std::uint32_t>(rest.size()), context, extra.data());
    }
    const std::size_t styleEnd = storedStyle.find_last_not_of(" \t");
    if (styleEnd != std::string::npos && !otherStyle.empty()) {
        storedStyle.resize(styleEnd + 1);
        if (storedStyle.back() != ';') storedStyle += ';';
        storedStyle += ' ';
    }
    storedStyle += otherStyle;
    const bool sparse = IsOn(context, sw::kSparseTable);
    // Width and justification.
    const CDRecordNode* definition = columnSpan >= 2 ? SpanningDefinition(context, cell) : nullptr;
    unsigned twips = NodeWord(cell, kCellRightAt) > NodeWord(cell, kCellLeftAt)
                         ? NodeWord(cell, kCellRightAt) - NodeWord(cell, kCellLeftAt)
                         : 0;
    if (definition != nullptr) {
        const unsigned left = NodeWord(definition, kLeftMarginAt), right = NodeWord(definition, kRightMarginAt);
        twips = right > left ? right - left : (NodeWord(cell, kCellRightAt) > left ? NodeWord(cell, kCellRightAt) - left : 1440);
    }
    if (!OtherHas(*call, "width=") && (!sparse || IsOn(context, sw::kSparseWidth))) {
        unsigned pixels = twips / kTwipsPerPixel;
        const unsigned leftBorder = ReadCellBorders(cell).left;
        if (leftBorder < pixels) pixels -= leftBorder;
        if (level->fitToWindow == 0 || ColumnFixed(level, column)) {
            AppendPrintf(context, " width='%u'", pixels);
        } else if (twips > 0 && level->fitWidth > 0) {
            AppendPrintf(context, " width='%2.0f%%'", twips * 100.0 / level->fitWidth);
        } else {
            AppendPrintf(context, " width='%u'", pixels);
        }
    }
    // Data-table attributes and the automatic id.
    switch (level->dataTableKind) {
    case 1:
        if (row == 0) {
            if (!StartTagHasId(context)) AppendPrintf(context, " id='c%u'", column + 1);
        } else if (!OtherHas(*call, "headers=")) {
            AppendPrintf(context, " headers='c%u'", column + 1);
        }
        break;
    case 2:
        if (row == 0 && !OtherHas(*call, "scope=") && !StartTagHas(context, "scope")) AppendOutput(context, " scope='col'");
        break;
    case 3:
        if (column == 0 && !OtherHas(*call, "scope=") && !StartTagHas(context, "scope"))
            AppendOutput(context, " scope='row'");
        break;
    case 4:
        if (column == 0) {
            if (!StartTagHasId(context)) AppendPrintf(context, " id='r%u'", row + 1);
        } else if (!OtherHas(*call, "headers=")) {
            AppendPrintf(context, " headers='r%u'", row + 1);
        }
        break;
    default:
        break;
    }
    if (IsOn(context, sw::kAutoTagCell) && !StartTagHasId(context)) {
        if (context->tableDepth < 2) {
            AppendPrintf(context, " id='tbl%u_r%u_c%u'", level->tableNumber, row + 1, column + 1);
        } else {
            AppendPrintf(context, " id='n%utbl%u_r%u_c%u'", context->tableDepth, level->tableNumber, row + 1,
                         column + 1);
        }
    }
    std::string style;
    WriteCellBorders(context, *call, cell, &style);
    if (!OtherHas(*call, "align=") && !sparse && !IsOn(context, sw::kForceParagraphs) && definition != nullptr) {
        switch (NodeWord(definition, kJustificationAt)) {
        case kJustifyRight: AppendOutput(context, " align='right'"); break;
        case kJustifyFull: AppendOutput(context, " align='justify'"); break;
        case kJustifyCentre: AppendOutput(context, " align='center'"); break;
        default: break;
        }
    }
    if (!OtherHas(*call, "bgcolor=") && !sparse) {
        std::string value;
        const std::string attribute = CellColourAttribute(context, cell, &value);
        if (!attribute.empty()) {
            AppendOutput(context, attribute.c_str());
            if (value.size() < sizeof level->cellColour) std::snprintf(level->cellColour, sizeof level->cellColour, "%s", value.c_str());
        }
    }
    const std::uint8_t flags = NodeByte(cell, kCellFlagsAt);
    if (column != 0 && (flags & (kCellBottom | kCellMiddle)) != (level->rowFlags & (kCellBottom | kCellMiddle)) &&
        !OtherHas(*call, "valign=") && !sparse) {
        AppendPrintf(context, " valign='%s'",
                     (flags & kCellBottom) != 0 ? "bottom" : (flags & kCellMiddle) != 0 ? "middle" : "top");
    }
    if (columnSpan > 1) AppendPrintf(context, " colspan='%u'", columnSpan);
    if (rowSpan > 1) {
        AppendPrintf(context, " rowspan='%u'", rowSpan);
        level->resumeFlag = level->resumeNode != nullptr ? 1 : 0;
    }
    if (!style.empty() || !storedStyle.empty()) {
        AppendPrintf(context, " style=\"%s", context->openBrace);
        WriteStoredStyle(context, storedStyle);
        AppendPrintf(context, "%s%s\"", style.c_str(), context->closeBrace);
    }
    AppendOutput(context, ">");
    PushCloseTag(context, header ? "</th>" : "</td>");
    // The row's division of a tabbed table opens in the row's first cell:
    // that of column 0, or the first after it when a block from a row above
    // covers column 0 (or the row stores no cell there), so that the row's
    // tab still has the row to show.
    const bool rowKnown = level->rowStartRow >= 0;
    if (IsOn(context, sw::kTabbedTablesInCSS) && level->tabbed != 0 &&
        (rowKnown ? level->tabDivisionRow != level->rowStartRow : column == 0)) {
        WriteCSSTabbedRow(context, cell);
        level->tabDivisionRow = level->rowStartRow;
    }
    call->other.clear();
    call->haveOther = false;
}

// The row of a skipped cell had no cell written: it keeps its place. Only
// the row and cell of this table close: a table nested in the cell before
// has ended, and the cells and rows of the tables around this one stay open.
void WriteCoveredRow(XMLGenContext* context, TableLevelState* level, unsigned row) {
    if (HasCloseTagBefore(context, "</td>", "</tr>", "</table>") != 0)
        CloseOpenXMLTagsToOutput(context, "</td>", 1, 1, 0, 0);
    if (HasCloseTagBefore(context, "</th>", "</tr>", "</table>") != 0)
        CloseOpenXMLTagsToOutput(context, "</th>", 1, 1, 0, 0);
    if (level->rowStartRow >= 0 && HasCloseTagBefore(context, "</tr>", "</table>") != 0)
        CloseOpenXMLTagsToOutput(context, "</tr>", 1, 1, 0, 0);
    AppendOutput(context, "<tr></tr>");
    level->rowStartRow = static_cast<int>(row);
}

} // namespace

CellBorders ReadCellBorders(const CDRecordNode* cell) {
    CellBorders borders;
    if ((NodeByte(cell, kCellFlagsAt) & kCellWideBorders) != 0) {
        const unsigned word = NodeWord(cell, kCellWideBordersAt);
        borders.left = word & 0xF;
        borders.right = word >> 4 & 0xF;
        borders.top = word >> 8 & 0xF;
        borders.bottom = word >> 12 & 0xF;
    } else {
        const unsigned byte = NodeByte(cell, kCellBordersAt);
        borders.left = byte & 3;
        borders.right = byte >> 2 & 3;
        borders.top = byte >> 4 & 3;
        borders.bottom = byte >> 6 & 3;
    }
    return borders;
}

std::string CellColourAttribute(XMLGenContext* context, const CDRecordNode* cell, std::string* value) {
    char text[48];
    for (const CDRecordNode* node = cell->next; InRange(context, node); node = node->next) {
        const std::uint16_t signature = node->signature;
        if (IsCellRecord(signature) || IsTableEndRecord(signature) || IsTableBeginRecord(signature)) break;
        if (signature == kSigTableCellColor) {
            std::snprintf(text, sizeof text, "#%02x%02x%02x", NodeByte(node, 4), NodeByte(node, 5), NodeByte(node, 6));
            *value = text;
            return " bgcolor=\"" + *value + "\"";
        }
    }
    const unsigned index = NodeWord(cell, kCellColourAt);
    if (index >= 1 && index <= kLastPaletteIndex) {
        std::snprintf(text, sizeof text, "#%06x", PaletteRGB(index) & 0xFFFFFFu);
        *value = text;
        return " bgcolor='" + *value + "'";
    }
    const TableLevelState* level = CurrentTableLevel(context);
    if (level->preTable == nullptr) return {};
    const std::uint16_t style = level->beginFlags;
    const unsigned row = NodeByte(cell, kCellRowAt), column = NodeByte(cell, kCellColumnAt);
    const TableExtra* extra = level->beginNode != nullptr ? static_cast<const TableExtra*>(RecordExtra(level->beginNode)) : nullptr;
    const bool lastColumn = extra != nullptr && column + 1 == extra->columns;
    int choice = 0;   // 1: A, 2: B
    if ((style & kStyleAll) == kStyleAll) choice = 1;
    else if ((style & 0x0400) != 0) choice = column % 2 == 1 ? 1 : 2;
    else if ((style & 0x0800) != 0) choice = row % 2 == 1 ? 1 : 2;
    else if ((style & 0x0080) != 0) choice = row == 0 || column == 0 ? 1 : 2;
    else if ((style & 0x0200) != 0) choice = column == 0 ? 1 : 2;
    else if ((style & 0x0100) != 0) choice = row == 0 ? 1 : 2;
    else if ((style & 0x2000) != 0) choice = row == 0 || lastColumn ? 1 : 2;
    else if ((style & 0x4000) != 0) choice = lastColumn ? 1 : 2;
    if (choice == 0) return {};
    const std::uint32_t at = choice == 1 ? kPreColourAAt : kPreColourBAt;
    std::snprintf(text, sizeof text, "#%02x%02x%02x", NodeByte(level->preTable, at), NodeByte(level->preTable, at + 1),
                  NodeByte(level->preTable, at + 2));
    *value = text;
    return " bgcolor=\"" + *value + "\"";
}

STATUS ArriveAtCell(XMLGenContext* context, TableCall* call, bool firstOfCall) {
    CDRecordNode* cell = context->node;
    if (cell == nullptr) return kOperationFailed;
    // A range that begins inside a table continues the table the previous
    // range left open, or else gets the table's start tag (and a row's when
    // it does not begin at a row's start), so that its cells are not written
    // outside a table; EncapsulateTable asks for it once per generation, and
    // every later range in another table needs it as much.
    if (firstOfCall && context->tableDepth == 0 && !ContinueOpenTable(context, cell)) {
        EncapsulateTable(context, call, cell);
        if (NodeByte(cell, kCellColumnAt) != 0) {
            AppendOutput(context, "<tr>");
            PushCloseTag(context, "</tr>");
            CurrentTableLevel(context)->rowStartRow = NodeByte(cell, kCellRowAt);
        }
    }
    TableLevelState* level = CurrentTableLevel(context);
    const bool firstOfTable = level->rowStartRow < 0 && level->cellWritten == 0;
    // The cell to write at this position.
    CDRecordNode* write = nullptr;
    CDRecordNode* position = cell;
    for (;;) {
        const std::uint8_t flags = NodeByte(position, kCellFlagsAt);
        const std::uint8_t rows = NodeByte(position, kCellRowSpanAt), columns = NodeByte(position, kCellColumnSpanAt);
        const bool hidden = (flags & kCellHidden) != 0;
        const bool spanning = rows > 1 || columns > 1;
        const SpanOwners* owners = (hidden || spanning) ? SpanOwnersOf(context, level, position) : nullptr;
        const std::uint32_t where = CellPosition(TableRowOf(owners, position), NodeByte(position, kCellColumnAt));
        if (!hidden && !spanning) {
            write = position;
        } else if (owners != nullptr) {
            if (WrittenAtBlockStart(owners, position)) {
                // Written at its block's first position, which came before.
            } else if (hidden && owners->hidden.count(where) != 0) {
                // An empty hidden cell gives its place to the block that
                // begins there; one that no block covers is written where
                // it stands.
                const auto found = owners->owners.find(where);
                if (found != owners->owners.end()) {
                    write = found->second;
                } else if (owners->covered.count(where) == 0) {
                    write = position;
                }
            } else {
                // A spanning cell whose block has no hidden first cell of
                // its own, and a hidden cell that holds words: written where
                // it stands, so that nothing it holds is lost.
                write = position;
            }
        } else if (hidden) {
            CDRecordNode* owner = FindSpanOwnerCell(position);
            if (owner != nullptr && !InRange(context, owner)) owner = nullptr;
            write = owner;
        }
        if (write != nullptr) break;
        CDRecordNode* next = NextCellInRange(context, position);
        const unsigned row = NodeByte(position, kCellRowAt);
        const bool rowEnds = next == nullptr || !IsCellRecord(next->signature) || NodeByte(next, kCellRowAt) != row;
        if (rowEnds && level->rowStartRow != static_cast<int>(row)) WriteCoveredRow(context, level, row);
        if (next == nullptr) {
            ReleaseCallTexts(call, hidden ? kCleanUpOwnerNoLaterCell : kCleanUpNoLaterCell);
            context->node = context->endNode != nullptr ? context->endNode->next : nullptr;
            return kOK;
        }
        if (!IsCellRecord(next->signature)) {
            ReleaseCallTexts(call, hidden ? kCleanUpOwnerAtEnd : kCleanUpSkippedToEnd);
            context->node = next;
            return kOK;
        }
        position = next;
    }
    if (!firstOfTable) CloseListsAbove(context, "</td>", "</th>");
    if (write != position) {
        // The owner of a block written at the block's first position: the
        // cells after that position follow once its content is done.
        level->resumeNode = NextCellInRange(context, position);
        level->resumeFlag = 0;
    } else {
        level->resumeNode = nullptr;
        level->resumeFlag = 0;
    }
    if (static_cast<int>(NodeByte(position, kCellRowAt)) != level->rowStartRow) StartRow(context, call, position, write);
    WriteCellElement(context, call, write);
    if (write->signature != 0 && write != position && NodeByte(write, kCellRowSpanAt) <= 1) level->resumeNode = nullptr;
    context->node = write->next;
    return context->overflow != 0 ? kOutOfMemory : kOK;
}

} // namespace talix
