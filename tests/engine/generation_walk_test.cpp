// A generation walk over a chunk hands the rendering to the generation; as
// long as the generation is not built the run fails instead of reporting a
// chunk rendered.
#include <gtest/gtest.h>

#include "core/chunk_work_state.h"
#include "edit_fixture.h"
#include "htmlgen/xml_gen_context.h"
#include "support/op_runner.h"
#include "talix/chunk.h"

namespace {

class GenerationWalk : public engine_test::EditTest {};

TEST_F(GenerationWalk, MarksTheChunkAndFailsWhereNothingIsRendered) {
    ZervaRTChunk* chunk = Open(engine_test::Runs({"one", "two"}), "Text 2");
    talix::XMLGenContext generation;
    chunk->work->generation = &generation;

    // Nothing waits to be rendered: the walk only marks the chunk's records.
    EXPECT_EQ(talix_test::RunOperation(chunk, talix_test::Op(2419)), 0);
    ASSERT_NE(generation.firstNode, nullptr);
    EXPECT_EQ(generation.firstNode, generation.node);

    // Output waiting at the chunk's end must be rendered: that fails.
    generation = talix::XMLGenContext{};
    generation.pendingOutput = 1;
    EXPECT_NE(talix_test::RunOperation(chunk, talix_test::Op(2419)), 0);
    EXPECT_NE(chunk->lastStatus, 0);
    chunk->work->generation = nullptr;
}

} // namespace
