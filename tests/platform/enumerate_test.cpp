#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "status_codes.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using namespace plat;
using talix_test::TempDir;

struct Seen {
    WORD signature;
    std::string host;   // the record as handed over
};

// Keeps every record; answers 772 once at call restartAt, and answerAt1 at
// the second call.
struct Recorder {
    std::vector<Seen> records;
    int restartAt = -1;
    STATUS answerAt1 = 0;
    int calls = 0;
};

STATUS Record(const void* record, WORD signature, DWORD length, void* context) {
    auto* recorder = static_cast<Recorder*>(context);
    int call = recorder->calls++;
    recorder->records.push_back(Seen{signature, std::string(static_cast<const char*>(record), length)});
    if (call == recorder->restartAt) {
        recorder->restartAt = -1;
        return ERR_WALK_RESTART;
    }
    return call == 1 ? recorder->answerAt1 : NOERROR;
}

std::string Word(WORD w) { return std::string{static_cast<char>(w & 0xFF), static_cast<char>(w >> 8)}; }
std::string Dword(DWORD d) { return Word(static_cast<WORD>(d)) + Word(static_cast<WORD>(d >> 16)); }
WORD GetWord(const std::string& s, size_t at) {
    return static_cast<WORD>(static_cast<BYTE>(s[at]) | (static_cast<BYTE>(s[at + 1]) << 8));
}
DWORD GetDword(const std::string& s, size_t at) { return GetWord(s, at) | (DWORD{GetWord(s, at + 2)} << 16); }

std::string Paragraph() { return "\x81\x02"; }
// A text record; an odd one gets its pad byte unless told otherwise.
std::string TextRun(const std::string& text, bool pad = true) {
    std::string record = Word(0xFF85) + Word(static_cast<WORD>(8 + text.size())) + Dword(0x0A000001) + text;
    return pad && record.size() % 2 != 0 ? record + '\0' : record;
}
// Records whose fixed parts differ between the forms: a hotspot (word header,
// stored 12 / host 16) with a file name after it, an image header (long
// header, stored 28 / host 32).
std::string Hotspot() { return Word(0xFFA9) + Word(17) + Word(4) + Dword(0x12345678) + Word(5) + "a.txt" + '\0'; }
std::string ImageHeader() {
    return Word(0x007D) + Dword(28) + Word(2) + Word(100) + Word(50) + Dword(1234) + Dword(1) + Dword(0) + Dword(0);
}
std::string Composite(const std::string& records) { return Word(TYPE_COMPOSITE) + records; }

// A record handed over in host form, back in stored form through the
// structure calls (the mirror of the conversion).
std::string ToStored(const Seen& seen) {
    WORD type = 0;
    bool known = SignatureInfo(seen.signature, &type, nullptr) && type != 0xFFFF;
    WORD stored = known ? StructStoredLength(type) : 0, host = known ? StructHostLength(type) : 0;
    DWORD length = static_cast<DWORD>(seen.host.size());
    if (stored == 0 || length < host) return seen.host;
    std::string out(length - host + stored, '\0');
    void* dest = out.data();
    EXPECT_EQ(StructWrite(&dest, type, seen.host.data()), NOERROR);
    std::memcpy(out.data() + stored, seen.host.data() + host, length - host);
    WORD first = GetWord(out, 0);
    DWORD total = static_cast<DWORD>(out.size());
    if (host == stored) return out;
    if ((first >> 8) == 0 || seen.signature == 0xFFBE) return out.replace(2, 4, Dword(total));
    if ((first >> 8) == 0xFF) return out.replace(2, 2, Word(static_cast<WORD>(total)));
    out[1] = static_cast<char>(total);
    return out;
}

// An open note of a fresh database, given its items by the test.
struct EnumeratedNote {
    explicit EnumeratedNote(const TempDir& dir) {
        EXPECT_EQ(DbCreate(dir.file("enum.nsf").c_str(), &db), NOERROR);
        EXPECT_EQ(NoteCreate(db, &note), NOERROR);
    }
    ~EnumeratedNote() {
        NoteClose(note);
        DbClose(db);
    }
    void Add(const char* name, const std::string& value) {
        EXPECT_EQ(ItemAppend(note, 0, name, static_cast<WORD>(std::strlen(name)), GetWord(value, 0),
                             value.data() + 2, static_cast<DWORD>(value.size() - 2)),
                  NOERROR);
    }
    DBHANDLE db = NULLHANDLE;
    NOTEHANDLE note = NULLHANDLE;
};

