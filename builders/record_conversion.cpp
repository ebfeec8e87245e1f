#include "builders/record_conversion.h"

#include <algorithm>
#include <cstring>

#include "builders/append_gate.h"
#include "builders/build_context.h"
#include "core/host_message.h"
#include "core/paragraph_def.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr plat::WORD kParagraphDefinitionType = StructureTypeOf(kSigPabDefinition);
// Host offsets of the fields a record of the file may need changed.
constexpr std::uint32_t kTextFace = 4;             // CDTEXT: the face byte of its font id
constexpr std::uint32_t kReferenceId = 2;          // 0x83
constexpr std::uint32_t kFormulaReferenceIds[] = {2, 4};   // 0xBC
constexpr std::uint32_t kStyleNameId = 8;          // 0xA6
// Faces below this are the standard ones every note has.
constexpr std::uint8_t kFirstNoteFace = 5;
// A mapped face at or above this is not used.
constexpr std::uint8_t kUnusableFace = 200;
// The platform's status for a file that cannot be opened.
constexpr plat::STATUS kFileNotOpened = 15154;
// Paragraph ids are words: none lies above this.
constexpr std::uint32_t kLastParagraphId = 0xFFFF;

// The face the font-table merge gave an incoming face, or 0 when it gave
// none that can be used.
std::uint8_t MappedFace(const FontMap& map, std::uint8_t face) {
    const std::uint16_t count = map.count < 255 ? map.count : 255;
    for (std::uint16_t i = 0; i < count; ++i) {
        if (map.oldIds[i] == face) return map.newIds[i] < kUnusableFace ? map.newIds[i] : 0;
    }
    return 0;
}

// Where the paragraph ids of a record of the signature lie; count 0 for a
// record that holds none.
struct IdFields {
    const std::uint32_t* at = nullptr;
    int count = 0;
};

IdFields ParagraphIdFields(plat::WORD signature) {
    switch (signature) {
    case kSigPabDefinition:
    case kSigPabHide: return {&kPabIdAt, 1};
    case kSigPabReference: return {&kReferenceId, 1};
    case kSigPabFormRef: return {kFormulaReferenceIds, 2};
    case kSigStyleName: return {&kStyleNameId, 1};
    default: return {};
    }
}

// Whether the offset keeps every paragraph id of the record within the
// last id; when not, *unfit gets the first id it would carry past it. A
// record too short to hold its ids is left to MoveIds, which refuses it.
bool IdsFit(const std::uint8_t* record, std::uint32_t length, IdFields fields, std::uint32_t offset,
            std::uint16_t* unfit) {
    for (int i = 0; i < fields.count; ++i) {
        if (fields.at[i] + 2 > length) return true;
        const std::uint16_t id = ReadWord(record + fields.at[i]);
        if (id + offset > kLastParagraphId) {
            *unfit = id;
            return false;
        }
    }
    return true;
}

// Adds the offset to the word at each of the fields of the record. False,
// with the record unchanged, when the record is too short for a field or
// an id would pass the last one: a wrapped id would name a paragraph
// definition the item already has.
bool MoveIds(std::uint8_t* record, std::uint32_t length, IdFields fields, std::uint32_t offset) {
    for (int i = 0; i < fields.count; ++i) {
        if (fields.at[i] + 2 > length) return false;
    }
    std::uint16_t unfit = 0;
    if (!IdsFit(record, length, fields, offset, &unfit)) return false;
    for (int i = 0; i < fields.count; ++i) {
        WriteWord(record + fields.at[i], static_cast<std::uint16_t>(ReadWord(record + fields.at[i]) + offset));
    }
    return true;
}

// The default paragraph definition the pass starts from.
void ResetParagraphDefinition(BuildContext* context) {
    std::uint16_t length = plat::StructStoredLength(kParagraphDefinitionType);
    if (length == 0 || length > kParagraphImageSize) length = 70;
    const std::uint32_t id = std::min(context->importParagraphOffset, kLastParagraphId);
    CDPABDEFEXT definition = DefaultParagraphDefinition(static_cast<std::uint16_t>(id));
    definition.length = length;
    std::memset(context->paragraphDefinition, 0, sizeof context->paragraphDefinition);
    std::memcpy(context->paragraphDefinition, &definition, length);
    context->paragraphDefinitionLength = length;
}

// One pass of a record file: the run it feeds, the file, and whether a
// record of the file, rather than the reading of it, stopped the pass.
struct FilePass {
    BuildContext* context = nullptr;
    const char* path = nullptr;
    bool stoppedByRecord = false;
};

