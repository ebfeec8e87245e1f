// PXMLH: one hotspot range, from a hotspot begin up to the hotspot end that
// closes it. URL hotspots and link resources become anchors, pop-ups
// anchors with a title, JavaScript events attributes of an anchor, wiki
// links links to the resolving agent; document links go to the link
// writer, attachments and sections to theirs. The records inside the range
// (text, paragraphs, pictures, tables) are rendered by the record walk one
// level deeper, which stops at the range's end so that the range end is
// handled here.
#include "htmlgen/hotspots.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/chunk_work_state.h"
#include "core/clamp.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signature_groups.h"
#include "core/text_compare.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/document_addresses.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/font_change.h"
#include "htmlgen/generation_options.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/stored_attributes.h"
#include "htmlgen/text_runs.h"
#include "htmlgen/walk_dispatch.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "htmlgen/walk_writers.h"
#include "talix/chunk.h"

namespace talix {

namespace {

// Hotspot begin: type, flags, data length, data.
constexpr std::uint32_t kTypeAt = 4, kFlagsAt = 8, kDataLengthAt = 12;
constexpr std::uint16_t kTypePopup = 1, kTypeAction = 2, kTypeAttachment = 4, kTypeURL = 11,
                        kTypeSection = 12, kTypeSectionAlternate = 13, kTypeMouseoverPopup = 22;
constexpr std::uint32_t kFlagLinkRecords = 0x1, kFlagFormula = 0x10, kFlagURLInData = 0x1000,
                        kFlagResultInPlace = 0x40000, kFlagEvents = 0x200000;
// Event: type, action type, code length; code pieces: length, bytes.
constexpr std::uint32_t kEventTypeAt = 8, kActionTypeAt = 10, kCodeLengthAt = 12;
constexpr std::uint16_t kActionJavaScript = 4;
constexpr std::uint32_t kPieceLengthAt = 6;
// Resource: flags, kind, data length, hint lengths, data after the hints.
constexpr std::uint32_t kResourceFlagsAt = 4, kResourceKindAt = 8, kResourceDataLengthAt = 12,
                        kServerHintAt = 14, kFileHintAt = 16;
constexpr std::uint32_t kResourceFormula = 0x1;
constexpr std::uint16_t kResourceURL = 1, kResourceNoteLink = 2;
// An id/name record: the class and title lengths (the texts from byte 26
// in the order id, class, style, title, extra, name).
constexpr std::uint32_t kIdLengthAt = 4, kClassLengthAt = 6, kStyleLengthAt = 8, kTitleLengthAt = 10;

constexpr const char* kEventNames[] = {
    "OnClick",    "OnClick",   "OnDblClick", "OnMouseDown", "OnMouseUp", "OnMouseOver", "OnMouseMove", "OnMouseOut",
    "OnKeyPress", "OnKeyDown", "OnKeyUp",    "OnFocus",     "OnBlur",    "OnLoad",      "OnUnload",    "Header",
    "OnSubmit",   "OnReset",   "OnChange",   "OnError",     "OnHelp",    "OnSelect",
};

bool Xhtml(const XMLGenContext* context) { return context->format == kFormatXHTML; }

// Takes back the ">" that ends the text in the buffer; false when the text
// does not end with one (or it was already handed on).
bool RemoveFinalBracket(XMLGenContext* context) {
    MoveToTextEnd(context);
    const std::uint32_t length = TextLength(context);
    if (length == 0 || context->buffer[length - 1] != '>') return false;
    context->buffer[length - 1] = '\0';
    context->writePosition = context->buffer + length - 1;
    context->measuredLength = 0;
    return true;
}

// Whether a span is open among the inline elements on top of the open
// elements (none of them below an element of another kind).
bool SpanOnTop(const XMLGenContext* context) {
    for (std::uint32_t i = context->closeTagCount; i-- > 0 && context->closeTags[i].kind != kInlineNone;) {
        if (context->closeTags[i].kind == kInlineSpan) return true;
    }
    return false;
}

// Whether an anchor is open around what comes: this range's own, or one
// of a range that holds this one. An anchor may not stand in another: a
// browser would end the outer one where the inner one starts, and the
// outer one's text after it would lose its link.
bool AnchorOpen(const HotspotCall* call) {
    return call->inLink || HasCloseTag(call->context, "</a>", 0) != 0;
}

void PassOver(XMLGenContext* context) {
    if (context->node != nullptr) context->node = context->node->next;
}

std::uint32_t Flags(const CDRecordNode* node) { return NodeDword(node, kFlagsAt); }

// The data of a hotspot begin, within the record.
std::string_view HotspotData(const CDRecordNode* node) {
    if (node->length <= kHotspotBeginFixedLength) return {};
    std::uint32_t length = NodeWord(node, kDataLengthAt);
    if (length > node->length - kHotspotBeginFixedLength) length = node->length - kHotspotBeginFixedLength;
    return {reinterpret_cast<const char*>(node->bytes) + kHotspotBeginFixedLength, length};
}

// A literal text of a record: up to its first zero byte.
std::string LiteralText(std::string_view data, std::size_t limit) {
    std::string text(data.substr(0, limit));
    text.resize(strnlen(text.c_str(), text.size()));
    return text;
}

// The text a record's data stands for: the result of its formula, or the
// text itself. A formula that fails keeps its status for the run.
std::string DataText(XMLGenContext* context, std::string_view data, bool formula, std::size_t limit) {
    if (!formula) return LiteralText(data, limit);
    std::string text;
    KeepStatus(context, EvaluateStoredFormula(context, reinterpret_cast<const std::uint8_t*>(data.data()),
                                              static_cast<std::uint32_t>(data.size()), &text));
    return text;
}

void WriteEncoded(XMLGenContext* context, const std::string& text, int dropLineEnds = 1) {
    if (text.empty()) return;
    WriteXMLEncodedText(context, text.data(), ClampToWord(text.size()),
                        dropLineEnds, 0, 0);
}

// The walk renders the range's content one level deeper and stops at the
// range's end. False when nothing was rendered (nesting too deep).
bool RenderContent(HotspotCall* call) {
    XMLGenContext* context = call->context;
    if (context->walkNesting >= kMaxWalkNesting) return false;
    const std::uint16_t saved = context->hotspotContentWalk;
    context->hotspotContentWalk = static_cast<std::uint16_t>(context->walkNesting + 1);
    const CDRecordNode* before = context->node;
    const STATUS status = PrXMLStr(context, call->kind, call->depth + 1u, 0);
    context->hotspotContentWalk = saved;
    KeepStatus(context, status == kOutOfMemory ? kOK : status);
    return context->node != before;
}

// Content nested too deep for a walk of its own: the record goes to the
// writer of its kind here, in this range's loop, so that its text is
// written all the same (a table's content is written as it comes, without
// the table's elements).
void RenderInPlace(HotspotCall* call) {
    XMLGenContext* context = call->context;
    const CDRecordNode* before = context->node;
    const StepResult result =
        DispatchRecord(context, WalkCall{call->kind, static_cast<std::uint16_t>(call->depth + 1u)});
    KeepStatus(context, result.status == kOutOfMemory ? kOK : result.status);
    if (context->node == before) PassOver(context);
}

// ---- Attributes of the records that follow a link -------------------------

// The attribute a record gives the link it follows: a target record's
// target, an id/name record's attributes. True for a target.
bool WriteLinkAttribute(XMLGenContext* context, const CDRecordNode* at) {
    if (at->signature == kSigTarget && at->length >= kTargetFixedLength) {
        std::uint32_t length = NodeWord(at, kTargetTextLengthAt);
        if (length > at->length - kTargetFixedLength) length = at->length - kTargetFixedLength;
        AppendOutput(context, " target=\"");
        AppendAttributeValue(context,
                             LiteralText({reinterpret_cast<const char*>(at->bytes) + kTargetFixedLength, length},
                                         length));
        AppendOutput(context, "\"");
        return true;
    }
    if (at->signature == kSigIdName && at->bytes != nullptr) WriteIDNameAttributes(at->bytes, at->length, context, nullptr);
    return false;
}

// Adds the target and id/name attributes of the records after the current
// one up to the range's end.
void WriteLinkAttributes(HotspotCall* call) {
    XMLGenContext* context = call->context;
    for (const CDRecordNode* at = context->node != nullptr ? context->node->next : nullptr;
         InRange(context, at) && !IsRangeEnd(at); at = at->next) {
        if (WriteLinkAttribute(context, at)) call->targetWritten = true;
    }
}

// The start of an anchor to a URL, as far as its href: the caller's link
// event may give another URL; URLEncodeFilenames writes backslashes as
// slashes and blanks as "%20".
void WriteURLStart(HotspotCall* call, const std::string& url) {
    XMLGenContext* context = call->context;
    ZervaRTChunk* chunk = context->chunk;
    if (IsOn(context, sw::kRaiseURLLinkEvents) && chunk != nullptr) {
        chunk->CleanupEventRetString(1);
        std::string copy = url;
        char empty[1] = {};
        chunk->RaiseQueryLinkData(empty, 0, 2, copy.data(), nullptr, nullptr, nullptr, nullptr, nullptr);
        const char* answer = chunk->eventReturn[0];
        // An answer without a text leaves the URL as it was.
        if (answer != nullptr && answer[0] != '\0') {
            AppendOutput(context, "<a href=\"");
            AppendAttributeValue(context, answer);
            AppendOutput(context, "\"");
            return;
        }
    }
    AppendOutput(context, "<a href=\"");
    if (IsOn(context, sw::kURLEncodeFilenames)) {
        AppendAttributeValue(context, AddressText(url, true));
    } else {
        AppendAttributeValue(context, url);
    }
    AppendOutput(context, "\"");
}

// The rest of a URL anchor's start: its attributes, ">", and the anchor is
// open.
void FinishURLAnchor(HotspotCall* call) {
    call->context->anchorPending = 1;
    WriteLinkAttributes(call);
    EndAnchorTag(call);
    OpenAnchor(call);
}

// ---- Links made of the records that follow ---------------------------------

// A URL hotspot whose link lies in the records that follow it (link
// records or link resources): the anchor, the text of the range's runs, and
// its end; the current node moves past the range's end.
void WriteFollowingLink(HotspotCall* call) {
    XMLGenContext* context = call->context;
    CDRecordNode* begin = context->node;
    bool opened = false;
    bool target = false;
    int inPage = 0;
    for (CDRecordNode* at = begin->next; InRange(context, at) && !IsRangeEnd(at); at = at->next) {
        const bool linkRecord = at->signature == kSigLink2 || at->signature == kSigLinkExport2 ||
                                at->signature == kSigHref;
        if (linkRecord && !opened) {
            CloseBeforeAnchor(context, begin);
            context->node = at;
            ProcessXMLDoclink(context, call->kind, call->depth, 0, &inPage);
            RemoveFinalBracket(context);
            opened = true;
        } else if (opened && WriteLinkAttribute(context, at)) {
            target = true;
        }
    }
    // Without a link record there is no address: the text stands alone.
    const std::uint32_t depth = CloseTagDepth(context);
    if (opened) {
        if (inPage != 0 && !target) AppendOutput(context, " target=\"_self\"");
        AppendOutput(context, ">");
        PushCloseTag(context, "</a>");
    }
    CDRecordNode* at = begin->next;
    while (InRange(context, at) && !IsRangeEnd(at)) {
        if (!IsTextRun(at->signature)) {
            at = at->next;
            continue;
        }
        context->node = at;
        ProcessXMLText(context, 0, 0);
        at = context->node != at ? context->node : at->next;
    }
    if (opened) {
        CloseOpenXMLTagsToOutput(context, "</a>", 1, 1, 0, 0);
    } else {
        PopCloseTags(context, depth, nullptr, 0);
    }
    context->node = InRange(context, at) ? at->next : at;
}

// ---- Wiki links ----------------------------------------------------------------

// The wiki text of the first id/name record after the current one, when
// its class is "WikiLink" (compared over the class's length) and it has a
// title; empty otherwise.
std::string WikiText(const XMLGenContext* context) {
    for (const CDRecordNode* at = context->node->next; InRange(context, at) && !IsRangeEnd(at); at = at->next) {
        if (at->signature != kSigIdName) continue;
        const std::uint32_t idLength = NodeWord(at, kIdLengthAt), classLength = NodeWord(at, kClassLengthAt),
                            styleLength = NodeWord(at, kStyleLengthAt), titleLength = NodeWord(at, kTitleLengthAt);
        const std::uint64_t classAt = kIdNameFixedLength + idLength;
        const std::uint64_t titleAt = classAt + classLength + styleLength;
        if (titleAt + titleLength > at->length || classLength == 0 || titleLength == 0) return {};
        const char* className = reinterpret_cast<const char*>(at->bytes) + classAt;
        if (classLength > std::strlen("WikiLink") || !StartsWithNoCase("WikiLink", std::string_view(className, classLength)))
            return {};
        return LiteralText({reinterpret_cast<const char*>(at->bytes) + titleAt, titleLength}, titleLength);
    }
    return {};
}

// The text as the inside of a double-quoted script string: a backslash,
// either quote and a line end written as escapes, so that no text ends the
// string (a character of several bytes is copied whole).
std::string ScriptStringText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        if (b < 0x20 && b != '\n' && b != '\r') {
            const std::size_t n = CharacterBytesAt(text, i);
            out.append(text.substr(i, n));
            i += n;
            continue;
        }
        switch (b) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\'': out += "\\'"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += static_cast<char>(b); break;
        }
        ++i;
    }
    return out;
}

