// Feeds arbitrary bytes to the option-string readers: the first byte picks
// how many of the following bytes form the key, the rest is the option
// string. Values are read into a full and a tiny buffer, the key is removed
// from a copy, and the HTML attribute reader fills a small record.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/html_attributes.h"
#include "core/options.h"
#include "core/text_compare.h"
#include "talix/session.h"

using namespace talix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::size_t keyLength = data[0] % 16;
    if (keyLength > size - 1) keyLength = size - 1;
    std::string key(reinterpret_cast<const char*>(data + 1), keyLength);   // a NUL ends a text early
    std::string options(reinterpret_cast<const char*>(data + 1 + keyLength), size - 1 - keyLength);

    std::vector<char> full(options.size() + 1);
    char tiny[3];
    GetOptionValue(options.c_str(), key.c_str(), full.data(), static_cast<std::uint32_t>(full.size()));
    GetOptionValue(options.c_str(), key.c_str(), tiny, sizeof tiny);
    GetYesNoOption(options.c_str(), key.c_str(), tiny, sizeof tiny, 1);
    ApplyFlagOption(options.c_str(), key.c_str(), tiny, sizeof tiny, 1, 0, "on", nullptr);
    FindOptionKey(options.c_str(), key.c_str());
    FindNoCase(options.c_str(), key.c_str());

    std::vector<char> copy(options.c_str(), options.c_str() + options.size() + 1);
    RemoveOption(copy.data(), key.c_str());

    static auto* session = new RARIvoSession;
    std::uint8_t record[64] = {0x7A, 0xFF};
    ApplyHTMLAttributeOptions(session, record, sizeof record, nullptr, key.c_str(), options.c_str(), key.c_str());
    ApplyHTMLAttributeOptions(session, record, sizeof record, record, "", options.c_str(), nullptr);
    return 0;
}
