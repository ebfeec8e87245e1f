// Anchors in the walk: a named anchor; then, by the first test that holds, a
// link to a place in the same document, a Notes link to a database, view or
// document named by a web-style or Notes-style address, a hotspot on a file
// attached to the note or held in a resource note, or a URL hotspot.
//
// Three switches tell the walk what is left to do for the anchor: skipText
// (its text is inside the link already), hotspotOpen (the a's close ends the
// hotspot) and skipNextImage (the link icon inside the anchor is not
// converted).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/graphic_builders.h"
#include "builders/hotspot_builders.h"
#include "builders/record_scratch.h"
#include "core/ascii.h"
#include "core/attachments.h"
#include "core/chunk_work_state.h"
#include "core/debug_level.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "core/view_lookup.h"
#include "htmlimport/attachment_icon.h"
#include "htmlimport/css_lengths.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_fonts.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_paragraphs.h"
#include "htmlimport/import_sink.h"
#include "htmlimport/link_addresses.h"
#include "htmlimport/node_search.h"
#include "htmlimport/note_addresses.h"
#include "htmlimport/style_lookup.h"
#include "htmlimport/walk_handlers.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::size_t kCaptionChars = 31;
constexpr std::size_t kKeyChars = 31;
constexpr std::uint32_t kStoredNameSize = 256;
constexpr char kViewIconName[] = "vwicn005.gif";
constexpr char kResourceIconName[] = "icon.gif";

bool Tracing() { return g_debugLevel > 2; }

// What the preparation reads of the anchor.
struct Anchor {
    HtmlNode* node = nullptr;
    std::string_view text;          // from its first text node to its last, in the document's buffer
    bool hasHref = false;
    std::string href;
    const char* name = nullptr;     // attribute values, null when absent
    const char* title = nullptr;
    const char* target = nullptr;
    bool hasFragment = false;
    std::string fragment;           // after the first '#', each "%20" a blank
    std::string noteId;             // of the note being written
};

const char* NonEmpty(const char* text) { return text != nullptr && text[0] != '\0' ? text : nullptr; }

// The text from the start of the anchor's first text node to the end of
// the last one that follows it.
std::string_view AnchorText(const HTMLImportContext* import, const HtmlNode* anchor) {
    const HtmlNode* text = FindTextNode(anchor, nullptr, 0);
    if (text == nullptr) return {};
    const std::uint32_t start = text->start;
    std::uint32_t end = text->end;
    for (; text != nullptr && text->end != 0 && text->end > text->start; text = FindTextNode(anchor, text, end))
        if (text->end > end) end = text->end;
    return std::string_view(import->document->TextBuffer() + start, end - start);
}

void ReadAttributes(Anchor* anchor) {
    for (const HtmlAttr* attr = anchor->node->attributes; attr != nullptr; attr = attr->next) {
        const char* value = attr->value != nullptr ? attr->value : "";
        if (CompareNamesNoCase(attr->name, "href") == 0) {
            anchor->hasHref = true;
            anchor->href = value;
            if (anchor->href.compare(0, 12, "~clipbrd.ncf") == 0) anchor->href.erase(0, 12);
        } else if (CompareNamesNoCase(attr->name, "name") == 0) {
            anchor->name = value;
        } else if (CompareNamesNoCase(attr->name, "title") == 0) {
            anchor->title = value;
        } else if (CompareNamesNoCase(attr->name, "target") == 0) {
            anchor->target = value;
        }
    }
}

// Whether an address runs script or carries its content inline
// ("javascript:", "vbscript:", "data:"), read as a browser reads it:
// control characters and blanks before it, and tabs and line ends inside
// it, do not count; letters in either case. The address is platform text,
// where a control character other than a tab or line end is two bytes
// (0x0F and the character plus 0x20).
bool RunsOrEmbeds(const std::string& href) {
    constexpr char kControlGroup = 0x0F;
    std::string scheme;
    for (std::size_t at = 0; at < href.size(); ++at) {
        const char c = href[at];
        if (c == '\t' || c == '\n' || c == '\r') continue;
        if (scheme.empty() && c == kControlGroup && at + 1 < href.size() &&
            static_cast<unsigned char>(href[at + 1]) < 0x40) {
            ++at;
            continue;
        }
        if (scheme.empty() && static_cast<unsigned char>(c) <= ' ') continue;
        if (c == ':') return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
        if (scheme.size() > 10) return false;
        scheme.push_back(LowerAscii(c));
    }
    return false;
}

