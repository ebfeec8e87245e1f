// The fonts of a range's text runs, noted by the head pass as it steps
// through the range, so that the walk gives each its markup without a pass
// of its own: each font once, in the order its first run with text comes,
// with the colour record after that run and whether the run is
// right-to-left.
#pragma once

#include <cstdint>
#include <cstddef>
#include <unordered_map>
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
    // The runs counted in this font (CountRun).
    std::uint32_t runs = 0;
};

class RangeFonts {
public:
    // A text run with text of the range.
    void Note(const CDRecordNode* node) { Find(node); }
    // The same, and the run counted in its font.
    void CountRun(const CDRecordNode* node) { ++fonts_[Find(node)].runs; }
    // The range's last record was met (a range that ends before it starts
    // never meets it).
    void NoteEnd() { reachedEnd_ = true; }

    const std::vector<RangeFont>& fonts() const { return fonts_; }
    bool reachedEnd() const { return reachedEnd_; }

private:
    // The place of the run's font in fonts_, added when it is new.
    std::size_t Find(const CDRecordNode* node) {
        const std::uint32_t fontId = ReadDword(node->bytes + 4);
        std::size_t place = 0;
        return recent_.Find(fontId, &place) ? place : FindNotRecent(node, fontId);
    }
    [[gnu::noinline]] std::size_t FindNotRecent(const CDRecordNode* node, std::uint32_t fontId) {
        std::size_t place = 0;
        const auto known = places_.try_emplace(fontId, fonts_.size());
        place = known.first->second;
        recent_.Keep(fontId, place);
        if (!known.second) return place;
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
        return place;
    }

    // The fonts met lately and their places, by a hash of their id: text
    // mostly comes in a few fonts, found again without a look at the map
    // of all.
    struct RecentFonts {
        std::uint32_t ids[16] = {};
        std::uint32_t places[16] = {};
        bool used[16] = {};
        static std::uint32_t Slot(std::uint32_t id) { return (id * 2654435761u) >> 28; }
        bool Find(std::uint32_t id, std::size_t* place) const {
            const std::uint32_t slot = Slot(id);
            if (!used[slot] || ids[slot] != id) return false;
            *place = places[slot];
            return true;
        }
        void Keep(std::uint32_t id, std::size_t place) {
            const std::uint32_t slot = Slot(id);
            ids[slot] = id;
            places[slot] = static_cast<std::uint32_t>(place);
            used[slot] = true;
        }
    };

    RecentFonts recent_;
    std::unordered_map<std::uint32_t, std::size_t> places_;
    std::vector<RangeFont> fonts_;
    bool reachedEnd_ = false;
};

} // namespace talix
