// Wiki matching: wiki texts become links to the pages a view finds, or
// hotspots composing the pages that are missing; the next call turns them
// back and resolves them again; tags, delimiters and servers shape what is
// handled and written.
#include <cstring>
#include <string>
#include <vector>

#include "chunk_fixture.h"
#include "core/record_forms.h"
#include "core/statuses.h"
#include "core/signatures.h"
#include "platform/view_index.h"
#include "talix_platform.h"

namespace chunkops_test {
namespace {

// What a chunk's target shows: its text, class, title and formula.
struct Target {
    bool exists = false;
    std::string text, cls, title, formula;
};

class WikiMatchingTest : public ChunkTest {
protected:
    WikiMatchingTest() : pages_(dir_.file("pages.nsf")) {
        g_messages.clear();
        plat::RegisterMessageProc(CollectMessage);
        plat::DBHANDLE db = 0;
        EXPECT_EQ(plat::DbCreate(pages_.c_str(), &db), plat::NOERROR);
        plat::NOTEID view = 0;
        EXPECT_EQ(plat::ViewNoteCreate(db, plat::ViewDefinition{"Pages", "", {"Subject"}, {"sorted"}}, &view),
                  plat::NOERROR);
        plat::NOTEHANDLE note = 0;
        EXPECT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
        plat::ItemSetText(note, "Subject", "Home", 4);
        EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &home_);
        plat::ORIGINATORID oid;
        plat::NoteGetInfo(note, plat::NOTE_FIELD_OID, &oid);
        homeUnid_ = oid.File.Innards[0];
        plat::NoteClose(note);
        plat::DbClose(db);
    }
    ~WikiMatchingTest() override { plat::RegisterMessageProc(nullptr); }

    void OpenText(const std::string& text) {
        std::vector<talix_test::FixtureRecord> records = ParagraphStart();
        records.push_back(TextRun(text));
        Open(NewNote(records));
    }

    talix::STATUS Wiki(const char* options = nullptr, const char* server = "", const char* view = "Pages",
                       const char* linkFormula = nullptr) {
        ZervaRTChunk* chunk = Chunk();
        const talix::STATUS status = chunk->WikiMatching(server, pages_.c_str(), view, "Subject", linkFormula, options);
        delete chunk;
        return status;
    }

    // The n-th target of a type ("Hotspot", "HyperLink") of item_.
    Target Find(const char* type, int n) {
        Target target;
        const std::string definition = std::string(type) + " " + std::to_string(n);
        ZervaRTChunk* chunk = Chunk(definition.c_str());
        if (chunk == nullptr || chunk->Exists() == 0) {
            delete chunk;
            return target;
        }
        target.exists = true;
        const char* element = std::strcmp(type, "HyperLink") == 0 ? "Hyperlink" : "ActionFormula";
        target.cls = chunk->GetHTMLValue("Class", element);
        target.title = chunk->GetHTMLValue("Title", element);
        char buffer[2048] = {};
        chunk->GetPropertyText("Text", buffer, sizeof buffer - 1);
        target.text = buffer;
        if (std::strcmp(type, "Hotspot") == 0) {
            buffer[0] = '\0';
            chunk->GetPropertyText("ActionFormula", buffer, sizeof buffer - 1);
            target.formula = buffer;
        }
        delete chunk;
        return target;
    }

    // The texts of the stored body, joined.
    std::string StoredText() {
        std::string joined;
        for (const std::string& text : Stored(id_).texts) joined += text;
        return joined;
    }

