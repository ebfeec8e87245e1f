// The matching operations inside a chunk. 2386 looks for the keys of the
// session's key cache in the chunk's text runs and, by its second word,
// turns each key found into a link (0 or 2386), appends (2801) or inserts
// (2803) the key's result next to it, highlights it (2802), collects the
// result as a keyword (2804, nothing is written), gives it a pop-up (2805)
// or replaces it by the result (2806). 2816 turns wiki references written
// between delimiters, "((Page#Anchor|text))", into links.
//
// Both work on whole text runs: an optional text-effect record, an optional
// text bracket (CDBEGIN of a text run with, after the text, an optional
// colour record and the CDEND) and the text record. A run with something to
// change is written again piece by piece, each piece of its own text inside
// the run's wrapper (AppendWrappedText), and its old records are dropped.
// What matching writes carries the link mark, so that a later pass of the
// same call leaves it alone; text inside a hotspot is never matched.
//
// The text of a run is taken as it stands in the run: a link, a highlight or
// an addition keeps the words as the author wrote them (the key as the key
// list spells it is the result when there is no result formula).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "builders/basic_builders.h"
#include "builders/hotspot_builders.h"
#include "core/ascii.h"
#include "core/brackets.h"
#include "core/chunk_work_state.h"
#include "core/clamp.h"
#include "core/font_spec.h"
#include "core/formula_result.h"
#include "core/link_matching_cache.h"
#include "core/operation_codes.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "core/text_search.h"
#include "core/view_lookup.h"
#include "engine/copy_source.h"
#include "engine/matching_key_index.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/run_steps.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::uint32_t kFontOffset = 4;
// The longest formula result taken as a match's addition, URL or pop-up.
constexpr std::uint32_t kMaxResultLength = 32768;
// The view wiki pages are looked up in when the operation names none.
constexpr const char* kDefaultWikiView = "$QVWL";
constexpr std::size_t kMaxViewKey = 255;
// Where "google:" and "talix:" wiki targets lead (settings of this system).
constexpr const char* kWebSearchAddress = "https://www.google.com/search?q=";
constexpr const char* kHelpPageAddress = "https://talix.example.org/help/";

// ---- Text runs --------------------------------------------------------------

struct TextRun {
    const CDRecordNode* first = nullptr;
    const CDRecordNode* text = nullptr;
    const CDRecordNode* last = nullptr;

    const char* Text() const { return reinterpret_cast<const char*>(text->bytes) + kTextRunHeader; }
    std::uint32_t Length() const {
        return ClampToWord(text->length - kTextRunHeader);
    }
    FontId Font() const {
        return ReadFontId(text->bytes + kFontOffset);
    }
};


bool Is(const CDRecordNode* node, std::uint16_t signature) {
    return node != nullptr && node->length > 0 && node->signature == signature;
}

// The run that starts at node: [effect] [CDBEGIN [effect]] text, and after a
// CDBEGIN [colour] CDEND. False when node starts no run of that form (a
// bracket holding more than one text record is left alone).
bool ReadRun(const CDRecordNode* node, TextRun* run) {
    const CDRecordNode* at = node;
    run->first = node;
    if (Is(at, kSigTextEffect)) at = at->next;
    const bool bracket = Brackets(at, kSigBegin, kSigText);
    if (bracket) {
        at = at->next;
        if (Is(at, kSigTextEffect)) at = at->next;
    }
    if (!Is(at, kSigText) || at->length < kTextRunHeader) return false;
    run->text = run->last = at;
    if (!bracket) return true;
    at = at->next;
    if (Is(at, kSigColor)) at = at->next;
    if (!Brackets(at, kSigEnd, kSigText)) return false;
    run->last = at;
    return true;
}

// The run starting at the record being walked that the operation may look
// at: a text run without the link mark, outside any hotspot.
bool RunToExamine(const std::uint8_t* record, RecordProcessContext* context, TextRun* run) {
    const CDRecordNode* node = context->node;
    if (node == nullptr || node->bytes != record || !ReadRun(node, run)) return false;
    // What follows a text bracket's CDBEGIN belongs to the bracketed run,
    // which is looked at (or left alone) from its CDBEGIN.
    if (Brackets(node->prev, kSigBegin, kSigText)) return false;
    if ((run->text->flags & kNodeLinkMark) != 0) return false;
    // A run that writes sees what the append gate has open; a run that only
    // reads sees the same hotspots as its walk meets them. A section is no
    // such hotspot: its body is text like any other.
    if (context->writesItem != 0) {
        const RecordOutput& output = context->output;
        return output.actionHotspotOpen == 0 && output.labelHotspotOpen == 0;
    }
    return context->labelHotspotOpen == 0;
}

