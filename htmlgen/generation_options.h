// The option keywords of a generation, read once before anything is
// written into the switches, numbers and texts of the generation context.
// Other writers consult those values and name them by keyword; the few
// keywords that writers read from the option string themselves are not
// read here.
#pragma once

#include <string>

#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// Reads the context's option text (none: every keyword takes its default)
// for its format and MIME mode, in this order: the start values and the
// adjustments of MIME mode; the presets (Zelunda=Yes, else Duzuvore= with
// any value); the keywords every format reads (Generation= to AddNewlines=);
// then, for HTML and XHTML only, the other keywords, each in table order, so
// that a later keyword overrides what a preset or the MIME mode set.
// ImageHandling=RESOURCE with a database that cannot be opened sets the
// chunk's error word 20017. Returns 0, 263 when a tracked copy cannot be
// made, or 1028 (with a message) for a "BasePathname=" longer than its 255
// bytes (the values read so far stay, the run ends).
STATUS ReadGenerationOptions(XMLGenContext* context);

// The value of a keyword the writers read from the option text themselves
// (never cut); false when the keyword is absent or there are no options.
bool GenerationOption(const XMLGenContext* context, const char* key, std::string* value);

// Releases every option text of the context and closes the image database
// the options opened.
void ReleaseGenerationOptions(XMLGenContext* context);

// The source the caller gave in place of a built-in picture ("_a_checked"
// ...), or null.
const char* ImageReplacement(const XMLGenContext* context, const char* picture);

} // namespace talix
