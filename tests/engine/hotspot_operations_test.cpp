// Hotspot, section, button, image-map and field operations run on stored
// items: the property codes that read and rewrite their records, links and
// sections written round a chunk, hotspots and buttons from the calling
// method's request, image-map areas, event code of fields, the web editor,
// the text capture, and the properties of every such element of real items.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/chunk_work_state.h"
#include "core/item_work_state.h"
#include "core/operation_inputs.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "hotspot_fixture.h"
#include "support/op_runner.h"
#include "support/rich_text_items.h"
#include "support/structure_checker.h"
#include "support/test_support.h"
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
using talix::kSigAnchor;
using talix::kSigBar;
using talix::kSigBegin;
using talix::kSigButton;
using talix::kSigColor;
using talix::kSigEnd;
using talix::kSigExt2Field;
using talix::kSigExtField;
using talix::kSigField;
using talix::kSigLinkExport2;
using talix::kSigText;
using talix::kSigV4HotspotEnd;
using talix_test::FixtureRecord;
using talix_test::HostRecord;
using talix_test::Op;
using talix_test::Operation;
using talix_test::PutDword;
using talix_test::PutWord;
using talix_test::RunOperation;

constexpr std::uint16_t kPopup = 0xFFA9, kV4 = 0xFFAD, kTarget = 0xFFF2, kEvent = 0xFFF9, kPart = 0xFFDC,
                        kMap = 0xFFF4, kArea = 0xFFF5, kGraphic = 0x99;

// A record of a signature whose fixed part (fixed bytes) is followed by text,
// with the text's length at lengthWord when that is not 0.
FixtureRecord TextRecord(std::uint16_t signature, std::uint32_t fixed, std::string_view text,
                         std::size_t lengthWord = 0) {
    FixtureRecord record = HostRecord(signature, static_cast<std::uint32_t>(fixed + text.size()));
    if (lengthWord != 0) PutWord(&record, lengthWord, static_cast<std::uint16_t>(text.size()));
    std::copy(text.begin(), text.end(), record.bytes.begin() + fixed);
    return record;
}
FixtureRecord Field(std::string_view name) { return TextRecord(kSigField, 40, name, 32); }
FixtureRecord Event(std::uint16_t code) {
    FixtureRecord record = HostRecord(kEvent, 32);
    PutWord(&record, 8, code);
    PutWord(&record, 10, 4);   // JavaScript
    return record;
}
FixtureRecord Part(std::uint16_t signature, std::uint16_t owner, std::string_view text) {
    FixtureRecord record = TextRecord(signature, 18, text, 6);
    PutWord(&record, 4, owner);
    return record;
}
// A wrapped hotspot: CDBEGIN, the hotspot, its records, the end and CDEND.
void AddHotspot(Records* records, const FixtureRecord& hotspot, const Records& inside) {
    records->push_back(Bracket(kSigBegin, kV4));
    records->push_back(hotspot);
    records->insert(records->end(), inside.begin(), inside.end());
    records->push_back(HostRecord(kSigV4HotspotEnd, 2));
    records->push_back(Bracket(kSigEnd, kSigV4HotspotEnd));
}

std::string Data(const Rec& record, std::size_t offset) {
    return record.bytes.size() > offset ? std::string(record.bytes.begin() + static_cast<long>(offset),
                                                      record.bytes.end())
                                        : std::string();
}
std::string CString(const Rec& record, std::size_t offset) { return Data(record, offset).c_str(); }
const Rec* FindNth(const std::vector<Rec>& records, std::uint16_t signature, std::size_t nth = 0) {
    for (const Rec& record : records)
        if (record.signature == signature && nth-- == 0) return &record;
    return nullptr;
}
std::uint32_t Dword(const Rec& record, std::size_t offset) { return talix::ReadDword(record.bytes.data() + offset); }

class HotspotOperations : public HotspotTest {
protected:
    // Runs a reading code and gives what it left in a result place.
    std::string Read(ZervaRTChunk* chunk, talix::OperationCode code, const char* place) {
        session_.textResult[0] = '\0';
        session_.messageBuffer[0] = '\0';
        EXPECT_EQ(RunOperation(chunk, Op(code)), 0) << code;
        return place;
    }
    std::string TextResult(ZervaRTChunk* chunk, talix::OperationCode code) {
        return Read(chunk, code, session_.textResult);
    }
    std::string Scratch1(ZervaRTChunk* chunk, talix::OperationCode code) {
        return Read(chunk, code, session_.messageBuffer);
    }