// The wiki text as the value that ends the address of the agent's query:
// blanks after the first character as "+"; what would end the value or the
// address, or be read as an escape or a blank ("&", "#", "?", "%", "+",
// quotes, "<", ">", backslash, control characters), as "%XX". A character
// of several bytes is copied whole, whatever its later bytes look like.
std::string WikiQueryText(std::string_view text) {
    return EscapedAddressPart(text, AddressEscapes{"\"'<>&#?%+\\`", true, false, 1});
}

// A link to the agent that resolves a wiki text; false when the hotspot is
// no wiki link.
bool WriteWikiLink(HotspotCall* call) {
    XMLGenContext* context = call->context;
    const char* resolve = context->texts.resolveWiki;
    if (resolve == nullptr || resolve[0] == '\0') return false;
    const std::string wiki = WikiText(context);
    if (wiki.empty()) return false;
    CloseBeforeAnchor(context, context->node);
    std::string script;
    if (GenerationOption(context, "UseJavaScript=", &script) && !EqualNoCase(script.c_str(), "no")) {
        script = "var newWin = window.open(\"" + std::string(resolve) +
                 "\"); newWin.document.getElementsByName(\"Subject\")[0].value = \"" + ScriptStringText(wiki) +
                 "\";";
        AppendOutput(context, Xhtml(context) ? "<a href=\"\" class=\"WikiLink\" onclick=\""
                                             : "<a href=\"\" class=\"WikiLink\" onClick=\"");
        AppendAttributeValue(context, script);
        AppendOutput(context, "; return false;\">");
    } else {
        const std::string words = WikiQueryText(wiki);
        // "http:" and a prefix that begins with one slash (the built one:
        // "/" and the database) name a path on the host that serves the
        // page, not a host of the database's name.
        AppendOutput(context, "<a href=\"http:");
        AppendOptionAttributeValue(context, resolve);
        AppendAttributeValue(context, words);
        AppendOutput(context, "\" class=\"WikiLink\" target=\"_top\">");
    }
    OpenAnchor(call);
    return true;
}

