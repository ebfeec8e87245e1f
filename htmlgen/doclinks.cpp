// Document, view and database links: the link of a link record (held in
// the record, or by index in the note's "$Links" list) becomes the start of
// an anchor whose URL names the database by its replica id, the view and
// the document by their universal ids. The caller's link event may rewrite
// it; a link on its own is completed with its icon.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/clamp.h"
#include "core/host_message.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signature_groups.h"
#include "core/text_compare.h"
#include "core/chunk_work_state.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/document_addresses.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/link_icons.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "htmlgen/walk_writers.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kBrokenLinks = "TALIX: Broken $Links reference";
constexpr const char* kNotInList = "TALIX: Broken $Links reference - not in list";
// Ends a link icon's src and gives it the empty alt attribute XHTML requires
// of every img (an undescribed icon says nothing).
constexpr const char* kEmptyAlt = "\" alt=\"";

// 0xFF91: the index, then the texts; 0xFF92: the link, then the texts.
constexpr std::uint32_t kIndexAt = 4, kExportLink = 4;
// A link resource: flags, kind, anchor length, the two hint lengths; the
// hints from byte 28, then the link (or its index), then the anchor.
constexpr std::uint32_t kResourceFlags = 4, kResourceKind = 8, kResourceDataLength = 12, kServerHintLength = 14,
                        kFileHintLength = 16;
constexpr std::uint32_t kLinkHeld = 0x2;
constexpr std::uint16_t kNoteLinkKind = 2;
// "$Links": the data-type word, the count, the links.
constexpr std::uint32_t kListHeader = 4;
constexpr std::uint32_t kLongestLinkPart = 32;

// A link with its texts, as a record gives it.
struct LinkParts {
    bool broken = false;
    std::uint8_t link[kNoteLinkSize] = {};
    std::string comment;
    std::string hint;
    std::string anchor;
    bool hasAnchor = false;
};

std::uint32_t Word32(const std::uint8_t* link, int index) { return ReadDword(link + 4 * index); }

