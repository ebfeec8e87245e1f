// The options of the HTML import entry points.
#include "htmlimport/import_options.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "builders/build_context.h"
#include "core/host_message.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/owned_text.h"
#include "core/pool.h"
#include "core/text_compare.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/import_sink.h"
#include "htmlimport/local_files.h"
#include "htmlimport/table_grid.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kPoolTag = "html";
constexpr std::uint32_t kLongOptions = 800;
constexpr const char* kItemParserWord = " indent";

// The default font of an import: face 1, no attributes, colour 0, 10 points.
constexpr FontId kImportFont{1, 0, 0, 10};

ZervaRTItem* ItemOf(BuildContext* context) { return context != nullptr ? context->output.item : nullptr; }

plat::DBHANDLE ItemDatabase(BuildContext* context) {
    ZervaRTItem* item = ItemOf(context);
    return item != nullptr ? item->databaseHandle : 0;
}

// (The path options are refused when they do not fit: see PathFits.)
void CopyBounded(char* target, std::size_t size, const char* text) {
    const std::size_t length = strnlen(text, size - 1);
    std::memcpy(target, text, length);
    target[length] = '\0';
}

// The room of a path option kept only as a tracked copy: less than the
// session's option buffer holds, so that a value cut to fit it is told.
constexpr std::size_t kTrackedPathRoom = RARIvoSession::kOptionValueCapacity - 2;
constexpr std::size_t kImageViewSuffix = sizeof "/$QVIV" - 1;

// A path option longer than the room kept for it is refused, with a message,
// rather than cut into another path. The value has been read into value.
bool PathFits(const char* value, std::size_t room) { return std::strlen(value) <= room; }

STATUS RefuseLongPath(HTMLImportContext* import, const char* key, std::size_t room) {
    ReportRefusal(import->session, "the option %s is longer than the %zu bytes it may have; nothing imported", key,
                  room);
    return kArgumentError;
}

// "Yes" and "NO", compared without regard to case: 1 and 0; -1 when the
// option is absent or has another value.
int YesNo(const char* options, const char* key, char* value, std::uint32_t size) {
    if (GetOptionValue(options, key, value, size) == 0) return -1;
    if (CompareNamesNoCase(value, "Yes") == 0) return 1;
    if (CompareNamesNoCase(value, "NO") == 0) return 0;
    return -1;
}

void ReadFontSizes(HTMLImportContext* import, const char* options, char* value, std::uint32_t size) {
    for (int n = 0; n < kHtmlFontSizes; ++n) {
        char key[8];
        std::snprintf(key, sizeof key, "Size%d=", n + 1);
        if (GetOptionValue(options, key, value, size) == 0) continue;
        const long points = std::strtol(value, nullptr, 10);
        // A size that is no positive number keeps the default.
        if (points > 0) import->htmlFontSizes[n] = static_cast<std::uint8_t>(points > 255 ? 255 : points);
    }
}

STATUS ReadResourceDatabase(HTMLImportContext* import, BuildContext* context, const char* options,
                            char* value, std::uint32_t size) {
    RARIvoSession* session = import->session;
    import->resourceDatabase = ItemDatabase(context);
    import->replicaIDOption[0] = '\0';
    const bool viewGiven = GetOptionValue(options, "ImageView=", value, size) != 0;
    if (viewGiven && !PathFits(value, kImportPathSize - 1))
        return RefuseLongPath(import, "ImageView=", kImportPathSize - 1);
    const bool given = GetOptionValue(options, "DBResource=", value, size) != 0 && value[0] != '\0';
    // The image view is made of the resource database's path when no view is given.
    const std::size_t room = viewGiven ? kTrackedPathRoom : kImportPathSize - 1 - kImageViewSuffix;
    if (given && !PathFits(value, room)) return RefuseLongPath(import, "DBResource=", room);
    if (!given) {
        if (GetOptionValue(options, "ImageView=", value, size) != 0) CopyBounded(import->imageView, kImportPathSize, value);
        else CopyBounded(import->imageView, kImportPathSize, "$QVIV");
        return kOK;
    }
    const std::string resourceValue(value);
    import->resourceDatabasePath = QuorbelAllocateString(session, __LINE__, kPoolTag, value, 0);
    if (import->resourceDatabasePath == nullptr) return kOutOfMemory;
    // The value names the database after its first character ("/a/b.nsf" is a/b.nsf).
    plat::DBHANDLE opened = 0;
    if (plat::DbOpen(import->resourceDatabasePath + 1, &opened) == plat::NOERROR) {
        import->resourceDatabase = opened;
        import->resourceDatabaseOpened = 1;
    } else {
        ZervaDeallocate(session, import->resourceDatabasePath);
        import->resourceDatabasePath = nullptr;
    }
    plat::DBID id{};
    if (plat::DbReplicaId(import->resourceDatabase, &id) == plat::NOERROR) {
        std::snprintf(import->replicaIDOption, kReplicaOptionSize, "ReplicaID=%.8" PRIx32 "%.8" PRIx32,
                      static_cast<std::uint32_t>(id.Innards[1]), static_cast<std::uint32_t>(id.Innards[0]));
    }
    if (GetOptionValue(options, "ImageView=", value, size) != 0) {
        CopyBounded(import->imageView, kImportPathSize, value);
    } else {
        std::snprintf(import->imageView, kImportPathSize, "%s/$QVIV", resourceValue.c_str());
    }
    return kOK;
}

