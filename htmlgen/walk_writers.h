// The writers the record walk hands records to: tables, hotspots and
// sections, layers and layout regions, links and pictures (the head of the
// document and the paragraph start have headers of their own). Each takes the running generation with its
// current node on the record that starts its content and leaves the
// current node where the walk goes on (the writers that return a status
// give it back to the walk, which ends on a failure).
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// A table, from its table-begin, pre-table or (when the range starts inside
// a table) cell record up to its end; the cells' content is rendered by the
// walk one level deeper. kind: the walk's kind; depth: the walk's depth + 1.
STATUS WriteXMLTable(XMLGenContext* context, std::uint16_t kind, int depth);

// A hotspot from its begin record up to its end; its content is rendered by
// the walk. depth: the walk's depth + 1.
STATUS PXMLH(XMLGenContext* context, std::uint16_t kind, std::uint16_t depth);

// The start of a collapsible section at a section record met by the walk
// (the walk passes over the record afterwards).
STATUS WriteXMLSectionStart(XMLGenContext* context);

// A layer from its BEGIN record up to its END; its content is rendered by
// the walk. depth: the walk's depth + 1.
STATUS PXMLL(XMLGenContext* context, std::uint16_t kind, std::uint16_t depth);

// A layout region from its region record up to its end record.
STATUS WriteXMLLayoutRegion(XMLGenContext* context, std::uint16_t depth);

// A document, view or database link record (the walk passes over it
// afterwards). withIcon: the anchor is completed with the link's icon;
// inPageAnchor (may be null) is set when the link became a "#" anchor.
STATUS ProcessXMLDoclink(XMLGenContext* context, std::uint16_t kind, std::uint16_t depth, int withIcon,
                         int* inPageAnchor);

// A picture at a graphic record (the walk passes over it afterwards).
STATUS PXMLGr(XMLGenContext* context, std::uint16_t kind, std::uint16_t depth);

} // namespace talix