// The run's later records are written (or read) with it.
void ConsumeRun(const TextRun& run, std::uint32_t* passOn, RecordProcessContext* context) {
    context->consumedThrough = run.last->index;
    *passOn = 0;
}

// A piece of the run's text inside the run's wrapper, in its font.
STATUS WritePiece(const TextRun& run, const char* text, std::uint32_t length, RecordProcessContext* context) {
    if (length == 0) return kOK;
    const FontId font = run.Font();
    return AppendWrappedText(run.first, text, length, &font, &context->output);
}

// While it lives, what the append gate takes in carries the link mark.
class LinkMarkScope {
public:
    explicit LinkMarkScope(RecordProcessContext* context) : area_(context->session->workArea) { area_->linkMark = 1; }
    ~LinkMarkScope() { area_->linkMark = 0; }
    LinkMarkScope(const LinkMarkScope&) = delete;
    LinkMarkScope& operator=(const LinkMarkScope&) = delete;

private:
    SessionWorkArea* area_;
};

// While it lives, the running operation's option text is another one.
class OptionsScope {
public:
    OptionsScope(RecordProcessContext* context, const char* options)
        : area_(context->session->workArea), saved_(area_->runningOptions) {
        area_->runningOptions = options;
    }
    ~OptionsScope() { area_->runningOptions = saved_; }
    OptionsScope(const OptionsScope&) = delete;
    OptionsScope& operator=(const OptionsScope&) = delete;

private:
    SessionWorkArea* area_;
    const char* saved_;
};

// ---- Characters ---------------------------------------------------------------

bool IsWordChar(const char* p, std::uint32_t available) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x80) return IsAsciiLetterOrDigit(static_cast<char>(c));
    const plat::WORD kind = plat::LmbcsCharClass(reinterpret_cast<const plat::BYTE*>(p), available);
    return kind == plat::CHAR_CLASS_ALPHA || kind == plat::CHAR_CLASS_DIGIT;
}

// The first character c (a one-byte character) from from on, or length.
std::uint32_t FindChar(const char* text, std::uint32_t length, std::uint32_t from, char c) {
    for (std::uint32_t at = from; at < length; at += CharLength(text + at, length - at)) {
        if (text[at] == c) return at;
    }
    return length;
}

// The first place from from on where two one-byte characters stand, or length.
std::uint32_t FindPair(const char* text, std::uint32_t length, std::uint32_t from, const char* pair) {
    for (std::uint32_t at = from; at + 1 < length; at += CharLength(text + at, length - at)) {
        if (text[at] == pair[0] && text[at + 1] == pair[1]) return at;
    }
    return length;
}

// ---- Finding keys ---------------------------------------------------------------

// Per byte of a run's text.
constexpr std::uint8_t kCharStart = 1;      // a character starts here
constexpr std::uint8_t kWordChar = 2;       // it is a letter or a digit
constexpr std::uint8_t kAfterBoundary = 4;  // it starts the text or follows a character that is neither

constexpr std::uint32_t kNoWord = 0xFFFFFFFF;

struct RunText {
    const char* text = nullptr;
    std::uint32_t length = 0;
    std::vector<std::uint8_t> kinds;
    // Per letter a-z, the text position of the first word starting with it.
    std::uint32_t letterStart[26] = {};

    bool EndsWord(std::uint32_t at) const { return at >= length || (kinds[at] & kWordChar) == 0; }
    bool StartsWord(std::uint32_t at) const { return (kinds[at] & kAfterBoundary) != 0; }
};

// Classifies the run's characters and fills the cache's first-letter
// positions: per letter, the record offset of the first word starting with
// it, the run's record length when none does.
void ReadRunText(const TextRun& run, LinkMatchingCache* cache, RunText* out) {
    out->text = run.Text();
    out->length = run.Length();
    out->kinds.assign(out->length, 0);
    for (std::uint32_t& start : out->letterStart) start = kNoWord;
    bool previousWord = false;
    for (std::uint32_t at = 0; at < out->length;) {
        const std::uint32_t available = out->length - at;
        const bool word = IsWordChar(out->text + at, available);
        out->kinds[at] = static_cast<std::uint8_t>(kCharStart | (word ? kWordChar : 0) |
                                                   (previousWord ? 0 : kAfterBoundary));
        const char c = out->text[at];
        if (!previousWord && IsAsciiLetter(c) && out->letterStart[LowerAscii(c) - 'a'] == kNoWord)
            out->letterStart[LowerAscii(c) - 'a'] = at;
        previousWord = word;
        at += CharLength(out->text + at, available);
    }
    // The cache keeps them as record offsets (the text starts at 8), the
    // run's record length standing for none.
    const std::uint32_t recordLength = out->length + kTextRunHeader;
    for (int i = 0; i < 26; ++i) {
        const std::uint32_t offset =
            out->letterStart[i] == kNoWord ? recordLength : out->letterStart[i] + kTextRunHeader;
        cache->letterStarts[i] = ClampToWord(offset);
    }
}

