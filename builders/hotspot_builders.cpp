// Pop-up hotspots, URL hotspots, Notes links and hypertext links. Records are
// laid out in host form; a record of odd length is handed to the gate one
// zero byte longer while its header keeps the odd length, unless said
// otherwise. Every append is checked: the first failure ends the builder.
#include "builders/hotspot_builders.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/record_output.h"
#include "builders/record_scratch.h"
#include "core/ascii.h"
#include "core/chunk_work_state.h"
#include "core/host_message.h"
#include "core/html_attributes.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "core/thread_state.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::uint16_t kTypeURLLink = 11;
constexpr std::uint16_t kTypePopup = 1, kTypeMouseover = 22;

constexpr std::uint32_t kPopupFlags = 4, kPopupHighlight = 0x100008, kPopupNoStyle = 8;
constexpr std::uint32_t kURLFlags = 0x1008, kLinkFlags = 8;

constexpr const char* kDefaultDescription = "Click here to view...";
constexpr const char* kDefaultLinkFont = "BLUE +UNDERLINE";
constexpr const char* kDefaultPopupFont = "+Highlight";

ZervaRTItem* Item(BuildContext* context) { return context->output.item; }

// The companion record 0xFF7E that precedes a link's target record.
STATUS AppendCompanionRecord(RecordOutput* output) {
    std::uint8_t record[kV5HotspotBeginLength] = {};
    WriteWord(record, kSigV5HotspotBegin);
    WriteWord(record + 2, kV5HotspotBeginLength);
    WriteWord(record + 4, 32);
    WriteDword(record + 8, 8);
    return AppendRecord(record, kSigV5HotspotBegin, sizeof record, output);
}

// The link target record 0xFFF6 in URL form.
STATUS AppendURLTarget(const char* url, std::uint32_t urlLength, BuildContext* context) {
    const std::uint32_t length = kResourceFixedLength + urlLength;
    RecordScratch scratch(context->session, length + 1);
    std::uint8_t* record = scratch.data();
    if (record == nullptr) return scratch.failure();
    WriteWord(record, kSigHref);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    WriteWord(record + 8, 1);
    WriteWord(record + 12, static_cast<std::uint16_t>(urlLength));
    std::memcpy(record + kResourceFixedLength, url, urlLength);
    return AppendPaddedRecord(record, kSigHref, length, false, &context->output);
}

struct LinkTexts {
    const char* description = "";
    std::uint32_t descriptionLength = 0;
    const char* hint = "";
    std::uint32_t hintLength = 0;
    const char* anchor = "";
    std::uint32_t anchorLength = 0;
};

// The link target record 0xFFF6 in Notes-link form: hint, description, the
// note link and the anchor.
STATUS AppendNotesLinkTarget(const LinkTexts& texts, const NoteLinkWords& link, BuildContext* context) {
    const std::uint32_t length =
        kResourceFixedLength + kNoteLinkSize + texts.hintLength + texts.descriptionLength + texts.anchorLength;
    RecordScratch scratch(context->session, length + 1);
    std::uint8_t* record = scratch.data();
    if (record == nullptr) return scratch.failure();
    WriteWord(record, kSigHref);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    WriteDword(record + 4, 2);
    WriteWord(record + 8, 2);
    WriteWord(record + 10, 1);
    WriteWord(record + 12, static_cast<std::uint16_t>(texts.anchorLength));
    WriteWord(record + 14, static_cast<std::uint16_t>(texts.hintLength));
    WriteWord(record + 16, static_cast<std::uint16_t>(texts.descriptionLength));
    std::uint8_t* at = record + kResourceFixedLength;
    std::memcpy(at, texts.hint, texts.hintLength);
    at += texts.hintLength;
    std::memcpy(at, texts.description, texts.descriptionLength);
    at += texts.descriptionLength;
    WriteNoteLink(at, link);
    at += kNoteLinkSize;
    std::memcpy(at, texts.anchor, texts.anchorLength);
    return AppendPaddedRecord(record, kSigHref, length, false, &context->output);
}

