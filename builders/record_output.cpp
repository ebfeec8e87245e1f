// The record output's entry: where a built record goes, to the collector
// that has taken the output over or through the append gate into the item.
#include "builders/append_gate.h"
#include "builders/record_output.h"

namespace talix {

STATUS AppendRecord(const void* record, std::uint16_t signature, std::uint32_t length, RecordOutput* output) {
    if (output == nullptr || (record == nullptr && length > 0)) return kArgumentError;
    if (const RecordCollector& collector = output->collector; collector.owner != nullptr) {
        if (collector.take == nullptr) return kOperationFailed;
        return collector.take(collector.owner, record, signature, length);
    }
    return AppendRecordToItem(record, signature, length, output);
}

} // namespace talix
