#include "support/op_runner.h"

#include <cstring>

#include "core/chunk_work_state.h"
#include "core/session_work_area.h"
#include "core/statuses.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix_test {

std::uint16_t RunOperation(ZervaRTChunk* chunk, const Operation& operation) {
    if (chunk == nullptr || chunk->session == nullptr || chunk->item == nullptr) return talix::kArgumentError;
    RARIvoSession* session = chunk->session;
    ZervaRTItem* item = chunk->item;

    std::size_t length = operation.textResult.size();
    if (length > RARIvoSession::kTextResultCapacity) length = RARIvoSession::kTextResultCapacity;
    std::memcpy(session->textResult, operation.textResult.data(), length);
    session->textResult[length] = '\0';
    session->textResultLength = static_cast<std::uint16_t>(length);
    session->workArea->runningOptions = operation.options;

    const std::uint32_t singleTarget = chunk->work != nullptr ? chunk->work->singleTarget : 0;
    std::uint16_t status = talix::PerformChunkAction(chunk, 0, nullptr, operation.code, operation.op2, operation.a3,
                                                     operation.a4, operation.a5, operation.argument,
                                                     operation.second, nullptr, nullptr, nullptr);
    if (chunk->work != nullptr) chunk->work->singleTarget = singleTarget;
    session->workArea->runningOptions = nullptr;

    if (status != talix::kOK && status != talix::kOperationComplete) chunk->lastStatus = status;
    if (chunk->lastStatus == talix::kOperationComplete) chunk->lastStatus = talix::kOK;
    if (status == talix::kOperationComplete) status = talix::kOK;
    if (status == talix::kOK && item->autoSave != 0) status = plat::NoteUpdate(item->noteHandle, plat::UPDATE_FORCE);
    return status;
}

Operation Op(talix::OperationCode code, std::uint16_t op2, std::uint16_t a3, const char* argument) {
    Operation operation;
    operation.code = code;
    operation.op2 = op2;
    operation.a3 = a3;
    operation.argument = argument;
    return operation;
}

Operation TextOperation(talix::OperationCode code, const char* text, const char* font) {
    Operation operation;
    operation.code = code;
    operation.argument = text;
    const std::size_t length = text != nullptr ? std::strlen(text) : 0;
    operation.a3 = static_cast<std::uint16_t>(length > 0xFFFF ? 0xFFFF : length);
    operation.second = font;
    return operation;
}

} // namespace talix_test
