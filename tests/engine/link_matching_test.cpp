// Matching run on stored items: keys of the session's key cache found in the
// text become links, pop-ups, highlights, additions or keywords; wiki
// references between delimiters become links to the pages a view finds;
// the session gives the key cache's memory back when it goes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/link_matching_cache.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "hotspot_fixture.h"
#include "platform/view_index.h"
#include "support/op_runner.h"
#include "talix/chunk.h"
#include "talix_platform.h"

namespace {

using engine_test::Bracket;
using engine_test::Count;
using engine_test::Hotspot;
using engine_test::HotspotTest;
using engine_test::NonEmptyTexts;
using engine_test::Rec;
using engine_test::Records;
using engine_test::Runs;
using engine_test::Text;
using engine_test::With;
using talix::kSigIdName;
using talix::kSigV4HotspotBegin;
using talix_test::Op;
using talix_test::Operation;
using talix_test::RunOperation;

constexpr talix::OperationCode kMatch = talix::kOpLinkMatching, kWiki = talix::kOpWikiMatching;
constexpr std::uint16_t kPopupBegin = 0xFFA9, kLinkRecord = 0xFF92;

using Keys = std::vector<std::pair<std::string, plat::NOTEID>>;

// The HTML class and title of an id/name record: six text lengths after the
// header, the texts from offset 26 in order id, class, style, title.
std::pair<std::string, std::string> ClassAndTitle(const Rec& record) {
    const std::size_t classAt = 26 + record.Word(4);
    const std::size_t titleAt = classAt + record.Word(6) + record.Word(8);
    return {std::string(record.bytes.begin() + classAt, record.bytes.begin() + classAt + record.Word(6)),
            std::string(record.bytes.begin() + titleAt, record.bytes.begin() + titleAt + record.Word(10))};
}

// The terminated text a hotspot record holds as its data.
std::string DataText(const Rec& record) {
    if (record.bytes.size() <= 16) return "";
    const char* data = reinterpret_cast<const char*>(record.bytes.data() + 16);
    return std::string(data, strnlen(data, record.bytes.size() - 16));
}

const Rec* First(const std::vector<Rec>& records, std::uint16_t signature) {
    for (const Rec& record : records)
        if (record.signature == signature) return &record;
    return nullptr;
}

class MatchingTest : public HotspotTest {
protected:
    MatchingTest() {
        EXPECT_EQ(plat::DbOpen(db_.path().c_str(), &keys_), plat::NOERROR);
        alpha_ = AddNote("Alpha", "A1", "");
        beta_ = AddNote("be", "B2", "");
        page_ = AddNote("Page", "P3", "");
        rich_ = AddNote("Rich", "R4", "RICH");
        plat::NOTEID view = 0;
        EXPECT_EQ(plat::ViewNoteCreate(keys_, plat::ViewDefinition{"Pages", "", {"Subject"}, {"sorted"}}, &view),
                  plat::NOERROR);
        talix::LinkDatabase& link = session_.workArea->linkDatabase;
        link.database = keys_;
        link.replica[0] = 0x11;
        link.view[0] = 0x22;
    }
    ~MatchingTest() override {
        talix::MatchingRequest& request = session_.workArea->matching;
        for (std::uint32_t compute : {request.resultFormula, request.optionsFormula})
            if (compute != 0) plat::ComputeStop(compute);
        request = talix::MatchingRequest{};
        plat::DbClose(keys_);
    }

    plat::NOTEID AddNote(const char* subject, const char* code, const char* body) {
        plat::NOTEHANDLE note = 0;
        plat::NOTEID id = 0;
        EXPECT_EQ(plat::NoteCreate(keys_, &note), plat::NOERROR);
        plat::ItemSetText(note, "Subject", subject, static_cast<plat::WORD>(std::strlen(subject)));
        plat::ItemSetText(note, "Code", code, static_cast<plat::WORD>(std::strlen(code)));
        if (body[0] != '\0') EXPECT_EQ(talix_test::StoreRichTextItem(note, "Body", {Text(body)}), plat::NOERROR);
        EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
        plat::NoteClose(note);
        return id;
    }

