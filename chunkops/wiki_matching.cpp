// WikiMatching: keeps the wiki texts of a chunk ("((Page#Part|label))")
// up to date, through the public chunk methods.
//
// A call first turns the wiki links an earlier call made (action hotspots
// of class "WikiLink", URL and document links of the wiki classes) back into
// their source texts (phases 1 and 2), gives every wiki text a plain look
// (3), then, unless "ResolveTags=" says otherwise, has the matching
// operation turn the texts whose page the look-up view finds into links (4)
// and makes each remaining one an action hotspot that composes a new
// document with the page as its subject (5). Each loop over sub-chunks
// moves on only while its definition does, and makes at most as many steps
// as there were targets at its start, plus one.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "chunkops/chunk_frame.h"
#include "chunkops/matching_support.h"
#include "core/chunk_work_state.h"
#include "core/database_open.h"
#include "core/options.h"
#include "core/owned_text.h"
#include "core/pool.h"
#include "core/properties.h"
#include "core/session_work_area.h"
#include "core/text_compare.h"
#include "engine/chunk_count.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

constexpr const char* kMethod = "WikiMatching";
constexpr const char* kWikiClass = "WikiLink";
// The longest tag, rebuilt source text, wiki text read, compose formula and
// hotspot option text or form name, in bytes. A rebuilt source text is as
// long as the wiki text a link was made of: it may take all a text property
// holds.
constexpr std::size_t kMaxTag = 31;
constexpr std::size_t kMaxSourceText = 0xFFFF;
// The longest text of a link turned back: a link may show a label as long
// as the wiki text it was made of.
constexpr std::size_t kMaxLinkText = kMaxSourceText - 1;
constexpr std::size_t kMaxWikiText = 1024;
constexpr std::size_t kMaxComposeFormula = 1023;
constexpr std::size_t kMaxOptionText = 255;

struct WikiSettings {
    std::string tag;        // empty: no tag
    std::string left = "((";
    std::string right = "))";
    std::string form;       // "Form=", empty when not given
    bool resolve = true;
};

WikiSettings ReadSettings(const char* options) {
    WikiSettings settings;
    if (options == nullptr) return settings;
    char value[RARIvoSession::kMessageCapacity] = {};
    if (GetOptionValue(options, "Tag=", value, sizeof value) != 0) {
        std::string tag = value;
        if (!tag.empty() && tag.back() == ':') tag.pop_back();
        if (!tag.empty() && tag.size() <= kMaxTag) settings.tag = tag;
    }
    value[0] = '\0';
    if (GetOptionValue(options, "WikiDelimiters=", value, sizeof value) != 0 && std::strlen(value) == 4) {
        settings.left.assign(value, 2);
        settings.right.assign(value + 2, 2);
    }
    value[0] = '\0';
    if (GetOptionValue(options, "ResolveTags=", value, sizeof value) != 0 && !EqualNoCase(value, "yes"))
        settings.resolve = false;
    value[0] = '\0';
    if (GetOptionValue(options, "Form=", value, sizeof value) != 0) settings.form = value;
    return settings;
}

// A sub-chunk, destroyed with the object.
class SubChunk {
public:
    SubChunk(ZervaRTChunk* chunk, const std::string& definition) : sub_(chunk->DefineSubChunk(definition.c_str())) {}
    ~SubChunk() { delete sub_; }
    SubChunk(const SubChunk&) = delete;
    SubChunk& operator=(const SubChunk&) = delete;
    ZervaRTChunk* get() const { return sub_; }

private:
    ZervaRTChunk* sub_;
};

// The text property of a target; false when it is longer than size bytes.
bool ReadText(ZervaRTChunk* sub, std::size_t size, std::string* text) {
    std::string buffer(size + 2, '\0');
    const std::uint16_t length =
        sub->GetPropertyText("Text", buffer.data(), static_cast<std::uint16_t>(size + 1));
    text->assign(buffer.data(), length);
    return length <= size;
}

