// Every operation that runs at a chunk's start or end and every property
// code that runs inside a chunk has its executors: each runs once on a small
// item, given what its chunk method would give it, without being refused,
// and leaves a sound item. The attachment operations that are not built are
// refused and change nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/chunk_work_state.h"
#include "core/session_work_area.h"
#include "edit_fixture.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "support/op_runner.h"
#include "support/record_fixture.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace {

using talix_test::Op;
using talix_test::Operation;

// The rows of the executors at a chunk's start and end.
const talix::OperationCode kStartEndOperations[] = {
    talix::kOpQuery, talix::kOpPositionList, talix::kOpAppendAnchor, talix::kOpAppendNewLines, talix::kOpAppendTabs,
    talix::kOpAppendPageBreak, talix::kOpAppendParagraph, talix::kOpAppendText, talix::kOpAppendFileAttachment,
    talix::kOpAppendImportFile, talix::kOpAppendHtml, talix::kOpAppendLink, talix::kOpAppendHotspot,
    talix::kOpAppendLayer, talix::kOpAppendTable, talix::kOpAppendTableOfRequest, talix::kOpAppendEventCode,
    talix::kOpAppendGraphic, talix::kOpAppendGraphicReference, talix::kOpAppendRow, talix::kOpAppendRichTextChunk,
    talix::kOpAppendRichTextItem, talix::kOpAppendSubformBody, talix::kOpAppendFormBody, talix::kOpAppendPageBody,
    talix::kOpReorderRows, talix::kOpReorderRowsAsKeyed, talix::kOpLinkAroundChunk, talix::kOpLinkWithText,
    talix::kOpAppendSection, talix::kOpRemove, talix::kOpColorCells, talix::kOpSetRowLabel,
    talix::kOpSetHtmlAttribute, talix::kOpAppendImageArea, talix::kOpGenerate, talix::kOpSetTargetProperties,
    talix::kOpChangeParagraph, talix::kOpSetHideFormula, talix::kOpInPassThroughHtml, talix::kOpSetPassThroughHtml,
    talix::kOpGetMarginRange, talix::kOpClearLinkMark, talix::kOpFirstRecordType, talix::kOpCellIsMerged,
    talix::kOpCellColumn, talix::kOpCellRow, talix::kOpInsideHotspot,
};
// The property codes inside a chunk.
const talix::OperationCode kPropertyCodes[] = {
    talix::kOpQuery, talix::kOpPositionList, talix::kOpGetPopupText, talix::kOpSetPopupText,
    talix::kOpGetSectionTitle, talix::kOpSetSectionTitle, talix::kOpCollectSortKeys, talix::kOpGetFileName,
    talix::kOpGetFontProperties, talix::kOpGetParagraphStyle, talix::kOpGetAnchorText, talix::kOpSetAnchorText,
    talix::kOpGetHotspotBorder, talix::kOpSetHotspotBorder, talix::kOpGetActionFormula, talix::kOpSetActionFormula,
    talix::kOpGetButtonText, talix::kOpSetButtonText, talix::kOpGetHideFormula, talix::kOpSetHideFormula,
    talix::kOpGetParagraphId, talix::kOpGetStyleName, talix::kOpGetGraphicHeight, talix::kOpSetGraphicHeight,
    talix::kOpGetGraphicWidth, talix::kOpSetGraphicWidth, talix::kOpGetTableFitToWindow,
    talix::kOpSetTableFitToWindow, talix::kOpGetCellMargins, talix::kOpGetMarginRange, talix::kOpGetCellColor,
    talix::kOpGetImageInPixels, talix::kOpSetImageInPixels, talix::kOpGetRowLabel, talix::kOpSetRowLabel,
    talix::kOpGetTargetFrame, talix::kOpSetTargetFrame, talix::kOpSetPassThroughHtml, talix::kOpGetGraphicFormat,
    talix::kOpGetGraphicOffset, talix::kOpGetGraphicRatio, talix::kOpGetGraphicUnit, talix::kOpSetLinkTarget,
    talix::kOpGetGraphicName, talix::kOpGetFieldEventText, talix::kOpGetObjectEventText,
    talix::kOpFindHotspotAttachment, talix::kOpGetAttachmentSizes, talix::kOpGetGraphicStorage,
    talix::kOpSetGraphicStorage, talix::kOpExpandParagraphDefinitions, talix::kOpGetObjectSizes,
    talix::kOpContainsSomething, talix::kOpContainsText,
};

