// RARIvoSession::CreateDesignElement: the new element's design note
// (core/design_create.h), an item connected to its content, and the content
// an image or file resource is made with: a picture appended through the
// chunk methods, or a file's bytes.

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "core/design_create.h"
#include "core/host_message.h"
#include "core/options.h"
#include "core/thread_state.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

// A creation that failed: which step, and the platform's text for its
// status.
void CreationFailed(RARIvoSession* session, const DesignKind& kind, const std::string& name, const char* step,
                    STATUS status) {
    if (ThisThread().suppressMessages != 0) return;
    char reason[512] = "";
    // The status by its number and its text, as every failure is told.
    if (status != kOK) {
        const int used = std::snprintf(reason, sizeof reason, ": status %u: ", static_cast<unsigned>(status));
        plat::StatusText(status, reason + used, static_cast<plat::WORD>(sizeof reason - static_cast<std::size_t>(used)));
    }
    std::snprintf(session->messageBuffer, sizeof session->messageBuffer, "TALIX: %s '%s' was not created: %s%s",
                  kind.name, plat::LmbcsToNative(name).c_str(), step, reason);
    ShowHostMessage(session->messageBuffer);
}

} // namespace

ZervaRTItem* RARIvoSession::CreateDesignElement(const char* kindName, const char* server, const char* path,
                                                const char* name, const char* options) {
    const DesignKind* kind = FindDesignKind(kindName);
    if (!IsUsable() || kind == nullptr || name == nullptr) return nullptr;
    auto* item = new (std::nothrow) ZervaRTItem(this);
    if (item == nullptr) return nullptr;
    if (item->work == nullptr) {
        delete item;
        return nullptr;
    }

    // The options: a text without "=" is the path of the source file and
    // asks for overwriting; otherwise "SourceFile=", "Overwrite=",
    // "URLEncode=" and "OverrideSave=".
    const bool bareOptions = options != nullptr && options[0] != '\0' && std::strchr(options, '=') == nullptr;
    std::string elementName = DesignElementName(name, options);
    const bool overwrite = OverwritesDesignElement(options);
    std::string sourceFile;
    if (bareOptions) sourceFile = options;
    else if (GetOptionValue(options, "SourceFile=", optionValue, sizeof optionValue) != 0) sourceFile = optionValue;
    const bool overrideSave = DesignOptionIsYes(options, "OverrideSave=");

    // A source file that cannot be read would leave an empty file or image
    // resource; one that is not a regular file (a FIFO) would never end.
    const bool resource = kind->kind == DesignKindId::FileResource || kind->kind == DesignKindId::ImageResource;
    if (resource && !sourceFile.empty()) {
        std::string why;
        std::FILE* source = plat::OpenInputStream(sourceFile.c_str(), &why);
        if (source == nullptr) {
            const std::string step = "its source file '" + sourceFile + "' " + why;
            CreationFailed(this, *kind, elementName, step.c_str(), kOK);
            delete item;
            return nullptr;
        }
        std::fclose(source);
    }

    int existing = 0;
    DesignNoteChange change;
    STATUS status = CreateDesignElementNote(this, kind->name, server, path, elementName.c_str(), kind->contentItem,
                                            overwrite ? 1 : 0, &existing, &change);
    if (status != kOK && change.otherKind != nullptr) {
        // "an image resource", "an XPage", "a form".
        const bool an = std::strchr("aeiouAEIOUX", change.otherKind[0]) != nullptr;
        const std::string step = std::string(an ? "an " : "a ") + change.otherKind + " of that name exists";
        CreationFailed(this, *kind, elementName, step.c_str(), kOK);
        delete item;
        return nullptr;
    }
    if (status != kOK) {
        CreationFailed(this, *kind, elementName, "its design note could not be stored", status);
        delete item;
        return nullptr;
    }
    const char* step = "its content could not be connected";

    // The element is connected by its first name: a title with aliases names
    // no element as a whole.
    const std::string lookupName = DesignLookupName(elementName.c_str());
    const char* element = lookupName.c_str();
    switch (kind->kind) {
    case DesignKindId::Form: status = item->ConnectForm(server, path, element, nullptr); break;
    case DesignKindId::Page: status = item->ConnectPage(server, path, element, nullptr); break;
    case DesignKindId::SharedField: status = item->ConnectSharedField(server, path, element, nullptr); break;
    case DesignKindId::Subform: status = item->ConnectSubform(server, path, element, nullptr); break;
    case DesignKindId::ImageResource:
        status = item->ConnectImageResource(server, path, element, nullptr);
        // An element that was kept as it is gets no new graphic.
        // The graphic's failure is the element's: no blank image is handed out.
        if (status == kOK && item->connected != 0 && existing == 0 && !sourceFile.empty()) {
            if (ZervaRTChunk* graphic = item->DefineChunk("Graphic 1")) {
                if (graphic->Exists() != 0) status = graphic->Remove();
                delete graphic;
            }
            step = "its picture could not be added";
            ZervaRTChunk* everything = status == kOK ? item->DefineChunk("Everything") : nullptr;
            if (everything != nullptr) {
                status = everything->AppendGraphic("File", sourceFile.c_str(), bareOptions ? nullptr : options);
                delete everything;
            } else if (status == kOK) {
                status = kOutOfMemory;
            }
        }
        break;
    case DesignKindId::FileResource:
        if (sourceFile.empty()) return item;
        status = item->ConnectFileResource(server, path, element, nullptr);
        // An element that was kept as it is keeps its content.
        if (status == kOK && item->connected != 0 && existing == 0) {
            const char* dot = FindNameCharacter(element, '.', true);
            step = "its file's content could not be stored";
            status = item->CreateFileResourceRichTextItem(dot != nullptr ? dot + 1 : "txt", sourceFile.c_str());
            if (status == kOK && !overrideSave) {
                step = "it could not be saved";
                status = item->Save();
            }
        }
        break;
    }
    if (status != kOK) {
        // Nothing of the element stays: the note made for it goes, or the
        // content it replaced comes back.
        delete item;
        UndoDesignElementNote(this, server, path, kind->contentItem, change);
        CreationFailed(this, *kind, elementName, step, status);
        return nullptr;
    }
    return item;
}
