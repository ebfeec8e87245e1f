// Design elements: connected by kind and name (also on fresh copies), and
// created by kind with their items.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/design_create.h"
#include "core/record_io.h"
#include "core/walkers.h"
#include "core_fixture.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using Connector = std::uint16_t (ZervaRTItem::*)(const char*, const char*, const char*, const char*);
using talix_test::StoredValues;

using talix_test::CollectMessage;
using talix_test::g_messages;
using core_test::Shown;

// A stored note, open for the test's reads.
struct Stored {
    Stored(const std::string& path, plat::NOTEID id) {
        EXPECT_EQ(plat::DbOpen(path.c_str(), &db), 0);
        EXPECT_EQ(plat::NoteOpen(db, id, 0, &note), 0);
    }
    ~Stored() {
        plat::NoteClose(note);
        plat::DbClose(db);
    }
    // List entries are joined by "|", so the first name of a title is the
    // text up to the first "|".
    std::string Text(const char* item) const {
        char text[512];
        plat::ItemConvertToText(note, item, text, sizeof text, '|');
        return text;
    }
    plat::WORD Class() const {
        plat::WORD noteClass = 0;
        plat::NoteGetInfo(note, plat::NOTE_FIELD_CLASS, &noteClass);
        return noteClass & ~plat::NOTE_CLASS_DEFAULT;
    }
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
};

class DesignElements : public testing::Test {
protected:
    void SetUp() override {
        plat::DBHANDLE db = 0;
        ASSERT_EQ(plat::DbCreate(path_.c_str(), &db), 0);
        plat::DbClose(db);
        g_messages.clear();
        plat::RegisterMessageProc(&CollectMessage);
    }
    void TearDown() override { plat::RegisterMessageProc(nullptr); }

    plat::NOTEID Import(const std::string& file, const std::string& text = "") {
        plat::DBHANDLE db = 0;
        EXPECT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
        plat::DxlImportResult result;
        EXPECT_EQ(text.empty() ? plat::DxlImportFile(db, file.c_str(), &result)
                               : plat::DxlImportText(db, text.data(), text.size(), "text", &result), 0)
            << result.error;
        plat::DbClose(db);
        return result.notes.empty() ? 0 : result.notes.front();
    }
    plat::NOTEID Find(const std::string& name, plat::WORD noteClass = plat::NOTE_CLASS_FORM) {
        plat::DBHANDLE db = 0;
        EXPECT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
        plat::NOTEID id = 0;
        plat::FindDesignNote(db, name.c_str(), noteClass, &id);
        plat::DbClose(db);
        return id;
    }
    std::string WriteFile(const char* name, const char* text) {
        std::string path = dir_.file(name);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        if (file != nullptr) {
            std::fputs(text, file);
            std::fclose(file);
        }
        return path;
    }

    talix_test::TempDir dir_;
    std::string path_ = dir_.file("design.nsf");
    RARIvoSession session_;
};

// The connect that serves a design note, by its class, flags and items;
// XPages and custom controls are named without their ".xsp".
Connector ConnectorFor(const Stored& note, std::string* name) {
    std::string flags = note.Text("$Flags");
    auto has = [&](const char* item) { return plat::ItemIsPresent(note.note, item, std::strlen(item)); };
    bool xpage = flags.find('K') != std::string::npos, control = flags.find(';') != std::string::npos;
    if (xpage || control) name->resize(name->size() - 4);
    if (note.Class() == plat::NOTE_CLASS_FIELD) return &ZervaRTItem::ConnectSharedField;
    if (xpage || control) return xpage ? &ZervaRTItem::ConnectXPage : &ZervaRTItem::ConnectCustomControl;
    if (has("$ImageData")) return &ZervaRTItem::ConnectImageResource;
    if (has("$FileData")) return &ZervaRTItem::ConnectFileResource;
    if (flags.find('U') != std::string::npos) return &ZervaRTItem::ConnectSubform;
    return flags.find('W') != std::string::npos ? &ZervaRTItem::ConnectPage : &ZervaRTItem::ConnectForm;
}