// The link record 0xFF92 between its CDBEGIN and CDEND: the note link, then
// the description and the hint (withHint) and the anchor (when it has one),
// each terminated.
STATUS AppendLinkRecord(const LinkTexts& texts, bool withHint, const NoteLinkWords& link,
                        BuildContext* context) {
    RecordOutput* output = &context->output;
    std::uint32_t length = kLinkExportFixedLength + texts.descriptionLength + 1;
    if (withHint) length += texts.hintLength + 1;
    if (texts.anchorLength > 0) length += texts.anchorLength + 1;
    RecordScratch scratch(context->session, length + 1);
    std::uint8_t* record = scratch.data();
    if (record == nullptr) return scratch.failure();
    WriteWord(record, kSigLinkExport2);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    WriteNoteLink(record + 4, link);
    std::uint8_t* at = record + kLinkExportFixedLength;
    std::memcpy(at, texts.description, texts.descriptionLength);
    at += texts.descriptionLength + 1;
    if (withHint) {
        std::memcpy(at, texts.hint, texts.hintLength);
        at += texts.hintLength + 1;
    }
    if (texts.anchorLength > 0) std::memcpy(at, texts.anchor, texts.anchorLength);

    STATUS status = AppendBeginRecord(kSigLinkExport2, 0, output);
    if (status == kOK) status = AppendPaddedRecord(record, kSigLinkExport2, length, false, output);
    if (status == kOK) status = AppendEndRecord(kSigLinkExport2, 0, output);
    return status;
}

// One text run in a font given by a specification, applied to the item's
// text-run template. With wrapColor, a specification that names a colour
// wraps the run with a colour record.
STATUS AppendTextInFont(const char* text, std::uint32_t length, const char* spec, bool wrapColor,
                        BuildContext* context) {
    RecordOutput* output = &context->output;
    std::uint32_t rgb = 0;
    std::uint16_t colorFlags = 0;
    bool colored = false;
    const FontId font = FontFromSpec(Item(context), spec, &rgb, &colorFlags, &colored);
    if (!wrapColor || !colored) return AppendTextRecord(text, length, &font, output);
    STATUS status = AppendBeginRecord(kSigText, 0, output);
    if (status == kOK) status = AppendTextRecord(text, length, &font, output);
    if (status == kOK) status = AppendColorRecord(static_cast<std::uint8_t>(kSigColor), rgb, colorFlags, output);
    if (status == kOK) status = AppendEndRecord(kSigText, 0, output);
    return status;
}

const char* NonEmpty(const char* text) { return text != nullptr && text[0] != '\0' ? text : nullptr; }

bool HasAny(const char* text, const char* characters) {
    return text != nullptr && std::strpbrk(text, characters) != nullptr;
}

// The Notes link of the chunk's link request: checks the target, parses the
// ids (kept in the session's work area) and settles the texts. Returns 0,
// 257 for a target that is not a replica id.
STATUS PrepareNotesLink(const LinkRequest& request, BuildContext* context, NoteLinkWords* link,
                        LinkTexts* texts) {
    ParsedLinkIds& parsed = context->session->workArea->parsedLink;
    parsed = ParsedLinkIds{};
    if (std::strlen(request.target) != 16) return kOperationFailed;
    ParseReplicaIdText(request.target, parsed.link.replica);
    parsed.replicaParsed = 'Y';
    int level = 1;
    if (request.viewId != nullptr && std::strlen(request.viewId) == 32) {
        ParseUniversalIdText(request.viewId, parsed.link.view);
        parsed.viewParsed = 'Y';
        level = 2;
        if (request.noteId != nullptr && std::strlen(request.noteId) == 32) {
            ParseUniversalIdText(request.noteId, parsed.link.note);
            parsed.noteParsed = 'Y';
            level = 3;
        }
    }
    *link = parsed.link;

    const std::uint32_t descriptionLength = TextLength(request.description, context->a3);
    if (descriptionLength > 0) {
        texts->description = request.description;
        texts->descriptionLength = descriptionLength;
    } else {
        texts->description = kDefaultDescription;
        texts->descriptionLength = static_cast<std::uint32_t>(std::strlen(kDefaultDescription));
    }
    const std::uint32_t hintLength = TextLength(request.hint, context->a4);
    const bool noHint = hintLength >= 6 && FindNoCase(request.hint, "*NONE*") == request.hint;
    if (hintLength > 0 && !noHint) {
        texts->hint = request.hint;
        texts->hintLength = hintLength;
    }
    if (level == 3) {
        const std::uint32_t anchorLength = TextLength(request.anchor, context->a5);
        if (anchorLength > 0) {
            texts->anchor = request.anchor;
            texts->anchorLength = anchorLength;
        }
    }
    // Texts that no record could hold are refused before anything is written.
    const std::uint32_t textBytes = texts->descriptionLength + texts->hintLength + texts->anchorLength;
    if (kResourceFixedLength + kNoteLinkSize + textBytes > kMaxBuiltRecord) return kArgumentError;
    return kOK;
}

