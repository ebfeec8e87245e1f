// WriteXMLTable: the table writer's main loop and the table end. The
// writer walks a table's records itself: it starts the table, writes each
// cell's element and hands the cell's content to the record walk one level
// deeper, which stops at the next cell or the table end. A call handles the
// table it was entered at (a nested table met in a cell's content is
// written by a call of its own) and returns once that table has ended, at
// the range's end, at the END of the element it lies in, or on a failure.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/debug_level.h"
#include "core/options.h"
#include "core/record_layouts.h"
#include "core/signature_groups.h"
#include "core/text_compare.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/extra_attributes.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/list_paragraphs.h"
#include "htmlgen/record_walk.h"
#include "htmlgen/span_owners.h"
#include "htmlgen/table_writer.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "htmlgen/walk_writers.h"
#include "talix_platform.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

// Id/name record: the length of the other text and where the texts start.
constexpr int kIdNameOther = 4, kIdNameTexts = 6;

void PassOver(XMLGenContext* context) {
    if (context->node != nullptr) context->node = context->node->next;
}

// The records whose content the walk renders when the writer meets them
// between cells.
bool IsContentRecord(std::uint16_t signature) {
    switch (signature) {
    case kSigParagraph:
    case kSigPabReference:
    case kSigGraphic:
    case kSigStyleName:
    case kSigBegin:
    case kSigV5HotspotBegin:
    case kSigPabDefinition:
    case kSigText:
    case kSigLink2:
    case kSigLinkExport2:
    case kSigHotspotBegin:
    case kSigV4HotspotBegin:
    case kSigBidiText:
        return true;
    default:
        return false;
    }
}

// After a walk call: the element the writer lies in (kind) has ended.
bool KindEnded(const XMLGenContext* context, std::uint16_t kind, int depth) {
    const CDRecordNode* node = context->node;
    return kind != 0 && depth >= 1 && node != nullptr && node->prev != nullptr && node->prev->signature == kSigEnd &&
           InnerSignature(node->prev) == kind;
}

// The table end: the table closes (with the accordion's closing) and the
// level falls.
void EndTable(XMLGenContext* context) {
    CloseListsAbove(context, "</table>", "</tr>");
    TableLevelState* level = CurrentTableLevel(context);
    if (level->animated != 0 && IsOn(context, sw::kSupportRico)) {
        WriteAccordionEnd(context);
    } else if (HasCloseTag(context, "</table>", 0) != 0) {
        CloseOpenXMLTagsToOutput(context, "</table>", 1, 1, 0, 0);
    }
    ReleaseSpanOwners(level);
    level->resumeNode = nullptr;
    level->resumeFlag = 0;
    // The display kind belongs to this table alone: a later table at this
    // level without a pre-table record of its own is an ordinary one.
    level->tabbed = 0;
    level->animated = 0;
    if (context->tableDepth > 0) --context->tableDepth;
    PassOver(context);
}

// Whether the table a pre-table record comes before is hidden whole
// (RespectHiddenFormulas): its tab strip is left out with it.
bool ComingTableHidden(XMLGenContext* context, CDRecordNode* preTable) {
    if (!IsOn(context, sw::kRespectHiddenFormulas)) return false;
    for (CDRecordNode* node = preTable->next; InRange(context, node); node = node->next) {
        const std::uint16_t signature = node->signature;
        if (IsTableBeginRecord(signature)) {
            CDRecordNode* end = nullptr;
            return TableHidden(context, node, &end);
        }
        if (signature == kSigPabReference || IsTextRun(signature) || IsCellRecord(signature) ||
            IsTableEndRecord(signature))
            return false;
    }
    return false;
}

// At a pre-table record: the flags of the table it comes before.
void NotePreTable(XMLGenContext* context, CDRecordNode* node) {
    context->lastPreTable = node;
    const std::uint8_t kind = NodeByte(node, kPreKindAt);
    const bool tabbed = kind == kPreTabbed;
    if (context->tableDepth + 1 < kGenTableLevels) {
        TableLevelState& next = context->tableLevels[context->tableDepth + 1];
        next.animated = kind == kPreAnimated && IsOn(context, sw::kSupportRico) ? 1 : 0;
        next.tabbed = tabbed ? 1 : 0;
    }
    if (tabbed && IsOn(context, sw::kTabbedTablesInCSS) && !ComingTableHidden(context, node))
        WriteCSSTabStrip(context, node);
}

} // namespace

