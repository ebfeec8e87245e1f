// Links, pop-ups, buttons, embedded controls and image maps: the records the
// builders hand to the append gate, read back from the output record list,
// and the same records stored as an item and read again.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "builders/built_records.h"
#include "builders/button_builders.h"
#include "builders/hotspot_builders.h"
#include "builders/image_map_builder.h"
#include "core/chunk_work_state.h"
#include "core/item_work_state.h"
#include "core/operation_inputs.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/session_work_area.h"
#include "core/thread_state.h"
#include "engine/record_process.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix::ReadDword;
using talix::ReadWord;

using talix_test::CollectMessage;
using talix_test::g_messages;

std::string TextAt(const talix::CDRecordNode* node, std::uint32_t offset, std::uint32_t length) {
    return std::string(reinterpret_cast<const char*>(node->bytes + offset), length);
}

class HotspotBuilders : public ::testing::Test {
protected:
    HotspotBuilders() : context_(talix_test::OutputContext(&session_, &item_, &chunk_)) {
        g_messages.clear();
        plat::RegisterMessageProc(CollectMessage);
    }
    ~HotspotBuilders() override {
        Restart();
        plat::RegisterMessageProc(nullptr);
    }

    std::vector<const talix::CDRecordNode*> Nodes() const { return talix_test::ListNodes(item_.work->output); }
    std::string Shape() const { return talix_test::ListShape(item_.work->output); }
    void ExpectWellFormed() const { EXPECT_EQ(talix_test::BuiltRecordProblem(item_.work->output), ""); }
    // Frees what was built so far; the next record starts a new list.
    void Restart() { talix_test::FreeOutput(&item_); }
    void SetCode(const std::string& code, std::uint32_t offset) {
        std::memcpy(session_.textResult + offset, code.data(), code.size());
        session_.workArea->hotspot.codeLength = static_cast<std::uint32_t>(code.size());
    }

    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    ZervaRTChunk chunk_{&session_, &item_};
    std::unique_ptr<talix::RecordProcessContext> context_;
};

TEST_F(HotspotBuilders, URLLinkOverText) {
    session_.workArea->runningOptions = "HTMLClass=nav";
    ASSERT_EQ(talix::AppendURLHotspotWithEnd("Home", 0, "http://a.b/c", 0, context_.get()), 0);
    session_.workArea->runningOptions = nullptr;
    EXPECT_EQ(Shape(), "<FFAD FF7E FFF6 FFAD <FF85 FF85 D2 >FF85 FF7A AE >AE ");
    ExpectWellFormed();
    const auto nodes = Nodes();
    // The target record carries the URL from byte 28.
    EXPECT_EQ(ReadWord(nodes[2]->bytes + 2), 28 + 12);
    EXPECT_EQ(ReadWord(nodes[2]->bytes + 12), 12);
    EXPECT_EQ(TextAt(nodes[2], 28, 12), "http://a.b/c");
    // The hotspot: type 11, flags 0x1008, the URL and three zero bytes.
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 2), 12 + 19);
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 4), 11);
    EXPECT_EQ(ReadDword(nodes[3]->bytes + 8), 0x1008u);
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 12), 13);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(nodes[3]->bytes + 16)), "http://a.b/c");
    // The text in the URL font: blue (index 4), underlined, its colour beside it.
    EXPECT_EQ(TextAt(nodes[5], 8, 4), "Home");
    EXPECT_EQ(nodes[5]->bytes[6], 4);
    EXPECT_EQ(nodes[5]->bytes[5] & talix::kAttrUnderline, talix::kAttrUnderline);
    EXPECT_EQ(ReadWord(nodes[8]->bytes + 6), 3);   // the class "nav"

    // A link request for a URL without visible text, and one without a target.
    talix::LinkRequest& request = chunk_.work->linkRequest;
    request.kind = talix::kLinkURL;
    request.target = "http://a.b/c";
    const std::size_t before = Nodes().size();
    EXPECT_EQ(talix::AppendNotesLinkHotspotEx(nullptr, 0, context_.get()), talix::kOperationFailed);
    request.target = "";
    EXPECT_EQ(talix::AppendNotesLinkHotspotEx("Home", 4, context_.get()), talix::kArgumentError);
    EXPECT_EQ(talix::AppendURLHotspot("Home", 4, "", 0, context_.get(), 0), talix::kArgumentError);
    EXPECT_EQ(Nodes().size(), before);
    // A URL longer than a record holds is refused, not cut.
    const std::string huge(70000, 'u');
    EXPECT_EQ(talix::AppendURLHotspot("Home", 4, huge.c_str(), 0, context_.get(), 0), talix::kArgumentError);
    EXPECT_EQ(Nodes().size(), before);
}