// The records of a URL hotspot before its text: the CDBEGIN, the companion
// record, the target and the hotspot record, whose data is the URL, its
// terminator and two more zero bytes. A URL that no record could hold is
// refused before anything is written.
STATUS OpenURLHotspot(const char* url, std::uint32_t urlLength, BuildContext* context) {
    if (urlLength == 0 || kResourceFixedLength + urlLength > kMaxBuiltRecord) return kArgumentError;
    RecordOutput* output = &context->output;
    STATUS status = AppendBeginRecord(kSigV4HotspotBegin, 0, output);
    if (status == kOK) status = AppendCompanionRecord(output);
    if (status == kOK) status = AppendURLTarget(url, urlLength, context);
    if (status != kOK) return status;
    return AppendHotspotRecord(kSigV4HotspotBegin, kTypeURLLink, kURLFlags, url, urlLength,
                               static_cast<std::uint16_t>(urlLength + 1), urlLength + 3, context);
}

// What follows a URL hotspot's text: the id/name record of the running
// operation's options when they name HTML attributes.
STATUS FinishURLHotspot(BuildContext* context) {
    const char* options = context->session->workArea->runningOptions;
    if (FindNoCase(options, "HTML") == nullptr) return kOK;
    return AppendHTMLAttributeRecord(context->session, "", options, &context->output);
}

// The records of the chunk's Notes link that come before its visible text
// (textLength: the text's length, 0 for none). wrapOnly: a hotspot is
// opened around what the chunk holds even for a link without text.
STATUS OpenNotesLink(std::uint32_t textLength, BuildContext* context, bool wrapOnly, OpenedLink* opened) {
    *opened = OpenedLink::kNothing;
    if (context == nullptr || context->session == nullptr || Item(context) == nullptr ||
        context->chunk == nullptr || context->chunk->work == nullptr)
        return kArgumentError;
    LinkRequest& request = context->chunk->work->linkRequest;
    if (request.target == nullptr || request.target[0] == '\0') return kArgumentError;
    RecordOutput* output = &context->output;

    if (textLength > 0 && HasAny(request.target, ":/.")) {
        request.kind = kLinkURL;
        const STATUS status =
            OpenURLHotspot(request.target, static_cast<std::uint32_t>(std::strlen(request.target)), context);
        if (status == kOK) *opened = OpenedLink::kURLHotspot;
        return status;
    }

    NoteLinkWords link;
    LinkTexts texts;
    STATUS status = PrepareNotesLink(request, context, &link, &texts);
    if (status != kOK) return status;

    const bool onText = request.kind == kLinkOnText;
    if (onText || wrapOnly) {
        status = AppendBeginRecord(kSigV4HotspotBegin, 0, output);
        if (status == kOK) status = AppendCompanionRecord(output);
        if (status == kOK) status = AppendNotesLinkTarget(texts, link, context);
        if (status == kOK) {
            status = AppendHotspotRecord(kSigV4HotspotBegin, kTypeURLLink, kLinkFlags, texts.description,
                                         texts.descriptionLength,
                                         static_cast<std::uint16_t>(texts.descriptionLength + 1),
                                         texts.descriptionLength + 1, context);
        }
        if (status != kOK) return status;
    }
    status = AppendLinkRecord(texts, true, link, context);
    if (status == kOK && onText) *opened = OpenedLink::kLinkHotspot;
    return status;
}

// The two forms of the Notes link. exForm: the self-contained form.
STATUS NotesLink(const char* text, std::uint32_t textLength, BuildContext* context, bool wrap,
                 bool exForm) {
    const bool wrapOnly = wrap && !exForm;
    textLength = TextLength(text, textLength);
    OpenedLink opened = OpenedLink::kNothing;
    STATUS status = OpenNotesLink(textLength, context, wrapOnly, &opened);
    if (status != kOK) return status;
    if (!wrapOnly) status = AppendLinkTextRun(text, textLength, opened, nullptr, context);
    if (status != kOK) return status;
    if (exForm) return CloseNotesLinkHotspotEx(context, opened);
    // The first form leaves its hotspot open.
    return opened == OpenedLink::kURLHotspot ? FinishURLHotspot(context) : kOK;
}

