// The appends of rich text from elsewhere, before the chunk's first record
// (the chunk's append-at-end word 0) or after its last one: a chunk of
// another item (2356), a whole item of another note (2357), and the bodies
// of subforms, forms and pages (2358, 2808, 2809). op2 is the paragraph-id
// base the copied definitions are numbered above.
#include "builders/record_output.h"
#include "engine/copy_source.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/run_steps.h"
#include "talix/chunk.h"

namespace talix {

namespace {

STATUS CopyAtStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    if (context->chunk->appendAtEnd != 0) return kOK;
    return AppendSourceRichText(context->chunk, context, context->operation2);
}

STATUS CopyAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    if (context->chunk->appendAtEnd == 0) return kOK;
    return AppendSourceRichText(context->chunk, context, context->operation2);
}

const OperationRow kRows[] = {
    {kOpCopyPrologue, nullptr, nullptr, nullptr, &kCopyPrologueSteps},
    {kOpAppendRichTextChunk, CopyAtStart, nullptr, CopyAtEnd, &kCopyKeepingMarginsSteps, kRebuildsItem},
    {kOpAppendRichTextItem, CopyAtStart, nullptr, CopyAtEnd, &kCopyKeepingMarginsSteps, kRebuildsItem},
    {kOpAppendSubformBody, CopyAtStart, nullptr, CopyAtEnd, nullptr, kRebuildsItem},
    {kOpAppendFormBody, CopyAtStart, nullptr, CopyAtEnd, nullptr, kRebuildsItem},
    {kOpAppendPageBody, CopyAtStart, nullptr, CopyAtEnd, nullptr, kRebuildsItem},
};

} // namespace

const OperationFamily kCopyOperations = MakeFamily(kRows);

} // namespace talix
