#include "active_content_fixture.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace htmlgen_test {

using talix_test::HostRecord;
using talix_test::PutDword;
using talix_test::PutWord;

namespace {

void Append(FixtureRecord* record, std::size_t at, const Bytes& bytes) {
    if (!bytes.empty()) std::memcpy(record->bytes.data() + at, bytes.data(), bytes.size());
}
void Append(FixtureRecord* record, std::size_t at, const std::string& text) {
    if (!text.empty()) std::memcpy(record->bytes.data() + at, text.data(), text.size());
}

} // namespace

FixtureRecord HotspotBegin(std::uint16_t signature, std::uint16_t type, std::uint32_t flags, const Bytes& data) {
    FixtureRecord record = HostRecord(signature, static_cast<std::uint32_t>(16 + data.size()));
    PutWord(&record, 4, type);
    PutDword(&record, 8, flags);
    PutWord(&record, 12, static_cast<std::uint16_t>(data.size()));
    Append(&record, 16, data);
    return record;
}

Bytes TextData(const std::string& text) {
    Bytes data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

Bytes CompiledFormula(const std::string& formula) {
    plat::DHANDLE compiled = 0;
    plat::WORD length = 0;
    EXPECT_EQ(plat::FormulaCompile(formula.data(), static_cast<plat::WORD>(formula.size()), &compiled, &length), 0);
    const auto* bytes = static_cast<const std::uint8_t*>(plat::MemLock(compiled));
    Bytes data(bytes, bytes + length);
    plat::MemUnlock(compiled);
    plat::MemFree(compiled);
    return data;
}

FixtureRecord HotspotEnd(std::uint16_t signature) { return HostRecord(signature, 2); }

FixtureRecord Target(const std::string& target) {
    FixtureRecord record = HostRecord(0xFFF2, static_cast<std::uint32_t>(12 + target.size()));
    PutWord(&record, 4, static_cast<std::uint16_t>(target.size()));
    Append(&record, 12, target);
    return record;
}

FixtureRecord IdName(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) joined += text;
    FixtureRecord record = HostRecord(0xFF7A, static_cast<std::uint32_t>(26 + joined.size()));
    for (std::size_t i = 0; i < texts.size() && i < 6; ++i)
        PutWord(&record, 4 + 2 * i, static_cast<std::uint16_t>(texts[i].size()));
    Append(&record, 26, joined);
    return record;
}

Records Event(std::uint16_t type, const std::string& code) {
    FixtureRecord event = HostRecord(0xFFF9, 32);
    PutWord(&event, 8, type);
    PutWord(&event, 10, 4);
    PutDword(&event, 12, static_cast<std::uint32_t>(code.size()));
    Records records = {event};
    // Code in pieces of at most 3 bytes, the last one padded past the code.
    for (std::size_t at = 0; at < code.size(); at += 3) {
        const std::string piece = code.substr(at, 3) + (at + 3 >= code.size() ? "xx" : "");
        FixtureRecord record = HostRecord(0xFFDC, static_cast<std::uint32_t>(18 + piece.size()));
        PutWord(&record, 4, 0xFFF9);
        PutWord(&record, 6, static_cast<std::uint16_t>(piece.size()));
        Append(&record, 18, piece);
        records.push_back(record);
    }
    return records;
}

FixtureRecord URLResource(const std::string& url) {
    FixtureRecord record = HostRecord(0xFFF6, static_cast<std::uint32_t>(28 + url.size()));
    PutWord(&record, 8, 1);
    PutWord(&record, 12, static_cast<std::uint16_t>(url.size()));
    Append(&record, 28, url);
    return record;
}

FixtureRecord NoteLinkResource(const Bytes& link, const std::string& anchor) {
    FixtureRecord record = HostRecord(0xFFF6, static_cast<std::uint32_t>(28 + link.size() + anchor.size()));
    PutDword(&record, 4, 2);
    PutWord(&record, 8, 2);
    PutWord(&record, 12, static_cast<std::uint16_t>(anchor.size()));
    Append(&record, 28, link);
    Append(&record, 28 + link.size(), anchor);
    return record;
}

Records URLHotspot(const std::string& url, const std::string& text, const Records& extra) {
    Records records = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 11, 0x1000, TextData(url))};
    records.insert(records.end(), extra.begin(), extra.end());
    records.push_back(TextBytes(text));
    records.push_back(HotspotEnd());
    records.push_back(Bracket(0xDE, 0x00AE));
    return records;
}

Records FileHotspot(const std::string& attachment, const std::string& fileName, const std::string& text) {
    Bytes data = TextData(attachment);
    if (!fileName.empty()) {
        const Bytes file = TextData(fileName);
        data.insert(data.end(), file.begin(), file.end());
    }
    return {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFA9, 4, 0, data), TextBytes(text), HotspotEnd(0x00AA),
            Bracket(0xDE, 0x00AA)};
}

Bytes NoteLink(std::uint32_t replica0, std::uint32_t replica1, const std::uint32_t view[4],
               const std::uint32_t document[4]) {
    Bytes link(40, 0);
    auto put = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) link[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    put(0, replica0);
    put(4, replica1);
    for (int i = 0; i < 4; ++i) put(8 + 4 * i, view[i]);
    for (int i = 0; i < 4; ++i) put(24 + 4 * i, document[i]);
    return link;
}

