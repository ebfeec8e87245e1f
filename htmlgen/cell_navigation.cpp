#include "htmlgen/cell_navigation.h"

#include <cstdio>
#include <cstring>

#include "core/record_forms.h"
#include "core/signature_groups.h"
#include "htmlgen/walk_records.h"

namespace talix {

namespace {

// Border record fields.
constexpr std::uint32_t kStyleAt = 8, kWidthsAt = 10, kFlagsAt = 24, kPaddingAt = 28, kMarginsAt = 36,
                        kColourFlagsAt = 44, kColourAt = 46;
constexpr std::uint16_t kDropShadow = 0x0001, kColourSet = 0x0001;
constexpr unsigned kShadowGrey = 211, kShadowWidth = 12;

// Cell record fields.
constexpr std::uint32_t kRowAt = 2, kColumnAt = 3, kCellFlagsAt = 11, kRowSpanAt = 14, kColumnSpanAt = 15;
constexpr std::uint8_t kHiddenCell = 0x04 | 0x08;

const char* const kStyles[] = {"none", "solid", "double", "inset", "outset", "ridge", "groove", "dotted", "dashed"};

// Four words of the record: top, left, bottom, right.
struct Sides {
    unsigned top = 0, left = 0, bottom = 0, right = 0;
    bool Equal() const { return top == left && left == bottom && bottom == right; }
    unsigned Sum() const { return top + left + bottom + right; }
};

Sides ReadSides(const std::uint8_t* record, std::uint32_t length, std::uint32_t at) {
    return Sides{WordAt(record, length, at), WordAt(record, length, at + 2), WordAt(record, length, at + 4),
                 WordAt(record, length, at + 6)};
}

// Appends a formatted piece; what does not fit is left out whole.
template <typename... Args>
void Append(char* out, std::size_t capacity, const char* format, Args... args) {
    const std::size_t used = strnlen(out, capacity);
    if (used + 1 >= capacity) return;
    char piece[96];
    const int written = std::snprintf(piece, sizeof piece, format, args...);
    if (written < 0 || static_cast<std::size_t>(written) >= capacity - used) return;
    std::memcpy(out + used, piece, static_cast<std::size_t>(written) + 1);
}

// Margins or padding: one value when all four agree, the four in CSS order
// (top, right, bottom, left) when they differ.
void AppendBox(char* out, std::size_t capacity, const char* name, const Sides& sides) {
    if (sides.Equal()) {
        if (sides.top > 0) Append(out, capacity, "%s:%u;", name, sides.top);
    } else if (sides.Sum() > 0) {
        Append(out, capacity, "%s: %u %u %u %u;", name, sides.top, sides.right, sides.bottom, sides.left);
    }
}

bool IsCell(const CDRecordNode* node) { return node != nullptr && IsCellRecord(node->signature); }

// The next cell or table end of the table the node lies in, passing over
// the records of nested tables.
CDRecordNode* NextOwnCellOrEnd(CDRecordNode* node) {
    int nesting = 0;
    for (CDRecordNode* at = node->next; at != nullptr; at = at->next) {
        if (IsTableBeginRecord(at->signature)) {
            ++nesting;
        } else if (IsTableEndRecord(at->signature)) {
            if (nesting == 0) return at;
            --nesting;
        } else if (nesting == 0 && IsCellRecord(at->signature)) {
            return at;
        }
    }
    return nullptr;
}

unsigned Span(const CDRecordNode* cell, std::uint32_t at) { return NodeByte(cell, at); }

// Whether the owner's block begins at the cell's row and column.
bool BlockBeginsAt(const CDRecordNode* owner, const CDRecordNode* cell) {
    const int row = NodeByte(owner, kRowAt) - static_cast<int>(Span(owner, kRowSpanAt)) + 1;
    const int column = NodeByte(owner, kColumnAt) - static_cast<int>(Span(owner, kColumnSpanAt)) + 1;
    return row == NodeByte(cell, kRowAt) && column == NodeByte(cell, kColumnAt);
}

} // namespace

STATUS WriteXMLBorderStyle(const std::uint8_t* record, std::uint32_t length, XMLGenContext* context, char* out,
                           std::size_t capacity) {
    (void)context;
    if (out == nullptr || capacity == 0) return kArgumentError;
    out[0] = '\0';
    if (capacity < 2) return kOK;
    out[0] = ' ';
    out[1] = '\0';
    if (record == nullptr) return kOK;

    const bool shadow = (WordAt(record, length, kFlagsAt) & kDropShadow) != 0;
    const std::uint16_t style = WordAt(record, length, kStyleAt);
    const char* word = style < sizeof kStyles / sizeof kStyles[0] ? kStyles[style] : "solid";
    if (shadow && style <= 1) word = "inset";
    Append(out, capacity, "border-style:%s;", word);

    const unsigned red = ByteAt(record, length, kColourAt), green = ByteAt(record, length, kColourAt + 1),
                   blue = ByteAt(record, length, kColourAt + 2);
    const bool colourSet = (WordAt(record, length, kColourFlagsAt) & kColourSet) != 0;
    if (shadow && red + green + blue == 0) {
        Append(out, capacity, "border-color:rgb(%u,%u,%u);", kShadowGrey, kShadowGrey, kShadowGrey);
    } else if (colourSet) {
        Append(out, capacity, "border-color:rgb(%u,%u,%u);", red, green, blue);
    } else if (shadow) {
        Append(out, capacity, "border-color:rgb(%u,%u,%u);", kShadowGrey, kShadowGrey, kShadowGrey);
    }

    const Sides widths = ReadSides(record, length, kWidthsAt);
    if (widths.Equal()) {
        if (shadow && widths.top < kShadowWidth) {
            Append(out, capacity, "border-width: %upx %upx %upx %upx;", widths.top, kShadowWidth, kShadowWidth,
                   widths.top);
        } else {
            Append(out, capacity, "border-width:%u;", widths.top);
        }
    } else if (shadow) {
        Append(out, capacity, "border-width:0px %upx %upx 0px;", kShadowWidth, kShadowWidth);
    } else {
        Append(out, capacity, "border-width: %u %u %u %u;", widths.top, widths.right, widths.bottom, widths.left);
    }
    AppendBox(out, capacity, "margin", ReadSides(record, length, kMarginsAt));
    AppendBox(out, capacity, "padding", ReadSides(record, length, kPaddingAt));
    return kOK;
}

CDRecordNode* NextCellRecord(CDRecordNode* node) { return IsCell(node) ? NextOwnCellOrEnd(node) : nullptr; }

CDRecordNode* FindTableEnd(CDRecordNode* node) {
    if (node == nullptr) return nullptr;
    if (IsTableEndRecord(node->signature)) return node;
    if (!IsCellRecord(node->signature)) return nullptr;
    // From cell to cell; each step passes over the tables nested in a cell.
    for (CDRecordNode* at = NextOwnCellOrEnd(node); at != nullptr; at = NextOwnCellOrEnd(at)) {
        if (IsTableEndRecord(at->signature)) return at;
    }
    return nullptr;
}

CDRecordNode* FindSpanOwnerCell(CDRecordNode* node) {
    if (!IsCell(node)) return nullptr;
    if ((NodeByte(node, kCellFlagsAt) & kHiddenCell) == 0) return node;
    for (CDRecordNode* at = NextOwnCellOrEnd(node); at != nullptr && IsCellRecord(at->signature);
         at = NextOwnCellOrEnd(at)) {
        if ((Span(at, kRowSpanAt) > 1 || Span(at, kColumnSpanAt) >= 2) && BlockBeginsAt(at, node)) return at;
    }
    return nullptr;
}

int IsSpanOrigin(const CDRecordNode* cell, const CDRecordNode* owner) {
    if (!IsCell(cell) || !IsCell(owner)) return 0;
    const unsigned rowSpan = Span(owner, kRowSpanAt), columnSpan = Span(owner, kColumnSpanAt);
    if (cell == owner && rowSpan == 1 && columnSpan == 1) return 1;
    if (rowSpan < 2 && columnSpan < 2) return 0;
    return BlockBeginsAt(owner, cell) ? 1 : 0;
}

} // namespace talix
