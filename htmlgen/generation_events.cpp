// The generation's calls of the caller's event procedures: the markup handed
// on piece by piece, and each link the generation meets, with its ids read
// from their texts.
#include <cstring>

#include "core/ascii.h"
#include "core/chunk_work_state.h"
#include "talix/chunk.h"
#include "talix_platform.h"

namespace {

// A text's length for an event, cut to 16 bits; 0 for none.
std::uint16_t EventLength(const char* text) {
    if (text == nullptr) return 0;
    return static_cast<std::uint16_t>(strnlen(text, 0xFFFF));
}

// A replica id from its text: "XXXXXXXX:XXXXXXX" (16 characters) or
// "_?XXXXXXXX:XXXXXXXX..." (at least 18 characters beginning with "_").
plat::TIMEDATE ReplicaIdFromText(const char* text) {
    plat::TIMEDATE id;
    if (text == nullptr || std::strchr(text, ':') == nullptr) return id;
    const std::size_t length = std::strlen(text);
    if (length == 16) {
        id.Innards[0] = talix::ReadHexDigits(text + 8, 8);
        id.Innards[1] = talix::ReadHexDigits(text, 8);
    } else if (length >= 18 && text[0] == '_') {
        id.Innards[0] = talix::ReadHexDigits(text + 10, 8);
        id.Innards[1] = talix::ReadHexDigits(text + 2, 8);
    }
    return id;
}

// A view or note id from 32 hexadecimal digits; zero for a text of another
// length.
plat::UNIVERSALNOTEID UnidFromText(const char* text) {
    plat::UNIVERSALNOTEID id;
    if (text == nullptr || std::strlen(text) != 32) return id;
    id.File.Innards[0] = talix::ReadHexDigits(text + 8, 8);
    id.File.Innards[1] = talix::ReadHexDigits(text, 8);
    id.Note.Innards[0] = talix::ReadHexDigits(text + 24, 8);
    id.Note.Innards[1] = talix::ReadHexDigits(text + 16, 8);
    return id;
}

} // namespace

void ZervaRTChunk::RaiseActOnText(char* text, std::uint16_t length) {
    if (work == nullptr || work->actOnText == nullptr) return;
    work->actOnText(this, text, length);
}

void ZervaRTChunk::RaiseQueryLinkData(char* unused1, std::uint16_t unused2, std::uint16_t linkKind,
                                      char* replicaText, char* viewIdText, char* noteIdText, char* text1,
                                      char* text2, char* text3) {
    (void)unused1;
    (void)unused2;
    if (work == nullptr || work->queryLinkData == nullptr) return;
    plat::TIMEDATE replicaId = ReplicaIdFromText(replicaText);
    plat::UNIVERSALNOTEID viewId = UnidFromText(viewIdText);
    plat::UNIVERSALNOTEID noteId = UnidFromText(noteIdText);
    work->queryLinkData(this, linkKind, replicaText, EventLength(replicaText), &replicaId, &viewId, &noteId, text1,
                        EventLength(text1), text2, EventLength(text2), text3, EventLength(text3));
}
