// Whole items copied into another item: links made self-contained,
// attachments carried over, fonts kept, the target untouched on failure;
// and items rewritten with their images served by URL.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/attachments.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "edit_fixture.h"
#include "engine/link_fixups.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using engine_test::Bracket;
using engine_test::FontTable;
using engine_test::Hotspot;
using engine_test::Records;
using engine_test::Text;
using talix::ReadDword;
using talix::ReadWord;
using talix_test::FixtureRecord;
using talix_test::HostRecord;

using talix_test::CollectMessage;
using talix_test::g_messages;

// A file hotspot naming an attachment, with a text inside.
Records BracketedFileHotspot(const std::string& name) {
    return {Bracket(0xDD, 0xFFAD), Hotspot(0xFFA9, 4, 8, name + '\0' + name + '\0'), Text(name),
            HostRecord(0xAA, 2), Bracket(0xDE, 0xAE)};
}

Records Join(Records a, const Records& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The records of a stored item value (data-type word first): signature and
// offset of each.
std::vector<std::pair<std::uint16_t, std::uint32_t>> StoredRecords(const std::string& value) {
    std::vector<std::pair<std::uint16_t, std::uint32_t>> records;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(value.data());
    for (std::uint32_t offset = 2; offset + 2 <= value.size();) {
        const std::uint16_t first = ReadWord(bytes + offset);
        std::uint32_t length = 0;
        std::uint16_t signature = first;
        if ((first >> 8) == 0) {
            length = ReadDword(bytes + offset + 2);
        } else if ((first >> 8) == 0xFF) {
            length = ReadWord(bytes + offset + 2);
        } else {
            signature = first & 0xFF;
            length = first >> 8;
        }
        records.emplace_back(signature, offset);
        offset += length + (length & 1u);
    }
    return records;
}

class LinkFixups : public ::testing::Test {
protected:
    LinkFixups() {
        plat::RegisterMessageProc(&CollectMessage);
        g_messages.clear();
    }
    ~LinkFixups() override { plat::RegisterMessageProc(nullptr); }

    // A note holding the records as "Body", changed further by more.
    plat::NOTEID Note(const Records& body, const std::function<void(plat::NOTEHANDLE)>& more = nullptr) {
        const plat::NOTEID id = db_.AddNote(body);
        if (!more) return id;
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        EXPECT_EQ(plat::DbOpen(db_.path().c_str(), &db), plat::NOERROR);
        EXPECT_EQ(plat::NoteOpen(db, id, 0, &note), plat::NOERROR);
        more(note);
        EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
        plat::NoteClose(note);
        plat::DbClose(db);
        return id;
    }
    void Attach(plat::NOTEHANDLE note, const std::string& name, const std::string& contents) {
        const std::string path = files_.file(name);
        std::ofstream(path, std::ios::binary) << contents;
        EXPECT_EQ(plat::NoteAttachFile(note, "$FILE", 5, path.c_str(), name.c_str(), plat::ATTACH_DEFAULT), 0);
    }
    bool HasAttachment(plat::NOTEHANDLE note, const char* name) {
        plat::BLOCKID found;
        return talix::FindAttachmentItem(note, name, &found, 0) == 0;
    }

    engine_test::FixtureDatabase db_;
    talix_test::TempDir files_;
    RARIvoSession session_;
    ZervaRTItem source_{&session_};
    ZervaRTItem target_{&session_};
};

TEST_F(LinkFixups, AnItemCopiedToAnotherNoteKeepsItsLinksFontsAndAttachments) {
    FixtureRecord link = HostRecord(0xFF91, 8), broken = HostRecord(0xFF91, 6);
    talix_test::PutWord(&link, 4, 0);
    link.bytes[6] = 'x';
    link.bytes[7] = 'y';
    talix_test::PutWord(&broken, 4, 5);
    const Records body = Join(Join(engine_test::Runs({"plain"}), {talix_test::TextRecord(0x0A000005, "mono"), link,
                                                                  broken}),
                              BracketedFileHotspot("a.txt"));
    std::string links(2 + 40, '\0');
    links[0] = 1;
    for (int i = 0; i < 40; ++i) links[2 + i] = static_cast<char>(i + 1);
    const plat::NOTEID sourceId = Note(body, [&](plat::NOTEHANDLE note) {
        EXPECT_EQ(talix_test::StoreRichTextItem(note, "$Fonts", {FontTable(5, "Courier New")}), 0);
        EXPECT_EQ(plat::ItemAppend(note, 0, "$Links", 6, plat::TYPE_NOTELINK_LIST, links.data(), 42), 0);
        Attach(note, "a.txt", "alpha");
    });
    // The target's old body refers to an attachment that goes with it.
    const Records old = Join(engine_test::Runs({std::string(150, 'o')}), BracketedFileHotspot("old.txt"));
    const plat::NOTEID targetId = Note(old, [&](plat::NOTEHANDLE note) {
        EXPECT_EQ(talix_test::StoreRichTextItem(note, "$Fonts", {FontTable(5, "Arial Narrow")}), 0);
        Attach(note, "old.txt", "old");
        Attach(note, "keep.txt", "kept");
    });
    ASSERT_EQ(source_.Connect("", db_.path().c_str(), sourceId, "Body", 0), 0);
    ASSERT_EQ(target_.Connect("", db_.path().c_str(), targetId, "Body", 0), 0);

    ASSERT_EQ(talix::CopyRichTextWithLinks(&source_, &target_, 0, 0), 0);
    ASSERT_EQ(target_.Save(), 0);
    EXPECT_EQ(g_messages, std::vector<std::string>{"TALIX: Broken $Links reference"});
    EXPECT_TRUE(HasAttachment(target_.noteHandle, "a.txt"));
    EXPECT_TRUE(HasAttachment(target_.noteHandle, "keep.txt"));
    EXPECT_FALSE(HasAttachment(target_.noteHandle, "old.txt"));
    char* contents = nullptr;
    std::uint32_t size = 0;
    ASSERT_EQ(talix::ReadAttachmentToMemory(target_.noteHandle, "a.txt", &contents, &size), 0);
    EXPECT_EQ(std::string(contents, size), "alpha");
    std::free(contents);

    ZervaRTItem reader(&session_);
    ASSERT_EQ(reader.Connect("", db_.path().c_str(), targetId, "Body", 0), 0);
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(&reader, 0, nullptr, 0, 0, 0, nullptr, &status);
    ASSERT_NE(list, nullptr);
    std::size_t indexed = 0, inlined = 0;
    char face[64] = {};
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        if (node->signature == 0xFF91) ++indexed;
        if (node->signature == 0xFF92) {
            ++inlined;
            ASSERT_EQ(node->length, 46u);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(node->bytes) + 4, 40), links.substr(2));
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(node->bytes) + 44, 2), "xy");
        }
        if (node->signature == 0xFF85 && node->length == 12 && std::memcmp(node->bytes + 8, "mono", 4) == 0)
            EXPECT_EQ(target_.FindFaceByID(node->bytes[4], face), 1);
    }
    EXPECT_EQ(indexed, 0u);
    EXPECT_EQ(inlined, 1u);
    EXPECT_STREQ(face, "Courier New");
    talix::DeleteItemRecordList(&session_, list);
}