TEST_F(DesignElements, EveryElementOfTheRealDataConnectsReadsAndCopies) {
    for (const auto& file : talix_test::SampleAndSharedDxlFiles()) Import(file.string());
    std::vector<plat::NOTEID> ids;
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
    plat::DbScanNotes(db, [&](plat::NOTEID id, plat::WORD noteClass) -> plat::STATUS {
        noteClass &= ~plat::NOTE_CLASS_DEFAULT;
        if (noteClass == plat::NOTE_CLASS_FORM || noteClass == plat::NOTE_CLASS_FIELD) ids.push_back(id);
        return 0;
    });
    plat::DbClose(db);
    std::set<std::string> seen;   // an element imported twice is connected once
    int connected = 0;
    for (plat::NOTEID id : ids) {
        std::string title, name;
        Connector connect;
        {
            Stored note(path_, id);
            title = name = note.Text("$TITLE").substr(0, note.Text("$TITLE").find('|'));
            connect = ConnectorFor(note, &name);
        }
        if (title.empty() || !seen.insert(title).second) continue;
        SCOPED_TRACE(title);
        ZervaRTItem item(&session_), copy(&session_);
        ASSERT_EQ((item.*connect)("", path_.c_str(), name.c_str(), nullptr), 0);
        ASSERT_EQ(item.connected, 1);
        EXPECT_EQ(Stored(path_, item.noteID).Text("$TITLE").substr(0, title.size()), title);
        talix::STATUS status = 1;
        talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(status, 0);
        EXPECT_NE(list->head, nullptr);
        talix::DeleteItemRecordList(&session_, list);

        ASSERT_EQ((copy.*connect)("", path_.c_str(), name.c_str(), title.c_str()), 0);
        ASSERT_EQ(copy.Save(), 0);
        Stored saved(path_, copy.noteID);
        EXPECT_EQ(saved.Text("$TITLE"), title + "1");
        EXPECT_EQ(Find(title + "1", saved.Class()), copy.noteID);
        EXPECT_EQ(StoredValues(saved.note, item.itemName), StoredValues(item.noteHandle, item.itemName));
        ++connected;
    }
    // Every titled design element of the data connected above (the samples
    // hold some).
    EXPECT_GT(connected, 0);
}

TEST_F(DesignElements, ConnectCopiesUnderFreeNamesRefusesBadNamesAndMakesMissingBodies) {
    plat::NOTEID form = Import((talix_test::SampleDxlDir() / "form-layout.xml").string());
    for (const char* expected : {"Layout Form1", "Layout Form2"}) {
        ZervaRTItem copy(&session_);
        ASSERT_EQ(copy.ConnectForm("", path_.c_str(), "Layout Form", "Layout Form"), 0);
        ASSERT_EQ(copy.Save(), 0);
        Stored saved(path_, copy.noteID), source(path_, form);
        EXPECT_EQ(saved.Text("$TITLE") + saved.Text("$$ScriptName"), std::string(expected) + expected);
        EXPECT_EQ(StoredValues(saved.note, "$Body"), StoredValues(source.note, "$Body"));
    }

    // A long copy name is kept whole, and so is the number after it.
    const std::string longName(400, 'c');
    for (const std::string& expected : {longName, longName + "1"}) {
        ZervaRTItem copy(&session_);
        ASSERT_EQ(copy.ConnectForm("", path_.c_str(), "Layout Form", longName.c_str()), 0);
        ASSERT_EQ(copy.Save(), 0);
        EXPECT_EQ(Find(expected), copy.noteID);
    }

    ZervaRTItem item(&session_);
    EXPECT_EQ(item.ConnectFormBody("", path_.c_str(), "Layout Form", nullptr, "-U-W", ""), 20013);
    EXPECT_NE(item.ConnectForm("", path_.c_str(), "No Form", nullptr), 0);
    EXPECT_TRUE(Shown("TALIX: Unable to find design element 'No Form'."));
    EXPECT_EQ(item.connected, 0);

    // The shared field has no "$Body": a blank one is made in the note.
    Import((talix_test::SampleDxlDir() / "field-testfield.xml").string());
    ASSERT_EQ(item.ConnectSharedField("", path_.c_str(), "testfield", nullptr), 0);
    EXPECT_EQ(item.connected, 1);
    EXPECT_EQ(StoredValues(item.noteHandle, "$Body").at(0).size(), 96u);

    plat::NOTEID xpage = Import("", "<note class='form'><item name='$TITLE'><text>home.xsp</text></item></note>");
    // Blanks around the name are passed over, as around other elements' names.
    for (const char* name : {"home", "HOME.XSP", " home ", "home.xsp  "}) {
        EXPECT_EQ(item.ConnectXPage("", path_.c_str(), name, nullptr), 0) << name;
        EXPECT_EQ(item.noteID, xpage);
        EXPECT_STREQ(item.itemName, "$FileData");
    }
    plat::NOTEID control = Import("", "<note class='form'><item name='$TITLE'><text>Bar.xsp</text></item></note>");
    EXPECT_EQ(item.ConnectCustomControl("", path_.c_str(), "  bar", nullptr), 0);
    EXPECT_EQ(item.noteID, control);
    // A long name is looked up whole, not cut into the name of another element.
    const std::string longTitle(8191, 'h');
    Import("", "<note class='form'><item name='$TITLE'><text>" + longTitle + "</text></item></note>");
    EXPECT_NE(item.ConnectXPage("", path_.c_str(), (longTitle + "ome").c_str(), nullptr), 0);
    EXPECT_EQ(item.connected, 0);
}

