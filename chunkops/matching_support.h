// What the two matching methods share: the key database and its link
// context in the session's work area, the key cache's identity, the
// temporary item and chunk settings of their runs, and the repeated run of
// the matching operation.
#pragma once

#include <cstdint>

#include "core/operation_codes.h"
#include "core/statuses.h"

class RARIvoSession;
class ZervaRTChunk;

namespace talix {

// The most runs of the matching operation one call makes.
constexpr int kMaxMatchingRuns = 50;

// A text the methods take as a formula rather than a name or an option
// string: one that begins with a double quote, "@" or "(".
bool IsFormulaText(const char* text);

// The text, or "" for none.
inline const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

// Formats a message naming the method into the session's message buffer
// and, with show, passes it to the host's message procedure.
void ReportMatching(RARIvoSession* session, bool show, const char* format, const char* method);

// The key cache's identity is no longer valid: the next call builds its
// keys afresh.
void ForgetMatchingIdentity(RARIvoSession* session);

// Drops the key cache record with its keys, and its identity.
void DiscardMatchingCache(RARIvoSession* session);

// Reads the link context of the open key database into the work area's
// link database place: the database's replica id and the universal id of
// the design note of the view named (the view the document links open); for
// a selection formula, that of the database's default view (zeros when it
// has none). Returns 0 or the platform's failure.
STATUS ReadLinkContext(RARIvoSession* session, const char* view);

// Closes the key database of the work area's link database place, when one
// is open, and clears the place.
void CloseKeyDatabase(RARIvoSession* session);

// The item and chunk settings the matching runs change for their length:
// the item keeps its records in memory between runs (CacheRecords 1) and
// does not merge text runs (AutoMergeText 0); the chunk's TextWildcards
// switch is kept. Restore() gives AutoMergeText and TextWildcards back,
// RestoreCacheRecords() CacheRecords; the destructor whatever is left.
class MatchingRunSettings {
public:
    explicit MatchingRunSettings(ZervaRTChunk* chunk);
    ~MatchingRunSettings();
    MatchingRunSettings(const MatchingRunSettings&) = delete;
    MatchingRunSettings& operator=(const MatchingRunSettings&) = delete;
    void Restore();
    void RestoreCacheRecords();
    std::uint16_t savedAutoMergeText() const { return autoMergeText_; }
    std::uint16_t savedCacheRecords() const { return cacheRecords_; }

private:
    ZervaRTChunk* chunk_;
    std::uint16_t cacheRecords_;
    std::uint16_t autoMergeText_;
    std::uint16_t textWildcards_;
    bool restored_ = false;
    bool cacheRestored_ = false;
};

// One run of the matching operation over a chunk.
using MatchingRun = void (*)(ZervaRTChunk* chunk, void* data);

// Runs the operation (run with data) while the run leaves the chunk's
// pass-again flag raised and its status 0, clearing the flag before each
// run: at most kMaxMatchingRuns runs. Returns the number of runs made.
int RunMatchingPasses(ZervaRTChunk* chunk, MatchingRun run, void* data);

} // namespace talix
