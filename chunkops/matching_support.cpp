// The pieces the link matching and the wiki matching share
// (chunkops/matching_support.h).
#include "chunkops/matching_support.h"

#include <cstdio>

#include "core/chunk_work_state.h"
#include "core/host_message.h"
#include "core/link_matching_cache.h"
#include "core/session_work_area.h"
#include "core/view_lookup.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

bool IsFormulaText(const char* text) {
    return text != nullptr && (text[0] == '"' || text[0] == '@' || text[0] == '(');
}

void ReportMatching(RARIvoSession* session, bool show, const char* format, const char* method) {
    std::snprintf(session->messageBuffer, sizeof session->messageBuffer, format, method);
    if (show) ShowHostMessage(session->messageBuffer);
}

void ForgetMatchingIdentity(RARIvoSession* session) {
    session->workArea->matchingIdentity = MatchingIdentity{};
}

void DiscardMatchingCache(RARIvoSession* session) {
    SessionWorkArea* area = session->workArea;
    delete area->linkMatching;
    area->linkMatching = nullptr;
    ForgetMatchingIdentity(session);
}

STATUS ReadLinkContext(RARIvoSession* session, const char* view) {
    LinkDatabase& link = session->workArea->linkDatabase;
    const plat::DBHANDLE db = link.database;
    plat::DBID replica;
    STATUS status = plat::DbReplicaId(db, &replica);
    if (status != plat::NOERROR) return status;
    plat::ORIGINATORID oid{};
    if (IsSelectionFormula(view)) {
        // A selection formula names no view: the links open the database's
        // default view, or none (an id of zeros) when it has none.
        plat::NOTEHANDLE defaultView = 0;
        if (plat::NoteOpen(db, plat::NOTEID_DEFAULT_VIEW, plat::OPEN_NOTE_DEFAULT, &defaultView) == plat::NOERROR) {
            if (plat::NoteGetInfo(defaultView, plat::NOTE_FIELD_OID, &oid) != plat::NOERROR) oid = {};
            plat::NoteClose(defaultView);
        }
    } else {
        plat::NOTEID viewNote = 0;
        status = plat::FindDesignNote(db, view, plat::NOTE_CLASS_VIEW, &viewNote);
        if (status != plat::NOERROR) return status;
        status = plat::DbNoteInfo(db, viewNote, &oid, nullptr, nullptr);
        if (status != plat::NOERROR) return status;
    }
    link.replica[0] = replica.Innards[0];
    link.replica[1] = replica.Innards[1];
    link.view[0] = oid.File.Innards[0];
    link.view[1] = oid.File.Innards[1];
    link.view[2] = oid.Note.Innards[0];
    link.view[3] = oid.Note.Innards[1];
    return kOK;
}

void CloseKeyDatabase(RARIvoSession* session) {
    LinkDatabase& link = session->workArea->linkDatabase;
    if (link.database != 0) plat::DbClose(link.database);
    link = LinkDatabase{};
}

MatchingRunSettings::MatchingRunSettings(ZervaRTChunk* chunk)
    : chunk_(chunk), cacheRecords_(chunk->item->cacheRecords), autoMergeText_(chunk->item->autoMergeText),
      textWildcards_(chunk->textWildcards) {
    chunk->item->cacheRecords = 1;
    chunk->item->autoMergeText = 0;
}

MatchingRunSettings::~MatchingRunSettings() {
    Restore();
    RestoreCacheRecords();
}

void MatchingRunSettings::Restore() {
    if (restored_) return;
    restored_ = true;
    chunk_->item->autoMergeText = autoMergeText_;
    chunk_->textWildcards = textWildcards_;
}

void MatchingRunSettings::RestoreCacheRecords() {
    if (cacheRestored_) return;
    cacheRestored_ = true;
    chunk_->item->cacheRecords = cacheRecords_;
}

int RunMatchingPasses(ZervaRTChunk* chunk, MatchingRun run, void* data) {
    int runs = 0;
    do {
        chunk->work->passAgain = 0;
        run(chunk, data);
        ++runs;
        // A run that failed is not repeated: it would fail the same way.
    } while (chunk->work->passAgain != 0 && chunk->lastStatus == kOK && runs < kMaxMatchingRuns);
    chunk->work->passAgain = 0;
    return runs;
}

} // namespace talix