TEST(EnumRecords, RecordsReachTheCallbackInHostForm) {
    TempDir dir;
    EnumeratedNote fixture(dir);
    std::string hotspot = Hotspot(), image = ImageHeader();
    fixture.Add("Body", Composite(Paragraph() + TextRun("Hello") + hotspot + image));
    Recorder seen;
    ASSERT_EQ(EnumItemRecords(fixture.note, "body", Record, &seen), NOERROR);
    ASSERT_EQ(seen.records.size(), 4u);
    EXPECT_EQ(seen.records[0].signature, 0x0081);
    EXPECT_EQ(seen.records[1].host.substr(8), "Hello");
    const std::string& hot = seen.records[2].host;
    ASSERT_EQ(hot.size(), 21u);
    EXPECT_EQ(GetWord(hot, 2), 21);   // the host length
    EXPECT_EQ(GetDword(hot, 8), 0x12345678u);
    EXPECT_EQ(hot.substr(16), "a.txt");
    const std::string& img = seen.records[3].host;
    EXPECT_EQ(seen.records[3].signature, 0x007D);
    ASSERT_EQ(img.size(), 32u);
    EXPECT_EQ(GetDword(img, 4), 32u);
    EXPECT_EQ(GetWord(img, 10), 100);
    EXPECT_EQ(GetDword(img, 16), 1234u);

    // Each fixed part is what the structure call reads from the stored bytes.
    const struct {
        const std::string& stored;
        WORD type;
        const std::string& host;
        std::string length;
    } fixed[] = {{hotspot, 230, hot, Word(21)}, {image, 705, img, Dword(32)}};
    for (const auto& each : fixed) {
        std::string expected(StructHostLength(each.type), '\0');
        const void* src = each.stored.data();
        ASSERT_EQ(StructRead(&src, each.type, expected.data()), NOERROR);
        expected.replace(each.type == 705 ? 4 : 2, each.length.size(), each.length);
        EXPECT_EQ(each.host.substr(0, expected.size()), expected);
    }
}

TEST(EnumRecords, RealItemsConvertWithoutLoss) {
    TempDir dir;
    DBHANDLE db = NULLHANDLE;
    ASSERT_EQ(DbCreate(dir.file("samples.nsf").c_str(), &db), NOERROR);
    const std::vector<std::filesystem::path> files = talix_test::SampleAndSharedDxlFiles();
    std::vector<NOTEID> notes;
    for (const auto& file : files) {
        DxlImportResult result;
        if (DxlImportFile(db, file.c_str(), &result) != NOERROR) continue;   // the importer's tests judge that
        notes.insert(notes.end(), result.notes.begin(), result.notes.end());
    }
    size_t records = 0;
    for (NOTEID id : notes) {
        NOTEHANDLE note = NULLHANDLE;
        ASSERT_EQ(NoteOpen(db, id, OPEN_NOTE_DEFAULT, &note), NOERROR);
        ItemScan(note, [&](BLOCKID item) -> STATUS {
            WORD dataType = 0;
            BLOCKID value;
            DWORD length = 0;
            ItemQuery(item, nullptr, 0, nullptr, &dataType, &value, &length);
            if (dataType != TYPE_COMPOSITE) return NOERROR;
            Recorder seen;
            EXPECT_EQ(EnumRecords(value, length, Record, &seen), NOERROR);
            // Each record, back in stored form, lands on the bytes it came
            // from (the pad bytes between records belong to none).
            std::string original(static_cast<const char*>(BlockLock(value)), length);
            BlockUnlock(value);
            std::string rebuilt = original;
            size_t position = 2;
            for (const Seen& record : seen.records) {
                std::string stored = ToStored(record);
                rebuilt.replace(position, stored.size(), stored);
                position += stored.size() + stored.size() % 2;
            }
            EXPECT_GE(position, length);
            EXPECT_TRUE(rebuilt == original) << "note " << id;
            records += seen.records.size();
            return NOERROR;
        });
        NoteClose(note);
    }
    DbClose(db);
    EXPECT_GT(records, 400u);
}

TEST(EnumRecords, CallbackStatusesStopOrRestartTheWalk) {
    TempDir dir;
    EnumeratedNote fixture(dir);
    fixture.Add("Body", Composite(Paragraph() + TextRun("one")));
    fixture.Add("Body", Composite(Paragraph() + TextRun("two")));
    fixture.Add("Other", Word(TYPE_TEXT) + "not rich text");

    // 772 at the first record of the second item: the walk starts again once.
    Recorder restart;
    restart.restartAt = 2;
    EXPECT_EQ(EnumItemRecords(fixture.note, "Body", Record, &restart), NOERROR);
    EXPECT_EQ(restart.calls, 7);
    // A callback that keeps asking for a restart ends with a status of its own.
    auto always = [](const void*, WORD, DWORD, void*) -> STATUS { return ERR_WALK_RESTART; };
    EXPECT_EQ(EnumItemRecords(fixture.note, "Body", always, nullptr), ERR_WALK_RESTARTS);
    // Any other status stops the walk and comes back as it is.
    Recorder done;
    done.answerAt1 = ERR_ENUM_DONE;
    EXPECT_EQ(EnumItemRecords(fixture.note, "Body", Record, &done), ERR_ENUM_DONE);
    EXPECT_EQ(done.calls, 2);

    Recorder none;
    EXPECT_EQ(EnumItemRecords(fixture.note, "Missing", Record, &none), ERR_ITEM_NOT_FOUND);
    EXPECT_EQ(EnumItemRecords(fixture.note, "Other", Record, &none), ERR_ITEM_TYPE);
    BLOCKID value;
    DWORD length = 0;
    ASSERT_EQ(ItemInfo(fixture.note, "Body", 4, nullptr, nullptr, &value, &length), NOERROR);
    EXPECT_EQ(EnumRecords(value, length + 1, Record, &none), ERR_BAD_ARGUMENT);
    EXPECT_EQ(none.calls, 0);
}

