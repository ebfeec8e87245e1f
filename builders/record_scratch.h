// What the hotspot, field, image-map, button and section builders share: a
// record buffer from the session's tracked pool, the append of a record of
// odd length, option values read into a bounded buffer, and the fonts of
// new text.
#pragma once

#include <cstdint>

#include "core/font_spec.h"
#include "core/statuses.h"

class RARIvoSession;
class ZervaRTItem;

namespace talix {

struct RecordOutput;
struct BuildContext;

// The longest record these builders lay out: a work buffer.
constexpr std::uint32_t kMaxBuiltRecord = kWorkBufferSize;

// A zero-filled buffer of at least the size asked for (rounded up to even),
// taken from the session's tracked pool and released with the object. data()
// is null when the size is above kMaxBuiltRecord or memory ran out.
class RecordScratch {
public:
    RecordScratch(RARIvoSession* session, std::uint32_t size);
    ~RecordScratch();
    RecordScratch(const RecordScratch&) = delete;
    RecordScratch& operator=(const RecordScratch&) = delete;
    std::uint8_t* data() const { return data_; }
    // 1028 when the size was too large, 263 when memory ran out.
    STATUS failure() const { return tooLarge_ ? kArgumentError : kOutOfMemory; }

private:
    RARIvoSession* session_;
    std::uint8_t* data_ = nullptr;
    bool tooLarge_ = false;
};

// Appends a host-form record (its header already holding length) whose
// buffer has room for one more byte: a record of odd length is handed over
// one zero byte longer. With evenHeader the header takes that even length;
// otherwise it keeps the odd one.
STATUS AppendPaddedRecord(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, bool evenHeader,
                          RecordOutput* output);

// The value of an option, cut to the buffer; true when the key is present.
bool OptionValue(const char* options, const char* key, char* buffer, std::uint32_t size);
// True when the option is present and its value equals word, ignoring case.
bool OptionIs(const char* options, const char* key, const char* word);

// The font of the item's text-run template (face 1, plain, colour 0, size
// 10 when the item has none).
FontId TemplateFont(const ZervaRTItem* item);

// The template font with a font specification applied. *colorGiven (may be
// null) tells whether the font specification named a colour; *rgb and *colorFlags
// receive its colour.
FontId FontFromSpec(ZervaRTItem* item, const char* spec, std::uint32_t* rgb, std::uint16_t* colorFlags,
                    bool* colorGiven);

// The template font with the running operation's font specification applied
// (the session's current colour receives its colour).
FontId OperationFont(BuildContext* context);

// A length given as 0 is measured; a given length never reaches past the
// text's terminator.
std::uint32_t TextLength(const char* text, std::uint32_t length);

} // namespace talix