TEST_F(HotspotBuilders, DocumentLinksCarryTheirIdsAndTexts) {
    talix::LinkRequest& request = chunk_.work->linkRequest;
    request.kind = talix::kLinkOnText;
    request.target = "0123456789abcdef";
    request.viewId = "00112233445566778899AABBCCDDEEFF";
    request.noteId = "FFEEDDCCBBAA99887766554433221100";
    request.description = "";
    request.hint = "*none*Server";
    request.anchor = "top";
    ASSERT_EQ(talix::AppendNotesLinkHotspotEx("Doc", 3, context_.get()), 0);
    EXPECT_EQ(Shape(), "<FFAD FF7E FFF6 FFAD <FF92 FF92 >FF92 FF85 AE >AE ");
    ExpectWellFormed();
    const auto nodes = Nodes();

    const talix::ParsedLinkIds& parsed = session_.workArea->parsedLink;
    EXPECT_EQ(parsed.replicaParsed, 'Y');
    EXPECT_EQ(parsed.viewParsed, 'Y');
    EXPECT_EQ(parsed.noteParsed, 'Y');
    // The link record: the ids in stored order, the default description, an
    // empty hint and the anchor, each terminated.
    const talix::CDRecordNode* link = nodes[5];
    const std::string description = "Click here to view...";
    EXPECT_EQ(link->length, 44u + description.size() + 1 + 1 + 4);
    EXPECT_EQ(ReadDword(link->bytes + 4), 0x89ABCDEFu);
    EXPECT_EQ(ReadDword(link->bytes + 8), 0x01234567u);
    const std::uint32_t view[4] = {0x44556677, 0x00112233, 0xCCDDEEFF, 0x8899AABB};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ReadDword(link->bytes + 12 + 4 * i), view[i]);
    EXPECT_EQ(ReadDword(link->bytes + 28), 0xBBAA9988u);
    EXPECT_EQ(TextAt(link, 44, description.size() + 6), description + std::string("\0\0top\0", 6));
    // The target record: hint, description, the note link, the anchor.
    const talix::CDRecordNode* target = nodes[2];
    EXPECT_EQ(ReadWord(target->bytes + 12), 3);
    EXPECT_EQ(ReadWord(target->bytes + 14), 0);
    EXPECT_EQ(ReadWord(target->bytes + 16), description.size());
    EXPECT_EQ(TextAt(target, 28 + description.size() + 40, 3), "top");
    // The hotspot is handed over as the signature its bytes carry.
    EXPECT_EQ(nodes[3]->signature, 0xFFAD);
    EXPECT_EQ(TextAt(nodes[7], 8, 3), "Doc");
}

