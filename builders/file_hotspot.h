// The file-attachment hotspot: a file from disk attached to the note being
// written, and in the body a file hotspot showing its icon (a built-in
// picture, or a picture converted from a graphic file through an import
// filter) and a caption.
#pragma once

#include "core/statuses.h"

namespace talix {

struct BuildContext;

// Attaches filePath to the run's note as "$FILE" under attachmentName
// (unless "AlreadyAttached=Yes") and appends CDBEGIN, the file hotspot
// (attachment name and display name), the icon, the caption, the hotspot
// end and CDEND. The display name is the given one, else the part of the
// path after its last "\" or "/". Options: "AlreadyAttached=", "UseGraphic="
// (a graphic file drawn through its import filter in place of the built-in
// icon and caption; an empty value or a file without a filter draws
// nothing), "UseText=" (one more text run). Returns 0, 1028 for a missing
// argument or names too long for the hotspot record, the status of the
// attachment (nothing is written then), the status of the graphic's
// conversion (the run's error word becomes 20014 when it held none), or the
// first failing append.
STATUS AppendFileHotspot(const char* filePath, const char* attachmentName, const char* displayName,
                         const char* options, BuildContext* context);

} // namespace talix
