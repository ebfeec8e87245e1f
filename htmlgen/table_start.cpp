// The table start: what the table interrupts closes, a table hidden whole
// is passed over, and the table element is written with its stored
// attributes, its width, its borders (as attributes, or as CSS in the
// collapse or separate form) and its direction, followed by the caption.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/brackets.h"
#include "core/clamp.h"
#include "core/options.h"
#include "core/record_layouts.h"
#include "core/signature_groups.h"
#include "core/text_compare.h"
#include "htmlgen/cell_navigation.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/extra_attributes.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/span_owners.h"
#include "htmlgen/stored_attributes.h"
#include "htmlgen/table_writer.h"
#include "htmlgen/walk_dispatch.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "htmlgen/walk_writers.h"

namespace talix {

namespace {

constexpr std::uint32_t kBorderStyleAt = 8, kBorderMarginsAt = 36;
constexpr std::uint32_t kLargestFitWidth = 28800;
constexpr int kDataTableKinds = 4;

void PassOver(XMLGenContext* context) {
    if (context->node != nullptr) context->node = context->node->next;
}

// The records passed over when looking back from a table for what it
// interrupts.
bool PassedOverBefore(const CDRecordNode* node) {
    switch (node->signature) {
    case kSigBegin:
    case kSigEnd:
    case kSigIdName:
    case kSigTableDataExtension:
    case kSigPreTableBegin:
    case kSigBorderInfo:
    case kSigPabFormRef:
    case kSigStyleName:
    case kSigPabDefinition:
    case kSigParagraph:
    case kSigLargeParagraph:
        return true;
    default:
        return IsTextRun(node->signature) && node->length == kTextRunHeader;
    }
}

const CDRecordNode* LookBackOver(const CDRecordNode* begin) {
    const CDRecordNode* node = begin->prev;
    while (node != nullptr && PassedOverBefore(node)) node = node->prev;
    return node;
}

// Whether the innermost open division is the one of a layer or of a layout
// element: the table is part of its content and stays inside it.
bool InnermostDivisionPositioned(const XMLGenContext* context) {
    if (context->layerDivisionDepth == 0 && context->layoutElementDepth == 0) return false;
    for (std::uint32_t i = context->closeTagCount; i-- > 0;) {
        if (SameCloseTag(context->closeTags[i].tag, "</div>"))
            return i + 1 == context->layerDivisionDepth || i + 1 == context->layoutElementDepth;
    }
    return false;
}

// What the table interrupts: an open division or paragraph closes. Only
// one open in the cell the table stands in: a division or paragraph around
// the table of that cell holds this table too.
void CloseInterrupted(XMLGenContext* context, const CDRecordNode* begin) {
    const TableLevelState* enclosing =
        context->tableDepth < kGenTableLevels ? &context->tableLevels[context->tableDepth] : nullptr;
    if (HasCloseTagBefore(context, "</div>", "</td>", "</th>", "</table>") != 0) {
        const CDRecordNode* reached = LookBackOver(begin);
        const bool tabbed = IsOn(context, sw::kTabbedTablesInCSS) && enclosing != nullptr && enclosing->tabbed != 0;
        const bool section = IsOn(context, sw::kSectionsInCSS) && IsSectionLevel(FindCloseTag(context, "</div>", 1));
        const bool paragraph = reached != nullptr && reached->signature == kSigPabReference;
        if (!tabbed && !section && !paragraph && !InnermostDivisionPositioned(context))
            CloseOpenXMLTagsToOutput(context, "</div>", 1, 1, 0, 0);
    } else if (HasCloseTagBefore(context, "</p>", "</td>", "</th>", "</table>") != 0) {
        const CDRecordNode* reached = LookBackOver(begin);
        if (reached != nullptr && reached->signature == kSigPabReference) {
            AppendLineBreak(context);
            if (context->tableDepth < kGenTableLevels) context->tableLevels[context->tableDepth].cellWritten = 0;
        }
        CloseOpenXMLTagsToOutput(context, "</p>", 1, 1, 0, 0);
    }
}

// The font elements of the text around the table close before it, so
// that a font change inside a cell, which closes a span wherever it is
// open, never closes through the table; the cells' text starts from the
// base font.
void CloseRunningFonts(XMLGenContext* context) {
    static const char* const kFontTags[] = {"</span>", "</font>", "</b>",  "</strong>", "</i>",
                                            "</em>",   "</u>",    "</s>",  "</sup>",    "</sub>"};
    for (const char* tag : kFontTags) {
        while (HasCloseTagBefore(context, tag, "</td>", "</th>") != 0) {
            if (CloseOpenXMLTagsToOutput(context, tag, 1, 1, 0, 0) == 0) break;
        }
    }
    context->currentFont = context->baseFont;
    context->currentColourGiven = 0;
}


// A text of an id/name record (0 id, 1 class, 2 style, 3 title, 4 other,
// 5 name); empty when the record is short.
std::string IdNameText(const CDRecordNode* record, int which) {
    if (record == nullptr || record->length < kIdNameFixedLength) return {};
    std::uint32_t offset = kIdNameFixedLength;
    for (int i = 0; i <= which; ++i) {
        const std::uint32_t length = NodeWord(record, kIdNameLengthsAt + 2 * i);
        if (length > record->length - offset) return {};
        if (i == which) {
            const char* text = reinterpret_cast<const char*>(record->bytes) + offset;
            return std::string(text, strnlen(text, length));
        }
        offset += length;
    }
    return {};
}

// A value encoded for an attribute in single quotes, so that it cannot
// end the attribute or open markup.
std::string SingleQuotedValue(XMLGenContext* context, const std::string& value) {
    std::vector<char> encoded(value.size() * 10 + 16, '\0');
    if (WriteXMLEncodedTextTo(context, value.data(), static_cast<std::uint32_t>(value.size()), encoded.data(),
                              static_cast<std::uint32_t>(encoded.size()), 1, 0, 0, 0) != kOK)
        encoded[0] = '\0';
    std::string text;
    for (const char* at = encoded.data(); *at != '\0'; ++at) {
        if (*at == '\'') {
            text += "&#39;";
        } else {
            text += *at;
        }
    }
    return text;
}

// An attribute value in single quotes, encoded so that it cannot end the
// attribute or open markup.
void WriteQuotedAttribute(XMLGenContext* context, const char* name, const std::string& value) {
    std::string text = " ";
    text += name;
    text += "='";
    text += SingleQuotedValue(context, value);
    text += "'";
    AppendOutput(context, text.data(), text.size());
}

// The fit width of row 0: its largest right edge less its smallest left
// edge.
std::uint32_t FitWidth(const XMLGenContext* context, CDRecordNode* begin) {
    CDRecordNode* cell = begin->next;
    while (InRange(context, cell) && !IsCellRecord(cell->signature) && !IsTableEndRecord(cell->signature))
        cell = cell->next;
    unsigned smallest = 0, largest = 0;
    bool first = true;
    for (; cell != nullptr && IsCellRecord(cell->signature); cell = NextCellInRange(context, cell)) {
        if (NodeByte(cell, kCellRowAt) != 0) break;
        const unsigned left = NodeWord(cell, kCellLeftAt), right = NodeWord(cell, kCellRightAt);
        // A left edge of 0 is the table's own left edge, not an edge yet
        // unknown.
        if (first || left < smallest) smallest = left;
        first = false;
        if (right > largest) largest = right;
    }
    if (largest <= smallest) return 0;
    const std::uint32_t width = largest - smallest;
    return width > kLargestFitWidth ? kLargestFitWidth : width;
}

struct BorderSurvey {
    bool uniform = true;      // every cell 1 pixel on each side
    bool noBorders = true;    // every cell 0 on each side
};

BorderSurvey SurveyBorders(const XMLGenContext* context, CDRecordNode* begin) {
    BorderSurvey survey;
    CDRecordNode* cell = begin->next;
    while (InRange(context, cell) && !IsCellRecord(cell->signature) && !IsTableEndRecord(cell->signature))
        cell = cell->next;
    for (; cell != nullptr && IsCellRecord(cell->signature); cell = NextCellInRange(context, cell)) {
        const CellBorders borders = ReadCellBorders(cell);
        if (!borders.All(1)) survey.uniform = false;
        if (!borders.All(0)) survey.noBorders = false;
        if (!survey.uniform && !survey.noBorders) break;
    }
    return survey;
}

void WriteSpaces(XMLGenContext* context, const CDRecordNode* border) {
    if (border == nullptr) return;
    const unsigned top = NodeWord(border, kBorderMarginsAt), left = NodeWord(border, kBorderMarginsAt + 2),
                   bottom = NodeWord(border, kBorderMarginsAt + 4), right = NodeWord(border, kBorderMarginsAt + 6);
    if (top + bottom != 0) AppendPrintf(context, " vspace=\"%u\"", top > bottom ? top : bottom);
    if (left + right != 0) AppendPrintf(context, " hspace=\"%u\"", left > right ? left : right);
}

// The table's style attribute: the stored style and the border collapse
// between the inline-style brackets, then the border record's CSS; each
// piece written whole, however long.
void WriteTableStyle(XMLGenContext* context, const std::string& storedStyle, const char* collapse,
                     const char* cssText) {
    AppendOutput(context, " style='");
    AppendOutput(context, context->openBrace);
    AppendOutput(context, storedStyle.data(), storedStyle.size());
    AppendOutput(context, collapse);
    AppendOutput(context, context->closeBrace);
    AppendOutput(context, cssText);
    AppendOutput(context, "'");
}

// Whether the border attributes of the table write a style attribute.
bool BordersWriteStyle(const XMLGenContext* context, const TableCall& call, const BorderSurvey& survey) {
    return IsOn(context, sw::kCSSBorders) && !IsOn(context, sw::kSparseTable) &&
           !(survey.noBorders && call.border == nullptr);
}

// The border attributes of the table (borders as attributes or CSS). The
// table's stored style (storedStyle, ready for single quotes) goes first
// into the style attribute they write: a start tag holds one.
void WriteBorderAttributes(XMLGenContext* context, const TableCall& call, const BorderSurvey& survey,
                           CDRecordNode* begin, bool encapsulating, const std::string& storedStyle) {
    TableLevelState* level = CurrentTableLevel(context);
    const bool css = IsOn(context, sw::kCSSBorders);
    const bool sparse = IsOn(context, sw::kSparseTable);
    level->noCellBorders = survey.noBorders ? 1 : 0;
    level->borderMode = survey.noBorders ? 0 : -1;
    if (sparse) return;
    const bool stated = OtherHas(call, "border=");
    if (!css) {
        if (stated || !survey.uniform) return;
        const CDRecordNode* first = begin->next;
        if (first != nullptr && IsCellRecord(first->signature)) {
            AppendPrintf(context, " border='%u'", ReadCellBorders(first).top);
        } else {
            AppendOutput(context, " border='1'");
        }
        return;
    }
    if (!OtherHas(call, "cellspacing=")) AppendOutput(context, " cellspacing='0'");
    if (!OtherHas(call, "cellpadding=")) AppendOutput(context, " cellpadding='0'");
    char cssText[512] = {};
    if (call.border != nullptr) {
        WriteXMLBorderStyle(call.border->bytes, call.border->length, context, cssText, sizeof cssText);
    }
    const bool cssEmpty = cssText[0] == '\0';
    const bool cssHasBorder = std::strstr(cssText, "border=") != nullptr;
    if (!stated && survey.uniform) {
        level->borderMode = 1;
        if (survey.noBorders && !cssHasBorder) {
            level->borderMode = 0;
            AppendOutput(context, " border='0'");
        }
        WriteSpaces(context, call.border);
        if (!(survey.noBorders && cssEmpty)) {
            WriteTableStyle(context, storedStyle, "border-collapse: collapse; ", cssText);
        }
        return;
    }
    const bool styled = call.border != nullptr && NodeWord(call.border, kBorderStyleAt) != 0;
    // The border record's CSS follows a declaration ended as every other:
    // run on, it made one declaration no browser reads and lost both.
    const char* separate = encapsulating && cssEmpty ? "border-collapse: separate" : "border-collapse: separate; ";
    if (!survey.noBorders && (survey.uniform || styled)) {
        WriteTableStyle(context, storedStyle, separate, cssText);
    } else {
        if (!cssHasBorder) AppendOutput(context, " border='0'");
        if (!(survey.noBorders && cssEmpty))
            WriteTableStyle(context, storedStyle, separate, cssText);
    }
    WriteSpaces(context, call.border);
}

// The start tag of the table and its attributes (up to and including ">").
void WriteTableStartTag(XMLGenContext* context, TableCall* call, CDRecordNode* begin, bool encapsulating) {
    TableLevelState* level = CurrentTableLevel(context);
    BorderSurvey survey;
    if (!IsOn(context, sw::kSparseTable) && IsOn(context, sw::kCSSBorders)) survey = SurveyBorders(context, begin);
    // When the borders write a style attribute, the table's stored style
    // (and in XHTML a style among its other attributes) joins it.
    const bool joinStyle = BordersWriteStyle(context, *call, survey);
    std::string storedStyle;
    AppendOutput(context, "<table");
    bool idWritten = false;
    if (call->idName != nullptr) {
        static const struct {
            int which;
            const char* name;
        } kAttributes[] = {{0, "id"}, {5, "name"}, {1, "class"}, {2, "style"}, {3, "title"}};
        for (const auto& attribute : kAttributes) {
            const std::string value = IdNameText(call->idName, attribute.which);
            if (value.empty()) continue;
            if (attribute.which == 2 && joinStyle) {
                storedStyle = value;
            } else {
                WriteQuotedAttribute(context, attribute.name, value);
            }
            idWritten = true;
        }
    }
    if (!idWritten && IsOn(context, sw::kAutoTagTable)) {
        if (context->tableDepth < 2) {
            AppendPrintf(context, " id='tbl%u'", level->tableNumber);
        } else {
            AppendPrintf(context, " id='n%utbl%u'", context->tableDepth, level->tableNumber);
        }
    }
    level->dataTableKind = 0;
    if (call->haveOther) {
        std::vector<char> value(call->other.size() + 1, '\0');
        if (GetOptionValue(call->other.c_str(), "TalixDataTable=", value.data(),
                           static_cast<std::uint32_t>(value.size())) != 0) {
            const int kind = std::atoi(value.data());
            level->dataTableKind = kind >= 0 && kind <= kDataTableKinds ? kind : 0;
            std::vector<char> rest(call->other.begin(), call->other.end());
            rest.push_back('\0');
            RemoveOption(rest.data(), "TalixDataTable=");
            call->other = rest.data();
        }
        std::string otherStyle;
        if (joinStyle && context->format == kFormatXHTML && TakeAttribute(&call->other, "style", &otherStyle) &&
            !otherStyle.empty()) {
            const std::size_t end = storedStyle.find_last_not_of(" \t");
            if (end != std::string::npos) {
                storedStyle.resize(end + 1);
                if (storedStyle.back() != ';') storedStyle += ';';
                storedStyle += ' ';
            }
            storedStyle += otherStyle;
            call->other.erase(0, call->other.find_first_not_of(" \t"));
        }
        if (!call->other.empty()) {
            // XHTML needs every value quoted and each name once; in no form
            // may the text end the start tag.
            std::string attributes = " ";
            if (context->format == kFormatXHTML) {
                MoveToTextEnd(context);
                std::vector<std::string> taken = OpenStartTagNames(std::string_view(
                    context->buffer, static_cast<std::size_t>(context->writePosition - context->buffer)));
                attributes += QuotedAttributes(call->other, &taken);
            } else if (IsOn(context, sw::kAutoQuoteHTMLParams)) {
                attributes += HtmlQuotedAttributes(call->other);
            } else {
                attributes += ContainedAttributes(call->other);
            }
            AppendOutput(context, attributes.data(), attributes.size());
        }
    }
    if (level->preTable == nullptr) {
        for (const CDRecordNode* node = begin->prev; node != nullptr; node = node->prev) {
            if (node->signature == kSigPreTableBegin) {
                level->preTable = node;
                break;
            }
            if (node->signature == kSigPabReference || IsTextRun(node->signature) || IsCellRecord(node->signature) ||
                IsTableEndRecord(node->signature))
                break;
        }
    }
    level->beginWords[0] = NodeWord(begin, 8);
    level->beginWords[1] = NodeWord(begin, 10);
    level->beginFlags = NodeWord(begin, 12);
    level->fitToWindow = (level->beginFlags & kTableFitToWindow) != 0 ||
                         (level->preTable != nullptr &&
                          (NodeDword(level->preTable, kPreFlagsAt) & kPreFitToWindow) == kPreFitToWindow);
    level->fitWidth = 0;
    if (level->fitToWindow != 0) {
        if (!OtherHas(*call, "width=")) AppendOutput(context, " width='100%'");
        level->fitWidth = FitWidth(context, begin);
    }
    // The stored style as its declarations, the last one ended.
    std::string style;
    const std::size_t styleEnd = storedStyle.find_last_not_of(" \t\r\n");
    if (styleEnd != std::string::npos) {
        storedStyle.resize(styleEnd + 1);
        style = SingleQuotedValue(context, storedStyle) + (storedStyle.back() == ';' ? " " : "; ");
    }
    WriteBorderAttributes(context, *call, survey, begin, encapsulating, style);
    if ((level->beginFlags & kTableRightToLeft) != 0) {
        AppendOutput(context, " dir='rtl'");
        context->rightToLeftSeen = 1;
    } else if (context->rightToLeftSeen != 0 || context->forceDirection != 0) {
        AppendOutput(context, " dir='ltr'");
    }
    AppendOutput(context, ">");
}

// Raises the level and gives the new level a fresh state (the flags the
// pre-table record set for it kept).
TableLevelState* RaiseLevel(XMLGenContext* context) {
    if (context->tableDepth < 0xFFFF) ++context->tableDepth;
    TableLevelState* level = CurrentTableLevel(context);
    const int tabbed = level->tabbed, animated = level->animated;
    ReleaseSpanOwners(level);
    *level = TableLevelState();
    level->tabbed = tabbed;
    level->animated = animated;
    if (context->tableNumber < 0xFFFF) ++context->tableNumber;
    level->tableNumber = context->tableNumber;
    return level;
}

void WriteCaption(XMLGenContext* context, TableCall* call) {
    if (call->caption.empty()) return;
    AppendOutput(context, "<caption>");
    WriteXMLEncodedText(context, call->caption.data(),
                        ClampToWord(call->caption.size()), 1, 0,
                        0);
    AppendOutput(context, "</caption>");
    call->caption.clear();
}

} // namespace

// The table's own records (its extension record, tab settings, border and
// id/name record) are stored in a BEGIN/END bracket of the extension record
// right before the table begin, by the table builder and in documents alike:
// the walk enters that bracket and ends at the extension record in it. Any
// other bracket ends the walk.
void LookBackForTableRecords(XMLGenContext* context, TableCall* call, const CDRecordNode* from) {
    for (const CDRecordNode* node = from->prev; node != nullptr; node = node->prev) {
        const std::uint16_t signature = node->signature;
        if (signature == kSigEnd && node == from->prev && BracketedSignature(node) == kSigPreTableBegin) continue;
        if (signature == kSigPabReference || IsTextRun(signature) || IsCellRecord(signature) ||
            IsTableEndRecord(signature) || signature == kSigBegin || signature == kSigEnd)
            return;
        if (signature == kSigPreTableBegin) {
            context->lastPreTable = node;
            return;
        }
        if (signature == kSigIdName && call->idName == nullptr) {
            call->idName = node;
            TakeOtherText(call, node);
        } else if (signature == kSigBorderInfo && call->border == nullptr) {
            call->border = node;
        }
    }
}

bool TableHidden(XMLGenContext* context, CDRecordNode* begin, CDRecordNode** end) {
    int nesting = 0;
    bool anyParagraph = false;
    for (CDRecordNode* node = begin->next; InRange(context, node); node = node->next) {
        if (IsTableBeginRecord(node->signature)) {
            ++nesting;
        } else if (IsTableEndRecord(node->signature)) {
            if (nesting == 0) {
                *end = node;
                return anyParagraph;
            }
            --nesting;
        } else if (node->signature == kSigPabReference) {
            if (!ParagraphReferenceHidden(context, node)) return false;
            anyParagraph = true;
        }
    }
    return false;   // no end within the range: written as it stands
}

STATUS StartTable(XMLGenContext* context, TableCall* call) {
    CDRecordNode* begin = context->node;
    CloseRunningFonts(context);
    CloseInterrupted(context, begin);
    if (IsOn(context, sw::kRespectHiddenFormulas)) {
        CDRecordNode* end = nullptr;
        if (TableHidden(context, begin, &end)) {
            // The display kind its pre-table record gave was the hidden
            // table's: the next table at its level is an ordinary one.
            if (context->tableDepth + 1 < kGenTableLevels) {
                context->tableLevels[context->tableDepth + 1].tabbed = 0;
                context->tableLevels[context->tableDepth + 1].animated = 0;
            }
            context->node = end->next;
            return kOK;
        }
    }
    TableLevelState* level = RaiseLevel(context);
    level->beginNode = begin;
    const CDRecordNode* pre = begin->prev;
    if (pre != nullptr && pre->signature == kSigPreTableBegin) level->preTable = pre;
    else if (context->lastPreTable != nullptr && context->lastPreTable->next != nullptr &&
             (context->lastPreTable->next == begin || context->lastPreTable->next->next == begin))
        level->preTable = context->lastPreTable;
    if (level->animated != 0 && IsOn(context, sw::kSupportRico)) {
        WriteAccordionStart(context);
    } else {
        if (call->idName == nullptr || call->border == nullptr) LookBackForTableRecords(context, call, begin);
        WriteTableStartTag(context, call, begin, false);
        PushCloseTag(context, "</table>");
    }
    call->haveOther = false;
    call->other.clear();
    WriteCaption(context, call);
    call->idName = nullptr;
    call->border = nullptr;
    PassOver(context);
    return context->overflow != 0 ? kOutOfMemory : kOK;
}

// The table element for a range that begins inside a table
// (EncapsulateTable): written once per generation from the table's begin
// record, with a row when the range does not begin at a row's start.
void EncapsulateTable(XMLGenContext* context, TableCall* call, CDRecordNode* cell) {
    CDRecordNode* begin = nullptr;
    int nesting = 0;
    for (CDRecordNode* node = cell->prev; node != nullptr; node = node->prev) {
        if (IsTableEndRecord(node->signature)) {
            ++nesting;
        } else if (IsTableBeginRecord(node->signature)) {
            if (nesting == 0) {
                begin = node;
                break;
            }
            --nesting;
        }
    }
    if (begin == nullptr) return;
    CloseRunningFonts(context);
    LookBackForTableRecords(context, call, begin);
    if (context->tableDepth == 0) {
        TableLevelState* level = RaiseLevel(context);
        level->beginNode = begin;
    }
    WriteTableStartTag(context, call, begin, true);
    PushCloseTag(context, "</table>");
    call->haveOther = false;
    call->other.clear();
    WriteCaption(context, call);
    context->tableEncapsulated = 1;
}

} // namespace talix