TEST_F(HotspotBuilders, LinkTargetsDecideTheKindOfLink) {
    talix::LinkRequest& request = chunk_.work->linkRequest;
    request.kind = talix::kLinkOnText;
    // A target with a dot and visible text becomes a URL link.
    request.target = "abc.nsf";
    ASSERT_EQ(talix::AppendNotesLinkHotspotEx("A", 1, context_.get()), 0);
    EXPECT_EQ(request.kind, talix::kLinkURL);
    EXPECT_EQ(Shape(), "<FFAD FF7E FFF6 FFAD <FF85 FF85 D2 >FF85 AE >AE ");
    request.kind = talix::kLinkOnText;
    EXPECT_EQ(talix::AppendNotesLinkHotspotEx(nullptr, 0, context_.get()), talix::kOperationFailed);

    // A view id of 31 characters leaves a database link; a note id without
    // a view id is not used. Without text the link stands alone.
    Restart();
    request.kind = talix::kLinkWithoutText;
    request.target = "0123456789ABCDEF";
    request.viewId = "00112233445566778899AABBCCDDEEF";
    request.noteId = "FFEEDDCCBBAA99887766554433221100";
    request.description = "Desc";
    request.hint = nullptr;
    ASSERT_EQ(talix::AppendNotesLinkHotspotEx(nullptr, 0, context_.get()), 0);
    const talix::CDRecordNode* last = Nodes().back();
    EXPECT_EQ(session_.workArea->parsedLink.viewParsed, 0);
    EXPECT_EQ(session_.workArea->parsedLink.noteParsed, 0);
    EXPECT_EQ(Nodes().size(), 3u);
    const talix::CDRecordNode* link = Nodes()[1];
    EXPECT_EQ(link->length, 46u + 4);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(ReadDword(link->bytes + 12 + 4 * i), 0u);
    EXPECT_EQ(last->signature, 0xDE);
    ExpectWellFormed();

    // Wrapped round the chunk's text: only the hotspot is opened.
    request.kind = talix::kLinkOnText;
    context_->a3 = 2;   // the description's length
    ASSERT_EQ(talix::AppendNotesLinkHotspot("x", 1, context_.get(), 1), 0);
    EXPECT_EQ(Nodes().back()->signature, 0xDE);
    EXPECT_EQ(TextAt(Nodes()[Nodes().size() - 2], 44, 3), std::string("De\0", 3));
    ASSERT_EQ(talix::AppendHotspotEnd(context_.get(), 0xAE), 0);
    ExpectWellFormed();
}