// "Duzuvore=" (the name of the web editor the HTML comes from): both
// resolutions on; for "FCKeditor" without "LocalResourcePrefix=" the prefix
// becomes "/FCKeditor/".
STATUS ReadEditorOption(HTMLImportContext* import, const char* options, char* value, std::uint32_t size) {
    if (GetOptionValue(options, "Duzuvore=", value, size) == 0) return kOK;
    import->resolveLocalResources = 1;
    import->resolveDoclinks = 1;
    if (CompareNamesNoCase(value, "FCKeditor") != 0 || GetOptionValue(options, "LocalResourcePrefix=", nullptr, 0) != 0)
        return kOK;
    char prefix[kImportPathSize];
    std::snprintf(prefix, sizeof prefix, "/%s/", value);
    char* copy = QuorbelAllocateString(import->session, __LINE__, kPoolTag, prefix, 0);
    if (copy == nullptr) return kOutOfMemory;
    ZervaDeallocate(import->session, import->localResourcePrefix);
    import->localResourcePrefix = copy;
    return kOK;
}

} // namespace

STATUS ReadCommonImportOptions(HTMLImportContext* import, BuildContext* context, const char* options) {
    if (import == nullptr || import->session == nullptr) return kArgumentError;
    RARIvoSession* session = import->session;
    char* value = session->optionValue;
    const std::uint32_t size = RARIvoSession::kOptionValueCapacity;

    import->paragraphPabId = 1;
    ZervaRTItem* item = ItemOf(context);
    if (item != nullptr && item->work != nullptr) WriteFontId(item->work->textTemplate + 4, kImportFont);
    import->fontStack[0] = kImportFont;
    import->fontDepth = 0;
    import->baseFontSize = 10;
    ReadFontSizes(import, options, value, size);

    const bool prefixGiven = GetOptionValue(options, "LocalResourcePrefix=", value, size) != 0 && value[0] != '\0';
    if (prefixGiven && !PathFits(value, kTrackedPathRoom))
        return RefuseLongPath(import, "LocalResourcePrefix=", kTrackedPathRoom);
    import->localResourcePrefix = QuorbelAllocateString(session, __LINE__, kPoolTag, prefixGiven ? value : "/images/", 0);
    if (import->localResourcePrefix == nullptr) return kOutOfMemory;

    const STATUS status = ReadResourceDatabase(import, context, options, value, size);
    if (status != kOK) return status;
    import->preserveImageNotes = YesNo(options, "PreserveImageNotes=", value, size) == 1 ? 1 : 0;
    return kOK;
}

STATUS ReadEntryImportOptions(HTMLImportContext* import, const char* options, ImportSource source) {
    if (import == nullptr || import->session == nullptr) return kArgumentError;
    char* value = import->session->optionValue;
    const std::uint32_t size = RARIvoSession::kOptionValueCapacity;

    // (The file import keeps its base path after the parse, SetFileImportDirectory.)
    if (GetOptionValue(options, "BasePathname=", value, size) != 0 && !PathFits(value, kImportPathSize - 1))
        return RefuseLongPath(import, "BasePathname=", kImportPathSize - 1);
    if (source == ImportSource::kFile) {
        if (YesNo(options, "ResolveDoclinks=", value, size) == 1) import->resolveDoclinks = 1;
        import->allowZeroSize = YesNo(options, "AllowZeroSize=", value, size) == 1 ? 1 : 0;
        import->preserveImageNotes = YesNo(options, "PreserveImageNotes=", value, size) == 1 ? 1 : 0;
    } else {
        if (source == ImportSource::kText)
            import->allowZeroSize = YesNo(options, "AllowZeroSize=", value, size) == 1 ? 1 : 0;
        if (const STATUS status = ReadEditorOption(import, options, value, size); status != kOK) return status;
        if (GetOptionValue(options, "BasePathname=", value, size) != 0) {
            CopyBounded(import->basePath, kImportPathSize, value);
            if (source == ImportSource::kText) {
                for (char* c = import->basePath; *c != '\0'; ++c)
                    if (*c == '\\') *c = '/';
            }
            // HTML from the data reads local files only in the directory named for it.
            import->localDirectory = LocalDirectory(import->basePath);
        }
        if (const int on = YesNo(options, "ResolveLocalResources=", value, size); on >= 0)
            import->resolveLocalResources = static_cast<std::uint32_t>(on);
        if (const int on = YesNo(options, "ResolveDoclinks=", value, size); on >= 0)
            import->resolveDoclinks = static_cast<std::uint32_t>(on);
        if (source == ImportSource::kItem)
            import->allowZeroSize = YesNo(options, "AllowZeroSize=", value, size) == 1 ? 1 : 0;
    }
    // "AutoAttachFiles=": on when absent or "Yes", off for any other value.
    import->autoAttachFiles =
        GetOptionValue(options, "AutoAttachFiles=", value, size) == 0 || CompareNamesNoCase(value, "Yes") == 0 ? 1 : 0;

    if (source == ImportSource::kText) {
        const bool given = GetOptionValue(options, "BlankAltString=", value, size) != 0 && value[0] != '\0';
        char* text = CopyOwnedText(given ? value : "*");
        if (text == nullptr) return kOutOfMemory;
        FreeOwnedText(import->blankAltText);
        import->blankAltText = text;
    }
    return kOK;
}