void CloseListsAbove(XMLGenContext* context, const char* barrier1, const char* barrier2) {
    for (;;) {
        // A list around the table (one whose item the table stands in) is
        // beyond the table's own "</table>": it stays open.
        const bool bulleted = HasCloseTagBefore(context, "</ul>", barrier1, barrier2, "</table>") != 0;
        const bool numbered = HasCloseTagBefore(context, "</ol>", barrier1, barrier2, "</table>") != 0;
        if (!bulleted && !numbered) return;
        const CloseTagEntry* top = nullptr;
        // The innermost of the two closes first.
        const char* tag = bulleted && numbered ? nullptr : (bulleted ? "</ul>" : "</ol>");
        if (tag == nullptr) {
            for (std::uint32_t i = context->closeTagCount; i-- > 0;) {
                top = &context->closeTags[i];
                if (std::strcmp(top->tag, "</ul>") == 0 || std::strcmp(top->tag, "</ol>") == 0) {
                    tag = top->tag;
                    break;
                }
            }
        }
        if (tag == nullptr || CloseOpenXMLTagsToOutput(context, tag, 1, 1, 0, 0) == 0) return;
        SyncListLevel(context);
    }
}

void AppendPrintf(XMLGenContext* context, const char* format, ...) {
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    const int length = plat::FormatTextV(text, sizeof text, format, arguments);
    va_end(arguments);
    if (length > 0) AppendOutput(context, text, static_cast<std::size_t>(length) < sizeof text ? length : sizeof text - 1);
}

void ReleaseCallTexts(TableCall* call, const CleanUpPlace& place) {
    if (!call->other.empty()) {
        if (g_debugLevel != 0) plat::LogLine(0, "Cleaned up html_other_buffer %s", place.other);
        call->other.clear();
    }
    call->haveOther = false;
    if (place.caption != nullptr && !call->caption.empty()) {
        if (g_debugLevel != 0) plat::LogLine(0, "Cleaned up html_caption %s", place.caption);
        call->caption.clear();
    }
}

bool OtherHas(const TableCall& call, const char* keyword) {
    if (!call.haveOther) return false;
    std::string_view name(keyword);
    const bool withValue = !name.empty() && name.back() == '=';
    if (withValue) name.remove_suffix(1);
    return HasAttribute(call.other, name, withValue);
}

void TakeOtherText(TableCall* call, const CDRecordNode* idName) {
    call->haveOther = false;
    call->other.clear();
    if (idName == nullptr || idName->length < kIdNameFixedLength) return;
    std::uint32_t offset = kIdNameFixedLength;
    for (int i = 0; i < kIdNameTexts; ++i) {
        const std::uint32_t length = NodeWord(idName, kIdNameLengthsAt + 2 * i);
        if (length > idName->length - offset) return;
        if (i == kIdNameOther) {
            if (length == 0) return;
            const char* text = reinterpret_cast<const char*>(idName->bytes) + offset;
            call->other.assign(text, strnlen(text, length));
            break;
        }
        offset += length;
    }
    // "Caption=" with a value becomes the caption.
    std::vector<char> value(call->other.size() + 1, '\0');
    if (GetOptionValue(call->other.c_str(), "Caption=", value.data(), static_cast<std::uint32_t>(value.size())) != 0 &&
        value[0] != '\0') {
        call->caption = value.data();
        std::vector<char> rest(call->other.begin(), call->other.end());
        rest.push_back('\0');
        RemoveOption(rest.data(), "Caption=");
        call->other = rest.data();
    }
    while (!call->other.empty() && call->other.back() == ' ') call->other.pop_back();
    call->haveOther = !call->other.empty();
}