// Reads the note's "$Links" list ("$FormLinks" when the note has no
// "$Links") into the context once per run, so that a body of many links
// looks it up once. The status of the look-up, 0 when the list was read.
STATUS ReadLinkList(XMLGenContext* context) {
    if (context->linkListRead != 0) return context->linkListStatus;
    context->linkListRead = 1;
    const plat::NOTEHANDLE note = context->item != nullptr ? context->item->noteHandle : 0;
    plat::BLOCKID value;
    plat::DWORD length = 0;
    plat::STATUS status = note != 0 ? plat::ItemInfo(note, "$Links", 6, nullptr, nullptr, &value, &length)
                                    : plat::ERR_ITEM_NOT_FOUND;
    if (status != plat::NOERROR && note != 0)
        status = plat::ItemInfo(note, "$FormLinks", 10, nullptr, nullptr, &value, &length);
    if (status != plat::NOERROR) {
        context->linkListStatus = static_cast<STATUS>(status & kStatusMask);
        return context->linkListStatus;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
    if (bytes != nullptr && length > 0) {
        auto* copy = static_cast<std::uint8_t*>(
            QuorbelAllocate(context->session, __LINE__, "htmlgen", static_cast<std::uint32_t>(length), 0));
        if (copy != nullptr) {
            std::memcpy(copy, bytes, length);
            context->linkList = copy;
            context->linkListLength = static_cast<std::uint32_t>(length);
        } else {
            context->linkListStatus = kOutOfMemory;
        }
    }
    if (bytes != nullptr) plat::BlockUnlock(value);
    return context->linkListStatus;
}

// Entry index of the note's "$Links" list; shows the message of a missing
// list or entry and gives the look-up's failure (546 for a missing list, 0
// for a missing entry).
bool LinkFromList(XMLGenContext* context, std::uint16_t index, std::uint8_t* out, STATUS* failure) {
    const STATUS status = ReadLinkList(context);
    if (status != kOK) {
        ShowHostMessage(kBrokenLinks);
        *failure = status;
        return false;
    }
    const std::uint8_t* bytes = context->linkList;
    const std::uint32_t length = context->linkListLength;
    bool found = false;
    if (bytes != nullptr && length >= kListHeader) {
        const std::uint32_t count = ReadWord(bytes + 2);
        const std::uint64_t end = kListHeader + (static_cast<std::uint64_t>(index) + 1) * kNoteLinkSize;
        if (index < count && end <= length) {
            std::memcpy(out, bytes + kListHeader + static_cast<std::uint32_t>(index) * kNoteLinkSize, kNoteLinkSize);
            found = true;
        }
    }
    if (!found) ShowHostMessage(kNotInList);
    return found;
}

// Comment, server hint and anchor, each ended by a zero byte, from at on;
// an anchor exists only when more than 3 bytes follow the first two.
void SplitTexts(const CDRecordNode* node, std::uint32_t at, LinkParts* parts) {
    const std::uint32_t length = node->length;
    auto next = [&](std::string* text) {
        if (at >= length) return;
        const char* start = reinterpret_cast<const char*>(node->bytes + at);
        const std::size_t size = strnlen(start, length - at);
        text->assign(start, size);
        at += static_cast<std::uint32_t>(size) + 1;
    };
    next(&parts->comment);
    next(&parts->hint);
    if (at < length && length - at > 3) {
        next(&parts->anchor);
        parts->hasAnchor = !parts->anchor.empty();
    }
}

// A resource's texts: the hints, then the link or its index, then the
// anchor, all within the record.
void ReadResource(XMLGenContext* context, const CDRecordNode* node, LinkParts* parts, STATUS* failure) {
    const std::uint32_t length = node->length;
    if (length < kResourceFixedLength || NodeWord(node, kResourceKind) != kNoteLinkKind) {
        parts->broken = true;
        return;
    }
    std::uint32_t at = kResourceFixedLength;
    auto take = [&](std::uint32_t size, std::string* text) {
        if (size > length - at) size = length - at;
        if (text != nullptr) text->assign(reinterpret_cast<const char*>(node->bytes + at), size);
        at += size;
    };
    take(NodeWord(node, kServerHintLength), &parts->hint);
    take(NodeWord(node, kFileHintLength), &parts->comment);
    if ((NodeDword(node, kResourceFlags) & kLinkHeld) != 0) {
        if (length - at < kNoteLinkSize) {
            parts->broken = true;
            return;
        }
        std::memcpy(parts->link, node->bytes + at, kNoteLinkSize);
        at += kNoteLinkSize;
    } else {
        const std::uint16_t index = NodeWord(node, at);
        at = at + 2 <= length ? at + 2 : length;
        if (!LinkFromList(context, index, parts->link, failure)) parts->broken = true;
    }
    take(NodeWord(node, kResourceDataLength), &parts->anchor);
    parts->anchor.resize(strnlen(parts->anchor.c_str(), parts->anchor.size()));
    parts->hasAnchor = !parts->anchor.empty();
}

LinkParts ReadLink(XMLGenContext* context, const CDRecordNode* node, STATUS* failure) {
    LinkParts parts;
    if (node->signature == kSigLinkExport2) {
        if (node->length < kLinkExportFixedLength) {
            parts.broken = true;
            return parts;
        }
        std::memcpy(parts.link, node->bytes + kExportLink, kNoteLinkSize);
        SplitTexts(node, kLinkExportFixedLength, &parts);
    } else if (node->signature == kSigLink2) {
        if (!LinkFromList(context, NodeWord(node, kIndexAt), parts.link, failure)) parts.broken = true;
        SplitTexts(node, kLinkFixedLength, &parts);
    } else if (IsLinkResourceRecord(node->signature)) {
        ReadResource(context, node, &parts, failure);
    } else {
        parts.broken = true;
    }
    return parts;
}

// The anchor after "#", blanks as "%20" and tabs as "%09" (a browser
// drops a tab from an address), fit for an attribute.
std::string AnchorFragment(const std::string& anchor) {
    return AttributeValue(EscapedAddressPart(anchor, AddressEscapes{" \t", false, false, SIZE_MAX}));
}

std::string Upper(std::string text) {
    for (char& c : text) c = UpperAscii(c);
    return text;
}

std::string Hex(std::uint32_t a, std::uint32_t b) {
    char text[20];
    std::snprintf(text, sizeof text, "%.8x%.8x", a, b);
    return text;
}

const char* OrDefault(const char* value, const char* fallback) { return value != nullptr ? value : fallback; }

// An option's text that goes into an address as it is given ("?OpenDocument&Login"),
// fit for the attribute it is written into.
std::string OptionInAddress(const char* value, const char* fallback) {
    return OptionAttributeValue(OrDefault(value, fallback));
}

// Whether the link's document is the note being rendered (or one it was
// sent as): then its anchor lies in this page.
bool LinksToThisNote(XMLGenContext* context, const std::uint8_t* link) {
    const plat::NOTEHANDLE note = context->item != nullptr ? context->item->noteHandle : 0;
    if (note == 0) return false;
    plat::ORIGINATORID oid;
    if (plat::NoteGetInfo(note, plat::NOTE_FIELD_OID, &oid) == plat::NOERROR &&
        Word32(link, 6) == oid.File.Innards[0] && Word32(link, 7) == oid.File.Innards[1] &&
        Word32(link, 8) == oid.Note.Innards[0] && Word32(link, 9) == oid.Note.Innards[1])
        return true;
    plat::BLOCKID value;
    plat::DWORD length = 0;
    if (plat::ItemInfo(note, "$KeepSent", 9, nullptr, nullptr, &value, &length) != plat::NOERROR) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
    const bool same = bytes != nullptr && length >= 2 + 16 && std::memcmp(bytes + 2, link + 24, 16) == 0;
    if (bytes != nullptr) plat::BlockUnlock(value);
    return same;
}

// The link's path ("//__<replica>.NSF/<view>/<document>?OpenDocument" and
// its variants) and the icon its kind calls for.
struct LinkPath {
    std::string path;
    LinkIcon icon = LinkIcon::Document;
    bool hasView = false;
    bool hasDocument = false;
};

LinkPath BuildPath(const XMLGenContext* context, const LinkParts& parts) {
    LinkPath built;
    const bool preset = IsOn(context, sw::kPreset);
    if (IsOn(context, sw::kDoclinksRelative)) {
    } else if (!parts.hint.empty() && !preset) {
        built.path = "/" + AttributeValue(parts.hint) + "/";
    } else {
        built.path = "//";
    }
    const std::uint8_t* link = parts.link;
    const std::uint32_t databaseId0 = ReadDword(context->databaseId), databaseId1 = ReadDword(context->databaseId + 4);
    if (context->basePathname[0] != '\0' && Word32(link, 0) == databaseId0 && Word32(link, 1) == databaseId1) {
        built.path += "/" + OptionAttributeValue(context->basePathname);
    } else {
        built.path += Upper("__" + Hex(Word32(link, 1), Word32(link, 0)) + ".nsf");
    }
    const bool viewGiven = (Word32(link, 2) & 0xFFFF) != 0;
    built.hasDocument = (Word32(link, 6) & 0xFFFF) != 0;
    if (!viewGiven && !built.hasDocument) {
        built.icon = LinkIcon::Database;
        if (!preset) built.path += OptionInAddress(context->texts.openDatabaseString, "?OpenDatabase");
        return built;
    }
    built.hasView = true;
    const bool viewZero = (Word32(link, 2) & 0xFFFF) == 0 && (Word32(link, 3) & 0xFFFF) == 0;
    built.path += "/" + (viewZero ? std::string("0") : Upper(Hex(Word32(link, 3), Word32(link, 2)) +
                                                              Hex(Word32(link, 5), Word32(link, 4))));
    if (built.hasDocument) {
        built.path += "/" + Upper(Hex(Word32(link, 7), Word32(link, 6)) + Hex(Word32(link, 9), Word32(link, 8)));
        if (!preset) built.path += OptionInAddress(context->texts.openDocumentString, "?OpenDocument");
        built.icon = parts.hasAnchor ? LinkIcon::Anchor : LinkIcon::Document;
    } else {
        if (!preset) built.path += OptionInAddress(context->texts.openViewString, "?OpenView");
        built.icon = LinkIcon::View;
    }
    return built;
}

// The directory and the path joined with one slash where both bring one,
// and with one where neither does: a relative path ("__<replica>.NSF/...")
// after a directory given without its last slash (the option's reading
// takes it off) would otherwise run into the directory's last name.
void WriteDirectoryAndPath(XMLGenContext* context, const std::string& path) {
    const std::string directory = OptionInAddress(context->texts.linkURLDirectory, "");
    AppendOutput(context, directory.c_str());
    if (!directory.empty() && directory.back() == '/' && !path.empty() && path.front() == '/') {
        AppendOutput(context, path.c_str() + 1);
    } else if (!directory.empty() && directory.back() != '/' && !path.empty() && path.front() != '/') {
        AppendOutput(context, "/");
        AppendOutput(context, path.c_str());
    } else {
        AppendOutput(context, path.c_str());
    }
}

// The parts of a path between its slashes: database, view, document; the
// last one present cut to 32 characters (which drops the open string of a
// view or document).
void SplitPath(const std::string& path, std::string parts[3]) {
    std::size_t at = path.find_first_not_of('/');
    int count = 0;
    while (at != std::string::npos && at < path.size() && count < 3) {
        const std::size_t slash = path.find('/', at);
        parts[count++] = path.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
        at = slash == std::string::npos ? slash : slash + 1;
    }
    if (count > 0 && parts[count - 1].size() > kLongestLinkPart) parts[count - 1].resize(kLongestLinkPart);
}

// The link offered to the caller's link event, and the href the event's
// answer gives; false when the answer leaves the link as it was.
bool WriteEventLink(XMLGenContext* context, const LinkParts& parts, const LinkPath& built) {
    ZervaRTChunk* chunk = context->chunk;
    if (chunk == nullptr) return false;
    std::string pieces[3];
    SplitPath(built.path, pieces);
    for (std::uint16_t slot = 1; slot <= 3; ++slot) chunk->CleanupEventRetString(slot);
    std::string comment = parts.comment, hint = parts.hint, anchor = parts.anchor;
    char empty[1] = {};
    chunk->RaiseQueryLinkData(empty, 0, 0, pieces[0].empty() ? nullptr : pieces[0].data(),
                              pieces[1].empty() ? nullptr : pieces[1].data(),
                              pieces[2].empty() ? nullptr : pieces[2].data(), comment.data(), hint.data(),
                              anchor.data());
    // A link kind other than a URL's or none: the caller wants no address.
    const std::uint16_t kind = chunk->work != nullptr ? chunk->work->linkRequest.kind : 0;
    if (kind != 0 && kind != 2 && kind != 4) return true;
    // An answer without its first text leaves the link as it was.
    const char* answer = chunk->eventReturn[0];
    if (answer == nullptr || answer[0] == '\0') return false;
    if (kind != 0) {
        AppendAttributeValue(context, answer);
        return true;
    }
    const std::string directory = OptionInAddress(context->texts.linkURLDirectory, "");
    AppendOutput(context, directory.c_str());
    if (directory.empty() || directory.back() != '/') AppendOutput(context, "/");
    AppendAttributeValue(context, answer);
    auto slot = [&](int index) { return std::string(OrDefault(chunk->eventReturn[index], "")); };
    if (built.hasDocument) {
        AppendOutput(context, "/");
        AppendAttributeValue(context, slot(1));
        AppendOutput(context, "/");
        AppendAttributeValue(context, slot(2));
        AppendOutput(context, OptionInAddress(context->texts.openDocumentString, "?OpenDocument").c_str());
    } else if (built.hasView) {
        AppendOutput(context, "/");
        AppendAttributeValue(context, slot(1));
        AppendOutput(context, OptionInAddress(context->texts.openViewString, "?OpenView").c_str());
    } else {
        AppendOutput(context, OptionInAddress(context->texts.openDatabaseString, "?OpenDatabase").c_str());
    }
    if (parts.hasAnchor) {
        AppendOutput(context, "#");
        AppendOutput(context, AnchorFragment(parts.anchor).c_str());
    }
    return true;
}

// The alt word of an icon's picture: what its path names.
std::string AltWord(const char* path) {
    if (ContainsNoCase(path, "doclink")) return "doclink";
    if (ContainsNoCase(path, "textlink")) return "anchor link";
    if (ContainsNoCase(path, "dblink")) return "database link";
    if (ContainsNoCase(path, "viewlink")) return "viewbase link";
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

} // namespace

STATUS ProcessXMLDoclink(XMLGenContext* context, std::uint16_t kind, std::uint16_t depth, int withIcon,
                         int* inPageAnchor) {
    (void)kind;
    (void)depth;
    const CDRecordNode* node = context->node;
    if (node == nullptr || node->bytes == nullptr) return kOK;
    CompletePendingLink(context);
    MoveToTextEnd(context);
    // An icon in the text of an open anchor (a URL hotspot's) is written
    // without an anchor of its own: no anchor may stand in another, or a
    // browser ends the outer link where the inner one starts and the outer
    // link's text after it loses its link.
    const bool inAnchor = withIcon != 0 && HasCloseTag(context, "</a>", 0) != 0;
    if (!inAnchor) AppendOutput(context, "<a href=\"");

    STATUS failure = kOK;
    const LinkParts parts = ReadLink(context, node, &failure);
    KeepStatus(context, failure);
    const bool preset = IsOn(context, sw::kPreset);
    LinkIcon icon = LinkIcon::Broken;
    if (parts.broken) {
        if (!inAnchor) AppendOutput(context, OptionInAddress(context->texts.brokenLinkURL, "/").c_str());
    } else if (parts.hasAnchor && preset && LinksToThisNote(context, parts.link)) {
        if (!inAnchor) {
            AppendOutput(context, "#");
            AppendOutput(context, AnchorFragment(parts.anchor).c_str());
        }
        if (inPageAnchor != nullptr) *inPageAnchor = 1;
        icon = LinkIcon::Anchor;
    } else {
        const LinkPath built = BuildPath(context, parts);
        icon = built.icon;
        if (inAnchor) {
            // Nothing of the link's address is written.
        } else if (!IsOn(context, sw::kRaiseDocLinkEvents) || !WriteEventLink(context, parts, built)) {
            WriteDirectoryAndPath(context, built.path);
            if (parts.hasAnchor) {
                AppendOutput(context, "#");
                AppendOutput(context, AnchorFragment(parts.anchor).c_str());
            }
        }
    }

    const char* iconPath = LinkIconPath(context, icon);
    NoteLinkIconUse(context, icon, iconPath);
    KeepStatus(context, WriteLinkIconFile(context, icon));
    const bool described = IsOn(context, sw::kWAICompliant) || preset;
    if (inAnchor) {
        AppendOutput(context, "<img src=\"");
        AppendAttributeValue(context, iconPath);
        if (described) {
            AppendOutput(context, "\" alt=\"");
            AppendAttributeValue(context, AltWord(iconPath));
            AppendOutput(context, " icon");
        } else if (context->format == kFormatXHTML) {
            AppendOutput(context, kEmptyAlt);
        }
        AppendOutput(context, context->format == kFormatXHTML ? "\" border=\"0\" />" : "\" border=\"0\">");
        MoveToTextEnd(context);
        return kOK;
    }
    if (!parts.comment.empty() && described) {
        AppendOutput(context, "\" title=\"");
        WriteXMLEncodedText(context, parts.comment.data(),
                            ClampToWord(parts.comment.size()),
                            1, 0, 0);
    }
    const char* close = context->format == kFormatXHTML ? "\" /></a>" : "\"></a>";
    if (withIcon == 0) {
        AppendOutput(context, "\">");
    } else if (!described) {
        AppendOutput(context, "\"><img src=\"");
        AppendAttributeValue(context, iconPath);
        if (context->format == kFormatXHTML) AppendOutput(context, kEmptyAlt);
        AppendOutput(context, "\" border=\"0");
        AppendOutput(context, close);
    } else {
        AppendOutput(context, "\"><img src=\"");
        AppendAttributeValue(context, iconPath);
        AppendOutput(context, "\" alt=\"");
        AppendAttributeValue(context, AltWord(iconPath));
        AppendOutput(context, " icon\" border=\"0");
        AppendOutput(context, close);
    }
    MoveToTextEnd(context);
    return kOK;
}

} // namespace talix