TEST_F(DesignElements, CreatesEachKindWithItsItems) {
    const std::string source = WriteFile("source.txt", "hello"), sourceOption = "SourceFile=" + source;
    const std::string info("\x86\x18\x01\x00\x80\x00\x00\x00\x00\x00\x00\x00\x01\x00", 14);
    struct {
        const char *kind, *name, *options, *flags, *extra;   // extra: "$MimeType" or "$ImageNames"
    } cases[] = {
        {"Form", "Order", "", "", ""},
        {"page", "Welcome", "", "C34WQ", ""},
        {"Subform", "Header", "", "CUA3", ""},
        {"Shared Field", "Amount", "", "", ""},
        {"Image Resource", "img/logo.gif", "", "34CiQ", "logo.gif"},
        {"File Resource", "notes/readme.txt", sourceOption.c_str(), "345CgQ", "text/plain"},
        {"File Resource", "style.css", source.c_str(), "D34C=Q", ""},
        {"File Resource", "page.html", source.c_str(), "345Cg>Q", "text/html"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        ZervaRTItem* item = session_.CreateDesignElement(each.kind, "", path_.c_str(), each.name, each.options);
        ASSERT_NE(item, nullptr);
        ASSERT_EQ(item->connected, 1);
        ASSERT_EQ(item->Save(), 0);
        Stored note(path_, item->noteID);
        bool file = std::strcmp(each.kind, "File Resource") == 0;
        bool image = std::strcmp(each.kind, "Image Resource") == 0;
        bool field = std::strcmp(each.kind, "Shared Field") == 0;
        EXPECT_EQ(note.Class(), field ? plat::NOTE_CLASS_FIELD : plat::NOTE_CLASS_FORM);
        EXPECT_EQ(note.Text("$TITLE") + "/" + note.Text("$Flags"), std::string(each.name) + "/" + each.flags);
        EXPECT_EQ(note.Text("$DesignerVersion"), file ? "6" : "5");
        std::vector<std::string> infoValues = StoredValues(note.note, "$Info");
        EXPECT_EQ(infoValues.empty() ? "" : infoValues[0].substr(2, 14), file || image ? "" : info);
        if (image) {
            EXPECT_EQ(note.Text("$ImageNames") + note.Text("$ImagesWide") + note.Text("$ImagesHigh") +
                          note.Text("$ImagesColorize"),
                      "logo.gif110");
        }
        if (file) {
            EXPECT_EQ(note.Text("$MimeType") + "/" + note.Text("$FlagsExt"), std::string(each.extra) + "/D");
            EXPECT_TRUE(plat::ItemIsPresent(note.note, "$FileModDT", 10));
            std::string out = dir_.file("out");
            EXPECT_EQ(item->Export(out.c_str(), nullptr), 0);
            EXPECT_EQ(talix_test::ReadFile(out), "hello");
        }
        delete item;
    }
}

TEST_F(DesignElements, AnExistingElementIsKeptUnlessOverwritten) {
    ZervaRTItem* made = session_.CreateDesignElement("Form", "", path_.c_str(), "Order", "");
    ASSERT_NE(made, nullptr);
    plat::ItemDelete(made->noteHandle, "$Body", 5);
    ASSERT_EQ(talix_test::StoreRichTextItem(made->noteHandle, "$Body", {talix_test::TextRecord(0, "mine")}), 0);
    ASSERT_EQ(made->Save(), 0);
    std::vector<std::string> mine = StoredValues(made->noteHandle, "$Body");
    delete made;

    ZervaRTItem* kept = session_.CreateDesignElement("Form", "", path_.c_str(), "Order", "Overwrite=No");
    ASSERT_NE(kept, nullptr);
    EXPECT_TRUE(Shown("TALIX: Form 'Order' already exists."));
    EXPECT_EQ(StoredValues(kept->noteHandle, "$Body"), mine);
    delete kept;
    ZervaRTItem* replaced = session_.CreateDesignElement("Form", "", path_.c_str(), "Order", "Overwrite=Yes");
    ASSERT_NE(replaced, nullptr);
    ASSERT_EQ(replaced->Save(), 0);
    EXPECT_EQ(replaced->noteID, Find("Order"));
    EXPECT_EQ(StoredValues(replaced->noteHandle, "$Body").at(0).size(), 96u);
    delete replaced;

    // A file resource kept as it is keeps its content.
    std::string one = WriteFile("one.txt", "one"), two = WriteFile("two.txt", "two");
    for (const std::string& options : {"SourceFile=" + one, "SourceFile=" + two, "Overwrite=Yes SourceFile=" + two,
                                       "SourceFile=" + one})
        delete session_.CreateDesignElement("File Resource", "", path_.c_str(), "a.txt", options.c_str());
    Stored resource(path_, Find("a.txt"));
    char* text = nullptr;
    std::uint32_t length = 0;
    ASSERT_EQ(talix::MeasureItemContent(resource.note, "$FileData", &text, &length, 0, 1), 0);
    EXPECT_STREQ(text, "two");
    std::free(text);
}

// Forms, pages, subforms and resources share one note class: a name held
// by an element of another kind is refused with that reason, and that
// element keeps its content, overwriting asked for or not.
TEST_F(DesignElements, AnElementOfAnotherKindWithTheNameIsLeftAlone) {
    ZervaRTItem* form = session_.CreateDesignElement("Form", "", path_.c_str(), "Orders", "");
    ASSERT_NE(form, nullptr);
    plat::ItemDelete(form->noteHandle, "$Body", 5);
    ASSERT_EQ(talix_test::StoreRichTextItem(form->noteHandle, "$Body", {talix_test::TextRecord(0, "mine")}), 0);
    ASSERT_EQ(form->Save(), 0);
    const std::vector<std::string> mine = StoredValues(form->noteHandle, "$Body");
    delete form;
    const std::string css = WriteFile("a.css", "p {}");

    struct Case {
        const char* kind;
        std::string options;
    };
    const Case cases[] = {{"Page", "Overwrite=Yes"}, {"Subform", ""}, {"File Resource", "Overwrite=Yes SourceFile=" + css}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        talix_test::g_messages.clear();
        EXPECT_EQ(session_.CreateDesignElement(c.kind, "", path_.c_str(), "Orders", c.options.c_str()), nullptr);
        EXPECT_TRUE(Shown(std::string("TALIX: ") + c.kind + " 'Orders' was not created: a form of that name exists"));
        Stored stored(path_, Find("Orders"));
        EXPECT_EQ(StoredValues(stored.note, "$Body"), mine);
        EXPECT_EQ(stored.Text("$Flags"), "");
        EXPECT_FALSE(plat::ItemIsPresent(stored.note, "$FileData", 9));
    }
    // An element of the kind asked for is overwritten as before.
    ZervaRTItem* again = session_.CreateDesignElement("Form", "", path_.c_str(), "Orders", "Overwrite=Yes");
    ASSERT_NE(again, nullptr);
    ASSERT_EQ(again->Save(), 0);
    EXPECT_NE(StoredValues(again->noteHandle, "$Body"), mine);
    delete again;
}

TEST_F(DesignElements, AnOverwrittenFileResourceSizeAndDateAgreeWithItsContent) {
    const std::string five = WriteFile("five.txt", "hello");
    delete session_.CreateDesignElement("File Resource", "", path_.c_str(), "b.txt", ("SourceFile=" + five).c_str());
    const plat::NOTEID id = Find("b.txt");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(Stored(path_, id).Text("$FileSize"), "5");
    // The content is dated long ago, so that a change of it shows.
    plat::TIMEDATE longAgo;
    longAgo.Innards[0] = 100;
    longAgo.Innards[1] = 2400000;
    {
        Stored dated(path_, id);
        ASSERT_EQ(plat::ItemSetTime(dated.note, "$FileModDT", &longAgo), 0);
        ASSERT_EQ(plat::NoteUpdate(dated.note, 0), 0);
    }
    const std::vector<std::string> oldDate = StoredValues(Stored(path_, id).note, "$FileModDT");

    // A creation taken back gives all of them back.
    talix::DesignNoteChange change;
    ASSERT_EQ(talix::CreateDesignElementNote(&session_, "File Resource", "", path_.c_str(), "b.txt", nullptr, 1,
                                             nullptr, &change),
              0);
    EXPECT_FALSE(plat::ItemIsPresent(Stored(path_, id).note, "$FileSize", 9));
    EXPECT_NE(StoredValues(Stored(path_, id).note, "$FileModDT"), oldDate);
    ASSERT_EQ(talix::UndoDesignElementNote(&session_, "", path_.c_str(), "$FileData", change), 0);
    {
        Stored back(path_, id);
        EXPECT_EQ(back.Text("$FileSize"), "5");
        EXPECT_EQ(StoredValues(back.note, "$FileModDT"), oldDate);
        EXPECT_EQ(StoredValues(back.note, "$FileData").size(), 1u);
    }

    // Emptied without a new source, the element claims no size either.
    delete session_.CreateDesignElement("File Resource", "", path_.c_str(), "b.txt", "Overwrite=Yes");
    Stored emptied(path_, id);
    EXPECT_FALSE(plat::ItemIsPresent(emptied.note, "$FileData", 9));
    EXPECT_FALSE(plat::ItemIsPresent(emptied.note, "$FileSize", 9));
    EXPECT_EQ(emptied.Text("$FileNames"), "b.txt");

    // Given new content, the element dates it now, not when the old was made.
    const std::vector<std::string> emptiedDate = StoredValues(emptied.note, "$FileModDT");
    EXPECT_NE(emptiedDate, oldDate);
    {
        Stored dated(path_, id);
        ASSERT_EQ(plat::ItemSetTime(dated.note, "$FileModDT", &longAgo), 0);
        ASSERT_EQ(plat::NoteUpdate(dated.note, 0), 0);
    }
    delete session_.CreateDesignElement("File Resource", "", path_.c_str(), "b.txt",
                                        ("Overwrite=Yes SourceFile=" + five).c_str());
    Stored replaced(path_, id);
    EXPECT_EQ(replaced.Text("$FileSize"), "5");
    EXPECT_NE(StoredValues(replaced.note, "$FileModDT"), oldDate);
}

TEST_F(DesignElements, NamesWithAliasesOrBlanksAroundAreCreatedOnceAndFoundAgain) {
    const std::string source = "SourceFile=" + WriteFile("source.css", "p {}");
    struct {
        const char *kind, *name, *options, *found;   // found: a name the element is found by
    } cases[] = {
        {"Form", "Order|ord", "", "ord"},
        {"Page", " Welcome ", "", "welcome"},
        {"Shared Field", "Amount | amt", "", "AMT"},
        {"File Resource", "style.css|st", source.c_str(), "st"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        const plat::WORD noteClass = std::strcmp(each.kind, "Shared Field") == 0 ? plat::NOTE_CLASS_FIELD
                                                                                  : plat::NOTE_CLASS_FORM;
        ZervaRTItem* made = session_.CreateDesignElement(each.kind, "", path_.c_str(), each.name, each.options);
        ASSERT_NE(made, nullptr);
        ASSERT_EQ(made->connected, 1);
        ASSERT_EQ(made->Save(), 0);
        const plat::NOTEID id = made->noteID;
        delete made;
        EXPECT_EQ(Stored(path_, id).Text("$TITLE"), each.name);
        EXPECT_EQ(Find(each.found, noteClass), id);
        // Made again, the element is the one that exists.
        g_messages.clear();
        ZervaRTItem* again = session_.CreateDesignElement(each.kind, "", path_.c_str(), each.name, each.options);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->noteID, id);
        delete again;
    }
    int notes = 0;
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
    plat::DbScanNotes(db, [&](plat::NOTEID, plat::WORD) -> plat::STATUS { return ++notes, 0; });
    plat::DbClose(db);
    EXPECT_EQ(notes, 4);
    // Characters whose bytes include those of "|", "/", "\\" or "." are no
    // such characters: "米" and "粉" are two pages, "山.gif" keeps its name.
    const std::string rice = plat::NativeToLmbcs("\xE7\xB1\xB3"), flour = plat::NativeToLmbcs("\xE7\xB2\x89");
    const std::string mountain = plat::NativeToLmbcs("\xE5\xB1\xB1.gif");
    plat::NOTEID pages[2] = {};
    for (int i = 0; i < 2; ++i) {
        ZervaRTItem* page = session_.CreateDesignElement("Page", "", path_.c_str(), (i == 0 ? rice : flour).c_str(), "");
        ASSERT_NE(page, nullptr);
        ASSERT_EQ(page->Save(), 0);
        pages[i] = page->noteID;
        delete page;
    }
    EXPECT_NE(pages[0], pages[1]);
    EXPECT_EQ(Find(flour), pages[1]);
    ZervaRTItem* image = session_.CreateDesignElement("Image Resource", "", path_.c_str(), mountain.c_str(), "");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Stored(path_, image->noteID).Text("$ImageNames"), mountain);
    delete image;
    // A file resource's file name and flags are those of its first name.
    Stored resource(path_, Find("style.css"));
    EXPECT_EQ(resource.Text("$FileNames") + " " + resource.Text("$Flags"), "style.css D34C=Q");
}

