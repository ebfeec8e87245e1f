// The matching methods: keys read from the documents of a view of a key
// database become links (or keywords, additions ...) in a chunk's text; the
// keys are kept for the calls of the hour; bad arguments and formulas are
// refused with their messages; the passes end.
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "chunk_fixture.h"
#include "chunkops/matching_support.h"
#include "core/chunk_work_state.h"
#include "core/record_forms.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "platform/testing.h"
#include "platform/view_index.h"
#include "talix_platform.h"

namespace chunkops_test {
namespace {

class LinkMatchingTest : public ChunkTest {
protected:
    LinkMatchingTest() : keys_(dir_.file("keys.nsf")) {
        g_messages.clear();
        plat::RegisterMessageProc(CollectMessage);
        plat::DBHANDLE db = 0;
        EXPECT_EQ(plat::DbCreate(keys_.c_str(), &db), plat::NOERROR);
        for (const char* view : {"Terms", "Other"}) {
            plat::NOTEID id = 0;
            EXPECT_EQ(plat::ViewNoteCreate(db, plat::ViewDefinition{view, "", {"Term"}, {"sorted"}}, &id),
                      plat::NOERROR);
        }
        plat::DbClose(db);
        alpha_ = AddKey("alpha", "A1");
        gamma_ = AddKey("beta`gamma", "G2");
        AddKey("de", "D3");
    }
    ~LinkMatchingTest() override { plat::RegisterMessageProc(nullptr); }

    // A document of the key database with a Term and a Code.
    plat::NOTEID AddKey(const std::string& term, const char* code) {
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        plat::NOTEID id = 0;
        EXPECT_EQ(plat::DbOpen(keys_.c_str(), &db), plat::NOERROR);
        EXPECT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
        plat::ItemSetText(note, "Term", term.data(), static_cast<plat::WORD>(term.size()));
        plat::ItemSetText(note, "Code", code, static_cast<plat::WORD>(std::strlen(code)));
        EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
        plat::NoteClose(note);
        plat::DbClose(db);
        return id;
    }

    // item_ connected to a new note whose body is one text run.
    void OpenText(const std::string& text) {
        std::vector<talix_test::FixtureRecord> records = ParagraphStart();
        records.push_back(TextRun(text));
        Open(NewNote(records));
    }

    // Runs one matching call on the whole item; the notes it opened.
    plat::DWORD Match(std::uint16_t mode, const char* view = "Terms", const char* field = "Term",
                      const char* result = nullptr, const char* options = nullptr, talix::STATUS expected = 0) {
        ZervaRTChunk* chunk = Chunk();
        const plat::DWORD before = plat::TestNotesOpened();
        EXPECT_EQ(chunk->LinkMatching("", keys_.c_str(), view, field, result, options, mode), expected);
        const plat::DWORD opened = plat::TestNotesOpened() - before;
        delete chunk;
        return opened;
    }

    // The keywords of a text, from keys built for the call.
    std::string Keywords(const std::string& text, const char* field = "Term", const char* options = nullptr) {
        OpenText(text);
        item_->cacheLinkMatching = 0;
        ZervaRTChunk* chunk = Chunk();
        EXPECT_EQ(chunk->KeywordMatching("", keys_.c_str(), "Terms", field, nullptr, options), 0);
        std::string keywords(session_.textResult, session_.textResultLength);
        delete chunk;
        return keywords;
    }

    // The notes the stored note links of the body point to (their UNIDs'
    // first word).
    std::vector<std::uint32_t> LinkedNotes(const Body& body) const {
        std::vector<std::uint32_t> notes;
        for (std::size_t i = 0; i < body.records.size(); ++i) {
            if (body.signatures[i] != talix::kSigLinkExport2 || body.records[i].size() < 32) continue;
            notes.push_back(talix::ReadDword(reinterpret_cast<const std::uint8_t*>(body.records[i].data()) + 28));
        }
        return notes;
    }
    // The first word of the UNID of a note (or, with a name, of that view).
    std::uint32_t UnidWord(plat::NOTEID id, const char* view = nullptr) const {
        plat::DBHANDLE db = 0;
        plat::ORIGINATORID oid;
        EXPECT_EQ(plat::DbOpen(keys_.c_str(), &db), plat::NOERROR);
        if (view != nullptr) EXPECT_EQ(plat::FindDesignNote(db, view, plat::NOTE_CLASS_VIEW, &id), plat::NOERROR);
        EXPECT_EQ(plat::DbNoteInfo(db, id, &oid, nullptr, nullptr), plat::NOERROR);
        plat::DbClose(db);
        return oid.File.Innards[0];
    }