// ---- Events --------------------------------------------------------------------

std::string EventName(const XMLGenContext* context, std::uint16_t type) {
    std::string name = type < sizeof kEventNames / sizeof kEventNames[0] ? kEventNames[type] : kEventNames[0];
    if (Xhtml(context)) {
        for (char& c : name) c = LowerAscii(c);
    }
    return name;
}

// The code of an event: the bytes of the code pieces after it, until the
// event's code length is used up. A zero byte is where a line of the stored
// code ends: it becomes a line feed, as the code's author wrote it.
std::string EventCode(const XMLGenContext* context, const CDRecordNode* event) {
    std::uint32_t left = NodeDword(event, kCodeLengthAt);
    std::string code;
    for (const CDRecordNode* at = event->next; left > 0 && InRange(context, at) && at->signature == kSigBlobPart;
         at = at->next) {
        std::uint32_t length = NodeWord(at, kPieceLengthAt);
        if (at->length < kBlobPartFixedLength) break;
        if (length > at->length - kBlobPartFixedLength) length = at->length - kBlobPartFixedLength;
        if (length > left) length = left;
        code.append(reinterpret_cast<const char*>(at->bytes) + kBlobPartFixedLength, length);
        left -= length;
    }
    std::replace(code.begin(), code.end(), '\0', '\n');
    return code;
}