TEST_F(HotspotBuilders, LinksBuiltAroundTheCallersOwnText) {
    // The records of each step, as bytes.
    auto bytesOf = [this](std::size_t from) {
        std::vector<std::string> bytes;
        const auto nodes = Nodes();
        for (std::size_t i = from; i < nodes.size(); ++i) bytes.push_back(TextAt(nodes[i], 0, nodes[i]->length));
        return bytes;
    };
    talix::LinkRequest& request = chunk_.work->linkRequest;
    request.target = "0123456789abcdef";
    request.viewId = "00112233445566778899AABBCCDDEEFF";
    request.description = "Desc";

    // A Notes link on text: the steps write what the one call writes, the
    // text where the caller writes it; a URL font does not reach it.
    request.kind = talix::kLinkOnText;
    ASSERT_EQ(talix::AppendNotesLinkHotspotEx("Doc", 3, context_.get()), 0);
    const std::vector<std::string> whole = bytesOf(0);
    Restart();
    talix::OpenedLink opened = talix::OpenedLink::kNothing;
    ASSERT_EQ(talix::OpenNotesLinkHotspotEx(3, context_.get(), &opened), 0);
    EXPECT_EQ(opened, talix::OpenedLink::kLinkHotspot);
    EXPECT_EQ(Shape(), "<FFAD FF7E FFF6 FFAD <FF92 FF92 >FF92 ");
    ASSERT_EQ(talix::AppendLinkTextRun("Doc", 3, opened, "RED", context_.get()), 0);
    ASSERT_EQ(talix::CloseNotesLinkHotspotEx(context_.get(), opened), 0);
    EXPECT_EQ(bytesOf(0), whole);
    ExpectWellFormed();

    // A URL link: the caller's font in place of the item's URL font, wrapped
    // with its colour; the options' HTML attributes before the end.
    Restart();
    request.target = "abc.nsf";
    session_.workArea->runningOptions = "HTMLID=x";
    ASSERT_EQ(talix::OpenNotesLinkHotspotEx(1, context_.get(), &opened), 0);
    EXPECT_EQ(opened, talix::OpenedLink::kURLHotspot);
    ASSERT_EQ(talix::AppendLinkTextRun("A", 1, opened, "RED +BOLD", context_.get()), 0);
    ASSERT_EQ(talix::CloseNotesLinkHotspotEx(context_.get(), opened), 0);
    session_.workArea->runningOptions = nullptr;
    EXPECT_EQ(Shape(), "<FFAD FF7E FFF6 FFAD <FF85 FF85 D2 >FF85 FF7A AE >AE ");
    ExpectWellFormed();
    const auto nodes = Nodes();
    EXPECT_EQ(nodes[5]->bytes[5] & talix::kAttrBold, talix::kAttrBold);
    EXPECT_EQ(TextAt(nodes[6], 4, 3), std::string("\xFF\0\0", 3));   // red, lowest byte first

    // A link without text opens nothing: no text, no end. A failed opening
    // opens nothing either.
    Restart();
    request.kind = talix::kLinkWithoutText;
    request.target = "0123456789abcdef";
    ASSERT_EQ(talix::OpenNotesLinkHotspotEx(0, context_.get(), &opened), 0);
    EXPECT_EQ(opened, talix::OpenedLink::kNothing);
    EXPECT_EQ(talix::AppendLinkTextRun("x", 1, opened, nullptr, context_.get()), 0);
    EXPECT_EQ(talix::CloseNotesLinkHotspotEx(context_.get(), opened), 0);
    EXPECT_EQ(Shape(), "<FF92 FF92 >FF92 ");
    request.target = "0123";
    opened = talix::OpenedLink::kURLHotspot;
    EXPECT_EQ(talix::OpenNotesLinkHotspotEx(0, context_.get(), &opened), talix::kOperationFailed);
    EXPECT_EQ(opened, talix::OpenedLink::kNothing);
    EXPECT_EQ(Nodes().size(), 3u);
}

TEST_F(HotspotBuilders, HypertextLinksPointAtANoteOfTheLinkDatabase) {
    talix_test::TempDir dir;
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbCreate(dir.file("wiki.nsf").c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NOTEID id = 0;
    plat::ORIGINATORID oid;
    ASSERT_EQ(plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id), plat::NOERROR);
    ASSERT_EQ(plat::NoteGetInfo(note, plat::NOTE_FIELD_OID, &oid), plat::NOERROR);
    talix::LinkDatabase& target = session_.workArea->linkDatabase;
    target.database = db;
    target.replica[0] = 0x11;
    target.view[3] = 0x22;
    context_->secondArgument = "Tag";

    ASSERT_EQ(talix::AppendHypertextLink("Page", "", id, "Class=WikiLink$3 Title='$1 ($2)' Anchor=sec", context_.get()),
              0);
    EXPECT_EQ(Shape(), "<FFAD FF7E FFF6 FFAD <FF92 FF92 >FF92 FF85 FF7A AE >AE ");
    ExpectWellFormed();
    const auto nodes = Nodes();
    const talix::CDRecordNode* link = nodes[5];
    EXPECT_EQ(ReadDword(link->bytes + 4), 0x11u);
    EXPECT_EQ(ReadDword(link->bytes + 24), 0x22u);
    EXPECT_EQ(ReadDword(link->bytes + 28), oid.File.Innards[0]);
    EXPECT_EQ(ReadDword(link->bytes + 40), oid.Note.Innards[1]);
    EXPECT_EQ(TextAt(link, 44, 10), std::string("Page\0sec\0", 10));
    const talix::CDRecordNode* names = nodes[8];
    EXPECT_EQ(ReadWord(names->bytes + 6), 11);
    EXPECT_EQ(TextAt(names, 26, 18), "WikiLinkTagPage ()");
    EXPECT_EQ(ReadWord(names->bytes + 10), 7);

    EXPECT_EQ(g_messages, std::vector<std::string>{"Adding hypertext link to Page..."});

    // The process-wide switch silences the message, whatever the item says.
    g_messages.clear();
    Restart();
    item_.suppressMessages = 1;
    ASSERT_EQ(talix::AppendHypertextLink("Other", "", id, nullptr, context_.get()), 0);
    EXPECT_EQ(g_messages, std::vector<std::string>{"Adding hypertext link to Other..."});
    Restart();
    item_.suppressMessages = 0;
    talix::ThisThread().suppressMessages = 1;
    ASSERT_EQ(talix::AppendHypertextLink("Quiet", "", id, nullptr, context_.get()), 0);
    talix::ThisThread().suppressMessages = 0;
    EXPECT_EQ(g_messages.size(), 1u);

    // A note the database does not hold: its status, nothing written.
    Restart();
    EXPECT_NE(talix::AppendHypertextLink("Page", "", id + 400, nullptr, context_.get()), 0);
    EXPECT_TRUE(Nodes().empty());
    context_->secondArgument = nullptr;
    plat::NoteClose(note);
    plat::DbClose(db);
}

