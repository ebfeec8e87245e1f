// The commands import, notes, items and value.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "cli.h"
#include "core/replacing_file.h"

namespace talix_cli {

namespace {

// The first entry of a text or text-list item, in LMBCS; false when the
// note has no such item or it holds no text.
bool FirstTextEntry(plat::NOTEHANDLE note, const char* name, std::string* text) {
    std::vector<ItemValue> items = FindItems(note, name);
    if (items.empty()) return false;
    const ItemValue& item = items.front();
    if (item.length < 2 || (item.type != plat::TYPE_TEXT && item.type != plat::TYPE_TEXT_LIST)) return false;
    const auto* value = static_cast<const unsigned char*>(plat::BlockLock(item.value));
    if (value == nullptr) return false;
    const unsigned char* data = value + 2;
    size_t size = item.length - 2;
    bool ok = true;
    if (item.type == plat::TYPE_TEXT) {
        text->assign(reinterpret_cast<const char*>(data), size);
    } else {
        // WORD count, WORD lengths, then the entries.
        size_t count = size >= 2 ? (data[0] | (data[1] << 8)) : 0;
        size_t first = size >= 4 ? (data[2] | (data[3] << 8)) : 0;
        size_t start = 2 + 2 * count;
        ok = count > 0 && start <= size && first <= size - start;
        if (ok) text->assign(reinterpret_cast<const char*>(data + start), first);
    }
    plat::BlockUnlock(item.value);
    return ok;
}

// Reads K of "--index K" from args (removed from it); -1 when absent.
bool TakeIndexOption(const Command& command, std::vector<std::string>* args, long* index, int* exitCode) {
    *index = -1;
    for (size_t i = 0; i < args->size(); ++i) {
        if ((*args)[i] != "--index" || IsOperand(*args, i)) continue;
        if (i + 1 >= args->size()) {
            *exitCode = UsageError(command, "--index needs a number");
            return false;
        }
        const std::string& text = (*args)[i + 1];
        if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
            *exitCode = UsageError(command, "--index needs a number of 0 or more, not '%s'", text.c_str());
            return false;
        }
        if (*index >= 0) {
            *exitCode = UsageError(command, "--index given twice");
            return false;
        }
        *index = std::strtol(text.c_str(), nullptr, 10);
        args->erase(args->begin() + static_cast<long>(i), args->begin() + static_cast<long>(i) + 2);
        --i;
    }
    return true;
}

// A database an import makes. It is built under a name of its own beside
// the one it is made for and takes that name only once the import is whole:
// an import that fails, or a process that ends before, leaves nothing under
// the name. A signal that ends the program takes the file with it.
class NewDatabase {
public:
    NewDatabase() = default;
    ~NewDatabase() { Discard(); }
    NewDatabase(const NewDatabase&) = delete;
    NewDatabase& operator=(const NewDatabase&) = delete;

    plat::STATUS Create(const std::string& path) {
        // The signals wait while the file is made and named for the handler.
        sigset_t ending, before;
        sigemptyset(&ending);
        for (const int number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&ending, number);
        ::sigprocmask(SIG_BLOCK, &ending, &before);
        std::string aside;
        const plat::STATUS status = plat::DbCreateAside(path.c_str(), &handle_, &aside);
        if (status == plat::NOERROR) {
            for (const char* suffix : {"", "-wal", "-shm", "-journal"})
                pending_.push_back(talix::RememberPendingOutput((aside + suffix).c_str()));
        } else {
            handle_ = 0;
        }
        ::sigprocmask(SIG_SETMASK, &before, nullptr);
        return status;
    }
    plat::DBHANDLE handle() const { return handle_; }
    // Gives the database its name (ERR_DB_EXISTS, the database gone, when
    // another process made one under it meanwhile).
    plat::STATUS Publish() {
        const plat::STATUS status = plat::DbPublish(handle_);
        handle_ = 0;
        Forget();
        return status;
    }
    void Discard() {
        if (handle_ != 0) plat::DbDiscard(handle_);
        handle_ = 0;
        Forget();
    }

private:
    void Forget() {
        for (const int entry : pending_) talix::ForgetPendingOutput(entry);
        pending_.clear();
    }