// The JavaScript events of the range as attributes of one anchor.
void WriteEvents(HotspotCall* call) {
    XMLGenContext* context = call->context;
    bool opened = false;
    // Attributes go into an anchor start still open, or into the range's
    // own anchor when nothing followed it.
    const bool reopened = call->inLink && ReopenAnchorTag(call);
    if (call->inLink && !reopened) return;
    // An element takes each attribute once: the code of events that share
    // an attribute (type 0 and the types past the table are OnClick too)
    // goes into one, in the order of the events.
    std::vector<std::pair<std::string, std::vector<const CDRecordNode*>>> attributes;
    for (const CDRecordNode* at = context->node->next; InRange(context, at) && !IsRangeEnd(at); at = at->next) {
        if (at->signature != kSigEvent || NodeWord(at, kActionTypeAt) != kActionJavaScript) continue;
        const std::string name = EventName(context, NodeWord(at, kEventTypeAt));
        auto same = std::find_if(attributes.begin(), attributes.end(), [&](const auto& a) { return a.first == name; });
        if (same != attributes.end()) {
            same->second.push_back(at);
        } else {
            attributes.push_back({name, {at}});
        }
    }
    if (!call->inLink && !attributes.empty()) CloseBeforeAnchor(context, context->node);
    for (const auto& [name, events] : attributes) {
        if (!call->inLink) {
            AppendOutput(context, "<a href=\"\" ");
            context->anchorPending = 1;
            OpenAnchor(call);
            opened = true;
        } else {
            AppendOutput(context, " ");
        }
        AppendOutput(context, name.c_str());
        AppendOutput(context, "=\"");
        for (const CDRecordNode* event : events) {
            // Line ends stay: they may separate the code's statements; and
            // blanks and tabs stay as they are, whatever the text's spacing
            // options, since they may stand in the code's strings. The
            // code's own last character (not that of an entity written for
            // it) says whether a statement ends there.
            const std::string code = EventCode(context, event);
            if (!code.empty()) WriteXMLEncodedValue(context, code.data(), ClampToWord(code.size()), 0);
            const std::size_t last = code.find_last_not_of(" \t\r\n");
            if (last == std::string::npos || code[last] != ';') AppendOutput(context, "; ");
        }
        AppendOutput(context, "return false;\"");
    }
    if (opened || reopened) EndAnchorTag(call);
}