TEST_F(HotspotBuilders, PopupsTakeTheirTypeAndFlagsFromTheOptions) {
    struct Case {
        const char* options;
        std::uint16_t type;
        std::uint32_t flags;
    };
    const Case cases[] = {
        {"Style=None", 1, 12}, {"Style=highlight", 1, 0x10000C}, {"Hotspot=Mouseover Style=Box", 22, 4}};
    for (const Case& each : cases) {
        Restart();
        ASSERT_EQ(talix::AppendPopupHotspot("word", "the pop-up", each.options, context_.get()), 0);
        EXPECT_EQ(Shape(), "<FFAD FFA9 FF85 AE >AE ");
        const talix::CDRecordNode* hotspot = Nodes()[1];
        EXPECT_EQ(ReadWord(hotspot->bytes + 4), each.type) << each.options;
        EXPECT_EQ(ReadDword(hotspot->bytes + 8), each.flags) << each.options;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(hotspot->bytes + 16)), "the pop-up");
        ExpectWellFormed();
    }
    EXPECT_EQ(g_messages.front(), "Adding popup text to word...");
}

TEST_F(HotspotBuilders, ButtonsClampAndReadTheirOptions) {
    const std::string code = "@Command([FileSave])";
    SetCode(code, talix::kHotspotCodeOffset);
    struct Case {
        const char* options;
        std::uint16_t width;
        std::uint16_t flags;
        const char* message;
    };
    const Case cases[] = {
        {"ButtonWidth=0.1", 360, 0, "TALIX: Minimum button width of 0.25 used."},
        {"ButtonWidth=30", 32760, 0, "TALIX: Maximum button width of 22.75 used."},
        {"ButtonWidth=nan", 360, 0, "TALIX: Minimum button width of 0.25 used."},
        {"Width=0.25 ButtonFit=minimum", 360, 0x400, nullptr},
        {"ButtonWrap=no ButtonFit=Fixed", 2880, 0x202, nullptr},
        {"ButtonWrap=yes", 2880, 0, nullptr},
    };
    for (const Case& each : cases) {
        Restart();
        g_messages.clear();
        ASSERT_EQ(talix::AppendButtonOrControl(talix::kHotspotButton, talix::kCodeFormula, "Save", 4, each.options,
                                               context_.get()),
                  0);
        EXPECT_EQ(Shape(), "<FFAD FFAD FFAB AE >AE ");
        const auto nodes = Nodes();
        EXPECT_EQ(ReadDword(nodes[1]->bytes + 8), talix::kCodeFormula + 12);
        EXPECT_EQ(TextAt(nodes[1], 16, code.size()), code);
        EXPECT_EQ(ReadWord(nodes[2]->bytes + 6), each.width) << each.options;
        EXPECT_EQ(ReadWord(nodes[2]->bytes + 4), each.flags) << each.options;
        EXPECT_EQ(TextAt(nodes[2], 16, 4), "Save");
        EXPECT_EQ(g_messages, each.message != nullptr ? std::vector<std::string>{each.message}
                                                      : std::vector<std::string>{});
        ExpectWellFormed();
    }
}

