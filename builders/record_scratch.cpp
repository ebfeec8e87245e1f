// What is shared by the hotspot, field, image-map, button and section
// builders.
#include "builders/record_scratch.h"

#include <cstring>

#include "builders/append_gate.h"
#include "builders/build_context.h"
#include "builders/record_output.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "rtproc4";
constexpr std::uint32_t kTemplateFont = 4;   // the font id in a text-run record

} // namespace

RecordScratch::RecordScratch(RARIvoSession* session, std::uint32_t size) : session_(session) {
    if (size > kMaxBuiltRecord) {
        tooLarge_ = true;
        return;
    }
    if (session_ == nullptr) return;
    data_ = static_cast<std::uint8_t*>(QuorbelAllocate(session_, __LINE__, kSourceName, EvenLength(size) + 2, 1));
}

RecordScratch::~RecordScratch() {
    if (data_ != nullptr) ZervaDeallocate(session_, data_);
}

STATUS AppendPaddedRecord(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, bool evenHeader,
                          RecordOutput* output) {
    const std::uint32_t even = EvenLength(length);
    if (even != length) {
        record[length] = 0;
        if (evenHeader) SetHostRecordLength(record, signature, even);
    }
    return AppendRecord(record, signature, even, output);
}

bool OptionValue(const char* options, const char* key, char* buffer, std::uint32_t size) {
    if (size > 0) buffer[0] = '\0';
    return GetOptionValue(options, key, buffer, size) != 0;
}

bool OptionIs(const char* options, const char* key, const char* word) {
    char value[64];
    if (!OptionValue(options, key, value, sizeof value)) return false;
    const std::size_t length = std::strlen(word);
    return std::strlen(value) == length && FindNoCase(value, word) == value;
}

FontId TemplateFont(const ZervaRTItem* item) {
    FontId font{1, 0, 0, 10};
    if (item == nullptr || item->work == nullptr) return font;
    const std::uint8_t* header = item->work->textTemplate;
    if (ReadWord(header) != kSigText) return font;
    return ReadFontId(header + kTemplateFont);
}

FontId FontFromSpec(ZervaRTItem* item, const char* spec, std::uint32_t* rgb, std::uint16_t* colorFlags,
                    bool* colorGiven) {
    FontId font = TemplateFont(item);
    ParsedFontSpec parsed;
    FontSpecMask mask;
    std::uint32_t ownRgb = 0;
    std::uint16_t ownFlags = 0;
    if (spec != nullptr && ParseFontSpec(spec, nullptr, item, &parsed, nullptr, &mask, nullptr) == kOK) {
        ApplyFontSpec(&font, &ownRgb, &ownFlags, parsed, mask);
    }
    if (rgb != nullptr) *rgb = ownRgb;
    if (colorFlags != nullptr) *colorFlags = ownFlags;
    if (colorGiven != nullptr) *colorGiven = spec != nullptr && mask.color != 0;
    return font;
}

FontId OperationFont(BuildContext* context) {
    FontId font = TemplateFont(context->output.item);
    SessionWorkArea* area = context->session->workArea;
    ApplyFontSpec(&font, &area->currentRGB, &area->currentColorFlags, context->font, context->fontMask);
    return font;
}

std::uint32_t TextLength(const char* text, std::uint32_t length) {
    if (text == nullptr) return 0;
    if (length == 0) return static_cast<std::uint32_t>(std::strlen(text));
    return static_cast<std::uint32_t>(strnlen(text, length));
}

} // namespace talix