    // Dates the cached keys as built at this moment: the call that follows
    // falls in their hour wherever in the hour the test runs (keys built a
    // moment before the hour turns would not serve a call after it).
    // Keys never dated (none kept) stay so.
    void KeysBuiltNow() {
        std::int64_t& built = session_.workArea->matchingIdentity.cacheTime;
        if (built != 0) built = static_cast<std::int64_t>(std::time(nullptr));
    }

    std::string keys_;
    plat::NOTEID alpha_ = 0, gamma_ = 0;
};

TEST_F(LinkMatchingTest, KeysBecomeLinksAndAreKeptForTheCallsOfTheHour) {
    OpenText("alpha gamma de");
    const std::time_t builtFrom = std::time(nullptr);
    EXPECT_GT(Match(talix::kMatchModeLink), 0u);
    // The keys are dated when they were built.
    EXPECT_GE(session_.workArea->matchingIdentity.cacheTime, builtFrom);
    EXPECT_LE(session_.workArea->matchingIdentity.cacheTime, std::time(nullptr));
    // Committed: the note saved as it stands holds the links.
    Save();
    Body body = Stored(id_);
    ASSERT_EQ(body.problem, "");
    EXPECT_EQ(body.Joined(), "alpha| |gamma| de");
    EXPECT_EQ(body.Count(talix::kSigV4HotspotBegin), 2u);
    EXPECT_EQ(LinkedNotes(body), (std::vector<std::uint32_t>{UnidWord(alpha_), UnidWord(gamma_)}));

    // The same call again, twice: the cached keys serve and no key note is
    // opened (and a mode that is none of the others acts as LinkMatching).
    OpenText("then gamma");
    KeysBuiltNow();
    EXPECT_EQ(Match(talix::kMatchModeLink), 0u);
    OpenText("gamma and alpha");
    KeysBuiltNow();
    EXPECT_EQ(Match(7), 0u);
    Save();
    EXPECT_EQ(Stored(id_).Count(talix::kSigV4HotspotBegin), 2u);
    // Another view, or the hour gone, builds the keys again.
    EXPECT_GT(Match(talix::kMatchModeLink, "Other"), 0u);
    // (Two hours back: where the clocks went back an hour, one hour back can
    // still read as the same hour.)
    session_.workArea->matchingIdentity.cacheTime -= 2 * 3600;
    EXPECT_GT(Match(talix::kMatchModeLink, "Other"), 0u);
    // Options are no part of the identity: another MinLength reuses the keys.
    KeysBuiltNow();
    EXPECT_EQ(Match(talix::kMatchModeLink, "Other", "Term", nullptr, "MinLength=2"), 0u);
    // Keys built with a result formula serve a call without one, whose
    // document links then name the view.
    EXPECT_GT(Match(talix::kMatchModeKeyword, "Terms", "Term", "Code + \"\""), 0u);
    OpenText("alpha");
    KeysBuiltNow();
    EXPECT_EQ(Match(talix::kMatchModeLink), 0u);
    Save();
    body = Stored(id_);
    ASSERT_EQ(body.Count(talix::kSigLinkExport2), 1u);
    for (std::size_t i = 0; i < body.records.size(); ++i) {
        if (body.signatures[i] == talix::kSigLinkExport2)
            EXPECT_EQ(talix::ReadDword(reinterpret_cast<const std::uint8_t*>(body.records[i].data()) + 12),
                      UnidWord(0, "Terms"));
    }

    // Without caching the keys are built for each call, by that call's
    // MinLength: 200 acts as 3, 100 keeps no key, 0 and 2 keep "de".
    struct Case {
        const char* options;
        const char* texts;
    };
    for (const Case& c : {Case{"MinLength=200", "alpha| de"}, Case{"MinLength=100", "alpha de"},
                          Case{"MinLength=0", "alpha| |de"}, Case{"MinLength=2", "alpha| |de"}}) {
        SCOPED_TRACE(c.options);
        OpenText("alpha de");
        item_->cacheLinkMatching = 0;
        EXPECT_GT(Match(talix::kMatchModeLink, "Terms", "Term", nullptr, c.options), 0u);
        Save();
        EXPECT_EQ(Stored(id_).Joined(), c.texts);
        EXPECT_EQ(session_.workArea->linkMatching, nullptr);
    }
}

TEST_F(LinkMatchingTest, KeywordsLeaveTheItemAsItWasAndOtherModesWriteTheResult) {
    OpenText("alpha gamma de alpha");
    const Body before = Stored(id_);
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->KeywordMatching("", keys_.c_str(), "Terms", "Term", nullptr, nullptr), 0);
    EXPECT_EQ(std::string(chunk->session->textResult, chunk->session->textResultLength), "alpha,gamma");
    EXPECT_EQ(chunk->KeywordMatching("", keys_.c_str(), "Terms", "Term", nullptr, "Separator=;"), 0);
    EXPECT_EQ(std::string(session_.textResult), "alpha;gamma");
    delete chunk;
    Save();
    EXPECT_EQ(Stored(id_).records, before.records);

