// DXL import: every item read back from the database against an independent
// reading of the DXL, the note header, replacing notes, and bad input that
// must leave the database as it was.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "formula_codec.h"
#include "platform/testing.h"
#include "status_codes.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using namespace plat;
namespace fs = std::filesystem;

// ---- Reading what the database holds ------------------------------------------

struct StoredNoteItem {
    std::string name;    // as stored (LMBCS)
    WORD flags = 0;
    WORD type = 0;
    std::string value;   // after the data-type word
};

struct StoredNote {
    WORD noteClass = 0;
    ORIGINATORID oid;
    std::vector<StoredNoteItem> items;
};

StoredNote ReadNote(DBHANDLE db, NOTEID id) {
    StoredNote stored;
    NOTEHANDLE note = 0;
    EXPECT_EQ(NoteOpen(db, id, OPEN_NOTE_DEFAULT, &note), NOERROR);
    if (note == 0) return stored;
    NoteGetInfo(note, NOTE_FIELD_CLASS, &stored.noteClass);
    NoteGetInfo(note, NOTE_FIELD_OID, &stored.oid);
    ItemScan(note, [&](BLOCKID item) -> STATUS {
        char name[1024];
        StoredNoteItem each;
        BLOCKID value;
        DWORD length = 0;
        EXPECT_EQ(ItemQuery(item, name, sizeof name, &each.flags, &each.type, &value, &length), NOERROR);
        each.name = name;
        const auto* bytes = static_cast<const char*>(BlockLock(value));
        EXPECT_GE(length, 2u);
        if (bytes != nullptr && length >= 2) each.value.assign(bytes + 2, length - 2);
        BlockUnlock(value);
        stored.items.push_back(std::move(each));
        return NOERROR;
    });
    NoteClose(note);
    return stored;
}

// Note ids and UNIDs and item counts: what a database holds, to compare
// before and after an import that must not change it.
std::vector<std::string> Snapshot(DBHANDLE db) {
    std::vector<std::string> notes;
    DbScanNotes(db, [&](NOTEID id, WORD) -> STATUS {
        StoredNote note = ReadNote(db, id);
        std::string line = std::to_string(id) + " " + std::to_string(note.items.size());
        for (const auto& item : note.items) line += " " + item.name + ":" + std::to_string(item.value.size());
        notes.push_back(line);
        return NOERROR;
    });
    return notes;
}

std::string UnidText(const ORIGINATORID& oid) {
    char text[33];
    std::snprintf(text, sizeof text, "%08X%08X%08X%08X", oid.File.Innards[1], oid.File.Innards[0], oid.Note.Innards[1],
                  oid.Note.Innards[0]);
    return text;
}

void WriteDxl(const fs::path& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

WORD WordAt(const std::string& bytes, size_t at) {
    return static_cast<WORD>(static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

DWORD DwordAt(const std::string& bytes, size_t at) {
    return WordAt(bytes, at) | (static_cast<DWORD>(WordAt(bytes, at + 2)) << 16);
}

// LMBCS with 0x00 separators to UTF-8, piece by piece.
std::string Native(const std::string& lmbcs) {
    std::string out;
    size_t start = 0;
    for (size_t end; (end = lmbcs.find('\0', start)) != std::string::npos; start = end + 1) {
        out += LmbcsToNative(lmbcs.substr(start, end - start)) + '\0';
    }
    return out + LmbcsToNative(lmbcs.substr(start));
}

// ---- An independent reading of the DXL -------------------------------------------

std::string Base64(const std::string& text) {
    static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0, count = 0;
    for (char c : text) {
        size_t at = kAlphabet.find(c);
        if (at == std::string::npos) continue;   // whitespace and padding
        bits = (bits << 6) | static_cast<unsigned>(at);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

std::string Prop(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, BAD_CAST name);
    std::string text = value != nullptr ? reinterpret_cast<char*>(value) : "";
    xmlFree(value);
    return text;
}

bool Named(xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, BAD_CAST name) == 0;
}

std::vector<xmlNode*> Children(xmlNode* node, const char* name = nullptr) {
    std::vector<xmlNode*> out;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && (name == nullptr || Named(child, name))) out.push_back(child);
    }
    return out;
}

// Text content with a NUL for each <break/>.
std::string TextOf(xmlNode* node) {
    std::string out;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type == XML_TEXT_NODE) out += reinterpret_cast<const char*>(child->content);
        if (Named(child, "break")) out.push_back('\0');
    }
    return out;
}

// Checks one <item> against the item read back; where names the place.
void CheckItem(DBHANDLE db, xmlNode* item, const StoredNoteItem& stored, const std::string& where) {
    SCOPED_TRACE(where + " item " + Prop(item, "name"));
    EXPECT_EQ(LmbcsToNative(stored.name), Prop(item, "name"));
    WORD flags = 0;
    const std::pair<const char*, WORD> kFlags[] = {{"sign", 1}, {"seal", 2}, {"summary", 4}, {"authors", 0x20},
                                                   {"names", 0x40}, {"placeholder", 0x100}, {"protected", 0x200},
                                                   {"readers", 0x400}};
    for (const auto& [name, bit] : kFlags) {
        if (Prop(item, name) == "true") flags |= bit;
    }
    EXPECT_EQ(stored.flags, flags);
    xmlNode* value = Children(item).at(0);
    std::string kind = reinterpret_cast<const char*>(value->name);
    if (kind == "rawitemdata") {
        EXPECT_EQ(stored.type, std::stoul(Prop(value, "type"), nullptr, 16));
        EXPECT_EQ(stored.value, Base64(TextOf(value)));
    } else if (kind == "text") {
        EXPECT_EQ(stored.type, TYPE_TEXT);
        EXPECT_EQ(Native(stored.value), TextOf(value));
    } else if (kind == "textlist") {
        EXPECT_EQ(stored.type, TYPE_TEXT_LIST);
        auto entries = Children(value, "text");
        ASSERT_EQ(WordAt(stored.value, 0), entries.size());
        size_t at = 2 + 2 * entries.size();
        for (size_t i = 0; i < entries.size(); ++i) {
            WORD length = WordAt(stored.value, 2 + 2 * i);
            ASSERT_LE(at + length, stored.value.size());
            EXPECT_EQ(Native(stored.value.substr(at, length)), TextOf(entries[i]));
            at += length;
        }
        EXPECT_EQ(at, stored.value.size());
    } else if (kind == "number") {
        EXPECT_EQ(stored.type, TYPE_NUMBER);
        ASSERT_EQ(stored.value.size(), 8u);
        double number = 0;
        std::memcpy(&number, stored.value.data(), 8);
        EXPECT_EQ(number, std::stod(TextOf(value)));
    } else if (kind == "datetime") {
        EXPECT_EQ(stored.type, TYPE_TIME);
        TIMEDATE expected;
        ASSERT_EQ(TimeFromExchangeText(TextOf(value).c_str(), Prop(value, "dst") == "true", &expected), NOERROR);
        EXPECT_EQ(stored.value, std::string(reinterpret_cast<const char*>(&expected), 8));
    } else if (kind == "formula") {
        EXPECT_EQ(stored.type, TYPE_FORMULA);
        if (Prop(value, "compiled") == "true") {
            EXPECT_EQ(stored.value, Base64(TextOf(value)));
        } else {
            std::string source = NativeToLmbcs(TextOf(value));
            ASSERT_EQ(stored.value.size(), 6 + source.size() + source.size() % 2);
            EXPECT_EQ(WordAt(stored.value, 0), 0x5446);
            EXPECT_EQ(WordAt(stored.value, 2), 1);
            EXPECT_EQ(WordAt(stored.value, 4), source.size());
            EXPECT_EQ(stored.value.substr(6, source.size()), source);
        }
    } else if (kind == "object") {
        EXPECT_EQ(stored.type, TYPE_OBJECT);
        xmlNode* file = Children(value, "file").at(0);
        std::string name = NativeToLmbcs(Prop(file, "name"));
        std::string data = Base64(TextOf(Children(file, "filedata").at(0)));
        ASSERT_EQ(stored.value.size(), 36 + name.size());
        EXPECT_EQ(WordAt(stored.value, 0), 0);                  // ObjectType
        EXPECT_EQ(WordAt(stored.value, 6), name.size());        // FileNameLength
        EXPECT_EQ(DwordAt(stored.value, 16), data.size());      // FileSize
        EXPECT_EQ(stored.value.substr(36), name);
        DHANDLE block = NULLHANDLE;
        ASSERT_EQ(DbReadObject(db, DwordAt(stored.value, 2), 0, 0xFFFFFFFF, &block), NOERROR);
        EXPECT_EQ(std::string(static_cast<const char*>(MemLock(block)), MemSize(block)), data);
        MemUnlock(block);
        MemFree(block);
    } else if (kind == "numberlist" || kind == "datetimelist") {
        EXPECT_EQ(stored.type, kind == "numberlist" ? TYPE_NUMBER_RANGE : TYPE_TIME_RANGE);
    } else {
        ADD_FAILURE() << "unexpected value element " << kind;
    }
}

