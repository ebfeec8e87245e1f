// The records command: lists the CD records of a rich-text item, one per
// line, as the library's record reader reads them; damaged data ends the
// listing with the reader's own judgement of it. The same judgement tells
// the commands that write an item back whether it is damaged.
#include <cstdio>
#include <string>

#include "cli.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "talix/item.h"
#include "talix/session.h"

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
        if (length >= talix::kTextRunHeader) {
            std::string run = plat::LmbcsToNative(std::string_view(
                reinterpret_cast<const char*>(record + talix::kTextRunHeader), length - talix::kTextRunHeader));
            std::snprintf(text, sizeof text, "font=0x%08X text=", static_cast<unsigned>(talix::ReadDword(record + 4)));
            return text + Escape(run, kTextCut);
        }
        break;
    case talix::kSigPabDefinition:
        if (length >= 6) std::snprintf(text, sizeof text, "pabid=%u", talix::ReadWord(record + 4));
        break;
    case talix::kSigPabReference:
        if (length >= talix::kParagraphReferenceLength)
            std::snprintf(text, sizeof text, "pabid=%u", talix::ReadWord(record + 2));
        break;
    case talix::kSigTableBegin:
    case talix::kSigNestedTableBegin:
        if (length >= talix::kTableBeginLength) {
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

// The side data the reader gave a record, as text.
std::string ExtraText(const talix::CDRecordNode* node) {
    char text[160];
    text[0] = '\0';
    if (talix::RecordExtra(node) == nullptr) return text;
    switch (node->signature) {
    case talix::kSigText: {
        const auto* extra = static_cast<const talix::TextExtra*>(talix::RecordExtra(node));
        std::string run = plat::LmbcsToNative(std::string_view(extra->text, extra->length));
        return "text=" + Escape(run, kTextCut);
    }
    case talix::kSigTableBegin:
    case talix::kSigNestedTableBegin: {
        const auto* extra = static_cast<const talix::TableExtra*>(talix::RecordExtra(node));
        std::snprintf(text, sizeof text, "rows=%u columns=%u", extra->rows, extra->columns);
        break;
    }
    case talix::kSigTableCell:
    case talix::kSigNestedTableCell: {
        const auto* extra = static_cast<const talix::CellExtra*>(talix::RecordExtra(node));
        std::snprintf(text, sizeof text, "table=%u pretable=%u", extra->tableBegin->index,
                      extra->preTable != nullptr ? extra->preTable->index : 0);
        break;
    }
    case talix::kSigBitmapHeader:
    case talix::kSigGraphic: {
        const auto* extra = static_cast<const talix::GraphicExtra*>(talix::RecordExtra(node));
        std::snprintf(text, sizeof text, "%s=%u segment=%u", node->signature == talix::kSigGraphic ? "key" : "offset",
                      extra->key,
                      extra->segment);
        break;
    }
    default:
        break;
    }
    return text;
}

// Why the reader stopped, in words.
std::string StopText(const talix::RecordReadStop& stop) {
    char text[256];
    const unsigned signature = stop.signature;
    const unsigned long length = stop.length, left = stop.left;
    switch (stop.fault) {
    case talix::RecordFault::HeaderCut:
        if (stop.left < 2) std::snprintf(text, sizeof text, "a record header needs 2 bytes, %lu is left", left);
        else std::snprintf(text, sizeof text, "the record header of 0x%04X is cut off", signature);
        break;
    case talix::RecordFault::ZeroLength:
        std::snprintf(text, sizeof text, "record 0x%04X has length 0", signature);
        break;
    case talix::RecordFault::ZeroSignature:
        std::snprintf(text, sizeof text, "a record of length %lu has signature 0", length);
        break;
    case talix::RecordFault::BelowHeader:
        std::snprintf(text, sizeof text, "record 0x%04X is shorter (%lu) than its header", signature, length);
        break;
    case talix::RecordFault::WrongForm:
        std::snprintf(text, sizeof text, "record 0x%04X has a header its signature does not have", signature);
        break;
    case talix::RecordFault::PastEnd:
        std::snprintf(text, sizeof text,
                      "record 0x%04X of length %lu runs past the end of the value (%lu bytes left)", signature,
                      length, left);
        break;
    case talix::RecordFault::TooLarge:
        std::snprintf(text, sizeof text, "record 0x%04X of length %lu is too large to hold", signature, length);
        break;
    case talix::RecordFault::ShortValue:
        std::snprintf(text, sizeof text, "a value of %lu bytes holds no data type", left);
        return text;
    case talix::RecordFault::None:
        return "no fault";
    }
    return text;
}

// "damaged data at byte N: why", for a stop of the reader.
std::string DamageText(const talix::RecordReadStop& stop) {
    if (stop.fault == talix::RecordFault::ShortValue) return StopText(stop);
    return "damaged data at byte " + std::to_string(stop.offset) + ": " + StopText(stop);
}

plat::STATUS AcceptRecord(const void*, plat::WORD, plat::DWORD, void*) { return plat::NOERROR; }

// Lists the records of the item of the arguments DB NOTE ITEM as the
// library's reader reads them: in stored form (the record as the item holds
// it, with its key fields), or with host in host form with the side data
// the reader gives it. Records the reader could not read are reported after
// the ones it read.
int ListRecords(const Command& command, const std::vector<std::string>& args, bool host) {
    int exitCode = kExitOk;
    std::vector<ItemValue> values;
    Database db;
    Note note;
    if (!OpenItemArguments(command, args, true, &db, &note, &values, &exitCode)) return exitCode;
    RARIvoSession session;
    ZervaRTItem item(&session);
    const std::string name = plat::NativeToLmbcs(args[2]);
    talix::STATUS status = talix::kOK;
    talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, host ? 1 : 0, 0, note.handle(), name.c_str(), &status);
    if (list == nullptr) return Fail("cannot read item '%s': %s", args[2].c_str(), StatusMessage(status).c_str());
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        plat::WORD type = 0;
        const char* signatureName = nullptr;
        if (!plat::SignatureInfo(node->signature, &type, &signatureName) || signatureName == nullptr)
            signatureName = "?";
        std::uint32_t length = node->length;
        std::string fields;
        if (host) {
            fields = ExtraText(node);
        } else {
            const void* stored = item.ConvertToCanonicalData(node->bytes, node->signature, &length);
            if (stored == nullptr) {
                talix::DeleteItemRecordList(&session, list);
                std::fflush(stdout);
                return Fail("cannot convert record %u of item '%s'", node->index, args[2].c_str());
            }
            fields = KeyFields(node->signature, static_cast<const unsigned char*>(stored), length);
        }
        std::printf("%u\t0x%04X\t%s\t%u\t%s\n", node->index, static_cast<unsigned>(node->signature), signatureName,
                    static_cast<unsigned>(length), fields.c_str());
    }
    const talix::RecordReadStop stop = talix::DescribeReadStop(list);
    talix::DeleteItemRecordList(&session, list);
    if (status == talix::kOK) return kExitOk;
    std::fflush(stdout);
    if (status == talix::kDamagedRecords) return Fail("item %u: %s", stop.item, DamageText(stop).c_str());
    return Fail("item '%s' could not be read to its end: %s", args[2].c_str(), StatusMessage(status).c_str());
}

} // namespace

bool WalkStoredRecords(const unsigned char* value, size_t length, const std::function<void(const StoredRecord&)>& each,
                       std::string* damage) {
    talix::RecordReadStop stop;
    const bool whole = talix::WalkStoredValue(
        value, static_cast<std::uint32_t>(length),
        [&](const std::uint8_t* record, std::uint16_t signature, std::uint32_t recordLength, std::uint32_t offset) {
            if (each) each(StoredRecord{signature, offset, recordLength, record});
        },
        &stop);
    if (!whole && damage != nullptr) *damage = DamageText(stop);
    return whole;
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
    return ListRecords(command, args, false);
}

int RunRecordsCommand(const Command& command, const std::vector<std::string>& args) {
    std::vector<std::string> rest;
    bool host = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--host" && !IsOperand(args, i)) host = true;
        else rest.push_back(args[i]);
    }
    // Any other option is refused where the arguments are checked.
    return ListRecords(command, rest, host);
}

} // namespace talix_cli