// ---- Pop-ups ---------------------------------------------------------------------

void WritePopup(HotspotCall* call) {
    XMLGenContext* context = call->context;
    const CDRecordNode* node = context->node;
    const std::uint32_t flags = Flags(node);
    const std::string_view data = HotspotData(node);
    const bool formula = (flags & kFlagFormula) != 0;
    // The pop-up's text keeps its line ends, as references: its lines show
    // apart in the pop-up, and as text in place they keep the words on
    // either side apart.
    if (formula && (flags & kFlagResultInPlace) != 0) {
        WriteEncoded(context, DataText(context, data, true, data.size()), 0);
        PassOver(context);
        return;
    }
    if ((flags & kFlagResultInPlace) != 0) {
        // A pop-up shown in place without a formula: of the plain kind
        // nothing stands, the mouse-over kind's content stays.
        if (NodeWord(node, kTypeAt) == kTypePopup) {
            while (InRange(context, context->node->next) && !IsRangeEnd(context->node->next))
                context->node = context->node->next;
        }
        PassOver(context);
        return;
    }
    if (!data.empty() && !AnchorOpen(call)) {
        const std::string text = DataText(context, data, formula, data.size());
        CloseBeforeAnchor(context, node);
        AppendOutput(context, "<a onclick=\"return false;\" title=\"");
        WriteEncoded(context, text, 0);
        AppendOutput(context, IsOn(context, sw::kStandardFontTags)
                                  ? "\" href=\"\""
                                  : "\" style=\"text-decoration: none; background: #ffffc2\"");
        EndAnchorTag(call);
        OpenAnchor(call);
    }
    PassOver(context);
}

