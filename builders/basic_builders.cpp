// The small record builders: each lays its record out in host form and
// hands it to the append gate.
#include "builders/basic_builders.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "builders/append_gate.h"
#include "builders/build_context.h"
#include "builders/text_runs.h"
#include "core/font_spec.h"
#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/text_search.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "rtproc3";

constexpr std::uint32_t kTabLabelText = 127;
constexpr std::uint32_t kFixedRecordLength = 20;

STATUS AppendWrapperRecord(std::uint8_t signature, std::uint16_t innerSignature, std::uint16_t version,
                           RecordOutput* output) {
    std::uint8_t record[kBeginLength] = {signature, static_cast<std::uint8_t>(kBeginLength)};
    WriteWord(record + 2, version);
    WriteWord(record + 4, innerSignature);
    return AppendRecord(record, signature, sizeof record, output);
}

bool IsEnd(const CDRecordNode* node) { return node->signature == kSigEnd; }
bool IsText(const CDRecordNode* node) { return node->signature == kSigText; }

// The first walk over a saved run: the records before its first text run or
// CDEND (the stop record, returned through stop) are appended.
STATUS AppendOpening(const CDRecordNode* saved, RecordOutput* output, const CDRecordNode** stop, bool* sawBegin) {
    *stop = nullptr;
    *sawBegin = false;
    for (const CDRecordNode* node = saved; node != nullptr; node = node->next) {
        if (IsText(node) || IsEnd(node)) {
            *stop = node;
            return kOK;
        }
        if (node->signature == kSigBegin) *sawBegin = true;
        const STATUS status = AppendRecordNode(node, output);
        if (status != kOK) return status;
    }
    return kOK;
}

// The records after the saved text runs, up to and including the CDEND that
// closes the run's wrapper.
STATUS AppendClosing(const CDRecordNode* afterStop, RecordOutput* output, STATUS status) {
    const CDRecordNode* node = afterStop;
    while (node != nullptr && IsText(node)) node = node->next;
    for (; node != nullptr; node = node->next) {
        status = AppendRecordNode(node, output);
        if (status != kOK || IsEnd(node)) break;
    }
    return status;
}

} // namespace

STATUS AppendBeginRecord(std::uint16_t innerSignature, std::uint16_t version, RecordOutput* output) {
    return AppendWrapperRecord(kSigBegin, innerSignature, version, output);
}

STATUS AppendEndRecord(std::uint16_t innerSignature, std::uint16_t version, RecordOutput* output) {
    return AppendWrapperRecord(kSigEnd, innerSignature, version, output);
}

STATUS AppendColorRecord(std::uint8_t signature, std::uint32_t rgb, std::uint16_t flags, RecordOutput* output) {
    std::uint8_t record[kColorLength] = {signature, static_cast<std::uint8_t>(kColorLength)};
    WriteWord(record + 2, static_cast<std::uint16_t>(flags | kColorIsRGB));
    record[4] = static_cast<std::uint8_t>(rgb);
    record[5] = static_cast<std::uint8_t>(rgb >> 8);
    record[6] = static_cast<std::uint8_t>(rgb >> 16);
    return AppendRecord(record, signature, sizeof record, output);
}

STATUS AppendTextRecord(const char* text, std::uint32_t length, const FontId* font, RecordOutput* output) {
    if (output == nullptr || output->session == nullptr) return kArgumentError;
    if ((text == nullptr && length > 0) || length > kMaxTextRunLength) return kArgumentError;
    const std::uint32_t recordLength = length + kTextRunHeader;
    TrackedBlock* block = QuorbelAllocateBlock(output->session, __LINE__, kSourceName, recordLength, 0);
    if (block == nullptr) return kOutOfMemory;
    if (block->data == nullptr) {
        QuorbelReleaseBlock(output->session, block);
        return kOutOfMemory;
    }
    std::uint8_t* record = block->data;
    const FontId& id = font != nullptr ? *font : kDefaultTextFont;
    WriteWord(record, kSigText);
    WriteWord(record + 2, static_cast<std::uint16_t>(recordLength));
    record[4] = id.face;
    record[5] = id.attributes;
    record[6] = id.color;
    record[7] = id.size;
    if (length > 0) std::memcpy(record + kTextRunHeader, text, length);
    const STATUS status = AppendRecord(record, kSigText, recordLength, output);
    QuorbelReleaseBlock(output->session, block);
    return status;
}