TEST(EnumRecords, DamagedValuesEndTheWalkWithAStatus) {
    const struct {
        std::string value;
        int goodRecords;
        STATUS status;
    } cases[] = {
        {Composite(Word(0xFF85) + Word(0)), 0, ERR_RECORD_DAMAGED},                                // zero length
        {Composite(Paragraph() + Word(0xFF85) + Word(40) + "0123456789"), 1, ERR_RECORD_DAMAGED},  // past the end
        {Composite(Paragraph() + "\x81"), 1, ERR_RECORD_DAMAGED},                                  // a cut header
        {Composite(Paragraph() + Word(0x007D) + Word(0)), 1, ERR_RECORD_DAMAGED},                  // a cut long header
        {Composite(Word(0x007D) + Dword(4)), 0, ERR_RECORD_DAMAGED},                               // below its header
        {Composite(Word(0x007D) + Dword(0xFFFFFFF0) + "xx"), 0, ERR_RECORD_DAMAGED},
        {Word(TYPE_TEXT) + "text", 0, ERR_ITEM_TYPE},
        {"\x01", 0, ERR_RECORD_DAMAGED},
        {Composite(Paragraph() + TextRun("odd", false)), 2, NOERROR},   // the last pad left out
    };
    for (const auto& each : cases) {
        std::vector<char> exact(each.value.begin(), each.value.end());   // no byte to spare
        Recorder seen;
        EXPECT_EQ(EnumRecordsInMemory(exact.data(), static_cast<DWORD>(exact.size()), Record, &seen), each.status);
        EXPECT_EQ(seen.calls, each.goodRecords);
    }
}

TEST(EnumRecords, RecordFilesAreStreamed) {
    TempDir dir;
    auto write = [&](const std::string& name, const std::string& content) {
        std::ofstream(dir.file(name), std::ios::binary) << content;
        return dir.file(name);
    };
    // Odd records with and without their pad byte, the last one unpadded.
    std::string content = Word(1) + Paragraph() + TextRun("Hello") + TextRun("abc", false) + Paragraph() +
                          ImageHeader() + TextRun("end", false);
    std::string good = write("good.cd", content);
    Recorder seen;
    ASSERT_EQ(EnumRecordFile(good.c_str(), Record, &seen), NOERROR);
    ASSERT_EQ(seen.records.size(), 6u);
    EXPECT_EQ(seen.records[2].host.substr(8), "abc");
    EXPECT_EQ(seen.records[3].signature, 0x0081);
    EXPECT_EQ(GetDword(seen.records[4].host, 4), 32u);
    EXPECT_EQ(seen.records[5].host.substr(8), "end");
    Recorder stop;
    stop.answerAt1 = ERR_ENUM_DONE;
    EXPECT_EQ(EnumRecordFile(good.c_str(), Record, &stop), ERR_ENUM_DONE);
    EXPECT_EQ(stop.calls, 2);

    const struct {
        std::string path;
        int goodRecords;
        STATUS status;
    } cases[] = {
        {write("cut.cd", content.substr(0, content.size() - 2)), 5, ERR_RECORD_FILE_SHORT},
        {write("head.cd", Word(1) + Paragraph() + Word(0x007D) + "\x10"), 1, ERR_RECORD_FILE_SHORT},
        {write("zero.cd", Word(1) + Paragraph() + Word(0xFF85) + Word(0)), 1, ERR_RECORD_DAMAGED},
        {write("mark.cd", Word(2) + Paragraph()), 0, ERR_RECORD_FILE},
        {write("empty.cd", ""), 0, ERR_RECORD_FILE_SHORT},
        {dir.file("missing.cd"), 0, ERR_DISK_FILE_OPEN},
    };
    for (const auto& each : cases) {
        Recorder partial;
        EXPECT_EQ(EnumRecordFile(each.path.c_str(), Record, &partial), each.status) << each.path;
        EXPECT_EQ(partial.calls, each.goodRecords) << each.path;
    }
}

} // namespace
