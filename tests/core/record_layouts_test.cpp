// The record layouts against the platform's own: every fixed length the
// library takes from its signature table is the host length of the
// platform's structure for that signature, and the records the writers keep
// ready are stored and read back as the platform reads them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/font_spec.h"
#include "core/paragraph_def.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using talix_test::FixtureRecord;

TEST(RecordLayouts, EachFixedLengthIsThePlatformsHostLengthOfItsStructure) {
    for (const talix::SignatureForm& row : talix::kSignatureTable) {
        SCOPED_TRACE(testing::Message() << "signature " << row.signature);
        plat::WORD type = 0;
        const char* name = nullptr;
        ASSERT_TRUE(plat::SignatureInfo(row.signature, &type, &name));
        if (row.typeCode == talix::kHeaderOnly) {
            // Taken as their word-form header alone, the rest copied as it is.
            EXPECT_EQ(row.hostLength, 4u) << name;
        } else {
            EXPECT_EQ(type, row.typeCode) << name;
            EXPECT_EQ(plat::StructHostLength(type), row.hostLength) << name;
        }
    }
}

FixtureRecord Made(std::uint16_t signature, const void* bytes, std::size_t length) {
    const auto* at = static_cast<const std::uint8_t*>(bytes);
    return FixtureRecord{signature, std::vector<std::uint8_t>(at, at + length)};
}

plat::STATUS Collect(const void* record, plat::WORD, plat::DWORD length, void* context) {
    const auto* at = static_cast<const std::uint8_t*>(record);
    static_cast<std::vector<std::vector<std::uint8_t>>*>(context)->emplace_back(at, at + length);
    return plat::NOERROR;
}

// A note in a fresh database holding the records given as its "Body": the
// item's stored value, and the records the platform reads back from it.
class StoredBody {
public:
    explicit StoredBody(const std::vector<FixtureRecord>& records) {
        ok_ = plat::DbCreate(dir_.file("r.nsf").c_str(), &db_) == 0 && plat::NoteCreate(db_, &note_) == 0 &&
              talix_test::StoreRichTextItem(note_, "Body", records) == 0;
        if (!ok_) return;
        const std::vector<std::string> values = talix_test::StoredValues(note_, "Body");
        ok_ = values.size() == 1;
        if (ok_) value_ = values[0];
    }
    ~StoredBody() {
        if (note_ != 0) plat::NoteClose(note_);
        if (db_ != 0) plat::DbClose(db_);
    }
    StoredBody(const StoredBody&) = delete;
    StoredBody& operator=(const StoredBody&) = delete;

    // True when the item was stored as one value.
    bool ok() const { return ok_; }
    const std::string& value() const { return value_; }
    std::vector<std::vector<std::uint8_t>> ReadBack() const {
        std::vector<std::vector<std::uint8_t>> read;
        if (plat::EnumItemRecords(note_, "Body", Collect, &read) != plat::NOERROR) read.clear();
        return read;
    }

private:
    talix_test::TempDir dir_;
    plat::DBHANDLE db_ = 0;
    plat::NOTEHANDLE note_ = 0;
    bool ok_ = false;
    std::string value_;
};

