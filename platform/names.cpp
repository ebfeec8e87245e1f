// User names and the address book.
//
// A hierarchical name is components separated by "/". Its canonical form
// labels each component ("CN=Jo Doe/OU=Sales/O=Org/C=US"); its abbreviated
// form drops the labels ("Jo Doe/Sales/Org/US"). Reading an abbreviated name,
// the first component is the common name, the last the organization (or, with
// three components or more, a two-letter last one is the country and the one
// before it the organization) and those between are organizational units. A
// name without "/" or labels is flat and keeps its form.
//
// The address book is the database "names.nsf" in the data directory (or on
// the server named); its Person documents (item "Form" = "Person") list their
// names in the text list "FullName".
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "notes_internal.h"
#include "status_codes.h"
#include "talix_platform/database.h"
#include "talix_platform/log.h"
#include "talix_platform/names.h"
#include "talix_platform/text.h"

namespace plat {

namespace {

constexpr const char* kDefaultUserName = "CN=Talix User/O=Local";
constexpr const char* kAddressBook = "names.nsf";
constexpr const char* kUsersNameSpace = "$Users";
constexpr const char* kPersonForm = "Person";
constexpr WORD kTextLimit = 0xFFFF;
constexpr STATUS kFound = 1;   // stops the note scan: a person of that name was read

std::string_view Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// The label of a component ("CN", "OU", "O", "C", upper case), or empty when
// it has none; *rest gets the component without it.
std::string Label(std::string_view component, std::string_view* rest) {
    *rest = component;
    size_t equals = component.find('=');
    if (equals == std::string_view::npos) return std::string();
    std::string_view key = Trim(component.substr(0, equals));
    for (const char* known : {"CN", "OU", "O", "C"}) {
        if (EqualIgnoringCase(key, known)) {
            *rest = Trim(component.substr(equals + 1));
            return known;
        }
    }
    return std::string();
}

std::vector<std::string_view> Components(std::string_view name) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t slash = name.find('/', start);
        parts.push_back(Trim(name.substr(start, slash == std::string_view::npos ? std::string_view::npos
                                                                                : slash - start)));
        if (slash == std::string_view::npos) return parts;
        start = slash + 1;
    }
}

std::string Canonical(std::string_view name) {
    std::vector<std::string_view> parts = Components(name);
    bool labelled = false;
    for (std::string_view part : parts) {
        std::string_view rest;
        if (!Label(part, &rest).empty()) labelled = true;
    }
    if (parts.size() == 1 && !labelled) return std::string(parts[0]);   // a flat name
    std::string result;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string_view rest;
        std::string label = Label(parts[i], &rest);
        if (label.empty() && !labelled) {
            size_t last = parts.size() - 1;
            bool country = parts.size() >= 3 && parts[last].size() == 2;
            if (i == 0) label = "CN";
            else if (i == last) label = country ? "C" : "O";
            else if (country && i == last - 1) label = "O";
            else label = "OU";
        }
        if (i > 0) result += '/';
        if (!label.empty()) result += label + "=";
        result += rest;
    }
    return result;
}

std::string Abbreviated(std::string_view name) {
    std::string result;
    std::vector<std::string_view> parts = Components(name);
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string_view rest;
        Label(parts[i], &rest);
        if (i > 0) result += '/';
        result += rest;
    }
    return result;
}

STATUS CopyResult(const std::string& text, char* buf, WORD limit) {
    if (text.size() + 1 > limit) {
        buf[0] = '\0';
        return ERR_BUFFER_SMALL;
    }
    std::memcpy(buf, text.data(), text.size());
    buf[text.size()] = '\0';
    return NOERROR;
}

// A name of the address book is the one wanted when both name the same
// person in canonical form, ignoring case.
bool SameName(const std::string& entry, const std::string& wanted) {
    std::string canonical = Canonical(entry);
    return Collate(canonical.data(), static_cast<DWORD>(canonical.size()), wanted.data(),
                   static_cast<DWORD>(wanted.size()), true, false) == 0;
}

