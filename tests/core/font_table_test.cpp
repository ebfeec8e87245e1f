#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/font_spec.h"
#include "core/item_work_state.h"
#include "core/session_work_area.h"
#include "core_fixture.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

using Faces = std::vector<std::pair<int, std::string>>;
using core_test::Bytes;

// A font-table record in stored form (without the type word); declared
// overrides the face count the record claims.
Bytes FontTableRecord(const Faces& faces, int declared = -1) {
    std::uint16_t words[3] = {0xFF8B, static_cast<std::uint16_t>(6 + 34 * faces.size()),
                              static_cast<std::uint16_t>(declared >= 0 ? declared : faces.size())};
    Bytes bytes;
    for (std::uint16_t w : words) bytes.insert(bytes.end(), {std::uint8_t(w), std::uint8_t(w >> 8)});
    for (const auto& [id, name] : faces) {
        std::uint8_t face[34] = {static_cast<std::uint8_t>(id), 0};
        std::memcpy(face + 2, name.data(), name.size() < 31 ? name.size() : 31);
        bytes.insert(bytes.end(), face, face + 34);
    }
    return bytes;
}

Faces ManyFaces(int count) {
    Faces faces;
    for (int i = 0; i < count; ++i) faces.emplace_back(5 + i, "Face" + std::to_string(i));
    return faces;
}

// The "$Fonts" of a note as stored: the value without its type word.
Bytes StoredValue(plat::NOTEHANDLE note, plat::WORD* dataType = nullptr) {
    plat::BLOCKID item, value;
    plat::WORD type = 0;
    plat::DWORD length = 0;
    if (plat::ItemInfo(note, "$Fonts", 6, &item, &type, &value, &length) != 0) return {};
    if (dataType != nullptr) *dataType = type;
    const auto* data = static_cast<const std::uint8_t*>(plat::BlockLock(value));
    Bytes bytes(data + 2, data + length);
    plat::BlockUnlock(value);
    return bytes;
}

// The faces of a stored table, checking that the record's length field
// covers them.
Faces StoredFaces(plat::NOTEHANDLE note) {
    Bytes bytes = StoredValue(note);
    Faces faces;
    if (bytes.size() < 6) return faces;
    std::size_t count = bytes[4] | bytes[5] << 8;
    EXPECT_EQ(static_cast<std::size_t>(bytes[2] | bytes[3] << 8), 6 + 34 * count);
    for (std::size_t i = 0; i < count && 6 + 34 * (i + 1) <= bytes.size(); ++i) {
        const char* name = reinterpret_cast<const char*>(bytes.data() + 6 + 34 * i + 2);
        faces.emplace_back(bytes[6 + 34 * i], std::string(name, strnlen(name, 32)));
    }
    return faces;
}

class FontTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(plat::DbCreate(dir.file("fonts.nsf").c_str(), &db), 0);
        dollarNote = Import("dollarfonts.xml");   // "$Fonts": Verdana 5
        layoutNote = Import("form-layout.xml");   // "$Fonts": DaunPenh 5
    }

    void TearDown() override {
        session.reset();
        for (plat::NOTEHANDLE note : notes) plat::NoteClose(note);
        if (db != 0) plat::DbClose(db);
    }

    plat::NOTEID Import(const char* file) {
        plat::DxlImportResult result;
        std::string path = (talix_test::SampleDxlDir() / file).string();
        EXPECT_EQ(plat::DxlImportFile(db, path.c_str(), &result), 0) << result.error;
        return result.notes.empty() ? 0 : result.notes.front();
    }

    // A note held open by the test: a stored one, or a new one with a table.
    plat::NOTEHANDLE Open(plat::NOTEID id) {
        plat::NOTEHANDLE note = 0;
        EXPECT_EQ(id != 0 ? plat::NoteOpen(db, id, 0, &note) : plat::NoteCreate(db, &note), 0);
        notes.push_back(note);
        return note;
    }
    plat::NOTEHANDLE NewNote(const Bytes& table = {}) {
        plat::NOTEHANDLE note = Open(0);
        if (!table.empty()) {
            EXPECT_EQ(plat::ItemAppend(note, 0, "$Fonts", 6, plat::TYPE_COMPOSITE, table.data(),
                                       static_cast<plat::DWORD>(table.size())),
                      0);
        }
        return note;
    }

    // An item connected to the rich text of a note the test holds open.
    ZervaRTItem* Connect(plat::NOTEHANDLE note) {
        auto* item = new ZervaRTItem(session.get());   // owned by the session
        EXPECT_EQ(item->ConnectBackend(note, "Body", 1), 0);
        EXPECT_EQ(item->connected, 1);
        return item;
    }

    std::string FaceName(ZervaRTItem* item, std::uint8_t id) {
        char name[32] = "untouched";
        return item->FindFaceByID(id, name) ? std::string(name) : std::string("<none>");
    }

    std::uint16_t Merge(ZervaRTItem* item, const Bytes& record) {
        return item->MergeWithCDFONTTABLE(record.data(), 0, static_cast<std::uint32_t>(record.size()));
    }

    const FontMap& Map() { return session->workArea->fontMap; }

    talix_test::TempDir dir;
    plat::DBHANDLE db = 0;
    plat::NOTEID dollarNote = 0;
    plat::NOTEID layoutNote = 0;
    std::vector<plat::NOTEHANDLE> notes;
    std::unique_ptr<RARIvoSession> session = std::make_unique<RARIvoSession>();
};

TEST_F(FontTableTest, LoadsTheNoteFacesAfterTheFixedOnes) {
    ZervaRTItem* item = Connect(Open(dollarNote));
    ASSERT_EQ(item->InitialFontTable(), 0);
    EXPECT_EQ(item->work->faceCount, 9);
    EXPECT_EQ(FaceName(item, 5), "Verdana");
    EXPECT_EQ(FaceName(item, 1), "Default Sans Serif");
    EXPECT_EQ(FaceName(item, 4), "Default Monospace");
    EXPECT_EQ(FaceName(item, 77), "<none>");

    ZervaRTItem* bare = Connect(NewNote());
    EXPECT_EQ(bare->InitialFontTable(), 0);
    EXPECT_EQ(bare->work->faceCount, 8);
    Bytes record = FontTableRecord({{5, "Tahoma"}, {6, "Georgia"}});
    EXPECT_EQ(bare->RecordFontFaces(record.data()), 0);
    EXPECT_EQ(FaceName(bare, 6), "Georgia");
    EXPECT_EQ(bare->RecordFontFaces(nullptr), 0);
    EXPECT_EQ(bare->work->faceCount, 8);

    // A "$Fonts" stored as text (as views keep the names of their fonts):
    // the item is usable with the standard faces alone, the log says why,
    // and no face is written over the text.
    plat::NOTEHANDLE text = NewNote();
    ASSERT_EQ(plat::ItemSetText(text, "$Fonts", "5", 1), 0);
    item = Connect(text);
    plat::LogClearRecent();
    EXPECT_EQ(item->InitialFontTable(), 0);
    EXPECT_EQ(item->work->faceCount, 8);
    EXPECT_EQ(FaceName(item, 5), "<none>");
    const std::vector<plat::LogEntry> log = plat::LogRecent();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().text.find("is not a font table"), std::string::npos) << log.back().text;
    EXPECT_EQ(item->AddToFontTable("Arial", 0), 0);
    plat::WORD type = 0;
    StoredValue(text, &type);
    EXPECT_EQ(type, plat::TYPE_TEXT);

    plat::NOTEHANDLE damaged = NewNote(FontTableRecord({{5, "Alpha"}}, 3));
    item = Connect(damaged);
    EXPECT_EQ(item->InitialFontTable(), 257);
    EXPECT_EQ(FaceName(item, 5), "Alpha");
    Bytes before = StoredValue(damaged);
    EXPECT_EQ(item->AddToFontTable("Beta", 0), 0);
    EXPECT_EQ(StoredValue(damaged), before);
}

