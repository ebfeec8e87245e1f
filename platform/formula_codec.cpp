// Encoding and decoding of the formula container (see formula_codec.h).
#include "formula_codec.h"

#include "byte_order.h"

namespace plat {

namespace {

constexpr size_t kHeaderLength = 6;

} // namespace

std::string FormulaContainerEncode(std::string_view lmbcsSource) {
    std::string out;
    if (lmbcsSource.size() > 0xFFFF) return out;
    out.reserve(kHeaderLength + lmbcsSource.size() + 1);
    PutWord(&out, FORMULA_CONTAINER_MAGIC);
    PutWord(&out, FORMULA_CONTAINER_VERSION);
    PutWord(&out, static_cast<WORD>(lmbcsSource.size()));
    out.append(lmbcsSource);
    if (out.size() % 2 != 0) out.push_back('\0');
    return out;
}

bool FormulaContainerDecode(const void* data, size_t length, std::string* lmbcsSource) {
    if (data == nullptr || lmbcsSource == nullptr || length < kHeaderLength) return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (GetWord(bytes) != FORMULA_CONTAINER_MAGIC || GetWord(bytes + 2) != FORMULA_CONTAINER_VERSION) return false;
    size_t sourceLength = GetWord(bytes + 4);
    size_t expected = kHeaderLength + sourceLength;
    if (expected % 2 != 0) ++expected;
    if (length != expected) return false;
    if (expected != kHeaderLength + sourceLength && bytes[expected - 1] != 0) return false;
    lmbcsSource->assign(reinterpret_cast<const char*>(bytes + kHeaderLength), sourceLength);
    return true;
}

} // namespace plat