// Checks a note read back against its element: items in order, UNID and
// sequence.
void CheckNote(DBHANDLE db, xmlNode* element, const StoredNote& note, const std::string& where) {
    auto items = Children(element, "item");
    size_t first = 0;
    if (Named(element, "sharedfield")) {   // its name comes first, as $TITLE
        ASSERT_FALSE(note.items.empty());
        EXPECT_EQ(note.items[0].name, "$TITLE");
        EXPECT_EQ(note.items[0].value, Prop(element, "name"));
        first = 1;
    }
    ASSERT_EQ(note.items.size(), items.size() + first);
    for (size_t i = 0; i < items.size(); ++i) CheckItem(db, items[i], note.items[i + first], where);
    for (xmlNode* info : Children(element, "noteinfo")) {
        EXPECT_EQ(UnidText(note.oid), Prop(info, "unid"));
        EXPECT_EQ(std::to_string(note.oid.Sequence), Prop(info, "sequence"));
    }
}

// Imports a file into a fresh database and checks every note and item
// against the DXL; returns the notes read back.
std::vector<StoredNote> ImportAndCheck(const fs::path& path) {
    SCOPED_TRACE(path.string());
    talix_test::TempDir dir;
    DBHANDLE db = 0;
    EXPECT_EQ(DbCreate(dir.file("check.db").c_str(), &db), NOERROR);
    DxlImportResult result;
    EXPECT_EQ(DxlImportFile(db, path.c_str(), &result), NOERROR) << result.error;
    EXPECT_EQ(result.error, "");
    // Read back from the database closed and opened again.
    DbClose(db);
    EXPECT_EQ(DbOpen(dir.file("check.db").c_str(), &db), NOERROR);

    std::vector<StoredNote> stored;
    std::string text = talix_test::ReadFile(path);
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, XML_PARSE_NONET);
    xmlNode* root = xmlDocGetRootElement(doc);
    std::vector<xmlNode*> notes = Named(root, "database") ? Children(root) : std::vector<xmlNode*>{root};
    EXPECT_EQ(result.notes.size(), notes.size());
    for (size_t n = 0; n < notes.size() && n < result.notes.size(); ++n) {
        stored.push_back(ReadNote(db, result.notes[n]));
        CheckNote(db, notes[n], stored.back(), path.filename());
    }
    xmlFreeDoc(doc);
    DbClose(db);
    return stored;
}

TEST(DxlImport, EveryRealFileReadsBackItemByItem) {
    auto files = talix_test::SampleAndSharedDxlFiles();
    ASSERT_GE(files.size(), 10u);
    for (const auto& file : files) ImportAndCheck(file);

    auto count = [](const StoredNote& note, const char* name) {
        size_t n = 0;
        for (const auto& item : note.items) n += item.name == name;
        return n;
    };
    // An image resource stored as several items of other names.
    EXPECT_EQ(count(ImportAndCheck(talix_test::SampleDxlDir() / "imageres-untitled2.xml").at(0), "$ImageData"), 1u);
    // Items stored as many same-named items, in the shared set when it holds
    // these files.
    const fs::path shared = talix_test::SharedDxlDir();
    const fs::path components = shared / "testDbDesignForms/form-components.xml";
    const fs::path large = shared / "testDbDesign/fileres-largels.xml";
    if (!shared.empty() && fs::exists(components))
        EXPECT_EQ(count(ImportAndCheck(components).at(0), "$Body"), 13u);
    if (!shared.empty() && fs::exists(large)) EXPECT_EQ(count(ImportAndCheck(large).at(0), "$FileData"), 5u);
}

TEST(DxlImport, NoteHeaderClassAndOddRecordAsGiven) {
    fs::path samples = talix_test::SampleDxlDir();
    StoredNote form = ImportAndCheck(samples / "2194.xml").at(0);
    EXPECT_EQ(form.noteClass, NOTE_CLASS_FORM);
    EXPECT_EQ(ImportAndCheck(samples / "view-all.xml").at(0).noteClass, NOTE_CLASS_VIEW | NOTE_CLASS_DEFAULT);
    EXPECT_EQ(ImportAndCheck(samples / "2206.xml").at(0).noteClass, NOTE_CLASS_INFO | NOTE_CLASS_DEFAULT);
    EXPECT_EQ(ImportAndCheck(samples / "field-testfield.xml").at(0).noteClass, NOTE_CLASS_FIELD);

    // $Info of form-testinher.xml: one 33-byte record, no pad byte.
    StoredNote inher = ImportAndCheck(samples / "form-testinher.xml").at(0);
    auto info = std::find_if(inher.items.begin(), inher.items.end(), [](auto& item) { return item.name == "$Info"; });
    ASSERT_NE(info, inher.items.end());
    EXPECT_EQ(info->value.size(), 33u);

    // Dates of <noteinfo> land in the header; the DXL's note id does not.
    talix_test::TempDir dir;
    DBHANDLE db = 0;
    ASSERT_EQ(DbCreate(dir.file("h.db").c_str(), &db), NOERROR);
    DxlImportResult result;
    ASSERT_EQ(DxlImportFile(db, (samples / "2194.xml").c_str(), &result), NOERROR) << result.error;
    EXPECT_NE(result.notes.at(0), 892u);
    NOTEHANDLE note = 0;
    ASSERT_EQ(NoteOpen(db, result.notes[0], OPEN_NOTE_DEFAULT, &note), NOERROR);
    TIMEDATE created, expected;
    ORIGINATORID oid;
    NoteGetInfo(note, NOTE_FIELD_CREATED, &created);
    NoteGetInfo(note, NOTE_FIELD_OID, &oid);
    ASSERT_EQ(TimeFromExchangeText("19870903T104705,79-05", false, &expected), NOERROR);
    EXPECT_EQ(std::memcmp(&created, &expected, sizeof expected), 0);
    ASSERT_EQ(TimeFromExchangeText("19891109T215306,18+00", false, &expected), NOERROR);
    EXPECT_EQ(std::memcmp(&oid.SequenceTime, &expected, sizeof expected), 0);
    NoteClose(note);
    DbClose(db);
}