TEST_F(FontTableTest, AddingFacesWritesATableThatReadsBack) {
    plat::NOTEHANDLE note = NewNote();
    ZervaRTItem* item = Connect(note);
    EXPECT_EQ(item->AddToFontTable("Verdana", 34), 5);
    Bytes first = StoredValue(note);
    EXPECT_EQ(first.size(), 40u);
    EXPECT_EQ(first[7], 34);   // the family
    EXPECT_EQ(StoredFaces(note), (Faces{{5, "Verdana"}}));

    // Known names and generic families write nothing.
    EXPECT_EQ(item->AddToFontTable("verdana", 0), 5);
    EXPECT_EQ(item->DefineFont("monospace"), 4);
    EXPECT_EQ(item->DefineFont("sans-serif"), 1);
    EXPECT_EQ(item->DefineFont("cursive"), 0);
    EXPECT_EQ(StoredValue(note), first);

    EXPECT_EQ(item->DefineFont("Arial"), 6);
    EXPECT_EQ(item->DefineFont(std::string(40, 'x').c_str()), 7);
    EXPECT_EQ(StoredFaces(note), (Faces{{5, "Verdana"}, {6, "Arial"}, {7, std::string(31, 'x')}}));
    EXPECT_EQ(item->work->faceCount, 11);
    EXPECT_EQ(item->DefineFont((std::string(31, 'X') + "yz").c_str()), 7);   // same first 31 characters
    // A long name of characters of three bytes keeps whole characters: ten
    // (30 bytes) of eleven, and names the same face when defined again.
    std::string wide;
    for (int i = 0; i < 11; ++i) wide += "\x14\x7B\x2C";
    EXPECT_EQ(item->DefineFont(wide.c_str()), 8);
    EXPECT_EQ(StoredFaces(note).back(), (std::pair<int, std::string>{8, wide.substr(0, 30)}));
    EXPECT_EQ(item->DefineFont(wide.c_str()), 8);

    // Stored and read again by another item.
    ASSERT_EQ(plat::NoteUpdate(note, 0), 0);
    plat::NOTEID id = 0;
    plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
    ZervaRTItem* again = Connect(Open(id));
    ASSERT_EQ(again->InitialFontTable(), 0);
    EXPECT_EQ(FaceName(again, 6), "Arial");

    // New ids follow the largest stored id, at least 4.
    EXPECT_EQ(Connect(NewNote(FontTableRecord({{2, "Alpha"}})))->AddToFontTable("Beta", 0), 5);
    plat::NOTEHANDLE high = NewNote(FontTableRecord({{9, "Alpha"}, {6, "Gamma"}}));
    EXPECT_EQ(Connect(high)->AddToFontTable("Beta", 0), 10);
    EXPECT_EQ(StoredFaces(high), (Faces{{9, "Alpha"}, {6, "Gamma"}, {10, "Beta"}}));

    // A full table takes no new face but still answers the faces it has.
    plat::NOTEHANDLE full = NewNote(FontTableRecord(ManyFaces(247)));
    item = Connect(full);
    EXPECT_EQ(item->AddToFontTable("Face246", 0), 251);
    EXPECT_EQ(item->AddToFontTable("One More", 0), 0);
    EXPECT_EQ(StoredFaces(full).size(), 247u);

    // Refused: an item not connected, and no name.
    EXPECT_EQ((new ZervaRTItem(session.get()))->DefineFont("Arial"), 0);
    EXPECT_EQ(item->DefineFont(nullptr), 0);
    EXPECT_EQ(item->AddToFontTable("", 0), 0);
}