struct Match {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    const MatchingKey* key = nullptr;
};

// Whether a place found for a key stands as the cache's match kind asks.
bool Accepted(const RunText& run, std::uint32_t start, std::uint32_t end, std::uint16_t kind) {
    switch (kind) {
    case kKeyStartsWord: return run.StartsWord(start);
    case kKeyEndsWord: return run.EndsWord(end);
    case kKeyAnywhere: return true;
    default: return run.StartsWord(start) && run.EndsWord(end);
    }
}

// Compares a key with the text at a place while both are plain (ASCII)
// characters, ignoring case as the search does: 1 when the key matches
// (*length the bytes it covers), 0 when it does not, -1 when a character
// that is not plain comes first (the collation decides then).
int PlainCompare(const char* text, std::uint32_t available, const char* key, std::uint32_t keyLength,
                 std::uint32_t* length) {
    for (std::uint32_t i = 0; i < keyLength; ++i) {
        if (i >= available) return 0;
        const auto a = static_cast<unsigned char>(text[i]), b = static_cast<unsigned char>(key[i]);
        if (((a | b) & 0x80u) != 0) return -1;
        if (LowerAscii(static_cast<char>(a)) != LowerAscii(static_cast<char>(b))) return 0;
    }
    *length = keyLength;
    return 1;
}

// The keys of the index as they may stand in one run: at least 2
// characters and no longer than the run, not used up under single
// matching, and (when they must start a word and begin with a letter) not
// before the run's first word starting with that letter.
class RunSearch {
public:
    RunSearch(const RunText& run, const LinkMatchingCache* cache, const MatchingKeyIndex& index, bool ignoreAccents)
        : run_(run), cache_(cache), index_(index), ignoreAccents_(ignoreAccents),
          startsWord_(cache->matchKind == kKeyWholeWord || cache->matchKind == kKeyStartsWord),
          runChars_(CountChars(run.text, run.length)), plainBytes_(run.length + 1, 0) {
        // The plain bytes from each place on, counted up to the longest
        // plain key.
        const std::uint32_t longest = index.longestPlain();
        for (std::uint32_t at = run.length; at-- > 0;) {
            const bool plain = (static_cast<unsigned char>(run.text[at]) & 0x80u) == 0;
            const std::uint32_t next = plainBytes_[at + 1];
            plainBytes_[at] = plain ? (next < longest ? next + 1 : longest) : 0;
        }
    }

    bool startsWord() const { return startsWord_; }

    // The first key (in key order) that stands at the place, *end where it
    // ends; null when none does. Each group of candidates is in key order,
    // so a group is left at its first key that stands or at the best so far.
    const MatchingKey* BestAt(std::uint32_t at, std::uint32_t* end) const {
        const std::vector<MatchingKey>& keys = index_.keys();
        std::uint32_t best = static_cast<std::uint32_t>(keys.size());
        auto tryGroup = [&](const std::vector<std::uint32_t>& group, std::uint32_t shortest) {
            for (const std::uint32_t i : group) {
                if (i >= best) return;
                if (keys[i].text.size() < shortest) continue;
                if (Stands(keys[i], at, end)) {
                    best = i;
                    return;
                }
            }
        };
        // Plain keys that the plain bytes here spell, ignoring case.
        const std::uint32_t plain = plainBytes_[at];
        std::uint64_t hash = MatchingKeyIndex::HashStart();
        for (std::uint32_t length = 1; length <= plain; ++length) {
            hash = MatchingKeyIndex::HashNext(hash, LowerAscii(run_.text[at + length - 1]));
            if (!index_.plainLength(length)) continue;
            if (const std::vector<std::uint32_t>* group = index_.plainCandidates(hash, length)) tryGroup(*group, 0);
        }
        // Plain keys longer than the plain bytes here, which a character
        // that is not plain follows: the collation decides.
        if (at + plain < run_.length && plain < index_.longestPlain())
            tryGroup(index_.PlainAt(run_.text + at, run_.length - at, ignoreAccents_), plain + 1);
        // Keys holding other characters: those whose characters equal the
        // text's here, one by one.
        if (!index_.mixed().empty())
            tryGroup(index_.MixedAt(run_.text + at, run_.length - at, ignoreAccents_), 0);
        return best < keys.size() ? &keys[best] : nullptr;
    }

private:
    bool Eligible(const MatchingKey& key, std::uint32_t at) const {
        if (key.chars < 2 || key.chars > runChars_) return false;
        if (cache_->singleMatch != 0 && cache_->keyUsedFlags != nullptr && cache_->keyUsedFlags[key.number] != 0)
            return false;
        if (startsWord_ && IsAsciiLetter(key.text[0])) {
            const std::uint32_t first = run_.letterStart[LowerAscii(key.text[0]) - 'a'];
            if (first == kNoWord || at < first) return false;
        }
        return true;
    }

