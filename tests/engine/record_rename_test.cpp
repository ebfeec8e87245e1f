// The attachment name of a file hotspot or a storage link, read and
// replaced: lengths that overstate the record, names that cannot be
// carried, and renames that would not fit a record.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/record_forms.h"
#include "engine/record_rename.h"
#include "support/record_fixture.h"

namespace {

using talix::AttachmentNamePlace;
using talix::ReadWord;
using talix_test::FixtureRecord;

// A storage link of the given kind naming text after its 24-byte fixed part.
FixtureRecord StorageLinkNaming(const std::string& text, std::uint16_t kind) {
    FixtureRecord link = talix_test::HeadAndText(0xFFC4, 24, 10, text);
    talix_test::PutWord(&link, 4, kind);
    return link;
}

// A hotspot begin of the given type whose data (after 16 bytes) is text.
FixtureRecord HotspotWithData(const std::string& text, std::uint16_t type) {
    FixtureRecord hotspot = talix_test::HeadAndText(0xFFA9, 16, 12, text);
    talix_test::PutWord(&hotspot, 4, type);
    return hotspot;
}

bool NameOf(const FixtureRecord& record, std::string* name, AttachmentNamePlace* place) {
    const auto length = static_cast<std::uint32_t>(record.bytes.size());
    return talix::FindAttachmentNamePlace(record.bytes.data(), record.signature, length, place) &&
           talix::ReadAttachmentName(record.bytes.data(), *place, name);
}

TEST(RecordRename, AFileHotspotKeepsItsShownNameAndALinkItsTailWhenRenamed) {
    const FixtureRecord hotspot = HotspotWithData(std::string("a.txt\0shown.txt\0", 16), 4);
    std::string name;
    AttachmentNamePlace place;
    ASSERT_TRUE(NameOf(hotspot, &name, &place));
    EXPECT_EQ(name, "a.txt");
    std::vector<std::uint8_t> copy;
    ASSERT_EQ(talix::RenamedRecord(hotspot.bytes.data(), hotspot.signature, 32, place, "longer name.txt", &copy), 0);
    ASSERT_EQ(copy.size(), 43u);   // the record and a zero byte after it
    EXPECT_EQ(ReadWord(copy.data() + 2), 42);
    EXPECT_EQ(ReadWord(copy.data() + 12), 26);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(copy.data() + 16), 26),
              std::string("longer name.txt\0shown.txt\0", 26));
    EXPECT_EQ(copy[42], 0);

    // A name length word past the record's end reads the name the record
    // holds; the renamed copy counts what it holds.
    FixtureRecord link = StorageLinkNaming("Graphic", 1);
    talix_test::PutWord(&link, 10, 500);
    ASSERT_TRUE(NameOf(link, &name, &place));
    EXPECT_EQ(name, "Graphic");
    EXPECT_EQ(place.word, 7u);
    ASSERT_EQ(talix::RenamedRecord(link.bytes.data(), link.signature, 31, place, "G1", &copy), 0);
    ASSERT_EQ(copy.size(), 27u);
    EXPECT_EQ(ReadWord(copy.data() + 2), 26);
    EXPECT_EQ(ReadWord(copy.data() + 10), 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(copy.data() + 24), 2), "G1");
}

TEST(RecordRename, OnlyUsableNamesOfAttachmentsAreRead) {
    std::string name = "untouched";
    AttachmentNamePlace place;
    // Empty names, and one longer than an attachment's name can be.
    EXPECT_FALSE(NameOf(StorageLinkNaming("", 1), &name, &place));
    EXPECT_FALSE(NameOf(HotspotWithData(std::string("\0shown\0", 7), 4), &name, &place));
    EXPECT_FALSE(NameOf(StorageLinkNaming(std::string(256, 'n'), 1), &name, &place));
    EXPECT_EQ(name, "untouched");
    EXPECT_TRUE(NameOf(StorageLinkNaming(std::string(255, 'n'), 1), &name, &place));
    // Records that name no attachment: a link to a URL, a hotspot of
    // another type, a file hotspot without data.
    EXPECT_FALSE(NameOf(StorageLinkNaming("http://example.test/a.gif", 4), &name, &place));
    EXPECT_FALSE(NameOf(HotspotWithData(std::string("a.txt\0", 6), 1), &name, &place));
    EXPECT_FALSE(NameOf(HotspotWithData("", 4), &name, &place));
}

TEST(RecordRename, ARenameThatWouldPassTheLongestRecordIsRefused) {
    FixtureRecord link = StorageLinkNaming("a", 1);
    link.bytes.resize(0xFFF0);   // the name, then other data
    talix::WriteWord(link.bytes.data() + 2, 0xFFF0);
    std::string name;
    AttachmentNamePlace place;
    ASSERT_TRUE(NameOf(link, &name, &place));
    std::vector<std::uint8_t> copy{1, 2, 3};
    EXPECT_EQ(talix::RenamedRecord(link.bytes.data(), link.signature, 0xFFF0, place, std::string(17, 'b'), &copy),
              257);
    EXPECT_EQ(copy, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(talix::RenamedRecord(link.bytes.data(), link.signature, 0xFFF0, place, std::string(16, 'b'), &copy),
              0);
    EXPECT_EQ(copy.size(), 0x10000u);
}

} // namespace
