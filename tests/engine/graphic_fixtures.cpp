#include "graphic_fixtures.h"

#include <cstdlib>
#include <cstring>

#include "core/attachments.h"
#include "core/record_forms.h"
#include "talix_platform.h"

namespace graphic_test {

using talix_test::HostRecord;
using talix_test::PutDword;
using talix_test::PutWord;

Bytes GifData(std::uint16_t width, std::uint16_t height, std::size_t size) {
    Bytes data(size, 0);
    std::memcpy(data.data(), "GIF89a", 6);
    talix::WriteWord(data.data() + 6, width);
    talix::WriteWord(data.data() + 8, height);
    for (std::size_t i = 10; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    return data;
}

Bytes JpegData(std::uint16_t width, std::uint16_t height) {
    Bytes data = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0,
                  0xFF, 0xC2, 0x00, 0x11, 0x08, static_cast<std::uint8_t>(height >> 8),
                  static_cast<std::uint8_t>(height), static_cast<std::uint8_t>(width >> 8),
                  static_cast<std::uint8_t>(width), 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1, 0xFF, 0xD9};
    data.resize(data.size() + 20, 0);
    return data;
}

FixtureRecord Begin(std::uint16_t inner) {
    FixtureRecord record = HostRecord(kSigBegin, 6);
    PutWord(&record, 2, 1);
    PutWord(&record, 4, inner);
    return record;
}

FixtureRecord End(std::uint16_t inner) {
    FixtureRecord record = HostRecord(kSigEnd, 6);
    PutWord(&record, 2, 1);
    PutWord(&record, 4, inner);
    return record;
}

FixtureRecord Graphic(std::uint16_t width, std::uint16_t height, std::uint16_t resize, std::uint8_t flags) {
    FixtureRecord record = HostRecord(kSigGraphic, 32);
    PutWord(&record, 8, width);
    PutWord(&record, 10, height);
    PutWord(&record, 24, resize);
    record.bytes[26] = 2;
    record.bytes[27] = flags;
    return record;
}

FixtureRecord ImageHeader(std::uint16_t type, std::uint16_t width, std::uint16_t height, std::uint32_t dataSize,
                          std::uint32_t segments) {
    FixtureRecord record = HostRecord(kSigImageHeader, 32);
    PutWord(&record, 8, type);
    PutWord(&record, 10, width);
    PutWord(&record, 12, height);
    PutDword(&record, 16, dataSize);
    PutDword(&record, 20, segments);
    return record;
}

FixtureRecord ImageSegment(const Bytes& data) {
    const std::uint32_t even = static_cast<std::uint32_t>(data.size() + (data.size() & 1));
    FixtureRecord record = HostRecord(kSigImageSegment, 12 + even);
    PutWord(&record, 8, static_cast<std::uint16_t>(data.size()));
    PutWord(&record, 10, static_cast<std::uint16_t>(even));
    std::memcpy(record.bytes.data() + 12, data.data(), data.size());
    return record;
}

FixtureRecord BitmapHeader(std::uint16_t width, std::uint16_t height) {
    FixtureRecord record = HostRecord(kSigBitmapHeader, 40);
    PutWord(&record, 24, width);
    PutWord(&record, 26, height);
    return record;
}

FixtureRecord ImageResource(const std::string& name, std::uint32_t flags) {
    FixtureRecord record = HostRecord(kSigHref, static_cast<std::uint32_t>(36 + name.size()));
    PutDword(&record, 4, flags);
    PutWord(&record, 8, 3);
    PutWord(&record, 10, 19);
    PutWord(&record, 12, static_cast<std::uint16_t>(name.size()));
    std::memcpy(record.bytes.data() + 36, name.data(), name.size());
    return record;
}

FixtureRecord IdName(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) joined += text;
    FixtureRecord record = HostRecord(kSigIdName, static_cast<std::uint32_t>(26 + joined.size()));
    for (std::size_t i = 0; i < texts.size() && i < 6; ++i)
        PutWord(&record, 4 + 2 * i, static_cast<std::uint16_t>(texts[i].size()));
    std::memcpy(record.bytes.data() + 26, joined.data(), joined.size());
    return record;
}

Records GifPicture(const Bytes& gif, std::uint16_t width, std::uint16_t height, const Records& extra) {
    Records records = {Begin(kSigGraphic), Graphic(), ImageHeader(1, width, height, static_cast<std::uint32_t>(gif.size()), 1),
                       ImageSegment(gif)};
    records.insert(records.end(), extra.begin(), extra.end());
    records.push_back(End(kSigGraphic));
    return records;
}

const Rec* Find(const std::vector<Rec>& records, std::uint16_t signature, std::size_t from) {
    for (std::size_t i = from; i < records.size(); ++i)
        if (records[i].signature == signature) return &records[i];
    return nullptr;
}

std::string ItemTest::Get(const char* definition, talix::OperationCode code, std::uint16_t op2, int scratch) {
    char* place = scratch == 3 ? session_.optionValue + 4096 : session_.messageBuffer;
    place[0] = '\0';
    const std::uint16_t status = Run(definition, talix_test::Op(code, op2));
    EXPECT_EQ(status, 0) << "code " << code << " on " << definition;
    return place;
}

std::string ItemTest::Attachment(const char* name) {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    std::string bytes;
    EXPECT_EQ(plat::DbOpen(db_.path().c_str(), &db), plat::NOERROR);
    if (plat::NoteOpen(db, id_, 0, &note) == plat::NOERROR) {
        char* data = nullptr;
        std::uint32_t size = 0;
        if (talix::ReadAttachmentToMemory(note, name, &data, &size) == talix::kOK) bytes.assign(data, size);
        std::free(data);
        plat::NoteClose(note);
    }
    plat::DbClose(db);
    return bytes;
}

} // namespace graphic_test
