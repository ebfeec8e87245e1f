// The attachment icon a file hotspot of an HTML import shows when the
// anchor brings no picture of its own: a 13 x 11 GIF of a page.
#pragma once

#include <cstdint>

#include "core/statuses.h"

namespace talix {

struct BuildContext;

constexpr std::uint32_t kAttachmentIconSize = 139;
constexpr std::uint16_t kAttachmentIconWidth = 13;
constexpr std::uint16_t kAttachmentIconHeight = 11;
extern const std::uint8_t kAttachmentIcon[kAttachmentIconSize];

// The icon as a picture: a graphic record, its image header and one image
// segment. Returns the status of the first append that failed, else 0.
STATUS AppendAttachmentIcon(BuildContext* context);

} // namespace talix
