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
const std::uint16_t kStartEndOperations[] = {
    1,    2,    2351, 2354, 2360, 2409, 2417, 2361, 2812, 2352, 2448, 2353, 2423, 2442, 2359, 2443,
    2411, 2438, 2424, 2355, 2356, 2357, 2358, 2808, 2809, 2396, 2397, 2387, 2388, 2404, 2366, 2394, 42,
    2422, 2447, 2419, 2437, 2364, 25,   47,   48,   36,   54,   2330, 2601, 2602, 2603, 2615};
// The property codes inside a chunk.
const std::uint16_t kPropertyCodes[] = {1,  2,  5,  6,  7,  8,  11, 12, 13, 14, 16, 17, 18, 19, 20,   21,
                                        22, 23, 24, 25, 26, 27, 29, 30, 31, 32, 33, 34, 35, 36, 38,   39,
                                        40, 41, 42, 43, 44, 48, 50, 51, 52, 53, 55, 56, 61, 63, 65,   66,
                                        67, 68, 69, 70, 2304, 2305};

class EveryOperation : public engine_test::EditTest {
protected:
    // What the chunk method of the code would hand the engine.
    Operation Inputs(std::uint16_t code, ZervaRTChunk* chunk) {
        talix::SessionWorkArea* area = session_.workArea;
        Operation operation = Op(code);
        switch (code) {
        case 2812: operation.argument = file_.c_str(); break;
        case 2352: operation.argument = file_.c_str(); operation.second = "Zerva.txt"; break;
        case 2448: operation.op2 = 2; break;   // the URL kind, which appends nothing
        case 2353:
        case 2387:
        case 2388:
            chunk->work->linkRequest.kind = talix::kLinkURL;
            chunk->work->linkRequest.target = "http://example.org/";
            operation.argument = "Site";
            break;
        case 2359:
        case 2443:
            area->table.tableWidth = 2880;
            area->table.columnWidths[0] = area->table.columnWidths[1] = 1440;
            operation = Op(code, 2, 1, "");
            break;
        case 2411: {
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
        case 2438: operation = Op(code, 2, 0, "http://example.org/a.gif"); break;
        case 2424: operation = Op(code, 3, 19, "logo.gif"); break;
        case 2355: {
            // A copy of the first row of the first table, located first.
            ZervaRTChunk* row = item_.DefineChunk("Table 1; Row 1");
            talix_test::RunOperation(row, Op(1, 0));
            delete row;
            operation = Op(code, area->foundFirstRecord, area->foundLastRecord);
            break;
        }
        case 2357:
            area->copy.sourceNote = item_.noteHandle;
            area->copy.sourceItemName = "Body";
            operation.argument = "Body";
            break;
        case 2358:
        case 2808:
        case 2809: operation.argument = designName_.c_str(); break;
        default: break;
        }
        return operation;
    }

    std::uint16_t RunOnce(std::uint16_t code) {
        ZervaRTChunk* chunk = item_.DefineChunk("Table 1");
        if (chunk == nullptr) return 0xFFFF;
        const Operation operation = Inputs(code, chunk);
        std::uint16_t status = 0;
        if (code == 2356) {
            ZervaRTChunk* source = item_.DefineChunk("Table 2");
            talix_test::RunOperation(source, Op(1, 0));
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
    std::vector<std::uint16_t> codes(std::begin(kStartEndOperations), std::end(kStartEndOperations));
    codes.insert(codes.end(), std::begin(kPropertyCodes), std::end(kPropertyCodes));
    for (std::uint16_t code : codes) {
        SCOPED_TRACE(code);
        EXPECT_NE(talix::FindOperation(code), nullptr);
        // Each code on a fresh copy of the item; the design elements the
        // body copies read are there too.
        id_ = db_.AddNote(engine_test::TablesItem());
        ASSERT_EQ(item_.Connect("", db_.path().c_str(), id_, "Body", 0), 0);
        for (const char* kind : {"Subform", "Form", "Page"}) {
            delete session_.CreateDesignElement(kind, "", db_.path().c_str(), designName_.c_str(), "Overwrite=Yes");
        }
        const std::uint16_t status = RunOnce(code);
        // Reordering rows without sort keys has nothing to do: 1026.
        EXPECT_EQ(status, code == 2396 || code == 2397 ? talix::kNoSortKeys : 0) << code;
        Saved();   // the structure checker accepts what the run left
        item_.CleanupTraces();
    }
}

TEST_F(EveryOperation, AttachmentOperationsThatAreNotBuiltAreRefused) {
    ZervaRTChunk* chunk = Open(engine_test::Runs({"text"}));
    const std::vector<std::string> before = db_.Stored(id_);
    for (std::uint16_t code : {2814, 2815}) {
        EXPECT_EQ(talix::FindOperation(code), nullptr);
        EXPECT_EQ(talix_test::RunOperation(chunk, Op(code, 1, 0, "new.txt")), talix::kArgumentError);
    }
    item_.Save();
    EXPECT_EQ(db_.Stored(id_), before);
}

} // namespace
