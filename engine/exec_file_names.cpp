// Property code 12: the file name a record of the chunk refers to, left in
// the session's first scratch buffer: the name of an OLE object (second
// code 2326), or the attachment name (2337) or display name (2621) of a
// file hotspot, or the attachment an image storage link names (2337,
// 2621). The first matching record inside the chunk gives the answer.
#include <cstring>

#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "engine/exec_results.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"

namespace talix {

namespace {

constexpr std::uint16_t kOleName = 2326, kAttachmentName = 2337, kOriginalName = 2621;

// A text of the record, cut to what the record holds.
void PutRecordText(RecordProcessContext* context, const std::uint8_t* record, std::uint32_t length,
                   std::uint32_t at, std::uint32_t textLength) {
    if (at > length) textLength = 0;
    else if (textLength > length - at) textLength = length - at;
    PutScratch1(context, record + at, textLength);
}

// The file hotspot's data: the attachment name, a zero byte, the display
// name, a zero byte.
void PutHotspotName(RecordProcessContext* context, const std::uint8_t* record, std::uint32_t length) {
    std::uint32_t dataLength = ReadWord(record + kHotspotDataLengthAt);
    if (dataLength > length - kHotspotBeginFixedLength) dataLength = length - kHotspotBeginFixedLength;
    const char* data = reinterpret_cast<const char*>(record + kHotspotBeginFixedLength);
    const std::uint32_t first = static_cast<std::uint32_t>(strnlen(data, dataLength));
    if (context->operation2 == kAttachmentName || dataLength == 0) {
        PutScratch1(context, data, first);
        return;
    }
    const std::uint32_t secondStart = first < dataLength ? first + 1 : dataLength;
    PutScratch1(context, data + secondStart,
                static_cast<std::uint32_t>(strnlen(data + secondStart, dataLength - secondStart)));
}

STATUS FileNameInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                      RecordProcessContext* context) {
    if (context->chunkDone != 0) return kOK;
    const std::uint16_t code = context->operation2;
    if (code == kOleName && signature == kSigOleBegin && length >= kOleBeginFixedLength) {
        PutRecordText(context, record, length, kOleBeginFixedLength, ReadWord(record + kOleBeginNameLengthAt));
    } else if ((code == kAttachmentName || code == kOriginalName) &&
               (signature == kSigHotspotBegin || signature == kSigV4HotspotBegin)
                   && length >= kHotspotBeginFixedLength &&
               ReadWord(record + kHotspotTypeAt) == kHotspotTypeFile) {
        PutHotspotName(context, record, length);
    } else if ((code == kAttachmentName || code == kOriginalName) && signature == kSigStorageLink &&
               length >= kStorageLinkFixedLength) {
        const std::uint16_t type = ReadWord(record + kStorageLinkKindAt);
        const std::uint16_t nameLength = ReadWord(record + kStorageLinkNameLengthAt);
        const bool named = (type == kStorageLinkNamed || type == kStorageLinkAttachment) && nameLength != 0;
        PutRecordText(context, record, length, kStorageLinkFixedLength, named ? nameLength : 0);
    } else {
        return kOK;
    }
    context->chunkDone = 1;
    return kOK;
}

const OperationRow kRows[] = {
    {kOpGetFileName, nullptr, FileNameInside, nullptr},
};

} // namespace

const OperationFamily kFileNameOperations = MakeFamily(kRows);

} // namespace talix