// ---- Resources ---------------------------------------------------------------------

void WriteResource(HotspotCall* call) {
    XMLGenContext* context = call->context;
    const CDRecordNode* node = context->node;
    const std::uint16_t kind = NodeWord(node, kResourceKindAt);
    if (kind == kResourceNoteLink) {
        context->anchorPending = 1;
        if (WriteWikiLink(call) || call->inLink) {
            PassOver(context);
            return;
        }
        CloseBeforeAnchor(context, node);
        PushCloseTag(context, "</a>");
        call->inLink = true;
        context->insideLink = 1;
        int inPage = 0;
        ProcessXMLDoclink(context, call->kind, call->depth, 0, &inPage);
        if (RemoveFinalBracket(context)) {
            WriteLinkAttributes(call);
            if (inPage != 0 && !call->targetWritten) AppendOutput(context, " target=\"_self\"");
            EndAnchorTag(call);
        }
        PassOver(context);
        return;
    }
    if (kind != kResourceURL || node->length < kResourceFixedLength || IsOn(context, sw::kSuppressLinks)
        || call->inLink) {
        PassOver(context);
        return;
    }
    const std::uint32_t at = kResourceFixedLength + NodeWord(node, kServerHintAt) + NodeWord(node, kFileHintAt);
    std::uint32_t length = NodeWord(node, kResourceDataLengthAt);
    if (at > node->length) length = 0;
    else if (length > node->length - at) length = node->length - at;
    const std::string_view data(reinterpret_cast<const char*>(node->bytes) + at, length);
    const bool formula = (NodeDword(node, kResourceFlagsAt) & kResourceFormula) != 0;
    const std::string url = DataText(context, data, formula, data.size());
    if (url.empty()) {
        PassOver(context);
        return;
    }
    CloseBeforeAnchor(context, node);
    WriteURLStart(call, url);
    FinishURLAnchor(call);
    PassOver(context);
}

// ---- URL hotspots and action hotspots -------------------------------------------

void WriteURLHotspot(HotspotCall* call) {
    XMLGenContext* context = call->context;
    const CDRecordNode* node = context->node;
    const std::uint32_t flags = Flags(node);
    if ((flags & kFlagURLInData) == 0) {
        if ((flags & kFlagLinkRecords) != 0) {
            WriteFollowingLink(call);
            return;
        }
        PassOver(context);
        return;
    }
    const std::string_view data = HotspotData(node);
    const bool formula = (flags & kFlagFormula) != 0;
    const std::string url = DataText(context, data, formula, data.size());
    if (!url.empty()) {
        CloseBeforeAnchor(context, node);
        WriteURLStart(call, url);
        FinishURLAnchor(call);
    }
    PassOver(context);
}

void WriteActionHotspot(HotspotCall* call) {
    XMLGenContext* context = call->context;
    const std::uint32_t flags = Flags(context->node);
    if ((flags & kFlagEvents) != 0) {
        WriteEvents(call);
    } else if ((flags & kFlagFormula) != 0) {
        WriteWikiLink(call);
    }
    PassOver(context);
}

// ---- The end of the range ------------------------------------------------------------

// Lists opened inside the range close with it.
void CloseRangeLists(XMLGenContext* context) {
    for (bool closed = true; closed;) {
        closed = false;
        for (const char* list : {"</ul>", "</ol>"}) {
            if (HasCloseTagBefore(context, list, "</div>", "</p>", "</blockquote>") != 0 &&
                HasCloseTagBefore(context, list, "</td>", "</th>") != 0) {
                CloseOpenXMLTagsToOutput(context, list, 1, 1, 0, 0);
                closed = true;
            }
        }
    }
}

