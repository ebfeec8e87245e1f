// Creating the notes of new design elements.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/kept_items.h"
#include "core/statuses.h"
#include "talix_platform/types.h"

class RARIvoSession;

namespace talix {

enum class DesignKindId { Form, ImageResource, Page, SharedField, Subform, FileResource };

// A kind of design element the session creates: its name, its content
// item and what its design note holds.
struct DesignKind {
    const char* name;
    DesignKindId kind;
    const char* contentItem;
    const char* flags;          // null: chosen by the name's extension
    plat::WORD noteClass;
    bool info;                  // has a "$Info" document record
};

// The kind of that name ("Form", "Page", "Subform", "Shared Field", "Image
// Resource", "File Resource", ignoring case), or null.
const DesignKind* FindDesignKind(const char* kind);

// The kind of design element of the form class that design flags ("$Flags")
// make a note: "XPage", "custom control", "frameset", "image resource",
// "file resource", "subform", "page", else "form".
const char* DesignKindOfFlags(std::string_view flags);

// Whether an option of a creation is "Yes" (ignoring case).
bool DesignOptionIsYes(const char* options, const char* key);

// The name an element is created under with the options of its creation:
// with "URLEncode=Yes" made safe for URLs ("\" to "/", blank to "+", ":" to
// "_"), else as given.
std::string DesignElementName(const char* name, const char* options);

// The first (or with last, the last) character of a name (LMBCS) that is
// the character given, or null: a byte of its value inside a character of
// several bytes is not it.
const char* FindNameCharacter(const char* name, char character, bool last);

// The name an element of that name (its title) is found by: the title up
// to its first "|", the aliases that follow it left out.
std::string DesignLookupName(const char* name);

// Whether the options of a creation ask for an existing element to be
// emptied: a text without "=" (a source file's path), or "Overwrite=Yes".
bool OverwritesDesignElement(const char* options);

// What CreateDesignElementNote stored: the note it made, or the note whose
// content item it deleted with that content; so that a creation that fails
// afterwards can be taken back (UndoDesignElementNote).
struct DesignNoteChange {
    plat::NOTEID created = 0;
    plat::NOTEID cleared = 0;
    std::vector<KeptItem> content;
    // A file resource's "$FileSize" and "$FileModDT" (none kept: it had
    // none), changed with its content.
    bool fileResource = false;
    std::vector<KeptItem> fileSize, fileModified;
    // The kind of the element that holds the name when it is of another
    // kind (DesignKindOfFlags' words): nothing was stored.
    const char* otherKind = nullptr;
};

// Creates the design note of a kind ("Form", "Page", "Subform", "Shared
// Field", "Image Resource", "File Resource", ignoring case) named name,
// with its title, flags and the kind's other items, and stores it. When an
// element of that name exists, overwrite deletes its content item (the
// element is stored without it; a file resource also loses the "$FileSize"
// that told the size of that content, and its "$FileModDT" becomes now);
// without overwrite the element is left as it is, "TALIX: %s '%s' already exists." is shown (unless messages are
// suppressed) and *existing (may be null) is set to 1. An element of that
// name of another kind (a form where a page is asked for) is left as it is:
// change->otherKind names its kind and 1028 is returned. Returns 0, 259 for
// another kind asked for, 1028 for an empty name, or the platform's status (a
// database that cannot be opened is reported as "TALIX: Database '%s' on
// server '%s' could not be accessed.").
// change (may be null) gets what was stored.
STATUS CreateDesignElementNote(RARIvoSession* session, const char* kind, const char* server, const char* path,
                               const char* name, const char* contentItem, int overwrite, int* existing = nullptr,
                               DesignNoteChange* change = nullptr);

// Takes back what CreateDesignElementNote stored: the note it made is
// deleted (with the attachments only it named), the content it deleted is
// put back. Returns 0 or the failure to do so.
STATUS UndoDesignElementNote(RARIvoSession* session, const char* server, const char* path, const char* contentItem,
                             const DesignNoteChange& change);

} // namespace talix