    // The key cache as LinkMatching leaves it (the session frees it).
    talix::LinkMatchingCache* Cache(const Keys& keys, std::uint16_t kind = talix::kKeyWholeWord,
                                    std::uint32_t single = 0, std::uint32_t extra = 0) {
        delete session_.workArea->linkMatching;
        auto* cache = new talix::LinkMatchingCache();
        session_.workArea->linkMatching = cache;
        cache->session = &session_;
        plat::WORD size = 0;
        EXPECT_EQ(plat::ListAllocate(0, 0, true, &cache->keyLists[0], nullptr, &size), plat::NOERROR);
        EXPECT_EQ(plat::MemAlloc(talix::kNoteIdTableSize, 0, &cache->noteIdTable), plat::NOERROR);
        auto* ids = static_cast<plat::NOTEID*>(plat::MemLock(cache->noteIdTable));
        for (const auto& [text, id] : keys) {
            EXPECT_EQ(plat::ListAddEntry(cache->keyLists[0], true, &size, 0xFFFF, text.data(),
                                         static_cast<plat::WORD>(text.size())),
                      plat::NOERROR);
            ids[cache->keyCount++] = id;
            if (cache->shortestKeyLength == 0 || text.size() < cache->shortestKeyLength)
                cache->shortestKeyLength = static_cast<std::uint16_t>(text.size());
        }
        plat::MemUnlock(cache->noteIdTable);
        cache->keyUsedFlags = static_cast<std::uint32_t*>(
            talix::QuorbelAllocate(&session_, __LINE__, "test", 4u * cache->keyCount, 1));
        cache->keyFirstLetters = static_cast<std::uint8_t*>(
            talix::QuorbelAllocate(&session_, __LINE__, "test", talix::kMaxMatchingKeys, 1));
        cache->matchKind = kind;
        cache->singleMatch = single;
        cache->replaceExtra = extra;
        return cache;
    }

    // The result formula of the matching methods, evaluated on each key's note.
    void ResultFormula(const char* text) {
        plat::DHANDLE compiled = 0;
        plat::WORD length = 0;
        ASSERT_EQ(plat::FormulaCompile(text, static_cast<plat::WORD>(std::strlen(text)), &compiled, &length),
                  plat::NOERROR);
        EXPECT_EQ(plat::ComputeStart(plat::MemLock(compiled), &session_.workArea->matching.resultFormula),
                  plat::NOERROR);
        plat::MemFree(compiled);
    }

    std::string Keywords(ZervaRTChunk* chunk, const char* options = nullptr) {
        std::vector<char> buffer(talix::kKeywordBufferSize);
        Operation operation = Op(kMatch, talix::kMatchModeKeyword);
        operation.second = buffer.data();
        operation.options = options;
        EXPECT_EQ(RunOperation(chunk, operation), 0);
        return buffer.data();
    }

    plat::DBHANDLE keys_ = 0;
    plat::NOTEID alpha_ = 0, beta_ = 0, page_ = 0, rich_ = 0;
};

TEST_F(MatchingTest, KeysBecomeLinksOnceAndKeywordsLeaveTheItemAsItWas) {
    ZervaRTChunk* chunk = Open(Runs({"Alpha beta alphabet"}));
    Cache({{"alpha", alpha_}, {"be", beta_}});
    EXPECT_EQ(RunOperation(chunk, Op(kMatch, talix::kMatchModeLink)), 0);
    std::vector<Rec> records = Stored();
    // "Alpha" alone is linked (the text as written), to the key's document.
    EXPECT_EQ(Count(records, kSigV4HotspotBegin), 1u);
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"Alpha", " beta alphabet"}));
    plat::ORIGINATORID oid;
    ASSERT_EQ(plat::DbNoteInfo(keys_, alpha_, &oid, nullptr, nullptr), plat::NOERROR);
    ASSERT_NE(First(records, kLinkRecord), nullptr);
    EXPECT_EQ(talix::ReadDword(First(records, kLinkRecord)->bytes.data() + 28), oid.File.Innards[0]);

    // A second run finds the linked text inside its link and adds nothing.
    EXPECT_EQ(RunOperation(chunk, Op(kMatch, talix::kMatchModeLink)), 0);
    EXPECT_EQ(Count(Stored(), kSigV4HotspotBegin), 1u);

    // Coloured text keeps its bracket and colour round the text left beside the link.
    Records colored = Runs({});
    colored.push_back(Bracket(0xDD, 0xFF85));
    colored.push_back(Text("be Alpha"));
    colored.push_back(With(0xD2, 8, 2, 1));
    colored.push_back(Bracket(0xDE, 0xFF85));
    chunk = Open(colored);
    Cache({{"alpha", alpha_}});
    EXPECT_EQ(RunOperation(chunk, Op(kMatch, talix::kMatchModeLink)), 0);
    records = Stored();
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"be ", "Alpha"}));
    EXPECT_EQ(Count(records, 0xD2), 1u);
    EXPECT_EQ(Count(records, kSigV4HotspotBegin), 1u);

    // Keywords come as the key list spells them; nothing is written.
    chunk = Open(Runs({"Alpha beta alphabet, be BE"}));
    const std::vector<std::string> before = db_.Stored(id_);
    Cache({{"alpha", alpha_}, {"be", beta_}, {"x", beta_}});
    EXPECT_EQ(Keywords(chunk, "Separator=';'"), "alpha;be;be");
    Cache({{"alpha", alpha_}, {"be", beta_}}, talix::kKeyWholeWord, 1);
    EXPECT_EQ(Keywords(chunk), "alpha,be");
    EXPECT_EQ(db_.Stored(id_), before);
    // No buffer for the keywords: refused.
    EXPECT_EQ(RunOperation(chunk, Op(kMatch, talix::kMatchModeKeyword)), talix::kArgumentError);
}

