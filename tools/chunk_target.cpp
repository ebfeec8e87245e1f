#include "chunk_target.h"

#include <strings.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/chunk_definition.h"
#include "core/statuses.h"

namespace talix_cli {

namespace {

// Whether the item's values are rich text to work on (none: only when the
// item is to be created); prints the reason when not.
bool ReadableItem(const std::string& noteArg, const std::string& itemName, const std::vector<ItemValue>& values,
                  bool create, int* exitCode) {
    if (values.empty() && !create) {
        *exitCode = Fail("note %s has no item '%s'", noteArg.c_str(), itemName.c_str());
        return false;
    }
    if (!values.empty() && values.front().type != plat::TYPE_COMPOSITE) {
        *exitCode = Fail("item '%s' is not rich text (data type 0x%04X)", itemName.c_str(),
                         static_cast<unsigned>(values.front().type));
        return false;
    }
    return true;
}

// Why the parser refuses a definition, naming the part it refuses; empty
// when it does not say.
std::string DefinitionRefusal(const std::string& definition) {
    const std::string lmbcs = plat::NativeToLmbcs(definition);
    talix::DefinitionFault fault;
    talix::FreeChunkDefinition(
        talix::ParseChunkDefinition(nullptr, 0, nullptr, lmbcs.c_str(), nullptr, nullptr, &fault));
    std::string part;
    if (fault.partEnd > fault.partBegin && fault.partEnd <= lmbcs.size())
        part = plat::LmbcsToNative(std::string_view(lmbcs).substr(fault.partBegin, fault.partEnd - fault.partBegin));
    const std::size_t first = part.find_first_not_of(' ');
    part = first == std::string::npos ? std::string() : part.substr(first, part.find_last_not_of(' ') - first + 1);
    switch (fault.kind) {
    case talix::DefinitionFaultKind::kEmpty: return "it names no part";
    case talix::DefinitionFaultKind::kBlankPart: return "a part between ';' holds only blanks";
    case talix::DefinitionFaultKind::kNoOccurrence:
        return "'" + part + "' names no occurrence: a part is an element type and its occurrences, such as 'Table 1' "
               "or 'Row *'";
    case talix::DefinitionFaultKind::kUnknownType: return "no element type is named in '" + part + "'";
    case talix::DefinitionFaultKind::kMisplacedRow:
        return "'" + part + "' must follow a Table or Column level (such as 'Table 1; " + part + "')";
    case talix::DefinitionFaultKind::kMisplacedColumn:
        return "'" + part + "' must follow a Table or Row level (such as 'Table 1; " + part + "')";
    case talix::DefinitionFaultKind::kNegativeNumber: return "occurrences are numbered from 1";
    case talix::DefinitionFaultKind::kStrayWords:
        return "'" + part + "' holds words that are neither occurrences nor a text in quotes, such as 'Table 2' "
               "or 'Text \"Hello\" 1'";
    case talix::DefinitionFaultKind::kTooManyOccurrences: return "a level lists at most 100 occurrences";
    default: return std::string();
    }
}

} // namespace

ChunkOfItem::~ChunkOfItem() { Close(); }

void ChunkOfItem::Close() {
    delete chunk_;
    chunk_ = nullptr;
    delete item_;
    item_ = nullptr;
}

bool ChunkOfItem::Open(const Command& command, const std::string& dbPath, const std::string& noteArg,
                       const std::string& itemName, const std::string& definition, ItemUse use, int* exitCode,
                       bool emptyAllowed) {
    const bool create = use == ItemUse::kCreate || use == ItemUse::kReplace;
    if (!IsNoteArgument(noteArg)) {
        *exitCode = UsageError(command, "'%s' is neither a note id nor a UNID", noteArg.c_str());
        return false;
    }
    plat::NOTEID id = 0;
    if (use == ItemUse::kRead) {
        // The item is looked at in the note the library opens: a note of
        // large items is read once.
        Database db;
        if (!db.Open(dbPath, false) || !Note::Locate(db.handle(), noteArg, &id)) {
            *exitCode = kExitFailed;
            return false;
        }
    } else {
        Database db;
        Note note;
        if (!db.Open(dbPath, false) || !note.Open(db.handle(), noteArg)) {
            *exitCode = kExitFailed;
            return false;
        }
        std::vector<ItemValue> values = FindItems(note.handle(), itemName);
        if (!ReadableItem(noteArg, itemName, values, create, exitCode)) return false;
        if ((use == ItemUse::kWrite || use == ItemUse::kCreate) && !ItemUndamaged(command, itemName, values)) {
            *exitCode = kExitFailed;
            return false;
        }
        plat::NoteGetInfo(note.handle(), plat::NOTE_FIELD_ID, &id);
    }
    dbPath_ = dbPath;
    session_.SetUp();
    item_ = new ZervaRTItem(&session_);
    std::string lmbcsName = plat::NativeToLmbcs(itemName);
    talix::STATUS status = item_->Connect("", dbPath.c_str(), id, lmbcsName.c_str(), create ? 1 : 0);
    if (use == ItemUse::kRead) {
        if (item_->noteHandle == 0) {
            *exitCode = Fail("cannot open note %s: %s", noteArg.c_str(), StatusMessage(status).c_str());
            return false;
        }
        if (!ReadableItem(noteArg, itemName, FindItems(item_->noteHandle, itemName), create, exitCode)) return false;
    }
    if (status != talix::kOK || item_->connected == 0) {
        *exitCode = Fail("cannot connect to item '%s': %s", itemName.c_str(), StatusMessage(status).c_str());
        return false;
    }
    if (use == ItemUse::kReplace) {
        status = item_->CreateBlankRichTextItem();
        if (status != talix::kOK) {
            *exitCode = Fail("cannot make item '%s' blank: %s", itemName.c_str(), StatusMessage(status).c_str());
            return false;
        }
    }
    chunk_ = item_->DefineChunk(plat::NativeToLmbcs(definition).c_str());
    if (chunk_ == nullptr) {
        const std::string why = DefinitionRefusal(definition);
        *exitCode = why.empty() ? Fail("'%s' is not a chunk definition", definition.c_str())
                                : Fail("'%s' is not a chunk definition: %s", definition.c_str(), why.c_str());
        return false;
    }
    // A command acting on a chunk that is not there says so rather than
    // doing nothing successfully. The whole item is always there.
    if (emptyAllowed || strcasecmp(definition.c_str(), "Everything") == 0 || chunk_->Exists() != 0) return true;
    if (chunk_->lastStatus != talix::kOK)
        *exitCode = Fail("cannot look for '%s' in '%s': %s", definition.c_str(), itemName.c_str(),
                         StatusMessage(chunk_->lastStatus, chunk_->errorWord).c_str());
    else
        *exitCode = Fail("'%s' matches nothing in '%s'", definition.c_str(), itemName.c_str());
    return false;
}

int MethodFailed(const std::string& what, const ZervaRTChunk* chunk, talix::STATUS status) {
    return Fail("%s failed: %s", what.c_str(), StatusMessage(status, chunk->errorWord).c_str());
}

int SaveAfterMethod(const std::string& what, ChunkOfItem* target, talix::STATUS status) {
    if (status != talix::kOK) return MethodFailed(what, target->chunk(), status);
    const talix::STATUS saved = target->item()->Save();
    if (saved != talix::kOK) return Fail("cannot save the note: %s", StatusMessage(saved).c_str());
    return kExitOk;
}

} // namespace talix_cli