std::string Blanks20(std::string text) {
    for (std::size_t at = 0; (at = text.find("%20", at)) != std::string::npos; ++at) text.replace(at, 3, " ");
    return text;
}

// A record of a fixed part and a text: the text's length as the word at
// offset 4, the text from textAt, the record's length rounded up to even.
STATUS AppendNamedTextRecord(std::uint16_t signature, std::uint32_t textAt, std::string_view text,
                             RecordOutput* output) {
    const std::uint32_t length = EvenLength(static_cast<std::uint32_t>(textAt + text.size()));
    if (text.size() > 0xFFFF || length > kMaxBuiltRecord) return kArgumentError;
    std::string record(length, '\0');
    auto* bytes = reinterpret_cast<std::uint8_t*>(record.data());
    WriteWord(bytes, signature);
    WriteWord(bytes + 2, static_cast<std::uint16_t>(length));
    WriteWord(bytes + 4, static_cast<std::uint16_t>(text.size()));
    std::memcpy(bytes + textAt, text.data(), text.size());
    return AppendRecord(bytes, signature, length, output);
}

// The link slots of the running chunk, filled for one call of the link
// builder and emptied after it.
class LinkSlots {
public:
    explicit LinkSlots(BuildContext* context)
        : request_(context->chunk != nullptr && context->chunk->work != nullptr ? &context->chunk->work->linkRequest
                                                                                 : nullptr) {}
    ~LinkSlots() { Clear(); }
    LinkSlots(const LinkSlots&) = delete;
    LinkSlots& operator=(const LinkSlots&) = delete;

    bool Usable() const { return request_ != nullptr; }
    LinkRequest& Request() { return *request_; }
    void Clear() {
        if (request_ == nullptr) return;
        request_->target = request_->viewId = request_->noteId = nullptr;
        request_->description = request_->hint = request_->anchor = nullptr;
    }

private:
    LinkRequest* request_;
};

// The self-contained link of the chunk's link request, its records built by
// the link builders and its visible text written here: a text node's text
// in the fonts its HTML ancestry gives, else the text in the link's font (a
// URL link's in the anchor's font colour text when there is one).
STATUS BuildLink(BuildContext* context, HTMLImportContext* import, const char* text, std::uint32_t length,
                 HtmlNode* textNode) {
    length = TextLength(text, length);
    OpenedLink opened = OpenedLink::kNothing;
    STATUS status = OpenNotesLinkHotspotEx(length, context, &opened);
    if (status != kOK || opened == OpenedLink::kNothing) return status;
    status = textNode != nullptr ? CalcFontFromHTML(context, import, textNode)
                                 : AppendLinkTextRun(text, length, opened, import->fontColorText, context);
    if (status != kOK) return status;
    return CloseNotesLinkHotspotEx(context, opened);
}

// Same-document link: the href begins with '#'.
STATUS SameDocumentLink(BuildContext* context, HTMLImportContext* import, const Anchor& anchor) {
    LinkSlots slots(context);
    if (!slots.Usable()) return kArgumentError;
    const std::string text(anchor.text);
    const std::string replica = ReplicaIdText(context->output.item->databaseHandle);
    const std::string name = anchor.href.substr(1);
    LinkRequest& request = slots.Request();
    request.kind = kLinkOnText;
    request.target = replica.c_str();
    request.viewId = DefaultViewIdText(context, import);
    request.noteId = anchor.noteId.c_str();
    request.description = text.c_str();
    request.hint = "*NONE*";
    request.anchor = name.c_str();
    const STATUS status = BuildLink(context, import, text.c_str(), static_cast<std::uint32_t>(text.size()), nullptr);
    slots.Clear();
    import->hotspotOpen = 0;
    // A link the builder refused leaves its text to the walk.
    import->skipText = status == kOK ? 1 : 0;
    return status;
}