TEST_F(LinkFixups, AFailedCopyLeavesTheTargetAsItWasAndACopyInOneNoteSharesItsAttachments) {
    // The source's second item of the name is not rich text.
    const plat::NOTEID sourceId = Note(Join(engine_test::Runs({"first"}), BracketedFileHotspot("a.txt")),
                                       [&](plat::NOTEHANDLE note) {
                                           Attach(note, "a.txt", "alpha");
                                           EXPECT_EQ(plat::ItemAppend(note, 0, "Body", 4, plat::TYPE_TEXT, "x", 1), 0);
                                       });
    const plat::NOTEID targetId = Note(engine_test::Runs({"old"}));
    ASSERT_EQ(source_.Connect("", db_.path().c_str(), sourceId, "Body", 0), 0);
    ASSERT_EQ(target_.Connect("", db_.path().c_str(), targetId, "Body", 0), 0);
    const std::vector<std::string> before = talix_test::StoredValues(target_.noteHandle, "Body");
    EXPECT_EQ(talix::CopyRichTextWithLinks(&source_, &target_, 0, 0), talix::kOperationFailed);
    EXPECT_EQ(source_.ownError, talix::kErrNotRichText);
    EXPECT_EQ(talix_test::StoredValues(target_.noteHandle, "Body"), before);
    EXPECT_FALSE(HasAttachment(target_.noteHandle, "a.txt"));

    // Within one note the copy refers to the note's own attachment.
    const plat::NOTEID oneId =
        Note(BracketedFileHotspot("a.txt"), [&](plat::NOTEHANDLE note) { Attach(note, "a.txt", "a"); });
    ZervaRTItem one(&session_);
    ASSERT_EQ(one.Connect("", db_.path().c_str(), oneId, "Body", 0), 0);
    ASSERT_EQ(one.CopyBackend(one.noteHandle, "Copy", 1), 0);
    EXPECT_EQ(talix_test::StoredValues(one.noteHandle, "Copy").size(), 1u);
    std::size_t files = 0;
    plat::BLOCKID item;
    for (plat::STATUS found = plat::ItemInfo(one.noteHandle, "$FILE", 5, &item, nullptr, nullptr, nullptr);
         found == 0; found = plat::ItemInfoNext(one.noteHandle, item, "$FILE", 5, &item, nullptr, nullptr, nullptr))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(LinkFixups, AnAttachmentWhoseNameTheTargetNoteHoldsComesUnderAFreeName) {
    const plat::NOTEID sourceId = Note(Join(Join(engine_test::Runs({"first"}), BracketedFileHotspot("a.txt")),
                                            BracketedFileHotspot("A.txt")),
                                       [&](plat::NOTEHANDLE note) { Attach(note, "a.txt", "alpha"); });
    // The target note's own a.txt, which no record of the item names.
    const plat::NOTEID targetId =
        Note(engine_test::Runs({"old"}), [&](plat::NOTEHANDLE note) { Attach(note, "a.txt", "target's own"); });
    ASSERT_EQ(source_.Connect("", db_.path().c_str(), sourceId, "Body", 0), 0);
    ASSERT_EQ(target_.Connect("", db_.path().c_str(), targetId, "Body", 0), 0);
    ASSERT_EQ(source_.CopyBackend(target_.noteHandle, "Body", 1), 0);

    const auto contentsOf = [&](const std::string& name) {
        char* contents = nullptr;
        std::uint32_t size = 0;
        if (talix::ReadAttachmentToMemory(target_.noteHandle, name.c_str(), &contents, &size) != 0) return std::string();
        std::string text(contents, size);
        std::free(contents);
        return text;
    };
    EXPECT_EQ(contentsOf("a.txt"), "target's own");
    talix::STATUS status = 0;
    ASSERT_EQ(plat::NoteUpdate(target_.noteHandle, 0), plat::NOERROR);
    ZervaRTItem reader(&session_);
    ASSERT_EQ(reader.Connect("", db_.path().c_str(), targetId, "Body", 0), 0);
    talix::ItemRecordList* list = talix::SIAR(&reader, 0, nullptr, 0, 0, 0, nullptr, &status);
    ASSERT_NE(list, nullptr);
    std::vector<std::string> named;
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next)
        if (node->signature == 0xFFA9) named.emplace_back(reinterpret_cast<const char*>(node->bytes) + 16);
    talix::DeleteItemRecordList(&session_, list);
    ASSERT_EQ(named.size(), 2u);
    EXPECT_NE(named[0], "a.txt");
    EXPECT_EQ(named[1], named[0]);
    EXPECT_EQ(contentsOf(named[0]), "alpha");
    std::vector<talix::NoteAttachment> attachments;
    ASSERT_EQ(talix::ListAttachments(target_.noteHandle, &attachments), 0);
    EXPECT_EQ(attachments.size(), 2u);

    // Copied again over its first copy: the first copy's file goes with it.
    ASSERT_EQ(source_.CopyBackend(target_.noteHandle, "Body", 1), 0);
    ASSERT_EQ(talix::ListAttachments(target_.noteHandle, &attachments), 0);
    ASSERT_EQ(attachments.size(), 2u);
    EXPECT_EQ(contentsOf("a.txt"), "target's own");
    EXPECT_EQ(contentsOf(attachments[1].name), "alpha");
}