FixtureRecord ExportedLink(const Bytes& link, const std::string& comment, const std::string& hint,
                           const std::string& anchor) {
    const std::string texts =
        comment + std::string(1, '\0') + hint + std::string(1, '\0') + (anchor.empty() ? "" : anchor + std::string(1, '\0'));
    FixtureRecord record = HostRecord(0xFF92, static_cast<std::uint32_t>(44 + texts.size()));
    Append(&record, 4, link);
    Append(&record, 44, texts);
    return record;
}

FixtureRecord IndexedLink(std::uint16_t index, const std::string& comment) {
    const std::string texts = comment + std::string(2, '\0');
    FixtureRecord record = HostRecord(0xFF91, static_cast<std::uint32_t>(6 + texts.size()));
    PutWord(&record, 4, index);
    Append(&record, 6, texts);
    return record;
}

std::string LinkTable(const std::vector<Bytes>& links) {
    std::string value = {1, 0, static_cast<char>(links.size()), 0};
    for (const Bytes& link : links) value.append(link.begin(), link.end());
    return value;
}

FixtureRecord SectionBar(std::uint32_t flags, const std::string& title, std::uint32_t font) {
    FixtureRecord record = HostRecord(0xFFAC, static_cast<std::uint32_t>(14 + title.size() + 1));
    PutDword(&record, 4, flags);
    PutDword(&record, 8, font);
    Append(&record, 14, title);
    return record;
}

Bytes GifBytes(std::size_t size) {
    Bytes data(size, 0);
    std::memcpy(data.data(), "GIF89a", 6);
    for (std::size_t i = 6; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return data;
}

FixtureRecord Graphic(std::uint16_t width, std::uint16_t height, std::uint16_t resize, std::uint8_t flags) {
    FixtureRecord record = HostRecord(0x0099, 32);
    PutWord(&record, 8, width);
    PutWord(&record, 10, height);
    PutWord(&record, 24, resize);
    record.bytes[26] = 2;
    record.bytes[27] = flags;
    return record;
}

FixtureRecord ImageHeader(std::uint16_t type, std::uint16_t width, std::uint16_t height, std::uint32_t dataSize) {
    FixtureRecord record = HostRecord(0x007D, 32);
    PutWord(&record, 8, type);
    PutWord(&record, 10, width);
    PutWord(&record, 12, height);
    PutDword(&record, 16, dataSize);
    PutDword(&record, 20, 1);
    return record;
}

FixtureRecord ImageSegment(const Bytes& data) {
    const auto even = static_cast<std::uint32_t>(data.size() + (data.size() & 1));
    FixtureRecord record = HostRecord(0x007C, 12 + even);
    PutWord(&record, 8, static_cast<std::uint16_t>(data.size()));
    PutWord(&record, 10, static_cast<std::uint16_t>(even));
    Append(&record, 12, data);
    return record;
}

FixtureRecord AltText(const std::string& text) {
    FixtureRecord record = HostRecord(0xFFCA, static_cast<std::uint32_t>(12 + text.size()));
    PutWord(&record, 4, static_cast<std::uint16_t>(text.size()));
    Append(&record, 12, text);
    return record;
}

Records Picture(const Bytes& data, const Records& extra, std::uint16_t type, std::uint16_t width,
                std::uint16_t height) {
    Records records = {Bracket(0xDD, 0x0099), Graphic(),
                       ImageHeader(type, width, height, static_cast<std::uint32_t>(data.size())), ImageSegment(data)};
    records.insert(records.end(), extra.begin(), extra.end());
    records.push_back(Bracket(0xDE, 0x0099));
    return records;
}

ZervaRTChunk* ActiveContentTest::DefineWith(const Records& records, const std::vector<ExtraItem>& items,
                                            const std::vector<std::pair<std::string, std::string>>& files) {
    const plat::NOTEID id = db_.AddNote(records);
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    EXPECT_EQ(plat::DbOpen(db_.path().c_str(), &db), plat::NOERROR);
    EXPECT_EQ(plat::NoteOpen(db, id, 0, &note), plat::NOERROR);
    for (const ExtraItem& item : items) {
        const auto type = static_cast<plat::WORD>(static_cast<std::uint8_t>(item.value[0]) |
                                                  (static_cast<std::uint8_t>(item.value[1]) << 8));
        EXPECT_EQ(plat::ItemAppend(note, 0, item.name.c_str(), static_cast<plat::WORD>(item.name.size()), type,
                                   item.value.data() + 2, static_cast<plat::DWORD>(item.value.size() - 2)),
                  plat::NOERROR);
    }
    talix_test::TempDir files_dir;
    for (const auto& [name, content] : files) {
        const std::string path = files_dir.file("attached");
        std::ofstream(path, std::ios::binary) << content;
        EXPECT_EQ(plat::NoteAttachFile(note, "$FILE", 5, path.c_str(), name.c_str(), plat::ATTACH_DEFAULT), plat::NOERROR);
    }
    EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteClose(note);
    plat::DbClose(db);
    EXPECT_EQ(item_.Connect("", db_.path().c_str(), id, "Body", 0), 0);
    chunks_.emplace_back(item_.DefineChunk("Everything"));
    return chunks_.back().get();
}

std::string ActiveContentTest::Body(ZervaRTChunk* chunk, const char* options, const char* format) {
    return BodyOf(Generate(chunk, format, options));
}

std::string BodyOf(const std::string& markup) { return htmlgen_test::Body(markup); }

} // namespace htmlgen_test