// ---- Values of every kind, in a DXL of our own ------------------------------------

const char kAllKinds[] = R"(<?xml version='1.0' encoding='utf-8'?>
<database>
<note class='document'>
<noteinfo unid='0123456789ABCDEF0123456789ABCDEF' sequence='3'/>
<item name='Text' summary='true' names='true'><text>Zürich
line two<break/>after</text></item>
<item name='List' readers='true'><textlist><text>one</text><text>ç</text><text/></textlist></item>
<item name='Number' protected='true'><number>-2.5e3</number></item>
<item name='Numbers'><numberlist><number>1</number><number>0.25</number></numberlist></item>
<item name='When'><datetime dst='true'>20200728T122240,71-04</datetime></item>
<item name='Whens'><datetimelist><datetime>20200727</datetime><datetimepair><datetime>20200101</datetime><datetime>20200102</datetime></datetimepair></datetimelist></item>
<item name='Odd'><formula>"ab"</formula></item>
<item name='Even'><formula>@Now</formula></item>
<item name='Raw'><rawitemdata type='1a'>AAEC</rawitemdata></item>
<item name='Empty'><rawitemdata type='0'></rawitemdata></item>
<item name='$FILE' sign='true'><object><file hosttype='cdstorage' compression='lz1' flags='storedindoc mime' name='a.txt' size='5'>
<created><datetime>20210619T150226,17-04</datetime></created><filedata>aGVsbG8=</filedata></file></object></item>
</note>
<document><item name='Subject'><text>second</text></item></document>
</database>)";