TEST_F(MatchingTest, EachModeWritesItsResultBesideTheTextFound) {
    struct Case {
        std::uint16_t mode;
        const char* options;
        std::vector<std::string> texts;
    };
    const std::vector<Case> cases = {
        {talix::kMatchModeAppend, nullptr, {"Alpha[A1]", " and more"}},
        {talix::kMatchModeInsert, nullptr, {"[A1]Alpha", " and more"}},
        {talix::kMatchModeReplace, nullptr, {"[A1]", " and more"}},
        {talix::kMatchModePopup, nullptr, {"Alpha", " and more"}},
        {talix::kMatchModeLink, "Hotspot=Popup", {"Alpha", " and more"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        ZervaRTChunk* chunk = Open(Runs({"Alpha and more"}));
        Cache({{"alpha", alpha_}});
        ResultFormula("\"[\" + Code + \"]\"");
        Operation operation = Op(kMatch, c.mode, 0, "\"[\" + Code + \"]\"");
        operation.options = c.options;
        // The records stay with the item between passes, as the matching
        // methods keep them: a further pass leaves what matching wrote alone.
        item_.cacheRecords = 1;
        EXPECT_EQ(RunOperation(chunk, operation), 0);
        EXPECT_EQ(RunOperation(chunk, operation), 0);
        const std::vector<Rec> records = Stored();
        item_.cacheRecords = 0;
        EXPECT_EQ(NonEmptyTexts(records), c.texts);
        if (c.mode == 2805 || c.options != nullptr) {
            // A pop-up on the text found, showing the result.
            ASSERT_NE(First(records, kPopupBegin), nullptr);
            EXPECT_EQ(DataText(*First(records, kPopupBegin)), "[A1]");
        }
        plat::ComputeStop(session_.workArea->matching.resultFormula);
        session_.workArea->matching.resultFormula = 0;
    }

    // With a result formula plain matching links the text to the result as a URL.
    ZervaRTChunk* chunk = Open(Runs({"see alpha"}));
    Cache({{"alpha", alpha_}});
    ResultFormula("\"http://k.example/\" + Code");
    EXPECT_EQ(RunOperation(chunk, Op(kMatch, talix::kMatchModeLink, 0, "\"http://k.example/\" + Code")), 0);
    std::vector<Rec> records = Stored();
    ASSERT_NE(First(records, kSigV4HotspotBegin), nullptr);
    EXPECT_EQ(DataText(*First(records, kSigV4HotspotBegin)), "http://k.example/A1");
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"see ", "alpha"}));

    // A result formula that names an item brings in the rich text of the
    // key's document.
    chunk = Open(Runs({"Alpha and more"}));
    Cache({{"alpha", rich_}});
    EXPECT_EQ(RunOperation(chunk, Op(kMatch, talix::kMatchModeReplace, 0, "Body")), 0);
    EXPECT_EQ(NonEmptyTexts(Saved()), (std::vector<std::string>{"RICH", " and more"}));

    // Highlighting keeps the text and gives the key its own run in the highlight font.
    chunk = Open(Runs({"see alpha"}));
    Cache({{"alpha", alpha_}});
    EXPECT_EQ(RunOperation(chunk, Op(kMatch, talix::kMatchModeHighlight)), 0);
    records = Stored();
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"see ", "alpha"}));
    for (const Rec& record : records)
        if (!record.Text().empty())
            EXPECT_EQ(talix::ReadDword(record.bytes.data() + 4) == 0x0A000001u, record.Text() == "see ");
}

