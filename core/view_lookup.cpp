// View look-up and selection search: the notes a view and key, or a
// selection formula, select; the note-id array the link matching reads; and
// the refresh of a database's design collection.
#include "core/view_lookup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/host_message.h"
#include "core/session_work_area.h"
#include "core/text_compare.h"
#include "core/thread_state.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

// How many view entries are read at a time.
constexpr plat::DWORD kEntryBatch = 1000;

// The note-id array is the thread's (a search leaves it for the link
// matching that follows on the same thread). Gives it, empty, allocating it
// when there is none yet. False when memory is short.
bool ResetNoteIdArray() {
    ThreadState& thread = ThisThread();
    if (thread.noteIds == nullptr) {
        thread.noteIds = static_cast<plat::NOTEID*>(std::calloc(kNoteIdArrayCapacity, sizeof(plat::NOTEID)));
        if (thread.noteIds == nullptr) return false;
    }
    thread.noteIdCount = 0;
    return true;
}

void AppendNoteId(plat::NOTEID id) {
    ThreadState& thread = ThisThread();
    if (thread.noteIds != nullptr && thread.noteIdCount < kNoteIdArrayCapacity) thread.noteIds[thread.noteIdCount++] = id;
}

// Writes a message naming the text into the session's text result and shows
// it through the host's message procedure.
void Report(RARIvoSession* session, const char* format, const char* text) {
    int length = std::snprintf(session->textResult, sizeof session->textResult, format, text);
    if (length < 0) length = 0;
    if (static_cast<std::size_t>(length) >= sizeof session->textResult)
        length = static_cast<int>(sizeof session->textResult - 1);
    session->textResultLength = static_cast<std::uint16_t>(length);
    ShowLmbcsHostMessage(session->textResult);
}

void CloseCache(ViewCache& cache) {
    if (cache.collection != 0) plat::CollectionClose(cache.collection);
    cache.collection = 0;
    cache.database = 0;
    cache.viewId = 0;
}

// Searches the database with the formula into the table.
STATUS SearchByFormula(RARIvoSession* session, plat::DBHANDLE db, const char* formula, plat::DHANDLE table,
                       int copyIds) {
    std::size_t length = std::strlen(formula);
    plat::DHANDLE compiled = plat::NULLHANDLE;
    plat::WORD compiledLength = 0;
    STATUS status = length > 0xFFFF ? kArgumentError
                                    : plat::FormulaCompile(formula, static_cast<plat::WORD>(length), &compiled,
                                                           &compiledLength);
    if (status != plat::NOERROR) {
        Report(session, "TALIX: Selection formula '%s' does not compile", formula);
        return status;
    }
    const void* selection = plat::MemLock(compiled);
    if (selection == nullptr) {
        plat::MemFree(compiled);
        return kOutOfMemory;
    }
    status = plat::DbSearch(db, selection, plat::NOTE_CLASS_DOCUMENT, [table](const plat::SearchMatch& match) {
        return CollectNoteIDCallback(table, match);
    });
    plat::MemUnlock(compiled);
    plat::MemFree(compiled);
    if (status != plat::NOERROR) {
        Report(session, "TALIX: Unknown error using selection formula '%s'", formula);
        return status;
    }
    if (copyIds != 0) {
        if (!ResetNoteIdArray()) return kOutOfMemory;
        plat::NOTEID id = 0;
        const ThreadState& thread = ThisThread();
        for (bool more = plat::IdScan(table, true, &id); more && thread.noteIdCount < kNoteIdArrayCapacity;
             more = plat::IdScan(table, false, &id))
            AppendNoteId(id);
    }
    return kOK;
}

