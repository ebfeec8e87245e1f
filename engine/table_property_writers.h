// The property-text writers of tables: each turns one record of a table
// (host form) into keyword=value words, each followed by one blank,
// appended to a zero-terminated text. The selector is a position in the
// Table keyword list (29 asks for every word); a writer writes a keyword
// only while its done flag is clear and then sets it, so a table with
// several such records gives each keyword once.
#pragma once

#include <cstdint>

#include "core/statuses.h"

class ZervaRTItem;

namespace talix {

// Keyword positions of the Table list that the writers use.
constexpr std::uint16_t kTableWordAll = 29;

// The done flags of one property-text request, one per keyword position.
constexpr int kPropertyWordPositions = 32;
struct PropertyWriterState {
    std::uint32_t done[kPropertyWordPositions] = {};
    // Set when a word was left out because the text had no room for it.
    std::uint32_t wordLeftOut = 0;
};

// Every writer: record and its length, the text (capacity bytes with its
// terminator; a word that does not fit is left out and marked in the
// state), the selector and the request's done flags. Each returns 0.

// The table extension record (0xFFFB): TableWidth, RowDisplay (with
// Transition or TabSide), TableBodyColor, TableColor, CellBorderColor,
// BorderEffects.
STATUS WriteTableProperties(const std::uint8_t* record, std::uint32_t length, char* text,
                            std::uint32_t capacity, std::uint16_t selector, PropertyWriterState* state);
// The table begin record (163 or 207): TableWidth, RowDisplay,
// TableColorStyle, CellBorderStyle, CellBorderColor.
STATUS WriteTableLayoutProperties(const std::uint8_t* record, std::uint32_t length, char* text,
                                  std::uint32_t capacity, std::uint16_t selector,
                                  PropertyWriterState* state);
// The row-cycle record (225): RowCycleMilliseconds.
STATUS WriteRowCycleProperty(const std::uint8_t* record, std::uint32_t length, char* text,
                             std::uint32_t capacity, std::uint16_t selector, PropertyWriterState* state);
// The tab settings record (0xFF5C): TabIndent, TabsEqual and, when the
// record carries a tab font (one of a point size above 0), TabFont with the
// font's words (those of the Font property, face names from item, which may
// be null).
STATUS WriteTabProperties(const std::uint8_t* record, std::uint32_t length, ZervaRTItem* item, char* text,
                          std::uint32_t capacity, std::uint16_t selector, PropertyWriterState* state);
// An id/name record (0xFF7A or 0xFF7B): the words "<prefix>HTMLId=",
// HTMLClass, HTMLStyle, HTMLTitle, HTMLOther, HTMLName, each value between
// quote characters it does not hold, whose keyword
// positions start at base; allValue is the selector that asks for every
// word. Nothing is written when one of the six flags is already set.
STATUS WriteHTMLAttributeProperties(const std::uint8_t* record, std::uint32_t length, const char* prefix,
                                    std::uint16_t base, std::uint16_t allValue, char* text,
                                    std::uint32_t capacity, std::uint16_t selector,
                                    PropertyWriterState* state);

} // namespace talix
