// Link operations of the engine: reading a property of the chunk's first
// link (15) and changing it (2362), appending a link (2353), turning every
// occurrence of a search text into a Notes link (2385) and the
// regular-expression links (2807).
//
// A Notes link is held inline (0xFF92: the 40-byte note link at 4), as an
// index into the note's "$Links" (or "$FormLinks") list (0xFF91: the index at
// 4), or by a link target record of data type 2 whose link, when not inline,
// is an index stored after its two hint texts. The texts of a link record
// follow its fixed part as description, hint and anchor, each terminated.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/hotspot_builders.h"
#include "core/clamp.h"
#include "core/host_message.h"
#include "core/item_work_state.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "core/text_search.h"
#include "engine/exec_results.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/writing_run.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Property codes of the link rows.
constexpr std::uint16_t kLinkNoteUniversalID = 2322, kLinkReplicaID = 2323, kLinkViewUniversalID = 2324;
constexpr std::uint16_t kLinkAnchorText = 2338, kLinkHintServer = 2339, kLinkPopupText = 2340, kLinkURL = 2341;

constexpr std::uint16_t kTypeUrl = 11;
constexpr std::uint32_t kFlagUrlInData = 0x1000;   // a URL hotspot whose data is its URL
// Link target records.
constexpr std::uint32_t kResourceFlags = 4, kResourceType = 8, kResourceLength = 12, kResourceHint1 = 14,
                        kResourceHint2 = 16, kResourceData = 28;
constexpr std::uint16_t kResourceUrl = 1, kResourceNoteLink = 2;
constexpr std::uint32_t kResourceInline = 0x2;
constexpr std::uint32_t kScratchText = kScratchSize - 1;

constexpr const char* kBrokenLinks = "TALIX: Broken $Links reference";

// A text of a record: where it starts and how long it is.
struct Span {
    const char* text = nullptr;
    std::uint32_t length = 0;
};

// A Notes link record as read: its note link (when known), its texts, and
// for a link target record the bytes around them.
struct LinkRecord {
    bool found = false;       // the record is a Notes link
    bool resolved = false;    // the note link is known
    std::uint8_t link[kNoteLinkSize] = {};
    Span description, hint, anchor;
    bool resource = false;    // a link target record
};

// The terminated texts from start to the record's end: description, hint,
// anchor (a text that runs to the end without its terminator ends there).
void SplitTexts(const std::uint8_t* record, std::uint32_t length, std::uint32_t start, LinkRecord* link) {
    Span* spans[3] = {&link->description, &link->hint, &link->anchor};
    std::uint32_t at = start;
    for (Span* span : spans) {
        if (at >= length) return;
        const char* text = reinterpret_cast<const char*>(record + at);
        const void* end = std::memchr(text, 0, length - at);
        span->text = text;
        span->length = end != nullptr ? static_cast<std::uint32_t>(static_cast<const char*>(end) - text) : length - at;
        at += span->length + 1;
    }
}

// Entry index of the note's "$Links" list ("$FormLinks" when the note has no
// "$Links"): a 16-bit count, then the 40-byte links. A missing item or an
// index past the list is reported to the host; false then.
bool LinkFromList(plat::NOTEHANDLE note, std::uint16_t index, std::uint8_t* out) {
    plat::BLOCKID value;
    plat::DWORD valueLength = 0;
    plat::STATUS status = plat::ItemInfo(note, "$Links", 6, nullptr, nullptr, &value, &valueLength);
    if (status != plat::NOERROR) status = plat::ItemInfo(note, "$FormLinks", 10, nullptr, nullptr, &value, &valueLength);
    bool found = false;
    if (status == plat::NOERROR) {
        const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
        // The value starts with its data-type word.
        if (bytes != nullptr && valueLength >= 4) {
            const std::uint32_t count = ReadWord(bytes + 2);
            const std::uint64_t end = 4 + static_cast<std::uint64_t>(index + 1) * kNoteLinkSize;
            if (index < count && end <= valueLength) {
                std::memcpy(out, bytes + 4 + static_cast<std::uint32_t>(index) * kNoteLinkSize, kNoteLinkSize);
                found = true;
            }
        }
        if (bytes != nullptr) plat::BlockUnlock(value);
    }
    if (!found) ShowHostMessage(kBrokenLinks);
    return found;
}