bool IsPersonNamed(NOTEHANDLE note, const std::string& wanted) {
    std::vector<char> text(kTextLimit);
    WORD length = ItemGetText(note, "Form", text.data(), kTextLimit);
    if (!EqualIgnoringCase(std::string_view(text.data(), length), kPersonForm)) return false;
    WORD count = ItemTextListCount(note, "FullName");
    for (WORD i = 0; i < count; ++i) {
        WORD entryLength = 0;
        if (ItemTextListEntry(note, "FullName", i, text.data(), kTextLimit, &entryLength) &&
            SameName(std::string(text.data(), entryLength), wanted)) {
            return true;
        }
    }
    return false;
}

} // namespace

STATUS NameCanonicalize(const char* name, char* buf, WORD limit) {
    if (name == nullptr || buf == nullptr || limit == 0) return ERR_BAD_ARGUMENT;
    return CopyResult(Canonical(name), buf, limit);
}

STATUS NameAbbreviate(const char* name, char* buf, WORD limit) {
    if (name == nullptr || buf == nullptr || limit == 0) return ERR_BAD_ARGUMENT;
    return CopyResult(Abbreviated(name), buf, limit);
}

STATUS UserName(char* buf, WORD limit) {
    if (buf == nullptr || limit == 0) return ERR_BAD_ARGUMENT;
    std::vector<char> configured(kTextLimit);
    bool set = IniGetText("UserName", configured.data(), kTextLimit) && configured[0] != '\0';
    return CopyResult(Canonical(set ? configured.data() : kDefaultUserName), buf, limit);
}

STATUS NameLookupItem(const char* server, const char* nameSpace, const char* name, const char* itemName,
                      char* buf, WORD limit) {
    if (name == nullptr || *name == '\0' || itemName == nullptr || *itemName == '\0' || buf == nullptr ||
        limit == 0) {
        return ERR_BAD_ARGUMENT;
    }
    buf[0] = '\0';
    if (std::strlen(itemName) > MAXPATH) return ERR_ITEM_NAME;
    if (nameSpace != nullptr && *nameSpace != '\0' && !EqualIgnoringCase(nameSpace, kUsersNameSpace)) {
        return ERR_NAME_SPACE;
    }
    char path[MAXPATH + 1];
    STATUS status = PathNetBuild(server == nullptr ? "" : server, kAddressBook, path);
    if (status != NOERROR) return status;
    DBHANDLE db = NULLHANDLE;
    status = DbOpen(path, &db);
    if (status != NOERROR) return status;

    std::string wanted = Canonical(name);
    std::string value;
    STATUS itemStatus = ERR_NAME_NOT_FOUND;
    status = DbScanNotes(db, [&](NOTEID id, WORD noteClass) -> STATUS {
        if (noteClass != NOTE_CLASS_DOCUMENT) return NOERROR;
        NOTEHANDLE note = NULLHANDLE;
        STATUS opened = NoteOpenUncounted(db, id, OPEN_NOTE_DEFAULT, &note);
        if (opened != NOERROR) return opened;
        bool found = IsPersonNamed(note, wanted);
        if (found) {
            if (ItemIsPresent(note, itemName, static_cast<WORD>(std::strlen(itemName)))) {
                std::vector<char> text(kTextLimit);
                WORD length = ItemConvertToText(note, itemName, text.data(), kTextLimit, ',');
                value.assign(text.data(), length);
                itemStatus = NOERROR;
            } else {
                itemStatus = ERR_ITEM_NOT_FOUND;
            }
        }
        NoteClose(note);
        return found ? kFound : NOERROR;
    });
    DbClose(db);
    if (status != NOERROR && status != kFound) return status;
    if (itemStatus != NOERROR) return itemStatus;
    return CopyResult(value, buf, limit);
}

} // namespace plat
