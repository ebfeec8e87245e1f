#include "support/record_fixture.h"

#include <cstring>

#include "core/record_forms.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix_test {

namespace {

constexpr std::uint32_t kItemRecordBytes = 49022;

plat::STATUS AppendValue(plat::NOTEHANDLE note, const std::string& name, const std::string& records) {
    return plat::ItemAppend(note, 0, name.c_str(), static_cast<plat::WORD>(name.size()), plat::TYPE_COMPOSITE,
                            records.data(), static_cast<plat::DWORD>(records.size()));
}

} // namespace

FixtureRecord HostRecord(std::uint16_t signature, std::uint32_t length) {
    FixtureRecord record;
    record.signature = signature;
    record.bytes.assign(length, 0);
    if (talix::LengthFieldForm(signature) == talix::HeaderForm::Byte) {
        record.bytes[0] = static_cast<std::uint8_t>(signature);
    } else {
        PutWord(&record, 0, signature);
    }
    talix::SetHostRecordLength(record.bytes.data(), signature, length);
    return record;
}

FixtureRecord TextRecord(std::uint32_t fontId, std::string_view lmbcsText) {
    FixtureRecord record = HostRecord(0xFF85, static_cast<std::uint32_t>(8 + lmbcsText.size()));
    PutDword(&record, 4, fontId);
    std::memcpy(record.bytes.data() + 8, lmbcsText.data(), lmbcsText.size());
    return record;
}

FixtureRecord HeadAndText(std::uint16_t signature, std::uint32_t head, std::uint32_t lengthAt,
                          std::string_view text) {
    FixtureRecord record = HostRecord(signature, static_cast<std::uint32_t>(head + text.size()));
    PutWord(&record, lengthAt, static_cast<std::uint16_t>(text.size()));
    std::memcpy(record.bytes.data() + head, text.data(), text.size());
    return record;
}

void PutWord(FixtureRecord* record, std::size_t offset, std::uint16_t value) {
    talix::WriteWord(record->bytes.data() + offset, value);
}

void PutDword(FixtureRecord* record, std::size_t offset, std::uint32_t value) {
    talix::WriteDword(record->bytes.data() + offset, value);
}

plat::STATUS StoreRichTextItem(plat::NOTEHANDLE note, const std::string& itemName,
                               const std::vector<FixtureRecord>& records) {
    RARIvoSession session;
    ZervaRTItem converter(&session);
    std::string value;
    for (const FixtureRecord& record : records) {
        std::uint32_t length = static_cast<std::uint32_t>(record.bytes.size());
        const void* stored = converter.ConvertToCanonicalData(record.bytes.data(), record.signature, &length);
        if (stored == nullptr) return 263;
        if (!value.empty() && value.size() + length > kItemRecordBytes) {
            plat::STATUS status = AppendValue(note, itemName, value);
            if (status != plat::NOERROR) return status;
            value.clear();
        }
        value.append(static_cast<const char*>(stored), length);
        if (length % 2 != 0) value.push_back('\0');
    }
    return value.empty() ? plat::NOERROR : AppendValue(note, itemName, value);
}

std::string StoredWord(std::uint16_t value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

std::string StoredDword(std::uint32_t value) {
    return StoredWord(static_cast<std::uint16_t>(value)) + StoredWord(static_cast<std::uint16_t>(value >> 16));
}

std::string StoredRecord(StoredHeader form, std::uint16_t signature, const std::string& body) {
    switch (form) {
    case StoredHeader::Byte: {
        const std::size_t length = 2 + body.size();
        return std::string{static_cast<char>(signature), static_cast<char>(length)} + body;
    }
    case StoredHeader::Word:
        return StoredWord(signature) + StoredWord(static_cast<std::uint16_t>(4 + body.size())) + body;
    case StoredHeader::Long:
        return StoredWord(signature) + StoredDword(static_cast<std::uint32_t>(6 + body.size())) + body;
    }
    return body;
}

plat::STATUS StoreStoredItems(plat::NOTEHANDLE note, const std::string& itemName,
                              const std::vector<std::vector<std::string>>& values) {
    for (const std::vector<std::string>& records : values) {
        std::string value;
        for (const std::string& record : records) {
            value += record;
            if (record.size() % 2 != 0) value.push_back('\0');
        }
        const plat::STATUS status = AppendValue(note, itemName, value);
        if (status != plat::NOERROR) return status;
    }
    return plat::NOERROR;
}

std::vector<std::string> StoredValues(plat::NOTEHANDLE note, const std::string& itemName) {
    std::vector<std::string> values;
    const auto nameLength = static_cast<plat::WORD>(itemName.size());
    plat::BLOCKID item, value;
    plat::WORD type = 0;
    plat::DWORD length = 0;
    plat::STATUS status = plat::ItemInfo(note, itemName.c_str(), nameLength, &item, &type, &value, &length);
    while (status == plat::NOERROR) {
        const void* bytes = plat::BlockLock(value);
        values.emplace_back(static_cast<const char*>(bytes), length);
        plat::BlockUnlock(value);
        status = plat::ItemInfoNext(note, item, itemName.c_str(), nameLength, &item, &type, &value, &length);
    }
    return values;
}

} // namespace talix_test