    // The wrappers pass their modes: the result of the key's document after,
    // before or instead of the text found.
    struct Case {
        std::uint16_t (ZervaRTChunk::*method)(const char*, const char*, const char*, const char*, const char*,
                                              const char*);
        const char* texts;
    };
    for (const Case& c : {Case{&ZervaRTChunk::AppendMatching, "see alpha[A1]"},
                          Case{&ZervaRTChunk::InsertMatching, "see [A1]alpha"},
                          Case{&ZervaRTChunk::ReplaceMatching, "see [A1]"}}) {
        OpenText("see alpha");
        chunk = Chunk();
        EXPECT_EQ((chunk->*c.method)("", keys_.c_str(), "Terms", "Term", "\"[\" + Code + \"]\"", nullptr), 0);
        delete chunk;
        Save();
        std::string joined;
        for (const std::string& text : Stored(id_).texts) joined += text;
        EXPECT_EQ(joined, c.texts);
    }
    // An options formula gives each match its options.
    EXPECT_EQ(Keywords("alpha gamma", "Term", "\"Separator=\" + Code"), "alphaG2gamma");
}

TEST_F(LinkMatchingTest, ArgumentsAndFormulasThatCannotBeUsedAreRefused) {
    OpenText("alpha gamma");
    EXPECT_GT(Match(talix::kMatchModeLink), 0u);   // keys cached
    OpenText("alpha gamma");
    const Body before = Stored(id_);
    ZervaRTChunk* chunk = Chunk();
    struct Case {
        const char* path;
        const char* view;
        const char* field;
        const char* result;
        const char* options;
        talix::STATUS status;
        const char* message;   // null: none shown
    };
    const std::string keys = keys_;
    const Case cases[] = {
        {"", "Terms", "Term", nullptr, nullptr, 20017,
         "TALIX: ReplaceMatching method passed an invalid database filepath."},
        {keys.c_str(), nullptr, "Term", nullptr, nullptr, 20017,
         "TALIX: ReplaceMatching method passed an invalid view name."},
        {keys.c_str(), "Terms", "", nullptr, nullptr, 20017, "TALIX: ReplaceMatching missing reference fieldname."},
        {keys.c_str(), "Terms", "@Left(Term", nullptr, nullptr, 20017,
         "TALIX: ReplaceMatching result fieldname formula failed to compile."},
        {keys.c_str(), "Terms", "Term", "Code +", nullptr, 20014, nullptr},
        {keys.c_str(), "Terms", "Term", nullptr, "@If(", 20014,
         "TALIX: LinkMatching properties formula failed to compile."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        g_messages.clear();
        chunk->lastStatus = 0;
        EXPECT_EQ(chunk->ReplaceMatching("", c.path, c.view, c.field, c.result, c.options), c.status);
        if (c.message != nullptr) EXPECT_EQ(g_messages, std::vector<std::string>{c.message});
        else EXPECT_TRUE(g_messages.empty());
        // A formula's refusal leaves its compile status as the last status.
        EXPECT_EQ(chunk->lastStatus != 0, c.field[0] == '@' || c.result != nullptr || c.options != nullptr);
        // The cache's identity is gone: the next call reads the keys again.
        EXPECT_EQ(session_.workArea->matchingIdentity.cacheTime, 0);
    }
    // A key formula of LinkMatching proper is named as the URL formula.
    g_messages.clear();
    EXPECT_EQ(chunk->LinkMatching("", keys_.c_str(), "Terms", "(Term", nullptr, nullptr, 0), 20017);
    EXPECT_EQ(g_messages, std::vector<std::string>{"TALIX: LinkMatching URL fieldname formula failed to compile."});
    // A key database that cannot be opened, or a view that is missing.
    EXPECT_NE(chunk->LinkMatching("", dir_.file("none.nsf").c_str(), "Terms", "Term", nullptr, nullptr, 0), 0);
    EXPECT_NE(chunk->LinkMatching("", keys_.c_str(), "Nowhere", "Term", nullptr, nullptr, 0), 0);
    delete chunk;
    Save();
    EXPECT_EQ(Stored(id_).records, before.records);
    EXPECT_GT(Match(talix::kMatchModeLink), 0u);
}

TEST_F(LinkMatchingTest, KeysAreMadeFromValuesFormulasAndTheWordRule) {
    // A text list of a formula is one key joined by ";"; a number gives its text.
    EXPECT_EQ(Keywords("alpha;A1 and gamma;G2", "(Term : Code)"), "alpha;A1,gamma;G2");
    EXPECT_EQ(Keywords("17 and 28", "@If(Code = \"A1\"; 17; 28)", "MinLength=2"), "17,28");
    // A key of 81 characters is kept as its first 80.
    const std::string long80(80, 'q');
    AddKey(long80 + "r", "L4");
    EXPECT_EQ(Keywords(long80 + " " + long80 + "r"), long80);
    // With word boundaries a key must begin and end with a letter.
    AddKey("1abc", "N5");
    AddKey("abc.", "P6");
    EXPECT_EQ(Keywords("1abc abc."), "1abc,abc.");
    OpenText("1abc abc.");
    item_->cacheLinkMatching = 0;
    ZervaRTChunk* chunk = Chunk();
    chunk->searchWordBoundaries = 1;
    EXPECT_EQ(chunk->KeywordMatching("", keys_.c_str(), "Terms", "Term", nullptr, nullptr), 0);
    EXPECT_EQ(std::string(session_.textResult), "");
    delete chunk;
}

TEST_F(LinkMatchingTest, KeysPastTheTablesAreLeftOutAndCounted) {
    // Two documents of 9,000 keys each (values far beyond 4,096 bytes): the
    // tables hold 16,350 keys, the rest are counted in the log.
    for (int document = 0; document < 2; ++document) {
        std::string value;
        for (int i = 0; i < 9000; ++i) {
            char key[8];
            std::snprintf(key, sizeof key, "%c%05d", document == 0 ? 'k' : 'm', i);
            value += (i > 0 ? "`" : "") + std::string(key);
        }
        AddKey(value, "X");
    }
    plat::LogClearRecent();
    // alpha, beta and gamma come first: m07346 is the last key kept.
    EXPECT_EQ(Keywords("k08999 and m07346 but not m07347", "Term", "SingleMatch=No"), "k08999,m07346");
    std::string log;
    for (const plat::LogEntry& entry : plat::LogRecent()) log += entry.text + "\n";
    EXPECT_NE(log.find("KeywordMatching left out 1653 keys"), std::string::npos) << log;
}

int g_runs = 0;
void RunAndAskAgain(ZervaRTChunk* chunk, void*) {
    ++g_runs;
    chunk->work->passAgain = 1;
}

TEST_F(LinkMatchingTest, PassesEndAtTheFiftiethRun) {
    g_runs = 0;
    OpenText("alpha");
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(talix::RunMatchingPasses(chunk, RunAndAskAgain, nullptr), 50);
    EXPECT_EQ(g_runs, 50);
    EXPECT_EQ(chunk->work->passAgain, 0u);
    delete chunk;
}

TEST_F(LinkMatchingTest, AnIdentityTooLongForItsPlaceIsNotCached) {
    OpenText("alpha");
    const std::string longFormula = "(Term)" + std::string(70, ' ');
    EXPECT_EQ(Match(talix::kMatchModeKeyword, "Terms", longFormula.c_str()), 3u);
    EXPECT_EQ(Match(talix::kMatchModeKeyword, "Terms", longFormula.c_str()), 3u);
    EXPECT_EQ(Match(talix::kMatchModeKeyword, "Terms", "(Term)"), 3u);
    EXPECT_EQ(Match(talix::kMatchModeKeyword, "Terms", "(Term)"), 0u);
}

// Keys kept for one key database serve no other: file names that differ
// only in case name two databases.
TEST_F(LinkMatchingTest, KeysOfOneDatabaseServeNoDatabaseWhoseNameDiffersInCase) {
    const std::string other = dir_.file("KEYS.nsf");
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbCreate(other.c_str(), &db), plat::NOERROR);
    plat::NOTEID view = 0;
    EXPECT_EQ(plat::ViewNoteCreate(db, plat::ViewDefinition{"Terms", "", {"Term"}, {"sorted"}}, &view), plat::NOERROR);
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    plat::ItemSetText(note, "Term", "omega", 5);
    EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteClose(note);
    plat::DbClose(db);

    OpenText("alpha and omega");
    auto keywords = [&](const std::string& path) {
        ZervaRTChunk* chunk = Chunk();
        EXPECT_EQ(chunk->KeywordMatching("", path.c_str(), "Terms", "Term", nullptr, nullptr), 0);
        std::string found(session_.textResult, session_.textResultLength);
        delete chunk;
        KeysBuiltNow();
        return found;
    };
    EXPECT_EQ(keywords(keys_), "alpha");
    EXPECT_EQ(keywords(other), "omega");
    EXPECT_EQ(keywords(keys_), "alpha");
    // The same name again: the kept keys serve, no key note is opened.
    const plat::DWORD before = plat::TestNotesOpened();
    EXPECT_EQ(keywords(keys_), "alpha");
    EXPECT_EQ(plat::TestNotesOpened(), before);
}

} // namespace
} // namespace chunkops_test