TEST_F(FontTableTest, MergingIncomingTablesFillsTheFontMap) {
    plat::NOTEHANDLE note = Open(dollarNote);
    ZervaRTItem* item = Connect(note);

    // A new face is added; a known one under another id is mapped.
    ASSERT_EQ(Merge(item, FontTableRecord({{7, "VERDANA"}, {5, "Tahoma"}})), 0);
    EXPECT_EQ(StoredFaces(note), (Faces{{5, "Verdana"}, {6, "Tahoma"}}));
    EXPECT_EQ(item->work->faceCount, 10);
    EXPECT_EQ(Map().count, 2);
    EXPECT_EQ((Bytes{Map().oldIds[0], Map().newIds[0], Map().oldIds[1], Map().newIds[1]}), (Bytes{7, 5, 5, 6}));

    // Faces all present: nothing written, the map still says where they went.
    Bytes stored = StoredValue(note);
    ASSERT_EQ(Merge(item, FontTableRecord({{9, "Tahoma"}})), 0);
    EXPECT_EQ(StoredValue(note), stored);
    EXPECT_EQ(Map().count, 1);
    EXPECT_EQ(Map().newIds[0], 6);
    ASSERT_EQ(Merge(item, FontTableRecord({{5, "Verdana"}, {6, "Tahoma"}})), 0);
    EXPECT_EQ(Map().count, 0);

    // A damaged incoming record is refused.
    EXPECT_EQ(Merge(item, FontTableRecord({{5, "Arial"}}, 3)), 1028);
    EXPECT_EQ(StoredValue(note), stored);

    // A note without a table takes the incoming one as it is.
    plat::NOTEHANDLE bare = NewNote();
    ZervaRTItem* other = Connect(bare);
    Bytes incoming = FontTableRecord({{7, "Tahoma"}, {8, "Georgia"}});
    ASSERT_EQ(Merge(other, incoming), 0);
    EXPECT_EQ(StoredValue(bare), incoming);
    EXPECT_EQ(Map().count, 0);
    EXPECT_EQ(FaceName(other, 8), "Georgia");

    // What does not fit the table is refused whole.
    plat::NOTEHANDLE crowded = NewNote(FontTableRecord(ManyFaces(246)));
    item = Connect(crowded);
    stored = StoredValue(crowded);
    EXPECT_EQ(Merge(item, FontTableRecord({{5, "New One"}, {6, "New Two"}})), 257);
    EXPECT_EQ(StoredValue(crowded), stored);
    EXPECT_EQ(Map().count, 0);
    EXPECT_NE(Merge(item, FontTableRecord(ManyFaces(256))), 0);
    EXPECT_EQ(StoredValue(crowded), stored);
    EXPECT_EQ(Merge(item, FontTableRecord({{5, "New One"}})), 0);
    EXPECT_EQ(Map().newIds[0], 251);
}

TEST_F(FontTableTest, MergingTheTableOfAnotherNote) {
    plat::NOTEHANDLE note = Open(dollarNote);
    plat::NOTEHANDLE layout = Open(layoutNote);
    ZervaRTItem* item = Connect(note);

    ASSERT_EQ(item->MergeFontTables(layout), 0);
    EXPECT_EQ(StoredFaces(note), (Faces{{5, "Verdana"}, {6, "DaunPenh"}}));
    EXPECT_EQ(Map().count, 1);
    EXPECT_EQ((Bytes{Map().oldIds[0], Map().newIds[0]}), (Bytes{5, 6}));
    EXPECT_EQ(FaceName(item, 6), "DaunPenh");

    // A note without a table changes nothing.
    plat::NOTEHANDLE bare = NewNote();
    Bytes before = StoredValue(note);
    ASSERT_EQ(item->MergeFontTables(bare), 0);
    EXPECT_EQ(StoredValue(note), before);
    EXPECT_EQ(Map().count, 0);

    // A note without a table gets a copy of the other one; the same faces
    // in the same order then need no map.
    ZervaRTItem* other = Connect(bare);
    ASSERT_EQ(other->MergeFontTables(layout), 0);
    EXPECT_EQ(StoredValue(bare), StoredValue(layout));
    EXPECT_EQ(other->work->faceCount, 9);
    ASSERT_EQ(other->MergeFontTables(layout), 0);
    EXPECT_EQ(Map().count, 0);
    EXPECT_EQ(StoredFaces(bare).size(), 1u);
}