    plat::DBHANDLE handle_ = 0;
    std::vector<int> pending_;
};

// Says why an import failed.
void ImportFailed(plat::STATUS status, const plat::DxlImportResult& result) {
    if (result.error.empty()) Fail("%s", StatusMessage(status).c_str());
    else Fail("%s (%s)", result.error.c_str(), StatusMessage(status).c_str());
}

// A note's "$Flags" text (empty when it has none).
std::string DesignFlags(plat::NOTEHANDLE note) {
    char flags[256] = {};
    plat::ItemGetText(note, "$Flags", flags, sizeof flags);
    return flags;
}

// An image or file resource among the imported notes whose content item is
// missing or empty (an export that left the picture or file beside the
// DXL, not in it) is said once, on standard error; the import stands.
void ReportEmptyResource(plat::DBHANDLE db, plat::NOTEID id) {
    plat::NOTEHANDLE note = 0;
    plat::WORD noteClass = 0;
    if (plat::NoteOpen(db, id, plat::OPEN_NOTE_DEFAULT, &note) != plat::NOERROR) return;
    plat::NoteGetInfo(note, plat::NOTE_FIELD_CLASS, &noteClass);
    const std::string kind = (noteClass & plat::NOTE_CLASS_FORM) != 0 ? DesignKindName(DesignFlags(note)) : "";
    const char* item = kind == "image resource" ? "$ImageData" : kind == "file resource" ? "$FileData" : nullptr;
    bool held = item == nullptr;
    if (item != nullptr) {
        for (const ItemValue& value : FindItems(note, item)) held |= value.length > sizeof(plat::WORD);
    }
    if (!held)
        Warn("note 0x%08X: the %s '%s' holds no data (%s is missing or empty)", static_cast<unsigned>(id),
             kind.c_str(), NoteTitle(note).c_str(), item);
    plat::NoteClose(note);
}

} // namespace

std::string NoteTitle(plat::NOTEHANDLE note) {
    std::string title;
    if (FirstTextEntry(note, "$TITLE", &title) && !title.empty()) return plat::LmbcsToNative(title);
    if (FirstTextEntry(note, "Subject", &title)) return plat::LmbcsToNative(title);
    return "";
}

// Lists the notes an import stored: id, UNID and the file of each.
int ListImported(plat::DBHANDLE db, const plat::DxlImportResult& result) {
    int exitCode = kExitOk;
    for (size_t i = 0; i < result.notes.size(); ++i) {
        const plat::NOTEID id = result.notes[i];
        plat::ORIGINATORID oid;
        plat::TIMEDATE modified;
        plat::WORD noteClass = 0;
        const plat::STATUS status = plat::DbNoteInfo(db, id, &oid, &modified, &noteClass);
        if (status != plat::NOERROR) {
            exitCode = Fail("cannot read note 0x%08X: %s", static_cast<unsigned>(id), StatusMessage(status).c_str());
            continue;
        }
        std::printf("0x%08X\t%s\t%s\n", static_cast<unsigned>(id), UnidText(plat::UNID{oid.File, oid.Note}).c_str(),
                    Escape(i < result.files.size() ? result.files[i] : std::string()).c_str());
        ReportEmptyResource(db, id);
    }
    return exitCode;
}

int RunImport(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() < 2) return UsageError(command, "import needs a database and at least one DXL file");
    const std::string& path = args[0];
    const std::vector<std::string> files(args.begin() + 1, args.end());
    // The files are imported together, all or none: a file that fails
    // leaves the database as it was. A database that is not there is made
    // with the import, whole or not at all; when another process makes it
    // meanwhile, the files go into that one.
    plat::DxlImportResult result;
    for (int round = 0;; ++round) {
        Database db;
        plat::DBHANDLE existing = 0;
        const plat::STATUS opened = plat::DbOpen(path.c_str(), &existing);
        if (opened == plat::NOERROR) {
            plat::DbClose(existing);
            if (!db.Open(path, false)) return kExitFailed;
            if (plat::DbIsReadOnly(db.handle())) return ReadOnlyDatabase(path);
            const plat::STATUS status = plat::DxlImportFiles(db.handle(), files, &result);
            if (status != plat::NOERROR) {
                ImportFailed(status, result);
                return kExitFailed;
            }
            return ListImported(db.handle(), result);
        }
        NewDatabase made;
        const plat::STATUS created = made.Create(path);
        if (created == plat::ERR_DB_EXISTS && round == 0) continue;
        if (created != plat::NOERROR)
            return Fail("cannot open %s: %s; cannot create it: %s", path.c_str(), StatusMessage(opened).c_str(),
                        StatusMessage(created).c_str());
        const plat::STATUS status = plat::DxlImportFiles(made.handle(), files, &result);
        if (status != plat::NOERROR) {
            ImportFailed(status, result);
            made.Discard();
            Fail("nothing was imported: the new database was removed again");
            return kExitFailed;
        }
        const plat::STATUS published = made.Publish();
        if (published == plat::ERR_DB_EXISTS && round == 0) continue;
        // A link that leads nowhere stands under the name: it is neither a
        // database to import into nor replaced by one.
        std::error_code error;
        if (published == plat::ERR_DB_EXISTS && std::filesystem::is_symlink(path, error) &&
            !std::filesystem::exists(path, error))
            return Fail("cannot create %s: it is a link to a file that does not exist", path.c_str());
        if (published != plat::NOERROR)
            return Fail("cannot create %s: %s", path.c_str(), StatusMessage(published).c_str());
        if (!db.Open(path, false)) return kExitFailed;
        return ListImported(db.handle(), result);
    }
}