TEST_F(LinkFixups, ImagesAreServedByUrlsThatCarryTheirOffsetInTheStoredItem) {
    auto picture = [](std::uint16_t type) {
        FixtureRecord graphic = HostRecord(0x99, 32), header = HostRecord(0x7D, 32), segment = HostRecord(0x7C, 22);
        talix_test::PutWord(&header, 8, type);
        talix_test::PutDword(&header, 16, 10);
        talix_test::PutDword(&header, 20, 1);
        talix_test::PutWord(&segment, 8, 10);
        talix_test::PutWord(&segment, 10, 10);
        return Records{Bracket(0xDD, 0x99), graphic, header, segment, Bracket(0xDE, 0x99)};
    };
    const Records body = Join(Join(Join(engine_test::Runs({"before"}), picture(1)), {Text("between")}), picture(2));
    const plat::NOTEID id = Note(body);
    ASSERT_EQ(source_.Connect("", db_.path().c_str(), id, "Body", 0), 0);
    ASSERT_EQ(target_.CreateBackend(source_.noteHandle, "Copy", 1), 0);

    // One image is given as data: "GIF89a", 2 x 3 pixels, and more bytes.
    auto* given = new talix::ImageOffsetInfo();
    given->name = "data:image/gif,R0lGODlhAgADAIAAAP///wAAACwAAAAAAgADAAAC";
    talix::ImageOffsetInfo* list = given;
    ASSERT_EQ(talix::RewriteImagesAsURLs(&source_, &target_, 1, &list), 0);
    const std::vector<std::string> stored = talix_test::StoredValues(source_.noteHandle, "Copy");
    ASSERT_EQ(stored.size(), 1u);
    std::vector<std::uint32_t> headers;
    std::vector<std::uint16_t> signatures;
    for (const auto& [signature, offset] : StoredRecords(stored[0])) {
        signatures.push_back(signature);
        if (signature == 0x7D) headers.push_back(offset);
    }
    // Only the pictures are written, each after a paragraph.
    EXPECT_EQ(signatures, (std::vector<std::uint16_t>{0x83, 0x99, 0x7D, 0x7C, 0xFF85, 0x81, 0x83, 0x99, 0x7D, 0x7C,
                                                      0xFF85, 0x81, 0x83, 0x99, 0x7D, 0x7C, 0xFF85}));
    ASSERT_EQ(headers.size(), 3u);
    std::vector<std::string> urls;
    std::vector<std::uint16_t> numbers;
    for (const talix::ImageOffsetInfo* entry = list; entry != nullptr; entry = entry->next) {
        urls.push_back(entry->source);
        numbers.push_back(entry->recordNumber);
    }
    ASSERT_EQ(urls.size(), 3u);
    const char* formats[] = {"gif", "gif", "jpeg"};
    for (std::size_t i = 0; i < 3; ++i) {
        char tail[96];
        std::snprintf(tail, sizeof tail, "/Copy/0.%x?OpenElement&amp;FieldElemFormat=%s", headers[i], formats[i]);
        EXPECT_NE(urls[i].find(tail), std::string::npos) << urls[i];
    }
    EXPECT_EQ(numbers[1], 5u);    // the records of the source, counted from 0
    EXPECT_EQ(numbers[2], 11u);
    talix::FreeImageOffsetList(list);

    // Without a list every record stays, each picture after a paragraph.
    ASSERT_EQ(talix::RewriteImagesAsURLs(&source_, &target_, 1, nullptr), 0);
    signatures.clear();
    for (const auto& [signature, offset] : StoredRecords(talix_test::StoredValues(source_.noteHandle, "Copy")[0]))
        signatures.push_back(signature);
    EXPECT_EQ(signatures.size(), body.size() + 2 * 3);
}

