// Operation 2448, HTML appended before the chunk's first record (the
// chunk's append-at-end word 0) or after its last one (the word set): an
// HTML file, HTML text, or the HTML the item holds (or, while the item is
// rebuilt from another item's HTML, the HTML that item holds). A URL, or a
// kind no import reads, appends nothing.
#include "htmlimport/import_operation.h"

#include "core/item_work_state.h"
#include "core/operation_codes.h"
#include "engine/exec_handlers.h"
#include "engine/record_process.h"
#include "htmlimport/import_sink.h"
#include "talix/chunk.h"
#include "talix/item.h"

namespace talix {

namespace {

STATUS AppendHtml(RecordProcessContext* context) {
    const char* argument = context->argumentText != nullptr ? context->argumentText : "";
    switch (context->operation2) {
    case kHtmlFromFile: return ImportHTMLFile(argument, context->secondArgument, context);
    case kHtmlFromText: {
        const STATUS status = ImportHTMLText(argument, 0, context->secondArgument, context, nullptr, 0);
        if (status == kRenderingSkipped) context->errorWord = kRenderingSkipped;
        return status;
    }
    case kHtmlFromOwnItem: {
        const ItemWorkState* work = context->chunk->item->work;
        if (work != nullptr && work->htmlSource != nullptr)
            return ImportHTMLFromItem(work->htmlSource, work->htmlSourceBeside, context->secondArgument, context);
        return ImportHTMLFromItem(context->records, nullptr, context->secondArgument, context);
    }
    default: return kOK;
    }
}

STATUS HtmlAtStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    return context->chunk->appendAtEnd == 0 ? FinishImport(context, AppendHtml(context)) : kOK;
}

STATUS HtmlAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    return context->chunk->appendAtEnd != 0 ? FinishImport(context, AppendHtml(context)) : kOK;
}

const OperationRow kRows[] = {
    {kOpAppendHtml, HtmlAtStart, nullptr, HtmlAtEnd, nullptr, kRebuildsItem},
};

} // namespace

const OperationFamily kHtmlImportOperations = MakeFamily(kRows);

} // namespace talix