TEST_F(MatchingTest, MatchKindsShortKeysAndHotspotsDecideWhatIsFound) {
    struct Case {
        std::uint16_t kind;
        std::uint32_t extra;
        std::vector<std::string> texts;
    };
    const std::vector<Case> cases = {
        {talix::kKeyStartsWord, 0, {"alp", "habet ", "Alp", "ha xalp"}},
        {talix::kKeyStartsWord, 1, {"alphabet", " ", "Alpha", " xalp"}},
        {talix::kKeyEndsWord, 0, {"alphabet Alpha x", "alp"}},
        {talix::kKeyAnywhere, 0, {"alp", "habet ", "Alp", "ha x", "alp"}},
        {talix::kKeyWholeWord, 0, {"alphabet Alpha xalp"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind * 10 + c.extra);
        ZervaRTChunk* chunk = Open(Runs({"alphabet Alpha xalp"}));
        Cache({{"alp", alpha_}, {"x", beta_}}, c.kind, 0, c.extra);
        EXPECT_EQ(RunOperation(chunk, Op(kMatch, talix::kMatchModeHighlight)), 0);
        EXPECT_EQ(NonEmptyTexts(Stored()), c.texts);
    }

    // Text inside a hotspot is left alone; a key is cut to 80 characters.
    const std::string word(80, 'q');
    Records inside = Runs({});
    inside.push_back(Bracket(0xDD, kSigV4HotspotBegin));
    inside.push_back(Hotspot(kSigV4HotspotBegin, 11, 0x1008, std::string("http://a.example/\0\0\0", 20)));
    inside.push_back(Text("alpha"));
    inside.push_back(With(0xAE, 2));
    inside.push_back(Bracket(0xDE, 0xAE));
    inside.push_back(Text(" " + word));
    ZervaRTChunk* chunk = Open(inside);
    Cache({{"alpha", alpha_}, {word + "tail", beta_}});
    EXPECT_EQ(Keywords(chunk), word);
}

// A keyword list as long as the method's text result can hold: a result
// that would not fit whole is left out, so the list never ends in part of a
// keyword or of a character.
TEST_F(MatchingTest, AKeywordListEndsWithAWholeKeyword) {
    // 7,000 characters of three bytes each per key's result.
    std::string wide;
    for (int i = 0; i < 7000; ++i) wide += "\x14\x04\x10";
    Keys keys;
    for (const char* word : {"one", "two", "three", "four"}) keys.emplace_back(word, AddNote(word, wide.c_str(), ""));
    ZervaRTChunk* chunk = Open(Runs({"one two three four"}));
    Cache(keys, talix::kKeyWholeWord, 1);
    const char* formula = "Code + \"\"";
    ResultFormula(formula);
    std::vector<char> buffer(talix::kKeywordBufferSize);
    Operation operation = Op(kMatch, talix::kMatchModeKeyword, 0, formula);
    operation.second = buffer.data();
    EXPECT_EQ(RunOperation(chunk, operation), 0);
    const std::string list = buffer.data();
    EXPECT_LE(list.size(), RARIvoSession::kTextResultCapacity);
    EXPECT_EQ(list.size(), 3 * wide.size() + 2);
    EXPECT_TRUE(list == wide + "," + wide + "," + wide);
}

// A result longer than what a match takes is cut at a whole character.
TEST_F(MatchingTest, ALongResultIsCutAtAWholeCharacter) {
    std::string wide;
    for (int i = 0; i < 12000; ++i) wide += "\x14\x04\x10";
    ZervaRTChunk* chunk = Open(Runs({"Alpha"}));
    Cache({{"alpha", AddNote("Alpha", wide.c_str(), "")}});
    const char* formula = "Code + \"\"";
    ResultFormula(formula);
    EXPECT_EQ(RunOperation(chunk, Op(kMatch, talix::kMatchModeReplace, 0, formula)), 0);
    const std::vector<std::string> texts = NonEmptyTexts(Stored());
    ASSERT_EQ(texts.size(), 1u);
    // 32,768 bytes hold 10,922 whole characters of three bytes.
    EXPECT_EQ(texts[0].size(), 3u * 10922);
    EXPECT_TRUE(texts[0] == wide.substr(0, 3 * 10922));
}

// Thousands of keys that share their start: each place takes the first key
// (in key order) that stands there, a used key gives way to its duplicate
// under single matching, and only whole words are taken.
TEST_F(MatchingTest, ManyKeysSharingTheirStartAreFoundInKeyOrder) {
    Keys keys;
    for (int i = 0; i < 3000; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "item%04d", i);
        keys.emplace_back(text, i % 2 == 0 ? alpha_ : beta_);
    }
    keys.emplace_back("item10", alpha_);   // after its longer fellows
    keys.emplace_back("item0007", beta_);  // a duplicate
    ZervaRTChunk* chunk = Open(Runs({"see item0007 ITEM2999, item0007x item0007 item10 item0007 item3000"}));
    Cache(keys, talix::kKeyWholeWord, 1);
    EXPECT_EQ(Keywords(chunk), "item0007,item2999,item0007,item10");

    chunk = Open(Runs({"item1000x item10x"}));
    Cache(keys, talix::kKeyStartsWord);
    EXPECT_EQ(RunOperation(chunk, Op(kMatch, talix::kMatchModeHighlight)), 0);
    EXPECT_EQ(NonEmptyTexts(Stored()), (std::vector<std::string>{"item1000", "x ", "item10", "x"}));
}