TEST(DxlImport, ValuesOfEveryKindAreStoredInTheirFormat) {
    talix_test::TempDir dir;
    WriteDxl(dir.path() / "kinds.xml", kAllKinds);
    std::vector<StoredNote> notes = ImportAndCheck(dir.path() / "kinds.xml");
    ASSERT_EQ(notes.size(), 2u);
    const auto& items = notes[0].items;
    ASSERT_EQ(items.size(), 11u);
    EXPECT_EQ(UnidText(notes[0].oid), "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(notes[0].oid.Sequence, 3u);
    EXPECT_EQ(notes[1].noteClass, NOTE_CLASS_DOCUMENT);

    EXPECT_NE(items[0].value.find("\n"), std::string::npos);   // a literal newline stays 0x0A
    EXPECT_EQ(items[0].value.find('\0'), items[0].value.size() - 6);
    // Number lists and date lists: RANGE (entries, pairs), then the values.
    EXPECT_EQ(items[3].type, TYPE_NUMBER_RANGE);
    ASSERT_EQ(items[3].value.size(), 4u + 16u);
    EXPECT_EQ(WordAt(items[3].value, 0), 2);
    EXPECT_EQ(WordAt(items[3].value, 2), 0);
    double second = 0;
    std::memcpy(&second, items[3].value.data() + 12, 8);
    EXPECT_EQ(second, 0.25);
    EXPECT_EQ(items[5].type, TYPE_TIME_RANGE);
    ASSERT_EQ(items[5].value.size(), 4u + 8u + 16u);
    EXPECT_EQ(WordAt(items[5].value, 0), 1);
    EXPECT_EQ(WordAt(items[5].value, 2), 1);
    // Formula sources: an odd total gets one zero pad byte.
    EXPECT_EQ(items[6].value, std::string("\x46\x54\x01\x00\x04\x00\"ab\"", 10));
    EXPECT_EQ(items[7].value, std::string("\x46\x54\x01\x00\x04\x00@Now", 10));
    EXPECT_EQ(items[8].type, 0x1A);
    EXPECT_EQ(items[8].value, std::string("\x00\x01\x02", 3));
    EXPECT_EQ(items[9].value, "");
    // The file object: host type, compression, flags, size and dates.
    const std::string& file = items[10].value;
    EXPECT_EQ(WordAt(file, 8), 0x0800);
    EXPECT_EQ(WordAt(file, 10), 2);
    EXPECT_EQ(WordAt(file, 14), 0x0006);
    TIMEDATE created;
    ASSERT_EQ(TimeFromExchangeText("20210619T150226,17-04", false, &created), NOERROR);
    EXPECT_EQ(file.substr(20, 8), std::string(reinterpret_cast<const char*>(&created), 8));

    std::string source;
    EXPECT_TRUE(FormulaContainerDecode(items[6].value.data(), items[6].value.size(), &source));
    EXPECT_EQ(source, "\"ab\"");
}

TEST(DxlImport, FormulaContainerRejectsDamagedBytes) {
    std::string container = FormulaContainerEncode("x := 1");
    std::string source = "kept";
    for (size_t cut = 0; cut < container.size(); ++cut) {
        EXPECT_FALSE(FormulaContainerDecode(container.data(), cut, &source)) << cut;
    }
    std::string longer = container + '\0';
    EXPECT_FALSE(FormulaContainerDecode(longer.data(), longer.size(), &source));
    std::string badVersion = container;
    badVersion[2] = 2;
    EXPECT_FALSE(FormulaContainerDecode(badVersion.data(), badVersion.size(), &source));
    std::string badPad = FormulaContainerEncode("odd");
    badPad.back() = 'x';
    EXPECT_FALSE(FormulaContainerDecode(badPad.data(), badPad.size(), &source));
    EXPECT_EQ(source, "kept");
    EXPECT_TRUE(FormulaContainerDecode(container.data(), container.size(), &source));
    EXPECT_EQ(source, "x := 1");
    EXPECT_EQ(FormulaContainerEncode(std::string(70000, 'a')), "");
}

TEST(DxlImport, SharedFieldLogsThatItsFieldDescriptionIsSkipped) {
    LogClearRecent();
    ImportAndCheck(talix_test::SampleDxlDir() / "field-testfield.xml");
    bool logged = false;
    for (const auto& entry : LogRecent()) logged = logged || entry.text.find("testfield") != std::string::npos;
    EXPECT_TRUE(logged);
}

// ---- Replacing, and input that must store nothing ----------------------------------

struct ImportDb {
    talix_test::TempDir dir;
    DBHANDLE db = 0;
    ImportDb() { EXPECT_EQ(DbCreate(dir.file("t.db").c_str(), &db), NOERROR); }
    ~ImportDb() { DbClose(db); }
    STATUS Import(const std::string& text, DxlImportResult* result) {
        return DxlImportText(db, text.data(), text.size(), "in.xml", result);
    }
};

std::string OneNote(const std::string& unid, const std::string& items) {
    return "<note class='form'><noteinfo unid='" + unid + "'/>" + items + "</note>";
}

// Base64 values are decoded across line breaks and blanks, with one or two
// pad characters (and blanks after them).
TEST(DxlImport, Base64ValuesDecodeAcrossWhitespaceAndPadding) {
    ImportDb t;
    DxlImportResult result;
    ASSERT_EQ(t.Import("<note class='form'>"
                       "<item name='Two'><rawitemdata type='1'>AAEC\n AwQ=\n</rawitemdata></item>"
                       "<item name='One'><rawitemdata type='1'>AAEC Aw== </rawitemdata></item>"
                       "<item name='None'><rawitemdata type='1'>AAECAwQF</rawitemdata></item></note>",
                       &result),
              NOERROR)
        << result.error;
    ASSERT_EQ(result.notes.size(), 1u);
    NOTEHANDLE note = 0;
    ASSERT_EQ(NoteOpen(t.db, result.notes[0], 0, &note), NOERROR);
    auto value = [note](const char* name) {
        BLOCKID item, block;
        WORD type = 0;
        DWORD length = 0;
        if (ItemInfo(note, name, static_cast<WORD>(std::strlen(name)), &item, &type, &block, &length) != NOERROR)
            return std::string("missing");
        return std::string(static_cast<const char*>(BlockLock(block)), length);
    };
    EXPECT_EQ(value("Two"), std::string("\x01\x00\x00\x01\x02\x03\x04", 7));
    EXPECT_EQ(value("One"), std::string("\x01\x00\x00\x01\x02\x03", 6));
    EXPECT_EQ(value("None"), std::string("\x01\x00\x00\x01\x02\x03\x04\x05", 8));
    NoteClose(note);
}

// Imports one note of the items given and checks each item's name and
// value as stored.
void ExpectImportedItems(ImportDb& t, const std::string& items,
                         const std::vector<std::pair<std::string, std::string>>& expected) {
    DxlImportResult result;
    ASSERT_EQ(t.Import("<note class='form'>" + items + "</note>", &result), NOERROR) << result.error;
    ASSERT_EQ(result.notes.size(), 1u);
    StoredNote note = ReadNote(t.db, result.notes[0]);
    ASSERT_EQ(note.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(note.items[i].name, expected[i].first);
        EXPECT_EQ(note.items[i].value, expected[i].second) << expected[i].first;
    }
}

// Long values decode the same whatever their layout: in lines, in one run,
// or split by a comment into two pieces of text; a bad character far into a
// long run is still found and named.
TEST(DxlImport, LongBase64ValuesDecodeWhateverTheirLayout) {
    const auto encode = talix_test::Base64Encode;
    std::string bytes;
    for (int i = 0; i < 1000; ++i) bytes.push_back(static_cast<char>(i * 37 + 11));
    std::string items;
    std::vector<std::pair<std::string, std::string>> expected;
    for (size_t length : {997, 998, 999, 1000}) {
        const std::string data = bytes.substr(0, length), text = encode(data);
        std::string lines;
        for (size_t at = 0; at < text.size(); at += 76) lines += text.substr(at, 76) + "\n";
        const std::string suffix = std::to_string(length);
        items += "<item name='Lines" + suffix + "'><rawitemdata type='1'>" + lines + "</rawitemdata></item>";
        items += "<item name='Flat" + suffix + "'><rawitemdata type='1'>" + text + "</rawitemdata></item>";
        items += "<item name='Split" + suffix + "'><rawitemdata type='1'>" + text.substr(0, 301) + "<!-- -->" +
                 text.substr(301) + "</rawitemdata></item>";
        for (const char* layout : {"Lines", "Flat", "Split"}) expected.emplace_back(layout + suffix, data);
    }
    ImportDb t;
    ExpectImportedItems(t, items, expected);

    std::string bad = encode(bytes);
    bad[502] = '*';
    DxlImportResult refused;
    EXPECT_EQ(t.Import("<note class='form'><item name='Bad'><rawitemdata type='1'>" + bad + "</rawitemdata></item></note>",
                       &refused),
              ERR_DXL_VALUE);
    EXPECT_NE(refused.error.find("invalid character '*' in base64 data"), std::string::npos) << refused.error;
}

// A long run decodes the same whatever breaks it and wherever: every
// character of the alphabet at every place of a run, blanks and line breaks
// at any place; and any other character at any place of a run is refused
// (characters just outside the alphabet's ranges, bytes of a non-ASCII
// character, a pad character within the data).
TEST(DxlImport, Base64RunsDecodeOrFailWhateverStandsWhere) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string items;
    std::vector<std::pair<std::string, std::string>> expected;
    int count = 0;
    for (size_t rotate = 0; rotate < 20; ++rotate) {
        const std::string run = (alphabet.substr(rotate) + alphabet + alphabet).substr(0, 96);
        for (const char* blank : {"", "\n", " ", "\r\n", "\t  "}) {
            const std::string text = run.substr(0, rotate * 5) + blank + run.substr(rotate * 5);
            const std::string name = "R" + std::to_string(count++);
            items += "<item name='" + name + "'><rawitemdata type='1'>" + text + "</rawitemdata></item>";
            expected.emplace_back(name, Base64(text));
        }
    }
    ImportDb t;
    ExpectImportedItems(t, items, expected);

    const std::string run = (alphabet + alphabet).substr(5, 48);
    for (const char* bad : {"*", ",", ".", "-", ":", "@", "[", "`", "{", "_", "\x7F", "\xC3\xA9", "="}) {
        for (size_t at = 0; at < run.size(); ++at) {
            std::string text = run;
            text.insert(at, bad);
            DxlImportResult refused;
            EXPECT_EQ(t.Import("<note class='form'><item name='Bad'><rawitemdata type='1'>" + text +
                                   "</rawitemdata></item></note>",
                               &refused),
                      ERR_DXL_VALUE)
                << bad << " at " << at;
            EXPECT_NE(refused.error.find("base64 data"), std::string::npos) << refused.error;
        }
    }
}

TEST(DxlImport, ReimportReplacesTheNoteWithTheSameUnid) {
    ImportDb t;
    DxlImportResult first, again, changed;
    std::string path = (talix_test::SampleDxlDir() / "2194.xml").string();
    ASSERT_EQ(DxlImportFile(t.db, path.c_str(), &first), NOERROR) << first.error;
    auto before = Snapshot(t.db);
    ASSERT_EQ(DxlImportFile(t.db, path.c_str(), &again), NOERROR) << again.error;
    EXPECT_EQ(again.notes, first.notes);
    EXPECT_EQ(Snapshot(t.db), before);

    // The replacing content, with an attachment, then content without it:
    // the replaced attachment's object goes with it.
    const std::string unid = "852559E00078377C052556C20056B593";
    const std::string file = "<item name='$FILE'><object><file name='f' size='5'><filedata>aGVsbG8=</filedata></file>"
                             "</object></item>";
    ASSERT_EQ(t.Import(OneNote(unid, file), &changed), NOERROR) << changed.error;
    EXPECT_EQ(changed.notes, first.notes);
    StoredNote withFile = ReadNote(t.db, first.notes[0]);
    ASSERT_EQ(withFile.items.size(), 1u);
    DWORD object = DwordAt(withFile.items[0].value, 2), size = 0;
    EXPECT_EQ(DbObjectSize(t.db, object, &size), NOERROR);
    EXPECT_EQ(size, 5u);

    ASSERT_EQ(t.Import(OneNote(unid, "<item name='Only'><text>x</text></item>"), &changed), NOERROR) << changed.error;
    StoredNote note = ReadNote(t.db, first.notes[0]);
    ASSERT_EQ(note.items.size(), 1u);
    EXPECT_EQ(note.items[0].name, "Only");
    EXPECT_EQ(Snapshot(t.db).size(), 1u);
    EXPECT_NE(DbObjectSize(t.db, object, &size), NOERROR);
}