    // Whether the key stands at the place as the match kind asks: plain
    // characters are compared at once, and the collation's search is
    // anchored in a window as long as the key's characters can be.
    bool Stands(const MatchingKey& key, std::uint32_t at, std::uint32_t* end) const {
        if (!Eligible(key, at)) return false;
        std::uint32_t matchLength = 0;
        const auto keyLength = static_cast<std::uint32_t>(key.text.size());
        const int plain = PlainCompare(run_.text + at, run_.length - at, key.text.data(), keyLength, &matchLength);
        if (plain == 0) return false;
        if (plain < 0) {
            // An LMBCS character takes at most three bytes.
            const std::uint32_t window = 3 * key.chars;
            const std::uint32_t available = run_.length - at < window ? run_.length - at : window;
            std::uint16_t found = 0;
            if (FindTextWildcard(run_.text + at, static_cast<std::uint16_t>(available), key.text.data(),
                                 static_cast<std::uint16_t>(keyLength), 0, 1, ignoreAccents_ ? 1 : 0, 0, &found) != 0)
                return false;
            matchLength = found;
        }
        if (matchLength == 0 || !Accepted(run_, at, at + matchLength, cache_->matchKind)) return false;
        *end = at + matchLength;
        return true;
    }

    const RunText& run_;
    const LinkMatchingCache* cache_;
    const MatchingKeyIndex& index_;
    bool ignoreAccents_;
    bool startsWord_;
    std::uint32_t runChars_;
    std::vector<std::uint32_t> plainBytes_;
};

// A partial match takes in the whole word it lies in.
void WidenToWord(const RunText& run, Match* match) {
    while (match->start > 0 && !run.StartsWord(match->start)) {
        std::uint32_t previous = match->start - 1;
        while (previous > 0 && (run.kinds[previous] & kCharStart) == 0) --previous;
        match->start = previous;
    }
    while (!run.EndsWord(match->end)) match->end += CharLength(run.text + match->end, run.length - match->end);
}

// Every match of the run from left to right, without overlap: at each step
// the key found first wins (the earlier list and entry on a tie). A key
// used once is not tried again under single matching. The used flags of the
// keys found are set.
std::vector<Match> FindMatches(const RunText& run, LinkMatchingCache* cache, const MatchingKeyIndex& index,
                               bool ignoreAccents) {
    std::vector<Match> matches;
    if (index.keys().empty()) return matches;
    const RunSearch search(run, cache, index, ignoreAccents);
    // The end of the last match, where the search goes on.
    std::uint32_t cursor = 0;
    std::uint32_t at = 0;
    while (at < run.length) {
        std::uint32_t end = 0;
        const MatchingKey* key = nullptr;
        if ((run.kinds[at] & kCharStart) != 0 && (!search.startsWord() || run.StartsWord(at)))
            key = search.BestAt(at, &end);
        if (key == nullptr) {
            ++at;
            continue;
        }
        Match match{at, end, key};
        if (cache->replaceExtra != 0 && cache->matchKind != kKeyWholeWord) WidenToWord(run, &match);
        if (match.start < cursor) match.start = cursor;
        matches.push_back(match);
        cursor = at = match.end;
        if (cache->keyUsedFlags != nullptr && key->number < cache->keyCount) cache->keyUsedFlags[key->number] = 1;
    }
    return matches;
}

// ---- The result of a key ---------------------------------------------------------

// A note opened for one match, closed when it goes.
class MatchedNote {
public:
    MatchedNote(plat::DBHANDLE db, plat::NOTEID id) {
        if (db != 0 && id != 0 && plat::NoteOpen(db, id, 0, &note_) != plat::NOERROR) note_ = 0;
    }
    ~MatchedNote() {
        if (note_ != 0) plat::NoteClose(note_);
    }
    MatchedNote(const MatchedNote&) = delete;
    MatchedNote& operator=(const MatchedNote&) = delete;
    plat::NOTEHANDLE handle() const { return note_; }

private:
    plat::NOTEHANDLE note_ = 0;
};

