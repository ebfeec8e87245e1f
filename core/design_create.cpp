// New design elements: the design note of each kind with its title, flags
// and other items (RARIvoSession::CreateDesignElement, which creates one and
// connects an item to its content, is setup/design_element.cpp).
#include "core/design_create.h"

#include <cstdio>
#include <cstring>

#include "core/database_open.h"
#include "core/host_message.h"
#include "core/options.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "core/thread_state.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

constexpr DesignKind kKinds[] = {
    {"Form", DesignKindId::Form, "$Body", "", plat::NOTE_CLASS_FORM, true},
    {"Image Resource", DesignKindId::ImageResource, "$ImageData", "34CiQ", plat::NOTE_CLASS_FORM, false},
    {"Page", DesignKindId::Page, "$Body", "C34WQ", plat::NOTE_CLASS_FORM, true},
    // Shared fields are field-class design notes, as their connect looks
    // them up.
    {"Shared Field", DesignKindId::SharedField, "$Body", "", plat::NOTE_CLASS_FIELD, true},
    {"Subform", DesignKindId::Subform, "$Body", "CUA3", plat::NOTE_CLASS_FORM, true},
    {"File Resource", DesignKindId::FileResource, "$FileData", nullptr, plat::NOTE_CLASS_FORM, false},
};

// The item that holds the size of a file resource's content.
constexpr const char* kFileSizeItem = "$FileSize";
// The item that dates a file resource's content.
constexpr const char* kFileModifiedItem = "$FileModDT";

// The document record of "$Info", host form.
constexpr plat::WORD kDocumentType = 114;

plat::WORD TextLength(const char* text) { return static_cast<plat::WORD>(::strnlen(text, 0xFFFF)); }

STATUS SetText(plat::NOTEHANDLE note, const char* item, const char* text) {
    return plat::ItemSetText(note, item, text, TextLength(text));
}

STATUS SetNumber(plat::NOTEHANDLE note, const char* item, double value) {
    plat::NUMBER number = value;
    return plat::ItemSetNumber(note, item, &number);
}

// The name after its last "/", else after its last "\", else the whole name.
const char* LastPart(const char* name) {
    const char* slash = FindNameCharacter(name, '/', true);
    if (slash == nullptr) slash = FindNameCharacter(name, '\\', true);
    return slash != nullptr ? slash + 1 : name;
}

// The extension of a name from its last "." on, or "".
const char* DotExtension(const char* name) {
    const char* dot = FindNameCharacter(name, '.', true);
    return dot != nullptr ? dot : "";
}

bool IsHtml(const char* extension) {
    return CompareNamesNoCase(extension, ".htm") == 0 || CompareNamesNoCase(extension, ".html") == 0;
}

// "$Info": one document record with paper colour 1, form flags 128 and the
// extended paper colour 1.
STATUS AppendInfo(plat::NOTEHANDLE note) {
    const plat::WORD hostLength = plat::StructHostLength(kDocumentType);
    const plat::WORD storedLength = plat::StructStoredLength(kDocumentType);
    std::uint8_t host[64] = {};
    std::uint8_t stored[64] = {};
    if (hostLength < 14 || hostLength > sizeof host || storedLength > sizeof stored) return kOperationFailed;
    host[0] = kSigDocument;
    host[1] = static_cast<std::uint8_t>(storedLength);
    host[2] = 1;     // WORD at 2
    host[4] = 128;   // WORD at 4
    host[12] = 1;    // WORD at 12
    void* position = stored;
    STATUS status = plat::StructWrite(&position, kDocumentType, host);
    if (status != plat::NOERROR) return status;
    return plat::ItemAppend(note, 0, "$Info", 5, plat::TYPE_COMPOSITE, stored, storedLength);
}

// The items of a new design note of the kind. The title is the whole name;
// the file name and extension are those of its first name.
STATUS WriteNewElement(plat::NOTEHANDLE note, const DesignKind& kind, const char* title) {
    const bool fileResource = kind.kind == DesignKindId::FileResource;
    const std::string lookupName = DesignLookupName(title);
    const char* name = lookupName.c_str();
    const char* extension = DotExtension(name);
    STATUS status = SetText(note, "$TITLE", title);
    if (status == kOK && kind.info) status = AppendInfo(note);
    if (status == kOK) status = SetText(note, "$DesignerVersion", fileResource ? "6" : "5");
    if (status == kOK) {
        const char* flags = kind.flags;
        if (flags == nullptr) {
            flags = CompareNamesNoCase(extension, ".css") == 0 ? "D34C=Q" : IsHtml(extension) ? "345Cg>Q" : "345CgQ";
        }
        status = SetText(note, "$Flags", flags);
    }
    if (status != kOK) return status;
    if (kind.kind == DesignKindId::ImageResource) {
        status = SetText(note, "$ImageNames", LastPart(name));
        if (status == kOK) status = SetNumber(note, "$ImagesWide", 1.0);
        if (status == kOK) status = SetNumber(note, "$ImagesHigh", 1.0);
        if (status == kOK) status = SetNumber(note, "$ImagesColorize", 0.0);
    } else if (fileResource) {
        status = SetText(note, "$FlagsExt", "D");
        if (status == kOK) status = SetText(note, "$FileNames", LastPart(name));
        const char* mimeType = IsHtml(extension)                             ? "text/html"
                               : CompareNamesNoCase(extension, ".txt") == 0 ? "text/plain"
                                                                            : nullptr;
        if (status == kOK && mimeType != nullptr) status = SetText(note, "$MimeType", mimeType);
        if (status == kOK) {
            plat::TIMEDATE now;
            plat::CurrentTime(&now);
            status = plat::ItemSetTime(note, "$FileModDT", &now);
        }
    }
    if (status == kOK) status = plat::NoteSetInfo(note, plat::NOTE_FIELD_CLASS, &kind.noteClass);
    return status;
}