class EveryOperation : public engine_test::EditTest {
protected:
    // What the chunk method of the code would hand the engine.
    Operation Inputs(talix::OperationCode code, ZervaRTChunk* chunk) {
        talix::SessionWorkArea* area = session_.workArea;
        Operation operation = Op(code);
        switch (code) {
        case talix::kOpAppendFileAttachment: operation.argument = file_.c_str(); break;
        case talix::kOpAppendImportFile: operation.argument = file_.c_str(); operation.second = "Zerva.txt"; break;
        case talix::kOpAppendHtml: operation.op2 = 2; break;   // the URL kind, which appends nothing
        case talix::kOpAppendLink:
        case talix::kOpLinkAroundChunk:
        case talix::kOpLinkWithText:
            chunk->work->linkRequest.kind = talix::kLinkURL;
            chunk->work->linkRequest.target = "http://example.org/";
            operation.argument = "Site";
            break;
        case talix::kOpAppendTable:
        case talix::kOpAppendTableOfRequest:
            area->table.tableWidth = 2880;
            area->table.columnWidths[0] = area->table.columnWidths[1] = 1440;
            operation = Op(code, 2, 1, "");
            break;
        case talix::kOpAppendEventCode: {
            // The field whose event code is added, as the field methods keep it.
            talix_test::FixtureRecord field = talix_test::HostRecord(0xFF8A, 40 + 5);
            talix_test::PutWord(&field, 32, 5);
            std::memcpy(field.bytes.data() + 40, "Total", 5);
            for (int i = 0; i < talix::kSavedFieldSlots; ++i) {
                slots_[i].assign(talix::kSavedRecordCapacity, 0);
                chunk->work->savedFields.slots[i].bytes = slots_[i].data();
            }
            talix::SavedRecord& slot = chunk->work->savedFields.slots[talix::kSavedField];
            std::memcpy(slot.bytes, field.bytes.data(), field.bytes.size());
            slot.signature = 0xFF8A;
            slot.length = static_cast<std::uint32_t>(field.bytes.size());
            break;
        }
        case talix::kOpAppendGraphic: operation = Op(code, 2, 0, "http://example.org/a.gif"); break;
        case talix::kOpAppendGraphicReference: operation = Op(code, 3, 19, "logo.gif"); break;
        case talix::kOpAppendRow: {
            // A copy of the first row of the first table, located first.
            ZervaRTChunk* row = item_.DefineChunk("Table 1; Row 1");
            talix_test::RunOperation(row, Op(talix::kOpQuery, 0));
            delete row;
            operation = Op(code, area->foundFirstRecord, area->foundLastRecord);
            break;
        }
        case talix::kOpAppendRichTextItem:
            area->copy.sourceNote = item_.noteHandle;
            area->copy.sourceItemName = "Body";
            operation.argument = "Body";
            break;
        case talix::kOpAppendSubformBody:
        case talix::kOpAppendFormBody:
        case talix::kOpAppendPageBody: operation.argument = designName_.c_str(); break;
        default: break;
        }
        return operation;
    }

    std::uint16_t RunOnce(talix::OperationCode code) {
        ZervaRTChunk* chunk = item_.DefineChunk("Table 1");
        if (chunk == nullptr) return 0xFFFF;
        const Operation operation = Inputs(code, chunk);
        std::uint16_t status = 0;
        if (code == talix::kOpAppendRichTextChunk) {
            ZervaRTChunk* source = item_.DefineChunk("Table 2");
            talix_test::RunOperation(source, Op(talix::kOpQuery, 0));
            status = talix::PerformChunkAction(chunk, 0, nullptr, code, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                               nullptr, source);
            delete source;
        } else {
            status = talix_test::RunOperation(chunk, operation);
        }
        session_.workArea->copy = talix::CopyRequest();
        session_.workArea->table = talix::TableRequest();
        delete chunk;
        return status;
    }

    talix_test::TempDir files_;
    std::string file_ = files_.file("notes.txt");
    std::string designName_ = "Part";
    std::vector<std::uint8_t> slots_[talix::kSavedFieldSlots];
};

TEST_F(EveryOperation, EachCodeHasItsExecutorsAndRunsOnASmallItem) {
    std::ofstream(file_) << "one\ntwo\n";
    std::vector<talix::OperationCode> codes(std::begin(kStartEndOperations), std::end(kStartEndOperations));
    codes.insert(codes.end(), std::begin(kPropertyCodes), std::end(kPropertyCodes));
    for (talix::OperationCode code : codes) {
        SCOPED_TRACE(code);
        EXPECT_NE(talix::FindOperation(&session_, code), nullptr);
        // Each code on a fresh copy of the item; the design elements the
        // body copies read are there too.
        id_ = db_.AddNote(engine_test::TablesItem());
        ASSERT_EQ(item_.Connect("", db_.path().c_str(), id_, "Body", 0), 0);
        for (const char* kind : {"Subform", "Form", "Page"}) {
            delete session_.CreateDesignElement(kind, "", db_.path().c_str(), designName_.c_str(), "Overwrite=Yes");
        }
        const std::uint16_t status = RunOnce(code);
        // Reordering rows without sort keys has nothing to do: 1026.
        EXPECT_EQ(status,
                  code == talix::kOpReorderRows || code == talix::kOpReorderRowsAsKeyed ? talix::kNoSortKeys : 0)
            << code;
        Saved();   // the structure checker accepts what the run left
        item_.CleanupTraces();
    }
}

TEST_F(EveryOperation, AttachmentOperationsThatAreNotBuiltAreRefused) {
    ZervaRTChunk* chunk = Open(engine_test::Runs({"text"}));
    const std::vector<std::string> before = db_.Stored(id_);
    for (talix::OperationCode code : {talix::kOpRefreshAttachmentIcon, talix::kOpRenameAttachment}) {
        EXPECT_EQ(talix::FindOperation(&session_, code), nullptr);
        EXPECT_EQ(talix_test::RunOperation(chunk, Op(code, 1, 0, "new.txt")), talix::kArgumentError);
    }
    // Codes no operation has are refused too, whether their number lies
    // among the reading or the writing ones, and walk nothing.
    for (int number : {0, 3, 2365, 2400, 2818, 2819, 2821, 9999}) {
        const auto code = static_cast<talix::OperationCode>(number);
        EXPECT_EQ(talix::FindOperation(&session_, code), nullptr) << number;
        chunk->lastStatus = 0;
        EXPECT_EQ(talix::PerformChunkAction(chunk, 0, nullptr, code, talix::kOpMatchingVariant, 0, 0, 0, nullptr,
                                            nullptr, nullptr, nullptr, nullptr),
                  talix::kArgumentError)
            << number;
        EXPECT_EQ(chunk->lastStatus, 0) << number;   // no run set the completion status
    }
    item_.Save();
    EXPECT_EQ(db_.Stored(id_), before);
}

} // namespace
