// What the image conversion of an HTML import shares between its sources:
// the element's request (source, size and the attributes the records
// carry), the size of an image resource, and the graphics of rich-text
// items that the generator's image URLs point back at.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/statuses.h"
#include "talix_platform/types.h"

class RARIvoSession;

namespace talix {

struct BuildContext;
struct HTMLImportContext;
struct HtmlNode;

// What an img (or v:imagedata) element asks for. A size counts as given
// when it was read as more than 0, or as 0 from a text beginning with a
// digit while AllowZeroSize is on.
struct ImageRequest {
    const HtmlNode* node = nullptr;
    std::string source;
    // The web editor's "../../" was taken off the source: what is left
    // ("/images/x.gif") names a file below the base path.
    bool belowBase = false;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    bool widthGiven = false;
    bool heightGiven = false;
    std::optional<std::string> alt;
    std::optional<std::string> align;
    std::optional<std::string> hspace;
    std::optional<std::string> vspace;
    std::optional<std::string> border;
};

// The text of an optional attribute, or null.
inline const char* TextOf(const std::optional<std::string>& value) {
    return value.has_value() ? value->c_str() : nullptr;
}

// 1 when the database holds an image resource of the name (the part
// before its first "?", else its first "!"), else 0. With both pointers
// given, a width or height still 0 is set from the resource's picture.
int ReadImageResourceSize(RARIvoSession* session, plat::DBHANDLE db, const char* name, std::uint16_t* width,
                          std::uint16_t* height);

// The generator's image URL of a graphic of a rich-text item
// (".../0/<universal id>/<item>/<item number>.<key>?OpenElement&FieldElemFormat=..."):
// the graphic is looked up in the named item of the named note (the
// source records of the import when that is the item being written, or
// when the note or item cannot be read) and its records are copied into
// the import with the element's size, alt text and spacing. *copied is
// false when no graphic matched (nothing is written then). Returns the
// status of the first append that failed, else 0.
STATUS CopyItemGraphic(BuildContext* context, HTMLImportContext* import, const ImageRequest& request,
                       bool* copied);

} // namespace talix
