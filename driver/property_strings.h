// The property strings that come with a call's name ("AutoSave=1
// HighlightFont='BLUE'"): every Name=value pair that names a property of
// the item (or of the chunk) is applied to it.
#pragma once

class ZervaRTItem;
class ZervaRTChunk;

namespace talix {

// Applies every pair of the string that names an item property: text
// properties through ZervaRTItem::SetPropertyText, number properties
// through ZervaRTItem::SetPropertyNumber with their value (a decimal number,
// or Yes and No for 1 and 0; any other value is passed over). Names that
// are no item property are passed over; read-only ones are refused by the
// item with its message.
void ApplyItemProperties(ZervaRTItem* item, const char* properties);

// The same for the chunk's properties, one name per call of the chunk's
// setters.
void ApplyChunkProperties(ZervaRTChunk* chunk, const char* properties);

} // namespace talix