// A stored note of many items, some names repeated, replaced by content of
// other names and more items: the note holds the new items alone, in order.
TEST(DxlImport, ReimportReplacesANoteOfManyItems) {
    ImportDb t;
    const std::string unid = "0123456789ABCDEF0123456789ABCDEF";
    auto items = [](const char* prefix, int count) {
        std::string out;
        for (int i = 0; i < count; ++i) {
            const std::string name = prefix + std::to_string(i % 3 == 2 ? i - 1 : i);
            out += "<item name='" + name + "'><text>" + std::to_string(i) + "</text></item>";
        }
        return out;
    };
    DxlImportResult first, second;
    ASSERT_EQ(t.Import(OneNote(unid, items("Old", 20000)), &first), NOERROR) << first.error;
    ASSERT_EQ(first.notes.size(), 1u);
    ASSERT_EQ(ReadNote(t.db, first.notes[0]).items.size(), 20000u);
    ASSERT_EQ(t.Import(OneNote(unid, items("New", 30000)), &second), NOERROR) << second.error;
    EXPECT_EQ(second.notes, first.notes);
    StoredNote note = ReadNote(t.db, first.notes[0]);
    ASSERT_EQ(note.items.size(), 30000u);
    for (size_t i = 0; i < note.items.size(); ++i) {
        const size_t named = i % 3 == 2 ? i - 1 : i;
        ASSERT_EQ(note.items[i].name, "New" + std::to_string(named)) << i;
        ASSERT_EQ(note.items[i].value, std::to_string(i)) << i;
    }
    EXPECT_EQ(Snapshot(t.db).size(), 1u);
}

