#include "htmlgen/form_fields.h"

#include <cstdint>

#include "htmlgen/entity_encoder.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/walk_records.h"

namespace talix {

namespace {

// Field record fields (host form): the data type, the lengths of the three
// formulas and of the name, which follow the fixed part in that order.
constexpr std::uint32_t kDataTypeAt = 6, kDefaultLengthAt = 24, kTranslationLengthAt = 26,
                        kValidationLengthAt = 30, kNameLengthAt = 32, kFixedPart = 40;
constexpr std::uint16_t kRichText = 1, kText = 0x0500, kTextList = 0x0501;

} // namespace

STATUS WriteXMLField(XMLGenContext* context, int unused) {
    (void)unused;
    if (context == nullptr || context->buffer == nullptr) return kArgumentError;
    MoveToTextEnd(context);
    const CDRecordNode* field = context->node;
    if (field == nullptr || field->bytes == nullptr || field->length < kFixedPart) return kOK;
    const std::uint16_t type = NodeWord(field, kDataTypeAt);
    if (type != kRichText && type != kText && type != kTextList) return kOK;
    const std::uint32_t nameAt = kFixedPart + NodeWord(field, kDefaultLengthAt) +
                                 NodeWord(field, kTranslationLengthAt) + NodeWord(field, kValidationLengthAt);
    const std::uint32_t nameLength = NodeWord(field, kNameLengthAt);
    if (nameAt + nameLength > field->length) return kOK;
    const char* name = reinterpret_cast<const char*>(field->bytes) + nameAt;

    // The name is encoded like any attribute value. A text field is a text
    // input: the element is closed in XHTML.
    AppendOutput(context, type == kRichText ? "<textarea name=\"" : "<input type=\"text\" name=\"");
    WriteXMLEncodedText(context, name, static_cast<std::uint16_t>(nameLength), 1, 0, 0);
    if (type == kRichText) {
        AppendOutput(context, "\" rows=\"7\" cols=\"50\"></textarea>");
    } else {
        AppendOutput(context, context->format == kFormatXHTML ? "\" value=\"\" />" : "\" value=\"\">");
    }
    return kOK;
}

} // namespace talix
