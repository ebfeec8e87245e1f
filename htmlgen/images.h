// Pictures as img elements (PXMLGr, htmlgen/walk_writers.h) and the key
// that names a picture in exported file names, image URLs and MIME parts.
#pragma once

#include <cstdint>
#include <string>

#include "core/record_list.h"

class ZervaRTItem;

namespace talix {

struct XMLGenContext;

// The key of a picture: the position just past its graphic record in its
// stored item (the item's data-type word counted), measured on the records
// of the item segment that holds it as the list holds them, each length
// made even; its low 16 bits. The record reader keeps the same key with the
// graphic's node.
std::uint16_t GraphicNameKey(ZervaRTItem* item, const OutputSegment* segment, const CDRecordNode* graphic);

// Whether the image resource a reference record names (its name as the
// Content-ID gives it) can be handed over as a picture: a picture its
// database holds, in MIME output of a type mail readers read.
bool ImageResourceTravels(XMLGenContext* context, const CDRecordNode* reference, const std::string& name);

} // namespace talix
