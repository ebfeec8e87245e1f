// Reading built record lists in the builder tests: the records in order, a
// short text of their signatures, and a check that fits hotspots as they are
// stored (a CDBEGIN of a hotspot begin is closed by a CDEND that names the
// hotspot's end record).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/record_forms.h"
#include "core/record_list.h"

namespace talix_test {

inline std::vector<const talix::CDRecordNode*> ListNodes(const talix::ItemRecordList* list) {
    std::vector<const talix::CDRecordNode*> nodes;
    for (auto* node = list != nullptr ? list->head : nullptr; node != nullptr; node = node->next)
        nodes.push_back(node);
    return nodes;
}

// "<FFAD" for a CDBEGIN, ">AE" for a CDEND (their inner signatures), the
// signature in hexadecimal for other records, each followed by a blank.
inline std::string ListShape(const talix::ItemRecordList* list) {
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

// Empty when every node's signature and length are those its bytes carry
// and the CDBEGIN and CDEND records pair up; otherwise the first problem.
inline std::string BuiltRecordProblem(const talix::ItemRecordList* list) {
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

} // namespace talix_test
