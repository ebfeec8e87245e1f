// Pictures of the awkward documents, one of every stored kind: image data
// in the item (GIF, JPEG, PNG, a bitmap), references to a URL, an attachment and
// a named image resource (by name or by formula), and a graphic record
// with nothing after it. The records come from the library's picture
// builders and record makers.
#include <cstring>
#include <string>
#include <vector>

#include "builders/build_context.h"
#include "builders/graphic_builders.h"
#include "builders/graphic_records.h"
#include "core/record_forms.h"
#include "core/signatures.h"
#include "support/awkward_builder.h"
#include "support/picture_files.h"

namespace talix_test::awkward {

namespace {

// A GIF of 2 x 2 pixels.
const std::uint8_t kGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x02, 0x00, 0x02, 0x00, 0x80, 0x00, 0x00, 0xFF,
                             0xFF, 0xFF, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02, 0x00,
                             0x00, 0x02, 0x02, 0x84, 0x51, 0x00, 0x3B};
// The frame of a JPEG of 3 x 5 pixels: start, a frame header, end.
const std::uint8_t kJpeg[] = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x05, 0x00, 0x03, 0x01,
                              0x01, 0x11, 0x00, 0xFF, 0xD9};

// The image header's type of a PNG picture.
constexpr std::uint16_t kImageTypePng = 4;

const char* const kAltTexts[] = {"", "a picture", "a <tagged> & \"quoted\" picture"};
const char* const kAlignments[] = {"", "left", "right", "middle", "top"};
const char* const kImageOptions[] = {"", "AltText='zq alt' ImageWidth=20 ImageHeight=10",
                                     "Caption='a caption & more' CaptionPosition=Beside", "WrapText=Left",
                                     "ImageHTMLClass=zqimg ImageHTMLTitle='t'", "LoadType=Deferred"};

// A graphic's image data and the records around it, wrapped or not.
talix::RecordBatch ImageBatch(Choices& choose, const std::uint8_t* data, std::uint32_t size,
                              std::uint16_t imageType, std::uint16_t width, std::uint16_t height,
                              const std::string& id) {
    talix::RecordBatch batch;
    const bool wrapped = choose.Percent(60);
    if (wrapped) batch.push_back(talix::BeginRecord(talix::kSigGraphic, talix::kGraphicVersion));
    const std::uint8_t flags = static_cast<std::uint8_t>(choose.Below(4));
    const bool resized = choose.Percent(40);
    batch.push_back(talix::GraphicRecord(flags, resized ? static_cast<std::uint16_t>(choose.Between(1, 3000)) : 0,
                                         resized ? static_cast<std::uint16_t>(choose.Between(1, 3000)) : 0,
                                         resized ? 1 : 0));
    batch.push_back(talix::ImageHeaderRecord(imageType, width, height, size, talix::ImageSegmentCount(size)));
    talix::AddImageSegments(data, size, &batch);
    if (!wrapped) return batch;
    talix::BuiltRecord record;
    const std::string alt = choose.Pick(kAltTexts);
    if (!alt.empty() && talix::AltTextRecord(alt, &record)) batch.push_back(record);
    if (choose.Percent(40)) batch.push_back(talix::BorderRecord(static_cast<std::uint16_t>(choose.Below(5)), true));
    if (choose.Percent(30)) batch.push_back(talix::FloatRecord(static_cast<std::uint16_t>(choose.Between(1, 2))));
    else if (choose.Percent(30))
        batch.push_back(talix::VerticalAlignRecord(static_cast<std::uint16_t>(choose.Between(1, 5))));
    if (choose.Percent(30)) {
        const std::string texts[talix::kIdNameTexts] = {id, "zq pictures", "border: 0", "a \"title\"",
                                                        choose.Percent(50) ? "" : "width=\"7\"", "zqname"};
        if (talix::IdNameRecord(texts, &record)) batch.push_back(record);
    }
    batch.push_back(talix::EndRecord(talix::kSigGraphic, talix::kGraphicVersion));
    return batch;
}

// A bitmap of 4 x 2 pixels at 8 bits, with a colour table of four colours.
talix::RecordBatch BitmapBatch() {
    talix::RecordBatch batch;
    batch.push_back(talix::GraphicRecord(0, 0, 0, 0));
    talix::BuiltRecord header = talix::BlankRecord(talix::kSigBitmapHeader, 40);
    talix::WriteWord(header.bytes.data() + 24, 4);
    talix::WriteWord(header.bytes.data() + 26, 2);
    talix::WriteWord(header.bytes.data() + 28, 8);
    talix::WriteWord(header.bytes.data() + 30, 1);
    talix::WriteWord(header.bytes.data() + 32, 8);
    talix::WriteWord(header.bytes.data() + 34, 1);
    talix::WriteWord(header.bytes.data() + 36, 4);
    batch.push_back(header);
    talix::BuiltRecord colours = talix::BlankRecord(talix::kSigColorTable, 8 + 12);
    for (int i = 0; i < 12; ++i) colours.bytes[8 + i] = static_cast<std::uint8_t>(i * 20);
    batch.push_back(colours);
    talix::BuiltRecord segment = talix::BlankRecord(talix::kSigBitmapSegment, 20 + 8);
    talix::WriteWord(segment.bytes.data() + 16, 2);
    talix::WriteWord(segment.bytes.data() + 18, 8);
    for (int i = 0; i < 8; ++i) segment.bytes[20 + i] = static_cast<std::uint8_t>(i % 4);
    batch.push_back(segment);
    return batch;
}

} // namespace