TEST_F(HotspotBuilders, ActionsPopupsAndControlsWriteTheirCode) {
    // JavaScript on an action: an empty hotspot, the event and its code.
    const std::string script = "alert(1);";
    SetCode(script, talix::kHotspotCodeOffset);
    ASSERT_EQ(talix::AppendButtonOrControl(talix::kHotspotAction, talix::kCodeJavaScript, "Go", 2,
                                           "CommonJavaScript=Yes", context_.get()),
              0);
    EXPECT_EQ(Shape(), "<FFAD FFAD FFF9 FFDC FF66 FF65 FF85 AE >AE ");
    auto nodes = Nodes();
    EXPECT_EQ(nodes[1]->length, 16u);
    EXPECT_EQ(ReadDword(nodes[2]->bytes + 12), script.size());
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 4), 0xFFF9);
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 8), 20000);
    EXPECT_EQ(TextAt(nodes[3], 18, script.size() + 1), script + std::string(1, '\0'));
    EXPECT_EQ(ReadWord(nodes[5]->bytes + 4), 0xFF66);
    ExpectWellFormed();

    // Computed text on a pop-up: the run is empty, the end is 0xAA.
    Restart();
    SetCode("@Now", talix::kHotspotCodeOffset);
    ASSERT_EQ(talix::AppendButtonOrControl(talix::kHotspotPopup, talix::kCodeComputedText, "ignored", 7, nullptr,
                                           context_.get()),
              0);
    EXPECT_EQ(Shape(), "<FFAD FFA9 FF85 AA >AE ");
    nodes = Nodes();
    EXPECT_EQ(ReadDword(nodes[1]->bytes + 8), talix::kCodeComputedText + 12);
    EXPECT_EQ(nodes[2]->length, 8u);

    // An embedded control: its target, its size clamped, the sub-fonts
    // following the text font.
    Restart();
    g_messages.clear();
    ASSERT_EQ(talix::AppendButtonOrControl(talix::kHotspotControl, talix::kCodeFormula, nullptr, 0,
                                           "Target=main Height=0.1 Width=3 TextFont=Courier Scrollbars=Yes",
                                           context_.get()),
              0);
    EXPECT_EQ(Shape(), "<FFAD FF71 FFAD FFF2 FFEA FFED AE >AE ");
    nodes = Nodes();
    EXPECT_EQ(TextAt(nodes[1], 36, 4), "@Now");
    EXPECT_EQ(TextAt(nodes[3], 12, 4), "main");
    const talix::CDRecordNode* control = nodes[4];
    EXPECT_EQ(ReadWord(control->bytes + 12), 4320);
    EXPECT_EQ(ReadWord(control->bytes + 14), 240);
    EXPECT_EQ(ReadDword(control->bytes + 8), 0x4400u);
    EXPECT_EQ(ReadDword(control->bytes + 28), ReadDword(control->bytes + 16));
    EXPECT_EQ(ReadDword(control->bytes + 32), ReadDword(control->bytes + 16));
    EXPECT_EQ(g_messages, std::vector<std::string>{"TALIX: Minimum embedded control height of 0.167 used."});
    ExpectWellFormed();

    // A view control of type 34 links to the note named by its ids.
    Restart();
    ASSERT_EQ(talix::AppendButtonOrControl(talix::kHotspotLinkControl, 0, "Label", 5,
                                           "UNID=00112233445566778899AABBCCDDEEFF REPID=0123456789ABCDEF HideActionBar=no",
                                           context_.get()),
              0);
    EXPECT_EQ(Shape(), "<FFAD FF71 FFAD FFEA FFFF AE >AE ");
    nodes = Nodes();
    EXPECT_EQ(nodes[1]->length, 68u);
    EXPECT_EQ(ReadDword(nodes[1]->bytes + 28), 0x89ABCDEFu);
    EXPECT_EQ(ReadDword(nodes[1]->bytes + 52), 0x44556677u);
    EXPECT_EQ(ReadDword(nodes[4]->bytes + 4), 5u);
    EXPECT_EQ(TextAt(nodes[4], 64, 5), "Label");
    ExpectWellFormed();
}

