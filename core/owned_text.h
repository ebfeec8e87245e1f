// Texts owned by the session's objects (an item's names and font texts, a
// chunk's definition and event-return strings, a level's match text). They
// all come from malloc and go back with free, so whichever part of the system
// replaces such a text can free the old one.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace talix {

// A terminated copy of the first length bytes of text; null when text is
// null or memory is short.
inline char* CopyOwnedText(const char* text, std::size_t length) {
    if (text == nullptr) return nullptr;
    auto* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

inline char* CopyOwnedText(const char* text) {
    return text == nullptr ? nullptr : CopyOwnedText(text, std::strlen(text));
}

// Frees an owned text and clears the pointer.
inline void FreeOwnedText(char*& text) {
    std::free(text);
    text = nullptr;
}

} // namespace talix