void EndRange(HotspotCall* call) {
    XMLGenContext* context = call->context;
    CloseRangeLists(context);
    const std::uint16_t level = context->hotspotLevel;
    if (IsOn(context, sw::kZelundaSections)) WriteSectionEnd(context, level);
    if (context->hotspotLevel > 0) --context->hotspotLevel;
    if (call->inLink) {
        CloseOpenXMLTagsToOutput(context, "</a>", 1, 1, 0, 0);
        call->inLink = false;
        context->insideLink = 0;
    }
    // The body of a section that began in this range closes with it (and
    // what it holds that is still open): its division carries the range's
    // level.
    if (IsOn(context, sw::kSectionsInCSS) && context->attachmentOpen == 0 && level > 0) {
        for (std::uint32_t i = context->closeTagCount; i-- > 0;) {
            const CloseTagEntry& entry = context->closeTags[i];
            if (entry.level != level || !SameCloseTag(entry.tag, "</div>")) continue;
            while (context->closeTagCount > i) CloseOpenXMLTagsToOutput(context, TopCloseTag(context)->tag, 1, 1, 0, 0);
            break;
        }
    }
    EndAttachment(context);
    context->anchorPending = 0;
    PassOver(context);
    if (InRange(context, context->node) && context->node->signature == kSigEnd) PassOver(context);
    MoveToTextEnd(context);
}

// Content records the walk renders for the range.
bool IsContent(const CDRecordNode* node) {
    switch (node->signature) {
    case kSigText:
    case kSigBidiText:
        return node->length > kTextRunHeader;
    case kSigParagraph:
    case kSigPabReference:
    case kSigGraphic:
    case kSigTableBegin:
    case kSigStyleName:
    case kSigNestedTableBegin:
    case kSigPabDefinition:
    case kSigPreTableBegin:
        return true;
    default:
        return false;
    }
}

bool BracketsLink(const CDRecordNode* node) {
    const std::uint16_t inner = InnerSignature(node);
    return inner == kSigLink2 || inner == kSigLinkExport2;
}

// The hotspot level of a new range: raised for each begin, its section
// slot cleared for the V4 form.
void RaiseLevel(XMLGenContext* context, bool clearSlot) {
    if (context->hotspotLevel < 0xFFFF) ++context->hotspotLevel;
    if (clearSlot && context->hotspotLevel < kHotspotSlots) context->sectionSlots[context->hotspotLevel] = nullptr;
}

} // namespace

bool IsRangeEnd(const CDRecordNode* node) { return node != nullptr && IsHotspotEndRecord(node->signature); }

void CloseBeforeAnchor(XMLGenContext* context, const CDRecordNode* begin) {
    if (context->paragraphMapping != nullptr && (context->paragraphMapping->flags & kStyleMappingNoFonts) != 0)
        return;
    for (const CDRecordNode* at = begin->next; InRange(context, at) && !IsRangeEnd(at); at = at->next) {
        if (!IsTextRun(at->signature) || !RunHasText(at)) continue;
        const bool colourGiven = at->next != nullptr && at->next->signature == kSigColor;
        const FontId font = ReadFontId(at->bytes + 4);
        // A change closes one span; spans nested in one another (a run's
        // inside the one before it) stay open below it, and the change at
        // the link's text would close the next of them, anchor and all. So
        // the change is made again while it closes something and a span
        // is still open among the inline elements on top.
        for (std::uint32_t depth = UINT32_MAX; CloseTagDepth(context) < depth && SpanOnTop(context);) {
            depth = CloseTagDepth(context);
            CloseForFontChange(context, font, colourGiven);
        }
        return;
    }
}

bool PassOverRange(XMLGenContext* context) {
    for (CDRecordNode* at = context->node; InRange(context, at); at = at->next) {
        if (IsRangeEnd(at)) {
            context->node = at->next;
            return true;
        }
    }
    return false;
}

void OpenAnchor(HotspotCall* call) {
    PushCloseTag(call->context, "</a>");
    call->inLink = true;
    call->context->insideLink = 1;
}

void EndAnchorTag(HotspotCall* call) {
    AppendOutput(call->context, ">");
    MoveToTextEnd(call->context);
    call->anchorTagEnd = TextLength(call->context);
}

bool ReopenAnchorTag(HotspotCall* call) {
    XMLGenContext* context = call->context;
    MoveToTextEnd(context);
    if (call->anchorTagEnd == 0 || TextLength(context) != call->anchorTagEnd) return false;
    call->anchorTagEnd = 0;
    return RemoveFinalBracket(context);
}