std::string Repeat(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

// An element name of 3,000 two-byte characters.
std::string LongName() {
    std::string name;
    for (int i = 0; i < 3000; ++i) name += "\xC3\xA9";
    return name;
}

TEST(DxlImport, BadInputIsReportedAndStoresNothing) {
    ImportDb t;
    DxlImportResult seed;
    const std::string unid = "00000000000000010000000000000002";
    ASSERT_EQ(t.Import(OneNote(unid, "<item name='Keep'><text>old</text></item>"), &seed), NOERROR) << seed.error;
    const auto before = Snapshot(t.db);

    const std::string good = "<note class='form'><item name='A'><text>a</text></item></note>";
    struct Case {
        std::string dxl;
        const char* message;
    } cases[] = {
        {"<note class='form'><item name='A'><text>a</text></item>", "not well-formed"},
        {"<note class='form'>\n<item name='A'><rawitemdata type='1'>AB$C</rawitemdata></item></note>", "in.xml:2:"},
        {"<note class='form'><item name='A'><rawitemdata type='1'>ABC</rawitemdata></item></note>", "truncated"},
        {"<note class='form'><item name='A'><rawitemdata type='1'>AB=</rawitemdata></item></note>", "truncated"},
        {"<note class='form'><item name='A'><rawitemdata type='1'>A=AA</rawitemdata></item></note>", "misplaced '='"},
        {"<note class='form'><item name='A'><rawitemdata type='1'>AAE=AAAA</rawitemdata></item></note>",
         "continues after its end"},
        {"<note class='form'><item name='A'><rawitemdata type='xyz'>AAAA</rawitemdata></item></note>", "xyz"},
        {"<note class='form'><item name='A'><rawitemdata type='10000'>AAAA</rawitemdata></item></note>", "10000"},
        {"<note class='form'>\n\n<frob/></note>", "in.xml:3: unknown element <frob>"},
        {"<note class='form'><item name='A'><number>12abc</number></item></note>", "12abc"},
        {"<note class='form'><item name='A'><datetime>2020-07-28</datetime></item></note>", "2020-07-28"},
        {"<note class='thing'/>", "thing"},
        {"<note class='form'><item name='A'/></note>", "no value"},
        {"<note class='form'><item name='A' sign='yes'><text/></item></note>", "sign"},
        {"<note class='form'><noteinfo unid='123'/></note>", "unid"},
        {"<note class='form'><item name='F'><object><file name='f' size='9'><filedata>aGVsbG8=</filedata></file>"
         "</object></item></note>",
         "size"},
        {"<?xml version='1.0'?><!DOCTYPE note [<!ENTITY e SYSTEM 'file:///etc/hostname'>]>"
         "<note class='form'><item name='A'><text>&e;</text></item></note>",
         "entit"},
        // An internal entity, declared and not used, and one used.
        {"<?xml version='1.0'?><!DOCTYPE note [<!ENTITY e 'x'><!ENTITY f '<i/>'>]><note class='form'/>", "entit"},
        {"<?xml version='1.0'?><!DOCTYPE note [<!ENTITY e 'x'>]>"
         "<note class='form'><item name='A'><text>&e;</text></item></note>",
         "entit"},
        {"<database>" + good + "<note class='form'><item name='B'><text><bold/></text></item></note></database>",
         "<bold>"},
        {"<database>" + OneNote(unid, "<item name='New'><text>new</text></item>") + "<junk/></database>", "<junk>"},
        // The text form of DXL is told what is read.
        {"<form name='x'/>",
         "in.xml:1: only DXL with raw item data (binary DXL) can be imported: the root element <form>"},
        {"<database><page name='p'/></database>", "only DXL with raw item data (binary DXL) can be imported: <page>"},
        {"<document><item name='Body'><richtext><par>a</par></richtext></item></document>",
         "only DXL with raw item data (binary DXL) can be imported: an item holds <richtext>"},
        // Refused by the database while the notes are built in memory.
        {"<database><note class='form'><item name='F'><object><file name='f' size='5'><filedata>aGVsbG8="
         "</filedata></file></object></item></note>" +
             OneNote(unid, "<item name='" + std::string(300, 'n') + "'><text/></item>") + "</database>",
         "Invalid item name"},
        {"", "not well-formed"},
        // Text where only elements belong would be lost: refused, named.
        {"<note class='form'><item name='N'><numberlist>1 2</numberlist></item></note>",
         "in.xml:1: text '1 2' in <numberlist>, where only elements belong"},
        {"<note class='form'>\n<item name='A'>\n lost <text>a</text></item></note>", "in.xml:3: text 'lost' in <item>"},
        {"<note class='form'><item name='L'><textlist>one<text>two</text></textlist></item></note>",
         "text 'one' in <textlist>"},
        {"<database>" + good + "stray &amp; text" + good + "</database>", "in.xml:1: text 'stray' in <database>"},
        // A long element name is quoted in part, on a whole character, and
        // the message still says where it stands.
        {"<note class='form'><" + LongName() + "/></note>", "unknown element <\xC3\xA9\xC3\xA9\xC3\xA9"},
        {"<note class='form'><" + LongName() + "/></note>", "\xC3\xA9...> in <note>"},
        {"<note class='form'><item name='D'><datetimelist><datetimepair><" + LongName() +
             "/></datetimepair></datetimelist></item></note>",
         "\xC3\xA9...> where a <datetime> belongs"},
        // Markup libxml2 cannot read is told as such, not as what it made
        // of the rest of it.
        {"<note class='form'><" + std::string(60000, 'x') + "/></note>", "in.xml:1: not well-formed XML: Name too long"},
        {"<note class='form'><item name='A' " + std::string(60000, 'a') + "='x'><text/></item></note>",
         "in.xml:1: not well-formed XML: Name too long"},
        // A <break> holds nothing: text or elements in it would be lost.
        {"<note class='form'><item name='T'><text>a<break>b</break>c</text></item></note>",
         "in.xml:1: text 'b' in <break>, which holds nothing"},
        {"<note class='form'><item name='T'><text>a<break><i/></break>c</text></item></note>",
         "unknown element <i> in <break>"},
        // Limits of the parser are told as what the text does.
        {"<note class='form'><updatedby>" + Repeat("<a>", 300) + Repeat("</a>", 300) + "</updatedby></note>",
         "in.xml:1: not well-formed XML: elements are nested more than 256 deep"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dxl);
        DxlImportResult result;
        EXPECT_NE(t.Import(c.dxl, &result), NOERROR);
        EXPECT_NE(result.error.find("in.xml"), std::string::npos) << result.error;
        EXPECT_NE(result.error.find(c.message), std::string::npos) << result.error;
        EXPECT_TRUE(result.notes.empty());
        EXPECT_EQ(Snapshot(t.db), before);
    }
    DxlImportResult result;
    EXPECT_EQ(DxlImportFile(t.db, t.dir.file("missing.xml").c_str(), &result), ERR_DXL_FILE);
    EXPECT_NE(result.error.find("missing.xml"), std::string::npos);
}

// A file is read as a stream and each note written as it ends; a damaged
// note after others (of every value kind, one replacing a stored note, one
// with an attachment) stores nothing of the import, and the message names
// the file, the line and what is wrong. Files imported together land
// together or not at all; mended, the file lands whole, every value as the
// DXL has it, and a note of a UNID met twice is stored once, as the later
// one has it.
TEST(DxlImport, ADamagedNoteAmidAStreamStoresNothingOfTheImport) {
    ImportDb t;
    const std::string unid = "0123456789ABCDEF0123456789ABCDEF";   // the UNID of kAllKinds' first note
    DxlImportResult seed;
    ASSERT_EQ(t.Import(OneNote(unid, "<item name='Keep'><text>old</text></item>"), &seed), NOERROR) << seed.error;
    const auto before = Snapshot(t.db);

    const std::string kinds = kAllKinds;
    const size_t end = kinds.rfind("</database>");
    const std::string notes = kinds.substr(kinds.find("<note"), end - kinds.find("<note"));
    std::string again = notes;
    again.replace(again.find(unid), unid.size(), "FEDCBA9876543210FEDCBA9876543210");
    const std::string damaged = "<note class='form'><item name='Before'><text>x</text></item>\n"
                                "<item name='Bad'><rawitemdata type='1'>AAEC\nAA*A\n</rawitemdata></item></note>\n";
    const std::string text = kinds.substr(0, end) + damaged + again + "</database>";
    const long badLine = std::count(text.begin(), text.begin() + text.find("<item name='Bad'>"), '\n') + 1;
    const std::string path = t.dir.file("stream.xml"), good = t.dir.file("good.xml");
    WriteDxl(path, text);
    WriteDxl(good, kinds);

    DxlImportResult result;
    EXPECT_EQ(DxlImportFile(t.db, path.c_str(), &result), ERR_DXL_VALUE);
    EXPECT_EQ(result.error,
              path + ":" + std::to_string(badLine) + ": invalid character '*' in base64 data in <rawitemdata>");
    EXPECT_TRUE(result.notes.empty());
    EXPECT_EQ(Snapshot(t.db), before);
    EXPECT_EQ(DxlImportFiles(t.db, {good, path}, &result), ERR_DXL_VALUE);
    EXPECT_TRUE(result.notes.empty());
    EXPECT_EQ(Snapshot(t.db), before);
    std::vector<DbProblem> problems;
    ASSERT_EQ(DbCheck(t.db, &problems), NOERROR);
    EXPECT_TRUE(problems.empty()) << problems.at(0).what;   // no attachment left behind

    std::string mended = text;
    mended[mended.find("AA*A") + 2] = 'A';
    const std::string fixed = t.dir.file("fixed.xml");
    WriteDxl(fixed, mended);
    EXPECT_EQ(ImportAndCheck(fixed).size(), 5u);
    ASSERT_EQ(DxlImportFiles(t.db, {good, fixed}, &result), NOERROR) << result.error;
    // good.xml: the stored note of the UNID, a new note; fixed.xml: that
    // note again, and four new notes.
    ASSERT_EQ(result.notes.size(), 6u);
    EXPECT_EQ(result.notes[0], seed.notes.at(0));
    EXPECT_EQ(result.files[0], fixed);
    EXPECT_EQ(result.files[1], good);
    EXPECT_EQ(Snapshot(t.db).size(), 6u);
    StoredNote replaced = ReadNote(t.db, seed.notes[0]);
    ASSERT_EQ(replaced.items.size(), 11u);
    EXPECT_EQ(replaced.items[0].name, "Text");
    EXPECT_EQ(replaced.oid.Sequence, 3u);
    // The attachment of the note the later one replaced went with it.
    ASSERT_EQ(DbCheck(t.db, &problems), NOERROR);
    EXPECT_TRUE(problems.empty()) << problems.at(0).what;
}

TEST(DxlImport, FailedUpdateLeavesTheDatabaseAsItWas) {
    ImportDb t;
    DxlImportResult seed;
    const std::string unid = "00000000000000010000000000000002";
    ASSERT_EQ(t.Import(OneNote(unid, "<item name='Keep'><text>old</text></item>"), &seed), NOERROR) << seed.error;
    const auto before = Snapshot(t.db);

    // A replacement of the stored note and a new note with an attachment;
    // the store fails while the first of them is written.
    std::string dxl = "<database>" + OneNote(unid, "<item name='New'><text>new</text></item>") +
                      "<note class='form'><item name='F'><object><file name='f' size='5'><filedata>aGVsbG8="
                      "</filedata></file></object></item></note></database>";
    for (int afterItems : {0, 1}) {
        DxlImportResult result;
        TestFailUpdateAfterItems(afterItems);
        EXPECT_EQ(t.Import(dxl, &result), ERR_INJECTED);
        TestFailUpdateAfterItems(-1);
        EXPECT_NE(result.error.find("in.xml"), std::string::npos) << result.error;
        EXPECT_TRUE(result.notes.empty());
        EXPECT_EQ(Snapshot(t.db), before);
    }
    DxlImportResult result;
    ASSERT_EQ(t.Import(dxl, &result), NOERROR) << result.error;
    EXPECT_EQ(result.notes.at(0), seed.notes.at(0));
    EXPECT_EQ(Snapshot(t.db).size(), 2u);
}

// An import made while the database's write lock is held is part of what
// the lock covers: one that fails takes back only its own writes, and what
// was imported before it under the lock lands when the lock is released.
TEST(DxlImport, AnImportUnderTheWriteLockTakesBackOnlyItself) {
    ImportDb t;
    ASSERT_EQ(DbWriteLock(t.db), NOERROR);
    DxlImportResult first;
    ASSERT_EQ(t.Import(OneNote("00000000000000010000000000000003", "<item name='A'><text>a</text></item>"), &first),
              NOERROR)
        << first.error;
    const auto underLock = Snapshot(t.db);
    ASSERT_EQ(underLock.size(), 1u);

    const std::string two = "<database>" +
                            OneNote("00000000000000010000000000000004", "<item name='B'><text>b</text></item>") +
                            OneNote("00000000000000010000000000000005", "<item name='C'><text>c</text></item>") +
                            "</database>";
    DxlImportResult failed;
    TestFailUpdateAfterItems(1);
    EXPECT_EQ(t.Import(two, &failed), ERR_INJECTED);
    TestFailUpdateAfterItems(-1);
    EXPECT_EQ(Snapshot(t.db), underLock);

    ASSERT_EQ(DbWriteUnlock(t.db), NOERROR);
    DBHANDLE again = 0;
    ASSERT_EQ(DbOpen(t.dir.file("t.db").c_str(), &again), NOERROR);
    EXPECT_EQ(Snapshot(again), underLock);
    DbClose(again);

    DxlImportResult result;
    ASSERT_EQ(t.Import(two, &result), NOERROR) << result.error;
    EXPECT_EQ(Snapshot(t.db).size(), 3u);
}

// A file many times larger than what is read of it at a time: values cut
// anywhere by the reads decode exactly, and a damaged note near its end is
// named by its line, with nothing of the file stored.
TEST(DxlImport, AFileReadInManyPiecesKeepsEveryValueAndNamesTheLine) {
    std::string dxl = "<?xml version='1.0' encoding='utf-8'?>\n<database>\n";
    std::vector<std::string> values;
    for (int note = 0; note < 60; ++note) {
        std::string bytes(40000 + note * 7, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131 + note * 17) ^ (i >> 9));
        const std::string text = talix_test::Base64Encode(bytes);
        dxl += "<note class='form'>\n<item name='V'><rawitemdata type='1'>\n";
        for (size_t at = 0; at < text.size(); at += 76) dxl += text.substr(at, 76) + "\n";
        dxl += "</rawitemdata></item>\n</note>\n";
        values.push_back(bytes);
    }
    const long badLine = std::count(dxl.begin(), dxl.end(), '\n') + 2;   // the damaged item's
    const std::string damaged = "<note class='form'>\n<item name='V'><rawitemdata type='1'>\nAAEC\nA*AA\n"
                                "</rawitemdata></item>\n</note>\n</database>\n";
    ImportDb t;
    const std::string path = t.dir.file("long.xml");
    WriteDxl(path, dxl + damaged);
    ASSERT_GT(dxl.size(), 3000000u);

    DxlImportResult result;
    EXPECT_EQ(DxlImportFile(t.db, path.c_str(), &result), ERR_DXL_VALUE);
    EXPECT_EQ(result.error,
              path + ":" + std::to_string(badLine) + ": invalid character '*' in base64 data in <rawitemdata>");
    EXPECT_TRUE(Snapshot(t.db).empty());

    WriteDxl(path, dxl + "</database>\n");
    ASSERT_EQ(DxlImportFile(t.db, path.c_str(), &result), NOERROR) << result.error;
    ASSERT_EQ(result.notes.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        const StoredNote note = ReadNote(t.db, result.notes[i]);
        ASSERT_EQ(note.items.size(), 1u);
        EXPECT_TRUE(note.items[0].value == values[i]) << i;
    }
}

} // namespace

