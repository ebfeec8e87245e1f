#include "builders/file_hotspot.h"

#include <cstring>
#include <string>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/filter_import.h"
#include "builders/graphic_builders.h"
#include "builders/graphic_records.h"
#include "core/filters.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::size_t kLibraryNameSize = 256;
constexpr std::size_t kFilterNameSize = 256;

// The built-in icon: a GIF89a picture of a page, 23 x 32 pixels.
constexpr std::uint16_t kIconWidth = 23, kIconHeight = 32;
constexpr std::uint8_t kIconPicture[180] = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x17, 0x00, 0x20, 0x00, 0x81, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
    0x00, 0xC0, 0xC0, 0xC0, 0x00, 0x00, 0xA0, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00,
    0x00, 0x00, 0x17, 0x00, 0x20, 0x00, 0x00, 0x02, 0x5E, 0x84, 0x8F, 0xA9, 0x18, 0xED, 0xEF, 0xD6, 0x09, 0xA2,
    0xDA, 0x5B, 0x83, 0x04, 0x14, 0x7B, 0xA1, 0x2D, 0xDD, 0x87, 0x85, 0xC9, 0x48, 0x5E, 0xE6, 0x94, 0x66, 0xD0,
    0xD9, 0x7E, 0x2B, 0x1A, 0x67, 0x4C, 0x5D, 0xDE, 0xC2, 0xC0, 0xF7, 0x7E, 0x6F, 0x63, 0xE1, 0x2C, 0xB3, 0x21,
    0x51, 0xF7, 0x4B, 0xF2, 0x82, 0x06, 0x5A, 0xAD, 0x68, 0x04, 0x21, 0x95, 0x3F, 0x26, 0x27, 0x2A, 0x15, 0x1A,
    0xA1, 0xD4, 0x6A, 0xB6, 0x89, 0x85, 0x6E, 0xA7, 0xDD, 0xE5, 0xF7, 0x1A, 0x15, 0x0F, 0xB9, 0x4A, 0x99, 0x6E,
    0xAC, 0x5D, 0xBF, 0xE5, 0x71, 0xDC, 0x0C, 0x82, 0xCF, 0x6F, 0xF6, 0x8A, 0x02, 0x00, 0x21, 0xFE, 0x23, 0x54,
    0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54,
    0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x54, 0x00, 0x3B,
};

// The value of an option, empty when absent; *given says whether it was.
std::string Option(const char* options, const char* key, bool* given = nullptr) {
    std::string value;
    const bool present = OptionText(options, key, &value);
    if (given != nullptr) *given = present;
    return present ? value : std::string();
}

// The last "$FILE" item of the note: the one an attach has just added.
bool LastFileItem(plat::NOTEHANDLE note, plat::BLOCKID* last) {
    plat::BLOCKID item;
    plat::STATUS status = plat::ItemInfo(note, "$FILE", 5, &item, nullptr, nullptr, nullptr);
    bool found = false;
    while (status == plat::NOERROR) {
        *last = item;
        found = true;
        status = plat::ItemInfoNext(note, item, "$FILE", 5, &item, nullptr, nullptr, nullptr);
    }
    return found;
}

// The records of the hotspot, from its CDBEGIN to its CDEND.
STATUS AppendHotspotRecords(const std::string& attachmentName, const std::string& displayName, const char* options,
                            BuildContext* context) {
    RecordOutput* output = &context->output;
    const std::string data = attachmentName + '\0' + displayName + '\0';
    BuiltRecord hotspot;
    if (data.size() > 0xFFFF || !TextRecord(kSigHotspotBegin, kHotspotBeginFixedLength, data,
                                            &hotspot)) return kArgumentError;
    WriteWord(hotspot.bytes.data() + kHotspotTypeAt, kHotspotTypeFile);
    WriteDword(hotspot.bytes.data() + kHotspotFlagsAt, kFileHotspotFlags);
    WriteWord(hotspot.bytes.data() + kHotspotDataLengthAt, static_cast<std::uint16_t>(data.size()));

    STATUS status = AppendBeginRecord(kSigV4HotspotBegin, 0, output);
    if (status == kOK) status = AppendBatch(RecordBatch{hotspot}, output);
    if (status != kOK) return status;

    const FontId font = NewTextFont(context);
    bool graphicGiven = false;
    const std::string graphic = Option(options, "UseGraphic=", &graphicGiven);
    if (graphicGiven) {
        // A picture of the graphic file through its import filter; nothing
        // when there is no file or no filter for it.
        std::string extension = graphic;
        char library[kLibraryNameSize] = {};
        char filter[kFilterNameSize] = {};
        if (!graphic.empty() && FindEditFilter(context->session, extension.data(), library, sizeof library, filter,
                                               sizeof filter, 1, 0) != 0) {
            status = ImportThroughFilter(context, graphic.c_str(), library, filter, 1);
            if (status != kOK) {
                if (context->errorWord == 0 && context->chunk != nullptr && context->chunk->errorWord == 0)
                    context->errorWord = kErrConversion;
                return status;
            }
        }
    } else {
        RecordBatch icon;
        icon.push_back(GraphicRecord(0, 0, 0, 0));
        icon.push_back(ImageHeaderRecord(kImageTypeGif, kIconWidth, kIconHeight, sizeof kIconPicture, 1));
        AddImageSegments(kIconPicture, sizeof kIconPicture, &icon);
        status = AppendBatch(icon, output);
        const std::string caption = " - " + displayName;
        if (status == kOK)
            status = AppendTextRecord(caption.data(), static_cast<std::uint32_t>(caption.size()), &font, output);
        if (status != kOK) return status;
    }

    const std::string text = Option(options, "UseText=");
    if (!text.empty()) {
        status = AppendTextRecord(text.data(), static_cast<std::uint32_t>(text.size()), &font, output);
        if (status != kOK) return status;
    }
    status = AppendBatch(RecordBatch{BlankRecord(kSigHotspotEnd, kHotspotEndLength)}, output);
    if (status == kOK) status = AppendEndRecord(kSigV4HotspotEnd, 0, output);
    return status;
}

} // namespace

STATUS AppendFileHotspot(const char* filePath, const char* attachmentName, const char* displayName,
                         const char* options, BuildContext* context) {
    if (filePath == nullptr || filePath[0] == '\0' || attachmentName == nullptr || attachmentName[0] == '\0' ||
        context == nullptr || context->output.item == nullptr)
        return kArgumentError;
    const plat::NOTEHANDLE note = context->output.item->noteHandle;

    std::string display;
    if (displayName != nullptr) {
        display = displayName;
    } else {
        const char* slash = std::strrchr(filePath, '\\');
        const char* other = std::strrchr(filePath, '/');
        if (other != nullptr && (slash == nullptr || other > slash)) slash = other;
        display = slash != nullptr ? slash + 1 : filePath;
    }

    const bool attach = CompareNamesNoCase(Option(options, "AlreadyAttached=").c_str(), "Yes") != 0;
    plat::BLOCKID attached;
    if (attach) {
        const plat::STATUS status =
            plat::NoteAttachFile(note, "$FILE", 5, filePath, attachmentName, plat::ATTACH_DEFAULT);
        if (status != plat::NOERROR) return status;
        if (!LastFileItem(note, &attached)) return kOperationFailed;
    }
    const STATUS status = AppendHotspotRecords(attachmentName, display, options, context);
    // The run that fails is not stored: neither is the attachment made for it.
    if (status != kOK && attach) plat::NoteDetachFile(note, attached);
    if (status == kOK) context->output.item->modified = 1;
    return status;
}

} // namespace talix