// The group of 8 hexadecimal characters at offset, when the text reaches
// there; its reading stops at its first character that is no hexadecimal
// digit.
std::uint32_t GroupAt(const char* text, std::size_t textLength, std::size_t offset) {
    if (offset + 8 > textLength) return 0;
    return ReadHexDigits(text + offset, 8);
}

// The id/name record of a hypertext link from its own option keys.
STATUS AppendHypertextAttributes(const char* text, const char* linkText, const char* options,
                                 BuildContext* context) {
    RARIvoSession* session = context->session;
    const char* search = NonEmpty(context->secondArgument);
    std::string texts[6];
    static const char* const kKeys[6] = {"ID=", "Class=", "Style=", "Title=", "Other=", "Name="};
    for (int i = 0; i < 6; ++i) {
        if (!OptionValue(options, kKeys[i], session->optionValue, RARIvoSession::kOptionValueCapacity)) continue;
        texts[i] = session->optionValue;
    }
    if (texts[1] == "WikiLink$3") texts[1] = std::string("WikiLink") + (search != nullptr ? search : "");
    for (std::string::size_type at = 0; (at = texts[3].find('$', at)) != std::string::npos;) {
        const char next = at + 1 < texts[3].size() ? texts[3][at + 1] : '\0';
        const char* replacement = next == '1' ? text : (next == '2' ? linkText : nullptr);
        if (replacement == nullptr) {
            ++at;
            continue;
        }
        texts[3].replace(at, 2, replacement);
        at += std::strlen(replacement);
    }
    std::uint32_t length = kIdNameFixedLength;
    for (const std::string& value : texts) length += static_cast<std::uint32_t>(value.size());
    if (length > 0xFFFF) return kArgumentError;
    RecordScratch scratch(session, length + 1);
    std::uint8_t* record = scratch.data();
    if (record == nullptr) return scratch.failure();
    WriteWord(record, kSigIdName);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    std::uint8_t* at = record + kIdNameFixedLength;
    for (int i = 0; i < 6; ++i) {
        WriteWord(record + 4 + 2 * i, static_cast<std::uint16_t>(texts[i].size()));
        std::memcpy(at, texts[i].data(), texts[i].size());
        at += texts[i].size();
    }
    return AppendPaddedRecord(record, kSigIdName, length, true, &context->output);
}

} // namespace

// ---- Shared -----------------------------------------------------------------

STATUS AppendHotspotRecord(std::uint16_t signature, std::uint16_t type, std::uint32_t flags, const char* data,
                           std::uint32_t dataLength, std::uint16_t dataLengthWord, std::uint32_t dataBytes,
                           BuildContext* context) {
    const std::uint32_t length = kHotspotBeginFixedLength + dataBytes;
    RecordScratch scratch(context->session, length + 1);
    std::uint8_t* record = scratch.data();
    if (record == nullptr) return scratch.failure();
    WriteWord(record, signature);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    WriteWord(record + 4, type);
    WriteDword(record + 8, flags);
    WriteWord(record + 12, dataLengthWord);
    if (dataLength > 0) std::memcpy(record + kHotspotBeginFixedLength, data, dataLength);
    return AppendPaddedRecord(record, signature, length, false, &context->output);
}

void ParseReplicaIdText(const char* text, std::uint32_t words[2]) {
    const std::size_t length = text != nullptr ? std::strlen(text) : 0;
    words[0] = GroupAt(text, length, 8);
    words[1] = GroupAt(text, length, 0);
}

void ParseUniversalIdText(const char* text, std::uint32_t words[4]) {
    const std::size_t length = text != nullptr ? std::strlen(text) : 0;
    words[0] = GroupAt(text, length, 8);
    words[1] = GroupAt(text, length, 0);
    words[2] = GroupAt(text, length, 24);
    words[3] = GroupAt(text, length, 16);
}

void WriteNoteLink(std::uint8_t* out, const NoteLinkWords& link) {
    for (int i = 0; i < 2; ++i) WriteDword(out + 4 * i, link.replica[i]);
    for (int i = 0; i < 4; ++i) WriteDword(out + 8 + 4 * i, link.view[i]);
    for (int i = 0; i < 4; ++i) WriteDword(out + 24 + 4 * i, link.note[i]);
}

