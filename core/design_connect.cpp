// Connecting an item to the content item of a named design element (form,
// subform, page, shared field, image resource, frameset, file resource,
// XPage, custom control), optionally on a fresh copy of the element.

#include <cstring>
#include <string>
#include <string_view>

#include "core/database_open.h"
#include "core/item_internal.h"
#include "core/item_work_state.h"
#include "core/owned_text.h"
#include "core/text_compare.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

constexpr std::size_t kMaxNameLength = 256;

// Replaces an owned text by a copy of text (null stored as an empty text).
// Returns false when memory is short.
bool Store(char*& field, const char* text) {
    char* copy = CopyOwnedText(text != nullptr ? text : "");
    FreeOwnedText(field);
    field = copy;
    return copy != nullptr;
}

// The worker of the whole family: opens the database and the design note
// (or a copy of it) of the class, then connects to the named item, creating
// a blank rich-text item when the note lacks it. Returns 0 also when that
// item can neither be found nor created; the item then stays unconnected.
STATUS ConnectDesignItem(ZervaRTItem* item, const char* server, const char* database, const char* name,
                         const char* copyName, const char* itemName, plat::WORD designClass) {
    if (!ItemReady(item)) return kOutOfMemory;
    ReleaseConnection(item);
    item->work->connectWord = 0;
    item->ownError = 0;
    if (!Store(item->server, server) || !Store(item->databasePath, database)) return kOutOfMemory;

    item->work->designFlag = 1;
    if (itemName == nullptr || itemName[0] == '\0' || ::strnlen(itemName, kMaxNameLength + 1) > kMaxNameLength ||
        name == nullptr || name[0] == '\0') {
        Store(item->itemName, "");
        item->ownError = kErrBadName;
        return kErrBadName;
    }
    if (!Store(item->itemName, itemName)) return kOutOfMemory;
    item->work->imageDataFlag = CompareNamesNoCase(itemName, "$ImageData") == 0 ? 1 : 0;
    item->work->mode = 0;

    STATUS status = OpenDesignNote(item->session, item->server, item->databasePath, 0, name, copyName,
                                   &item->databaseHandle, &item->noteHandle, item->autoDecrypt,
                                   item->decryptionKey, designClass);
    if (status != kOK) {
        item->lastStatus = status;
        return status;
    }
    plat::NoteGetInfo(item->noteHandle, plat::NOTE_FIELD_ID, &item->noteID);
    item->connected = 0;
    auto nameLength = static_cast<plat::WORD>(std::strlen(item->itemName));
    if (!plat::ItemIsPresent(item->noteHandle, item->itemName, nameLength) &&
        item->CreateBlankRichTextItem() != kOK)
        return status;
    item->connected = 1;
    item->lastStatus = item->InitialFontTable();
    return item->lastStatus;
}

// The name of an XPage or custom control: name itself when it ends in
// ".xsp" (ignoring case), else name with ".xsp" appended. Blanks around the
// name are dropped first, as the look-up ignores them around every other
// element's name: " Home " and "Home.xsp " name the XPage "Home.xsp", not
// " Home .xsp" or "Home.xsp .xsp". The name is made whole, however long.
std::string XspName(const char* name) {
    std::string_view text(name);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    std::string made(text);
    if (made.size() < 5 || CompareNamesNoCase(made.c_str() + made.size() - 4, ".xsp") != 0) made += ".xsp";
    return made;
}

} // namespace

std::uint16_t ZervaRTItem::ConnectFormBody(const char* serverName, const char* database, const char* name,
                                           const char* copyName, const char* flagsPattern, const char* item) {
    return ConnectDesignItem(this, serverName, database, name, copyName, item, plat::NOTE_CLASS_FORM);
}

std::uint16_t ZervaRTItem::ConnectForm(const char* serverName, const char* database, const char* name,
                                       const char* copyName) {
    return ConnectFormBody(serverName, database, name, copyName, "-U-W", "$Body");
}

std::uint16_t ZervaRTItem::ConnectSubform(const char* serverName, const char* database, const char* name,
                                          const char* copyName) {
    return ConnectFormBody(serverName, database, name, copyName, "+U", "$Body");
}

std::uint16_t ZervaRTItem::ConnectPage(const char* serverName, const char* database, const char* name,
                                       const char* copyName) {
    return ConnectFormBody(serverName, database, name, copyName, "(+-*W", "$Body");
}

// Shared fields are design notes of the field class, not of the form class.
std::uint16_t ZervaRTItem::ConnectSharedField(const char* serverName, const char* database, const char* name,
                                              const char* copyName) {
    return ConnectDesignItem(this, serverName, database, name, copyName, "$Body", plat::NOTE_CLASS_FIELD);
}

std::uint16_t ZervaRTItem::ConnectImageResource(const char* serverName, const char* database, const char* name,
                                                const char* copyName) {
    return ConnectFormBody(serverName, database, name, copyName, "+i", "$ImageData");
}

std::uint16_t ZervaRTItem::ConnectFrameSet(const char* serverName, const char* database, const char* name,
                                           const char* copyName) {
    return ConnectFormBody(serverName, database, name, copyName, "(+-*#", "$FrameSet");
}

std::uint16_t ZervaRTItem::ConnectFileResource(const char* serverName, const char* database, const char* name,
                                               const char* copyName) {
    return ConnectFormBody(serverName, database, name, copyName, "(+g=-/*", "$FileData");
}

std::uint16_t ZervaRTItem::ConnectXPage(const char* serverName, const char* database, const char* name,
                                        const char* copyName) {
    const std::string xsp = name != nullptr ? XspName(name) : std::string();
    return ConnectFormBody(serverName, database, name != nullptr ? xsp.c_str() : nullptr, copyName, "*gK", "$FileData");
}

std::uint16_t ZervaRTItem::ConnectCustomControl(const char* serverName, const char* database, const char* name,
                                                const char* copyName) {
    const std::string xsp = name != nullptr ? XspName(name) : std::string();
    return ConnectFormBody(serverName, database, name != nullptr ? xsp.c_str() : nullptr, copyName, "*g;", "$FileData");
}