TEST_F(LinkFixups, ImagesPastTheFirstStoredItemAreAddressedInTheItemThatHoldsThem) {
    // Eight pictures of 9,000 bytes of data each: more than one stored item
    // holds.
    Records body = engine_test::Runs({"pictures"});
    for (int i = 0; i < 8; ++i) {
        FixtureRecord graphic = HostRecord(0x99, 32), header = HostRecord(0x7D, 32);
        FixtureRecord segment = HostRecord(0x7C, 12 + 9000);
        talix_test::PutWord(&header, 8, 1);
        talix_test::PutDword(&header, 16, 9000);
        talix_test::PutDword(&header, 20, 1);
        talix_test::PutWord(&segment, 8, 9000);
        talix_test::PutWord(&segment, 10, 9000);
        body = Join(body, {Bracket(0xDD, 0x99), graphic, header, segment, Bracket(0xDE, 0x99), Text("x")});
    }
    const plat::NOTEID id = Note(body);
    ASSERT_EQ(source_.Connect("", db_.path().c_str(), id, "Body", 0), 0);
    ASSERT_EQ(target_.CreateBackend(source_.noteHandle, "Copy", 1), 0);
    talix::ImageOffsetInfo* list = nullptr;
    ASSERT_EQ(talix::RewriteImagesAsURLs(&source_, &target_, 1, &list), 0);

    // Where each image header is stored: the item's number and its offset
    // in that item.
    const std::vector<std::string> stored = talix_test::StoredValues(source_.noteHandle, "Copy");
    ASSERT_EQ(stored.size(), 2u);
    std::vector<std::string> places;
    for (std::size_t item = 0; item < stored.size(); ++item) {
        for (const auto& [signature, offset] : StoredRecords(stored[item])) {
            char place[64];
            std::snprintf(place, sizeof place, "/Copy/%zu.%x?", item, offset);
            if (signature == 0x7D) places.push_back(place);
        }
    }
    ASSERT_EQ(places.size(), 8u);
    std::size_t i = 0;
    for (const talix::ImageOffsetInfo* entry = list; entry != nullptr; entry = entry->next, ++i) {
        ASSERT_LT(i, places.size());
        EXPECT_NE(entry->source.find(places[i]), std::string::npos) << entry->source << " " << places[i];
    }
    EXPECT_EQ(i, 8u);
    EXPECT_NE(places.back().find("/Copy/1."), std::string::npos);
    talix::FreeImageOffsetList(list);
}

} // namespace