// The body of a collapsible section is text of the item like any other:
// every mode finds its keys, the keyword mode as the modes that write.
TEST_F(MatchingTest, KeysInsideASectionAreFoundByEveryMode) {
    ZervaRTChunk* chunk = Open(Runs({"alpha", " before be"}), "Text 2");
    ASSERT_EQ(RunOperation(chunk, Op(talix::kOpAppendSection, 0, 0, "Title")), 0);
    chunk = item_.DefineChunk("Everything");
    ASSERT_NE(chunk, nullptr);
    Cache({{"alpha", alpha_}, {"be", beta_}});
    EXPECT_EQ(Keywords(chunk), "alpha,be");
    EXPECT_EQ(RunOperation(chunk, Op(kMatch, talix::kMatchModeHighlight)), 0);
    EXPECT_EQ(NonEmptyTexts(Stored()), (std::vector<std::string>{"alpha", " before ", "be"}));
}

// Thousands of keys holding letters beyond ASCII, over a long text: each
// is found where its letters stand (case ignored), in key order; and ASCII
// keys over words that hold such letters within their reach.
TEST_F(MatchingTest, ManyKeysBeyondAsciiAreFoundWhereTheyStand) {
    Keys keys;
    for (int i = 0; i < 3000; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "\xC3\x96lberg%04d", i);
        keys.emplace_back(plat::NativeToLmbcs(text), i % 2 == 0 ? alpha_ : beta_);
    }
    keys.emplace_back(plat::NativeToLmbcs("\xC3\x96lberg"), alpha_);
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        char word[64];
        std::snprintf(word, sizeof word, "w\xC3\xB6rd \xC3\xB6LBERG%04d ", (i * 7) % 3000);
        text += word;
    }
    text += "\xC3\x96lberg \xC3\x96lberg0001x";
    ZervaRTChunk* chunk = Open(Runs({plat::NativeToLmbcs(text)}));
    Cache(keys, talix::kKeyWholeWord, 1);
    const std::string list = plat::LmbcsToNative(Keywords(chunk));
    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        char word[32];
        std::snprintf(word, sizeof word, "%s\xC3\x96lberg%04d", i == 0 ? "" : ",", (i * 7) % 3000);
        expected += word;
    }
    EXPECT_EQ(list, expected + ",\xC3\x96lberg");

    // ASCII keys over words that hold such letters within their reach.
    keys.clear();
    for (int i = 0; i < 3000; ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "Mueller%04d", i);
        keys.emplace_back(key, i % 2 == 0 ? alpha_ : beta_);
    }
    text.clear();
    for (int i = 0; i < 2000; ++i) {
        char word[64];
        std::snprintf(word, sizeof word, "M\xC3\xBCller%04d mueller%04d ", i, (i * 7) % 3000);
        text += word;
    }
    chunk = Open(Runs({plat::NativeToLmbcs(text)}));
    Cache(keys, talix::kKeyWholeWord, 1);
    const std::string plainList = Keywords(chunk);
    expected.clear();
    for (int i = 0; i < 2000; ++i) {
        char word[32];
        std::snprintf(word, sizeof word, "%sMueller%04d", i == 0 ? "" : ",", (i * 7) % 3000);
        expected += word;
    }
    EXPECT_EQ(plainList, expected);
}

