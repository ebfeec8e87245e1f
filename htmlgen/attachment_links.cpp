// File-attachment hotspots: by AttachmentHandling, a link to the
// attachment on the web server, the attachment extracted into a directory
// and linked there, its name as an anchor, or a line naming it; left out
// under SuppressAttachments and, in a MIME message, where the attachment
// travels as a part of its own.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/attachments.h"
#include "core/clamp.h"
#include "core/debug_level.h"
#include "core/host_message.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/temp_directory.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/document_addresses.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/generation_options.h"
#include "htmlgen/hotspots.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/run_files.h"
#include "htmlgen/walk_records.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::uint32_t kDataLengthAt = 12;
constexpr const char* kSeeAttached = "See attached file: ";

// The attachment's internal name and the name of the attached file, each
// ended by a zero byte in the hotspot's data.
struct AttachmentNames {
    std::string internal;
    std::string file;
};

bool ReadNames(const CDRecordNode* node, AttachmentNames* names) {
    if (node->length <= kHotspotBeginFixedLength) return false;
    std::uint32_t length = NodeWord(node, kDataLengthAt);
    if (length > node->length - kHotspotBeginFixedLength) length = node->length - kHotspotBeginFixedLength;
    if (length == 0) return false;
    const char* data = reinterpret_cast<const char*>(node->bytes) + kHotspotBeginFixedLength;
    const std::size_t first = strnlen(data, length);
    names->internal.assign(data, first);
    if (first + 1 < length) names->file.assign(data + first + 1, strnlen(data + first + 1, length - first - 1));
    return true;
}

void WriteText(XMLGenContext* context, const std::string& text) {
    if (text.empty()) return;
    WriteXMLEncodedText(context, text.data(), ClampToWord(text.size()),
                        1, 0, 0);
}

// "(See attached file: 'name')" in italics.
void WriteSeeAttached(XMLGenContext* context, const std::string& file) {
    const char* message = context->texts.seeAttachedMsg != nullptr ? context->texts.seeAttachedMsg : kSeeAttached;
    AppendOutput(context, "<i>(");
    WriteText(context, message);
    AppendOutput(context, "'");
    WriteText(context, file);
    AppendOutput(context, "')</i>");
}

// The AttachmentGraphic= picture with the file name as its alternative.
void WriteAttachmentGraphic(XMLGenContext* context, const std::string& file) {
    if (context->texts.attachmentGraphic == nullptr) return;
    AppendOutput(context, "<img src=\"");
    AppendAttributeValue(context, context->texts.attachmentGraphic);
    AppendOutput(context, "\" alt=\" ");
    AppendAttributeValue(context, file);
    AppendOutput(context, context->format == kFormatXHTML ? " \" border=\"0\" />" : " \" border=\"0\">");
}

// A link to the attachment on the web server that serves the document.
void WriteServerLink(HotspotCall* call, const AttachmentNames& names) {
    XMLGenContext* context = call->context;
    std::string base = context->texts.inPlaceAttachmentURLDirectory != nullptr
                           ? std::string(context->texts.inPlaceAttachmentURLDirectory)
                           : "/" + DatabaseURLPath(context);
    const std::uint32_t* unid = DocumentUnid(context);
    const plat::NOTEHANDLE note = context->item != nullptr ? context->item->noteHandle : 0;
    if (context->texts.fileNamesField != nullptr && note != 0) {
        KeepStatus(context, static_cast<STATUS>(
                                plat::ItemAppendTextList(note, context->texts.fileNamesField, names.internal.data(),
                                                         static_cast<plat::WORD>(names.internal.size()), true) &
                                kStatusMask));
    }
    char id[40];
    std::snprintf(id, sizeof id, "%.8x%.8x%.8x%.8x", unid[0], unid[1], unid[2], unid[3]);
    CloseBeforeAnchor(context, context->node);
    AppendOutput(context, "<a href=\"");
    AppendOptionAttributeValue(context, base);
    AppendOutput(context, "/0/");
    AppendOutput(context, id);
    AppendOutput(context, "/$FILE/");
    AppendAttributeValue(context, NameInAddress(names.internal));
    AppendOutput(context, "\"");
    std::string extra;
    if (GenerationOption(context, "ExtraFileHotspotParams=", &extra)) {
        AppendOutput(context, " ");
        AppendOutput(context, extra.c_str());
    }
    EndAnchorTag(call);
    OpenAnchor(call);
}