// Evaluates a formula context on a note; false when it fails.
bool Evaluate(std::uint32_t compute, plat::NOTEHANDLE note, std::string* out) {
    plat::DHANDLE result = 0;
    plat::WORD resultLength = 0;
    if (compute == 0 || plat::ComputeEvaluate(compute, note, &result, &resultLength) != plat::NOERROR) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(plat::MemLock(result));
    if (bytes != nullptr) {
        *out = FormulaResultText(bytes, resultLength, kMaxResultLength);
        plat::MemUnlock(result);
    }
    plat::MemFree(result);
    return bytes != nullptr;
}

// The key as the key list spells it.
std::string KeyText(const MatchingKey& key) { return key.text; }

bool HasResultFormula(const RecordProcessContext* context) {
    return context->argumentText != nullptr && context->argumentText[0] != '\0';
}

// A result formula that is an item name (none of blank, "@", double quote,
// "+") brings in the rich text of that item of the key's note.
bool ResultIsRichText(const RecordProcessContext* context) {
    return HasResultFormula(context) && std::strpbrk(context->argumentText, " @\"+") == nullptr;
}

// What one match needs besides its place: the key's note (opened when a
// formula is evaluated on it or rich text is copied from it), the result
// and the option string of the match.
struct MatchWork {
    const Match* match = nullptr;
    plat::NOTEID noteId = 0;
    std::string found;        // the text as the run has it
    std::string result;       // the formula's result, else the key
    std::string options;      // the option string of this match
};

plat::NOTEID KeyNote(const LinkMatchingCache* cache, std::uint16_t number) {
    if (cache->noteIdTable == 0 || number >= kNoteIdTableSize / sizeof(plat::NOTEID)) return 0;
    const auto* ids = static_cast<const plat::NOTEID*>(plat::MemLock(cache->noteIdTable));
    if (ids == nullptr) return 0;
    const plat::NOTEID id = ids[number];
    plat::MemUnlock(cache->noteIdTable);
    return id;
}

// The result and the options of a match, evaluated on the key's note; a
// formula that gives nothing (or fails) leaves the key as the result and
// the running options as the options.
void ComputeResult(RecordProcessContext* context, plat::NOTEHANDLE note, MatchWork* work) {
    const SessionWorkArea* area = context->session->workArea;
    work->result.clear();
    if (HasResultFormula(context) && note != 0) Evaluate(area->matching.resultFormula, note, &work->result);
    if (work->result.empty()) work->result = KeyText(*work->match->key);
    const char* running = area->runningOptions;
    work->options = running != nullptr ? running : "";
    std::string evaluated;
    if (area->matching.optionsFormula != 0 && note != 0 && Evaluate(area->matching.optionsFormula, note, &evaluated))
        work->options = evaluated;
}

// ---- Writing a match --------------------------------------------------------------

// The text of the match in the operation's font (the highlight font) over
// the run's font; a colour brings a text bracket with a colour record.
STATUS WriteHighlighted(const TextRun& run, const std::string& text, RecordProcessContext* context) {
    FontId font = run.Font();
    std::uint32_t rgb = 0;
    std::uint16_t colorFlags = 0;
    ApplyFontSpec(&font, &rgb, &colorFlags, context->font, context->fontMask);
    RecordOutput* output = &context->output;
    const bool colored = rgb != 0 || colorFlags != 0;
    STATUS status = colored ? AppendBeginRecord(kSigText, 0, output) : kOK;
    if (status == kOK) status = AppendTextRecord(text.data(), static_cast<std::uint32_t>(text.size()), &font, output);
    if (status == kOK && colored) {
        status = AppendColorRecord(static_cast<std::uint8_t>(kSigColor), rgb, colorFlags, output);
        if (status == kOK) status = AppendEndRecord(kSigText, 0, output);
    }
    return status;
}

bool NoteHasItem(plat::NOTEHANDLE note, const char* name) {
    const std::size_t length = std::strlen(name);
    return length <= 0xFFFF && plat::ItemInfo(note, name, static_cast<plat::WORD>(length), nullptr, nullptr, nullptr,
                                              nullptr) == plat::NOERROR;
}

// The addition of 2801, 2803 and 2806: the result as text, or the rich text
// of the item the result formula names, copied from the key's note.
STATUS WriteAddition(const TextRun& run, const MatchWork& work, plat::NOTEHANDLE note,
                     RecordProcessContext* context) {
    if (!ResultIsRichText(context) || note == 0) {
        return WritePiece(run, work.result.data(), static_cast<std::uint32_t>(work.result.size()), context);
    }
    context->copyInputs = CopyInputs{};
    context->copyInputs.sourceDatabase = context->session->workArea->linkDatabase.database;
    context->copyInputs.sourceNote = note;
    const STATUS status = AppendSourceRichText(context->chunk, context, context->output.highestParagraphId);
    context->copyInputs = CopyInputs{};
    return status;
}

