// BEGIN and END records (CDBEGIN, CDEND) and the signature of the element
// they bracket, the word at offset 4 in both record forms: the tests every
// walk makes of them.
#pragma once

#include <cstdint>

#include "core/record_forms.h"
#include "core/record_list.h"
#include "core/signatures.h"

namespace talix {

constexpr std::uint32_t kBracketedSignatureOffset = 4;

// The signature a record of length bytes names at offset 4 (for a BEGIN or
// END: the element it brackets), or 0 when it is too short to hold one.
inline std::uint16_t BracketedSignature(const std::uint8_t* record, std::uint32_t length) {
    return record != nullptr ? WordAt(record, length, kBracketedSignatureOffset) : 0;
}
inline std::uint16_t BracketedSignature(const CDRecordNode* node) { return NodeWord(node, kBracketedSignatureOffset); }

// Whether the record is a bracket (bracket: kSigBegin or kSigEnd) around an
// element of signature inner.
inline bool Brackets(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                     std::uint16_t bracket, std::uint16_t inner) {
    return signature == bracket && BracketedSignature(record, length) == inner;
}
inline bool Brackets(const CDRecordNode* node, std::uint16_t bracket, std::uint16_t inner) {
    return node != nullptr && Brackets(node->bytes, node->signature, node->length, bracket, inner);
}

// Whether the record is a BEGIN or an END around a text run.
inline bool IsTextBracket(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length) {
    return (signature == kSigBegin || signature == kSigEnd) && BracketedSignature(record, length) == kSigText;
}

} // namespace talix