// Reads a Notes link record: 0xFF91, 0xFF92, or a link target record of data
// type 2 whose link is an index.
LinkRecord ReadLinkRecord(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                          RecordProcessContext* context) {
    LinkRecord link;
    if (signature == kSigLinkExport2 && length >= kLinkExportFixedLength) {
        link.found = link.resolved = true;
        std::memcpy(link.link, record + 4, kNoteLinkSize);
        SplitTexts(record, length, kLinkExportFixedLength, &link);
    } else if (signature == kSigLink2 && length >= kLinkFixedLength) {
        link.found = true;
        link.resolved = LinkFromList(context->note, ReadWord(record + 4), link.link);
        SplitTexts(record, length, kLinkFixedLength, &link);
    } else if (IsLinkResourceRecord(signature) && length >= kResourceData &&
               ReadWord(record + kResourceType) == kResourceNoteLink &&
               (ReadDword(record + kResourceFlags) & kResourceInline) == 0) {
        const std::uint32_t hint = ReadWord(record + kResourceHint1);
        const std::uint32_t file = ReadWord(record + kResourceHint2);
        const std::uint32_t index = kResourceData + hint + file;
        if (index + 2 > length) return link;   // damaged: not a link
        link.found = link.resource = true;
        link.resolved = LinkFromList(context->note, ReadWord(record + index), link.link);
        link.hint = {reinterpret_cast<const char*>(record + kResourceData), hint};
        link.description = {reinterpret_cast<const char*>(record + kResourceData + hint), file};
        std::uint32_t anchor = ReadWord(record + kResourceLength);
        if (anchor > length - index - 2) anchor = length - index - 2;
        link.anchor = {reinterpret_cast<const char*>(record + index + 2), anchor};
    }
    return link;
}

// A replica id as "%.8lx%.8lx" (the high half first), a universal id as two
// such halves; upper case.
void FormatId(const std::uint8_t* words, int count, char* out) {
    out[0] = '\0';
    for (int half = 0; half < count / 2; ++half) {
        char piece[17];
        std::snprintf(piece, sizeof piece, "%.8X%.8X", ReadDword(words + 8 * half + 4), ReadDword(words + 8 * half));
        std::strcat(out, piece);
    }
}

// The URL of a URL hotspot that carries its target, or of a link target
// record of data type 1; false for other records.
bool ReadUrl(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, Span* url) {
    if ((signature == kSigHotspotBegin || signature == kSigV4HotspotBegin) && length >= kHotspotBeginFixedLength) {
        if (ReadWord(record + kHotspotTypeAt) != kTypeUrl || (ReadDword(record + kHotspotFlagsAt) & kFlagUrlInData) == 0)
            return false;
        std::uint32_t dataLength = ReadWord(record + kHotspotDataLengthAt);
        if (dataLength > length - kHotspotBeginFixedLength) dataLength = length - kHotspotBeginFixedLength;
        *url = {reinterpret_cast<const char*>(record + kHotspotBeginFixedLength), dataLength};
        return true;
    }
    if (IsLinkResourceRecord(signature) && length >= kResourceData &&
        ReadWord(record + kResourceType) == kResourceUrl) {
        const std::uint32_t start = kResourceData + ReadWord(record + kResourceHint1) + ReadWord(record + kResourceHint2);
        if (start > length) return false;
        std::uint32_t urlLength = ReadWord(record + kResourceLength);
        if (urlLength > length - start) urlLength = length - start;
        *url = {reinterpret_cast<const char*>(record + start), urlLength};
        return true;
    }
    return false;
}

// 15: a property of the chunk's first link, in the third scratch buffer.
STATUS ReadLinkProperty(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                        RecordProcessContext* context) {
    if (context->chunkDone != 0) return kOK;
    if (context->operation2 == kLinkURL) {
        Span url;
        if (!ReadUrl(record, signature, length, &url)) return kOK;
        // The URL up to its terminator, when the data holds one.
        const void* end = std::memchr(url.text, 0, url.length);
        if (end != nullptr) url.length = static_cast<std::uint32_t>(static_cast<const char*>(end) - url.text);
        PutScratch3(context, url.text, url.length > kScratchText ? kScratchText : url.length);
        context->chunkDone = 1;
        return kOK;
    }
    const LinkRecord link = ReadLinkRecord(record, signature, length, context);
    if (!link.found) return kOK;
    context->chunkDone = 1;
    char id[33];
    switch (context->operation2) {
    case kLinkReplicaID:
    case kLinkViewUniversalID:
    case kLinkNoteUniversalID:
        if (!link.resolved) return kOK;
        if (context->operation2 == kLinkReplicaID) FormatId(link.link, 2, id);
        else FormatId(link.link + (context->operation2 == kLinkViewUniversalID ? 8 : 24), 4, id);
        PutScratch3(context, id, static_cast<std::uint32_t>(std::strlen(id)));
        break;
    case kLinkAnchorText: PutScratch3(context, link.anchor.text, link.anchor.length); break;
    case kLinkHintServer: PutScratch3(context, link.hint.text, link.hint.length); break;
    case kLinkPopupText: PutScratch3(context, link.description.text, link.description.length); break;
    default: break;
    }
    return kOK;
}