// The hotspot kind of a plain link match with a result formula: "Hotspot="
// of the match's options, "URL" when not given.
bool UrlKind(const MatchWork& work) {
    char kind[16] = {};
    if (GetOptionValue(work.options.c_str(), "Hotspot=", kind, sizeof kind) == 0) return true;
    return std::strlen(kind) == 3 && StartsWithNoCase(kind, 3, "URL");
}

STATUS WriteMatch(const TextRun& run, const MatchWork& work, plat::NOTEHANDLE note, RecordProcessContext* context) {
    const std::uint32_t foundLength = static_cast<std::uint32_t>(work.found.size());
    OptionsScope options(context, work.options.c_str());
    LinkMarkScope mark(context);
    switch (context->operation2) {
    case kMatchModeAppend:
        if (!ResultIsRichText(context)) {
            const std::string both = work.found + work.result;
            return WritePiece(run, both.data(), static_cast<std::uint32_t>(both.size()), context);
        } else {
            const STATUS status = WritePiece(run, work.found.data(), foundLength, context);
            return status != kOK ? status : WriteAddition(run, work, note, context);
        }
    case kMatchModeInsert:
        if (!ResultIsRichText(context)) {
            const std::string both = work.result + work.found;
            return WritePiece(run, both.data(), static_cast<std::uint32_t>(both.size()), context);
        } else {
            const STATUS status = WriteAddition(run, work, note, context);
            return status != kOK ? status : WritePiece(run, work.found.data(), foundLength, context);
        }
    case kMatchModeReplace:
        // A key's document without the item the result names brings in
        // nothing: the key is the result then, and the word is not lost.
        if (ResultIsRichText(context) && note != 0 && !NoteHasItem(note, context->argumentText))
            return WritePiece(run, work.result.data(), static_cast<std::uint32_t>(work.result.size()), context);
        return WriteAddition(run, work, note, context);
    case kMatchModeHighlight:
        return WriteHighlighted(run, work.found, context);
    case kMatchModePopup:
        return AppendPopupHotspot(work.found.c_str(), work.result.c_str(), work.options.c_str(), context);
    default:
        // A link: to the key's document, or with a result formula a URL (or
        // a pop-up, as "Hotspot=" says) on the result.
        if (!HasResultFormula(context)) {
            return AppendHypertextLink(work.found.c_str(), "", work.noteId, nullptr, context);
        }
        if (UrlKind(work)) {
            return AppendURLHotspotWithEnd(work.found.data(), foundLength, work.result.data(),
                                           static_cast<std::uint32_t>(work.result.size()), context);
        }
        return AppendPopupHotspot(work.found.c_str(), work.result.c_str(), work.options.c_str(), context);
    }
}

// 2804: the result goes to the keyword list (the operation's second text),
// after the separator when the list is not empty, while the list is shorter
// than kKeywordListLimit. The list goes whole into the method's text result:
// a result that would not fit there with its separator is left out, so the
// list never ends in part of a keyword or of a character.
void CollectKeyword(const MatchWork& work, RecordProcessContext* context) {
    // The keyword buffer is the caller's, handed over as the second text.
    char* list = const_cast<char*>(context->secondArgument);
    const std::size_t used = strnlen(list, kKeywordBufferSize - 1);
    if (used >= kKeywordListLimit) return;
    char separator[64] = ",";
    if (used > 0) {
        const char* options = work.options.c_str();
        if (GetOptionValue(options, "Separator=", separator, sizeof separator) == 0) std::strcpy(separator, ",");
    }
    std::string addition = used > 0 ? separator : "";
    addition += work.result;
    static_assert(RARIvoSession::kTextResultCapacity < kKeywordBufferSize &&
                  kKeywordListLimit < RARIvoSession::kTextResultCapacity);
    if (addition.size() > RARIvoSession::kTextResultCapacity - used) return;
    std::memcpy(list + used, addition.data(), addition.size());
    list[used + addition.size()] = '\0';
}

bool KnownMode(std::uint16_t mode) {
    return mode == 0 || mode == kMatchModeLink || (mode >= kMatchModeAppend && mode <= kMatchModeReplace);
}