namespace {

TEST_F(LinkFixups, AnOleObjectTheSourceNoteLacksLeavesTheCopyToGoOnWithoutIt) {
    // An OLE object record naming an object the source note does not hold
    // (removed, or never carried along): its records are copied, as those
    // of a file hotspot whose attachment is gone, and nothing is carried.
    FixtureRecord ole = talix_test::HeadAndText(0xFFA7, 20, 14, "EXT12345");
    const Records body = Join(engine_test::Runs({"before"}),
                              {ole, Text("after")});
    const plat::NOTEID sourceId = Note(body);
    const plat::NOTEID targetId = Note(engine_test::Runs({"old"}));
    ASSERT_EQ(source_.Connect("", db_.path().c_str(), sourceId, "Body", 0), 0);
    ASSERT_EQ(target_.Connect("", db_.path().c_str(), targetId, "Body", 0), 0);
    ASSERT_EQ(talix::CopyRichTextWithLinks(&source_, &target_, 0, 0), 0);
    ASSERT_EQ(target_.Save(), 0);
    EXPECT_FALSE(HasAttachment(target_.noteHandle, "EXT12345"));

    ZervaRTItem reader(&session_);
    ASSERT_EQ(reader.Connect("", db_.path().c_str(), targetId, "Body", 0), 0);
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(&reader, 0, nullptr, 0, 0, 0, nullptr, &status);
    ASSERT_NE(list, nullptr);
    std::size_t objects = 0;
    std::string text;
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        if (node->signature == 0xFFA7) ++objects;
        if (node->signature == 0xFF85 && node->length > 8)
            text.append(reinterpret_cast<const char*>(node->bytes) + 8, node->length - 8);
    }
    EXPECT_EQ(objects, 1u);
    EXPECT_EQ(text, "beforeafter");
    talix::DeleteItemRecordList(&session_, list);
}