    // Gives the chunk's saved-field slots buffers of their own.
    void GiveSlots(ZervaRTChunk* chunk) {
        for (int i = 0; i < talix::kSavedFieldSlots; ++i) {
            buffers_[i].assign(talix::kSavedRecordCapacity, 0);
            chunk->work->savedFields.slots[i].bytes = buffers_[i].data();
        }
    }

    // Records with one element of each kind the property codes read.
    static Records Elements() {
        Records body = Runs({"a"});
        AddHotspot(&body, Hotspot(kPopup, 1, 4, std::string("pop text\0", 9)), {Text("hot")});
        AddHotspot(&body, Hotspot(kV4, 3, 0x10, std::string("\x01\x02\x03", 3)), {Text("act")});
        AddHotspot(&body, Hotspot(kV4, 11, 0x1008, std::string("http://old/\0\0\0", 14)), {Text("url")});
        for (const FixtureRecord& record :
             {TextRecord(kSigBar, 14, std::string("First\0", 6)), TextRecord(kSigBar, 14, std::string("Second\0", 7)),
              TextRecord(kSigAnchor, 12, "here", 4), TextRecord(kSigAnchor, 12, "there", 4),
              TextRecord(kSigButton, 16, "Press"), TextRecord(kTarget, 12, "_blank", 4), Event(1),
              Part(kPart, kEvent, std::string("js()\0", 5)),
              HostRecord(0xFF66, 32), Part(0xFF65, 0xFF66, "common()"), Text("z")})
            body.push_back(record);
        return body;
    }

    std::vector<std::uint8_t> buffers_[talix::kSavedFieldSlots];
};

// Reading codes take the first record of their kind; changing codes
// rebuild the records, read back after the change.
TEST_F(HotspotOperations, PropertyCodesReadAndRewriteTheirRecords) {
    ZervaRTChunk* chunk = Open(Elements());
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(TextResult(chunk, talix::kOpGetPopupText), "pop text");   // without the data's terminator
    EXPECT_EQ(Scratch1(chunk, talix::kOpGetSectionTitle), "First");
    EXPECT_EQ(TextResult(chunk, talix::kOpGetAnchorText), "here");
    EXPECT_EQ(Scratch1(chunk, talix::kOpGetHotspotBorder), "TRUE");
    EXPECT_EQ(TextResult(chunk, talix::kOpGetActionFormula), "\x01\x02\x03");
    EXPECT_EQ(TextResult(chunk, talix::kOpGetButtonText), "Press");
    EXPECT_EQ(Scratch1(chunk, talix::kOpGetTargetFrame), "_blank");
    EXPECT_EQ(TextResult(chunk, talix::kOpGetFieldEventText), "common()");
    EXPECT_EQ(TextResult(chunk, talix::kOpGetObjectEventText), "js()");
    EXPECT_EQ(Scratch1(item_.DefineChunk("Text 1"), talix::kOpGetSectionTitle), "");   // none in the chunk

    const std::string popup = "a longer pop-up", section = "New", anchor = "top", button = "Push", url = "http://new/";
    auto set = [&](talix::OperationCode code, std::uint16_t a3, const std::string& text) {
        EXPECT_EQ(RunOperation(chunk, Op(code, 0, a3, text.c_str())), 0) << code;
    };
    set(talix::kOpSetPopupText, static_cast<std::uint16_t>(popup.size()), popup);
    set(talix::kOpSetSectionTitle, 3, section);
    set(talix::kOpSetAnchorText, 3, anchor);
    set(talix::kOpSetHotspotBorder, 0, "");   // no border
    set(talix::kOpSetButtonText, 4, button);
    set(talix::kOpSetLinkTarget, static_cast<std::uint16_t>(url.size()), url);
    Operation formula = Op(talix::kOpSetActionFormula);
    formula.textResult = std::string("\x07\x08", 2);
    EXPECT_EQ(RunOperation(chunk, formula), 0);

    EXPECT_EQ(TextResult(chunk, talix::kOpGetPopupText), popup);
    EXPECT_EQ(Scratch1(chunk, talix::kOpGetSectionTitle), section);
    EXPECT_EQ(TextResult(chunk, talix::kOpGetAnchorText), anchor);
    EXPECT_EQ(Scratch1(chunk, talix::kOpGetHotspotBorder), "FALSE");
    EXPECT_EQ(TextResult(chunk, talix::kOpGetActionFormula), "\x07\x08");
    EXPECT_EQ(TextResult(chunk, talix::kOpGetButtonText), button);
    const std::vector<Rec> records = Stored();
    const Rec* pop = FindNth(records, kPopup);
    ASSERT_NE(pop, nullptr);
    EXPECT_EQ(pop->Word(2), 16 + popup.size());
    EXPECT_EQ(Dword(*pop, 8), 4u | 8u);   // the other flags stay
    EXPECT_EQ(CString(*FindNth(records, kSigBar, 1), 14), "New");   // every title
    EXPECT_EQ(FindNth(records, kSigBar)->Word(2), 14 + 3);
    EXPECT_EQ(std::string(Data(*FindNth(records, kSigAnchor, 1), 12)), "there");   // the first anchor only
    EXPECT_EQ(Data(*FindNth(records, kV4, 1), 16).substr(0, url.size()), url);
    EXPECT_EQ(FindNth(records, kV4, 1)->Word(12), url.size());

    // The border comes back; the other flags stay as they were.
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpSetHotspotBorder, 0, 1)), 0);
    EXPECT_EQ(Dword(*FindNth(Stored(), kPopup), 8), 4u);
}

