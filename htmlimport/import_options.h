// Reading the import options of the three HTML import entry points into the
// import context, and releasing what they keep.
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "htmlimport/html_import_context.h"

namespace talix {

struct BuildContext;

enum class ImportSource : std::uint8_t {
    kItem,   // HTML in the text records of a rich-text item
    kText,   // HTML text in a buffer
    kFile,   // an HTML file
};

// The set-up all three entries share: the default font (also put into the
// item's ready-made text run), "Size1=" to "Size7=", "LocalResourcePrefix=",
// "DBResource=" with "ImageView=" and the replica option, and
// "PreserveImageNotes=". Returns 0, 263, or 1028 (with a message) for a
// path option longer than the room kept for it.
STATUS ReadCommonImportOptions(HTMLImportContext* import, BuildContext* context,
                               const char* options);

// The options an entry reads besides (the text and item imports after a
// successful parse, the file import before parsing): "Duzuvore=",
// "BasePathname=", "ResolveLocalResources=", "ResolveDoclinks=",
// "AllowZeroSize=", "AutoAttachFiles=", "BlankAltString=", as far as the
// entry knows them (every entry refuses a "BasePathname=" longer than the
// base path's 511 bytes). Returns 0, 263 or 1028 (with a message).
STATUS ReadEntryImportOptions(HTMLImportContext* import, const char* options, ImportSource source);

// Copies the caller's option string into the context's tracked option text,
// with room for what the walk appends to it: a text of more than 800
// characters gets 1,401 bytes more (item import) or 201 (text and file
// imports); a shorter one a block of 2,048 or 1,024 bytes. The item import
// appends " indent". Returns 0 or 263.
STATUS CopyImportOptionText(HTMLImportContext* import, const char* options, ImportSource source);

// The base path of a file import: the path up to and including its last
// backslash, else its last slash; empty when it has neither.
void SetBasePathFromFile(HTMLImportContext* import, const char* path);
// The directory whose files a file import may read: the file's own, unless
// "BasePathname=" names another, which is then the base path too. A file
// named relative to the working directory gets its directory's full name
// as its base path. (The text
// and item imports may read files only in the directory "BasePathname="
// names, ReadEntryImportOptions.)
void SetFileImportDirectory(HTMLImportContext* import, const char* path, const char* options);

// Releases what an import context holds, in this order: the link text, the
// resource prefix, the resource database (closed when the import opened it),
// the blank alt text, the option text; then the tree, the style rules, the
// pass-thru markers and any records not handed on. The record output stops pointing at the
// context. The context itself stays with its owner.
void ReleaseImportContext(HTMLImportContext* import, BuildContext* context);

} // namespace talix
