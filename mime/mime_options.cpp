#include "mime/mime_options.h"

#include <cstring>
#include <vector>

#include "core/options.h"
#include "core/text_compare.h"

namespace talix {

MimeOptions::MimeOptions(const char* text, std::uint16_t length) {
    if (text == nullptr) return;
    text_.assign(text, length != 0 ? strnlen(text, length) : std::strlen(text));
}

bool MimeOptions::Get(const char* key, std::string* value) const {
    if (text_.empty()) return false;
    std::vector<char> buffer(text_.size() + 1);
    if (GetOptionValue(text_.c_str(), key, buffer.data(), static_cast<std::uint32_t>(buffer.size())) == 0)
        return false;
    value->assign(buffer.data());
    return true;
}

std::string MimeOptions::Value(const char* key, const char* fallback) const {
    std::string value;
    return Get(key, &value) ? value : std::string(fallback);
}

bool MimeOptions::Is(const char* key, const char* word) const {
    std::string value;
    return Get(key, &value) && EqualNoCase(value.c_str(), word);
}

bool MimeOptions::Holds(const char* key, const char* word) const {
    std::string value;
    return Get(key, &value) && ContainsNoCase(value, word);
}

} // namespace talix