STATUS AppendNamedRecord(std::uint16_t flags, const char* label, std::uint32_t labelLength, RecordOutput* output) {
    if (label == nullptr && labelLength > 0) return kArgumentError;
    std::uint8_t record[kTableLabelLength] = {};
    WriteWord(record, kSigTableLabel);
    WriteWord(record + 2, static_cast<std::uint16_t>(kTableLabelLength));
    // Whole characters within the record's room: a long label loses whole
    // characters at its end rather than ending in a broken one.
    const std::uint32_t kept = WholeCharsWithin(label, labelLength, kTabLabelText);
    if (kept > 0) std::memcpy(record + 4, label, kept);
    WriteWord(record + 138, flags);
    return AppendRecord(record, kSigTableLabel, sizeof record, output);
}

STATUS AppendSmallFixedRecord(std::uint8_t signature, std::uint32_t value1, std::uint32_t value2,
                              RecordOutput* output) {
    std::uint8_t record[kFixedRecordLength] = {signature, static_cast<std::uint8_t>(kFixedRecordLength)};
    WriteWord(record + 2, 2);
    WriteWord(record + 4, 0x83);
    WriteDword(record + 12, value1);
    WriteDword(record + 16, value2);
    return AppendRecord(record, signature, sizeof record, output);
}

STATUS AppendWrappedRecords(const CDRecordNode* saved, RecordOutput* output) {
    const CDRecordNode* stop = nullptr;
    bool sawBegin = false;
    STATUS status = AppendOpening(saved, output, &stop, &sawBegin);
    if (status != kOK || stop == nullptr) return status;
    status = AppendRecordNode(stop, output);
    if (status != kOK || !sawBegin || !IsText(stop)) return status;
    return AppendClosing(stop->next, output, status);
}

STATUS AppendWrappedText(const CDRecordNode* saved, const char* text, std::uint32_t length, const FontId* font,
                         RecordOutput* output) {
    const CDRecordNode* stop = nullptr;
    bool sawBegin = false;
    STATUS status = AppendOpening(saved, output, &stop, &sawBegin);
    if (status != kOK || stop == nullptr) return status;
    const STATUS textStatus = AppendTextRecord(text, length, font, output);
    if (IsEnd(stop)) {
        // A wrapper without text: the new run goes inside it.
        status = AppendRecordNode(stop, output);
    } else {
        status = sawBegin ? AppendClosing(stop->next, output, kOK) : kOK;
    }
    return textStatus != kOK ? textStatus : status;
}

void ParagraphComparisonImage(const std::uint8_t* definition, std::uint8_t* image) {
    std::memset(image, 0, kParagraphImageSize);
    std::memcpy(image, definition, std::min<std::uint32_t>(ReadWord(definition + 2), kParagraphImageSize));
    WriteWord(image + 2, 0);
    WriteWord(image + 4, 0);
    // Only the tab positions within the tab count matter.
    const std::uint16_t count = std::min<std::uint16_t>(ReadWord(image + 20), kMaxTabs);
    std::memset(image + 22 + 2 * count, 0, 2u * (kMaxTabs - count));
}

int ParagraphPairEqual(const std::uint8_t* a, const std::uint8_t* b, int checkLengths) {
    if (a == nullptr || b == nullptr) return 0;
    if (checkLengths != 0 && ReadWord(a + 2) != ReadWord(b + 2)) return 0;
    std::uint8_t images[2][kParagraphImageSize];
    ParagraphComparisonImage(a, images[0]);
    ParagraphComparisonImage(b, images[1]);
    return std::memcmp(images[0], images[1], kParagraphImageSize) == 0 ? 1 : 0;
}

