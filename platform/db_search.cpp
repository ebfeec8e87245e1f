// Searching a database with a selection formula: every note of the classes
// asked for is opened and the formula evaluated on it; the notes it selects
// are handed to the callback.
#include "formula_eval.h"
#include "notes_internal.h"
#include "status_codes.h"
#include "talix_platform/database.h"
#include "talix_platform/formula.h"

namespace plat {

namespace {

constexpr WORD kSearchMatch = 0x0001;

} // namespace

STATUS DbSearch(DBHANDLE db, const void* compiledSelection, WORD noteClassMask,
                const std::function<STATUS(const SearchMatch&)>& callback) {
    formula::SetLastError("");
    if (!callback || noteClassMask == 0) return ERR_BAD_ARGUMENT;
    formula::Formula selection;
    if (compiledSelection != nullptr) {
        std::string source;
        if (!formula::ReadCompiledSource(compiledSelection, &source)) {
            formula::SetLastError("the bytes are not a compiled formula");
            return ERR_FORMULA_INVALID;
        }
        formula::SyntaxError error;
        if (!formula::Parse(source, &selection, &error)) {
            formula::SetLastError(error.message + " at offset " + std::to_string(error.offset));
            return ERR_FORMULA_SYNTAX;
        }
    }
    // The notes are listed first, so the callback may change the database.
    std::vector<std::pair<NOTEID, WORD>> candidates;
    STATUS status = DbScanNotes(db, [&](NOTEID id, WORD noteClass) -> STATUS {
        if ((noteClass & ~NOTE_CLASS_DEFAULT & noteClassMask) != 0) candidates.emplace_back(id, noteClass);
        return NOERROR;
    });
    if (status != NOERROR) return status;
    for (const auto& [id, noteClass] : candidates) {
        bool selected = true;
        if (compiledSelection != nullptr) {
            NOTEHANDLE note = NULLHANDLE;
            status = NoteOpenUncounted(db, id, OPEN_NOTE_DEFAULT, &note);
            // A note the callback has deleted meanwhile is passed over.
            if (status == ERR_NOTE_NOT_FOUND || status == ERR_NOTE_DELETED) continue;
            if (status != NOERROR) return status;
            formula::Evaluator evaluator(note);
            formula::Value result;
            status = evaluator.Run(selection, &result, &selected);
            NoteClose(note);
            if (status != NOERROR) {
                formula::SetLastError(evaluator.error());
                return status;
            }
        }
        if (!selected) continue;
        SearchMatch match;
        match.noteId = id;
        match.noteClass = noteClass;
        match.matchFlags = kSearchMatch;
        status = callback(match);
        if (status != NOERROR) return status;
    }
    return NOERROR;
}

} // namespace plat