TEST_F(HotspotOperations, FrameTargetsAreRewrittenOrGivenToEachElement) {
    Records body = Runs({"a"});
    AddHotspot(&body, Hotspot(kV4, 2, 0, ""), {Text("one")});
    AddHotspot(&body, Hotspot(kV4, 2, 0, ""), {TextRecord(kTarget, 12, "old", 4), Text("two")});
    ZervaRTChunk* first = Open(body, "Hotspot 1");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(RunOperation(first, Op(talix::kOpSetTargetFrame, 0, 4, "main")), 0);
    ZervaRTChunk* second = item_.DefineChunk("Hotspot 2");
    EXPECT_EQ(RunOperation(second, Op(talix::kOpSetTargetFrame, 0, 3, "top")), 0);
    EXPECT_EQ(Scratch1(first, talix::kOpGetTargetFrame), "main");
    EXPECT_EQ(Scratch1(second, talix::kOpGetTargetFrame), "top");
    const std::vector<Rec> records = Stored();
    EXPECT_EQ(Count(records, kTarget), 2u);
    // The new target stands before the hotspot it belongs to.
    std::vector<std::uint16_t> before;
    for (std::size_t i = 1; i < records.size(); ++i)
        if (records[i].signature == kV4) before.push_back(records[i - 1].signature);
    EXPECT_EQ(before, (std::vector<std::uint16_t>{kTarget, kSigBegin}));
}

TEST_F(HotspotOperations, LinksAndSectionsAroundAChunk) {
    Records body = Runs({});
    for (const FixtureRecord& record :
         {Bracket(kSigBegin, kSigText), Text("red"), HostRecord(kSigColor, 8), Bracket(kSigEnd, kSigText)})
        body.push_back(record);
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    talix::LinkRequest request;
    request.kind = talix::kLinkOnText;
    request.target = "0123456789ABCDEF";
    chunk->work->linkRequest = request;
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpLinkAroundChunk)), 0);
    std::vector<Rec> records = Stored();
    // The chunk's text, without its colour, is the link's text.
    EXPECT_EQ(Count(records, kSigColor), 0u);
    std::vector<std::uint16_t> tail;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].signature == kSigLinkExport2)
            for (std::size_t j = i + 1; j < records.size(); ++j) tail.push_back(records[j].signature);
    EXPECT_EQ(tail, (std::vector<std::uint16_t>{kSigEnd, 0xFF82, 0x83, kSigText, kSigV4HotspotEnd, kSigEnd, kSigText}));

    // A chunk that holds the start of a coloured run but not its end: the
    // run's bracket is closed again after the link.
    body = Runs({"a"});
    for (const FixtureRecord& record :
         {Bracket(kSigBegin, kSigText), Text("red"), HostRecord(kSigColor, 8), Bracket(kSigEnd, kSigText)})
        body.push_back(record);
    chunk = Open(body, "Text 2");
    chunk->work->linkRequest = request;
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpLinkAroundChunk)), 0);
    EXPECT_EQ(Count(Stored(), kSigLinkExport2), 1u);

    // A section with a boxed bar and no title round the second text run.
    chunk = Open(Runs({"a", "b"}), "Text 2");
    Operation section = Op(talix::kOpAppendSection, 0, 0, "");
    section.options = "BorderStyle=Box";
    EXPECT_EQ(RunOperation(chunk, section), 0);
    records = Stored();
    const Rec* bar = FindNth(records, kSigBar);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Word(2), 15);
    EXPECT_EQ(Dword(*bar, 4) & 0x70000000u, 0u);
    EXPECT_NE(Dword(*bar, 4) & 0x04000000u, 0u);
    std::size_t b = 0;
    while (b < records.size() && records[b].Text() != "b") ++b;
    ASSERT_LT(b + 5, records.size());
    EXPECT_EQ(records[b + 1].signature, kSigV4HotspotEnd);
    EXPECT_EQ(records[b + 3].signature, 0x81);

    // A section round an item that starts with its text: every paragraph
    // reference it writes still names a definition given before it.
    chunk = Open(Runs({"x"}), "Everything");
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, section), 0);
    EXPECT_EQ(talix_test::CheckStructure(chunk->item->work->current), "");
}