TEST_F(HotspotBuilders, ImageMapAreas) {
    // The first area starts a map.
    ASSERT_EQ(talix::AppendImageMap("rect left=10 top=10", "TabIndex=3", context_.get()), 0);
    EXPECT_EQ(Shape(), "<FFF4 FFF4 <FFF5 FFF5 >FFF5 >FFF4 ");
    ExpectWellFormed();
    auto nodes = Nodes();
    const std::uint16_t newCounters[4] = {1, 2, 1, 1};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ReadWord(nodes[1]->bytes + 10 + 2 * i), newCounters[i]);
    const talix::CDRecordNode* area = nodes[3];
    EXPECT_EQ(area->length, 48u);
    EXPECT_EQ(ReadWord(area->bytes + 8), talix::kShapeRectangle);
    EXPECT_EQ(ReadWord(area->bytes + 10), 3);
    const std::uint32_t rectangle[4] = {10, 10, 30, 30};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ReadDword(area->bytes + 32 + 4 * i), rectangle[i]);

    // A second area: the graphic's end record is followed by that map, which
    // is written again with one more rectangle, before the new area.
    std::vector<talix::CDRecordNode> existing(nodes.size() + 1);
    std::vector<std::uint8_t> graphicEnd = {0xDE, 6, 1, 0, 0x99, 0};
    existing[0].signature = 0xDE;
    existing[0].length = 6;
    existing[0].bytes = graphicEnd.data();
    for (std::size_t i = 0; i < nodes.size(); ++i) existing[i + 1] = *nodes[i];
    for (std::size_t i = 0; i + 1 < existing.size(); ++i) existing[i].next = &existing[i + 1];
    existing.back().next = nullptr;
    talix::ItemRecordList* first = item_.work->output;
    item_.work->output = nullptr;
    context_->node = &existing[0];
    session_.workArea->hotspot.codeFlags = 1;
    SetCode("@Command([OpenView])", 0);
    ASSERT_EQ(talix::AppendImageMap("circle left=1 top=2 right=5 bottom=9", "HotspotHTMLTitle=t", context_.get()), 0);
    EXPECT_EQ(Shape(), "<FFF4 FFF4 <FFF5 FFF5 >FFF5 <FFF5 FFF5 FF7A FFF9 >FFF5 ");
    nodes = Nodes();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ReadWord(nodes[1]->bytes + 10 + 2 * i), newCounters[i] + (i == 2 ? 1 : 0));
    }
    EXPECT_EQ(std::memcmp(nodes[3]->bytes, existing[4].bytes, existing[4].length), 0);
    const std::uint32_t circle[4] = {1, 2, 5, 9};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ReadDword(nodes[6]->bytes + 32 + 4 * i), circle[i]);
    EXPECT_EQ(ReadWord(nodes[8]->bytes + 10), 1);
    EXPECT_EQ(TextAt(nodes[8], 32, 20), "@Command([OpenView])");

    // At the map's own end record only the area is written.
    Restart();
    context_->node = &existing.back();
    session_.workArea->hotspot.codeFlags = 0;
    ASSERT_EQ(talix::AppendImageMap("default", nullptr, context_.get()), 0);
    EXPECT_EQ(Shape(), "<FFF5 FFF5 >FFF5 ");
    EXPECT_EQ(Nodes()[1]->length, 32u);
    EXPECT_EQ(ReadWord(Nodes()[1]->bytes + 8), talix::kShapeDefault);
    talix::DeleteItemRecordList(&session_, first);
}