namespace {

// The bytes that the UTF-8 character at the end of the text lacks (0 when
// it is whole).
std::uint32_t MissingUtf8Bytes(const char* text, std::uint32_t length) {
    std::uint32_t continuations = 0;
    while (continuations < length && continuations < 3 &&
           (static_cast<unsigned char>(text[length - 1 - continuations]) & 0xC0) == 0x80)
        ++continuations;
    if (continuations == length) return 0;
    const unsigned char lead = static_cast<unsigned char>(text[length - 1 - continuations]);
    const std::uint32_t size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return size > continuations + 1 ? size - continuations - 1 : 0;
}

// A piece of a text file, in the system's character set (UTF-8), as text
// runs in the item's set: one run, or more when the converted text is
// longer than a run holds.
STATUS AppendFileText(const char* text, std::uint32_t length, const FontId& font, RecordOutput* output) {
    const std::string converted = plat::NativeToLmbcs(std::string_view(text, length));
    return AppendTextRuns(converted.data(), static_cast<std::uint32_t>(converted.size()), &font, output);
}

} // namespace

STATUS AppendTextRuns(const char* text, std::uint32_t length, const FontId* font, RecordOutput* output) {
    if (text == nullptr && length > 0) return kArgumentError;
    STATUS status = kOK;
    do {
        const std::uint32_t kept =
            length > kMaxTextRunLength ? WholeCharsWithin(text, length, kMaxTextRunLength) : length;
        if (length > 0 && kept == 0) return kArgumentError;
        status = AppendTextRecord(text, kept, font, output);
        text += kept;
        length -= kept;
    } while (status == kOK && length > 0);
    return status;
}

STATUS AppendTextFileLines(const char* filePath, std::uint32_t maxLineLength, BuildContext* context) {
    if (context == nullptr || context->session == nullptr || context->output.item == nullptr ||
        context->output.item->work == nullptr)
        return kArgumentError;
    std::FILE* file = plat::OpenInputStream(filePath);
    if (file == nullptr) {
        if (context->chunk != nullptr) context->chunk->errorWord = kErrImportFileMissing;
        return kNoHtmlInput;
    }
    RARIvoSession* session = context->session;
    // The line is read into the session's text result.
    char* line = session->textResult;
    if (maxLineLength < 1) maxLineLength = 1;
    // A longer line goes on as the next run: no run is longer than one
    // text run can hold.
    if (maxLineLength > kMaxTextRunLength) maxLineLength = kMaxTextRunLength;

    const std::uint8_t* current = context->output.item->work->currentFont + 4;
    FontId font;
    font.face = current[0];
    font.attributes = current[1];
    font.color = current[2];
    font.size = current[3];

    STATUS status = kOK;
    for (int c = std::fgetc(file); status == kOK && c != EOF;) {
        // One line: up to a line break (CR, LF or CR LF, which is consumed)
        // or maxLineLength bytes.
        std::uint32_t length = 0;
        while (c != EOF && c != '\r' && c != '\n' && length < maxLineLength) {
            line[length++] = static_cast<char>(c);
            c = std::fgetc(file);
        }
        // A piece cut at the longest length keeps its last character
        // whole: the bytes that finish it are read with it.
        for (std::uint32_t missing = length == maxLineLength ? MissingUtf8Bytes(line, length) : 0;
             missing > 0 && c != EOF && (c & 0xC0) == 0x80; --missing) {
            line[length++] = static_cast<char>(c);
            c = std::fgetc(file);
        }
        if (c == '\r') c = std::fgetc(file);
        if (c == '\n') c = std::fgetc(file);
        line[length] = '\0';
        status = AppendFileText(line, length, font, &context->output);
        if (status != kOK || c == EOF) break;
        status = AppendRecord(context->paragraphRecord, kSigParagraph, sizeof context->paragraphRecord,
                              &context->output);
        if (status == kOK)
            status = AppendRecord(context->paragraphReference, kSigPabReference, sizeof context->paragraphReference,
                                  &context->output);
    }
    session->textResult[0] = '\0';
    session->textResultLength = 0;
    std::fclose(file);
    return status;
}

} // namespace talix
