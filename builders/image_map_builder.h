// Image-map areas: one clickable area (rectangle, circle, polygon or the
// default area) added to the image map of the graphic at which the running
// operation stands, starting the map when the graphic has none.
#pragma once

#include <cstdint>

#include "core/statuses.h"

class RARIvoSession;

namespace talix {

struct BuildContext;

// The most points of a polygon area, and the largest shape data.
constexpr std::uint32_t kMaxPolygonPoints = 100;
constexpr std::uint32_t kMaxShapeData = 2 + 8 * kMaxPolygonPoints;

// Area shapes.
constexpr std::uint16_t kShapeRectangle = 1, kShapeCircle = 2, kShapePolygon = 3, kShapeDefault = 4;

// Adds one area. The area text names the shape ("default", "rect", "circle"
// or "poly", found anywhere in it, case-insensitively, in that order of
// preference; none of them means a rectangle) and holds its coordinates.
// Options: "TabIndex=", "CommonJavaScript=" and the HTML attributes with
// the prefix "Hotspot". When the session's hotspot request has code kind 1,
// its code (from the start of the text result) goes into an event record.
// The operation's current node (context->node) is where the map stands: the
// CDEND of an image map (the map stands before it), or a record followed by
// an existing map, which is written again with the new area's counter raised.
STATUS AppendImageMap(const char* areaText, const char* options, BuildContext* context);

// The shape data of an area text into shape (at least kMaxShapeData bytes,
// host form): returns its size, 16 for a rectangle or circle ("left=",
// "top=", "width=", "right=", "height=", "bottom="), 2 + 8 per point for a
// polygon ("NumPoints=", "x1=", "y1=" ...), 0 for a polygon whose point count
// is missing, 0 or above 100.
std::uint32_t ParseImageMapArea(RARIvoSession* session, const char* areaText, std::uint8_t* shape);

} // namespace talix