TEST(RecordLayouts, ReadyRecordsAreStoredAndReadBackAsTheyWereMade) {
    std::uint8_t paragraph[talix::kParagraphLength];
    talix::WriteParagraphRecord(paragraph);
    std::uint8_t reference[talix::kParagraphReferenceLength];
    talix::WriteParagraphReference(reference, 0x0107);
    // A run with text in a font of its own, and the template taken from it:
    // a run without text in the same font.
    std::vector<std::uint8_t> run(talix::kTextRunHeader + 3);
    talix::WriteTextRunHeader(run.data(), talix::kSigText, static_cast<std::uint32_t>(run.size()),
                              talix::FontId{4, 1, 2, 12});
    std::memcpy(run.data() + talix::kTextRunHeader, "abc", 3);
    std::uint8_t textTemplate[talix::kTextRunHeader];
    talix::TakeTextTemplate(textTemplate, run.data());
    const talix::CDPABDEFEXT blank = talix::NewItemParagraphDefinition();
    const talix::CDPABDEFEXT runDefault = talix::RunParagraphDefinition();
    const std::vector<FixtureRecord> records = {
        Made(talix::kSigPabDefinition, &blank, blank.length), Made(talix::kSigParagraph, paragraph, sizeof paragraph),
        Made(talix::kSigPabReference, reference, sizeof reference), Made(talix::kSigText, run.data(), run.size()),
        Made(talix::kSigText, textTemplate, sizeof textTemplate),
        Made(talix::kSigPabDefinition, &runDefault, runDefault.length)};

    const StoredBody body(records);
    ASSERT_TRUE(body.ok());

    // Stored: the new item's definition is 82 bytes (a fixed part two bytes
    // shorter than in host form and the six margin words), the run's 70;
    // the small records as they were made, the odd run padded.
    const std::string& value = body.value();
    ASSERT_GE(value.size(), 2u + 82);
    EXPECT_EQ(value.substr(0, 6), std::string("\x01\x00\x82\xFF\x52\x00", 6));
    const std::string small("\x81\x02\x83\x04\x07\x01\x85\xFF\x0B\x00\x04\x01\x02\x0C"
                            "abc\x00\x85\xFF\x08\x00\x04\x01\x02\x0C\x82\xFF\x46\x00",
                            30);
    EXPECT_EQ(value.substr(2 + 82, small.size()), small);
    EXPECT_EQ(value.size(), 2u + 82 + 26 + 70);

    // Read back in host form by the platform, each record is what was made.
    const std::vector<std::vector<std::uint8_t>> read = body.ReadBack();
    ASSERT_EQ(read.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) EXPECT_EQ(read[i], records[i].bytes) << "record " << i;
}

// Headers written for signatures of each form (byte, word and long) are
// stored in that form and read back by the platform as they were written.
TEST(RecordLayouts, RecordHeadersOfEachFormAreStoredInTheirFormAndReadBack) {
    std::uint8_t cycle[talix::kTimerInfoLength] = {};
    talix::WriteRecordHeader(cycle, talix::kSigTimerInfo, talix::kTimerInfoLength);
    std::vector<std::uint8_t> alt(talix::kAltTextFixedLength + 4);
    talix::WriteRecordHeader(alt.data(), talix::kSigAltText, static_cast<std::uint32_t>(alt.size()));
    talix::WriteWord(alt.data() + talix::kAltTextLengthAt, 4);
    std::memcpy(alt.data() + talix::kAltTextFixedLength, "Logo", 4);
    std::uint8_t bitmap[talix::kBitmapHeaderLength] = {};
    talix::WriteRecordHeader(bitmap, talix::kSigBitmapHeader, talix::kBitmapHeaderLength);
    const std::vector<FixtureRecord> records = {Made(talix::kSigTimerInfo, cycle, sizeof cycle),
                                                Made(talix::kSigAltText, alt.data(), alt.size()),
                                                Made(talix::kSigBitmapHeader, bitmap, sizeof bitmap)};

    const StoredBody body(records);
    ASSERT_TRUE(body.ok());
    const auto* at = reinterpret_cast<const std::uint8_t*>(body.value().data()) + 2;
    std::uint32_t available = static_cast<std::uint32_t>(body.value().size()) - 2;
    const talix::HeaderForm forms[] = {talix::HeaderForm::Byte, talix::HeaderForm::Word, talix::HeaderForm::Long};
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "record " << i);
        talix::StoredHeader header;
        ASSERT_TRUE(talix::DecodeStoredHeader(at, available, &header));
        EXPECT_EQ(header.form, forms[i]);
        EXPECT_EQ(header.signature, records[i].signature);
        EXPECT_TRUE(talix::HeaderFitsSignature(header, at, available));
        const std::uint32_t stored = talix::EvenLength(header.length);
        ASSERT_LE(stored, available);
        at += stored;
        available -= stored;
    }
    EXPECT_EQ(available, 0u);

    const std::vector<std::vector<std::uint8_t>> read = body.ReadBack();
    ASSERT_EQ(read.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) EXPECT_EQ(read[i], records[i].bytes) << "record " << i;
}

} // namespace