// The source text of a wiki link from its text and title.
std::string SourceText(const WikiSettings& settings, const std::string& text, const std::string& title) {
    std::string source = settings.left;
    if (!settings.tag.empty()) source += settings.tag + ":";
    if (title.empty() || title == text) {
        source += text;
    } else {
        source += title;
        const std::string page = title.substr(0, title.find('#'));
        if (!page.empty() && page != text) source += "|" + text;
    }
    return source + settings.right;
}

// Whether a class read from a link names a link of this call's kind.
bool ActionClassQualifies(const WikiSettings& settings, const std::string& cls) {
    if (settings.tag.empty()) return EqualNoCase(std::string_view(cls), kWikiClass);
    return StartsWithNoCase(std::string_view(cls), kWikiClass) &&
           EqualNoCase(std::string_view(cls).substr(std::strlen(kWikiClass)), settings.tag);
}

bool LinkClassQualifies(const WikiSettings& settings, const std::string& cls) {
    if (!StartsWithNoCase(std::string_view(cls), kWikiClass)) return false;
    const std::string_view rest = std::string_view(cls).substr(std::strlen(kWikiClass));
    if (EqualNoCase(rest, "https") || EqualNoCase(rest, "talix") || EqualNoCase(rest, "file")) return true;
    // Mail addresses are made into links as web addresses are, and come
    // back as those of "http:" do.
    if (settings.tag.empty())
        return rest.empty() || EqualNoCase(rest, "google") || EqualNoCase(rest, "http") || EqualNoCase(rest, "mailto");
    return EqualNoCase(rest, settings.tag);
}

// Phases 1 and 2: every hotspot (phase 1) or URL link (phase 2) whose class
// qualifies gets its source text back as its text and is then removed,
// leaving the text. Phase 1 looks at hotspots of every kind: the compose
// hotspots carry formula code, which the "ActionHotspot" type passes over.
// A link that is still there after its removal gets its own text back and
// is passed over.
void TurnLinksBack(ZervaRTChunk* chunk, const WikiSettings& settings, bool hotspots) {
    const char* type = hotspots ? "Hotspot" : "HyperLink";
    const char* element = hotspots ? "ActionFormula" : "Hyperlink";
    const std::int64_t targets = CountChunkTargets(chunk, type);
    if (targets <= 0) return;
    SubChunk sub(chunk, std::string(type) + " 1");
    if (sub.get() == nullptr) return;
    bool exists = sub.get()->Exists() != 0;
    for (std::int64_t step = 0; exists && step <= targets; ++step) {
        ZervaRTChunk* target = sub.get();
        const std::string cls = target->GetHTMLValue("Class", element);
        const bool qualifies = hotspots ? ActionClassQualifies(settings, cls) : LinkClassQualifies(settings, cls);
        bool turned = false;
        std::string text;
        if (qualifies && ReadText(target, kMaxLinkText, &text)) {
            const std::string title = target->GetHTMLValue("Title", element);
            const std::string source = SourceText(settings, text, title);
            // A source text longer than its place leaves the link as it is.
            if (source.size() <= kMaxSourceText &&
                target->SetPropertyText("Text", source.c_str(), static_cast<std::uint16_t>(source.size())) != 0) {
                // Links are removed whole, those with a computed address too.
                const STATUS removed = hotspots ? target->RemoveHotspots() : target->RemoveLinks(0);
                std::string after;
                turned = removed == kOK && !(target->Exists() != 0 && ReadText(target, kMaxLinkText, &after) &&
                                             after == source);
                if (!turned) target->SetPropertyText("Text", text.c_str(), static_cast<std::uint16_t>(text.size()));
            }
        }
        // A link turned back is gone: the same definition finds the next one.
        exists = turned ? target->Exists() != 0 : target->GetNextTarget(0) != 0;
    }
}

// Phase 3: every wiki text in black without underline (as its own text run).
void PlainWikiTexts(ZervaRTChunk* chunk, const WikiSettings& settings) {
    ZervaRTItem* item = chunk->item;
    char* plain = CopyOwnedText("-Underline Black");
    if (plain == nullptr) return;
    char* saved = item->highlightFont;
    item->highlightFont = plain;
    chunk->textWildcards = 1;
    const std::string pattern = settings.left + "*" + settings.right;
    chunk->HighlightText(pattern.c_str(), 5);
    item->highlightFont = saved;
    FreeOwnedText(plain);
}