TEST(ImageMapArea, RectanglesAndPolygons) {
    RARIvoSession session;
    std::uint8_t shape[talix::kMaxShapeData] = {};
    auto rectangle = [&](const char* text) {
        EXPECT_EQ(talix::ParseImageMapArea(&session, text, shape), 16u) << text;
        std::vector<std::int32_t> values;
        for (int i = 0; i < 4; ++i) values.push_back(static_cast<std::int32_t>(ReadDword(shape + 4 * i)));
        return values;
    };
    EXPECT_EQ(rectangle(""), (std::vector<std::int32_t>{0, 0, 20, 20}));
    EXPECT_EQ(rectangle("rect left=40 width=-5"), (std::vector<std::int32_t>{40, 0, 60, 20}));
    EXPECT_EQ(rectangle("left=5 right=2 top=3 height=7"), (std::vector<std::int32_t>{-18, 3, 2, 10}));
    EXPECT_EQ(rectangle("top=50 bottom=40"), (std::vector<std::int32_t>{0, 20, 20, 40}));
    EXPECT_EQ(rectangle("left=99999999999 width=99999999999"),
              (std::vector<std::int32_t>{1000000000, 0, 2000000000, 20}));

    EXPECT_EQ(talix::ParseImageMapArea(&session, "poly NumPoints=101", shape), 0u);
    EXPECT_EQ(talix::ParseImageMapArea(&session, "poly", shape), 0u);
    ASSERT_EQ(talix::ParseImageMapArea(&session, "poly NumPoints=2 x1=4 y1=-6 y2=9", shape), 18u);
    EXPECT_EQ(ReadWord(shape), 2);
    const std::int32_t points[4] = {4, -6, 0, 9};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(static_cast<std::int32_t>(ReadDword(shape + 2 + 4 * i)), points[i]);
}

TEST_F(HotspotBuilders, BuiltRecordsAreStoredAndReadBackUnchanged) {
    talix::LinkRequest& request = chunk_.work->linkRequest;
    request.kind = talix::kLinkOnText;
    request.target = "0123456789ABCDEF";
    request.viewId = "00112233445566778899AABBCCDDEEFF";
    request.noteId = "FFEEDDCCBBAA99887766554433221100";
    request.description = "odd";
    request.hint = "Srv";
    request.anchor = "a";
    SetCode("@True", talix::kHotspotCodeOffset);
    ASSERT_EQ(talix::AppendURLHotspotWithEnd("x", 1, "http://odd", 0, context_.get()), 0);
    ASSERT_EQ(talix::AppendNotesLinkHotspotEx("Doc", 3, context_.get()), 0);
    ASSERT_EQ(talix::AppendPopupHotspot("p", "pop", "Style=None", context_.get()), 0);
    ASSERT_EQ(talix::AppendButtonOrControl(talix::kHotspotButton, talix::kCodeFormula, "B", 1, "HotspotHTMLID=i",
                                           context_.get()),
              0);
    ASSERT_EQ(talix::AppendButtonOrControl(talix::kHotspotLinkControl, 0, "L", 1, "UNID=00112233445566778899AABBCCDDEEFF",
                                           context_.get()),
              0);
    ASSERT_EQ(talix::AppendImageMap("poly NumPoints=1 x1=3 y1=4", nullptr, context_.get()), 0);
    ExpectWellFormed();

    talix_test::TempDir dir;
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbCreate(dir.file("hotspots.nsf").c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    talix_test::ExpectStoredAsBuilt(&item_, note);
    plat::NoteClose(note);
    plat::DbClose(db);
}

} // namespace