    std::string pages_;
    plat::NOTEID home_ = 0;
    std::uint32_t homeUnid_ = 0;
};

TEST_F(WikiMatchingTest, TextsBecomeLinksOrComposeHotspotsAndComeBack) {
    OpenText("see ((Home)) and ((Page#Part|read this)) end");
    EXPECT_EQ(Wiki(), 0);
    Save();
    const Body first = Stored(id_);
    ASSERT_EQ(first.problem, "");
    EXPECT_EQ(StoredText(), "see Home and read this end");

    const Target home = Find("HyperLink", 1);
    EXPECT_EQ(home.text, "Home");
    EXPECT_EQ(home.cls, "WikiLink");
    EXPECT_EQ(home.title, "Home");
    std::vector<std::uint32_t> linked;
    for (std::size_t i = 0; i < first.records.size(); ++i) {
        if (first.signatures[i] == talix::kSigLinkExport2)
            linked.push_back(talix::ReadDword(reinterpret_cast<const std::uint8_t*>(first.records[i].data()) + 28));
    }
    EXPECT_EQ(linked, std::vector<std::uint32_t>{homeUnid_});

    const Target page = Find("Hotspot", 2);
    EXPECT_EQ(page.text, "read this");
    EXPECT_EQ(page.cls, "WikiLink");
    EXPECT_EQ(page.title, "Page#Part");
    // A document of the note's form, in the page database, subject "Page".
    EXPECT_EQ(page.formula, "@Command([Compose]; \"\":\"" + pages_ + "\"; \"Memo\"); "
                            "@Command([EditGoToField]; \"Subject\"); @Command([EditInsertText]; \"Page\");");
    EXPECT_FALSE(Find("Hotspot", 3).exists);

    // A second call turns them back and resolves them to the same records.
    EXPECT_EQ(Wiki(), 0);
    Save();
    EXPECT_EQ(Stored(id_).records, first.records);

    // Without resolving, every wiki link is its plain text again, in black
    // without underline; the item is committed.
    EXPECT_EQ(Wiki("ResolveTags=No"), 0);
    Save();
    const Body plain = Stored(id_);
    EXPECT_EQ(plain.problem, "");
    EXPECT_EQ(StoredText(), "see ((Home)) and ((Page#Part|read this)) end");
    EXPECT_EQ(plain.Count(talix::kSigV4HotspotBegin) + plain.Count(talix::kSigHotspotBegin), 0u);
    for (std::size_t i = 0; i < plain.records.size(); ++i) {
        if (plain.signatures[i] != talix::kSigText || plain.records[i].size() <= 8 || plain.records[i][8] != '(')
            continue;
        const auto* font = reinterpret_cast<const std::uint8_t*>(plain.records[i].data()) + 4;
        EXPECT_EQ(font[1] & 0x04, 0) << plain.records[i].substr(8);   // not underlined
        EXPECT_EQ(font[2], 0) << plain.records[i].substr(8);          // black
    }
}

TEST_F(WikiMatchingTest, TagsDelimitersServersAndQuotesShapeWhatIsWritten) {
    // A double quote in the target: the formula compiles and inserts it
    // whole; nothing between the delimiters gives "Action Hotspot".
    OpenText("((Say \"hi\" \\ now)) (()) ((Bob's))");
    EXPECT_EQ(Wiki(nullptr, "@Subset(@DbName; 1)"), 0);
    EXPECT_EQ(Find("Hotspot", 1).formula,
              "@Command([Compose]; @Subset(@DbName; 1); \"Memo\"); @Command([EditGoToField]; \"Subject\"); "
              "@Command([EditInsertText]; \"Say \\\"hi\\\" \\\\ now\");");
    EXPECT_EQ(Find("Hotspot", 1).title, "Say \"hi\" \\ now");
    EXPECT_EQ(Find("Hotspot", 2).text, "Action Hotspot");
    EXPECT_EQ(Find("Hotspot", 3).title, "Bob's");

    // A tag: only its texts; addresses of the classes a tag allows are
    // turned back with it.
    OpenText("((http://a.example/x|site)) ((https://b.example/y|safe)) ((Home))");
    EXPECT_EQ(Wiki(), 0);
    EXPECT_EQ(Find("HyperLink", 1).cls, "WikiLinkhttp");
    EXPECT_EQ(Find("HyperLink", 2).cls, "WikiLinkhttps");
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendText(" ((Help:Home)) ((Help:New)) ((Old))", 0, nullptr), 0);
    delete chunk;
    EXPECT_EQ(Wiki("Tag=Help:"), 0);
    Save();
    EXPECT_EQ(StoredText(), "site safe Home Home New ((Old))");
    EXPECT_EQ(Find("HyperLink", 4).cls, "WikiLinkHelp");
    const Target created = Find("Hotspot", 5);
    EXPECT_EQ(created.cls, "WikiLinkHelp");
    EXPECT_NE(created.formula.find("; \"Help\"); "), std::string::npos) << created.formula;
    EXPECT_EQ(Wiki("Tag=Help ResolveTags=No"), 0);
    Save();
    EXPECT_EQ(StoredText(), "site ((Help:https://b.example/y|safe)) Home ((Help:Home)) ((Help:New)) ((Old))");

