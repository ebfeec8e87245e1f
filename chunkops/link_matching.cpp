// LinkMatching and its six wrappers: the words of a chunk's text that match
// keys read from the documents of a view (or of a selection formula) of a
// key database become document links, URL or pop-up hotspots, highlights,
// additions, replacements or a keyword list.
//
// A call checks its arguments, compiles its formulas, takes the keys from
// the session's key cache when the cache was built for the same server,
// database, view, reference field and result formula within the same hour of
// the same day, else builds them, and then runs the matching operation over
// the chunk while the operation asks for another pass. Everything the call
// opens (formula contexts, the key database, the view's collection, the
// option copy, the keyword buffer) is given back on every path.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "chunkops/chunk_frame.h"
#include "chunkops/matching_keys.h"
#include "chunkops/matching_support.h"
#include "chunkops/method_support.h"
#include "core/chunk_work_state.h"
#include "core/database_open.h"
#include "core/link_matching_cache.h"
#include "core/options.h"
#include "core/pool.h"
#include "core/session_work_area.h"
#include "core/text_compare.h"
#include "core/view_lookup.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

// "MinLength=": the default, the longest taken as it is, and what 0 becomes.
constexpr std::uint16_t kDefaultMinLength = 3;
constexpr std::uint16_t kLongestMinLength = 132;

const char* MethodName(std::uint16_t mode) {
    switch (mode) {
    case kMatchModeAppend: return "AppendMatching";
    case kMatchModeHighlight: return "HighlightMatching";
    case kMatchModeInsert: return "InsertMatching";
    case kMatchModeKeyword: return "KeywordMatching";
    case kMatchModePopup: return "PopupMatching";
    case kMatchModeReplace: return "ReplaceMatching";
    default: return "LinkMatching";
    }
}

bool Given(const char* text) { return text != nullptr && text[0] != '\0'; }

// Compiles a formula and opens an evaluation context on it (the compiled
// form is freed again). Returns 0 or the failure, with *compute 0.
STATUS StartFormula(const char* text, std::uint32_t* compute) {
    *compute = 0;
    CompiledFormula compiled;
    STATUS status = CompileFormula(text, TextLength16(text), &compiled);
    if (status != kOK) return status;
    plat::HCOMPUTE started = 0;
    status = plat::ComputeStart(compiled.bytes, &started);
    if (status != plat::NOERROR) return status;
    *compute = started;
    return kOK;
}

void StopFormula(std::uint32_t* compute) {
    if (*compute != 0) plat::ComputeStop(*compute);
    *compute = 0;
}

// "MinLength=" of the options: taken modulo 65,536, 0 becomes 1, above 132
// the default. A value that is not a number is the default.
std::uint16_t MinLength(const char* options) {
    char value[32] = {};
    if (options == nullptr || GetOptionValue(options, "MinLength=", value, sizeof value) == 0) return kDefaultMinLength;
    char* end = nullptr;
    const long long number = std::strtoll(value, &end, 10);
    if (end == value) return kDefaultMinLength;
    const auto length = static_cast<std::uint16_t>(static_cast<unsigned long long>(number) & 0xFFFF);
    if (length == 0) return 1;
    return length > kLongestMinLength ? kDefaultMinLength : length;
}

// Equal but for case; a null text is empty.
bool SameNoCase(const char* a, const char* b) { return EqualNoCase(std::string_view(OrEmpty(a)), OrEmpty(b)); }

// The cached keys serve this call: caching is on, the keys were built for
// the same server, database (its file name as given), view, reference field
// (and result formula, when one is given) in the same hour of the same day
// of the year.
bool CachedKeysUsable(const ZervaRTItem* item, const SessionWorkArea* area, const char* server,
                      const char* database, const char* view, const char* referenceField,
                      const char* resultFormula) {
    const LinkMatchingCache* cache = area->linkMatching;
    const MatchingIdentity& identity = area->matchingIdentity;
    if (item->cacheLinkMatching == 0 || cache == nullptr) return false;
    if (!SameNoCase(server, identity.server)) return false;
    // A database is named by its file: names that differ in case are two files.
    if (identity.database[0] == '\0' || std::strcmp(OrEmpty(database), identity.database) != 0) return false;
    if (identity.view[0] == '\0' || !SameNoCase(view, identity.view)) return false;
    if (identity.referenceField[0] == '\0' || !SameNoCase(referenceField, identity.referenceField)) return false;
    if (Given(resultFormula) && !SameNoCase(resultFormula, identity.resultFormula)) return false;
    if (identity.cacheTime == 0 || cache->keyLists[0] == 0 || cache->noteIdTable == 0) return false;
    const std::time_t stored = static_cast<std::time_t>(identity.cacheTime);
    const std::time_t now = std::time(nullptr);
    std::tm storedFields{}, nowFields{};
    if (localtime_r(&stored, &storedFields) == nullptr || localtime_r(&now, &nowFields) == nullptr) return false;
    return storedFields.tm_yday == nowFields.tm_yday && storedFields.tm_hour == nowFields.tm_hour;
}