// The kind of the design note of that id, by its design flags; null when
// the note cannot be read.
const char* KindOfDesignNote(plat::DBHANDLE db, plat::NOTEID id) {
    plat::NOTEHANDLE note = 0;
    if (plat::NoteOpen(db, id, plat::OPEN_NOTE_DEFAULT, &note) != plat::NOERROR) return nullptr;
    char flags[256] = {};
    plat::ItemGetText(note, "$Flags", flags, sizeof flags);
    plat::NoteClose(note);
    return DesignKindOfFlags(flags);
}

void Message(RARIvoSession* session, const char* format, const char* first, const char* second) {
    if (ThisThread().suppressMessages != 0) return;
    std::snprintf(session->messageBuffer, sizeof session->messageBuffer, format, first, second);
    ShowHostMessage(session->messageBuffer);
}

} // namespace

namespace talix {

const char* DesignKindOfFlags(std::string_view flags) {
    auto has = [&](char flag) { return flags.find(flag) != std::string_view::npos; };
    if (has('K')) return "XPage";
    if (has(';')) return "custom control";
    if (has('#')) return "frameset";
    if (has('i')) return "image resource";
    if (has('g') || has('=')) return "file resource";
    if (has('U')) return "subform";
    if (has('W')) return "page";
    return "form";
}

bool DesignOptionIsYes(const char* options, const char* key) {
    if (options == nullptr) return false;
    std::string value(::strnlen(options, 0x10000) + 1, '\0');
    return GetOptionValue(options, key, value.data(), static_cast<std::uint32_t>(value.size())) != 0 &&
           CompareNamesNoCase(value.c_str(), "Yes") == 0;
}

std::string DesignElementName(const char* name, const char* options) {
    std::string encoded = name != nullptr ? name : "";
    if (!DesignOptionIsYes(options, "URLEncode=")) return encoded;
    // Only characters of one byte are changed: the later bytes of a longer
    // character may have the values of these.
    for (std::size_t at = 0; at < encoded.size();) {
        char& c = encoded[at];
        const auto size = plat::LmbcsCharLength(reinterpret_cast<const plat::BYTE*>(&c),
                                                static_cast<plat::DWORD>(encoded.size() - at));
        if (size <= 1) {
            if (c == '\\') c = '/';
            else if (c == ' ') c = '+';
            else if (c == ':') c = '_';
        }
        at += size > 0 ? size : 1;
    }
    return encoded;
}

const char* FindNameCharacter(const char* name, char character, bool last) {
    if (name == nullptr) return nullptr;
    const char* found = nullptr;
    const std::size_t length = std::strlen(name);
    for (std::size_t at = 0; at < length;) {
        if (name[at] == character) {
            found = name + at;
            if (!last) break;
        }
        const plat::WORD size =
            plat::LmbcsCharLength(reinterpret_cast<const plat::BYTE*>(name + at), static_cast<plat::DWORD>(length - at));
        at += size > 0 ? size : 1;
    }
    return found;
}

std::string DesignLookupName(const char* name) {
    if (name == nullptr) return "";
    const char* bar = FindNameCharacter(name, '|', false);
    return bar != nullptr ? std::string(name, bar) : std::string(name);
}

bool OverwritesDesignElement(const char* options) {
    const bool bare = options != nullptr && options[0] != '\0' && std::strchr(options, '=') == nullptr;
    return bare || DesignOptionIsYes(options, "Overwrite=");
}

const DesignKind* FindDesignKind(const char* kind) {
    if (kind == nullptr) return nullptr;
    for (const DesignKind& each : kKinds)
        if (CompareNamesNoCase(kind, each.name) == 0) return &each;
    return nullptr;
}

STATUS CreateDesignElementNote(RARIvoSession* session, const char* kindName, const char* server, const char* path,
                               const char* name, const char* contentItem, int overwrite, int* existing,
                               DesignNoteChange* change) {
    if (existing != nullptr) *existing = 0;
    DesignNoteChange ignored;
    if (change == nullptr) change = &ignored;
    *change = DesignNoteChange{};
    if (session == nullptr) return kArgumentError;
    const DesignKind* kind = FindDesignKind(kindName);
    if (kind == nullptr) return kNoHtmlInput;
    if (name == nullptr || name[0] == '\0' || ::strnlen(name, 0x10000) > 0xFFFF) return kArgumentError;
    if (contentItem == nullptr || contentItem[0] == '\0') contentItem = kind->contentItem;

    plat::DBHANDLE db = 0;
    STATUS status = OpenDatabaseByName(session, server, path, &db);
    if (status != kOK) {
        Message(session, "TALIX: Database '%s' on server '%s' could not be accessed.", path != nullptr ? path : "",
                server != nullptr ? server : "");
        return status;
    }

    plat::NOTEHANDLE note = 0;
    plat::NOTEID id = 0;
    std::vector<KeptItem> content, fileSize, fileModified;
    const std::string lookupName = DesignLookupName(name);
    const bool found = plat::FindDesignNote(db, lookupName.c_str(), kind->noteClass, &id) == plat::NOERROR;
    // Forms, subforms, pages and resources share the form class: the name
    // may belong to an element of another kind, which neither overwriting
    // nor connecting may take for one of this kind.
    if (found && kind->noteClass == plat::NOTE_CLASS_FORM) {
        const char* held = KindOfDesignNote(db, id);
        if (held != nullptr && CompareNamesNoCase(held, kind->name) != 0) {
            change->otherKind = held;
            plat::DbClose(db);
            return kArgumentError;
        }
    }
    if (!found) {
        status = plat::NoteCreate(db, &note);
        if (status == kOK) status = WriteNewElement(note, *kind, name);
    } else if (overwrite != 0) {
        status = plat::NoteOpen(db, id, plat::OPEN_NOTE_DEFAULT, &note);
        // The content is kept, to be put back should the creation fail.
        if (status == kOK) status = KeepItems(note, contentItem, &content);
        if (status == kOK) {
            status = plat::ItemDelete(note, contentItem, TextLength(contentItem));
            if (status == plat::ERR_ITEM_NOT_FOUND) status = kOK;
        }
        // A file resource's size goes with its content: an element left
        // without content claims no size. Its content changes now.
        if (status == kOK && kind->kind == DesignKindId::FileResource) {
            status = KeepItems(note, kFileSizeItem, &fileSize);
            if (status == kOK) status = KeepItems(note, kFileModifiedItem, &fileModified);
            if (status == kOK) {
                status = plat::ItemDelete(note, kFileSizeItem, TextLength(kFileSizeItem));
                if (status == plat::ERR_ITEM_NOT_FOUND) status = kOK;
            }
            if (status == kOK) {
                plat::TIMEDATE now;
                plat::CurrentTime(&now);
                status = plat::ItemSetTime(note, kFileModifiedItem, &now);
            }
        }
    } else {
        Message(session, "TALIX: %s '%s' already exists.", kindName, plat::LmbcsToNative(name).c_str());
        if (existing != nullptr) *existing = 1;
        plat::DbClose(db);
        return kOK;
    }
    if (status == kOK) status = plat::NoteUpdate(note, 0);
    if (status == kOK && !found) {
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &change->created);
    } else if (status == kOK) {
        change->cleared = id;
        change->content = std::move(content);
        change->fileResource = kind->kind == DesignKindId::FileResource;
        change->fileSize = std::move(fileSize);
        change->fileModified = std::move(fileModified);
    }
    CloseNoteAndDatabase(db, note);
    return status;
}

STATUS UndoDesignElementNote(RARIvoSession* session, const char* server, const char* path, const char* contentItem,
                             const DesignNoteChange& change) {
    if (change.created == 0 && change.cleared == 0) return kOK;
    plat::DBHANDLE db = 0;
    STATUS status = OpenDatabaseByName(session, server, path, &db);
    if (status != kOK) return status;
    if (change.created != 0) {
        status = plat::NoteDelete(db, change.created, 0);
    } else {
        plat::NOTEHANDLE note = 0;
        status = plat::NoteOpen(db, change.cleared, plat::OPEN_NOTE_DEFAULT, &note);
        if (status == kOK) {
            RestoreItems(note, contentItem, change.content);
            if (change.fileResource) {
                RestoreItems(note, kFileSizeItem, change.fileSize);
                RestoreItems(note, kFileModifiedItem, change.fileModified);
            }
            status = plat::NoteUpdate(note, 0);
        }
        if (note != 0) plat::NoteClose(note);
    }
    plat::DbClose(db);
    return status;
}

} // namespace talix
