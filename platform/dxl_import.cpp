// Import of exported notes in "binary" DXL: every item is an <item> element
// with a typed value, binary values as base64 (<rawitemdata type='HEX'>).
//
// Every file is read (as a stream, dxl_reader.cpp) before anything is
// written: the notes read are held in memory, their items already in stored
// form, and the database's write lock is taken only once all of them are
// read, so that no other writer of the database waits while a file is read
// or parsed, and a file that does not read never takes the lock. An import
// lands whole or not at all: every note of every file goes into one batch
// of writes (one transaction). Each note is created (or the stored note of
// the same UNID, looked up under the lock, is opened and emptied),
// attachment contents become database objects, the items are appended and
// the note is updated. Any failure abandons the batch, and the database is
// as it was; so it is when the process ends before the commit. Objects only
// a replaced content named are freed in the batch.
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <unistd.h>

#include "dxl_reader.h"
#include "notes_internal.h"
#include "status_codes.h"
#include "talix_platform/database.h"
#include "talix_platform/dxl.h"
#include "talix_platform/input_file.h"
#include "talix_platform/structures.h"
#include "talix_platform/text.h"

namespace plat {

namespace {

constexpr WORD kFileObjectType = 58;        // structure type code of FILEOBJECT
constexpr size_t kFileObjectStored = 36;    // its stored length
// Reads of a DXL file: few calls for big files, little memory for them.
constexpr size_t kReadBuffer = 1 << 18;

class Importer {
public:
    explicit Importer(DBHANDLE db) : db_(db) {}
    ~Importer() {
        if (batchOpen_) DbAbortBatch(db_);
    }
    Importer(const Importer&) = delete;
    Importer& operator=(const Importer&) = delete;

    // Reads one more DXL text, named name in messages, keeping its notes
    // after those read before; false when it fails.
    bool Read(DxlSource* source, const std::string& name);
    // Opens a DXL file and reads it through the source's buffer; false when
    // it cannot be read or fails.
    bool ReadFile(const std::string& path, DxlSource* source);
    // Writes every note read in one batch and commits it, or (ok false, or a
    // write or the commit failing) abandons it and reports the failure that
    // stopped the import.
    STATUS Finish(bool ok, DxlImportResult* result);

private:
    // A note read, with the file it came from (an index of names_).
    struct ReadNote {
        DxlNote note;
        size_t file = 0;
    };

    bool WriteAll();
    bool Write(DxlNote& note);
    bool Build(DxlNote& note, NOTEHANDLE* handle, bool* replaces);
    bool AddItem(NOTEHANDLE handle, DxlItem& item);
    bool BatchFailed(STATUS status, const char* what);