// A wiki text split: its page (the target up to its anchor), its whole
// target and its label.
struct WikiText {
    std::string target;
    std::string page;
    std::string label;
};

// The parts of a wiki text; false when the text is not one this call handles.
bool SplitWikiText(const WikiSettings& settings, const std::string& text, WikiText* out) {
    const std::size_t left = settings.left.size(), right = settings.right.size();
    if (text.size() < left + right || text.compare(0, left, settings.left) != 0 ||
        text.compare(text.size() - right, right, settings.right) != 0)
        return false;
    std::size_t start = left;
    if (!settings.tag.empty()) {
        const std::string tagged = settings.tag + ":";
        if (!StartsWithNoCase(std::string_view(text).substr(left), tagged)) return false;
        start += tagged.size();
    }
    if (start > text.size() - right) return false;
    const std::string inner = text.substr(start, text.size() - right - start);
    std::size_t hash = std::string::npos;
    std::size_t bar = std::string::npos;
    for (std::size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == '|') {
            bar = i;
            break;
        }
        if (inner[i] == '#') hash = i;
    }
    const bool anchored = hash != std::string::npos && hash > 0;
    if (bar != std::string::npos) {
        out->target = inner.substr(0, bar);
        out->label = inner.substr(bar + 1);
        while (out->label.size() > 1 && out->label.back() == settings.right[0]) out->label.pop_back();
    } else {
        out->target = inner;
    }
    // Without a label (none, or nothing after the "|") the page is shown,
    // as a link to a page found shows it.
    if (bar == std::string::npos || out->label.empty())
        out->label = anchored ? out->target.substr(0, hash) : out->target;
    out->page = anchored ? out->target.substr(0, hash) : out->target;
    return true;
}

// A text as the inside of a formula's quoted string.
std::string FormulaString(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// The formula of a compose hotspot: a new document of the form in the
// database, its Subject the page.
std::string ComposeFormula(const char* server, const char* database, const std::string& form,
                           const std::string& page) {
    std::string formula = "@Command([Compose]; ";
    if (server[0] == '@') {
        formula += server;
    } else {
        formula += "\"" + FormulaString(server) + "\":\"" + FormulaString(database) + "\"";
    }
    formula += "; \"" + FormulaString(form) + "\"); ";
    formula += "@Command([EditGoToField]; \"Subject\"); ";
    formula += "@Command([EditInsertText]; \"" + FormulaString(page) + "\");";
    return formula;
}

// The form a compose hotspot creates: "Form=", else the tag, else the
// note's "Form" item, else "Document".
std::string ComposeForm(const WikiSettings& settings, const ZervaRTItem* item) {
    if (!settings.form.empty()) return settings.form;
    if (!settings.tag.empty()) return settings.tag;
    char form[kMaxOptionText + 1] = {};
    if (item->noteHandle != 0 && plat::ItemGetText(item->noteHandle, "Form", form, sizeof form) > 0) return form;
    return "Document";
}

// Phase 5: each unresolved wiki text (outside hotspots) becomes a compose
// hotspot labelled with its label. A text whose formula does not compile
// (the sub-chunk's error word is then 20017), or whose parts do not fit
// their places, stays text.
void MakeComposeHotspots(ZervaRTChunk* chunk, const WikiSettings& settings, const char* server,
                         const char* database) {
    const std::string definition = "Text starts '" + settings.left + "'";
    const std::int64_t targets = CountChunkTargets(chunk, definition.c_str());
    if (targets <= 0) return;
    SubChunk sub(chunk, definition + " 1");
    if (sub.get() == nullptr) return;
    const std::string form = ComposeForm(settings, chunk->item);
    bool exists = sub.get()->Exists() != 0;
    for (std::int64_t step = 0; exists && step <= targets; ++step) {
        ZervaRTChunk* target = sub.get();
        std::string text;
        WikiText parts;
        bool replaced = false;
        if (target->GetPropertyNumber("InsideHotspot") == 0 && ReadText(target, kMaxWikiText, &text) &&
            SplitWikiText(settings, text, &parts)) {
            const std::string formula = ComposeFormula(server, database, form, parts.page);
            // Each value in a quote it does not hold: a tag may hold "'" as a
            // target may, and its class must read back whole.
            const std::string cls = std::string(kWikiClass) + settings.tag;
            const char classQuote = ChooseQuoteChar(cls.c_str(), static_cast<int>(cls.size()));
            const char quote = ChooseQuoteChar(parts.target.c_str(), static_cast<int>(parts.target.size()));
            const std::string options = "HotspotHTMLClass=" + std::string(1, classQuote) + cls + classQuote +
                                        " HotspotHTMLTitle=" + quote + parts.target + quote;
            if (form.size() <= kMaxOptionText && formula.size() <= kMaxComposeFormula &&
                options.size() <= kMaxOptionText &&
                target->AppendHotspot("FORMULA ACTION", formula.c_str(), static_cast<std::uint16_t>(formula.size()),
                                      options.c_str(), parts.label.c_str(),
                                      static_cast<std::uint16_t>(parts.label.size())) == kOK) {
                replaced = target->SetPropertyText("Text", "", 0) != 0;
            }
        }
        exists = replaced ? target->Exists() != 0 : target->GetNextTarget(0) != 0;
    }
}

} // namespace