STATUS CopyImportOptionText(HTMLImportContext* import, const char* options, ImportSource source) {
    if (import == nullptr || import->session == nullptr) return kArgumentError;
    const std::size_t length = options != nullptr ? std::strlen(options) : 0;
    const bool item = source == ImportSource::kItem;
    std::size_t size = item ? 2048 : 1024;
    if (length > kLongOptions) size = length + (item ? 1401 : 201);
    if (size > UINT32_MAX) return kOutOfMemory;
    auto* text = static_cast<char*>(
        QuorbelAllocate(import->session, __LINE__, kPoolTag, static_cast<std::uint32_t>(size), 1));
    if (text == nullptr) return kOutOfMemory;
    if (length > 0) std::memcpy(text, options, length);
    text[length] = '\0';
    if (item) std::strcat(text, kItemParserWord);
    import->optionText = text;
    import->optionTextSize = static_cast<std::uint32_t>(size);
    return kOK;
}

void SetBasePathFromFile(HTMLImportContext* import, const char* path) {
    import->basePath[0] = '\0';
    if (path == nullptr) return;
    const char* last = std::strrchr(path, '\\');
    if (last == nullptr) last = std::strrchr(path, '/');
    if (last == nullptr) return;
    const std::size_t length = static_cast<std::size_t>(last - path) + 1;
    if (length >= kImportPathSize) return;   // a directory no path field holds is no base
    std::memcpy(import->basePath, path, length);
    import->basePath[length] = '\0';
}

void SetFileImportDirectory(HTMLImportContext* import, const char* path, const char* options) {
    char* value = import->session->optionValue;
    if (GetOptionValue(options, "BasePathname=", value, RARIvoSession::kOptionValueCapacity) != 0 &&
        value[0] != '\0') {
        CopyBounded(import->basePath, kImportPathSize, value);
        import->localDirectory = LocalDirectory(value);
        return;
    }
    const std::string_view file = path != nullptr ? path : "";
    const std::size_t last = file.find_last_of("/\\");
    import->localDirectory = LocalDirectory(last == std::string_view::npos ? "." : file.substr(0, last + 1));
    // A file named from the working directory ("page.htm", "site/page.htm")
    // has its directory by its full name as its base, as one named in full
    // has: its pictures and style sheets are read the same whichever way the
    // file was named.
    const std::string_view base(import->basePath);
    const bool rooted = !base.empty() && (base[0] == '/' || base[0] == '\\' || (base.size() >= 2 && base[1] == ':'));
    if (!rooted && !import->localDirectory.empty() && import->localDirectory.size() < kImportPathSize)
        CopyBounded(import->basePath, kImportPathSize, import->localDirectory.c_str());
}

void ReleaseImportContext(HTMLImportContext* import, BuildContext* context) {
    if (import == nullptr) return;
    if (context != nullptr) DetachImport(&context->output, import);
    RARIvoSession* session = import->session;
    auto release = [session](char*& text) {
        if (text != nullptr && session != nullptr) ZervaDeallocate(session, text);
        text = nullptr;
    };
    release(import->doclinkText);
    release(import->localResourcePrefix);
    release(import->resourceDatabasePath);
    import->replicaIDOption[0] = '\0';
    if (import->resourceDatabaseOpened != 0) plat::DbClose(import->resourceDatabase);
    import->resourceDatabaseOpened = 0;
    import->resourceDatabase = ItemDatabase(context);
    FreeOwnedText(import->blankAltText);
    release(import->optionText);
    import->optionTextSize = 0;
    import->document.reset();
    import->styleRules1.Clear();
    import->styleRules2.Clear();
    release(import->passthruStartText);
    release(import->passthruEndText);
    FreeImportRecords(import);
}

HTMLImportContext::HTMLImportContext() = default;

// What a context holds on the heap goes with it; its tracked texts go with
// the session's pool.
HTMLImportContext::~HTMLImportContext() {
    FreeImportRecords(this);
    FreeOwnedText(blankAltText);
}

} // namespace talix
