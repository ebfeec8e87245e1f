// Finding notes through a view and key or a selection formula.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/session_work_area.h"
#include "core/view_lookup.h"
#include "core_fixture.h"
#include "platform/view_index.h"
#include "support/test_support.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using IdSet = std::set<plat::NOTEID>;

using talix_test::CollectMessage;
using talix_test::g_messages;

class ViewLookup : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(plat::DbCreate(dir_.file("a.nsf").c_str(), &db_), plat::NOERROR);
        alpha1_ = AddNote(db_, "Memo", "alpha");
        alpha2_ = AddNote(db_, "Reply", "Alpha");
        beta_ = AddNote(db_, "Memo", "beta");
        gamma_ = AddNote(db_, "Memo", "gamma");
        AddView(db_, "BySubject|subj", {"Subject"}, {"sorted"});
        AddView(db_, "ByForm", {"Form"}, {"sorted"});
    }
    void TearDown() override {
        talix::FreeNoteIdArray();
        plat::DbClose(db_);
    }

    static plat::NOTEID AddNote(plat::DBHANDLE db, const char* form, const char* subject) {
        plat::NOTEHANDLE note = 0;
        plat::NOTEID id = 0;
        EXPECT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
        plat::ItemSetText(note, "Form", form, static_cast<plat::WORD>(std::strlen(form)));
        plat::ItemSetText(note, "Subject", subject, static_cast<plat::WORD>(std::strlen(subject)));
        EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
        plat::NoteClose(note);
        return id;
    }
    static void AddView(plat::DBHANDLE db, const char* title, std::vector<std::string> columns,
                        std::vector<std::string> flags) {
        plat::NOTEID id = 0;
        ASSERT_EQ(plat::ViewNoteCreate(db, plat::ViewDefinition{title, "", columns, flags}, &id), plat::NOERROR);
    }
    // The ids found (the table is freed); the status in *status.
    IdSet Find(const char* text, const char* key, int copyIds = 0, plat::DBHANDLE db = 0,
               talix::STATUS* status = nullptr) {
        plat::DHANDLE table = 0xFFFF;
        talix::STATUS result = talix::FindNotesByViewOrFormula(&session_, db != 0 ? db : db_, text, key, &table,
                                                               copyIds);
        if (status != nullptr) *status = result;
        if (result != 0) {
            EXPECT_EQ(table, 0u);
        }
        IdSet ids;
        plat::NOTEID id = 0;
        for (bool more = result == 0 && plat::IdScan(table, true, &id); more; more = plat::IdScan(table, false, &id))
            ids.insert(id);
        if (result == 0) plat::IdDestroyTable(table);
        return ids;
    }
    static std::vector<plat::NOTEID> ArrayIds() {
        std::uint16_t count = 0;
        const plat::NOTEID* ids = talix::NoteIdArray(&count);
        return ids == nullptr ? std::vector<plat::NOTEID>{} : std::vector<plat::NOTEID>(ids, ids + count);
    }

    talix_test::TempDir dir_;
    plat::DBHANDLE db_ = 0;
    plat::NOTEID alpha1_ = 0, alpha2_ = 0, beta_ = 0, gamma_ = 0;
    RARIvoSession session_;
};

TEST_F(ViewLookup, FormulasAndViewsFindTheirDocuments) {
    EXPECT_EQ(Find(R"(SELECT Form = "Memo")", nullptr, 1), (IdSet{alpha1_, beta_, gamma_}));
    EXPECT_EQ(ArrayIds(), (std::vector<plat::NOTEID>{alpha1_, beta_, gamma_}));
    EXPECT_EQ(Find(R"(select @Contains(Subject; "lp"))", "beta"), (IdSet{alpha1_, alpha2_}));

    EXPECT_EQ(Find("BySubject", "ALPHA", 1), (IdSet{alpha1_, alpha2_}));
    EXPECT_EQ(ArrayIds().size(), 2u);
    talix::STATUS status = 1;
    EXPECT_EQ(Find("subj", "delta", 1, 0, &status), IdSet{});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ArrayIds().size(), 0u);
    EXPECT_EQ(Find("BySubject", nullptr), (IdSet{alpha1_, alpha2_, beta_, gamma_}));
    // "SELECT " without '@' or '=' names a view; category entries are left out.
    AddView(db_, "SELECT Memos", {"Form", "Subject"}, {"categorized", "sorted"});
    EXPECT_EQ(Find("SELECT Memos", "", 1), (IdSet{alpha1_, alpha2_, beta_, gamma_}));
    EXPECT_EQ(ArrayIds().size(), 4u);
}

