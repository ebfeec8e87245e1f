// Fields with event code and section openings: the records read back from
// the output record list, and what the field builder writes into the note.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "builders/append_gate.h"
#include "builders/built_records.h"
#include "builders/field_builder.h"
#include "builders/hotspot_builders.h"
#include "builders/section_builders.h"
#include "core/chunk_work_state.h"
#include "core/font_spec.h"
#include "core/item_work_state.h"
#include "core/operation_inputs.h"
#include "core/paragraph_def.h"
#include "core/record_forms.h"
#include "core/session_work_area.h"
#include "engine/record_process.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix::ReadDword;
using talix::ReadWord;
using talix::WriteWord;

class BuilderRun : public ::testing::Test {
protected:
    BuilderRun() : context_(talix_test::OutputContext(&session_, &item_, &chunk_)) {
        EXPECT_EQ(plat::DbCreate(dir_.file("fields.nsf").c_str(), &db_), plat::NOERROR);
        EXPECT_EQ(plat::NoteCreate(db_, &note_), plat::NOERROR);
        context_->note = note_;
    }
    ~BuilderRun() override {
        Restart();
        session_.workArea->runningOptions = nullptr;
        plat::NoteClose(note_);
        plat::DbClose(db_);
    }
    void Restart() { talix_test::FreeOutput(&item_); }
    std::vector<const talix::CDRecordNode*> Nodes() const { return talix_test::ListNodes(item_.work->output); }
    std::string Shape() const { return talix_test::ListShape(item_.work->output); }
    std::string ItemText(const char* name) {
        char text[4096] = {};
        plat::ItemGetText(note_, name, text, sizeof text);
        return text;
    }

    talix_test::TempDir dir_;
    plat::DBHANDLE db_ = 0;
    plat::NOTEHANDLE note_ = 0;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    ZervaRTChunk chunk_{&session_, &item_};
    std::unique_ptr<talix::RecordProcessContext> context_;
};

// ---- Fields -------------------------------------------------------------

class FieldBuilder : public BuilderRun {
protected:
    FieldBuilder() {
        for (int i = 0; i < talix::kSavedFieldSlots; ++i) {
            buffers_[i].assign(talix::kSavedRecordCapacity, 0);
            chunk_.work->savedFields.slots[i].bytes = buffers_[i].data();
        }
    }
    // A saved field record: the name, then a description and text values.
    void SaveField(const std::string& name) {
        talix::SavedRecord& field = chunk_.work->savedFields.slots[talix::kSavedField];
        const std::string tail = "Desc" + std::string("tv");
        const std::uint32_t length = 40 + static_cast<std::uint32_t>(name.size() + tail.size());
        std::memset(field.bytes, 0, 64);
        WriteWord(field.bytes, 0xFF8A);
        WriteWord(field.bytes + 2, static_cast<std::uint16_t>(length));
        WriteWord(field.bytes + 32, static_cast<std::uint16_t>(name.size()));
        WriteWord(field.bytes + 34, 4);
        WriteWord(field.bytes + 36, 2);
        std::memcpy(field.bytes + 40, name.data(), name.size());
        std::memcpy(field.bytes + 40 + name.size(), tail.data(), tail.size());
        field.signature = 0xFF8A;
        field.length = length;
    }
    void Save(int slot, std::uint16_t signature, std::uint32_t length) {
        talix::SavedRecord& record = chunk_.work->savedFields.slots[slot];
        WriteWord(record.bytes, signature);
        WriteWord(record.bytes + 2, static_cast<std::uint16_t>(length));
        record.signature = signature;
        record.length = length;
    }
    void Events(std::vector<const char*> texts) {
        talix::EventTexts& events = chunk_.work->eventTexts;
        events = talix::EventTexts{};
        for (const char* text : texts) events.texts[events.count++] = text;
    }
    std::string Name(const talix::CDRecordNode* field) {
        return std::string(reinterpret_cast<const char*>(field->bytes + 40), ReadWord(field->bytes + 32));
    }

    std::vector<std::uint8_t> buffers_[talix::kSavedFieldSlots];
};