// The attachment extracted into AttachmentDirectory= (under its own file
// name, its last path component only) and a link to it there.
void WriteExtractedLink(HotspotCall* call, const AttachmentNames& names) {
    XMLGenContext* context = call->context;
    const std::string directory =
        context->texts.attachmentDirectory != nullptr ? context->texts.attachmentDirectory : TempDirectory().c_str();
    // Without AttachmentURLDirectory= the link names the directory the file
    // is extracted to (the temporary directory unless one is given).
    std::string urlDirectory = context->texts.attachmentURLDirectory != nullptr
                                   ? std::string(context->texts.attachmentURLDirectory)
                                   : plat::NativeToLmbcs(directory);
    for (char& c : urlDirectory) {
        if (c == '\\') c = '/';
    }
    while (!urlDirectory.empty() && urlDirectory.back() == '/') urlDirectory.pop_back();
    // Nothing is extracted into a directory that could not be made; the
    // link still stands, and the run's status says the file is missing.
    MakeRunFolder(context, directory, &context->attachmentDirectoryMade);

    // A name that is no file name (".", "..", empty) is neither extracted
    // nor linked.
    // The name is made safe in the native character set, in which the file
    // is created: in the platform's set, the bytes of a character outside
    // ASCII that fall below 0x20 would be taken for control characters.
    // The markup takes it in the platform's set.
    std::string nativeFile;
    const std::string& given = names.file.empty() ? names.internal : names.file;
    const bool named = SafeFileName(plat::LmbcsToNative(given), &nativeFile);
    const std::string file = named ? plat::NativeToLmbcs(nativeFile) : std::string();
    // The file is written, and linked, under a shorter name when its own is
    // too long for a file system, and under a name of its own when another
    // attachment of the run took that name; the link's text keeps the whole
    // name.
    const plat::NOTEHANDLE note = context->item != nullptr ? context->item->noteHandle : 0;
    std::string nativeWritten = FittingFileName(nativeFile);
    if (named) {
        const std::string owner = "attachment " + std::to_string(note) + " " + names.internal;
        nativeWritten = RunFileName(context, directory, nativeWritten, owner);
    }
    const std::string written = nativeWritten == nativeFile ? file : plat::NativeToLmbcs(nativeWritten);
    if (!named) {
        const std::string text = "cannot extract the attachment '" + plat::LmbcsToNative(given) +
                                 "' into '" + directory + "': its name is no file name";
        ShowHostMessage(text.c_str());
        KeepStatus(context, kArgumentError);
    }
    if (named && context->attachmentDirectoryMade > 0) {
        const std::string path = JoinFilePath(directory, nativeWritten);
        WriteRunFile(context, path, [&] {
            STATUS status =
                note != 0 ? ExtractAttachmentFile(note, names.internal.c_str(), path) : kItemNotFound;
            // A MIME message goes without an attachment the note no longer
            // holds (the writer leaves its part out); the log says so.
            if (status == kItemNotFound && context->mimeMode != 0) {
                plat::LogLine(0, "Talix: the attachment '%s' a file hotspot names is not in the note",
                              names.internal.c_str());
                status = kOK;
            }
            return status;
        });
    }

    std::string extra;
    const bool hasExtra = GenerationOption(context, "ExtraFileHotspotParams=", &extra);
    if (named) {
        CloseBeforeAnchor(context, context->node);
        AppendOutput(context, "<a href=\"");
        AppendAttributeValue(context, urlDirectory + "/");
        if (IsOn(context, sw::kURLEncodeFilenames)) {
            AppendAttributeValue(context, AddressText(NameInAddress(written), true));
        } else {
            AppendAttributeValue(context, NameInAddress(written));
        }
        AppendOutput(context, "\"");
        if (hasExtra) {
            AppendOutput(context, " ");
            AppendOutput(context, extra.c_str());
        }
        EndAnchorTag(call);
    }
    WriteAttachmentGraphic(context, file.empty() ? names.file : file);
    if (context->attachmentTextInLink != 0) WriteText(context, file.empty() ? names.file : file);
    if (named) OpenAnchor(call);
}

// The attachment named by an anchor of its name.
void WriteNamedAttachment(XMLGenContext* context, const AttachmentNames& names) {
    if (IsOn(context, sw::kPreset)) {
        WriteSeeAttached(context, names.file);
        return;
    }
    AppendOutput(context, "<a name=\"");
    AppendAttributeValue(context, names.file);
    AppendOutput(context, "\"></a>");
    WriteAttachmentGraphic(context, names.file);
    if (context->attachmentTextInLink == 0) return;
    if (context->mimeMode != 0) {
        AppendOutput(context, "&lt;attachment: ");
        WriteText(context, names.file);
        AppendOutput(context, "&gt;");
    } else {
        WriteText(context, names.file);
    }
}

} // namespace

bool WriteAttachmentHotspot(HotspotCall* call) {
    XMLGenContext* context = call->context;
    if (IsOn(context, sw::kSuppressAttachments)) {
        if (g_debugLevel > 0) plat::LogLine(0, "Attachment suppressed due to SuppressAttachments setting");
        PassOverRange(context);
        if (call->inLink) {
            CloseOpenXMLTagsToOutput(context, "</a>", 1, 1, 0, 0);
            call->inLink = false;
            context->insideLink = 0;
        }
        return true;
    }
    const std::uint16_t handling = context->attachmentHandling;
    if (context->mimeMode != 0 && context->callerFile != nullptr && handling != kHandlingDisk &&
        handling != kHandlingName) {
        // The attachment travels as a part of the message.
        if (PassOverRange(context)) return true;
        context->node = context->node->next;
        return false;
    }
    AttachmentNames names;
    if (!ReadNames(context->node, &names) || call->inLink) {
        context->node = context->node->next;
        return false;
    }
    context->attachmentOpen = 1;
    switch (handling) {
    case kHandlingDefault:
        WriteServerLink(call, names);
        break;
    case kHandlingDisk:
        WriteExtractedLink(call, names);
        break;
    case kHandlingName:
        WriteNamedAttachment(context, names);
        break;
    case kHandlingMimeParts:
        WriteSeeAttached(context, names.file);
        // The line stands for the whole hotspot, as its picture does not
        // show either: the file travels as a part of the message, and a
        // reader of the message makes the line a hotspot again, with its
        // picture and caption. The caption written beside the line would
        // come back as text of its own, once more on every round trip.
        MoveToTextEnd(context);
        if (PassOverRange(context)) {
            context->attachmentOpen = 0;
            return true;
        }
        break;
    default:
        break;
    }
    MoveToTextEnd(context);
    context->node = context->node->next;
    return false;
}

void EndAttachment(XMLGenContext* context) { context->attachmentOpen = 0; }

} // namespace talix