// Copies a text into its identity place; false when it does not fit.
bool Keep(char* place, std::size_t size, const char* text) {
    const std::size_t length = std::strlen(OrEmpty(text));
    if (length >= size) return false;
    std::memcpy(place, OrEmpty(text), length + 1);
    return true;
}

// Stores the identity of freshly built keys; false (the identity left
// invalid) when one of its texts does not fit its place.
bool StoreIdentity(SessionWorkArea* area, const char* server, const char* database, const char* view,
                   const char* referenceField, const char* resultFormula) {
    MatchingIdentity identity;
    if (!Keep(identity.server, sizeof identity.server, server) ||
        !Keep(identity.database, sizeof identity.database, database) ||
        !Keep(identity.view, sizeof identity.view, view) ||
        !Keep(identity.referenceField, sizeof identity.referenceField, referenceField) ||
        !Keep(identity.resultFormula, sizeof identity.resultFormula, resultFormula)) {
        area->matchingIdentity = MatchingIdentity{};
        return false;
    }
    std::memcpy(identity.viewId, area->linkDatabase.view, sizeof identity.viewId);
    identity.cacheTime = static_cast<std::int64_t>(std::time(nullptr));
    area->matchingIdentity = identity;
    return true;
}

bool ViewIdKnown(const std::uint32_t viewId[4]) {
    return (viewId[0] | viewId[1] | viewId[2] | viewId[3]) != 0;
}

// What one call holds, given back on every path: the key formula's context,
// the keyword buffer, the option copy, and (through the work area) the
// result and options formulas' contexts, the running options, the key
// database, the view's collection and the note-id array of the search.
class MatchingCall {
public:
    explicit MatchingCall(RARIvoSession* session) : session_(session), area_(session->workArea) {}
    ~MatchingCall() {
        CloseViewSearch(session_);
        StopFormula(&keyFormula);
        StopFormula(&area_->matching.resultFormula);
        StopFormula(&area_->matching.optionsFormula);
        CloseKeyDatabase(session_);
        FreeNoteIdArray();
        area_->runningOptions = nullptr;
        if (optionsCopy != nullptr) ZervaDeallocate(session_, optionsCopy);
        if (keywords != nullptr) QuorbelReleaseBlock(session_, keywords);
    }
    MatchingCall(const MatchingCall&) = delete;
    MatchingCall& operator=(const MatchingCall&) = delete;

    std::uint32_t keyFormula = 0;
    TrackedBlock* keywords = nullptr;
    char* optionsCopy = nullptr;

private:
    RARIvoSession* session_;
    SessionWorkArea* area_;
};

struct PassData {
    std::uint16_t mode;
    const char* resultFormula;
    const char* keywords;
};

void RunMatchingOperation(ZervaRTChunk* chunk, void* data) {
    const auto* pass = static_cast<const PassData*>(data);
    RunChunkOperation(chunk, kOpLinkMatching, pass->mode, 0, 0, 0, pass->resultFormula, pass->keywords);
}

// The matching switches of the options: "MatchText=", and "ReplaceExtra="
// only beside it; "SingleMatch=".
void ReadMatchSwitches(LinkMatchingCache* cache, const char* options, std::uint16_t mode) {
    cache->matchKind = kKeyWholeWord;
    cache->replaceExtra = 0;
    cache->singleMatch = mode == kMatchModeKeyword ? 1 : 0;
    if (options == nullptr) return;
    char value[64] = {};
    if (GetOptionValue(options, "MatchText=", value, sizeof value) != 0) {
        if (StartsWithNoCase(value, "Starts")) cache->matchKind = kKeyStartsWord;
        else if (StartsWithNoCase(value, "Ends")) cache->matchKind = kKeyEndsWord;
        else if (StartsWithNoCase(value, "Substr")) cache->matchKind = kKeyAnywhere;
        value[0] = '\0';
        if (GetOptionValue(options, "ReplaceExtra=", value, sizeof value) != 0 && EqualNoCase(value, "Yes"))
            cache->replaceExtra = 1;
    }
    value[0] = '\0';
    if (GetOptionValue(options, "SingleMatch=", value, sizeof value) != 0 && EqualNoCase(value, "Yes"))
        cache->singleMatch = 1;
}

} // namespace