TEST_F(FieldBuilder, ExistingNameIsMadeFreeAndEventsAreWritten) {
    ASSERT_EQ(plat::ItemSetText(note_, "Total1", "x", 1), plat::NOERROR);
    SaveField("Total1");
    Save(talix::kSavedExtField, 0xFFB0, 20);
    Save(talix::kSavedIdName, 0xFF7A, 27);
    Events({"LotusScript:Entering:Print \"in\"", "javascript:OnClick:alert(1)"});
    ASSERT_EQ(talix::AppendEventCode(nullptr, "", 1, "Add", context_.get()), 0);
    EXPECT_EQ(Shape(), "<FF8A FFB0 FF8A FFF9 FFDC FF7A >FF8A FF85 ");
    EXPECT_EQ(talix_test::BuiltRecordProblem(item_.work->output), "");
    const auto nodes = Nodes();

    // The field carries its new name; the description and values follow it.
    const talix::CDRecordNode* field = nodes[2];
    EXPECT_EQ(Name(field), "Total1_1");
    EXPECT_EQ(ReadWord(field->bytes + 2), 40 + 8 + 6);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(field->bytes + 48), 6), "Desctv");
    EXPECT_EQ(field->bytes[20], 1);    // the template's font: face 1, size 10
    EXPECT_EQ(field->bytes[23], 10);
    EXPECT_TRUE(plat::ItemIsPresent(note_, "Total1_1", 8));
    char entry[64] = {};
    plat::WORD entryLength = 0;
    ASSERT_EQ(plat::ItemTextListCount(note_, "$Fields"), 1);
    ASSERT_TRUE(plat::ItemTextListEntry(note_, "$Fields", 0, entry, sizeof entry, &entryLength));
    EXPECT_STREQ(entry, "Total1_1");

    EXPECT_EQ(ItemText("$$Total1_1"),
              "'++LotusScript Development Environment:2:5:(Options):0:66\n"
              "\n"
              "'++LotusScript Development Environment:2:5:(Forward):0:1\n"
              "Declare Sub Entering(Source As Field)\n"
              "\n"
              "'++LotusScript Development Environment:2:5:(Declarations):0:2\n"
              "\n"
              "'++LotusScript Development Environment:2:2:BindEvents:1:129\n"
              "Private Sub BindEvents(Byval Objectname_ As String)\n"
              "  Static Source As FIELD\n"
              "  Set Source = Bind(Objectname_)\n"
              "  On Event Entering From Source Call Entering\n"
              "End Sub\n"
              "\n"
              "'++LotusScript Development Environment:2:2:Entering:1:12\n"
              "Sub Entering(Source As Field)\n"
              "Print \"in\"\n"
              "End Sub");

    // The JavaScript event: code 1, the code terminated and padded.
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 8), 1);
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 10), 4);
    EXPECT_EQ(ReadDword(nodes[3]->bytes + 12), 9u);
    EXPECT_EQ(ReadWord(nodes[4]->bytes + 4), 0xFFF9);
    EXPECT_EQ(ReadWord(nodes[4]->bytes + 6), 10);
    EXPECT_EQ(ReadWord(nodes[4]->bytes + 8), 16000);
    EXPECT_EQ(nodes[4]->length, 28u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(nodes[4]->bytes + 18), 10), std::string("alert(1)\0\0", 10));
    // The id/name record takes the even length.
    EXPECT_EQ(ReadWord(nodes[5]->bytes + 2), 28);
    // The saved records were used up.
    for (const talix::SavedRecord& slot : chunk_.work->savedFields.slots) EXPECT_EQ(slot.length, 0u);
}