namespace {

// Text that is not in the encoding its declaration names stops the import
// at the line where it stops being so, with a message that says so, and
// nothing of it is written on standard error; short or longer than what is
// read of a file at a time, converted with a message of the converter's own
// or without one.
// Lines ended by LF, CR LF or CR alone: the values hold a line feed for
// each line end, as XML reads them, and a message names the line in the
// file, also where the file is read in many pieces and a line end falls
// between two of them (the parser takes 4,000 bytes at a time, a file is
// read 262,144 at a time: a comment before a note puts its line end there).
TEST(DxlImport, LinesEndedInEveryWayAreCountedAndReadAsLineFeeds) {
    const std::string open = "<note class='form'><item name='T'><text>";
    for (const std::string end : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(end == "\n" ? "LF" : end == "\r" ? "CR" : "CR LF");
        std::string dxl = "<?xml version='1.0'?>" + end + "<database>" + end;
        long lines = 2;
        std::vector<std::string> values;
        for (const size_t at : {size_t{3999}, size_t{7999}, size_t{262143}, size_t{0}}) {
            while (at > 0 && dxl.size() + 400 < at) {
                const std::string x(values.size() % 97, 'x');
                dxl += open + x + end + "y" + end + "</text></item></note>" + end;
                values.push_back(x + "\ny\n");
                lines += 3;
            }
            if (at > 0) {
                dxl += "<!--" + std::string(at - dxl.size() - open.size() - 7, ' ') + "-->" + open;
                ASSERT_EQ(dxl.size(), at);
                dxl += end + "y" + end + "</text></item></note>" + end;
                values.push_back("\ny\n");
                lines += 3;
            }
        }
        ImportDb t;
        const std::string path = t.dir.file("lines.xml");
        WriteDxl(path, dxl + "</database>" + end);
        DxlImportResult result;
        ASSERT_EQ(DxlImportFile(t.db, path.c_str(), &result), NOERROR) << result.error;
        ASSERT_EQ(result.notes.size(), values.size());
        for (size_t note = 0; note < values.size(); ++note) {
            const StoredNote stored = ReadNote(t.db, result.notes[note]);
            ASSERT_EQ(stored.items.size(), 1u);
            ASSERT_EQ(stored.items[0].value, values[note]) << note;
        }

        WriteDxl(path, dxl + end + "<note class='form'><item name='N'><number>zz</number></item></note>" + end +
                           "</database>" + end);
        DxlImportResult failed;
        EXPECT_EQ(DxlImportFile(t.db, path.c_str(), &failed), ERR_DXL_VALUE);
        EXPECT_EQ(failed.error, path + ":" + std::to_string(lines + 2) + ": 'zz' is not a number");

        std::string attributes;
        for (int i = 0; i < 1500; ++i) attributes += " a" + std::to_string(i) + "='x'";
        WriteDxl(path, dxl + end + "<note class='form'><item name='A'" + attributes + "><text/></item></note>");
        EXPECT_EQ(DxlImportFile(t.db, path.c_str(), &failed), ERR_DXL_XML);
        EXPECT_EQ(failed.error, path + ":" + std::to_string(lines + 2) + ": a tag holds more than 1000 attributes");
    }
}

TEST(DxlImport, TextNotInItsDeclaredEncodingIsNamedWhereItStops) {
    ImportDb t;
    auto dxl = [](const char* encoding, int filler, const std::string& text) {
        std::string out = std::string("<?xml version='1.0' encoding='") + encoding + "'?>\n<database>\n";
        for (int i = 0; i < filler; ++i) out += "<note class='form'><item name='A'><text>a</text></item></note>\n";
        return out + "<note class='form'>\n<item name='B'><text>" + text + "</text></item></note>\n</database>\n";
    };
    struct Case {
        std::string text;
        long line;
        const char* message;
    } cases[] = {
        // 0x81 has no character in windows-1252; UTF-8 is not ASCII.
        {dxl("windows-1252", 0, "Dr\x81" "aft"), 4, ": the text is not in its declared encoding (windows-1252): "},
        {dxl("us-ascii", 0, "Dr\xC3\xA4" "ft"), 4, ": the text is not in its declared encoding (us-ascii)"},
        {dxl("windows-1252", 20000, "Dr\x81" "aft"), 20004,
         ": the text is not in its declared encoding (windows-1252): "},
        {dxl("us-ascii", 20000, "Dr\xC3\xA4" "ft"), 20004, ": the text is not in its declared encoding (us-ascii)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string path = t.dir.file("enc.xml");
        WriteDxl(path, c.text);
        DxlImportResult result;
        testing::internal::CaptureStderr();
        EXPECT_EQ(DxlImportFile(t.db, path.c_str(), &result), ERR_DXL_XML);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(result.error.rfind(path + ":" + std::to_string(c.line) + c.message, 0), 0u) << result.error;
        EXPECT_TRUE(Snapshot(t.db).empty());
    }
    // Truncated text and a syntax error are told as they are, as before.
    DxlImportResult result;
    const std::string whole = dxl("windows-1252", 20000, "Dr\xE4" "ft");
    EXPECT_EQ(t.Import(whole.substr(0, whole.size() - 30), &result), ERR_DXL_XML);
    EXPECT_NE(result.error.find(": not well-formed XML: "), std::string::npos) << result.error;
    EXPECT_EQ(t.Import(dxl("utf-8", 0, "a<b"), &result), ERR_DXL_XML);
    EXPECT_NE(result.error.find("in.xml:4: not well-formed XML: "), std::string::npos) << result.error;
    // Text that is in its encoding is read through it.
    ASSERT_EQ(t.Import(dxl("windows-1252", 0, "Dr\xE4" "ft \x80"), &result), NOERROR) << result.error;
    const StoredNote note = ReadNote(t.db, result.notes.at(0));
    ASSERT_EQ(note.items.size(), 1u);
    EXPECT_EQ(Native(note.items[0].value), "Dr\xC3\xA4" "ft \xE2\x82\xAC");
}

// A tag longer than the parser reads at once, in a file: told as such.
TEST(DxlImport, ATagLongerThanTheParserReadsIsToldAsSuch) {
    ImportDb t;
    const std::string path = t.dir.file("long-tag.xml");
    WriteDxl(path, "<note class='form'>\n<item name='A'" + std::string(12000000, ' ') + "><text/></item></note>\n");
    DxlImportResult result;
    EXPECT_EQ(DxlImportFile(t.db, path.c_str(), &result), ERR_DXL_XML);
    const std::string expected =
        ": not well-formed XML: a piece of markup (a tag with its attributes) is longer than 10000000 bytes";
    EXPECT_NE(result.error.find(expected), std::string::npos) << result.error.substr(0, 300);
    EXPECT_EQ(result.error.rfind(path + ":2", 0), 0u) << result.error.substr(0, 300);
    EXPECT_TRUE(Snapshot(t.db).empty());
}


TEST(DxlImport, ATagOfTooManyAttributesIsRefusedBeforeTheParserWeighsThem) {
    ImportDb t;
    auto tag = [](std::size_t count) {
        std::string attributes;
        for (std::size_t i = 0; i < count; ++i) attributes += " a" + std::to_string(i) + "='x=>'";
        return attributes;
    };
    // Marks of other kinds hold "=" and ">" that are no attributes' and end
    // no tag: a comment, a declaration, a processing instruction, CDATA.
    const std::string fine = "<?xml version='1.0'?>\n<!-- a=b > c=d --><!DOCTYPE note>\n<?pi x=1 > y=2?>\n"
                             "<note class='form'><item name='A'" + tag(999) +
                             "><text><![CDATA[p=q>r=s]]]></text></item></note>\n";
    const std::string path = t.dir.file("fine.xml");
    WriteDxl(path, fine);
    DxlImportResult result;
    ASSERT_EQ(DxlImportFile(t.db, path.c_str(), &result), NOERROR) << result.error;
    EXPECT_EQ(Snapshot(t.db).size(), 1u);

    ImportDb refused;
    const std::string many = refused.dir.file("many.xml");
    WriteDxl(many, "<note class='form'>\n\n<item name='A'" + tag(200000) + "><text/></item></note>\n");
    DxlImportResult failed;
    EXPECT_EQ(DxlImportFile(refused.db, many.c_str(), &failed), ERR_DXL_XML);
    EXPECT_EQ(failed.error, many + ":3: a tag holds more than 1000 attributes");
    EXPECT_TRUE(Snapshot(refused.db).empty());

    // After other files, the line is the one in the file that holds the tag.
    DxlImportResult afterOthers;
    EXPECT_EQ(DxlImportFiles(refused.db, {path, path, many}, &afterOthers), ERR_DXL_XML);
    EXPECT_EQ(afterOthers.error, many + ":3: a tag holds more than 1000 attributes");
    EXPECT_TRUE(Snapshot(refused.db).empty());

    // The same in UTF-16 of either byte order: the marks are told by their
    // characters, not by bytes of other characters that look like them
    // (U+4E27 holds the byte of "'", U+4E3C that of "<", U+4E3D that of "=").
    auto utf16 = [](const std::u16string& text, bool little) {
        std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
        for (char16_t unit : text) {
            const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
            bytes += little ? std::string{low, high} : std::string{high, low};
        }
        return bytes;
    };
    const std::u16string equals(1200, u'=');
    const std::u16string wide = u"<?xml version='1.0' encoding='UTF-16'?>\n<!-- " + equals + u" -->\n"
                                u"<note class='form'><item name='\u4E27'><text>\u4E3C" + equals + u"\u4E3D</text>"
                                u"</item></note>\n";
    for (bool little : {true, false}) {
        SCOPED_TRACE(little ? "UTF-16LE" : "UTF-16BE");
        ImportDb w;
        const std::string widePath = w.dir.file("wide.xml");
        WriteDxl(widePath, utf16(wide, little));
        DxlImportResult read;
        ASSERT_EQ(DxlImportFile(w.db, widePath.c_str(), &read), NOERROR) << read.error.substr(0, 300);
        ASSERT_EQ(read.notes.size(), 1u);
        StoredNote note = ReadNote(w.db, read.notes[0]);
        ASSERT_EQ(note.items.size(), 1u);
        EXPECT_EQ(LmbcsToNative(note.items[0].name), "\xE4\xB8\xA7");
        EXPECT_EQ(Native(note.items[0].value), "\xE4\xB8\xBC" + std::string(1200, '=') + "\xE4\xB8\xBD");

        std::u16string attributes;
        for (int i = 0; i < 2000; ++i) {
            const std::string number = std::to_string(i);
            attributes += u" a" + std::u16string(number.begin(), number.end()) + u"='x'";
        }
        const std::string wideMany = w.dir.file("many.xml");
        WriteDxl(wideMany, utf16(u"<note class='form'>\n\n<item name='A'" + attributes + u"><text/></item></note>\n",
                                 little));
        DxlImportResult wideFailed;
        EXPECT_EQ(DxlImportFile(w.db, wideMany.c_str(), &wideFailed), ERR_DXL_XML);
        EXPECT_EQ(wideFailed.error, wideMany + ":3: a tag holds more than 1000 attributes");
    }
}
} // namespace
