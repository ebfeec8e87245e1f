// The visiting operation: its executors hand each record to the procedures
// of the RecordVisitor the run carries (engine/record_visitor.h).
#include "engine/record_process.h"
#include "engine/record_visitor.h"

namespace talix {

namespace {

STATUS VisitStart(std::uint8_t* record, std::uint16_t signature, std::uint32_t recordCounter,
                  RecordProcessContext* context) {
    RecordVisitor* visitor = RunVisitor(context);
    return visitor != nullptr && visitor->start != nullptr ? visitor->start(record, signature, recordCounter, context)
                                                           : kOK;
}

STATUS VisitInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                   RecordProcessContext* context) {
    RecordVisitor* visitor = RunVisitor(context);
    return visitor != nullptr && visitor->inside != nullptr ? visitor->inside(record, signature, length, passOn, context)
                                                            : kOK;
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
