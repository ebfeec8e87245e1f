#include "builders/built_records.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "core/item_work_state.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "engine/record_process.h"
#include "talix/item.h"

namespace talix_test {

std::vector<const talix::CDRecordNode*> ListNodes(const talix::ItemRecordList* list) {
    std::vector<const talix::CDRecordNode*> nodes;
    for (auto* node = list != nullptr ? list->head : nullptr; node != nullptr; node = node->next)
        nodes.push_back(node);
    return nodes;
}

std::vector<std::uint16_t> ListSignatures(const talix::ItemRecordList* list) {
    std::vector<std::uint16_t> signatures;
    for (const talix::CDRecordNode* node : ListNodes(list)) signatures.push_back(node->signature);
    return signatures;
}

std::string ListShape(const talix::ItemRecordList* list) {
    std::string shape;
    for (const talix::CDRecordNode* node : ListNodes(list)) {
        char part[24];
        if (node->signature == 0xDD || node->signature == 0xDE) {
            std::snprintf(part, sizeof part, "%s%X ", node->signature == 0xDD ? "<" : ">",
                          talix::ReadWord(node->bytes + 4));
        } else {
            std::snprintf(part, sizeof part, "%X ", node->signature);
        }
        shape += part;
    }
    return shape;
}

std::string BuiltRecordProblem(const talix::ItemRecordList* list) {
    std::vector<std::uint16_t> open;
    int position = 0;
    for (const talix::CDRecordNode* node : ListNodes(list)) {
        ++position;
        const bool byteForm = talix::LengthFieldForm(node->signature) == talix::HeaderForm::Byte;
        const std::uint16_t carried = byteForm ? node->bytes[0] : talix::ReadWord(node->bytes);
        const std::uint32_t length = byteForm ? node->bytes[1] : talix::ReadWord(node->bytes + 2);
        if (carried != node->signature) return "record " + std::to_string(position) + ": signature differs";
        if (length != node->length) return "record " + std::to_string(position) + ": length differs";
        if (node->signature == 0xDD) open.push_back(talix::ReadWord(node->bytes + 4));
        if (node->signature != 0xDE) continue;
        const std::uint16_t inner = talix::ReadWord(node->bytes + 4);
        const bool hotspot = inner == 0xAE && !open.empty() && (open.back() == 0xFFAD || open.back() == 0xFFA9);
        if (open.empty() || (open.back() != inner && !hotspot))
            return "record " + std::to_string(position) + ": CDEND without its CDBEGIN";
        open.pop_back();
    }
    return open.empty() ? "" : "a CDBEGIN is not closed";
}

std::unique_ptr<talix::RecordProcessContext> OutputContext(RARIvoSession* session, ZervaRTItem* item,
                                                           ZervaRTChunk* chunk) {
    auto context = std::make_unique<talix::RecordProcessContext>();
    context->session = session;
    context->output.session = session;
    context->output.item = item;
    context->chunk = chunk;
    return context;
}

void FreeOutput(ZervaRTItem* item) {
    talix::ItemRecordList* list = item->work->output;
    item->work->output = nullptr;
    if (list == nullptr) return;
    talix::DeleteItemRecordList(item->session, list);
}

talix::ItemRecordList* StoreOutput(ZervaRTItem* item, plat::NOTEHANDLE note) {
    talix::ItemRecordList* built = item->work->output;
    if (built == nullptr) {
        ADD_FAILURE() << "nothing was built";
        return nullptr;
    }
    built->note = note;
    built->itemName = "Body";
    const talix::STATUS written = talix::WriteItemRecords(built, item);
    EXPECT_EQ(written, 0);
    if (written != 0) return nullptr;
    talix::STATUS status = 1;
    talix::ItemRecordList* read = talix::SIAR(item, 0, nullptr, 0, 0, note, "Body", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(read, nullptr);
    return read;
}

void ExpectStoredAsBuilt(ZervaRTItem* item, plat::NOTEHANDLE note) {
    talix::ItemRecordList* read = StoreOutput(item, note);
    if (read == nullptr) return;
    const talix::CDRecordNode* again = read->head;
    for (const talix::CDRecordNode* built : ListNodes(item->work->output)) {
        if (again == nullptr) {
            ADD_FAILURE() << "record " << built->index << " was not stored";
            break;
        }
        EXPECT_EQ(again->signature, built->signature) << "record " << built->index;
        EXPECT_EQ(std::vector<std::uint8_t>(again->bytes, again->bytes + again->length),
                  std::vector<std::uint8_t>(built->bytes, built->bytes + built->length))
            << "record " << built->index << std::hex << " (0x" << built->signature << ")";
        again = again->next;
    }
    EXPECT_EQ(again, nullptr);
    talix::DeleteItemRecordList(item->session, read);
}

} // namespace talix_test