void ReleaseTableState(XMLGenContext* context) {
    for (TableLevelState& level : context->tableLevels) ReleaseSpanOwners(&level);
}

STATUS WriteXMLTable(XMLGenContext* context, std::uint16_t kind, int depth) {
    if (context->node == nullptr) return kOperationFailed;
    TableCall call;
    const CDRecordNode* entry = context->node;
    if (IsCellRecord(entry->signature) && context->tableDepth == 0) {
        // A cell that lies in no table: its content is ordinary content.
        const auto* extra = static_cast<const CellExtra*>(RecordExtra(entry));
        if (extra == nullptr || extra->tableBegin == nullptr) {
            PassOver(context);
            return kOK;
        }
    }
    // The call returns once the level falls back to where it was before
    // the table it was entered at.
    const std::uint16_t entryLevel =
        IsCellRecord(entry->signature) && context->tableDepth > 0 ? context->tableDepth - 1 : context->tableDepth;
    bool started = false;
    bool firstCell = true;
    STATUS status = kOK;
    // Every way out lets go of what the call holds.
    auto leave = [&](STATUS result, const CleanUpPlace& place) {
        ReleaseCallTexts(&call, place);
        return result;
    };
    while (context->overflow == 0) {
        CDRecordNode* node = context->node;
        if (!InRange(context, node)) {
            // The range ends inside the table: the next range may go on in it.
            NoteTableLeftOpen(context);
            return leave(status, kCleanUpRangeEnd);
        }
        const std::uint16_t signature = node->signature;
        if (signature == kSigPreTableBegin) {
            NotePreTable(context, node);
            PassOver(context);
        } else if (signature == kSigBorderInfo) {
            call.border = node;
            PassOver(context);
        } else if (signature == kSigIdName && !started) {
            if (call.haveOther) ReleaseCallTexts(&call, kCleanUpTableIdName);
            call.idName = node;
            TakeOtherText(&call, node);
            PassOver(context);
        } else if (IsTableBeginRecord(signature)) {
            started = true;
            status = StartTable(context, &call);
            if (status != kOK) return leave(status, kCleanUpRangeEnd);
            // A hidden table was passed over whole.
            if (context->tableDepth <= entryLevel) return leave(kOK, kCleanUpRangeEnd);
        } else if (IsCellRecord(signature)) {
            TableLevelState* level = CurrentTableLevel(context);
            if (level->resumeFlag != 0 && level->resumeNode != nullptr) {
                context->node = level->resumeNode;
                level->resumeNode = nullptr;
                level->resumeFlag = 0;
                if (!InRange(context, context->node) || !IsCellRecord(context->node->signature)) continue;
            }
            status = ArriveAtCell(context, &call, firstCell && !started);
            firstCell = false;
            if (status != kOK) return leave(status, kCleanUpRangeEnd);
        } else if (IsTableEndRecord(signature)) {
            TableLevelState* level = CurrentTableLevel(context);
            if (level->resumeFlag != 0 && level->resumeNode != nullptr) {
                // The owner of a block spanning rows was written ahead:
                // the cells after the block's first position follow.
                context->node = level->resumeNode;
                level->resumeNode = nullptr;
                level->resumeFlag = 0;
                ReleaseCallTexts(&call, kCleanUpResumeAtEnd);
                continue;
            }
            EndTable(context);
            if (context->tableDepth <= entryLevel) return leave(kOK, kCleanUpRangeEnd);
        } else if (IsContentRecord(signature)) {
            status = PrXMLStr(context, kind, static_cast<std::uint32_t>(depth + 1), 0);
            if (status != kOK) return leave(status, kCleanUpRangeEnd);
            if (context->node == node) PassOver(context);
            if (KindEnded(context, kind, depth)) return leave(kOK, kCleanUpKindEnded);
        } else if (signature == kSigEnd) {
            PassOver(context);
            return leave(kOK, kCleanUpEndRecord);
        } else {
            PassOver(context);
        }
    }
    ReleaseCallTexts(&call, kCleanUpRangeEnd);
    return kOutOfMemory;
}

} // namespace talix
