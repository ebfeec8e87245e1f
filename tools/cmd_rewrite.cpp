// The rewrite command (an item read into a record list by the library and
// written back) and the --host form of the records command (the records as
// the library's reader holds them: host form, with their side data).
#include <cstdio>
#include <string>

#include "cli.h"
#include "core/item_work_state.h"
#include "core/record_io.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix_cli {

namespace {

constexpr size_t kTextCut = 60;   // characters of a text run shown

// Checks the arguments DB NOTE ITEM of a rich-text item and opens the note;
// false (with the exit code set) when they are wrong or the note cannot be
// opened.
bool OpenArguments(const Command& command, const std::vector<std::string>& args, Database* db, Note* note,
                   int* exitCode) {
    std::vector<ItemValue> items;
    return OpenItemArguments(command, args, true, db, note, &items, exitCode);
}

// The side data the reader gave a record, as text.
std::string ExtraText(const talix::CDRecordNode* node) {
    char text[160];
    text[0] = '\0';
    if (node->extra == nullptr) return text;
    switch (node->signature) {
    case 0xFF85: {
        const auto* extra = static_cast<const talix::TextExtra*>(node->extra);
        std::string run = plat::LmbcsToNative(std::string_view(extra->text, extra->length));
        return "text=" + Escape(run, kTextCut);
    }
    case 0x00A3:
    case 0x00CF: {
        const auto* extra = static_cast<const talix::TableExtra*>(node->extra);
        std::snprintf(text, sizeof text, "rows=%u columns=%u", extra->rows, extra->columns);
        break;
    }
    case 0x00A4:
    case 0x00D0: {
        const auto* extra = static_cast<const talix::CellExtra*>(node->extra);
        std::snprintf(text, sizeof text, "table=%u pretable=%u", extra->tableBegin->index,
                      extra->preTable != nullptr ? extra->preTable->index : 0);
        break;
    }
    case 0x0095:
    case 0x0099: {
        const auto* extra = static_cast<const talix::GraphicExtra*>(node->extra);
        std::snprintf(text, sizeof text, "%s=%u segment=%u", node->signature == 0x0099 ? "key" : "offset", extra->key,
                      extra->segment);
        break;
    }
    default:
        break;
    }
    return text;
}

int RunHostRecords(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    Database db;
    Note note;
    if (!OpenArguments(command, args, &db, &note, &exitCode)) return exitCode;
    RARIvoSession session;
    ZervaRTItem item(&session);
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 1, 0, note.handle(), args[2].c_str(), &status);
    if (list == nullptr) return Fail("cannot read item '%s': %s", args[2].c_str(), StatusMessage(status).c_str());
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        plat::WORD type = 0;
        const char* name = nullptr;
        if (!plat::SignatureInfo(node->signature, &type, &name) || name == nullptr) name = "?";
        std::printf("%u\t0x%04X\t%s\t%u\t%s\n", node->index, static_cast<unsigned>(node->signature), name,
                    static_cast<unsigned>(node->length), ExtraText(node).c_str());
    }
    talix::FreeItemRecordList(&session, list);
    delete list;
    if (status != talix::kOK) {
        std::fflush(stdout);
        return Fail("item '%s' could not be read to its end: %s", args[2].c_str(), StatusMessage(status).c_str());
    }
    return kExitOk;
}

} // namespace

int RunRecordsCommand(const Command& command, const std::vector<std::string>& args) {
    std::vector<std::string> rest;
    bool host = false;
    for (const auto& arg : args) {
        if (arg == "--host") host = true;
        else rest.push_back(arg);
    }
    return host ? RunHostRecords(command, rest) : RunRecords(command, rest);
}

int RunRewrite(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    plat::NOTEID id = 0;
    {
        Database db;
        Note note;
        std::vector<ItemValue> items;
        if (!OpenItemArguments(command, args, true, &db, &note, &items, &exitCode)) return exitCode;
        if (!ItemUndamaged(command, args[2], items)) return kExitFailed;
        plat::STATUS status = plat::NoteGetInfo(note.handle(), plat::NOTE_FIELD_ID, &id);
        if (status != plat::NOERROR) return Fail("cannot read note %s: %s", args[1].c_str(), StatusMessage(status).c_str());
    }
    RARIvoSession session;
    session.SetUp();
    ZervaRTItem item(&session);
    talix::STATUS status = item.Connect("", args[0].c_str(), id, args[2].c_str(), 0);
    if (status != talix::kOK) return Fail("cannot connect to item '%s': %s", args[2].c_str(), StatusMessage(status).c_str());
    talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
    if (list == nullptr || status != talix::kOK) {
        if (list != nullptr) {
            talix::FreeItemRecordList(&session, list);
            delete list;
        }
        return Fail("cannot read item '%s': %s; nothing was written", args[2].c_str(), StatusMessage(status).c_str());
    }
    unsigned long records = 0;
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) ++records;
    if (talix::ItemRecordList* pending = item.work->current) {
        talix::FreeItemRecordList(&session, pending);
        delete pending;
    }
    item.work->current = list;
    status = item.Commit();
    if (status == talix::kOK) status = item.Save();
    if (status != talix::kOK) return Fail("cannot write item '%s' back: %s", args[2].c_str(), StatusMessage(status).c_str());
    std::printf("%lu\n", records);
    return kExitOk;
}

} // namespace talix_cli