std::uint16_t ZervaRTChunk::WikiMatching(const char* server, const char* databasePath, const char* view,
                                         const char* referenceField, const char* linkFormula,
                                         const char* options) {
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    SessionWorkArea* area = session->workArea;
    const char* missing = databasePath == nullptr || databasePath[0] == '\0'
                              ? "TALIX: %s method passed an invalid database filepath."
                          : view == nullptr || view[0] == '\0' ? "TALIX: %s method passed an invalid view name."
                          : referenceField == nullptr || referenceField[0] == '\0'
                              ? "TALIX: %s missing reference fieldname."
                              : nullptr;
    if (missing != nullptr) {
        ReportMatching(session, true, missing, kMethod);
        ForgetMatchingIdentity(session);
        return kErrFormula;
    }
    server = OrEmpty(server);

    // The option copy is the running options of every run of the call.
    area->runningOptions = nullptr;
    char* optionsCopy = nullptr;
    if (options != nullptr && options[0] != '\0') {
        optionsCopy = QuorbelAllocateString(session, __LINE__, kChunkMethodsTag, options, 0);
        if (optionsCopy == nullptr) return kOutOfMemory;
    }
    struct CallEnd {
        RARIvoSession* session;
        char* copy;
        ~CallEnd() {
            CloseKeyDatabase(session);
            session->workArea->runningOptions = nullptr;
            if (copy != nullptr) ZervaDeallocate(session, copy);
        }
    } end{session, optionsCopy};
    area->runningOptions = optionsCopy;
    const WikiSettings settings = ReadSettings(optionsCopy);

    STATUS status = OpenDatabaseByName(session, server[0] == '@' ? "" : server, databasePath,
                                       &area->linkDatabase.database);
    if (status != kOK) {
        area->linkDatabase.database = 0;
        ForgetMatchingIdentity(session);
        lastStatus = status;
        return status;
    }
    if (linkFormula == nullptr || linkFormula[0] == '\0') {
        status = ReadLinkContext(session, view);
        if (status != kOK) {
            DiscardMatchingCache(session);
            lastStatus = status;
            return status;
        }
    }

    lastStatus = kOK;
    STATUS outcome = kOK;
    {
        MatchingRunSettings runSettings(this);
        TurnLinksBack(this, settings, true);
        TurnLinksBack(this, settings, false);
        PlainWikiTexts(this, settings);
        if (settings.resolve) {
            work->passAgain = 0;
            lastStatus = kOK;
            outcome = RunChunkOperation(this, kOpWikiMatching, 0, 0, 0, 0, view,
                                        settings.tag.empty() ? nullptr : settings.tag.c_str());
            // Texts whose look-up failed are not taken for pages to create.
            if (outcome == kOK) MakeComposeHotspots(this, settings, server, databasePath);
        }
        runSettings.Restore();
        const STATUS committed = item->Commit();
        if (outcome == kOK) outcome = committed;
    }
    lastStatus = outcome;
    return outcome;
}
