#include "htmlgen/stored_attributes.h"

#include <cstring>
#include <string>

#include "core/html_attributes.h"
#include "core/options.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/extra_attributes.h"
#include "htmlgen/line_buffer.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "htmlgen";

// The texts of an id/name record, in stored order, and the order in which
// their attributes are written.
enum IdNameText { kId = 0, kClass, kStyle, kTitle, kExtra, kName, kIdNameTexts };
constexpr IdNameText kWriteOrder[] = {kId, kName, kClass, kStyle, kTitle};
constexpr const char* kAttributeNames[kIdNameTexts] = {" id=\"", " class=\"", " style=\"", " title=\"", "",
                                                        " name=\""};

// The keys of the extra text that the generation reads itself.
constexpr const char* kOwnKeys[] = {"Caption=", "TalixDataTable=", "TalixTH=", "TalixTHEAD=",
                                    "TalixTBODY=", "TalixTFOOT=", "src="};

void RemoveOwnKeys(char* text) {
    for (const char* key : kOwnKeys) {
        if (text[0] == '\0') return;
        RemoveOption(text, key);
    }
}

// What is left of an extra text: after a blank unless it begins with one,
// and never able to end the start tag it stands in. XHTML takes it as
// well-formed attributes, leaving out those the start tag already has.
void WriteExtra(XMLGenContext* context, const char* text, std::size_t length, bool quote,
                const std::vector<std::string>& later) {
    const std::string_view given(text, length);
    std::string out;
    if (context->format == kFormatXHTML || quote || given.empty() || given[0] != ' ') out = " ";
    if (context->format == kFormatXHTML) {
        MoveToTextEnd(context);
        std::vector<std::string> taken = OpenStartTagNames(
            std::string_view(context->buffer, static_cast<std::size_t>(context->writePosition - context->buffer)));
        taken.insert(taken.end(), later.begin(), later.end());
        out += QuotedAttributes(given, &taken);
    } else if (quote) {
        out += HtmlQuotedAttributes(given);
    } else {
        out += ContainedAttributes(given);
    }
    AppendOutput(context, out.data(), out.size());
}

} // namespace

std::vector<std::uint8_t> TakeIDNameStyle(const std::uint8_t* record, std::uint32_t length, std::string* style) {
    style->clear();
    std::vector<std::uint8_t> bytes(record, record + length);
    if (length < kIdNameFixedLength) return bytes;
    std::uint32_t lengths[kIdNameTexts];
    std::uint32_t total = kIdNameFixedLength;
    for (int i = 0; i < kIdNameTexts; ++i) {
        lengths[i] = ReadWord(record + 4 + 2 * i);
        total += lengths[i];
    }
    if (total > length || lengths[kStyle] == 0) return bytes;
    const std::uint32_t at = kIdNameFixedLength + lengths[kId] + lengths[kClass];
    style->assign(reinterpret_cast<const char*>(record) + at, lengths[kStyle]);
    style->resize(strnlen(style->c_str(), style->size()));
    bytes.erase(bytes.begin() + at, bytes.begin() + at + lengths[kStyle]);
    WriteWord(bytes.data() + 4 + 2 * kStyle, 0);
    WriteWord(bytes.data() + 2, static_cast<std::uint16_t>(bytes.size()));
    return bytes;
}

void WriteStoredStyle(XMLGenContext* context, const std::string& style) {
    const std::size_t end = style.find_last_not_of(" \t");
    if (end == std::string::npos) return;
    WriteXMLEncodedText(context, style.data(), static_cast<std::uint16_t>(end + 1 > 0xFFFF ? 0xFFFF : end + 1), 1, 0,
                        0);
    AppendOutput(context, style[end] == ';' ? " " : "; ");
}

std::string AutoQuoteAttributes(std::string_view text) { return HtmlQuotedAttributes(text); }

STATUS WriteIDNameAttributes(const std::uint8_t* record, std::uint32_t length, XMLGenContext* context,
                             char* extraText, const std::vector<std::string>& later) {
    if (record == nullptr || context == nullptr || length < kIdNameFixedLength) return kArgumentError;
    std::uint32_t lengths[kIdNameTexts];
    const char* texts[kIdNameTexts];
    std::uint32_t offset = kIdNameFixedLength;
    for (int i = 0; i < kIdNameTexts; ++i) {
        lengths[i] = ReadWord(record + 4 + 2 * i);
        if (lengths[i] > length - offset) return kArgumentError;
        texts[i] = reinterpret_cast<const char*>(record + offset);
        offset += lengths[i];
    }
    MoveToTextEnd(context);
    for (IdNameText which : kWriteOrder) {
        if (lengths[which] == 0) continue;
        AppendOutput(context, kAttributeNames[which]);
        WriteXMLEncodedText(context, texts[which], static_cast<std::uint16_t>(lengths[which]), 1, 0, 0);
        AppendOutput(context, "\"", 1);
    }
    if (lengths[kExtra] > 0) {
        // XHTML needs every value quoted: the text is always written as
        // AutoQuoteHTMLParams writes it there.
        if (extraText != nullptr) {
            RemoveOwnKeys(extraText);
            WriteExtra(context, extraText, std::strlen(extraText), false, later);
        } else if (!IsOn(context, sw::kAutoQuoteHTMLParams)) {
            auto* copy = static_cast<char*>(
                QuorbelAllocate(context->session, __LINE__, kSourceName, lengths[kExtra] + 1, 1));
            if (copy == nullptr) return kOutOfMemory;
            std::memcpy(copy, texts[kExtra], lengths[kExtra]);
            RemoveOwnKeys(copy);
            WriteExtra(context, copy, std::strlen(copy), false, later);
            ZervaDeallocate(context->session, copy);
        } else {
            WriteExtra(context, texts[kExtra], strnlen(texts[kExtra], lengths[kExtra]), true, later);
        }
    }
    MoveToTextEnd(context);
    return context->overflow != 0 ? kOutOfMemory : kOK;
}

std::uint32_t JoinTextList(const void* list, std::uint32_t listSize, char* output, std::uint32_t capacity,
                           const char* separator, STATUS* status) {
    auto fail = [status](STATUS failure) -> std::uint32_t {
        if (status != nullptr) *status = failure;
        return failure;
    };
    if (status != nullptr) *status = kOK;
    if (output == nullptr || capacity == 0) return fail(kArgumentError);
    output[0] = '\0';
    if (list == nullptr || listSize < 2) return fail(kArgumentError);
    const auto* bytes = static_cast<const std::uint8_t*>(list);
    const std::uint32_t count = ReadWord(bytes);
    std::uint64_t needed = 2 + 2ull * count;
    if (needed > listSize) return fail(kArgumentError);
    for (std::uint32_t i = 0; i < count; ++i) needed += ReadWord(bytes + 2 + 2 * i);
    if (needed > listSize) return fail(kArgumentError);

    const std::size_t separatorLength = separator != nullptr ? std::strlen(separator) : 0;
    std::size_t used = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const char* entry = nullptr;
        plat::WORD entryLength = 0;
        const plat::STATUS read = plat::ListGetText(list, false, static_cast<plat::WORD>(i), &entry, &entryLength);
        if (read != plat::NOERROR) return fail(static_cast<STATUS>(read & kStatusMask));
        const std::size_t before = i > 0 ? separatorLength : 0;
        if (used + before + entryLength >= capacity) return fail(kOutOfMemory);
        if (before > 0) std::memcpy(output + used, separator, before);
        used += before;
        std::memcpy(output + used, entry, entryLength);
        used += entryLength;
        output[used] = '\0';
    }
    return static_cast<std::uint32_t>(used);
}

} // namespace talix