TEST_F(HotspotOperations, ButtonsAreWrittenFromTheRequestWithTheirWidthsClamped) {
    const struct {
        const char* options;
        std::uint16_t width;
        const char* message;
        std::uint16_t fit;
    } cases[] = {{"ButtonWidth=0.1", 360, "TALIX: Minimum button width of 0.25 used.", 0},
                 {"ButtonWidth=30", 32760, "TALIX: Maximum button width of 22.75 used.", 0},
                 {"ButtonFit=minimum", 2880, nullptr, 0x400}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.options);
        ZervaRTChunk* chunk = Open(Runs({"a"}));
        ASSERT_NE(chunk, nullptr);
        session_.workArea->hotspot = {3, 0x10, 4};   // a button with a formula of 4 bytes
        messages.clear();
        Operation button = Op(talix::kOpAppendHotspot);
        button.argument = each.options;
        button.second = "Press";
        button.a5 = 5;
        button.textResult = std::string(16, ' ') + "code";
        EXPECT_EQ(RunOperation(chunk, button), 0);
        const std::vector<Rec> records = Stored();
        const Rec* hotspot = FindNth(records, kV4);
        ASSERT_NE(hotspot, nullptr);
        EXPECT_EQ(hotspot->Word(4), 3);
        EXPECT_EQ(Data(*hotspot, 16).substr(0, 4), "code");
        const Rec* record = FindNth(records, kSigButton);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->Word(6), each.width);
        EXPECT_EQ(record->Word(4) & 0x400, each.fit);
        EXPECT_EQ(Data(*record, 16).substr(0, 5), "Press");
        EXPECT_EQ(messages, each.message != nullptr ? std::vector<std::string>{each.message}
                                                    : std::vector<std::string>{});
    }
}

TEST_F(HotspotOperations, ImageAreasStartAMapAfterTheGraphicThenJoinIt) {
    Records body = Runs({"a"});
    for (const FixtureRecord& record : {Bracket(kSigBegin, kGraphic), HostRecord(kGraphic, 32), HostRecord(0x7D, 32),
                                        Bracket(kSigEnd, kGraphic), Text("after")})
        body.push_back(record);
    ZervaRTChunk* chunk = Open(body, "Graphic 1");
    ASSERT_NE(chunk, nullptr);
    Operation area = Op(talix::kOpAppendImageArea, 0, 0, "rect left=10 top=10");
    EXPECT_EQ(RunOperation(chunk, area), 0);
    std::vector<Rec> records = Stored();
    ASSERT_EQ(Count(records, kMap), 1u);
    const Rec* map = FindNth(records, kMap);
    EXPECT_EQ(map->Word(12), 2);   // rectangles
    EXPECT_EQ(map->Word(14), 1);   // circles
    const Rec* rectangle = FindNth(records, kArea);
    ASSERT_NE(rectangle, nullptr);
    EXPECT_EQ(rectangle->Word(8), 1);
    EXPECT_EQ(Dword(*rectangle, 32), 10u);
    EXPECT_EQ(Dword(*rectangle, 36), 10u);
    EXPECT_EQ(Dword(*rectangle, 40), 30u);
    EXPECT_EQ(Dword(*rectangle, 44), 30u);

    // A second area goes into the same map, whose circle counter rises.
    area.argument = "circle left=0 top=0 width=5 height=5";
    EXPECT_EQ(RunOperation(item_.DefineChunk("Graphic 1"), area), 0);
    records = Stored();
    ASSERT_EQ(Count(records, kMap), 1u);
    EXPECT_EQ(Count(records, kArea), 2u);
    EXPECT_EQ(FindNth(records, kMap)->Word(12), 2);
    EXPECT_EQ(FindNth(records, kMap)->Word(14), 2);
    EXPECT_EQ(FindNth(records, kArea, 1)->Word(8), 2);
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a", "after"}));
}