TEST_F(FieldBuilder, NamesScriptsAndEventFailures) {
    // "Total" becomes "Total1"; only the Exiting event, whose code declares
    // its own procedure; an unknown event is reported while the others are
    // written and the id/name record is left out.
    ASSERT_EQ(plat::ItemSetText(note_, "Total", "x", 1), plat::NOERROR);
    SaveField("Total");
    Save(talix::kSavedIdName, 0xFF7A, 26);
    Events({"LotusScript:Exiting:Sub Exiting(Source As Field)\nEnd Sub", "Javascript:OnHover:x()",
            "JAVASCRIPT:onblur=y()"});
    EXPECT_EQ(talix::AppendEventCode(nullptr, nullptr, 0, "Add", context_.get()), talix::kOperationFailed);
    EXPECT_EQ(Shape(), "FF8A FFF9 FFDC ");
    EXPECT_EQ(Name(Nodes()[0]), "Total1");
    EXPECT_EQ(ReadWord(Nodes()[1]->bytes + 8), 12);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Nodes()[2]->bytes + 18)), "y()");
    const std::string script = ItemText("$$Total1");
    EXPECT_NE(script.find("Declare Sub Entering(Source As Field)\n"), std::string::npos);
    EXPECT_EQ(script.find("On Event Entering"), std::string::npos);
    EXPECT_NE(script.find("  On Event Exiting From Source Call Exiting\nEnd Sub\n"), std::string::npos);
    const std::string ending = "Exiting:1:12\nSub Exiting(Source As Field)\nEnd Sub";
    EXPECT_EQ(script.substr(script.size() - ending.size()), ending);

    // "Modify" keeps the field's own name, whatever name is given.
    Restart();
    SaveField("Keep");
    ASSERT_EQ(plat::ItemSetText(note_, "Keep", "x", 1), plat::NOERROR);
    Events({});
    ASSERT_EQ(talix::AppendEventCode("Other", nullptr, 0, "Modify", context_.get()), 0);
    EXPECT_EQ(Name(Nodes()[0]), "Keep");
    EXPECT_FALSE(plat::ItemIsPresent(note_, "Other", 5));
    EXPECT_EQ(plat::ItemTextListCount(note_, "$Fields"), 1);

    // A given name is cut to 63 characters.
    Restart();
    SaveField("Short");
    const std::string longName(70, 'n');
    ASSERT_EQ(talix::AppendEventCode(longName.c_str(), nullptr, 0, "Add", context_.get()), 0);
    EXPECT_EQ(Name(Nodes()[0]), std::string(63, 'n'));

    // Source too long for its buffer is not written in part; the field is.
    Restart();
    SaveField("Big");
    const std::string code = "LotusScript:Entering:" + std::string(5000, 'x');
    Events({code.c_str()});
    EXPECT_EQ(talix::AppendEventCode(nullptr, nullptr, 0, "Add", context_.get()), talix::kArgumentError);
    EXPECT_EQ(Shape(), "FF8A ");
    EXPECT_FALSE(plat::ItemIsPresent(note_, "$$Big", 5));

    // No field saved: refused.
    Restart();
    EXPECT_EQ(talix::AppendEventCode("F", nullptr, 1, "Add", context_.get()), talix::kArgumentError);
    EXPECT_TRUE(Nodes().empty());
}

TEST_F(FieldBuilder, NoFreeNameLeftFails) {
    ASSERT_EQ(plat::ItemSetText(note_, "F", "x", 1), plat::NOERROR);
    char name[16];
    for (int number = 1; number <= 9999; ++number) {
        std::snprintf(name, sizeof name, "F%d", number);
        ASSERT_EQ(plat::ItemSetText(note_, name, "x", 1), plat::NOERROR);
    }
    SaveField("F");
    EXPECT_EQ(talix::AppendEventCode(nullptr, nullptr, 1, "Add", context_.get()), talix::kOperationFailed);
    EXPECT_TRUE(Nodes().empty());
    EXPECT_EQ(plat::ItemTextListCount(note_, "$Fields"), 0);
}

// ---- Sections -------------------------------------------------------------

class SectionBuilder : public BuilderRun {
protected:
    SectionBuilder() {
        talix::CDPABDEFEXT definition;
        definition.length = 72;
        definition.pabId = 1;
        definition.leftMargin = 1440;
        definition.firstLineLeftMargin = 1440;
        definition.tab[0] = 720;
        std::memcpy(context_->paragraphDefinition, &definition, sizeof definition);
        context_->paragraphDefinitionLength = 72;
    }
    // Opens a section with the options, the current definition in front.
    talix::STATUS Open(const char* title, const char* options) {
        Restart();
        EXPECT_EQ(talix::AppendRecord(context_->paragraphDefinition, 0xFF82, 72, &context_->output), 0);
        context_->argumentText = title;
        session_.workArea->runningOptions = options;
        return talix::AppendSectionRecords(context_.get());
    }
    // The problem of the records once the caller has closed the section's
    // hotspot, as the executor at the chunk's end does.
    std::string ClosedProblem() {
        EXPECT_EQ(talix::AppendHotspotEnd(context_.get(), 0xAE), 0);
        return talix_test::BuiltRecordProblem(item_.work->output);
    }
    const talix::CDRecordNode* Bar() const {
        for (const talix::CDRecordNode* node : Nodes())
            if (node->signature == 0xFFAC) return node;
        return nullptr;
    }
};

