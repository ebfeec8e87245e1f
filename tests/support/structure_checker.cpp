#include "support/structure_checker.h"

#include <cstdio>
#include <set>
#include <vector>

#include "core/record_forms.h"

namespace talix_test {

namespace {

// An END closes the BEGIN of the same inner signature; a hotspot's BEGIN
// (inner signature the hotspot begin) is closed by an END whose inner
// signature is that hotspot's end, as stored items do.
bool ClosesBegin(std::uint16_t begin, std::uint16_t end) {
    if (begin == end) return true;
    switch (begin) {
    case 0xFFA9: return end == 0x00AA;
    case 0xFFAD: return end == 0x00AE || end == 0x00AA;
    case 0xFF7E:
    case 0xFF74: return end == 0x007F;
    default: return false;
    }
}

constexpr std::uint16_t kSigPabReference = 0x0083;
constexpr std::uint16_t kSigTableBegin = 0x00A3, kSigCell = 0x00A4, kSigTableEnd = 0x00A5;
constexpr std::uint16_t kSigNestedTableBegin = 0x00CF, kSigNestedCell = 0x00D0, kSigNestedTableEnd = 0x00D1;
constexpr std::uint16_t kSigBegin = 0x00DD, kSigEnd = 0x00DE;
constexpr std::uint16_t kSigPabDefinition = 0xFF82;

std::string Problem(std::size_t position, const talix::CDRecordNode* node, const char* what) {
    char text[160];
    std::snprintf(text, sizeof text, "record %zu (0x%04X): %s", position, node->signature, what);
    return text;
}

// The length a host-form record keeps in its length field, or -1 when the
// record is too short to hold the field.
long LengthField(const talix::CDRecordNode* node) {
    switch (talix::LengthFieldForm(node->signature)) {
    case talix::HeaderForm::Byte: return node->length >= 2 ? node->bytes[1] : -1;
    case talix::HeaderForm::Word: return node->length >= 4 ? talix::ReadWord(node->bytes + 2) : -1;
    case talix::HeaderForm::Long: return node->length >= 8 ? static_cast<long>(talix::ReadDword(node->bytes + 4)) : -1;
    }
    return -1;
}

struct OpenTable {
    std::uint16_t endSignature;
    unsigned cells;
};

} // namespace

std::string CheckStructure(const talix::CDRecordNode* first) {
    std::vector<std::uint16_t> begins;   // inner signatures of open BEGIN records
    std::vector<OpenTable> tables;
    std::set<std::uint16_t> definitions;
    std::size_t position = 0;
    for (const talix::CDRecordNode* node = first; node != nullptr; node = node->next) {
        ++position;
        if (node->bytes == nullptr) return Problem(position, node, "no bytes");
        if (LengthField(node) != static_cast<long>(node->length))
            return Problem(position, node, "length field differs from the node's length");
        const std::uint16_t signature = node->signature;
        if (!tables.empty() && tables.back().cells == 0 && signature != kSigCell && signature != kSigNestedCell &&
            signature != kSigTableBegin && signature != kSigNestedTableBegin && signature != 0x00E2 /* row heights */)
            return Problem(position, node, "table content before its first cell");
        switch (signature) {
        case kSigBegin:
        case kSigEnd: {
            if (node->length < 6) return Problem(position, node, "bracket record too short");
            const std::uint16_t inner = talix::ReadWord(node->bytes + 4);
            if (signature == kSigBegin) {
                begins.push_back(inner);
            } else {
                if (begins.empty() || !ClosesBegin(begins.back(), inner))
                    return Problem(position, node, "END without its BEGIN");
                begins.pop_back();
            }
            break;
        }
        case kSigTableBegin:
        case kSigNestedTableBegin:
            tables.push_back({signature == kSigTableBegin ? kSigTableEnd : kSigNestedTableEnd, 0});
            break;
        case kSigCell:
        case kSigNestedCell:
            if (tables.empty()) return Problem(position, node, "cell outside a table");
            ++tables.back().cells;
            break;
        case kSigTableEnd:
        case kSigNestedTableEnd:
            if (tables.empty() || tables.back().endSignature != signature)
                return Problem(position, node, "table end without its table begin");
            tables.pop_back();
            break;
        case kSigPabDefinition:
            if (node->length < 6) return Problem(position, node, "paragraph definition too short");
            definitions.insert(talix::ReadWord(node->bytes + 4));
            break;
        case kSigPabReference:
            if (node->length < 4) return Problem(position, node, "paragraph reference too short");
            if (definitions.count(talix::ReadWord(node->bytes + 2)) == 0)
                return Problem(position, node, "reference to a paragraph definition not given before it");
            break;
        default:
            break;
        }
    }
    if (!begins.empty()) return "a BEGIN record is not closed";
    if (!tables.empty()) return "a table is not closed";
    return {};
}

} // namespace talix_test