std::uint16_t ZervaRTChunk::LinkMatching(const char* server, const char* databasePath, const char* view,
                                         const char* referenceField, const char* resultFormula,
                                         const char* options, std::uint16_t mode) {
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    if (mode < kMatchModeAppend || mode > kMatchModeReplace) mode = kMatchModeLink;
    const char* method = MethodName(mode);
    SessionWorkArea* area = session->workArea;
    if (!Given(resultFormula)) resultFormula = nullptr;
    MatchingCall call(session);

    if (mode == kMatchModeKeyword) {
        call.keywords = QuorbelAllocateBlock(session, __LINE__, kChunkMethodsTag, kKeywordBufferSize, 1);
        if (call.keywords == nullptr) return kOutOfMemory;
    }

    // An argument or formula refused, or a key database that cannot be
    // read, leaves no valid cache identity.
    const char* missing = !Given(databasePath) ? "TALIX: %s method passed an invalid database filepath."
                          : !Given(view)        ? "TALIX: %s method passed an invalid view name."
                          : !Given(referenceField) ? "TALIX: %s missing reference fieldname."
                                                   : nullptr;
    if (missing != nullptr) {
        ReportMatching(session, true, missing, method);
        ForgetMatchingIdentity(session);
        return kErrFormula;
    }
    if (IsFormulaText(referenceField)) {
        const STATUS status = StartFormula(referenceField, &call.keyFormula);
        if (status != kOK) {
            ReportMatching(session, true,
                           mode == kMatchModeLink ? "TALIX: %s URL fieldname formula failed to compile."
                                                  : "TALIX: %s result fieldname formula failed to compile.",
                           method);
            ForgetMatchingIdentity(session);
            lastStatus = status;
            return kErrFormula;
        }
    }
    if (resultFormula != nullptr) {
        const STATUS status = StartFormula(resultFormula, &area->matching.resultFormula);
        if (status != kOK) {
            ReportMatching(session, false, "TALIX: %s properties formula failed to compile.", method);
            ForgetMatchingIdentity(session);
            lastStatus = status;
            return kErrConversion;
        }
    }
    area->runningOptions = nullptr;
    area->matching.optionsFormula = 0;
    if (Given(options)) {
        if (IsFormulaText(options)) {
            const STATUS status = StartFormula(options, &area->matching.optionsFormula);
            if (status != kOK) {
                ReportMatching(session, true, "TALIX: %s properties formula failed to compile.", "LinkMatching");
                ForgetMatchingIdentity(session);
                lastStatus = status;
                return kErrConversion;
            }
        } else {
            call.optionsCopy = QuorbelAllocateString(session, __LINE__, kChunkMethodsTag, options, 0);
            if (call.optionsCopy == nullptr) return kOutOfMemory;
            area->runningOptions = call.optionsCopy;
        }
    }

    KeySource source;
    source.method = method;
    source.minLength = MinLength(area->runningOptions);
    source.itemName = referenceField;
    source.keyFormula = call.keyFormula;
    source.wordBoundaries = searchWordBoundaries != 0;

    const bool reuse =
        CachedKeysUsable(item, area, server, databasePath, view, referenceField, resultFormula);
    if (!reuse) {
        DropMatchingKeys(area->linkMatching);
        ForgetMatchingIdentity(session);
    }

    STATUS status = OpenDatabaseByName(session, server, databasePath, &area->linkDatabase.database);
    if (status != kOK) {
        area->linkDatabase.database = 0;
        ForgetMatchingIdentity(session);
        lastStatus = status;
        return status;
    }
    LinkDatabase& link = area->linkDatabase;
    if (reuse) {
        plat::DBID replica;
        status = plat::DbReplicaId(link.database, &replica);
        if (status == kOK) {
            link.replica[0] = replica.Innards[0];
            link.replica[1] = replica.Innards[1];
            std::memcpy(link.view, area->matchingIdentity.viewId, sizeof link.view);
            // Keys cached by a call with a result formula read no view: the
            // document links of this call need it.
            if (resultFormula == nullptr && !ViewIdKnown(link.view)) status = ReadLinkContext(session, view);
        }
    } else {
        plat::DHANDLE found = 0;
        status = FindNotesByViewOrFormula(session, link.database, view, nullptr, &found, 1);
        if (status != kOK) {
            ForgetMatchingIdentity(session);
            lastStatus = status;
            return status;
        }
        std::uint16_t count = 0;
        const plat::NOTEID* ids = NoteIdArray(&count);
        status = BuildMatchingKeys(session, link.database, ids, ids != nullptr ? count : 0, source);
        plat::IdDestroyTable(found);
        FreeNoteIdArray();
        if (status == kOK && resultFormula == nullptr) status = ReadLinkContext(session, view);
        if (status == kOutOfMemory) {
            DiscardMatchingCache(session);
            return status;
        }
    }
    if (status != kOK) {
        DiscardMatchingCache(session);
        lastStatus = status;
        return status;
    }

    LinkMatchingCache* cache = area->linkMatching;
    ZervaDeallocate(session, cache->keyUsedFlags);
    cache->keyUsedFlags = static_cast<std::uint32_t*>(QuorbelAllocate(
        session, __LINE__, kChunkMethodsTag, 4u * (cache->keyCount > 0 ? cache->keyCount : 1u), 1));
    if (cache->keyUsedFlags == nullptr) {
        DiscardMatchingCache(session);
        return kOutOfMemory;
    }
    ReadMatchSwitches(cache, area->runningOptions, mode);

    // The runs: their statuses land in lastStatus.
    lastStatus = kOK;
    STATUS outcome = kOK;
    {
        MatchingRunSettings settings(this);
        PassData pass{mode, resultFormula,
                      call.keywords != nullptr ? reinterpret_cast<const char*>(call.keywords->data) : nullptr};
        RunMatchingPasses(this, RunMatchingOperation, &pass);
        outcome = lastStatus;
        settings.Restore();
        if (mode != kMatchModeKeyword && settings.savedAutoMergeText() != 0) {
            const STATUS merged = RunChunkOperation(this, kOpCleanUp);
            if (outcome == kOK) outcome = merged;
        }
        settings.RestoreCacheRecords();
        if (mode != kMatchModeKeyword && item->cacheRecords == 0) {
            const STATUS committed = item->Commit();
            if (outcome == kOK) outcome = committed;
        }
    }
    lastStatus = outcome;

    // Keys built by this call are kept for the next calls of the hour when
    // caching is on and their identity fits its places.
    if (!reuse) {
        const bool stored = item->cacheLinkMatching != 0 &&
                            StoreIdentity(area, server, databasePath, view, referenceField, resultFormula);
        if (!stored) DiscardMatchingCache(session);
    }

    if (mode == kMatchModeKeyword) {
        const char* list = reinterpret_cast<const char*>(call.keywords->data);
        PutInTextResult(session, 0, list, static_cast<std::uint32_t>(strnlen(list, RARIvoSession::kTextResultCapacity)));
    }
    return outcome;
}