TEST_F(DesignElements, RefusesWhatItCannotCreateAndEncodesNamesOnACopy) {
    EXPECT_EQ(session_.CreateDesignElement("View", "", path_.c_str(), "V", ""), nullptr);
    std::string missing = dir_.file("none.nsf");
    EXPECT_EQ(session_.CreateDesignElement("Form", "", missing.c_str(), "F", ""), nullptr);
    EXPECT_TRUE(Shown("TALIX: Database '" + missing + "' on server '' could not be accessed."));
    EXPECT_EQ(session_.CreateDesignElement("File Resource", "", path_.c_str(), "x.txt", "SourceFile=/no/such"),
              nullptr);
    EXPECT_EQ(Find("x.txt") + Find("V"), 0u);
    // An image resource is not handed out blank: neither for a file that
    // cannot be read nor for one the graphic append refuses.
    EXPECT_EQ(session_.CreateDesignElement("Image Resource", "", path_.c_str(), "gone.gif", "SourceFile=/no/such"),
              nullptr);
    EXPECT_EQ(Find("gone.gif"), 0u);
    std::string notImage = WriteFile("notes.gif", "plain text, not a picture");
    EXPECT_EQ(session_.CreateDesignElement("Image Resource", "", path_.c_str(), "notes.gif",
                                           ("SourceFile=" + notImage).c_str()),
              nullptr);

    char name[] = "my dir\\logo: 1.gif";
    ZervaRTItem* encoded = session_.CreateDesignElement("Image Resource", "", path_.c_str(), name, "URLEncode=Yes");
    ASSERT_NE(encoded, nullptr);
    EXPECT_STREQ(name, "my dir\\logo: 1.gif");
    EXPECT_EQ(Stored(path_, encoded->noteID).Text("$TITLE"), "my+dir/logo_+1.gif");
    delete encoded;
    // Only those characters are changed, not bytes of other characters (the
    // character U+5C71 is stored with the bytes of a backslash and a "q").
    const std::string wide = plat::NativeToLmbcs("\xE5\xB1\xB1 \xE5\xB3\xB6:1.gif");   // "山 島:1.gif"
    ZervaRTItem* kept = session_.CreateDesignElement("Page", "", path_.c_str(), wide.c_str(), "URLEncode=Yes");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(plat::LmbcsToNative(Stored(path_, kept->noteID).Text("$TITLE")), "\xE5\xB1\xB1+\xE5\xB3\xB6_1.gif");
    delete kept;
}

} // namespace