// 2386 at a record inside the chunk.
STATUS MatchKeys(std::uint8_t* record, std::uint16_t, std::uint32_t, std::uint32_t* passOn,
                 RecordProcessContext* context) {
    const std::uint16_t mode = context->operation2;
    if (!KnownMode(mode)) return kArgumentError;
    if (mode == kMatchModeKeyword && context->secondArgument == nullptr) return kArgumentError;
    LinkMatchingCache* cache = context->linkMatching;
    if (cache == nullptr || cache->keyCount == 0 || cache->keyLists[0] == 0) return kOK;
    TextRun run;
    if (!RunToExamine(record, context, &run)) return kOK;
    if (run.text->length < static_cast<std::uint32_t>(cache->shortestKeyLength) + kTextRunHeader) return kOK;

    RunText text;
    ReadRunText(run, cache, &text);
    // The keys are read once a run (memory running out is caught as in any run).
    if (context->keyIndex == nullptr) context->keyIndex = new MatchingKeyIndex(cache);
    const std::vector<Match> matches =
        FindMatches(text, cache, *context->keyIndex, context->chunk->accentSensitive == 0);
    if (matches.empty()) return kOK;

    ConsumeRun(run, passOn, context);
    const plat::DBHANDLE db = context->session->workArea->linkDatabase.database;
    const SessionWorkArea* area = context->session->workArea;
    const bool needNote = HasResultFormula(context) || area->matching.optionsFormula != 0;
    std::uint32_t at = 0;
    for (const Match& match : matches) {
        MatchWork work;
        work.match = &match;
        work.noteId = KeyNote(cache, match.key->number);
        work.found.assign(text.text + match.start, match.end - match.start);
        MatchedNote note(needNote ? db : 0, work.noteId);
        ComputeResult(context, note.handle(), &work);
        if (mode == kMatchModeKeyword) {
            CollectKeyword(work, context);
            continue;
        }
        STATUS status = WritePiece(run, text.text + at, match.start - at, context);
        if (status == kOK) status = WriteMatch(run, work, note.handle(), context);
        if (status != kOK) return status;
        at = match.end;
    }
    if (mode == kMatchModeKeyword) return kOK;
    context->chunk->item->modified = 1;
    // Every key of the run has been found in its text as written; no
    // further pass is asked for, as one would search the pieces left
    // between the matches as runs of their own and take their ends for the
    // starts and ends of words.
    return WritePiece(run, text.text + at, text.length - at, context);
}

// ---- Wiki references --------------------------------------------------------------

// A wiki reference of a run: what lies between its delimiters, split.
struct WikiReference {
    std::string target;       // the whole target: page, "#", anchor
    std::string page;         // the page title (the target up to its "#")
    std::string anchor;       // after the "#", blanks, colons and double quotes made "_"
    std::string shown;        // after "|", else the target
    std::uint32_t end = 0;    // the text position after the closing delimiter
};

// The run's text as a wiki reference: it starts with the opening and ends
// with the closing delimiter and, with a tag (the second text), the tag and
// ":" follow the opening one (the tag ignoring case). The reference ends at
// the first closing delimiter; the text after it stays text. False for any
// other text, or a reference without a target.
bool ReadWikiReference(const RecordProcessContext* context, const char* text, std::uint32_t length,
                       WikiReference* out) {
    const char* open = context->wikiOpen;
    const char* close = context->wikiClose;
    if (length < 4 || std::memcmp(text, open, 2) != 0 || std::memcmp(text + length - 2, close, 2) != 0) return false;
    std::uint32_t at = 2;
    const char* tag = context->secondArgument;
    const std::uint32_t tagLength = tag != nullptr ? static_cast<std::uint32_t>(std::strlen(tag)) : 0;
    if (tagLength > 0) {
        if (length < 2 + tagLength + 1 + 2) return false;
        if (plat::Collate(text + at, tagLength, tag, tagLength, true, false) != 0) return false;
        at += tagLength;
        if (text[at] != ':') return false;
        ++at;
    }
    const std::uint32_t closeAt = FindPair(text, length, at, close);
    if (closeAt >= length) return false;
    const std::uint32_t bar = FindChar(text, closeAt, at, '|');
    out->target.assign(text + at, bar - at);
    if (bar < closeAt) out->shown.assign(text + bar + 1, closeAt - bar - 1);
    if (out->shown.empty()) out->shown = out->target;
    if (out->target.empty()) return false;
    const std::uint32_t targetLength = static_cast<std::uint32_t>(out->target.size());
    const std::uint32_t hash = FindChar(out->target.data(), targetLength, 0, '#');
    out->page = out->target.substr(0, hash);
    if (hash < targetLength) {
        out->anchor = out->target.substr(hash + 1);
        const auto anchorLength = static_cast<std::uint32_t>(out->anchor.size());
        for (std::uint32_t i = 0; i < anchorLength; i += CharLength(out->anchor.data() + i, anchorLength - i)) {
            char& c = out->anchor[i];
            if (c == ' ' || c == ':' || c == '"') c = '_';
        }
    }
    out->end = closeAt + 2;
    return true;
}

// An option value in quotes: the first quote character the value does not
// hold (a target never holds "|").
std::string Quoted(const std::string& value) {
    for (char quote : {'\'', '"', '|', '~'}) {
        if (value.find(quote) == std::string::npos) return quote + value + quote;
    }
    return "''";
}