// A hexadecimal id text of exactly digits characters.
bool IsHexId(const char* text, std::uint32_t length, std::uint32_t digits) {
    if (length != digits) return false;
    for (std::uint32_t i = 0; i < length; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

// Writes the new id text into the note link. Returns 1028 for a text that
// is no id of the property's kind.
STATUS ChangeId(std::uint16_t property, const char* text, std::uint32_t length, std::uint8_t* link) {
    char id[33] = {};
    if (!IsHexId(text, length, property == kLinkReplicaID ? 16 : 32)) return kArgumentError;
    std::memcpy(id, text, length);
    NoteLinkWords words;
    if (property == kLinkReplicaID) {
        ParseReplicaIdText(id, words.replica);
        for (int i = 0; i < 2; ++i) WriteDword(link + 4 * i, words.replica[i]);
    } else {
        ParseUniversalIdText(id, words.view);
        std::uint8_t* at = link + (property == kLinkViewUniversalID ? 8 : 24);
        for (int i = 0; i < 4; ++i) WriteDword(at + 4 * i, words.view[i]);
    }
    return kOK;
}

// A 0xFF92 record of the link and its texts: description, hint and, when
// not empty, anchor, each terminated.
STATUS BuildInlineLink(const LinkRecord& link, std::uint32_t* passOn, RecordProcessContext* context) {
    const std::uint32_t length = kLinkExportFixedLength + link.description.length + 1 + link.hint.length + 1 +
                                 (link.anchor.length > 0 ? link.anchor.length + 1 : 0);
    if (length > 0xFFFE) return kArgumentError;
    std::uint8_t* record = NewRecord(context, length);
    if (record == nullptr) return kOutOfMemory;
    WriteRecordHeader(record, kSigLinkExport2, static_cast<std::uint16_t>(length));
    std::memcpy(record + 4, link.link, kNoteLinkSize);
    std::uint32_t at = kLinkExportFixedLength;
    for (const Span* span : {&link.description, &link.hint, &link.anchor}) {
        if (span == &link.anchor && span->length == 0) break;
        if (span->length > 0) std::memcpy(record + at, span->text, span->length);
        at += span->length + 1;
    }
    const STATUS status = ReplaceRecord(record, kSigLinkExport2, length, passOn, context);
    ReleaseRecord(context, record);
    return status;
}

// A link target record of data type 2 with the link held inline: the hints,
// the 40-byte link, then the anchor.
STATUS BuildInlineResource(const std::uint8_t* old, const LinkRecord& link, std::uint16_t signature,
                           std::uint32_t* passOn, RecordProcessContext* context) {
    const std::uint32_t length =
        kResourceData + link.hint.length + link.description.length + kNoteLinkSize + link.anchor.length;
    if (length > 0xFFFE || link.hint.length > 0xFFFF || link.description.length > 0xFFFF ||
        link.anchor.length > 0xFFFF)
        return kArgumentError;
    std::uint8_t* record = NewRecord(context, length);
    if (record == nullptr) return kOutOfMemory;
    std::memcpy(record, old, kResourceData);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    WriteDword(record + kResourceFlags, ReadDword(old + kResourceFlags) | kResourceInline);
    WriteWord(record + kResourceLength, static_cast<std::uint16_t>(link.anchor.length));
    WriteWord(record + kResourceHint1, static_cast<std::uint16_t>(link.hint.length));
    WriteWord(record + kResourceHint2, static_cast<std::uint16_t>(link.description.length));
    std::uint32_t at = kResourceData;
    for (const Span* span : {&link.hint, &link.description}) {
        if (span->length > 0) std::memcpy(record + at, span->text, span->length);
        at += span->length;
    }
    std::memcpy(record + at, link.link, kNoteLinkSize);
    at += kNoteLinkSize;
    if (link.anchor.length > 0) std::memcpy(record + at, link.anchor.text, link.anchor.length);
    const STATUS status = ReplaceRecord(record, signature, length, passOn, context);
    ReleaseRecord(context, record);
    return status;
}

// 2362: the chunk's first Notes link takes the new value (the argument text,
// a3 bytes or up to its end) of the property op2. The rebuilt record holds
// its link inline; the note's "$Links" stays as it is.
STATUS ChangeLinkProperty(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                          std::uint32_t* passOn, RecordProcessContext* context) {
    if (context->chunkDone != 0) return kOK;
    LinkRecord link = ReadLinkRecord(record, signature, length, context);
    if (!link.found) return kOK;
    context->chunkDone = 1;
    // A link whose "$Links" entry is missing cannot be written inline.
    if (!link.resolved) return kOperationFailed;

    const char* text = context->argumentText != nullptr ? context->argumentText : "";
    std::uint32_t textLength = context->a3 != 0 ? static_cast<std::uint32_t>(strnlen(text, context->a3))
                                                : static_cast<std::uint32_t>(std::strlen(text));
    const Span value{text, textLength};
    switch (context->operation2) {
    case kLinkReplicaID:
    case kLinkViewUniversalID:
    case kLinkNoteUniversalID: {
        const STATUS status = ChangeId(context->operation2, text, textLength, link.link);
        if (status != kOK) return status;
        break;
    }
    case kLinkAnchorText: link.anchor = value; break;
    case kLinkHintServer: link.hint = value; break;
    case kLinkPopupText: link.description = value; break;
    default: return kArgumentError;
    }
    return link.resource ? BuildInlineResource(record, link, signature, passOn, context)
                         : BuildInlineLink(link, passOn, context);
}

// 2385: every occurrence of the search text (the second argument, a3 bytes)
// in a text run becomes a Notes link of the chunk's link request, with the
// occurrence as its text; the text around it stays in the run's font.
STATUS LinkOccurrences(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                       std::uint32_t* passOn, RecordProcessContext* context) {
    if (signature != kSigText || length <= kTextRunHeader || context->a3 == 0 || context->secondArgument == nullptr ||
        context->output.actionHotspotOpen != 0)
        return kOK;
    const char* text = reinterpret_cast<const char*>(record) + kTextRunHeader;
    const std::uint32_t textLength = ClampToWord(length - kTextRunHeader);
    // The font of the run being walked: the item's ready-made text-run header.
    const FontId font = ReadFontId(context->chunk->item->work->textTemplate + 4);
    std::uint32_t at = 0;
    bool linked = false;
    while (at < textLength) {
        std::uint16_t matchLength = 0;
        const std::int32_t found =
            FindRunSearchText(text + at, static_cast<std::uint16_t>(textLength - at), context, &matchLength);
        if (found < 0) break;
        const std::uint32_t start = at + static_cast<std::uint32_t>(found);
        std::uint32_t covered = matchLength;
        if (covered == 0 || covered > textLength - start) covered = textLength - start;
        if (!linked) {
            // From here on the run is replaced by what is written.
            linked = true;
            *passOn = 0;
            context->chunk->item->modified = 1;
        }
        STATUS status = kOK;
        if (start > at && context->writesItem != 0)
            status = AppendTextRecord(text + at, start - at, &font, &context->output);
        if (status != kOK) return status;
        KeepMatchedText(text + start, covered, context);
        if (context->writesItem != 0) {
            // The link's text is the match as kept in the message buffer.
            const std::uint32_t shown = covered < kScratchText ? covered : kScratchText;
            status = AppendNotesLinkHotspotEx(context->session->messageBuffer, shown, context);
            if (status != kOK) return status;
        }
        at = start + covered;
    }
    if (linked && at < textLength && context->writesItem != 0)
        return AppendTextRecord(text + at, textLength - at, &font, &context->output);
    return kOK;
}

STATUS LinkInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                  RecordProcessContext* context) {
    switch (context->operation) {
    case kOpGetLinkProperty: return ReadLinkProperty(record, signature, length, context);
    case kOpSetLinkValue: return ChangeLinkProperty(record, signature, length, passOn, context);
    case kOpLinkOccurrences: return LinkOccurrences(record, signature, length, passOn, context);
    default: return kOK;
    }
}

// 2353: a self-contained link (the chunk's link request) with the argument
// text (op2 bytes) as its text, before or after the chunk.
STATUS AppendLink(RecordProcessContext* context) {
    context->chunk->item->modified = 1;
    const std::uint32_t length = context->argumentText != nullptr ? context->operation2 : 0;
    return AppendNotesLinkHotspotEx(context->argumentText, length, context);
}
STATUS AppendLinkAtStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    if (context->chunk->appendAtEnd != 0) return kOK;
    const CDRecordNode* first = nullptr;
    const STATUS status = EnterChunkContent(context, true, &first);
    return status == kOK ? AppendLink(context) : status;
}
STATUS AppendLinkAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    return context->chunk->appendAtEnd != 0 ? AppendLink(context) : kOK;
}

// Link properties, appended links, links per occurrence. The
// regular-expression links make nothing of the records in this system, so
// every record is kept (2807 has no executor of its own).
const OperationRow kRows[] = {
    {kOpGetLinkProperty, nullptr, LinkInside, nullptr},
    {kOpAppendLink, AppendLinkAtStart, nullptr, AppendLinkAtEnd, nullptr, kRebuildsItem},
    {kOpSetLinkValue, nullptr, LinkInside, nullptr, nullptr, kRebuildsItem},
    {kOpLinkOccurrences, nullptr, LinkInside, nullptr, nullptr, kRebuildsItem},
    {kOpExpressionLinks, nullptr, nullptr, nullptr, nullptr, kRebuildsItem},
};

} // namespace

const OperationFamily kLinkOperations = MakeFamily(kRows);

} // namespace talix