// Builds the link with the ids and texts of a base-path or replica link,
// its text that of textNode when given. The link is closed whatever it
// opened (a link on text, or the URL hotspot the builders make of an
// address that is not a replica id), so no hotspot is left open for the a's
// close.
STATUS BuildNotesLink(BuildContext* context, HTMLImportContext* import, const Anchor& anchor,
                      const LinkIds& ids, const std::string* text, HtmlNode* textNode) {
    LinkSlots slots(context);
    if (!slots.Usable()) return kArgumentError;
    LinkRequest& request = slots.Request();
    request.kind = text != nullptr ? kLinkOnText : kLinkWithoutText;
    request.target = ids.replica.c_str();
    request.viewId = ids.view.c_str();
    request.noteId = ids.note.c_str();
    request.description = NonEmpty(anchor.title);
    request.hint = nullptr;
    request.anchor = anchor.hasFragment ? anchor.fragment.c_str() : nullptr;
    if (text != nullptr) {
        import->hotspotOpen = 1;
        import->skipText = 1;
    }
    const STATUS status = BuildLink(context, import, text != nullptr ? text->c_str() : nullptr,
                                    text != nullptr ? static_cast<std::uint32_t>(text->size()) : 0, textNode);
    slots.Clear();
    import->hotspotOpen = 0;
    if (status != kOK) import->skipText = 0;
    return status;
}

STATUS BasePathLink(BuildContext* context, HTMLImportContext* import, const Anchor& anchor) {
    LinkIds ids;
    ResolveBasePathIds(anchor.href, import->basePath, ReplicaIdText(context->output.item->databaseHandle),
                       DefaultViewIdText(context, import), &ids);
    const HtmlNode* first = anchor.node->firstChild;
    STATUS status;
    if (first == nullptr || first->Is(HtmlTag::kImg)) {
        status = BuildNotesLink(context, import, anchor, ids, nullptr, nullptr);
    } else {
        const std::string text(anchor.text);
        status = BuildNotesLink(context, import, anchor, ids, &text, nullptr);
    }
    import->skipNextImage = 1;
    return status;
}

// The text node that stands for a document link: its text is the
// document-link text of the options.
const HtmlNode* DoclinkTextNode(const HTMLImportContext* import, const HtmlNode* anchor) {
    const char* doclinkText = NonEmpty(import->doclinkText);
    if (doclinkText == nullptr) return nullptr;
    const HtmlNode* text = FindTextNode(anchor, nullptr, 0);
    if (text == nullptr) return nullptr;
    return EqualNoCase(import->document->Text(text), std::string_view(doclinkText)) ? text : nullptr;
}

STATUS ReplicaLink(BuildContext* context, HTMLImportContext* import, const Anchor& anchor) {
    LinkIds ids;
    ResolveReplicaIds(anchor.href, &ids);
    HtmlNode* node = anchor.node;
    std::string text;
    bool withText = false;
    HtmlNode* textNode = nullptr;
    if (node->firstChild != nullptr) {
        const HtmlNode* image = FindHTMLElementByName(node->firstChild, "img", nullptr, nullptr, nullptr);
        const HtmlNode* marker = image == nullptr ? DoclinkTextNode(import, node) : nullptr;
        if (marker != nullptr) {
            HtmlNode* span = node->firstChild;
            const bool alone = span->Is(HtmlTag::kSpan) && span->firstChild == marker && marker->next == nullptr;
            HtmlDocument::Unlink(const_cast<HtmlNode*>(marker));
            if (alone) HtmlDocument::Unlink(span);
        }
        if (image == nullptr && marker == nullptr) {
            textNode = const_cast<HtmlNode*>(FindTextNode(node, nullptr, 0));
            if (textNode == nullptr) return kOK;
            text = std::string(import->document->Text(textNode));
            withText = true;
            if (import->fontColorText[0] == '\0')
                std::snprintf(import->fontColorText, sizeof import->fontColorText, "%s", "Blue +Underline");
        }
    }
    const STATUS status = BuildNotesLink(context, import, anchor, ids, withText ? &text : nullptr, textNode);
    import->skipNextImage = 1;
    // The link holds the first text of the anchor only: that text leaves the
    // tree, and the anchor's other texts are still written after the link
    // instead of being dropped.
    if (withText && status == kOK) {
        HtmlDocument::Unlink(textNode);
        import->skipText = 0;
    }
    return status;
}

