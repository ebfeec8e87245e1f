// The visiting operation: its executors hand each record to the procedures
// of the RecordVisitor the run carries (engine/record_visitor.h).
#include "engine/record_process.h"
#include "engine/record_visitor.h"

namespace talix {

namespace {

// A procedure that has read all it needs ends the walk after this record.
STATUS StopWhenRead(STATUS status, RecordProcessContext* context) {
    if (context->readDone != 0 && context->writesItem == 0) context->stopWhenDone |= kStopWhenRead;
    return status;
}

STATUS VisitStart(std::uint8_t* record, std::uint16_t signature, std::uint32_t recordCounter,
                  RecordProcessContext* context) {
    RecordVisitor* visitor = RunVisitor(context);
    if (visitor == nullptr || visitor->start == nullptr) return kOK;
    return StopWhenRead(visitor->start(record, signature, recordCounter, context), context);
}

STATUS VisitInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                   RecordProcessContext* context) {
    RecordVisitor* visitor = RunVisitor(context);
    if (visitor == nullptr || visitor->inside == nullptr) return kOK;
    return StopWhenRead(visitor->inside(record, signature, length, passOn, context), context);
}

STATUS VisitEnd(std::uint8_t* record, std::uint16_t signature, RecordProcessContext* context) {
    RecordVisitor* visitor = RunVisitor(context);
    return visitor != nullptr && visitor->end != nullptr ? visitor->end(record, signature, context) : kOK;
}

const OperationRow kRows[] = {
    {kOpVisitRecords, VisitStart, VisitInside, VisitEnd},
};

} // namespace

const OperationFamily kVisitorOperations = MakeFamily(kRows);

RecordVisitor* RunVisitor(const RecordProcessContext* context) {
    return context != nullptr && context->operation == kOpVisitRecords ? static_cast<RecordVisitor*>(context->pointer)
                                                                       : nullptr;
}

} // namespace talix