TEST_F(SectionBuilder, BarFlagsFollowTheOptions) {
    ASSERT_EQ(Open("", "BorderStyle=Box"), 0);
    EXPECT_EQ(Shape(), "FF82 81 83 FF85 <FFAD FFAD <FFAC FFAC D2 >FFAC FF85 81 83 ");
    const auto nodes = Nodes();
    // The section hotspot is handed over as the signature its bytes carry.
    EXPECT_EQ(ReadWord(nodes[5]->bytes), 0xFFAD);
    EXPECT_EQ(ReadWord(nodes[5]->bytes + 4), 12);
    EXPECT_EQ(ReadDword(nodes[5]->bytes + 8), 8u);
    EXPECT_EQ(ReadWord(Bar()->bytes + 2), 15);
    EXPECT_EQ(ReadDword(Bar()->bytes + 4), 0x04000000u);
    EXPECT_EQ(ReadWord(nodes[2]->bytes + 2), 1);
    EXPECT_EQ(ReadWord(nodes.back()->bytes + 2), 1);
    EXPECT_EQ(ClosedProblem(), "");

    struct Case {
        const char* options;
        std::uint32_t flags;
    };
    const Case cases[] = {
        {nullptr, 0x14000000},
        {"BorderStyle=Fancy Expanded=No", 0x14000000},
        {"BorderStyle=double ExpandReading=Auto-Collapse ExpandPrinting=auto-expand EditorsOnly=yes", 0x34000181},
        {"BorderStyle=TwoLine Expanded=Yes BorderInvisible=Yes PreviewOnly=Yes TitleHiddenExpanded=Yes", 0x54005006},
        {"BorderStyle=WindowCaption ExpandPreview=Auto-Expand ExpandEditing=Auto-Collapse", 0x64000420},
        {"BorderStyle=Gradient", 0x74000000},
    };
    for (const Case& each : cases) {
        ASSERT_EQ(Open("T", each.options), 0);
        EXPECT_EQ(ReadDword(Bar()->bytes + 4), each.flags) << (each.options ? each.options : "(none)");
    }
}

TEST_F(SectionBuilder, TitleFontTabsAndPostReply) {
    ASSERT_EQ(talix::ParseFontSpec("RED +BOLD", nullptr, &item_, &context_->font, nullptr, &context_->fontMask,
                                   nullptr),
              0);
    ASSERT_EQ(Open("Tabbed", "BorderStyle=diagtab"), 0);
    EXPECT_EQ(Shape(), "FF82 81 83 FF85 <FFAD FFAD <FFAC FFAC 62 D2 >FFAC FF85 81 83 ");
    const talix::CDRecordNode* bar = Bar();
    EXPECT_EQ(ReadDword(bar->bytes + 4), 0x74000000u);
    EXPECT_EQ(bar->bytes[9] & talix::kAttrBold, talix::kAttrBold);
    EXPECT_EQ(bar->bytes[10], 2);
    EXPECT_EQ(ReadWord(bar->bytes + 12), 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bar->bytes + 14)), "Tabbed");
    EXPECT_EQ(ReadWord(Nodes()[8]->bytes + 12), 2);

    // A reply section: its title paragraph has a definition of its own.
    ASSERT_EQ(Open("Re: x", "BorderStyle=PostReply"), 0);
    EXPECT_EQ(Shape(), "FF82 81 FF82 83 FF85 <FFAD FFAD <FFAC FFAC 62 D2 >FFAC FF85 81 83 ");
    const auto nodes = Nodes();
    const std::uint16_t titleId = ReadWord(nodes[2]->bytes + 4);
    EXPECT_GT(titleId, 1);
    EXPECT_EQ(nodes[2]->length, 92u);
    EXPECT_EQ(ReadWord(nodes[2]->bytes + 6), 0);   // left-justified
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 2), titleId);
    EXPECT_EQ(ReadDword(Bar()->bytes + 4), 0x04008010u);
    EXPECT_EQ(ReadWord(nodes[9]->bytes + 12), 19);
    EXPECT_EQ(ReadWord(nodes.back()->bytes + 2), 1);
    EXPECT_EQ(ClosedProblem(), "");

    // Standing on a record that is not text, one more empty run follows.
    talix::CDRecordNode table{};
    table.signature = 0xA3;
    context_->node = &table;
    ASSERT_EQ(Open("t", nullptr), 0);
    EXPECT_EQ(Nodes().back()->signature, 0xFF85);
    context_->node = nullptr;
}

} // namespace
