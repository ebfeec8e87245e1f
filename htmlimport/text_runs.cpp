// CalcFontFromHTML: a text node of the import as text runs in the font its
// HTML gives it, and the attached-file markers of mail text as file
// hotspots.
#include <algorithm>
#include <string>
#include <string_view>

#include "builders/file_hotspot.h"
#include "core/attachments.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "builders/build_context.h"
#include "htmlimport/css_text.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_fonts.h"
#include "htmlimport/import_records.h"
#include "htmlimport/import_sink.h"
#include "htmlimport/marked_files.h"
#include "talix/item.h"

namespace talix {

namespace {

// "(See attached file: 'name')": the marker's opening, where its closing
// parenthesis may stand (0-based, counted from the opening parenthesis),
// and how much text a further marker needs.
constexpr std::string_view kMarkerOpening = "See attached file: '";
constexpr std::size_t kMarkerName = 1 + kMarkerOpening.size();
constexpr std::size_t kFirstClose = 23, kLastClose = 148;
constexpr std::size_t kShortestMarker = 24, kShortestFurther = 25;
constexpr const char* kAttachedOptions = "AlreadyAttached='Yes'";
constexpr std::uint16_t kWrapperVersion = 0;

bool IsTextNode(const HtmlNode* node) { return node != nullptr && node->type == HtmlNodeType::kText; }

bool IsSpanOrFont(const HtmlNode* node) { return node != nullptr && (node->Is(HtmlTag::kSpan) || node->Is(HtmlTag::kFont)); }

bool IsSingleBlank(const HtmlDocument& document, const HtmlNode* node) {
    return IsTextNode(node) && document.Text(node) == " ";
}

bool WrittenAsText(const HtmlNode* node) { return !node->Is(HtmlTag::kScript) && !node->Is(HtmlTag::kStyle); }

enum class Towards { kFirst, kLast };

// The first or last text within the element that the walk writes (the
// content of script and style elements is not written as text); null when
// none.
const HtmlNode* TextWithin(const HtmlNode* element, Towards towards) {
    const bool last = towards == Towards::kLast;
    const auto child = [last](const HtmlNode* node) { return last ? node->lastChild : node->firstChild; };
    const auto sibling = [last](const HtmlNode* node) { return last ? node->prev : node->next; };
    for (const HtmlNode* at = child(element); at != nullptr;) {
        if (IsTextNode(at) && at->end > at->start) return at;
        if (child(at) != nullptr && WrittenAsText(at)) {
            at = child(at);
            continue;
        }
        while (at != element && sibling(at) == nullptr) at = at->parent;
        at = at == element ? nullptr : sibling(at);
    }
    return nullptr;
}

// A blank between a span or font element and what follows belongs to the
// text that ends the element: the blank itself writes nothing when the
// element before it begins with text, and that element's last text gains
// it. The text of a link is written by the link's conversion, which adds
// nothing: when the element ends in a link, the blank stays where it is.
bool BlankTakenByElementBefore(const HtmlDocument& document, const HtmlNode* node) {
    if (!IsSingleBlank(document, node) || !IsSpanOrFont(node->prev)) return false;
    const HtmlNode* first = node->prev->firstChild;
    if (!IsTextNode(first) || first->end <= first->start) return false;
    for (const HtmlNode* at = TextWithin(node->prev, Towards::kLast); at != nullptr && at != node->prev; at = at->parent) {
        if (at->Is(HtmlTag::kA)) return false;
    }
    return true;
}

// Whether the subtree of node holds text that the walk writes.
bool HoldsText(const HtmlNode* node) {
    if (IsTextNode(node)) return node->end > node->start;
    return WrittenAsText(node) && TextWithin(node, Towards::kFirst) != nullptr;
}

// Whether the text node ends a span or font element whose blank after it
// the element takes: the node is that element's last text, however deep
// within it (the element may end in a b or a small of its own).
bool GainsBlank(const HtmlDocument& document, const HtmlNode* node) {
    for (const HtmlNode* at = node; at->parent != nullptr; at = at->parent) {
        for (const HtmlNode* after = at->next; after != nullptr; after = after->next) {
            if (HoldsText(after)) return false;
        }
        const HtmlNode* element = at->parent;
        if (IsSpanOrFont(element) && BlankTakenByElementBefore(document, element->next)) return true;
    }
    return false;
}

// The attached-file markers at the start of the text. Each marker whose
// file the note holds becomes a file hotspot; *rest is what is left of the
// text to write, and *ended says that nothing is.
STATUS ConvertFileMarkers(BuildContext* context, std::string_view text, std::string_view* rest,
                          bool* ended) {
    *rest = text;
    *ended = false;
    ZervaRTItem* item = context->output.item;
    if (item == nullptr) return kOK;
    STATUS status = kOK;
    for (;;) {
        std::string_view marker = *rest;
        if (marker.size() >= 2 && marker[0] == ' ' && marker[1] == '(') marker.remove_prefix(1);
        if (marker.size() < kShortestMarker || marker[0] != '(' ||
            !StartsWithNoCase(marker.substr(1), kMarkerOpening))
            return status;
        const std::size_t apostrophe = marker.find("')", kMarkerName);
        if (apostrophe == std::string_view::npos || apostrophe + 1 < kFirstClose) return status;
        const std::string name(marker.substr(kMarkerName, apostrophe - kMarkerName));
        // A longer name makes a marker only for a file the message names.
        if (apostrophe + 1 > kLastClose && !HasMarkedFile(name)) return status;
        // The marker names the file; the note may store it under a name of
        // its own (files of one name are kept apart so).
        const MarkedFile marked = name.empty() ? MarkedFile() : TakeMarkedFile(name);
        const std::string& attachment = marked.stored.empty() ? name : marked.stored;
        plat::BLOCKID found;
        if (name.empty() || FindAttachmentItem(item->noteHandle, attachment.c_str(), &found, 0) != kOK) return status;
        const STATUS made = AppendFileHotspot(attachment.c_str(), attachment.c_str(),
                                              marked.stored.empty() ? nullptr : marked.file.c_str(), kAttachedOptions,
                                              context);
        if (made != kOK) return status;
        status = made;
        std::string_view after = marker.substr(apostrophe + 2);
        const std::size_t next = after.find('(');
        if (next == std::string_view::npos || after.size() - next < kShortestFurther) {
            *ended = true;
            return status;
        }
        *rest = after.substr(next);
    }
}

STATUS AddColorRecord(const RunFont& run, HTMLImportContext* import) {
    std::uint8_t record[kColorLength] = {static_cast<std::uint8_t>(kSigColor), kColorLength};
    WriteWord(record + 2, run.colorFlags);
    record[4] = static_cast<std::uint8_t>(run.rgb);
    record[5] = static_cast<std::uint8_t>(run.rgb >> 8);
    record[6] = static_cast<std::uint8_t>(run.rgb >> 16);
    return AddImportRecord(record, kSigColor, sizeof record, import);
}

// Whether the text node begins a pre element: a line end right after the
// pre's start tag belongs to the markup, not to the text.
bool BeginsPre(const HtmlNode* node) {
    return node->prev == nullptr && node->parent != nullptr && node->parent->Is(HtmlTag::kPre);
}

// The run's text as it is written: pre text keeps its line ends as breaks
// within the paragraph (but for one that opens the pre); other text may
// gain the blank after its element.
std::string RunText(const HtmlDocument& document, const HtmlNode* node, std::string_view text,
                    const HTMLImportContext* import) {
    if (import->inPre != 0 && BeginsPre(node)) {
        if (text.substr(0, 2) == "\r\n") text.remove_prefix(2);
        else if (!text.empty() && (text[0] == '\n' || text[0] == '\r')) text.remove_prefix(1);
    }
    std::string out(text);
    if (import->inPre != 0) {
        std::replace(out.begin(), out.end(), '\n', '\0');
        std::replace(out.begin(), out.end(), '\r', '\0');
    } else if (GainsBlank(document, node)) {
        out += ' ';
    }
    return out;
}

STATUS WriteRun(BuildContext* context, HTMLImportContext* import, const HtmlNode* node,
                std::string_view text) {
    const HtmlDocument& document = *import->document;
    if (BlankTakenByElementBefore(document, node)) return kOK;
    const RunFont run = CalcRunFont(context, import, node);
    const std::uint16_t signature = ImportTextSignature(import);
    std::uint8_t textTemplate[kTextRunHeader] = {};
    WriteTextRunHeader(textTemplate, signature, kTextRunHeader, run.font);

    STATUS status = kOK;
    if (run.colored) status = AddImportBeginRecord(signature, kWrapperVersion, import);
    if (status == kOK && import->inPre == 0 && !GainsBlank(document, node)) {
        // Text written as it stands is written from the document's own bytes.
        status = AddImportTextRuns(text.data(), static_cast<std::uint32_t>(text.size()), textTemplate, import);
    } else if (status == kOK) {
        const std::string out = RunText(document, node, text, import);
        status = AddImportTextRuns(out.data(), static_cast<std::uint32_t>(out.size()), textTemplate, import);
    }
    if (run.colored) {
        // The bracket is closed whatever became of the text.
        const STATUS colorStatus = AddColorRecord(run, import);
        const STATUS endStatus = AddImportEndRecord(signature, kWrapperVersion, import);
        if (status == kOK) status = colorStatus != kOK ? colorStatus : endStatus;
    }
    return status;
}

} // namespace

STATUS CalcFontFromHTML(BuildContext* context, HTMLImportContext* import, void* textNode) {
    const auto* node = static_cast<const HtmlNode*>(textNode);
    if (context == nullptr || import == nullptr || import->document == nullptr || node == nullptr) return kArgumentError;
    if (node->end == 0 || node->start >= node->end) return kOK;
    const std::string_view text = import->document->Text(node);
    std::string_view rest;
    bool ended = false;
    const STATUS markers = ConvertFileMarkers(context, text, &rest, &ended);
    if (ended) return markers;
    return WriteRun(context, import, node, rest);
}

} // namespace talix
