// Pass-thru marking over a record list, one text run at a time.
#include "htmlimport/passthru_marking.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "core/statuses.h"
#include "htmlimport/html_import_context.h"
#include "talix_platform.h"

namespace talix {

namespace {

// The most text one rewritten run keeps; the rest goes on in further runs.
constexpr std::size_t kMostRunText = kWorkBufferSize - kTextRunHeader;

// A text-like record of the signature: the header's first bytes (none: zero),
// then the text; a node of the list's own kind.
CDRecordNode* NewNode(std::uint16_t signature, const std::uint8_t* header, std::string_view text) {
    const auto length = static_cast<std::uint32_t>(kTextRunHeader + text.size());
    CDRecordNode* node = NewRecordNode(nullptr, signature, length);
    if (node == nullptr) return nullptr;
    if (header != nullptr) std::memcpy(node->bytes, header, kTextRunHeader);
    WriteWord(node->bytes, signature);
    WriteWord(node->bytes + 2, static_cast<std::uint16_t>(length));
    if (!text.empty()) std::memcpy(node->bytes + kTextRunHeader, text.data(), text.size());
    return node;
}

// The length of the longest piece of text, from its start, that one run
// holds; pieces end on whole characters, so each run converts on its own.
std::size_t PieceLength(std::string_view text) {
    std::size_t length = 0;
    while (length < text.size()) {
        const auto* at = reinterpret_cast<const std::uint8_t*>(text.data() + length);
        const std::size_t step = std::max<std::size_t>(1, plat::LmbcsCharLength(at, text.size() - length));
        if (length + step > kMostRunText) break;
        length += step;
    }
    return length;
}

// Gives the node the first piece of the rewritten text and puts the rest in
// new text runs after it. Returns the last run, or null when memory runs
// out.
CDRecordNode* StoreText(ItemRecordList* list, CDRecordNode* node, std::string_view text) {
    std::size_t piece = PieceLength(text);
    CDRecordNode* rewritten = NewNode(node->signature, node->bytes, text.substr(0, piece));
    if (rewritten == nullptr) return nullptr;
    AdoptRecordBytes(list, node, rewritten);
    CDRecordNode* last = node;
    for (std::size_t at = piece; at < text.size(); at += piece) {
        piece = std::max<std::size_t>(1, PieceLength(text.substr(at)));
        CDRecordNode* rest = NewNode(node->signature, node->bytes, text.substr(at, piece));
        if (rest == nullptr) return nullptr;
        LinkRecordNode(list, last, rest);
        last = rest;
    }
    return last;
}

struct MarkState {
    std::string_view start;
    std::string_view end;
    bool htmlOpen = false;     // inside an HTML-begin ... HTML-end pair
    bool inRegion = false;
    bool regionClosedHtml = false;
};

// Rewrites one text run. Returns the last record of the rewrite (the run,
// the further runs it needed, an HTML-end record after them), or null when
// memory runs out.
CDRecordNode* MarkRun(ItemRecordList* list, CDRecordNode* node, MarkState& state) {
    const char* text = reinterpret_cast<const char*>(node->bytes) + kTextRunHeader;
    const std::size_t length = node->length - kTextRunHeader;
    std::string out;
    out.reserve(length + 16);
    bool changed = false;
    bool closeHtml = false, openHtml = false;
    std::size_t at = 0;
    while (at < length) {
        const std::size_t left = length - at;
        if (!state.inRegion) {
            if (left >= state.start.size() && std::memcmp(text + at, state.start.data(), state.start.size()) == 0) {
                out += '[';
                at += state.start.size();
                changed = state.inRegion = true;
                if (state.htmlOpen) {
                    closeHtml = true;
                    state.htmlOpen = false;
                    state.regionClosedHtml = true;
                }
                if (at >= length || text[at] != '<') out += "<!-- -->";
                continue;
            }
        } else if (left >= state.end.size() && std::memcmp(text + at, state.end.data(), state.end.size()) == 0) {
            out += ']';
            at += state.end.size();
            changed = true;
            state.inRegion = false;
            if (state.regionClosedHtml) {
                openHtml = true;
                state.htmlOpen = true;
                state.regionClosedHtml = false;
            }
            continue;
        }
        const std::size_t step =
            std::max<std::size_t>(1, plat::LmbcsCharLength(reinterpret_cast<const std::uint8_t*>(text + at), left));
        if (state.inRegion && step == 1) {
            const char* entity = nullptr;
            switch (text[at]) {
            case '&': entity = "&amp;"; break;
            case '<': entity = "&lt;"; break;
            case '>': entity = "&gt;"; break;
            case '"': entity = "&quot;"; break;
            default: break;
            }
            if (entity != nullptr) {
                out += entity;
                changed = true;
                ++at;
                continue;
            }
        }
        out.append(text + at, std::min(step, left));
        at += step;
    }
    CDRecordNode* last = changed ? StoreText(list, node, out) : node;
    if (last == nullptr) return nullptr;
    if (openHtml) {
        CDRecordNode* open = NewNode(kSigHtmlBegin, nullptr, {});
        if (open == nullptr) return nullptr;
        LinkRecordNode(list, node->prev, open);
    }
    if (closeHtml) {
        CDRecordNode* close = NewNode(kSigHtmlEnd, nullptr, {});
        if (close == nullptr) return nullptr;
        LinkRecordNode(list, last, close);
        last = close;
    }
    return last;
}

} // namespace

STATUS MarkPassthruHTML(ItemRecordList* list, HTMLImportContext* import) {
    if (list == nullptr || import == nullptr || import->passthruStartText == nullptr ||
        import->passthruEndText == nullptr || import->passthruStartText[0] == '\0' ||
        import->passthruEndText[0] == '\0')
        return kArgumentError;
    MarkState state;
    state.start = import->passthruStartText;
    state.end = import->passthruEndText;
    try {
        for (CDRecordNode* node = NextRecordNode(list, nullptr); node != nullptr; node = NextRecordNode(list, node)) {
            if (node->signature == kSigHtmlBegin) {
                state.htmlOpen = true;
                continue;
            }
            if (node->signature == kSigHtmlEnd) {
                state.htmlOpen = false;
                continue;
            }
            if (node->signature != kSigText || node->bytes == nullptr || node->length <= kTextRunHeader ||
                ReadWord(node->bytes + 2) <= kTextRunHeader)
                continue;
            if (!state.inRegion && node->length - kTextRunHeader < state.start.size()) continue;
            node = MarkRun(list, node, state);
            if (node == nullptr) return kOutOfMemory;
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOK;
}

} // namespace talix