TEST_F(HotspotOperations, FieldsGetFreeNamesAndTheirEventCodeIsRewritten) {
    ZervaRTChunk* chunk = Open(Runs({"a"}));
    ASSERT_NE(chunk, nullptr);
    ASSERT_EQ(plat::ItemSetText(item_.noteHandle, "Total1", "x", 1), 0);
    GiveSlots(chunk);
    const FixtureRecord field = Field("Total1");
    talix::SavedRecord& slot = chunk->work->savedFields.slots[talix::kSavedField];
    std::memcpy(slot.bytes, field.bytes.data(), field.bytes.size());
    slot.signature = kSigField;
    slot.length = static_cast<std::uint32_t>(field.bytes.size());
    talix::EventTexts& events = chunk->work->eventTexts;
    events.count = 2;
    events.texts[0] = "LotusScript:Entering:Print 1";
    events.texts[1] = "Javascript:OnClick:code()";
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpAppendEventCode)), 0);

    std::vector<Rec> records = Stored();
    ASSERT_NE(FindNth(records, kSigField), nullptr);
    EXPECT_EQ(Data(*FindNth(records, kSigField), 40).substr(0, 8), "Total1_1");
    ASSERT_NE(FindNth(records, kEvent), nullptr);
    EXPECT_EQ(FindNth(records, kEvent)->Word(8), 1);
    EXPECT_EQ(CString(*FindNth(records, kPart), 18), "code()");
    char text[4096] = {};
    plat::WORD length = 0;
    bool listed = false;
    for (plat::WORD i = 0; i < plat::ItemTextListCount(item_.noteHandle, "$Fields"); ++i)
        if (plat::ItemTextListEntry(item_.noteHandle, "$Fields", i, text, sizeof text, &length))
            listed = listed || std::string(text, length) == "Total1_1";
    EXPECT_TRUE(listed);
    ASSERT_GT(plat::ItemGetText(item_.noteHandle, "$$Total1_1", text, sizeof text), 0);
    EXPECT_EQ(std::string(text).rfind("'++LotusScript Development Environment:2:5:(Options):0:66", 0), 0u);
    EXPECT_NE(std::string(text).find("Sub Entering(Source As Field)\nPrint 1\nEnd Sub"), std::string::npos);

    // Rewriting: the field named "Total" gets the new JavaScript, its old one
    // is handed back; the other field keeps everything.
    Records body = Runs({"a"});
    for (const char* name : {"Total", "Other"}) {
        const std::string code = std::string(name) + "()";
        for (const FixtureRecord& record :
             {Bracket(kSigBegin, kSigExt2Field), HostRecord(kSigExt2Field, 88), Field(name), Event(1),
              Part(kPart, kEvent, code + std::string(1, '\0')), HostRecord(0xFF5F, 16), Bracket(kSigEnd, kSigExt2Field),
              Text("")})
            body.push_back(record);
    }
    chunk = Open(body);
    GiveSlots(chunk);
    chunk->work->eventTexts.count = 1;
    chunk->work->eventTexts.texts[0] = "Javascript:OnClick:fresh()";
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpSetEventCode, 0, 0, "total")), 0);
    EXPECT_EQ(std::string(session_.textResult), "JavaScript:OnClick:Total()");
    records = Stored();
    EXPECT_EQ(CString(*FindNth(records, kPart, 0), 18), "fresh()");
    EXPECT_EQ(CString(*FindNth(records, kPart, 1), 18), "Other()");
    EXPECT_EQ(Count(records, kPart), 2u);
    EXPECT_EQ(Count(records, kSigExt2Field), 2u);
    EXPECT_EQ(Count(records, 0xFF5F), 2u);
    EXPECT_EQ(CString(*FindNth(records, kSigField, 0), 40), "Total");
}