TEST_F(ViewLookup, EachViewAndDatabaseIsSearchedInItsOwnCollection) {
    EXPECT_EQ(Find("BySubject", "alpha"), (IdSet{alpha1_, alpha2_}));
    EXPECT_EQ(Find("ByForm", "Memo"), (IdSet{alpha1_, beta_, gamma_}));
    EXPECT_EQ(Find("BySubject", "beta"), IdSet{beta_});
    plat::DBHANDLE other = 0;
    ASSERT_EQ(plat::DbCreate(dir_.file("b.nsf").c_str(), &other), plat::NOERROR);
    plat::NOTEID elsewhere = AddNote(other, "Memo", "beta");
    AddView(other, "BySubject", {"Subject"}, {"sorted"});
    EXPECT_EQ(Find("BySubject", "beta", 0, other), IdSet{elsewhere});
    EXPECT_EQ(Find("BySubject", "beta"), IdSet{beta_});
    plat::DbClose(other);

    // The collection kept for the next search goes with the session.
    plat::HCOLLECTION kept = 0;
    {
        RARIvoSession session;
        plat::DHANDLE table = 0;
        ASSERT_EQ(talix::FindNotesByViewOrFormula(&session, db_, "ByForm", "Reply", &table, 0), 0);
        plat::IdDestroyTable(table);
        kept = session.workArea->viewCache.collection;
    }
    ASSERT_NE(kept, 0);
    EXPECT_NE(plat::CollectionClose(kept), plat::NOERROR);
}

TEST_F(ViewLookup, FailuresAreShownAndReturnNoTable) {
    g_messages.clear();
    plat::RegisterMessageProc(&CollectMessage);
    talix::STATUS status[3] = {};
    Find("Nope", "alpha", 1, 0, &status[0]);
    EXPECT_EQ(std::string(session_.textResult, session_.textResultLength), "TALIX: View 'Nope' not found");
    Find(R"(SELECT Form = ()", nullptr, 0, 0, &status[1]);
    Find(R"(SELECT @NoSuchFunction(Form) = 1)", nullptr, 1, 0, &status[2]);
    plat::RegisterMessageProc(nullptr);
    for (talix::STATUS s : status) EXPECT_NE(s, 0);
    EXPECT_EQ(g_messages, (std::vector<std::string>{
                              "TALIX: View 'Nope' not found",
                              "TALIX: Selection formula 'SELECT Form = (' does not compile",
                              "TALIX: Unknown error using selection formula 'SELECT @NoSuchFunction(Form) = 1'",
                          }));
    EXPECT_EQ(talix::NoteIdArray(nullptr), nullptr);   // a failed search leaves no array behind
}

TEST_F(ViewLookup, TheNoteIdArrayKeepsTheFirstIdsAndTheTableAll) {
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbCreate(dir_.file("large.nsf").c_str(), &db), plat::NOERROR);
    const int total = talix::kNoteIdArrayCapacity + 5;
    std::vector<plat::NOTEID> first;
    for (int i = 0; i < total; ++i) {
        plat::NOTEID id = AddNote(db, "Memo", "");
        if (i < talix::kNoteIdArrayCapacity) first.push_back(id);
    }
    AddView(db, "All", {"Form"}, {"sorted"});
    for (const char* text : {R"(SELECT Form = "Memo")", "All"}) {
        EXPECT_EQ(Find(text, nullptr, 1, db).size(), static_cast<std::size_t>(total)) << text;
        EXPECT_EQ(ArrayIds(), first) << text;
    }
    plat::DbClose(db);
}

} // namespace
