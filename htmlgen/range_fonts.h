// The fonts of a range's text runs, noted by the head pass as it steps
// through the range, so that the walk gives each its markup without a pass
// of its own: each font once, in the order its first run with text comes,
// with the colour record after that run and whether the run is
// right-to-left.
#pragma once

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "core/font_spec.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "htmlgen/walk_records.h"

namespace talix {

struct RangeFont {
    std::uint32_t fontId = 0;
    bool hasColour = false;
    ColorValue colour;
    bool rightToLeft = false;
};

class RangeFonts {
public:
    // A text run with text of the range.
    void Note(const CDRecordNode* node) {
        const std::uint32_t fontId = ReadDword(node->bytes + 4);
        if (recent_.Seen(fontId) || !seen_.insert(fontId).second) return;
        RangeFont font;
        font.fontId = fontId;
        const CDRecordNode* next = node->next;
        font.hasColour = next != nullptr && next->signature == kSigColor;
        if (font.hasColour) {
            font.colour.flags = NodeWord(next, 2);
            font.colour.red = NodeByte(next, 4);
            font.colour.green = NodeByte(next, 5);
            font.colour.blue = NodeByte(next, 6);
        }
        font.rightToLeft = node->signature == kSigBidiText;
        fonts_.push_back(font);
    }
    // The range's last record was met (a range that ends before it starts
    // never meets it).
    void NoteEnd() { reachedEnd_ = true; }

    const std::vector<RangeFont>& fonts() const { return fonts_; }
    bool reachedEnd() const { return reachedEnd_; }

private:
    // The fonts met lately, by a hash of their id: text mostly comes in a
    // few fonts, known again without a look at the set of all.
    struct RecentFonts {
        std::uint32_t ids[16] = {};
        bool used[16] = {};
        // Whether the font was met lately; it is remembered.
        bool Seen(std::uint32_t id) {
            const std::uint32_t slot = (id * 2654435761u) >> 28;
            const bool seen = used[slot] && ids[slot] == id;
            ids[slot] = id;
            used[slot] = true;
            return seen;
        }
    };

    RecentFonts recent_;
    std::unordered_set<std::uint32_t> seen_;
    std::vector<RangeFont> fonts_;
    bool reachedEnd_ = false;
};

} // namespace talix