    DBHANDLE db_;
    std::string name_;            // the file being read or written
    DxlFailure failure_;
    std::vector<std::string> names_;   // the files read, in order
    std::vector<ReadNote> read_;
    bool batchOpen_ = false;
    // The notes written, in the order they were first written, with the
    // file each came from (the last one, when a later note replaced it).
    std::vector<NOTEID> notes_;
    std::vector<std::string> files_;
    std::unordered_map<NOTEID, size_t> written_;   // index in notes_
};

// Appends an item, its value handed over; an attachment's contents become a
// database object first, and its value the FILEOBJECT that names it and the
// file name.
bool Importer::AddItem(NOTEHANDLE handle, DxlItem& item) {
    if (item.file) {
        DxlFile& file = *item.file;
        DWORD objectId = 0;
        STATUS status = DbAllocObjectHolding(db_, std::move(file.bytes), OBJECT_CLASS_FILE, &objectId);
        if (status != NOERROR) return failure_.SetStatus(status, name_, item.line, "cannot store the attachment");
        FileObjectHost header = file.header;
        header.RRV = objectId;
        if (StructStoredLength(kFileObjectType) != kFileObjectStored) {
            return failure_.SetStatus(ERR_UNKNOWN_STRUCT, name_, item.line, "cannot write the file object");
        }
        const size_t start = item.value.size();
        item.value.resize(start + kFileObjectStored);
        void* dest = item.value.data() + start;
        status = StructWrite(&dest, kFileObjectType, &header);
        if (status != NOERROR) return failure_.SetStatus(status, name_, item.line, "cannot write the file object");
        DxlAppendBytes(&item.value, file.name.data(), file.name.size());
    }
    STATUS status = ItemAppendValue(handle, item.flags, item.name, std::move(item.value));
    if (status != NOERROR) {
        const std::string what = "cannot add item '" + DxlQuote(LmbcsToNative(item.name)) + "'";
        return failure_.SetStatus(status, name_, item.line, what.c_str());
    }
    return true;
}

// The open note for a note read: the stored note of its UNID emptied
// (*replaces set), or a new one; its header as the note gives it, and its
// items.
bool Importer::Build(DxlNote& note, NOTEHANDLE* handle, bool* replaces) {
    STATUS status = NOERROR;
    if (note.unid) {
        NOTEID existing = 0;
        ORIGINATORID oid;
        TIMEDATE modified;
        WORD noteClass = 0;
        status = DbNoteInfoByUNID(db_, &*note.unid, &existing, &oid, &modified, &noteClass);
        if (status == NOERROR) {
            *replaces = true;
            status = NoteOpenUncounted(db_, existing, OPEN_NOTE_DEFAULT, handle);
            if (status != NOERROR) {
                return failure_.SetStatus(status, name_, note.line, "cannot open the stored note of that UNID");
            }
            if (ItemDeleteAll(*handle) != NOERROR) {
                return failure_.SetStatus(ERR_NOTE_UPDATE, name_, note.line, "cannot replace the stored note");
            }
        } else if (status != ERR_UNID_NOT_FOUND && status != ERR_NOTE_DELETED) {
            return failure_.SetStatus(status, name_, note.line, "cannot look the note's UNID up");
        }
    }
    if (!*replaces) {
        status = NoteCreate(db_, handle);
        if (status != NOERROR) return failure_.SetStatus(status, name_, note.line, "cannot create a note");
    }
    ORIGINATORID oid;
    status = NoteSetInfo(*handle, NOTE_FIELD_CLASS, &note.noteClass);
    if (status == NOERROR) status = NoteGetInfo(*handle, NOTE_FIELD_OID, &oid);
    if (status == NOERROR) {
        if (note.unid) {
            oid.File = note.unid->File;
            oid.Note = note.unid->Note;
        }
        if (note.sequence) oid.Sequence = *note.sequence;
        if (note.revised) oid.SequenceTime = *note.revised;
        status = NoteSetInfo(*handle, NOTE_FIELD_OID, &oid);
    }
    const std::pair<WORD, const std::optional<TIMEDATE>*> dates[] = {
        {NOTE_FIELD_CREATED, &note.created},
        {NOTE_FIELD_MODIFIED, &note.modified},
        {NOTE_FIELD_ACCESSED, &note.accessed},
        {NOTE_FIELD_ADDED, &note.added},
    };
    for (const auto& [field, date] : dates) {
        if (status == NOERROR && *date) status = NoteSetInfo(*handle, field, &**date);
    }
    if (status != NOERROR) return failure_.SetStatus(status, name_, note.line, "cannot set the note's header");
    for (DxlItem& item : note.items) {
        if (!AddItem(*handle, item)) return false;
    }
    return true;
}

// A batch that cannot be begun or committed fails for the notes of all the
// files together: a file is named only when they all came from one.
bool Importer::BatchFailed(STATUS status, const char* what) {
    if (names_.size() == 1) return failure_.SetStatus(status, names_.front(), 0, what);
    const std::string all = std::string(what) + " of the " + std::to_string(names_.size()) + " files";
    return failure_.SetStatus(status, "", 0, all.c_str());
}

// Writes the notes read into one batch; false when the batch cannot be
// begun or a note cannot be written.
bool Importer::WriteAll() {
    if (read_.empty()) return true;
    name_ = names_[read_.front().file];
    const STATUS status = DbBeginBatch(db_);
    if (status != NOERROR) return BatchFailed(status, "cannot import into the database");
    batchOpen_ = true;
    for (ReadNote& each : read_) {
        name_ = names_[each.file];
        if (!Write(each.note)) return false;
        // What was written no longer needs its copy in memory.
        each.note = DxlNote();
    }
    return true;
}

// Writes a note read into the batch.
bool Importer::Write(DxlNote& note) {
    NOTEHANDLE handle = 0;
    bool replaces = false;
    NOTEID id = 0;
    bool ok = Build(note, &handle, &replaces);
    if (ok) {
        const STATUS status = NoteUpdateAndClose(handle, replaces ? UPDATE_FORCE : 0, &id);
        handle = 0;
        if (status != NOERROR) ok = failure_.SetStatus(status, name_, note.line, "cannot store the note");
    }
    if (handle != 0) NoteClose(handle);
    if (!ok) return false;
    // A note of a UNID an earlier note of this import has replaces that one
    // (as a later import would), in its place in the list.
    auto [found, added] = written_.emplace(id, notes_.size());
    if (added) {
        notes_.push_back(id);
        files_.push_back(name_);
    } else {
        files_[found->second] = name_;
    }
    return true;
}

bool Importer::Read(DxlSource* source, const std::string& name) {
    name_ = name;
    names_.push_back(name);
    const size_t file = names_.size() - 1;
    return ReadDxl(source, name_, &failure_, [this, file](DxlNote& note) {
        read_.push_back({std::move(note), file});
        return true;
    });
}

bool Importer::ReadFile(const std::string& path, DxlSource* source) {
    std::string why;
    source->file = OpenInputFile(path.c_str(), &why);
    if (source->file < 0) {
        failure_.status = ERR_DXL_FILE;
        failure_.message = path + " " + why;
        return false;
    }
    source->text = nullptr;
    source->left = 0;
    source->drained = false;
    source->tags = TagScanner();   // lines are counted from the file's first
    source->lineFeedAfterCr = false;
    const bool ok = Read(source, path);
    ::close(source->file);
    source->file = -1;
    return ok;
}

STATUS Importer::Finish(bool ok, DxlImportResult* result) {
    if (ok) ok = WriteAll();
    if (ok && batchOpen_) {
        const STATUS status = DbCommitBatch(db_);
        if (status != NOERROR) ok = BatchFailed(status, "cannot store the notes");
        else batchOpen_ = false;
    }
    if (batchOpen_) {
        DbAbortBatch(db_);
        batchOpen_ = false;
    }
    if (!ok) {
        result->notes.clear();
        result->files.clear();
        result->error = failure_.message;
        return failure_.status != NOERROR ? failure_.status : static_cast<STATUS>(ERR_DXL_VALUE);
    }
    result->notes = std::move(notes_);
    result->files = std::move(files_);
    return NOERROR;
}

} // namespace

STATUS DxlImportText(DBHANDLE db, const char* text, size_t length, const char* name, DxlImportResult* result) {
    if (result == nullptr) return ERR_BAD_ARGUMENT;
    result->notes.clear();
    result->files.clear();
    result->error.clear();
    if (text == nullptr && length > 0) {
        result->error = "no DXL text given";
        return ERR_BAD_ARGUMENT;
    }
    DxlSource source;
    source.text = text;
    source.left = length;
    Importer importer(db);
    const bool ok = importer.Read(&source, name != nullptr ? name : "(text)");
    return importer.Finish(ok, result);
}

STATUS DxlImportFile(DBHANDLE db, const char* path, DxlImportResult* result) {
    if (result == nullptr) return ERR_BAD_ARGUMENT;
    if (path == nullptr || *path == '\0') {
        result->notes.clear();
        result->files.clear();
        result->error = "no DXL file named";
        return ERR_BAD_ARGUMENT;
    }
    return DxlImportFiles(db, {path}, result);
}

STATUS DxlImportFiles(DBHANDLE db, const std::vector<std::string>& paths, DxlImportResult* result) {
    if (result == nullptr) return ERR_BAD_ARGUMENT;
    result->notes.clear();
    result->files.clear();
    result->error.clear();
    for (const std::string& path : paths) {
        if (path.empty()) {
            result->error = "no DXL file named";
            return ERR_BAD_ARGUMENT;
        }
    }
    if (paths.empty()) {
        result->error = "no DXL file named";
        return ERR_BAD_ARGUMENT;
    }
    DxlSource source;
    source.bufferSize = kReadBuffer;
    source.buffer = std::make_unique_for_overwrite<char[]>(kReadBuffer);
    Importer importer(db);
    bool ok = true;
    for (size_t i = 0; ok && i < paths.size(); ++i) ok = importer.ReadFile(paths[i], &source);
    return importer.Finish(ok, result);
}

} // namespace plat