TEST_F(LinkFixups, AnOleObjectComesAlongWithItsDescriptionAndFlags) {
    const FixtureRecord ole = talix_test::HeadAndText(0xFFA7, 20, 14, "EXT1");
    const plat::NOTEID sourceId = Note(Join(engine_test::Runs({"before"}), {ole, Text("after")}),
                                       [&](plat::NOTEHANDLE note) {
                                           const std::string path = files_.file("object.ole");
                                           std::ofstream(path, std::ios::binary) << "object bytes";
                                           EXPECT_EQ(plat::NoteWriteOleObject(note, path.c_str(), "EXT1",
                                                                              "Worksheet", 5),
                                                     plat::NOERROR);
                                       });
    const plat::NOTEID targetId = Note(engine_test::Runs({"old"}));
    ASSERT_EQ(source_.Connect("", db_.path().c_str(), sourceId, "Body", 0), 0);
    ASSERT_EQ(target_.Connect("", db_.path().c_str(), targetId, "Body", 0), 0);
    ASSERT_EQ(talix::CopyRichTextWithLinks(&source_, &target_, 0, 0), 0);
    ASSERT_EQ(target_.Save(), 0);
    std::string description;
    plat::WORD flags = 0;
    ASSERT_TRUE(talix::FindOleObjectInfo(target_.noteHandle, "ext1", &description, &flags));
    EXPECT_EQ(description, "Worksheet");
    EXPECT_EQ(flags, 5);
    EXPECT_FALSE(talix::FindOleObjectInfo(target_.noteHandle, "EXT", &description, &flags));
}

TEST_F(LinkFixups, APictureKeptAsAnAttachmentComesAlongUnderAFreeName) {
    // The storage link of a picture whose image is an attachment of the
    // source note: the attachment is carried over; the target's own
    // attachment of that name stays itself and the link names the copy.
    FixtureRecord link = talix_test::HeadAndText(0xFFC4, 24, 10, "Graphic");
    talix_test::PutWord(&link, 4, 1);
    talix_test::PutWord(&link, 6, 1);
    const plat::NOTEID sourceId = Note(Join(engine_test::Runs({"before"}), {link, Text("after")}),
                                       [&](plat::NOTEHANDLE note) { Attach(note, "Graphic", "source picture"); });
    const plat::NOTEID targetId =
        Note(engine_test::Runs({"old"}), [&](plat::NOTEHANDLE note) { Attach(note, "Graphic", "target picture"); });
    ASSERT_EQ(source_.Connect("", db_.path().c_str(), sourceId, "Body", 0), 0);
    ASSERT_EQ(target_.Connect("", db_.path().c_str(), targetId, "Body", 0), 0);
    ASSERT_EQ(talix::CopyRichTextWithLinks(&source_, &target_, 0, 0), 0);
    ASSERT_EQ(target_.Save(), 0);

    ZervaRTItem reader(&session_);
    ASSERT_EQ(reader.Connect("", db_.path().c_str(), targetId, "Body", 0), 0);
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(&reader, 0, nullptr, 0, 0, 0, nullptr, &status);
    ASSERT_NE(list, nullptr);
    std::string named;
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        if (node->signature == 0xFFC4 && node->length >= 24)
            named.assign(reinterpret_cast<const char*>(node->bytes) + 24, ReadWord(node->bytes + 10));
    }
    talix::DeleteItemRecordList(&session_, list);
    ASSERT_FALSE(named.empty());
    EXPECT_NE(named, "Graphic");
    for (const auto& [name, contents] :
         std::vector<std::pair<std::string, std::string>>{{named, "source picture"}, {"Graphic", "target picture"}}) {
        char* data = nullptr;
        std::uint32_t size = 0;
        ASSERT_EQ(talix::ReadAttachmentToMemory(target_.noteHandle, name.c_str(), &data, &size), 0) << name;
        EXPECT_EQ(std::string(data, size), contents);
        std::free(data);
    }
}