// The caption of a file hotspot: the first text met going down the chain of
// first children below the anchor, cut to 31 characters. Images met on the
// way are reported (and whether one is the view icon).
bool ChainCaption(const HTMLImportContext* import, const HtmlNode* anchor, std::string* caption,
                  bool* image, bool* viewIcon) {
    for (const HtmlNode* at = anchor->firstChild; at != nullptr; at = at->firstChild) {
        if (at->Is(HtmlTag::kImg)) {
            *image = true;
            const char* source = AttributeValue(at, "src");
            *viewIcon = source != nullptr && FindNoCase(source, kViewIconName) != nullptr;
        }
        if (at->type == HtmlNodeType::kText && at->end > at->start) {
            *caption = std::string(import->document->Text(at).substr(0, kCaptionChars));
            return true;
        }
    }
    return false;
}

// The hotspot-begin record of a file: the name of its attachment and the
// name shown for it, each terminated.
STATUS AppendFileHotspotBegin(BuildContext* context, const std::string& first, const std::string& second) {
    std::string data = first;
    data += '\0';
    data += second;
    data += '\0';
    const auto dataLength = static_cast<std::uint32_t>(data.size());
    // Texts no record can hold are refused before anything is written.
    if (kHotspotBeginFixedLength + EvenLength(dataLength) > kMaxBuiltRecord) return kArgumentError;
    STATUS status = AppendBeginRecord(kSigV4HotspotBegin, 0, &context->output);
    if (status != kOK) return status;
    return AppendHotspotRecord(kSigHotspotBegin, kHotspotTypeFile, kFileHotspotFlags, data.data(), dataLength,
                               static_cast<std::uint16_t>(dataLength), EvenLength(dataLength), context);
}

// A file attached to the note being written and named after "$File/".
bool IsNoteAttachment(BuildContext* context, const Anchor& anchor, std::string* fileName) {
    const std::size_t file = FindNoCaseIn(anchor.href, "$File/");
    if (file == std::string::npos || anchor.href.find('?') != std::string::npos ||
        FindNoCaseIn(anchor.href, anchor.noteId) == std::string::npos)
        return false;
    std::string name = anchor.href.substr(file + 6);
    if (name.empty() || name.size() >= kStoredNameSize) return false;
    // The name as the note stores it: the href may write it in other case.
    char stored[kStoredNameSize] = {};
    if (GetAttachmentStoredName(context->output.item->noteHandle, name.c_str(), stored, sizeof stored) != kOK ||
        stored[0] == '\0')
        return false;
    *fileName = stored;
    return true;
}

STATUS NoteAttachmentHotspot(BuildContext* context, HTMLImportContext* import, const Anchor& anchor,
                             const std::string& fileName) {
    std::string caption = fileName.substr(0, kCaptionChars);
    bool image = false, viewIcon = false;
    ChainCaption(import, anchor.node, &caption, &image, &viewIcon);
    // A file hotspot names its attachment first and shows the second text
    // as the file's name: the attachment, then the caption.
    const STATUS status = AppendFileHotspotBegin(context, fileName, caption);
    if (status == kOK) import->hotspotOpen = 1;
    return status;
}