// The characters of a web address that stand for themselves; every other
// byte is written as %XX, a blank as "+".
std::string Escaped(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

// The web address of a target that is one: a URL scheme, a web search or the
// help page; false for a page to look up (and for every target shorter than
// six characters). *scheme gets the word the link's class ends in.
bool WikiAddress(const std::string& target, std::string* url, std::string* scheme) {
    const auto length = static_cast<std::uint32_t>(target.size());
    if (length < 6) return false;
    for (const char* prefix : {"http:", "https:", "file:", "mailto:"}) {
        if (StartsWithNoCase(target.data(), length, prefix)) {
            *url = target;
            scheme->assign(prefix, std::strlen(prefix) - 1);
            return true;
        }
    }
    if (StartsWithNoCase(target.data(), length, "google:")) {
        *url = kWebSearchAddress + Escaped(target.substr(7));
        *scheme = "google";
        return true;
    }
    if (StartsWithNoCase(target.data(), length, "talix:")) {
        *url = kHelpPageAddress + Escaped(target.substr(6));
        *scheme = "talix";
        return true;
    }
    return false;
}

// The first note the look-up view (or selection formula) finds for the
// page title, 0 when none. Returns 0 or the look-up's failure.
STATUS FindWikiPage(RecordProcessContext* context, const std::string& page, plat::NOTEID* id) {
    *id = 0;
    if (page.empty()) return kOK;   // an empty key would select every page
    // A view is looked up by keys of at most 255 bytes: a longer title is
    // no page's, and its text stays as it is.
    if (page.size() > kMaxViewKey && !IsSelectionFormula(context->argumentText)) return kOK;
    const plat::DBHANDLE db = context->session->workArea->linkDatabase.database;
    if (db == 0) return kArgumentError;
    const char* view = context->argumentText != nullptr && context->argumentText[0] != '\0' ? context->argumentText
                                                                                            : kDefaultWikiView;
    plat::DHANDLE table = 0;
    const STATUS status = FindNotesByViewOrFormula(context->session, db, view, page.c_str(), &table, 0);
    if (status != kOK) return status;
    plat::NOTEID found = 0;
    if (plat::IdScan(table, true, &found)) *id = found;
    plat::IdDestroyTable(table);
    return kOK;
}

// 2816 at a record inside the chunk: a run that is a wiki reference becomes
// a URL link (an address) or a link to the page found; a page that is not
// found leaves the run as it stands.
STATUS MatchWiki(std::uint8_t* record, std::uint16_t, std::uint32_t, std::uint32_t* passOn,
                 RecordProcessContext* context) {
    TextRun run;
    if (context->writesItem == 0 || !RunToExamine(record, context, &run)) return kOK;
    WikiReference reference;
    if (!ReadWikiReference(context, run.Text(), run.Length(), &reference)) return kOK;

    std::string url, scheme;
    const bool address = WikiAddress(reference.target, &url, &scheme);
    plat::NOTEID page = 0;
    if (!address) {
        const STATUS status = FindWikiPage(context, reference.page, &page);
        if (status != kOK) return status;
        if (page == 0) return kOK;
    }

    ConsumeRun(run, passOn, context);
    context->chunk->item->modified = 1;
    STATUS status = kOK;
    {
        LinkMarkScope mark(context);
        if (address) {
            const std::string attributes = "HTMLClass='WikiLink" + scheme + "' HTMLTitle=" + Quoted(reference.target);
            OptionsScope options(context, attributes.c_str());
            status = AppendURLHotspotWithEnd(reference.shown.data(), static_cast<std::uint32_t>(reference.shown.size()),
                                             url.data(), static_cast<std::uint32_t>(url.size()), context);
        } else {
            std::string options = "Class='WikiLink$3' Title=" + Quoted(reference.target) + " ";
            if (!reference.anchor.empty()) options += "Anchor=" + Quoted(reference.anchor);
            status = AppendHypertextLink(reference.shown.c_str(), "", page, options.c_str(), context);
        }
    }
    if (status != kOK) return status;
    return WritePiece(run, run.Text() + reference.end, run.Length() - reference.end, context);
}

const OperationRow kRows[] = {
    {kOpLinkMatching, nullptr, MatchKeys, nullptr, &kMatchingSteps, kRebuildsItem | kKeepsLinkMarks, kMatchModeKeyword},
    {kOpWikiMatching, nullptr, MatchWiki, nullptr, &kMatchingSteps, kRebuildsItem | kKeepsLinkMarks},
};

} // namespace

const OperationFamily kMatchingOperations = MakeFamily(kRows);

} // namespace talix