// A record of the file that the item cannot take is refused here, with the
// reason shown, before ReemitRecordCallback would change or append it.
plat::STATUS PassRecord(const void* data, plat::WORD signature, plat::DWORD length, void* state) {
    auto* pass = static_cast<FilePass*>(state);
    BuildContext* context = pass->context;
    pass->stoppedByRecord = true;
    // A font table is merged, not appended.
    if (signature != kSigFontTable && length > kOutputSegmentCapacity) {
        ReportRefusal(context->session,
                      "Cannot import '%s': it holds a record (signature 0x%04X) of %u bytes, more than the %u "
                      "bytes a record may have",
                      pass->path, signature, static_cast<unsigned>(length), kOutputSegmentCapacity);
        return kArgumentError;
    }
    std::uint16_t unfit = 0;
    if (data != nullptr && !IdsFit(static_cast<const std::uint8_t*>(data), length, ParagraphIdFields(signature),
                                   context->importParagraphOffset, &unfit)) {
        ReportRefusal(context->session,
                      "Cannot import '%s': its paragraph id %u, moved above the item's paragraph ids, would pass "
                      "the last paragraph id, %u",
                      pass->path, static_cast<unsigned>(unfit), kLastParagraphId);
        return kArgumentError;
    }
    const plat::STATUS status = ReemitRecordCallback(data, signature, length, context);
    pass->stoppedByRecord = status != plat::NOERROR;
    return status;
}

} // namespace

STATUS ConvertItemRecords(const char* recordFilePath, BuildContext* context) {
    if (context == nullptr || context->session == nullptr || context->session->workArea == nullptr ||
        recordFilePath == nullptr || recordFilePath[0] == '\0')
        return kArgumentError;
    const std::uint16_t base = context->session->workArea->copy.paragraphIdBase;
    context->importParagraphOffset = static_cast<std::uint32_t>(base) + kImportParagraphIdOffset;
    ResetParagraphDefinition(context);
    // The faces are mapped by the file's own font table only: a mapping an
    // earlier merge of the session left would give the file's runs faces
    // of another note's table, and the one this file's table leaves would
    // do the same to the next copy that merges no table.
    FontMap& map = context->session->workArea->fontMap;
    map.count = 0;
    FilePass pass;
    pass.context = context;
    pass.path = recordFilePath;
    const plat::STATUS status = plat::EnumRecordFile(recordFilePath, PassRecord, &pass);
    map.count = 0;
    if (status == plat::NOERROR || pass.stoppedByRecord) return status;
    // Only a file that cannot be opened is a missing import file. A file
    // that is not a record file, or whose records are damaged or run past
    // its end, is refused with that reason; the run then leaves the error
    // word of content that could not be converted.
    if ((status & kStatusMask) == kFileNotOpened) {
        context->errorWord = kErrImportFileMissing;
    } else {
        char why[256];
        plat::StatusText(status, why, sizeof why);
        ReportRefusal(context->session, "Cannot import '%s': %s", recordFilePath, why);
    }
    return status;
}

plat::STATUS ReemitRecordCallback(const void* data, plat::WORD signature, plat::DWORD length, void* state) {
    auto* context = static_cast<BuildContext*>(state);
    const auto* record = static_cast<const std::uint8_t*>(data);
    ZervaRTItem* item = context->output.item;
    if (record == nullptr || item == nullptr) return kArgumentError;

    // The file's font table joins the item's; its faces are mapped below.
    if (signature == kSigFontTable) return item->MergeWithCDFONTTABLE(record, 0, length);

    // Changed records are copied into the session's second work buffer.
    std::uint8_t* copy = context->session->workArea->workBuffer2;
    const FontMap& map = context->session->workArea->fontMap;
    if (signature == kSigText && map.count != 0) {
        // Faces below 5 are the same in every note.
        const std::uint8_t face =
            length > kTextFace && record[kTextFace] >= kFirstNoteFace ? MappedFace(map, record[kTextFace]) : 0;
        if (face == 0) return AppendRecord(record, signature, length, &context->output);
        if (length > kWorkBufferSize) return kOutOfMemory;
        std::memcpy(copy, record, length);
        copy[kTextFace] = face;
        return AppendRecord(copy, signature, length, &context->output);
    }

    const std::uint32_t offset = context->importParagraphOffset;
    const IdFields fields = ParagraphIdFields(signature);
    if (offset == 0 || fields.count == 0) return AppendRecord(record, signature, length, &context->output);
    if (length > kWorkBufferSize) return kOutOfMemory;
    std::memcpy(copy, record, length);
    if (!MoveIds(copy, length, fields, offset)) return kArgumentError;
    return AppendRecord(copy, signature, length, &context->output);
}

} // namespace talix