void Builder::Picture(const Place& place) {
    Used(kAwkwardPictures);
    if (!place.leading) PlainParagraph(place, static_cast<int>(choose().Below(3)));
    talix::RecordOutput* output = &context()->output;
    const auto kind = static_cast<AwkwardPicture>(choose().Below(kPictureKinds));
    document().pictures |= 1u << kind;
    switch (kind) {
    case kPictureGif:
        Check(talix::AppendBatch(ImageBatch(choose(), kGif, sizeof kGif, talix::kImageTypeGif, 2, 2, Unique("zqpic#")), output), "GIF");
        break;
    case kPictureJpeg:
        Check(talix::AppendBatch(ImageBatch(choose(), kJpeg, sizeof kJpeg, talix::kImageTypeJpeg, 3, 5, Unique("zqpic#")), output),
              "JPEG");
        break;
    case kPicturePng: {
        static const std::string png = PngPicture(4, 3);
        Check(talix::AppendBatch(ImageBatch(choose(), reinterpret_cast<const std::uint8_t*>(png.data()),
                                            static_cast<std::uint32_t>(png.size()), kImageTypePng, 4, 3,
                                            Unique("zqpic#")),
                                 output),
              "PNG");
        break;
    }
    case kPictureBitmap:
        Check(talix::AppendBatch(BitmapBatch(), output), "bitmap");
        break;
    case kPictureUrl:
        Check(talix::AppendBitmapImage(talix::kImageSourceUrl, "http://zq.example.com/a picture.gif?x=1&y=2",
                                       choose().Pick(kImageOptions), context()),
              "URL picture");
        break;
    case kPictureAttachment:
        Check(talix::AppendBitmapImage(talix::kImageSourceFile, "zq attached.gif", choose().Pick(kImageOptions),
                                       context()),
              "attachment picture");
        break;
    case kPictureResource: {
        // Drawn one by one, in this order: arguments are evaluated in any.
        const char* name = choose().Percent(50) ? "zqimage.gif" : "zq dir\\zq image.jpg?Open!x";
        const auto width = static_cast<std::uint16_t>(choose().Below(50));
        const auto height = static_cast<std::uint16_t>(choose().Below(50));
        const char* alt = choose().Pick(kAltTexts);
        const char* alignment = choose().Pick(kAlignments);
        const char* horizontalSpace = choose().Percent(30) ? "4" : "";
        const char* verticalSpace = choose().Percent(30) ? "2" : "";
        const char* border = choose().Percent(30) ? "1" : "";
        Check(talix::AppendGraphicRecords(talix::kResourceNamedElement, talix::kResourceClassImage, name, "", 0,
                                          context(), width, height, alt, alignment, horizontalSpace, verticalSpace, border),
              "image resource");
        break;
    }
    case kPictureResourceFormula: {
        // The resource named by a formula: compiled, or one the platform cannot read.
        const std::string formula = StoredFormula("\"zq\" + \"image.gif\"");
        talix::RecordBatch batch;
        batch.push_back(talix::BeginRecord(talix::kSigGraphic, talix::kGraphicVersion));
        batch.push_back(talix::GraphicRecord(0, 0, 0, 0));
        talix::BuiltRecord reference;
        const std::uint32_t thisDatabase[2] = {};
        if (talix::ResourceRecord(talix::kSigHref, 0x1, talix::kResourceNamedElement, talix::kResourceClassImage, "",
                                  "", thisDatabase, formula, &reference)) {
            batch.push_back(reference);
        }
        batch.push_back(talix::EndRecord(talix::kSigGraphic, talix::kGraphicVersion));
        Check(talix::AppendBatch(batch, output), "image resource by formula");
        break;
    }
    default: {
        talix::RecordBatch batch;
        batch.push_back(talix::GraphicRecord(0, 0, 0, 0));
        Check(talix::AppendBatch(batch, output), "graphic without data");
        break;
    }
    }
    // A text run follows a picture, as in stored items.
    Run("", RandomFont());
    Runs(place, static_cast<int>(choose().Below(3)));
}

} // namespace talix_test::awkward
