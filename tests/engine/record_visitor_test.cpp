// The visiting operation: a reader's procedures get the chunk's start, its
// records and its end; a procedure that has read all it needs ends the walk
// there, and the item's text template still follows the records to the end.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "chunkops/chunk_frame.h"
#include "core/item_work_state.h"
#include "core/operation_codes.h"
#include "core/pool.h"
#include "edit_fixture.h"
#include "engine/record_process.h"
#include "engine/record_visitor.h"
#include "support/record_fixture.h"
#include "talix/chunk.h"
#include "talix/item.h"

namespace {

using engine_test::EditTest;
using engine_test::Records;
using engine_test::Runs;

constexpr std::uint32_t kLastFont = 0x0C030002;

struct Seen {
    int starts = 0;
    std::vector<std::uint16_t> inside;
    std::vector<std::uint16_t> ends;
    int stopAfter = 0;   // inside records after which the reader has all it needs (0: never)
    bool stopAtStart = false;
};

Seen* State(talix::RecordProcessContext* context) { return static_cast<Seen*>(talix::RunVisitor(context)->state); }

talix::STATUS Start(std::uint8_t*, std::uint16_t, std::uint32_t, talix::RecordProcessContext* context) {
    Seen* seen = State(context);
    ++seen->starts;
    if (seen->stopAtStart) context->readDone = 1;
    return 0;
}

talix::STATUS Inside(std::uint8_t*, std::uint16_t signature, std::uint32_t, std::uint32_t*,
                     talix::RecordProcessContext* context) {
    Seen* seen = State(context);
    seen->inside.push_back(signature);
    if (seen->stopAfter != 0 && static_cast<int>(seen->inside.size()) == seen->stopAfter) context->readDone = 1;
    return 0;
}

talix::STATUS End(std::uint8_t*, std::uint16_t signature, talix::RecordProcessContext* context) {
    State(context)->ends.push_back(signature);
    return 0;
}

class RecordVisitorTest : public EditTest {
protected:
    // Visits the chunk; returns the run's status.
    talix::STATUS Visit(ZervaRTChunk* chunk, Seen* seen) {
        talix::RecordVisitor visitor;
        visitor.state = seen;
        visitor.start = Start;
        visitor.inside = Inside;
        visitor.end = End;
        talix::ChunkOperation run;
        run.operation = talix::kOpVisitRecords;
        run.pointer = &visitor;
        return talix::RunChunkOperation(chunk, run);
    }
    // The font of the item's text template after a run.
    std::uint32_t TemplateFont() const {
        std::uint32_t font = 0;
        std::memcpy(&font, item_.work->textTemplate + 4, sizeof font);
        return font;
    }
};

TEST_F(RecordVisitorTest, AReaderThatHasAllItNeedsEndsTheWalk) {
    Records body = Runs({"one", "two", "three"});
    body.push_back(talix_test::TextRecord(kLastFont, "last"));
    ZervaRTChunk* chunk = Open(body, "Everything");
    ASSERT_NE(chunk, nullptr);

    // Every record, then the end at the end of the item.
    Seen all;
    EXPECT_EQ(Visit(chunk, &all), 0);
    EXPECT_EQ(all.starts, 1);
    EXPECT_EQ(all.inside.size(), body.size());
    EXPECT_EQ(all.ends.size(), 1u);
    EXPECT_EQ(TemplateFont(), kLastFont);

    // Done at the start: the first record alone, the chunk ended with an
    // empty text run; the template still takes the last run's font.
    Seen first;
    first.stopAtStart = true;
    EXPECT_EQ(Visit(chunk, &first), 0);
    EXPECT_EQ(first.starts, 1);
    EXPECT_EQ(first.inside, (std::vector<std::uint16_t>{body.front().signature}));
    EXPECT_EQ(first.ends, (std::vector<std::uint16_t>{0xFF85}));
    EXPECT_EQ(TemplateFont(), kLastFont);

    // Done after three records.
    Seen three;
    three.stopAfter = 3;
    EXPECT_EQ(Visit(chunk, &three), 0);
    EXPECT_EQ(three.inside.size(), 3u);
    EXPECT_EQ(three.ends.size(), 1u);
    EXPECT_EQ(TemplateFont(), kLastFont);
}

// A generation over the whole item sees the first and the last record
// only, yet leaves the running state a visit of every record leaves: new
// text takes the font of the last text run (an empty one too), wherever it
// lies among tables and paragraphs.
TEST_F(RecordVisitorTest, AGenerationOfTheWholeItemLeavesTheFontAVisitLeaves) {
    using talix_test::HostRecord;
    using talix_test::TextRecord;
    const Records table = {HostRecord(0x00A3, 14), HostRecord(0x00A4, 18), TextRecord(0x0A000104, "cell"),
                           HostRecord(0x00A5, 8)};
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        Records body = Runs({"one", "two"});
        body.insert(body.end(), table.begin(), table.end());
        if (variant > 0) {
            body.push_back(HostRecord(0x0081, 2));
            body.push_back(HostRecord(0x0083, 4));
            body.push_back(TextRecord(variant == 1 ? kLastFont : 0x0C020301, variant == 1 ? "last" : ""));
            if (variant == 2) body.push_back(HostRecord(0x0081, 2));
        }
        ZervaRTChunk* chunk = Open(body, "Everything");
        ASSERT_NE(chunk, nullptr);
        Seen all;
        ASSERT_EQ(Visit(chunk, &all), 0);
        const std::uint32_t visited = TemplateFont();
        EXPECT_EQ(visited, variant == 0 ? 0x0A000104u : variant == 1 ? kLastFont : 0x0C020301u);
        std::memset(item_.work->textTemplate, 0, 8);
        char* block = chunk->GenerateHTML(nullptr, "HTML", nullptr, 0, nullptr, nullptr);
        ASSERT_NE(block, nullptr);
        EXPECT_NE(std::string(block).find("cell"), std::string::npos);
        talix::ZervaDeallocate(&session_, block);
        EXPECT_EQ(TemplateFont(), visited);
    }
}

} // namespace