TEST_F(HotspotOperations, WebEditorRenamesMarkedFieldsAndCaptureKeepsTheLastMatch) {
    Records body = Runs({"one key1", "two key2"});
    FixtureRecord marked = HostRecord(kSigExtField, 20);
    PutDword(&marked, 8, 0x10040);
    for (const FixtureRecord& record : {marked, Field("Body2"), HostRecord(kSigExtField, 20), Field("Plain"), Text("")})
        body.push_back(record);
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);

    Operation capture = Op(talix::kOpCaptureText, 0, 4);
    capture.second = "key";
    EXPECT_EQ(RunOperation(chunk, capture), 0);
    EXPECT_STREQ(session_.messageBuffer, "key2");

    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpUseWebEditor, 1)), 0);
    EXPECT_STREQ(session_.messageBuffer, "Body2_QVE");
    EXPECT_TRUE(plat::ItemIsPresent(item_.noteHandle, "$HTMLCode", 9));
    EXPECT_TRUE(plat::ItemIsPresent(item_.noteHandle, "$HTMLHeadTag", 12));
    const std::vector<Rec> records = Stored();
    EXPECT_EQ(Dword(*FindNth(records, kSigExtField), 8), 0u);
    EXPECT_EQ(FindNth(records, kSigField)->Word(32), 9);
    EXPECT_EQ(Data(*FindNth(records, kSigField), 40), "Body2_QVE");
    EXPECT_EQ(Data(*FindNth(records, kSigField, 1), 40), "Plain");
}

// Every hotspot, button, section, field and link of the exported items is
// found by its chunk type and its properties read without a failure.
TEST(HotspotRealData, EveryElementIsFoundAndItsPropertiesRead) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    std::vector<talix_test::NoteItem> items;
    const auto files = talix_test::SampleAndSharedDxlFiles();
    ASSERT_EQ(talix_test::ImportRichTextItems(path, files, /*withImageData=*/true, &items), plat::NOERROR);

    const struct {
        const char* type;
        std::vector<talix::OperationCode> codes;
    } kinds[] = {
        {"Hotspot", {talix::kOpGetPopupText, talix::kOpGetHotspotBorder, talix::kOpGetActionFormula,
                     talix::kOpGetTargetFrame}},
        {"Button", {talix::kOpGetButtonText, talix::kOpGetActionFormula}},
        {"Section", {talix::kOpGetSectionTitle}},
        {"Field", {talix::kOpGetFieldEventText, talix::kOpGetObjectEventText}},
        {"Anchor", {talix::kOpGetAnchorText}},
        {"Doclink", {talix::kOpGetLinkProperty}},
    };
    std::size_t found[std::size(kinds)] = {};
    std::size_t buttons = 0;   // button records the items hold outside layout regions
    RARIvoSession session;
    for (const auto& [id, name] : items) {
        SCOPED_TRACE("note " + std::to_string(id) + " item " + name);
        ZervaRTItem item(&session);
        item.Connect("", path.c_str(), id, name.c_str(), 0);
        talix::STATUS status = 0;
        talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
        // A button of a layout region is the region's, not a chunk's.
        bool inLayout = false;
        for (const talix::CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr;
             node = node->next) {
            if (node->signature == talix::kSigLayout || node->signature == talix::kSigLayoutEnd)
                inLayout = node->signature == talix::kSigLayout;
            buttons += node->signature == talix::kSigButton && !inLayout ? 1 : 0;
        }
        talix::DeleteItemRecordList(&session, list);
        for (std::size_t k = 0; k < std::size(kinds); ++k) {
            for (int n = 1; n < 100; ++n) {
                std::unique_ptr<ZervaRTChunk> chunk(
                    item.DefineChunk((std::string(kinds[k].type) + " " + std::to_string(n)).c_str()));
                ASSERT_NE(chunk, nullptr);
                if (chunk->Exists() == 0) break;
                ++found[k];
                for (talix::OperationCode code : kinds[k].codes) {
                    session.textResultLength = 0;
                    EXPECT_EQ(RunOperation(chunk.get(), Op(code, 2340)), 0);
                    // Every button of these items has a label.
                    if (code == talix::kOpGetButtonText) EXPECT_GT(session.textResultLength, 0);
                }
            }
        }
    }
    // The project's own samples hold hotspots and fields; buttons are found
    // where the records hold some.
    EXPECT_GT(found[0], 0u);   // hotspots
    EXPECT_GT(found[3], 0u);   // fields
    EXPECT_EQ(found[1] > 0, buttons > 0) << found[1] << " of " << buttons << " buttons";
}

} // namespace