    // Other delimiters and a form; a wiki text inside a hotspot stays as it is.
    OpenText("[[Home]] ((Home)) [[New]]");
    chunk = Chunk();
    EXPECT_EQ(chunk->AppendHotspot("ACTION FORMULA", "@Command([FileSave])", 0, nullptr, "[[Inside]]", 10), 0);
    delete chunk;
    EXPECT_EQ(Wiki("WikiDelimiters=[[]] Form=Page"), 0);
    Save();
    EXPECT_EQ(StoredText(), "Home ((Home)) New[[Inside]]");
    EXPECT_NE(Find("Hotspot", 2).formula.find("; \"Page\"); "), std::string::npos);
    EXPECT_EQ(Find("Hotspot", 3).text, "[[Inside]]");
    EXPECT_FALSE(Find("Hotspot", 4).exists);
    // A form name longer than its place leaves the text as it is.
    OpenText("((New))");
    const std::string form = "Form=" + std::string(300, 'f');
    EXPECT_EQ(Wiki(form.c_str()), 0);
    Save();
    EXPECT_EQ(StoredText(), "((New))");
    EXPECT_FALSE(Find("Hotspot", 1).exists);
}

TEST_F(WikiMatchingTest, BadArgumentsAndLookUpsChangeNothing) {
    OpenText("((Home))");
    const Body before = Stored(id_);
    ZervaRTChunk* chunk = Chunk();
    const std::string pages = pages_;
    struct Case {
        const char* path;
        const char* view;
        const char* field;
        const char* message;
    };
    for (const Case& c : {Case{nullptr, "Pages", "Subject", "TALIX: WikiMatching method passed an invalid database filepath."},
                          Case{pages.c_str(), "", "Subject", "TALIX: WikiMatching method passed an invalid view name."},
                          Case{pages.c_str(), "Pages", nullptr, "TALIX: WikiMatching missing reference fieldname."}}) {
        g_messages.clear();
        EXPECT_EQ(chunk->WikiMatching("", c.path, c.view, c.field, nullptr, nullptr), 20017);
        EXPECT_EQ(g_messages, std::vector<std::string>{c.message});
    }
    // A database that does not open, a view whose link context is missing.
    EXPECT_NE(chunk->WikiMatching("", dir_.file("none.nsf").c_str(), "Pages", "Subject", nullptr, nullptr), 0);
    EXPECT_NE(chunk->WikiMatching("", pages_.c_str(), "Nowhere", "Subject", nullptr, nullptr), 0);
    delete chunk;
    Save();
    EXPECT_EQ(Stored(id_).records, before.records);
    // With a link formula no link context is read; a look-up that fails
    // leaves the text as text: no page is offered for creation.
    EXPECT_NE(Wiki(nullptr, "", "Nowhere", "1"), 0);
    Save();
    EXPECT_EQ(StoredText(), "((Home))");
    EXPECT_FALSE(Find("ActionHotspot", 1).exists);
}

} // namespace
} // namespace chunkops_test
