// The paragraph definitions and style names a generation collects from a
// record list: every one the list holds, whether the list is as its read
// left it (where the walk may end after the last one the read met) or was
// changed since.
#include <gtest/gtest.h>

#include <memory>

#include "core/record_list.h"
#include "core/record_io.h"
#include "core/signatures.h"
#include "engine/generation_range.h"
#include "engine/record_process.h"
#include "fixture_items.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace {

using engine_test::Records;
using talix::kSigPabDefinition;
using talix::kSigStyleName;

// The definitions and style names CollectForGeneration finds in the list.
std::pair<int, int> Collected(ZervaRTChunk* chunk, talix::ItemRecordList* list) {
    auto context = std::make_unique<talix::RecordProcessContext>();
    context->chunk = chunk;
    talix::CollectForGeneration(list, context.get());
    return {context->definitionCount, context->record166Count};
}

void LinkAtEnd(talix::ItemRecordList* list, std::uint16_t signature, std::uint32_t length) {
    talix::CDRecordNode* node = talix::NewListNode(list, nullptr, signature, length);
    ASSERT_NE(node, nullptr);
    node->bytes[0] = static_cast<std::uint8_t>(signature);
    node->bytes[1] = static_cast<std::uint8_t>(signature >> 8);
    node->bytes[2] = static_cast<std::uint8_t>(length);
    talix::LinkRecordNode(list, list->tail, node);
}

TEST(GenerationCollect, FindsEveryDefinitionAsReadAndAfterChanges) {
    engine_test::FixtureDatabase db;
    // A definition first, one in the middle, none after the last paragraph.
    Records early = engine_test::Runs({"a", "b"});
    early.push_back(engine_test::Paragraph());
    early.push_back(talix_test::HostRecord(kSigPabDefinition, 72));
    early.push_back(talix_test::HostRecord(kSigStyleName, 4 + 32));
    for (int i = 0; i < 50; ++i) {
        early.push_back(engine_test::Paragraph());
        early.push_back(engine_test::Text("more"));
    }
    // No definition at all.
    const Records none = {engine_test::Paragraph(), engine_test::Text("plain"), engine_test::Paragraph(),
                          engine_test::Text("text")};
    const plat::NOTEID withDefinitions = db.AddNote(early);
    const plat::NOTEID without = db.AddNote(none);

    RARIvoSession session;
    for (const auto& [id, expected] : {std::pair{withDefinitions, std::pair{2, 1}}, std::pair{without, std::pair{0, 0}}}) {
        SCOPED_TRACE("note " + std::to_string(id));
        ZervaRTItem item(&session);
        item.Connect("", db.path().c_str(), id, "Body", 0);
        ASSERT_EQ(item.connected, 1);
        std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
        talix::STATUS status = 0;
        talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(Collected(chunk.get(), list), expected);
        // Records linked in after the read are found too.
        LinkAtEnd(list, kSigPabDefinition, 72);
        LinkAtEnd(list, kSigStyleName, 4 + 32);
        EXPECT_EQ(Collected(chunk.get(), list), std::pair(expected.first + 1, expected.second + 1));
        talix::DeleteItemRecordList(&session, list);
    }
}

} // namespace
