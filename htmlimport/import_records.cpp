// Text, begin and end records of the import, laid out in their list nodes.
#include "htmlimport/import_records.h"

#include <cstring>

#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_sink.h"
#include "talix_platform.h"

namespace talix {

namespace {

// What a text run counts toward the text since the last paragraph break
// besides its text.
constexpr std::uint32_t kRunOverhead = 20;
// The font of a run given without a template: face 1, plain, colour 0, 12
// points.
constexpr std::uint8_t kDefaultRunFont[4] = {1, 0, 0, 12};

STATUS AddWrapperRecord(std::uint16_t signature, std::uint16_t enclosed, std::uint16_t version,
                        HTMLImportContext* import) {
    if (import == nullptr) return kArgumentError;
    CDRecordNode* node = NewImportNode(signature, kBeginLength, import);
    if (node == nullptr) return kOutOfMemory;
    node->bytes[0] = static_cast<std::uint8_t>(signature);
    node->bytes[1] = static_cast<std::uint8_t>(kBeginLength);
    WriteWord(node->bytes + 2, version);
    WriteWord(node->bytes + 4, enclosed);
    LinkImportNode(node, import);
    return kOK;
}

// The length of the first whole characters of text that fit in limit bytes
// (at least one character, so that every step makes progress).
std::uint32_t WholeCharacters(const char* text, std::uint32_t length, std::uint32_t limit) {
    if (length <= limit) return length;
    std::uint32_t at = 0;
    while (at < length) {
        const auto* p = reinterpret_cast<const plat::BYTE*>(text + at);
        std::uint32_t step = plat::LmbcsCharLength(p, length - at);
        if (step == 0) step = 1;
        if (at + step > limit) break;
        at += step;
    }
    return at > 0 ? at : (length < limit ? length : limit);
}

} // namespace

std::uint16_t ImportTextSignature(const HTMLImportContext* import) {
    return import != nullptr && import->rightToLeft != 0 ? kSigBidiText : kSigText;
}

STATUS AddImportTextRecord(const char* text, std::uint32_t length, const std::uint8_t* textTemplate,
                           HTMLImportContext* import) {
    if (import == nullptr || (text == nullptr && length > 0) || length > kImportRunLength) return kArgumentError;
    const std::uint16_t signature = ImportTextSignature(import);
    CDRecordNode* node = NewImportNode(signature, kTextRunHeader + length, import);
    if (node == nullptr) return kOutOfMemory;
    WriteWord(node->bytes, signature);
    WriteWord(node->bytes + 2, static_cast<std::uint16_t>(kTextRunHeader + length));
    std::memcpy(node->bytes + 4, textTemplate != nullptr ? textTemplate + 4 : kDefaultRunFont, 4);
    if (length > 0) std::memcpy(node->bytes + kTextRunHeader, text, length);
    LinkImportNode(node, import);
    import->textSinceParagraph += length + kRunOverhead;
    return kOK;
}

STATUS AddImportTextRuns(const char* text, std::uint32_t length, const std::uint8_t* textTemplate,
                         HTMLImportContext* import) {
    if (length == 0) return AddImportTextRecord(text, 0, textTemplate, import);
    std::uint32_t at = 0;
    while (at < length) {
        const std::uint32_t piece = WholeCharacters(text + at, length - at, kImportRunLength);
        const STATUS status = AddImportTextRecord(text + at, piece, textTemplate, import);
        if (status != kOK) return status;
        at += piece;
    }
    return kOK;
}

STATUS AddImportBeginRecord(std::uint16_t enclosedSignature, std::uint16_t version, HTMLImportContext* import) {
    return AddWrapperRecord(kSigBegin, enclosedSignature, version, import);
}

STATUS AddImportEndRecord(std::uint16_t enclosedSignature, std::uint16_t version, HTMLImportContext* import) {
    return AddWrapperRecord(kSigEnd, enclosedSignature, version, import);
}

} // namespace talix
