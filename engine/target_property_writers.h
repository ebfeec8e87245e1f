// The property-text writers of a chunk's target (graphics, layers,
// horizontal rules, image maps and their areas) and the option reader of
// horizontal rules. Each writer turns one record (host form) into
// keyword=value words, each followed by one blank, appended to a
// zero-terminated text of capacity bytes (a word that does not fit is left
// out, and marked in the done flags' state). The selector is a position in the target type's keyword list; the
// count of the list asks for every word. Words whose position has a done
// flag are written once per request. Each returns 0.
#pragma once

#include <cstdint>

#include "core/record_list.h"
#include "core/statuses.h"
#include "engine/table_property_writers.h"

class RARIvoSession;

namespace talix {

// Appends a formatted word to the text when it fits whole; a word left out
// is marked in the state. Shared by the writers below.
void AppendWord(PropertyWriterState* state, char* text, std::uint32_t capacity, const char* format, ...);

// Selector that asks for every word of a graphic or a layer.
constexpr std::uint16_t kGraphicWordAll = 17;
constexpr std::uint16_t kLayerWordAll = 17;

// The alternate-text record (0xFFCA): "AltText=" and the text between quote
// characters it does not hold (position 0).
STATUS WriteAltTextProperty(const std::uint8_t* record, std::uint32_t length, char* text,
                            std::uint32_t capacity, std::uint16_t selector, PropertyWriterState* state);
// The caption record (0xFF76): "Caption=" and the text between quote
// characters it does not hold (position 1).
STATUS WriteCaptionProperty(const std::uint8_t* record, std::uint32_t length, char* text,
                            std::uint32_t capacity, std::uint16_t selector, PropertyWriterState* state);
// An image-map record (0xFFF4): "MapName=" and the name between quote
// characters it does not hold, for selector 0 or 1; other records give
// nothing.
STATUS WriteMapNameProperty(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                            char* text, std::uint32_t capacity, std::uint16_t selector,
                            PropertyWriterState* state);
// An image-map area record (0xFFF5): "Shape=" (selectors 6 and 8) and
// "TabIndex=" (selectors 7 and 8); other records give nothing.
STATUS WriteHotspotShapeProperties(const CDRecordNode* node, char* text, std::uint32_t capacity,
                                   std::uint16_t selector, PropertyWriterState* state);
// A layer's positioning record (0x6B): ZIndex, Scheme, BrowserLeftOffset,
// BrowserRightOffset, Top and Left.
STATUS WriteLayerPositionProperties(const std::uint8_t* record, std::uint32_t length, char* text,
                                    std::uint32_t capacity, std::uint16_t selector,
                                    PropertyWriterState* state);
// The size and background records of a layer: the box size record (0x6A:
// Width and Height), the background colour (0x72: BackgroundColor), the
// reference to the background image (0xFFF6: BackgroundImage) and the
// background properties (0x63: BackgroundRepeat), in the forms the layer
// builder reads; other records give nothing.
STATUS WriteLayerBoxProperties(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                               char* text, std::uint32_t capacity, std::uint16_t selector,
                               PropertyWriterState* state);
// A horizontal rule (0xFFC9) given by its node, so that the colour record
// after it is seen: FitToWindow, No3DShadow, Color, GradientColor, Width
// and Height (selector 12 asks for all).
STATUS WriteEmbeddedObjectProperties(const CDRecordNode* node, char* text, std::uint32_t capacity,
                                     std::uint16_t selector, PropertyWriterState* state);
// Applies "FitToWindow=", "No3DShadow=", "Color=" and "GradientColor=" of
// the options to a horizontal-rule record (0xFFC9, host form, length bytes)
// in place; other records are left alone. Returns 0.
STATUS ApplyEmbeddedObjectOptions(RARIvoSession* session, std::uint16_t signature, std::uint8_t* record,
                                  std::uint32_t length, const char* options, int flag);

} // namespace talix