STATUS PXMLH(XMLGenContext* context, std::uint16_t kind, std::uint16_t depth) {
    if (context == nullptr || context->buffer == nullptr) return kArgumentError;
    TraceStep("PXMLH - IN");
    HotspotCall call;
    call.context = context;
    call.kind = kind;
    call.depth = depth;
    const int insideLink = context->insideLink;
    MoveToTextEnd(context);

    while (InRange(context, context->node) && context->overflow == 0) {
        CDRecordNode* node = context->node;
        const std::uint16_t signature = node->signature;
        if (IsRangeEnd(node)) {
            EndRange(&call);
            break;
        }
        switch (signature) {
        case kSigV5HotspotBegin:
            PassOver(context);
            break;
        case kSigBar:
            MoveToTextEnd(context);
            WriteSectionStart(context, false);
            PassOver(context);
            break;
        case kSigV4HotspotBegin: {
            RaiseLevel(context, true);
            const std::uint16_t type = NodeWord(node, kTypeAt);
            if (type == kTypeSection || type == kTypeSectionAlternate || AnchorOpen(&call) ||
                IsOn(context, sw::kSuppressLinks)) {
                PassOver(context);
            } else if (type == kTypeURL) {
                WriteURLHotspot(&call);
            } else if (type == kTypeAction) {
                WriteActionHotspot(&call);
            } else {
                PassOver(context);
            }
            break;
        }
        case kSigHotspotBegin: {
            if (node->prev != nullptr && node->prev->signature != kSigV4HotspotBegin) RaiseLevel(context, false);
            const std::uint16_t type = NodeWord(node, kTypeAt);
            if (type == kTypePopup || type == kTypeMouseoverPopup) {
                WritePopup(&call);
            } else if (type == kTypeAttachment) {
                if (WriteAttachmentHotspot(&call)) {
                    // Passed over with its content: the range is done, and
                    // so is the bracket around it.
                    if (context->hotspotLevel > 0) --context->hotspotLevel;
                    EndAttachment(context);
                    if (InRange(context, context->node) && context->node->signature == kSigEnd) PassOver(context);
                    context->insideLink = insideLink;
                    TraceStep("PXMLH - OUT");
                    return kOK;
                }
            } else {
                PassOver(context);
            }
            break;
        }
        case kSigHref:
            WriteResource(&call);
            break;
        case kSigLink2:
        case kSigLinkExport2:
            if (call.inLink) {
                PassOver(context);
                break;
            }
            CloseBeforeAnchor(context, node);
            PushCloseTag(context, "</a>");
            call.inLink = true;
            context->insideLink = 1;
            call.inPageAnchor = 0;
            TraceStep("PXMLH - About to ProcessXMLDoclink #2");
            ProcessXMLDoclink(context, kind, depth, 0, &call.inPageAnchor);
            MoveToTextEnd(context);
            call.anchorTagEnd = TextLength(context);
            if (call.inPageAnchor != 0 && ReopenAnchorTag(&call)) {
                if (!call.targetWritten) AppendOutput(context, " target=\"_self\"");
                EndAnchorTag(&call);
            }
            PassOver(context);
            break;
        case kSigBegin:
            if (BracketsLink(node) || !RenderContent(&call)) PassOver(context);
            break;
        case kSigEnd:
            if (BracketsLink(node)) {
                PassOver(context);
                break;
            }
            context->insideLink = insideLink;
            TraceStep("PXMLH - OUT");
            return kOK;
        case kSigTableEnd:
        case kSigNestedTableEnd:
            if (depth > 0) {
                context->insideLink = insideLink;
                return kOK;
            }
            PassOver(context);
            break;
        default:
            if (!IsContent(node)) {
                PassOver(context);
                break;
            }
            TraceStep("PXMLH - #5");
            if (!RenderContent(&call)) RenderInPlace(&call);
            {
                const CDRecordNode* at = context->node;
                if (kind != 0 && depth >= 1 && at != nullptr && at->prev != nullptr && at->prev->signature == kSigEnd &&
                    InnerSignature(at->prev) == kind) {
                    context->insideLink = insideLink;
                    return kOK;
                }
            }
            break;
        }
    }
    context->insideLink = insideLink;
    TraceStep("PXMLH - OUT");
    return context->overflow != 0 ? kOutOfMemory : kOK;
}

} // namespace talix