TEST_F(MatchingTest, WikiReferencesBecomeLinksToThePagesFound) {
    ZervaRTChunk* chunk =
        Open(Runs({"((Page#Sec 1|shown))", " between ", "((Nowhere))", "((http://example.org/a|site))"}));
    EXPECT_EQ(RunOperation(chunk, Op(kWiki, 0, 0, "Pages")), 0);
    std::vector<Rec> records = Stored();
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"shown", " between ", "((Nowhere))", "site"}));
    // The page's link: class, title, anchor and the page's note.
    const Rec* link = First(records, kLinkRecord);
    ASSERT_NE(link, nullptr);
    // Description and anchor, each terminated.
    EXPECT_EQ(std::string(link->bytes.begin() + 44, link->bytes.begin() + 56), std::string("shown\0Sec_1\0", 12));
    plat::ORIGINATORID oid;
    ASSERT_EQ(plat::DbNoteInfo(keys_, page_, &oid, nullptr, nullptr), plat::NOERROR);
    EXPECT_EQ(talix::ReadDword(link->bytes.data() + 28), oid.File.Innards[0]);
    std::vector<std::pair<std::string, std::string>> attributes;
    for (const Rec& record : records)
        if (record.signature == kSigIdName) attributes.push_back(ClassAndTitle(record));
    EXPECT_EQ(attributes, (std::vector<std::pair<std::string, std::string>>{
                              {"WikiLink", "Page#Sec 1"}, {"WikiLinkhttp", "http://example.org/a"}}));
    std::size_t urls = 0;
    for (const Rec& record : records)
        if (record.signature == kSigV4HotspotBegin && DataText(record) == "http://example.org/a") ++urls;
    EXPECT_EQ(urls, 1u);

    // Other delimiters and a tag: only references written with them count.
    chunk = Open(Runs({"((Page))", "[[Help:Page]]", "[[Page]]"}));
    Operation operation = Op(kWiki, 0, 0, "Pages");
    operation.options = "WikiDelimiters=[[]]";
    operation.second = "help";
    EXPECT_EQ(RunOperation(chunk, operation), 0);
    records = Stored();
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"((Page))", "Page", "[[Page]]"}));
    ASSERT_NE(First(records, kSigIdName), nullptr);
    EXPECT_EQ(ClassAndTitle(*First(records, kSigIdName)).first, "WikiLinkhelp");

    // A missing look-up view fails the run; the item stays as it was.
    chunk = Open(Runs({"((Page))"}));
    const std::vector<std::string> before = db_.Stored(id_);
    EXPECT_NE(RunOperation(chunk, Op(kWiki, 0, 0, "NoSuchView")), 0);
    EXPECT_EQ(db_.Stored(id_), before);
}

TEST(MatchingCache, TheSessionGivesTheCacheBack) {
    const plat::DWORD handles = plat::MemLiveCount();
    {
        RARIvoSession session;
        auto* cache = new talix::LinkMatchingCache();
        session.workArea->linkMatching = cache;
        cache->session = &session;
        plat::WORD size = 0;
        for (int i = 0; i < 2; ++i)
            ASSERT_EQ(plat::ListAllocate(0, 0, true, &cache->keyLists[i], nullptr, &size), plat::NOERROR);
        ASSERT_EQ(plat::MemAlloc(talix::kNoteIdTableSize, 0, &cache->noteIdTable), plat::NOERROR);
        cache->noteIds = static_cast<plat::NOTEID*>(plat::MemLock(cache->noteIdTable));
        cache->keyUsedFlags = static_cast<std::uint32_t*>(talix::QuorbelAllocate(&session, __LINE__, "test", 8, 1));
        EXPECT_GT(plat::MemLiveCount(), handles);
    }
    EXPECT_EQ(plat::MemLiveCount(), handles);
}

} // namespace