TEST_F(FontTableTest, FontSpecificationsNameFacesOfTheTable) {
    ZervaRTItem* item = Connect(Open(dollarNote));
    ASSERT_EQ(item->DefineFont("Arial Black"), 6);
    ASSERT_EQ(item->DefineFont("Arial"), 7);
    ASSERT_EQ(item->DefineFont("Wingdings 3"), 8);
    ASSERT_EQ(item->DefineFont("Bodoni MT Italic"), 9);
    struct Row {
        const char* text;
        std::uint8_t face, attributes, color, size;
    };
    // Applied to face 1, plain, colour 5, 10 points.
    const Row rows[] = {
        {"Arial 12 DARKGREEN", 7, 0, 9, 12},   // "Arial Black" does not occur
        {"arial black 14", 6, 0, 5, 14},       // the longest name that occurs wins
        {"Courier 9", 4, 0, 5, 9},
        {"Times 8 RED", 1, 0, 2, 8},           // no face of that name
        // The words and digits of a face's name are the face's alone, as
        // the Font property writes them back.
        {"Plain Red 12pt Arial Black", 6, 0, 2, 12},
        {"Bold Blue 14pt Wingdings 3", 8, kAttrBold, 4, 14},
        {"Wingdings 3", 8, 0, 5, 10},
        {"Red 11pt Bodoni MT Italic", 9, 0, 2, 11},
        {"Italic Bodoni MT Italic", 9, kAttrItalic, 5, 10},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        ParsedFontSpec spec, spare;
        FontSpecMask mask, spareMask;
        ASSERT_EQ(ParseFontSpec(row.text, nullptr, item, &spec, &spare, &mask, &spareMask), 0);
        FontId font{1, 0, 5, 10};
        ApplyFontSpec(&font, nullptr, nullptr, spec, mask);
        EXPECT_EQ(PackFontId(font), PackFontId(FontId{row.face, row.attributes, row.color, row.size}));
    }
}

TEST_F(FontTableTest, StyleMappings) {
    auto* item = new ZervaRTItem(session.get());
    item->CreateInternalStyleMapping("<b>", "</b>", 0x0A000105);
    // Markup longer than its place is kept whole, never cut inside a tag.
    const std::string opening = "<span style=\"" + std::string(200, 's') + "\">";
    const std::string closing = "</sub></sup></s></u></i></b></font>";
    item->CreateInternalStyleMapping(opening.c_str(), closing.c_str(), 0x0A000105);
    item->CreateInternalStyleMapping("<i>", nullptr, 0x0C000001);

    StyleMappingInfo* found = item->GetStyleMappingByFontID(0x0A000105, 1);
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(MappingOpening(*found), "<b>");
    EXPECT_STREQ(MappingClosing(*found), "</b>");
    EXPECT_EQ(found->flags, 0x10);
    ASSERT_NE(found->next, nullptr);
    EXPECT_EQ(MappingOpening(*found->next), opening);
    EXPECT_EQ(MappingClosing(*found->next), closing);
    EXPECT_STREQ(MappingOpening(*item->GetStyleMappingByFontID(0x0C000001, 1)), "<i>");
    EXPECT_STREQ(MappingClosing(*item->GetStyleMappingByFontID(0x0C000001, 1)), "");
    EXPECT_EQ(item->GetStyleMappingByFontID(0x0A000105, 0), nullptr);   // not an external mapping
    EXPECT_EQ(item->GetStyleMappingByFontID(0x0B000105, 1), nullptr);

    item->ClearStyleMappings(1);
    EXPECT_EQ(item->GetStyleMappingByFontID(0x0A000105, 1), nullptr);
    item->CreateInternalStyleMapping("Again", opening.c_str(), 1);   // left for the item to free
    item->CreateInternalStyleMapping("<u>", "</u>", 2);
    EXPECT_NE(item->GetStyleMappingByFontID(1, 1), nullptr);
    EXPECT_STREQ(MappingOpening(*item->GetStyleMappingByFontID(2, 1)), "<u>");
    delete item;
}

} // namespace