STATUS AppendHTMLAttributeRecord(RARIvoSession* session, const char* prefix, const char* options,
                                 RecordOutput* output) {
    RecordScratch scratch(session, kMaxBuiltRecord);
    std::uint8_t* record = scratch.data();
    if (record == nullptr) return scratch.failure();
    WriteWord(record, kSigIdName);
    // Room is kept for the pad byte of an odd length.
    if (ApplyHTMLAttributeOptions(session, record, kMaxBuiltRecord - 1, nullptr, prefix, options, nullptr) == 0)
        return kOK;
    return AppendPaddedRecord(record, kSigIdName, ReadWord(record + 2), true, output);
}

// ---- Builders ---------------------------------------------------------------

STATUS AppendHotspotEnd(BuildContext* context, std::uint16_t signature) {
    if (context == nullptr) return kArgumentError;
    const std::uint8_t record[2] = {static_cast<std::uint8_t>(signature), 2};
    const STATUS status = AppendRecord(record, signature, sizeof record, &context->output);
    if (status != kOK) return status;
    return AppendEndRecord(signature, 0, &context->output);
}

STATUS AppendPopupHotspot(const char* text, const char* popupText, const char* options,
                          BuildContext* context) {
    if (context == nullptr || context->session == nullptr || Item(context) == nullptr) return kArgumentError;
    RARIvoSession* session = context->session;
    std::snprintf(session->messageBuffer, RARIvoSession::kMessageCapacity, "Adding popup text to %s...",
                  text != nullptr ? text : "");
    ShowLmbcsHostMessage(session->messageBuffer);

    const std::uint16_t type = OptionIs(options, "Hotspot=", "Mouseover") ? kTypeMouseover : kTypePopup;
    std::uint32_t flags = kPopupFlags;
    if (OptionIs(options, "Style=", "Highlight")) flags += kPopupHighlight;
    if (OptionIs(options, "Style=", "None")) flags += kPopupNoStyle;
    const std::uint32_t popupLength = TextLength(popupText, 0);
    if (popupLength + 1 > 0xFFFF) return kArgumentError;

    RecordOutput* output = &context->output;
    STATUS status = AppendBeginRecord(kSigV4HotspotBegin, 0, output);
    if (status == kOK) {
        status = AppendHotspotRecord(kSigHotspotBegin, type, flags, popupText, popupLength,
                                     static_cast<std::uint16_t>(popupLength + 1), popupLength + 1, context);
    }
    if (status == kOK) {
        const char* font = NonEmpty(Item(context)->popUpFont);
        status = AppendTextInFont(text, TextLength(text, 0), font != nullptr ? font : kDefaultPopupFont, false,
                                  context);
    }
    if (status == kOK) status = AppendHotspotEnd(context, kSigV4HotspotEnd);
    return status;
}

STATUS AppendURLHotspot(const char* text, std::uint32_t textLength, const char* url, std::uint32_t urlLength,
                        BuildContext* context, int noText) {
    if (context == nullptr || context->session == nullptr || Item(context) == nullptr) return kArgumentError;
    STATUS status = OpenURLHotspot(url, TextLength(url, urlLength), context);
    if (status != kOK) return status;
    if (noText == 0) {
        status = AppendLinkTextRun(text, TextLength(text, textLength), OpenedLink::kURLHotspot, nullptr, context);
        if (status != kOK) return status;
    }
    return FinishURLHotspot(context);
}

STATUS AppendURLHotspotWithEnd(const char* text, std::uint32_t textLength, const char* url,
                               std::uint32_t urlLength, BuildContext* context) {
    const STATUS status = AppendURLHotspot(text, textLength, url, urlLength, context, 0);
    if (status != kOK) return status;
    return AppendHotspotEnd(context, kSigV4HotspotEnd);
}

STATUS AppendNotesLinkHotspot(const char* text, std::uint32_t textLength, BuildContext* context,
                              int wrap) {
    return NotesLink(text, textLength, context, wrap != 0, false);
}

STATUS AppendNotesLinkHotspotEx(const char* text, std::uint32_t textLength, BuildContext* context) {
    return NotesLink(text, textLength, context, false, true);
}

STATUS OpenNotesLinkHotspotEx(std::uint32_t textLength, BuildContext* context, OpenedLink* opened) {
    OpenedLink ignored = OpenedLink::kNothing;
    return OpenNotesLink(textLength, context, false, opened != nullptr ? opened : &ignored);
}

