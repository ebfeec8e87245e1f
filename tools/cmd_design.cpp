// The commands design (the records of a design element's content, found by
// kind and name through the library's connects) and create-design (a new
// design element made by the library).
#include <cctype>
#include <cstdio>
#include <string>

#include "cli.h"
#include "core/design_create.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix_cli {

namespace {

using Connector = std::uint16_t (ZervaRTItem::*)(const char*, const char*, const char*, const char*);

struct DesignKind {
    const char* word;          // as typed, without blanks, hyphens or underscores
    const char* libraryName;   // the kind CreateDesignElement takes, or null
    Connector connect;
};

constexpr DesignKind kKinds[] = {
    {"form", "Form", &ZervaRTItem::ConnectForm},
    {"subform", "Subform", &ZervaRTItem::ConnectSubform},
    {"page", "Page", &ZervaRTItem::ConnectPage},
    {"sharedfield", "Shared Field", &ZervaRTItem::ConnectSharedField},
    {"imageresource", "Image Resource", &ZervaRTItem::ConnectImageResource},
    {"fileresource", "File Resource", &ZervaRTItem::ConnectFileResource},
    {"frameset", nullptr, &ZervaRTItem::ConnectFrameSet},
    {"xpage", nullptr, &ZervaRTItem::ConnectXPage},
    {"customcontrol", nullptr, &ZervaRTItem::ConnectCustomControl},
};

const DesignKind* FindKind(const std::string& text) {
    std::string word;
    for (char c : text) {
        if (c != ' ' && c != '-' && c != '_') word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const DesignKind& kind : kKinds)
        if (word == kind.word) return &kind;
    return nullptr;
}

// Whether the database has an element the creation finds by the name and
// keeps as it is (the options ask for no overwrite). False when the
// database does not open: the creation says why.
bool KeepsExistingElement(const std::string& path, const char* kind, const std::string& name, const char* options) {
    const talix::DesignKind* made = talix::FindDesignKind(kind);
    if (made == nullptr || talix::OverwritesDesignElement(options)) return false;
    plat::DBHANDLE db = 0;
    if (plat::DbOpen(path.c_str(), &db) != plat::NOERROR) return false;
    plat::NOTEID id = 0;
    const std::string element = talix::DesignLookupName(talix::DesignElementName(name.c_str(), options).c_str());
    const bool found = plat::FindDesignNote(db, element.c_str(), made->noteClass, &id) == plat::NOERROR;
    plat::DbClose(db);
    return found;
}

std::string NoteIdText(plat::NOTEID id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
    return text;
}

} // namespace

int RunDesign(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() != 3) return UsageError(command, "design needs a database, a kind and a name");
    const DesignKind* kind = FindKind(args[1]);
    if (kind == nullptr) return UsageError(command, "unknown design-element kind '%s'", args[1].c_str());
    if (args[2].empty()) return UsageError(command, "design needs the name of an element, not an empty one");

    plat::NOTEID id = 0;
    std::string itemName;
    {
        RARIvoSession session;
        session.SetUp();
        ZervaRTItem item(&session);
        std::string name = plat::NativeToLmbcs(args[2]);
        plat::STATUS status = (item.*kind->connect)("", args[0].c_str(), name.c_str(), nullptr);
        if (status != plat::NOERROR) {
            return Fail("cannot connect to %s '%s' in %s: %s", args[1].c_str(), args[2].c_str(), args[0].c_str(),
                        StatusMessage(status).c_str());
        }
        id = item.noteID;
        itemName = item.itemName != nullptr ? item.itemName : "";
    }
    return RunRecords(command, {args[0], NoteIdText(id), itemName});
}

int RunCreateDesign(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() != 3 && args.size() != 4) {
        return UsageError(command, "create-design needs a database, a kind, a name and at most one option text");
    }
    const DesignKind* kind = FindKind(args[1]);
    if (kind == nullptr || kind->libraryName == nullptr) {
        return UsageError(command, "cannot create a design element of kind '%s'", args[1].c_str());
    }
    if (args[2].empty()) return UsageError(command, "create-design needs a name for the element, not an empty one");

    RARIvoSession session;
    session.SetUp();
    std::string name = plat::NativeToLmbcs(args[2]);
    const char* options = args.size() == 4 ? args[3].c_str() : "";
    // An element that exists is named as it is: saving it would store what
    // its connect made up (a blank content item for an element without one).
    const bool kept = KeepsExistingElement(args[0], kind->libraryName, name, options);
    // The name the element is made under, as URLEncode=Yes may have changed it.
    const std::string made = talix::DesignElementName(name.c_str(), options);
    const std::string shown = made == name ? args[2] : plat::LmbcsToNative(made);
    ZervaRTItem* item = session.CreateDesignElement(kind->libraryName, "", args[0].c_str(), name.c_str(), options);
    if (item == nullptr) return Fail("cannot create %s '%s' in %s", kind->libraryName, args[2].c_str(), args[0].c_str());
    if (item->connected == 0) {
        // A file resource made without a source file has no content yet.
        std::printf("-\t%s\n", Escape(shown).c_str());
        return kExitOk;
    }
    plat::STATUS status = kept ? plat::NOERROR : item->Save();
    if (status != plat::NOERROR) {
        return Fail("cannot save %s '%s': %s", kind->libraryName, args[2].c_str(), StatusMessage(status).c_str());
    }
    std::printf("%s\t%s\n", NoteIdText(item->noteID).c_str(), Escape(shown).c_str());
    return kExitOk;
}

} // namespace talix_cli