std::uint16_t ZervaRTChunk::AppendMatching(const char* server, const char* databasePath, const char* view,
                                           const char* referenceField, const char* resultFormula,
                                           const char* options) {
    return LinkMatching(server, databasePath, view, referenceField, resultFormula, options, kMatchModeAppend);
}

std::uint16_t ZervaRTChunk::HighlightMatching(const char* server, const char* databasePath, const char* view,
                                              const char* referenceField, const char* resultFormula,
                                              const char* options) {
    return LinkMatching(server, databasePath, view, referenceField, resultFormula, options, kMatchModeHighlight);
}

std::uint16_t ZervaRTChunk::InsertMatching(const char* server, const char* databasePath, const char* view,
                                           const char* referenceField, const char* resultFormula,
                                           const char* options) {
    return LinkMatching(server, databasePath, view, referenceField, resultFormula, options, kMatchModeInsert);
}

std::uint16_t ZervaRTChunk::KeywordMatching(const char* server, const char* databasePath, const char* view,
                                            const char* referenceField, const char* resultFormula,
                                            const char* options) {
    return LinkMatching(server, databasePath, view, referenceField, resultFormula, options, kMatchModeKeyword);
}

std::uint16_t ZervaRTChunk::PopupMatching(const char* server, const char* databasePath, const char* view,
                                          const char* referenceField, const char* resultFormula,
                                          const char* options) {
    return LinkMatching(server, databasePath, view, referenceField, resultFormula, options, kMatchModePopup);
}

std::uint16_t ZervaRTChunk::ReplaceMatching(const char* server, const char* databasePath, const char* view,
                                            const char* referenceField, const char* resultFormula,
                                            const char* options) {
    return LinkMatching(server, databasePath, view, referenceField, resultFormula, options, kMatchModeReplace);
}
