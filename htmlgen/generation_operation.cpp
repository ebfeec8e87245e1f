// Operation 2419, a generation over the chunk: the engine marks each range
// of the chunk from its first record to its last (engine/generation_range.h),
// and the record walk renders the range at its end, as one range of several
// (mode 1) when the run has an extra definition; such a run renders the
// body (mode 2) once the run has ended.
#include "htmlgen/generation_operation.h"

#include "engine/generation_range.h"
#include "engine/generation_state.h"
#include "engine/record_process.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

namespace {

// The running generation is the generation's own context, which the
// generation made and hung on the chunk's work state.
XMLGenContext* Context(GenerationWalkState* generation) { return static_cast<XMLGenContext*>(generation); }

STATUS RenderRange(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    GenerationWalkState* generation = EndGenerationRange(context);
    if (generation == nullptr) return kOK;
    return PrXMLStr(Context(generation), 0, 0, generation->extraChain != 0 ? 1 : 0);
}

STATUS RenderBody(RecordProcessContext* context, STATUS status) {
    GenerationWalkState* generation = RunningGeneration(context);
    if (status != kOK || generation == nullptr || generation->extraChain == 0) return status;
    return PrXMLStr(Context(generation), 0, 0, 2);
}

const RunSteps kGenerationSteps = {
    .prepare = PrepareGeneration, .beforeWalk = CollectForGeneration, .afterRun = RenderBody};

const OperationRow kRows[] = {
    {kOpGenerate, nullptr, MarkGenerationRange, RenderRange, &kGenerationSteps, kNotesRangeOnly},
};

} // namespace

const OperationFamily kGenerationOperations = MakeFamily(kRows);

} // namespace talix
