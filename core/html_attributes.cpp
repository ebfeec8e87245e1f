// Reading a builder's HTML attribute options into an id/name record.
//
// Record layout: signature word at 0, record length at 2, the lengths of the
// id, class, style, title, other and name texts at 4 to 14, 10 reserved bytes
// at 16, then the six texts in that order without terminators.
#include "core/html_attributes.h"

#include <cstring>
#include <string>

#include "core/options.h"
#include "core/record_forms.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr int kTextCount = 6;
constexpr int kNameText = 5;
constexpr int kOtherText = 4;
constexpr std::uint32_t kMaxRecordLength = 65535;

// The six texts of an existing record; a text that runs past the record's
// own length is cut at it.
void ReadTexts(const std::uint8_t* record, std::string (&texts)[kTextCount]) {
    std::uint32_t length = ReadWord(record + 2);
    std::uint32_t position = kIdNameFixedLength;
    for (int i = 0; i < kTextCount; ++i) {
        std::uint32_t textLength = ReadWord(record + 4 + 2 * i);
        std::uint32_t available = position < length ? length - position : 0;
        if (textLength > available) textLength = available;
        texts[i].assign(reinterpret_cast<const char*>(record + position), textLength);
        position += textLength;
    }
}

// Reads one option into text. Returns true when it is present; *changed is
// set when the value is not empty or replaces an old text of another length.
bool ReadAttribute(RARIvoSession* session, const std::string& key, const char* options, bool haveOld,
                   std::string& text, bool* changed) {
    if (!GetOptionValue(options, key.c_str(), session->optionValue, RARIvoSession::kOptionValueCapacity))
        return false;
    std::string value = session->optionValue;
    if (!value.empty() || (haveOld && text.size() != value.size())) *changed = true;
    text = value;
    return true;
}

} // namespace

int ApplyHTMLAttributeOptions(RARIvoSession* session, std::uint8_t* record, std::uint32_t capacity,
                              const std::uint8_t* oldRecord, const char* prefix, const char* options,
                              const char* extra) {
    if (session == nullptr || record == nullptr || capacity < kIdNameFixedLength) return 0;
    std::string base = prefix != nullptr ? prefix : "";

    // Start from the old texts; options that are present replace them.
    std::string texts[kTextCount];
    std::uint8_t reserved[10] = {};
    bool haveOld = oldRecord != nullptr;
    if (haveOld) {
        ReadTexts(oldRecord, texts);
        std::memcpy(reserved, oldRecord + 16, sizeof reserved);
    }

    bool changed = false;
    static const char* const kSuffixes[] = {"HTMLID=", "HTMLClass=", "HTMLStyle=", "HTMLTitle=", "HTMLOther="};
    for (int i = 0; i < 5; ++i) ReadAttribute(session, base + kSuffixes[i], options, haveOld, texts[i], &changed);

    if (extra != nullptr && extra[0] != '\0') {
        texts[kOtherText] += ' ';
        texts[kOtherText] += extra;
        changed = true;
    }

    if (!ReadAttribute(session, base + "HTMLName=", options, haveOld, texts[kNameText], &changed))
        ReadAttribute(session, base + "Name=", options, haveOld, texts[kNameText], &changed);

    // Place the texts, cutting whatever does not fit.
    std::uint32_t limit = capacity < kMaxRecordLength ? capacity : kMaxRecordLength;
    std::uint32_t position = kIdNameFixedLength;
    std::uint16_t lengths[kTextCount];
    for (int i = 0; i < kTextCount; ++i) {
        std::uint32_t length = static_cast<std::uint32_t>(texts[i].size());
        if (length > limit - position) length = limit - position;
        lengths[i] = static_cast<std::uint16_t>(length);
        position += length;
    }
    std::uint32_t textPosition = kIdNameFixedLength;
    for (int i = 0; i < kTextCount; ++i) {
        std::memcpy(record + textPosition, texts[i].data(), lengths[i]);
        textPosition += lengths[i];
    }
    WriteWord(record + 2, static_cast<std::uint16_t>(position));
    for (int i = 0; i < kTextCount; ++i) WriteWord(record + 4 + 2 * i, lengths[i]);
    std::memcpy(record + 16, reserved, sizeof reserved);
    return changed ? 1 : 0;
}

} // namespace talix