STATUS AppendLinkTextRun(const char* text, std::uint32_t length, OpenedLink opened, const char* urlFont,
                         BuildContext* context) {
    if (opened == OpenedLink::kNothing) return kOK;
    if (context == nullptr || Item(context) == nullptr) return kArgumentError;
    const bool url = opened == OpenedLink::kURLHotspot;
    const char* font = url ? NonEmpty(urlFont) : nullptr;
    if (font == nullptr) font = NonEmpty(url ? Item(context)->urlFont : Item(context)->hyperlinkFont);
    return AppendTextInFont(text, length, font != nullptr ? font : kDefaultLinkFont, url, context);
}

STATUS CloseNotesLinkHotspotEx(BuildContext* context, OpenedLink opened) {
    if (opened == OpenedLink::kNothing) return kOK;
    if (context == nullptr || context->session == nullptr) return kArgumentError;
    if (opened == OpenedLink::kURLHotspot) {
        const STATUS status = FinishURLHotspot(context);
        if (status != kOK) return status;
    }
    return AppendHotspotEnd(context, kSigV4HotspotEnd);
}

STATUS AppendHypertextLink(const char* text, const char* linkText, std::uint32_t noteId, const char* options,
                           BuildContext* context) {
    if (context == nullptr || context->session == nullptr || Item(context) == nullptr) return kArgumentError;
    RARIvoSession* session = context->session;
    const LinkDatabase& database = session->workArea->linkDatabase;
    plat::ORIGINATORID oid;
    const plat::STATUS found = plat::DbNoteInfo(database.database, noteId, &oid, nullptr, nullptr);
    if (found != plat::NOERROR) return found;
    NoteLinkWords link;
    link.replica[0] = database.replica[0];
    link.replica[1] = database.replica[1];
    for (int i = 0; i < 4; ++i) link.view[i] = database.view[i];
    link.note[0] = oid.File.Innards[0];
    link.note[1] = oid.File.Innards[1];
    link.note[2] = oid.Note.Innards[0];
    link.note[3] = oid.Note.Innards[1];

    // The thread's message switch (set from the SuppressMessages of the
    // items made) decides, as for every message of the session.
    if (ThisThread().suppressMessages == 0) {
        std::snprintf(session->messageBuffer, RARIvoSession::kMessageCapacity, "Adding hypertext link to %s...",
                      text != nullptr ? text : "");
        ShowLmbcsHostMessage(session->messageBuffer);
    }

    if (text == nullptr) text = "";
    if (linkText == nullptr) linkText = "";
    LinkTexts texts;
    texts.description = linkText[0] != '\0' ? linkText : text;
    texts.descriptionLength = static_cast<std::uint32_t>(std::strlen(texts.description));
    // The anchor is read into a buffer of its own: the option reader's
    // buffer is used again below.
    char anchor[RARIvoSession::kMessageCapacity];
    if (OptionValue(options, "Anchor=", anchor, sizeof anchor)) {
        texts.anchor = anchor;
        texts.anchorLength = static_cast<std::uint32_t>(std::strlen(anchor));
    }
    const std::uint32_t textLength = static_cast<std::uint32_t>(std::strlen(text));
    if (textLength + 1 > 0xFFFF) return kArgumentError;

    RecordOutput* output = &context->output;
    const bool withOptions = NonEmpty(options) != nullptr;
    STATUS status = kOK;
    if (withOptions) {
        status = AppendBeginRecord(kSigV4HotspotBegin, 0, output);
        if (status == kOK) status = AppendCompanionRecord(output);
        if (status == kOK) status = AppendNotesLinkTarget(texts, link, context);
    }
    if (status == kOK) {
        status = AppendHotspotRecord(kSigV4HotspotBegin, kTypeURLLink, kLinkFlags, text, textLength,
                                     static_cast<std::uint16_t>(textLength + 1), textLength + 1, context);
    }
    if (status == kOK) status = AppendLinkRecord(texts, false, link, context);
    if (status == kOK) {
        const FontId font = OperationFont(context);
        status = AppendTextRecord(text, textLength, &font, output);
    }
    if (status == kOK && withOptions) status = AppendHypertextAttributes(text, linkText, options, context);
    if (status != kOK) return status;
    const std::uint8_t end[kHotspotEndLength] = {static_cast<std::uint8_t>(kSigV4HotspotEnd),
                                                 static_cast<std::uint8_t>(kHotspotEndLength)};
    status = AppendRecord(end, kSigV4HotspotEnd, sizeof end, output);
    if (status == kOK && withOptions) status = AppendEndRecord(kSigV4HotspotEnd, 0, output);
    return status;
}

} // namespace talix
