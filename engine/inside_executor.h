// The step that gives a record inside the chunk to the executor of the
// run's operation: made in place, as the record walk takes it for every
// record of a chunk.
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"

namespace talix {

// The executors of the run's operation, looked up once per run.
inline const OperationRow* OperationExecutors(RecordProcessContext* context) {
    if (context->executorsFor != context->operation + 1u) {
        context->executors = FindOperation(context->session, context->operation);
        context->executorsFor = context->operation + 1u;
    }
    return context->executors;
}

// The executor inside the chunk takes the record, unless an earlier
// record's executor already wrote it (then *passOn becomes 0); *passOn is
// the length the record is passed on with (0 drops it, or it was replaced
// by what the executor appended). The cell marker is cleared once it has
// been taken. 546 from an executor ends the walk; any other status fails
// it.
inline STATUS RunInsideExecutor(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                                std::uint32_t* passOn, const OperationRow* row, RecordProcessContext* context) {
    const std::uint32_t index = context->node != nullptr ? context->node->index : context->recordCounter;
    if (index <= context->consumedThrough) {
        // An earlier record's executor already wrote this one.
        *passOn = 0;
    } else {
        context->consumedThrough = 0;
        if (row != nullptr && row->inside != nullptr) {
            const STATUS status = row->inside(record, signature, length, passOn, context);
            if (status != kOK) return status;
        }
    }
    context->cellMarker = 0;
    return kOK;
}

} // namespace talix
