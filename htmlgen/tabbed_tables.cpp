// Tabbed and animated tables: the CSS tab strip above a tabbed table with
// one division per row (TabbedTablesInCSS), the tab header row above each
// row (ZelundaTabs), and the accordion of divisions of an animated table
// (SupportRico).
#include <cstring>
#include <string>
#include <vector>

#include "core/signature_groups.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/document_addresses.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/span_owners.h"
#include "htmlgen/table_writer.h"
#include "htmlgen/walk_records.h"

namespace talix {

namespace {

// Tab label record: the text, its flags.
constexpr std::uint32_t kLabelTextAt = 4, kLabelTextSize = 128, kLabelFlagsAt = 138;
constexpr std::uint16_t kIsTabLabel = 0x0002;
// The name of a tab whose row has no label.
constexpr const char* kNoTabLabel = "&lt;No&nbsp;tab&nbsp;label&gt;";

// The level the accordion's stand-in for the table's closing tag carries:
// it is never written, only taken off at the table's end.
constexpr std::uint16_t kAccordionMark = 0xFFFF;

bool IsLabel(const CDRecordNode* node) {
    return node->signature == kSigTableLabel && (NodeWord(node, kLabelFlagsAt) & kIsTabLabel) != 0;
}

void WriteLabel(XMLGenContext* context, const CDRecordNode* label) {
    const std::string text = TabLabelText(label);
    WriteXMLEncodedText(context, text.data(), static_cast<std::uint16_t>(text.size()), 1, 0, 0);
}

// The rows of the table after a pre-table record (its own cells only, by
// their row numbers), each with the first tab label of its cells, or none.
std::vector<const CDRecordNode*> RowLabels(const CDRecordNode* preTable) {
    std::vector<const CDRecordNode*> rows;
    int nesting = 0;
    std::size_t row = 0;
    for (const CDRecordNode* node = preTable->next; node != nullptr; node = node->next) {
        if (IsTableBeginRecord(node->signature)) {
            ++nesting;
        } else if (IsTableEndRecord(node->signature)) {
            if (--nesting <= 0) break;
        } else if (nesting == 1 && IsCellRecord(node->signature)) {
            row = NodeByte(node, kCellRowAt);
            if (rows.size() <= row) rows.resize(row + 1, nullptr);
        } else if (nesting == 1 && IsLabel(node)) {
            if (rows.size() <= row) rows.resize(row + 1, nullptr);
            if (rows[row] == nullptr) rows[row] = node;
        }
    }
    return rows;
}

} // namespace

const char* TabColour(const char* given, const char* fallback) {
    if (given == nullptr || given[0] == '\0') return fallback;
    for (const char* at = given; *at != '\0'; ++at) {
        const unsigned char c = static_cast<unsigned char>(*at);
        const bool colour = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                            std::strchr("#(),.% -", c) != nullptr;
        if (!colour) return fallback;
    }
    return given;
}

std::string TabLabelText(const CDRecordNode* label) {
    if (label == nullptr || label->length <= kLabelTextAt) return {};
    const std::uint32_t available = label->length - kLabelTextAt;
    const char* text = reinterpret_cast<const char*>(label->bytes) + kLabelTextAt;
    return std::string(text, strnlen(text, available < kLabelTextSize ? available : kLabelTextSize));
}

const CDRecordNode* FindTabLabel(const CDRecordNode* cell, bool restOfTable) {
    int nesting = 0;
    for (const CDRecordNode* node = cell->next; node != nullptr; node = node->next) {
        if (IsTableBeginRecord(node->signature)) {
            ++nesting;
        } else if (IsTableEndRecord(node->signature)) {
            if (nesting == 0) return nullptr;
            --nesting;
        } else if (nesting == 0 && IsCellRecord(node->signature) && !restOfTable) {
            return nullptr;
        } else if (nesting == 0 && IsLabel(node)) {
            return node;
        }
    }
    return nullptr;
}

void WriteCSSTabStrip(XMLGenContext* context, const CDRecordNode* preTable) {
    const unsigned table = context->tableNumber + 1u;
    // One tab for each row, named by the row's label: a row without one
    // still gets its tab, which alone shows the row, and a second label of
    // a row takes no row of the next.
    const std::vector<const CDRecordNode*> rows = RowLabels(preTable);
    const unsigned count = static_cast<unsigned>(rows.size());
    // The anchor is closed at once: it only names the place. The first
    // strip of the page carries the id the head's tab rules select; a
    // later one, which may not repeat the id, is of their class instead.
    AppendPrintf(context, context->tabStrips == 0 ? "<a name=\"ttbl%u\"></a><ul id=\"tabnav\">"
                                                  : "<a name=\"ttbl%u\"></a><ul class=\"tabnav\">",
                 table);
    if (context->tabStrips < 0xFFFF) ++context->tabStrips;
    const GenTexts& texts = context->texts;
    for (unsigned k = 1; k <= count; ++k) {
        // XHTML names its event attributes in lower case.
        AppendPrintf(context,
                     context->format == kFormatXHTML
                         ? "<li class=\"tab%u\"><a href=\"#ttbl%u\" id='t%ulink%u' onclick=\"switchTab(%u, %u, %u)\" "
                         : "<li class=\"tab%u\"><a href=\"#ttbl%u\" id='t%ulink%u' onClick=\"switchTab(%u, %u, %u)\" ",
                     k, table, table, k, count, table, k);
        if (k == 1) {
            AppendPrintf(context, "style=\"color: %s; background: %s\">", TabColour(texts.cssTabSelText, "#ffffcc"),
                         TabColour(texts.cssTabSelBackground, "#cccc99"));
        } else {
            AppendPrintf(context, "style=\"color: %s; background: %s\">", TabColour(texts.cssTabNoSelText, "#333333"),
                         TabColour(texts.cssTabNoSelBackground, "#999966"));
        }
        if (rows[k - 1] != nullptr) {
            WriteLabel(context, rows[k - 1]);
        } else {
            AppendOutput(context, kNoTabLabel);
        }
        AppendOutput(context, "</a></li>");
    }
    AppendOutput(context, "</ul>");
}

void WriteCSSTabbedRow(XMLGenContext* context, const CDRecordNode* cell) {
    const TableLevelState* level = CurrentTableLevel(context);
    // The row being written, not the cell's own: a merged block whose
    // visible cell is stored in a later row is written at its first position.
    const unsigned row = level->rowStartRow >= 0 ? static_cast<unsigned>(level->rowStartRow) : NodeByte(cell, kCellRowAt);
    const char* quote = context->format == kFormatXHTML ? "\"" : "";
    AppendPrintf(context, "<div id=%sttbl%urow%u%s style=\"display: %s\">", quote, level->tableNumber, row + 1, quote,
                 row == 0 ? "block" : "none");
    PushCloseTagLevel(context, "</div>", static_cast<std::uint16_t>(kTabbedRowLevels + context->tableDepth));
}

void WriteTabRow(XMLGenContext* context, const CDRecordNode* cell) {
    const std::uint16_t depth = context->tableDepth;
    AppendOutput(context, "<tr style='padding-top: 4px; '><td width='100%' style='border: none; ' ");
    const char* enclosingColour =
        depth >= 2 && depth - 1 < kGenTableLevels ? context->tableLevels[depth - 1].cellColour : "";
    if (enclosingColour[0] == '\0') {
        AppendOutput(context, "bgcolor='#ffffff'>");
    } else {
        AppendPrintf(context, "bgcolor='%s'>", enclosingColour);
    }
    AppendPrintf(context, "<div style='margin-left: %upx; position: relative; top: 1px; '><table ", 5u * depth);
    AppendOutput(context, "cellspacing='0' cellpadding='0' border='0' style='border-bottom: none; border-left: 1px "
                          "solid #000000; border-right: 2px solid #000000; border-top: 1px solid #000000; '");
    std::string value;
    AppendOutput(context, CellColourAttribute(context, cell, &value).c_str());
    const CDRecordNode* label = FindTabLabel(cell, false);
    if (label != nullptr) {
        AppendPrintf(context, " width='%u%%'", static_cast<unsigned>((TabLabelText(label).size() + 3) / 4 + 15));
    } else {
        AppendOutput(context, " width='10%'");
    }
    AppendOutput(context, "><tr><td><span style=\"font-size: 10pt; color: rgb(0,0,0); font-family: sans-serif; \">");
    const char* picture = context->texts.tabGraphic != nullptr ? context->texts.tabGraphic : "/icons/folderp.gif";
    if (context->mimeMode != 0) {
        picture = "cid:_a_tabletab";
        context->tabPictureNeeded = 1;
    }
    AppendOutput(context, "<img src='");
    // The address as given: what would end the value or be read as markup
    // or a reference is written as a reference.
    const std::string source = SingleQuotedAttributeValue(picture);
    AppendOutput(context, source.data(), source.size());
    AppendOutput(context, context->format == kFormatXHTML ? "' border='0' width='10' height='9' alt='TableTab' />"
                                                          : "' border='0' width='10' height='9' alt='TableTab'>");
    if (label != nullptr) {
        WriteLabel(context, label);
    } else {
        AppendOutput(context, kNoTabLabel);
    }
    AppendOutput(context, "&nbsp;</span></td></tr></table></div></td></tr>");
}

void WriteAccordionStart(XMLGenContext* context) {
    AppendPrintf(context, "<div id=\"accordionTblDiv%u\">", CurrentTableLevel(context)->tableNumber);
    PushCloseTag(context, "</div>");
    PushCloseTagLevel(context, "</table>", kAccordionMark);
}

void WriteAccordionRow(XMLGenContext* context, const CDRecordNode* cell, bool firstRow) {
    const unsigned table = CurrentTableLevel(context)->tableNumber;
    const unsigned row = NodeByte(cell, kCellRowAt) + 1u;
    if (!firstRow) {
        // The row before closes with its panel: its row, the panel's table
        // and the two divisions above the accordion's mark, and only those
        // (a covered row's place was written whole; a row of the table
        // around the accordion stays open).
        std::uint32_t mark = context->closeTagCount;
        for (std::uint32_t i = context->closeTagCount; i-- > 0;) {
            const CloseTagEntry& entry = context->closeTags[i];
            if (entry.level == kAccordionMark && std::strcmp(entry.tag, "</table>") == 0) {
                mark = i;
                break;
            }
        }
        while (mark < context->closeTagCount && context->closeTagCount > mark + 1)
            CloseOpenXMLTagsToOutput(context, TopCloseTag(context)->tag, 1, 1, 0, 0);
    }
    AppendPrintf(context, "<div id=\"ricoTbl%uRow%u\">", table, row);
    PushCloseTag(context, "</div>");
    const CDRecordNode* label = FindTabLabel(cell, true);
    if (label != nullptr) {
        AppendPrintf(context, "<div id=\"ricoTbl%uCaption%u\" class=\"accordionTabTitleBar\">", table, row);
        WriteLabel(context, label);
        AppendOutput(context, "</div>");
    }
    AppendPrintf(context, "<div id=\"ricoTbl%uContent%u\" class=\"accordionTabContentBox\">", table, row);
    PushCloseTag(context, "</div>");
    AppendOutput(context, "<table border=\"0\">");
    PushCloseTag(context, "</table>");
}

void WriteAccordionEnd(XMLGenContext* context) {
    // The row panels close; the stand-in for the table's closing tag goes
    // unwritten; the accordion's division closes.
    const bool marked = FindCloseTag(context, "</table>", 0) == kAccordionMark;
    for (const CloseTagEntry* top = marked ? TopCloseTag(context) : nullptr; top != nullptr;
         top = TopCloseTag(context)) {
        if (std::strcmp(top->tag, "</table>") == 0 && top->level == kAccordionMark) {
            DropTopCloseTag(context);
            break;
        }
        if (CloseOpenXMLTagsToOutput(context, top->tag, 1, 1, 0, 0) == 0) DropTopCloseTag(context);
    }
    if (HasCloseTag(context, "</div>", 1) != 0) CloseOpenXMLTagsToOutput(context, "</div>", 1, 1, 0, 0);
    AppendPrintf(context, "<script type=\"text/javascript\">{new Rico.Accordion( $('accordionTblDiv%u') );}</script>",
                 CurrentTableLevel(context)->tableNumber);
}

} // namespace talix
