// The records command: lists the CD records of a rich-text item, one per
// line, walking the stored bytes without ever reading past a value. The same
// walk tells the commands that write an item back whether it is damaged.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "cli.h"
#include "core/record_forms.h"
#include "core/signatures.h"

namespace talix_cli {

namespace {

constexpr size_t kTextCut = 60;   // characters of a text run shown

// A short summary of the fields that matter most in the common records;
// record points at the whole record (length bytes, header included).
std::string KeyFields(plat::WORD signature, const unsigned char* record, size_t length) {
    char text[160];
    text[0] = '\0';
    switch (signature) {
    case talix::kSigText:
    case talix::kSigBidiText:
        if (length >= 8) {
            std::string run = plat::LmbcsToNative(std::string_view(reinterpret_cast<const char*>(record + 8), length - 8));
            std::snprintf(text, sizeof text, "font=0x%08X text=", static_cast<unsigned>(talix::ReadDword(record + 4)));
            return text + Escape(run, kTextCut);
        }
        break;
    case talix::kSigPabDefinition:
        if (length >= 6) std::snprintf(text, sizeof text, "pabid=%u", talix::ReadWord(record + 4));
        break;
    case talix::kSigPabReference:
        if (length >= 4) std::snprintf(text, sizeof text, "pabid=%u", talix::ReadWord(record + 2));
        break;
    case talix::kSigTableBegin:
    case talix::kSigNestedTableBegin:
        if (length >= 14) {
            std::snprintf(text, sizeof text, "leftmargin=%u flags=0x%04X", talix::ReadWord(record + 2),
                          talix::ReadWord(record + 12));
        }
        break;
    case talix::kSigTableCell:
    case talix::kSigNestedTableCell:
        if (length >= 16) {
            std::snprintf(text, sizeof text, "row=%u column=%u rowspan=%u columnspan=%u", record[2], record[3],
                          record[14], record[15]);
        }
        break;
    case talix::kSigHotspotBegin:
    case talix::kSigV4HotspotBegin:
    case talix::kSigV5HotspotBegin:
    case talix::kSigV6HotspotBeginContinuation:
        if (length >= 6) std::snprintf(text, sizeof text, "type=%u", talix::ReadWord(record + 4));
        break;
    default:
        break;
    }
    return text;
}

plat::STATUS AcceptRecord(const void*, plat::WORD, plat::DWORD, void*) { return plat::NOERROR; }

std::string Describe(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Describe(const char* format, ...) {
    char what[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(what, sizeof what, format, args);
    va_end(args);
    return what;
}

} // namespace

bool WalkStoredRecords(const unsigned char* value, size_t length, const std::function<void(const StoredRecord&)>& each,
                       std::string* damage) {
    size_t offset = 2;
    while (offset < length) {
        size_t left = length - offset;
        const unsigned char* record = value + offset;
        plat::WORD signature = 0;
        size_t header = 0, recordLength = 0;
        if (left < 2) {
            *damage = Describe("damaged data at byte %zu: a record header needs 2 bytes, 1 is left", offset);
            return false;
        }
        plat::WORD first = talix::ReadWord(record);
        if (first < 0x0100) {           // long form: WORD signature, DWORD length
            header = 6;
            if (left >= header) recordLength = talix::ReadDword(record + 2);
            signature = first;
        } else if ((first >> 8) == 0xFF) {   // word form: WORD signature, WORD length
            header = 4;
            if (left >= header) recordLength = talix::ReadWord(record + 2);
            signature = first;
        } else {                        // byte form: signature, then length
            header = 2;
            recordLength = first >> 8;
            signature = first & 0xFF;
        }
        if (left < header) {
            *damage = Describe("damaged data at byte %zu: the record header of 0x%04X is cut off", offset, signature);
            return false;
        }
        if (recordLength == 0) {
            *damage = Describe("damaged data at byte %zu: record 0x%04X has length 0", offset, signature);
            return false;
        }
        if (recordLength < header) {
            *damage = Describe("damaged data at byte %zu: record 0x%04X is shorter (%zu) than its header", offset,
                               signature, recordLength);
            return false;
        }
        if (recordLength > left) {
            *damage = Describe("damaged data at byte %zu: record 0x%04X of length %zu runs past the end of the value "
                               "(%zu bytes left)", offset, signature, recordLength, left);
            return false;
        }
        if (each) each(StoredRecord{signature, offset, recordLength, record});
        // The next record starts at an even offset (an odd record has a pad
        // byte, which a value may leave out at its very end).
        offset += recordLength + (recordLength % 2);
    }
    return true;
}

bool ItemUndamaged(const Command& command, const std::string& itemName, const std::vector<ItemValue>& items) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].type != plat::TYPE_COMPOSITE) continue;
        const auto* value = static_cast<const unsigned char*>(plat::BlockLock(items[i].value));
        if (value == nullptr) {
            Fail("cannot read item '%s'; nothing was written", itemName.c_str());
            return false;
        }
        std::string damage;
        bool whole = WalkStoredRecords(value, items[i].length, nullptr, &damage);
        plat::STATUS status = whole ? plat::NOERROR
                                    : plat::EnumRecordsInMemory(value, items[i].length, AcceptRecord, nullptr);
        plat::BlockUnlock(items[i].value);
        if (!whole) {
            std::string reader = status != plat::NOERROR ? ": " + StatusMessage(status) : std::string();
            const std::string verb = std::string(command.name) == "append" ? "append to" : command.name;
            Fail("cannot %s item '%s': item %zu: %s%s; nothing was written", verb.c_str(), itemName.c_str(), i + 1,
                 damage.c_str(), reader.c_str());
            return false;
        }
    }
    return true;
}

int RunRecords(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    Database db;
    Note note;
    std::vector<ItemValue> items;
    if (!OpenItemArguments(command, args, true, &db, &note, &items, &exitCode)) return exitCode;
    size_t index = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const auto* value = static_cast<const unsigned char*>(plat::BlockLock(items[i].value));
        if (value == nullptr) return Fail("cannot read item '%s'", args[2].c_str());
        std::string damage;
        bool ok = WalkStoredRecords(value, items[i].length, [&](const StoredRecord& record) {
            plat::WORD type = 0;
            const char* name = nullptr;
            if (!plat::SignatureInfo(record.signature, &type, &name) || name == nullptr) name = "?";
            std::printf("%zu\t0x%04X\t%s\t%zu\t%s\n", ++index, static_cast<unsigned>(record.signature), name,
                        record.length, KeyFields(record.signature, record.bytes, record.length).c_str());
        }, &damage);
        plat::BlockUnlock(items[i].value);
        if (!ok) {
            // The records listed so far come first.
            std::fflush(stdout);
            return Fail("item %zu: %s", i + 1, damage.c_str());
        }
    }
    return kExitOk;
}

} // namespace talix_cli