int RunNotes(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() != 1) return UsageError(command, "notes needs exactly one database");
    Database db;
    if (!db.Open(args[0], false)) return kExitFailed;
    std::vector<plat::NOTEID> ids;
    plat::STATUS status = plat::DbScanNotes(db.handle(), [&](plat::NOTEID id, plat::WORD) -> plat::STATUS {
        ids.push_back(id);
        return plat::NOERROR;
    });
    if (status != plat::NOERROR) return Fail("cannot list the notes of %s: %s", args[0].c_str(), StatusMessage(status).c_str());
    for (plat::NOTEID id : ids) {
        plat::NOTEHANDLE note = 0;
        status = plat::NoteOpen(db.handle(), id, plat::OPEN_NOTE_DEFAULT, &note);
        plat::ORIGINATORID oid;
        plat::WORD noteClass = 0;
        if (status == plat::NOERROR) status = plat::NoteGetInfo(note, plat::NOTE_FIELD_OID, &oid);
        if (status == plat::NOERROR) status = plat::NoteGetInfo(note, plat::NOTE_FIELD_CLASS, &noteClass);
        if (status != plat::NOERROR) {
            if (note != 0) plat::NoteClose(note);
            exitCode = Fail("cannot read note 0x%08X: %s", static_cast<unsigned>(id), StatusMessage(status).c_str());
            continue;
        }
        std::printf("0x%08X\t%s\t0x%04X\t%s\t%s\n", static_cast<unsigned>(id),
                    UnidText(plat::UNID{oid.File, oid.Note}).c_str(), static_cast<unsigned>(noteClass),
                    Escape(NoteTitle(note)).c_str(), NoteClassNames(noteClass, DesignFlags(note)).c_str());
        plat::NoteClose(note);
    }
    return exitCode;
}

int RunItems(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() != 2) return UsageError(command, "items needs a database and a note");
    if (!IsNoteArgument(args[1])) return UsageError(command, "'%s' is neither a note id nor a UNID", args[1].c_str());
    Database db;
    Note note;
    if (!db.Open(args[0], false) || !note.Open(db.handle(), args[1])) return kExitFailed;
    std::vector<char> name(0x10000);
    plat::STATUS status = plat::ItemScan(note.handle(), [&](plat::BLOCKID item) -> plat::STATUS {
        plat::WORD flags = 0, type = 0;
        plat::BLOCKID value;
        plat::DWORD length = 0;
        plat::STATUS queried = plat::ItemQuery(item, name.data(), static_cast<plat::WORD>(name.size() - 1), &flags,
                                               &type, &value, &length);
        if (queried != plat::NOERROR) return queried;
        std::printf("%s\t0x%04X\t0x%04X\t%u\t%s\n", Escape(plat::LmbcsToNative(name.data())).c_str(),
                    static_cast<unsigned>(type), static_cast<unsigned>(flags), static_cast<unsigned>(length),
                    ItemTypeNames(type, flags).c_str());
        return plat::NOERROR;
    });
    if (status != plat::NOERROR) return Fail("cannot list the items of note %s: %s", args[1].c_str(), StatusMessage(status).c_str());
    return kExitOk;
}

int RunValue(const Command& command, const std::vector<std::string>& givenArgs) {
    std::vector<std::string> args = givenArgs;
    int exitCode = kExitOk;
    long index = -1;
    Database db;
    Note note;
    std::vector<ItemValue> items;
    if (!TakeIndexOption(command, &args, &index, &exitCode) ||
        !OpenItemArguments(command, args, false, &db, &note, &items, &exitCode))
        return exitCode;
    if (index >= 0) {
        if (static_cast<size_t>(index) >= items.size()) {
            return Fail("note %s has %zu item(s) named '%s': there is no index %ld", args[1].c_str(), items.size(),
                        args[2].c_str(), index);
        }
        items = {items[static_cast<size_t>(index)]};
    }
    for (const ItemValue& item : items) {
        const void* bytes = plat::BlockLock(item.value);
        if (bytes == nullptr) return Fail("cannot read item '%s'", args[2].c_str());
        size_t written = std::fwrite(bytes, 1, item.length, stdout);
        plat::BlockUnlock(item.value);
        if (written != item.length) return Fail("cannot write the value: %s", std::strerror(errno));
    }
    if (std::fflush(stdout) != 0) return Fail("cannot write the value: %s", std::strerror(errno));
    return kExitOk;
}

} // namespace talix_cli