// Finds the resource note of the key in the item's database and copies its
// first attachment into the note being written. *resource is the resource
// note, left open, or 0; *storedName the name the copy was stored under
// (empty when nothing was copied).
void ResolveResourceNote(BuildContext* context, HTMLImportContext* import, const std::string& key,
                         plat::NOTEHANDLE* resource, plat::NOTEID* resourceId, std::string* storedName) {
    RARIvoSession* session = context->session;
    ZervaRTItem* item = context->output.item;
    plat::DHANDLE table = 0;
    const STATUS found = FindNotesByViewOrFormula(session, item->databaseHandle, import->imageView, key.c_str(),
                                                  &table, 0);
    CloseViewSearch(session);
    if (found != kOK) {
        if (Tracing()) plat::LogLine(0, "Resolved as note id but error %d", found);
        return;
    }
    if (Tracing()) plat::LogLine(0, "File Resolved as note id");
    plat::NOTEID id = 0;
    if (!plat::IdScan(table, true, &id) || id == 0) {
        if (Tracing()) plat::LogLine(0, "Resolved as note id but no note id");
    } else if (plat::NoteOpen(item->databaseHandle, id, plat::OPEN_NOTE_DEFAULT, resource) == plat::NOERROR) {
        *resourceId = id;
        char name[kStoredNameSize] = {};
        if (FindAttachmentName(*resource, name, sizeof name, 1) != 0) {
            if (Tracing()) plat::LogLine(0, "Resolved to generate inline");
            char stored[kStoredNameSize] = {};
            if (AttachImportedFile(item->databaseHandle, *resource, item->noteHandle, name, stored, sizeof stored) ==
                kOK)
                *storedName = stored;
        }
    } else {
        *resource = 0;
    }
    plat::IdDestroyTable(table);
}

STATUS ResourceAttachmentHotspot(BuildContext* context, HTMLImportContext* import, const Anchor& anchor) {
    const std::string& href = anchor.href;
    const std::size_t view = FindNoCaseIn(href, import->imageView);
    const std::size_t file = FindNoCaseIn(href, "$File");
    // The key lies between the view's name and "$File", one separator
    // character off each end.
    std::string key;
    const std::size_t keyStart = view + std::strlen(import->imageView) + 1;
    const bool keyed = view < file && keyStart < file;
    if (keyed) key = href.substr(keyStart, std::min(file - 1 - keyStart, kKeyChars));

    plat::NOTEHANDLE resource = 0;
    plat::NOTEID resourceId = 0;
    std::string storedName;
    if (keyed) ResolveResourceNote(context, import, key, &resource, &resourceId, &storedName);

    const std::size_t nameAt = std::min(file + 6, href.size());
    const std::string fileText = href.substr(nameAt);
    std::string caption = fileText.substr(0, kCaptionChars);
    bool image = false, viewIcon = false;
    ChainCaption(import, anchor.node, &caption, &image, &viewIcon);
    import->linkViewIcon = viewIcon ? 1 : 0;

    STATUS status = AppendFileHotspotBegin(context, storedName, fileText);
    if (status == kOK) import->hotspotOpen = 1;
    if (status == kOK && !image) {
        status = AppendAttachmentIcon(context);
    } else if (status == kOK && !viewIcon && resource != 0) {
        ZervaRTItem* item = context->output.item;
        status = WriteAttachedImageRecords(item->databaseHandle, resource, kResourceIconName, kImageTypeGif, context,
                                           0, 0, caption.c_str(), nullptr, nullptr, nullptr, nullptr);
        plat::NoteClose(resource);
        resource = 0;
        if (import->preserveImageNotes == 0) {
            status = plat::NoteDelete(item->databaseHandle, resourceId, plat::DELETE_NOTE_DEFAULT);
            if (status != kOK)
                plat::StatusText(status, context->session->optionValue, RARIvoSession::kOptionValueCapacity);
        }
    }
    if (resource != 0) plat::NoteClose(resource);
    return status;
}

// The target of a URL hotspot: an address with ':' as written; a path from
// the root that does not already begin with the base path, and a relative
// address that begins with a letter or digit, after the base path.
std::string HotspotURL(const HTMLImportContext* import, const std::string& href) {
    const std::string_view base(import->basePath);
    if (href.find(':') != std::string::npos) return href;
    const bool rooted = !href.empty() && href[0] == '/' && (href.size() < 2 || href[1] != '/');
    if (rooted && !StartsWithNoCase(std::string_view(href).substr(1), base)) return std::string(base) + href;
    if (!href.empty() && IsAsciiLetterOrDigit(href[0])) return std::string(base) + href;
    return href;
}