// Reads the documents of an open collection into the table: from the
// entries matching the key, or all of them.
STATUS ReadCollection(plat::HCOLLECTION collection, const char* key, plat::DHANDLE table, int copyIds) {
    // Emptied first, so that a key that matches nothing leaves no ids of an
    // earlier search behind.
    if (copyIds != 0 && !ResetNoteIdArray()) return kOutOfMemory;
    plat::CollectionPosition position;
    plat::DWORD remaining = 0xFFFFFFFF;
    if (key != nullptr && key[0] != '\0') {
        plat::DWORD matches = 0;
        plat::WORD keyLength = static_cast<plat::WORD>(::strnlen(key, 0xFFFF));
        STATUS status = plat::CollectionFindByKey(collection, key, keyLength, 0, &position, &matches);
        if ((status & plat::ERR_MASK) == plat::ERR_KEY_NOT_FOUND) return kOK;
        if (status != plat::NOERROR) return status;
        remaining = matches;
    }

    bool more = true;
    while (more && remaining > 0) {
        plat::DHANDLE ids = plat::NULLHANDLE;
        plat::DWORD count = 0;
        plat::DWORD batch = remaining < kEntryBatch ? remaining : kEntryBatch;
        STATUS status = plat::CollectionReadEntries(collection, &position, batch, &ids, &count, &more);
        if (status != plat::NOERROR) return status;
        const auto* entries = static_cast<const plat::NOTEID*>(plat::MemLock(ids));
        if (entries == nullptr && count > 0) status = kOutOfMemory;
        for (plat::DWORD i = 0; i < count && status == plat::NOERROR; ++i) {
            if ((entries[i] & plat::NOTEID_CATEGORY) != 0) continue;
            status = plat::IdInsert(table, entries[i]);
            if (copyIds != 0) AppendNoteId(entries[i]);
        }
        if (entries != nullptr) plat::MemUnlock(ids);
        plat::MemFree(ids);
        if (status != plat::NOERROR) return status;
        remaining -= count;
        if (count == 0) break;
    }
    return kOK;
}

// Finds the view and reads it, through the cached collection when it is the
// one of this view and database and a key is given.
STATUS SearchByView(RARIvoSession* session, plat::DBHANDLE db, const char* viewName, const char* key,
                    plat::DHANDLE table, int copyIds) {
    ViewCache& cache = session->workArea->viewCache;
    plat::NOTEID viewId = 0;
    STATUS status = plat::FindDesignNote(db, viewName, plat::NOTE_CLASS_VIEW, &viewId);
    if (status != plat::NOERROR) {
        Report(session, "TALIX: View '%s' not found", viewName);
        return status;
    }
    bool cached = key != nullptr && cache.collection != 0 && cache.database == db && cache.viewId == viewId;
    if (!cached) {
        plat::HCOLLECTION collection = 0;
        status = plat::CollectionOpen(db, viewId, &collection);
        if (status != plat::NOERROR) return status;
        CloseCache(cache);
        cache.collection = collection;
        cache.database = db;
        cache.viewId = viewId;
    }
    status = ReadCollection(cache.collection, key, table, copyIds);
    if (status != kOK) CloseCache(cache);
    return status;
}

} // namespace

bool IsSelectionFormula(const char* text) {
    return text != nullptr && CompareNamesNoCase(text, "SELECT ", 7) == 0 && std::strpbrk(text, "@=") != nullptr;
}

ViewCache::~ViewCache() { CloseCache(*this); }

void CloseViewSearch(RARIvoSession* session) {
    if (session != nullptr && session->workArea != nullptr) CloseCache(session->workArea->viewCache);
}

STATUS CollectNoteIDCallback(plat::DHANDLE idTable, const plat::SearchMatch& match) {
    if ((match.matchFlags & 0x0001) == 0) return plat::NOERROR;
    return plat::IdInsert(idTable, match.noteId);
}

STATUS FindNotesByViewOrFormula(RARIvoSession* session, plat::DBHANDLE db, const char* viewOrFormula,
                                const char* key, plat::DHANDLE* idTable, int copyIds) {
    if (idTable != nullptr) *idTable = plat::NULLHANDLE;
    if (session == nullptr || !session->IsUsable() || idTable == nullptr || viewOrFormula == nullptr)
        return kArgumentError;
    plat::DHANDLE table = plat::NULLHANDLE;
    STATUS status = plat::IdCreateTable(&table);
    if (status != plat::NOERROR) return status;

    if (IsSelectionFormula(viewOrFormula))
        status = SearchByFormula(session, db, viewOrFormula, table, copyIds);
    else
        status = SearchByView(session, db, viewOrFormula, key, table, copyIds);
    if (status != kOK) {
        plat::IdDestroyTable(table);
        if (copyIds != 0) FreeNoteIdArray();
        return status;
    }
    *idTable = table;
    return kOK;
}

const plat::NOTEID* NoteIdArray(std::uint16_t* count) {
    const ThreadState& thread = ThisThread();
    if (count != nullptr) *count = thread.noteIds != nullptr ? thread.noteIdCount : 0;
    return thread.noteIds;
}

void FreeNoteIdArray() {
    ThreadState& thread = ThisThread();
    std::free(thread.noteIds);
    thread.noteIds = nullptr;
    thread.noteIdCount = 0;
}

void RefreshDesignCollection(plat::DBHANDLE db) {
    plat::HCOLLECTION collection = 0;
    if (plat::CollectionOpen(db, plat::NOTEID_DESIGN_COLLECTION, &collection) != plat::NOERROR) return;
    plat::CollectionUpdate(collection);
    plat::CollectionClose(collection);
}

} // namespace talix
