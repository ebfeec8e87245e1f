#include "builders/record_conversion.h"

#include <cstring>

#include "builders/append_gate.h"
#include "builders/build_context.h"
#include "core/paragraph_def.h"
#include "core/record_forms.h"
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

// The face the font-table merge gave an incoming face, or 0 when it gave
// none that can be used.
std::uint8_t MappedFace(const FontMap& map, std::uint8_t face) {
    const std::uint16_t count = map.count < 255 ? map.count : 255;
    for (std::uint16_t i = 0; i < count; ++i) {
        if (map.oldIds[i] == face) return map.newIds[i] < kUnusableFace ? map.newIds[i] : 0;
    }
    return 0;
}

// Adds the offset to the word at each of the offsets of the record.
bool MoveIds(std::uint8_t* record, std::uint32_t length, const std::uint32_t* at, int count, std::uint16_t offset) {
    for (int i = 0; i < count; ++i) {
        if (at[i] + 2 > length) return false;
    }
    for (int i = 0; i < count; ++i) {
        WriteWord(record + at[i], static_cast<std::uint16_t>(ReadWord(record + at[i]) + offset));
    }
    return true;
}

// The default paragraph definition the pass starts from.
void ResetParagraphDefinition(BuildContext* context) {
    std::uint16_t length = plat::StructStoredLength(kParagraphDefinitionType);
    if (length == 0 || length > kParagraphImageSize) length = 70;
    CDPABDEFEXT definition = DefaultParagraphDefinition(context->importParagraphOffset);
    definition.length = length;
    std::memset(context->paragraphDefinition, 0, sizeof context->paragraphDefinition);
    std::memcpy(context->paragraphDefinition, &definition, length);
    context->paragraphDefinitionLength = length;
}

} // namespace

STATUS ConvertItemRecords(const char* recordFilePath, BuildContext* context) {
    if (context == nullptr || context->session == nullptr || context->session->workArea == nullptr ||
        recordFilePath == nullptr || recordFilePath[0] == '\0')
        return kArgumentError;
    const std::uint16_t base = context->session->workArea->copy.paragraphIdBase;
    context->importParagraphOffset = static_cast<std::uint16_t>(base + kImportParagraphIdOffset);
    ResetParagraphDefinition(context);
    // The faces are mapped by the file's own font table only: a mapping an
    // earlier merge of the session left would give the file's runs faces
    // of another note's table, and the one this file's table leaves would
    // do the same to the next copy that merges no table.
    FontMap& map = context->session->workArea->fontMap;
    map.count = 0;
    const plat::STATUS status = plat::EnumRecordFile(recordFilePath, ReemitRecordCallback, context);
    map.count = 0;
    if (status != plat::NOERROR) context->errorWord = kErrImportFileMissing;
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

    const std::uint16_t offset = context->importParagraphOffset;
    const std::uint32_t* at = nullptr;
    int count = 0;
    switch (signature) {
    case kSigPabDefinition:
    case kSigPabHide: at = &kPabIdAt; count = 1; break;
    case kSigPabReference: at = &kReferenceId; count = 1; break;
    case kSigPabFormRef: at = kFormulaReferenceIds; count = 2; break;
    case kSigStyleName: at = &kStyleNameId; count = 1; break;
    default: break;
    }
    if (offset == 0 || count == 0) return AppendRecord(record, signature, length, &context->output);
    if (length > kWorkBufferSize) return kOutOfMemory;
    std::memcpy(copy, record, length);
    if (!MoveIds(copy, length, at, count, offset)) return kArgumentError;
    return AppendRecord(copy, signature, length, &context->output);
}

} // namespace talix