STATUS URLHotspot(BuildContext* context, HTMLImportContext* import, const Anchor& anchor) {
    const std::string url = HotspotURL(import, anchor.href);
    BuildLinkFontText(import, anchor.node, TemplateFont(context->output.item).size, import->fontColorText,
                      sizeof import->fontColorText);
    // The hotspot's text is written by the walk: the builder only opens it.
    // A URL that no record can hold opens nothing, and the anchor's text is
    // then written as plain text.
    const STATUS opened = AppendURLHotspot(anchor.text.data(), static_cast<std::uint32_t>(anchor.text.size()),
                                           url.c_str(), static_cast<std::uint32_t>(url.size()), context, 1);
    if (opened == kOK) {
        AppendEmptyRun(context, import);
        import->hotspotOpen = 1;
    }
    // The target frame is the hotspot's: without a hotspot there is none.
    if (anchor.target == nullptr || opened != kOK) return kOK;
    return AppendNamedTextRecord(kSigTarget, kTargetFixedLength, anchor.target, &context->output);
}

STATUS ConvertLink(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    Anchor anchor;
    anchor.node = node;
    anchor.text = AnchorText(import, node);
    ReadAttributes(&anchor);
    ZervaRTItem* item = context->output.item;
    anchor.noteId = NoteUnidText(item->noteHandle);
    context->session->workArea->runningOptions = nullptr;
    const std::size_t hash = anchor.href.find('#');
    if (hash != std::string::npos && hash + 1 < anchor.href.size()) {
        anchor.hasFragment = true;
        anchor.fragment = Blanks20(anchor.href.substr(hash + 1));
    }

    STATUS status = kOK;
    // A named anchor marks its place; what the element holds (its text,
    // its pictures) is walked after it as any other content.
    if (anchor.name != nullptr && anchor.name[0] != '\0') {
        status = AppendNamedTextRecord(kSigAnchor, kAnchorFixedLength, anchor.name, &context->output);
        if (status == kOK) status = AppendEmptyRun(context, import);
    }
    context->a3 = context->a4 = context->a5 = 0;
    if (!anchor.hasHref) return status;
    // A link of mail to script or inline data: its text stays, as text.
    if (import->fromMail != 0 && RunsOrEmbeds(anchor.href)) return status;
    if (node->firstChild == nullptr && FindNoCaseIn(anchor.href, "$FILE") == std::string::npos) return status;
    char editor[64] = {};
    if (anchor.href.compare(0, 6, "../../") == 0 && GetOptionValue(import->optionText, "Duzuvore=", editor, sizeof editor) != 0 &&
        EqualNoCase(editor, "FCKeditor"))
        anchor.href.erase(0, 5);

    const std::string& href = anchor.href;
    if (!href.empty() && href[0] == '#') return SameDocumentLink(context, import, anchor);
    if (import->resolveDoclinks != 0 && IsBasePathLink(href, import->basePath))
        return BasePathLink(context, import, anchor);
    if (import->resolveDoclinks != 0 && IsReplicaLink(href)) return ReplicaLink(context, import, anchor);
    if (import->autoAttachFiles != 0) {
        std::string fileName;
        if (IsNoteAttachment(context, anchor, &fileName)) return NoteAttachmentHotspot(context, import, anchor, fileName);
        if (import->imageView[0] != '\0' && import->basePath[0] != '\0' &&
            FindNoCaseIn(href, "$File") != std::string::npos && FindNoCaseIn(href, import->imageView) != std::string::npos &&
            FindNoCaseIn(href, import->basePath) != std::string::npos)
            return ResourceAttachmentHotspot(context, import, anchor);
    }
    return URLHotspot(context, import, anchor);
}

} // namespace

STATUS ConvertLinkFromHTML(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    if (context == nullptr || import == nullptr || node == nullptr || import->document == nullptr ||
        context->output.item == nullptr)
        return kArgumentError;
    try {
        return ConvertLink(context, import, node);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

} // namespace talix