TEST_F(LinkFixups, TheOldPicturesOfAReplacedItemTakeTheirAttachmentsAlong) {
    // A picture kept as an attachment: a storage link naming it.
    const auto picture = [](const std::string& name) {
        FixtureRecord link = talix_test::HeadAndText(0xFFC4, 24, 10, name);
        talix_test::PutWord(&link, 4, 1);
        talix_test::PutWord(&link, 6, 1);
        return link;
    };
    const auto files = [](plat::NOTEHANDLE note) {
        std::vector<talix::NoteAttachment> attachments;
        EXPECT_EQ(talix::ListAttachments(note, &attachments), 0);
        std::vector<std::string> names;
        for (const talix::NoteAttachment& attachment : attachments) names.push_back(attachment.name);
        std::sort(names.begin(), names.end());
        return names;
    };
    const auto contentsOf = [](plat::NOTEHANDLE note, const char* name) {
        char* data = nullptr;
        std::uint32_t size = 0;
        if (talix::ReadAttachmentToMemory(note, name, &data, &size) != 0) return std::string();
        std::string text(data, size);
        std::free(data);
        return text;
    };
    const plat::NOTEID sourceId =
        Note(Join(engine_test::Runs({"new"}), {picture("Graphic")}),
             [&](plat::NOTEHANDLE note) { Attach(note, "Graphic", "source picture"); });
    // The old body's pictures: one of the name the copy brings, one only it
    // uses; the note's own file no record names stays.
    const plat::NOTEID targetId =
        Note(Join(engine_test::Runs({std::string(150, 'o')}), {picture("Graphic"), picture("Graphic0")}),
             [&](plat::NOTEHANDLE note) {
                 Attach(note, "Graphic", "old picture");
                 Attach(note, "Graphic0", "old second picture");
                 Attach(note, "keep.txt", "kept");
             });
    ASSERT_EQ(source_.Connect("", db_.path().c_str(), sourceId, "Body", 0), 0);
    ASSERT_EQ(target_.Connect("", db_.path().c_str(), targetId, "Body", 0), 0);
    ASSERT_EQ(source_.CopyBackend(target_.noteHandle, "Body", 1), 0);
    EXPECT_EQ(files(target_.noteHandle), (std::vector<std::string>{"Graphic", "keep.txt"}));
    EXPECT_EQ(contentsOf(target_.noteHandle, "Graphic"), "source picture");
    ASSERT_EQ(plat::NoteUpdate(target_.noteHandle, 0), plat::NOERROR);
    ZervaRTItem reader(&session_);
    ASSERT_EQ(reader.Connect("", db_.path().c_str(), targetId, "Body", 0), 0);
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(&reader, 0, nullptr, 0, 0, 0, nullptr, &status);
    ASSERT_NE(list, nullptr);
    std::vector<std::string> named;
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        if (node->signature == 0xFFC4 && node->length >= 24)
            named.emplace_back(reinterpret_cast<const char*>(node->bytes) + 24, ReadWord(node->bytes + 10));
    }
    talix::DeleteItemRecordList(&session_, list);
    EXPECT_EQ(named, std::vector<std::string>{"Graphic"});

    // Within one note: the old picture the copy shares stays, the one only
    // the replaced item used goes.
    const plat::NOTEID oneId = Note(Join(engine_test::Runs({"one"}), {picture("Shared")}), [&](plat::NOTEHANDLE note) {
        Attach(note, "Shared", "shared picture");
        Attach(note, "Only", "only the old copy's");
        EXPECT_EQ(talix_test::StoreRichTextItem(note, "Copy", Join(engine_test::Runs({std::string(150, 'c')}),
                                                                   {picture("Shared"), picture("Only")})),
                  0);
    });
    ZervaRTItem one(&session_);
    ASSERT_EQ(one.Connect("", db_.path().c_str(), oneId, "Body", 0), 0);
    ASSERT_EQ(one.CopyBackend(one.noteHandle, "Copy", 1), 0);
    EXPECT_EQ(files(one.noteHandle), std::vector<std::string>{"Shared"});
    EXPECT_EQ(contentsOf(one.noteHandle, "Shared"), "shared picture");

    // A picture another rich-text item of the note still shows stays, under
    // its name, though the replaced item was the one copied over.
    const plat::NOTEID asideId = Note(Join(engine_test::Runs({"one"}), {picture("Graphic")}), [&](plat::NOTEHANDLE note) {
        Attach(note, "Graphic", "new picture");
        EXPECT_EQ(talix_test::StoreRichTextItem(note, "Copy", Join(engine_test::Runs({std::string(150, 'c')}),
                                                                   {picture("Aside")})),
                  0);
        EXPECT_EQ(talix_test::StoreRichTextItem(note, "Aside", Join(engine_test::Runs({std::string(150, 'a')}),
                                                                    {picture("Aside")})),
                  0);
        Attach(note, "Aside", "aside picture");
    });
    ZervaRTItem aside(&session_);
    ASSERT_EQ(aside.Connect("", db_.path().c_str(), asideId, "Body", 0), 0);
    ASSERT_EQ(aside.CopyBackend(aside.noteHandle, "Copy", 1), 0);
    EXPECT_EQ(files(aside.noteHandle), (std::vector<std::string>{"Aside", "Graphic"}));
    EXPECT_EQ(contentsOf(aside.noteHandle, "Aside"), "aside picture");
}

} // namespace
