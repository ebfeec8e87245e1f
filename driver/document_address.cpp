// Reading the addressing arguments of a driver call: which database, which
// note (or design element), which item and which chunk.
#include "driver/document_address.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "core/ascii.h"
#include "core/record_forms.h"
#include "core/text_compare.h"
#include "driver/arg_values.h"
#include "driver/call_trace.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::size_t kShortNoteText = 16;   // hexadecimal digits, after an optional "N"
constexpr std::size_t kLongNoteText = 18;    // "N" and 17 characters

// A terminated copy of an entry's text (up to an embedded zero). A text
// that does not fit is not cut, since a cut name could name another
// database, note or item: false, and out is left empty.
bool CopyEntry(const ArgEntry& entry, char* out, std::size_t outSize) {
    std::size_t length = strnlen(reinterpret_cast<const char*>(entry.data), entry.size);
    out[0] = '\0';
    if (length >= outSize) return false;
    if (length > 0) std::memcpy(out, entry.data, length);
    out[length] = '\0';
    return true;
}

// Refuses a name that holds a zero byte: read up to it, it would name
// another database, note or item than the one given.
STATUS RefuseZero(DriverContext* context, const ArgEntry& entry, const char* what) {
    if (!EntryHoldsZero(entry)) return kOK;
    return RefuseArguments(context, kArgumentError, "The %s holds a NUL character.", what);
}

// The text argument at the cursor, refused when its first entry holds a
// zero byte.
STATUS RefuseZeroInNext(DriverContext* context, const char* what) {
    if (!IsNextArgText(context) || NextArgCount(context) == 0) return kOK;
    return RefuseZero(context, context->args[context->argCursor].entries[0], what);
}

// CopyEntry, or the refusal of a text too long for its field or holding a
// zero byte, naming it.
STATUS CopyField(DriverContext* context, const ArgEntry& entry, char* out, std::size_t outSize, const char* what) {
    const STATUS status = RefuseZero(context, entry, what);
    if (status != kOK) return status;
    if (CopyEntry(entry, out, outSize)) return kOK;
    return RefuseArguments(context, kArgumentError, "The %s is %zu bytes long; it may have at most %zu.", what,
                           strnlen(reinterpret_cast<const char*>(entry.data), entry.size), outSize - 1);
}

// A server or file name of the formula, in the platform's character set,
// copied into its field as the platform takes paths (the system's own
// character set, as the path of the current database is): read as it was
// given, a name with a letter outside ASCII would name a file that is not
// there. Refused, naming it, when it holds a zero byte or does not fit.
STATUS CopyPathField(DriverContext* context, const ArgEntry& entry, char* out, std::size_t outSize,
                     const char* what) {
    const STATUS status = RefuseZero(context, entry, what);
    if (status != kOK) return status;
    const std::string path =
        plat::LmbcsToNative(std::string_view(reinterpret_cast<const char*>(entry.data), entry.size));
    out[0] = '\0';
    if (path.size() >= outSize)
        return RefuseArguments(context, kArgumentError, "The %s is %zu bytes long; it may have at most %zu.", what,
                               path.size(), outSize - 1);
    std::memcpy(out, path.data(), path.size());
    out[path.size()] = '\0';
    return kOK;
}

const ArgValue& CurrentArg(const DriverContext* context) { return context->args[context->argCursor]; }

void Consume(DriverContext* context) {
    if (context->argCursor < context->argCount) ++context->argCursor;
}

// Looks the note id of the current note-reference argument up in the
// database of server and file, and consumes the argument.
STATUS LookUpUniversalId(DriverContext* context, CallState* state) {
    const ArgValue& value = CurrentArg(context);
    Consume(context);
    if (value.count == 0)
        return RefuseArguments(context, kDrvMissingArgument, "The universal id list is empty: it names no note.");
    const std::uint8_t* bytes = value.entries[0].data;
    plat::UNID unid;
    unid.File.Innards[0] = ReadDword(bytes);
    unid.File.Innards[1] = ReadDword(bytes + 4);
    unid.Note.Innards[0] = ReadDword(bytes + 8);
    unid.Note.Innards[1] = ReadDword(bytes + 12);
    STATUS status = plat::PathNetBuild(state->server, state->file, context->scratchText);
    if (status != plat::NOERROR) return status;
    plat::DBHANDLE db = plat::NULLHANDLE;
    status = plat::DbOpen(context->scratchText, &db);
    if (status != plat::NOERROR) return status;
    plat::NOTEID id = 0;
    status = plat::DbNoteInfoByUNID(db, &unid, &id, nullptr, nullptr, nullptr);
    plat::DbClose(db);
    if (status == plat::NOERROR) state->noteId = id;
    return status;
}

// A note id written in hexadecimal: up to 16 characters after an optional
// leading "N", or "N" and 17 characters; a value beyond 32 bits gives the
// largest 32-bit value. False for any other length, and for a text with no
// digits or with a character after them that is not a hexadecimal digit:
// read up to that character, "N104O" would address the note 0x104.
bool ParseNoteId(const char* text, std::uint32_t* noteId) {
    std::size_t length = std::strlen(text);
    const char* digits = text;
    if (length <= kShortNoteText) {
        if (*digits == 'N') ++digits;
    } else if (length == kLongNoteText && text[0] == 'N') {
        ++digits;
    } else {
        return false;
    }
    std::uint64_t value = 0;
    const char* first = digits;
    for (int digit; (digit = HexDigitValue(*digits)) >= 0; ++digits) {
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull) value = 0x100000000ull;   // stays beyond 32 bits without overflowing
    }
    if (digits == first || *digits != '\0') return false;
    *noteId = value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
    return true;
}

using DesignConnect = std::uint16_t (ZervaRTItem::*)(const char*, const char*, const char*, const char*);

// The connect method of a design-element kind, or null.
DesignConnect DesignConnectFor(const char* kind) {
    if (CompareNamesNoCase(kind, "FORM") == 0) return &ZervaRTItem::ConnectForm;
    if (CompareNamesNoCase(kind, "IMAGE", 5) == 0) return &ZervaRTItem::ConnectImageResource;
    if (CompareNamesNoCase(kind, "PAGE") == 0) return &ZervaRTItem::ConnectPage;
    if (CompareNamesNoCase(kind, "SHAREDFIELD") == 0) return &ZervaRTItem::ConnectSharedField;
    if (CompareNamesNoCase(kind, "SUBFORM") == 0) return &ZervaRTItem::ConnectSubform;
    return nullptr;
}

} // namespace

STATUS TakeNoteWriteLock(CallState* state) {
    if (!state->changesNote || state->byHandle || state->writeLock.Held()) return kOK;
    char path[plat::MAXPATH + 1];
    if (plat::PathNetBuild(state->server, state->file, path) != plat::NOERROR) return kOK;
    return state->writeLock.Take(path, state->attempts != nullptr ? state->attempts->NextLock()
                                                                   : DatabaseWriteLock::When::Now);
}

STATUS SplitServerPath(DriverContext* context, char* server, char* file) {
    server[0] = '\0';
    file[0] = '\0';
    if (NextArgCount(context) >= 2) {
        const ArgValue& value = CurrentArg(context);
        Consume(context);
        STATUS status = CopyPathField(context, value.entries[0], server, kServerFieldSize, "server name");
        if (status == kOK)
            status = CopyPathField(context, value.entries[1], file, kServerFieldSize, "database file name");
        if (status != kOK) return status;
        return file[0] == '\0' ? plat::PathNetSplit(g_defaultDatabasePath, server, file) : kOK;
    }
    const STATUS status = RefuseZeroInNext(context, "database name");
    if (status != kOK) return status;
    // A path the formula gives is in the platform's character set; the
    // current database's path, which stands for an empty one, is not.
    if (IsNextArgText(context) && NextArgCount(context) > 0 && CurrentArg(context).entries[0].size > 0) {
        const std::string path = plat::LmbcsToNative(NextArgWholeText(context));
        return plat::PathNetSplit(path.c_str(), server, file);
    }
    NextArgText(context, g_defaultDatabasePath, context->scratchText, kScratchTextSize);
    return plat::PathNetSplit(context->scratchText, server, file);
}

STATUS AddressDocument(DriverContext* context, CallState* state) {
    if (IsNextArgNoteRef(context)) {
        STATUS status = plat::PathNetSplit(g_defaultDatabasePath, state->server, state->file);
        if (status != plat::NOERROR) return status;
    }
    TraceStep(5);
    if (IsNextArgNoteRef(context)) return LookUpUniversalId(context, state);
    if (IsNextArgNumber(context)) {
        // A handle is a whole number from 1 to 32 bits (the fraction is
        // dropped); 0, a negative number or one beyond 32 bits names no
        // note, and would otherwise be taken for a missing database.
        const double handle = std::trunc(NextArgDouble(context, 0.0));
        if (!(handle >= 1.0 && handle <= 4294967295.0))
            return RefuseArguments(context, kDrvMissingArgument, "The note handle %.15g names no open note.",
                                   handle + 0.0);
        state->noteHandle = static_cast<std::uint32_t>(handle);
        state->byHandle = true;
        return kOK;
    }
    if (!IsNextArgText(context))
        return RefuseArguments(context, kDrvMissingArgument,
                               "No database and note are given: a database text, a universal id or a note handle "
                               "must follow the name.");

    TraceStep(6);
    STATUS status = SplitServerPath(context, state->server, state->file);
    if (status != kOK) return status;
    if (IsNextArgNoteRef(context)) return LookUpUniversalId(context, state);
    // A database without a note addresses nothing; a note id is a text.
    if (IsNextArgNumber(context))
        return RefuseArguments(context, kDrvWrongArgumentType,
                               "The note after the database is a number; give its note id in hexadecimal as a "
                               "text (\"N20FA\").");
    if (!IsNextArgText(context)) return RefuseArguments(context, kDrvMissingArgument, "No note follows the database.");

    context->designElementName[0] = '\0';
    const bool kindAndName = NextArgCount(context) >= 2;
    if (kindAndName) {
        status = CopyField(context, CurrentArg(context).entries[1], context->designElementName, kDesignNameSize,
                           "design element name");
        if (status != kOK) return status;
    }
    status = RefuseZeroInNext(context, "note");
    if (status != kOK) return status;
    context->scratchText[0] = '\0';
    NextArgText(context, nullptr, context->scratchText, kScratchTextSize);
    if (context->scratchText[0] == '\0')
        return RefuseArguments(context, kDrvMissingArgument, "The note is an empty text.");

    // The text is copied before a message is formatted into the scratch text.
    const std::string note(context->scratchText);
    // A kind whose name is empty would be read as a note id ("Form" as
    // 0xF) and fail as a note that is not there.
    if (kindAndName && context->designElementName[0] == '\0' && DesignConnectFor(note.c_str()) != nullptr)
        return RefuseArguments(context, kDrvMissingArgument, "The name of the %s is an empty text.", note.c_str());
    if (context->designElementName[0] == '\0') {
        if (ParseNoteId(note.c_str(), &state->noteId)) return kOK;
        return RefuseArguments(context, kDrvMissingArgument,
                               "The note '%s' is not a note id in hexadecimal (\"20FA\" or \"N20FA\").",
                               note.c_str());
    }

    DesignConnect connect = DesignConnectFor(note.c_str());
    if (connect == nullptr)
        return RefuseArguments(context, kDrvUnknownDesignKind,
                               "'%s' is not a kind of design element (Form, Page, Subform, SharedField, "
                               "ImageResource).",
                               note.c_str());
    status = TakeNoteWriteLock(state);
    if (status != kOK) return status;
    auto* item = new (std::nothrow) ZervaRTItem(context->session);
    if (item == nullptr) return kDrvOutOfMemory;
    context->item = item;
    state->status = (item->*connect)(state->server, state->file, context->designElementName, nullptr);
    state->designElement = true;
    return kOK;
}

STATUS ReadItemAndChunk(DriverContext* context, CallState* state) {
    if (!IsNextArgText(context)) return kOK;
    const ArgValue& value = CurrentArg(context);
    if (state->designElement) {
        Consume(context);
        if (value.count == 1)
            return CopyField(context, value.entries[0], state->chunkDefinition, kChunkDefinitionSize,
                             "chunk definition");
        if (value.count < 2) return kOK;
        STATUS status = CopyField(context, value.entries[0], state->itemName, kItemNameFieldSize, "item name");
        if (status != kOK) return status;
        // The design element was connected through the item of its kind
        // ($Body, $ImageData): another item named here would be neither
        // read nor changed, and that item would be in its place.
        const ZervaRTItem* item = context->item;
        if (item != nullptr && item->connected != 0 && item->itemName != nullptr &&
            CompareNamesNoCase(state->itemName, item->itemName) != 0)
            return RefuseArguments(context, kItemNotFound,
                                   "The design element '%s' is read through its item '%s', not '%s'.",
                                   context->designElementName, item->itemName, state->itemName);
        return CopyField(context, value.entries[1], state->chunkDefinition, kChunkDefinitionSize,
                         "chunk definition");
    }
    TraceStep(8);
    if (value.count >= 2) {
        const STATUS status =
            CopyField(context, value.entries[1], state->chunkDefinition, kChunkDefinitionSize, "chunk definition");
        if (status != kOK) return status;
    }
    const STATUS zero = RefuseZeroInNext(context, "item name");
    if (zero != kOK) return zero;
    // The length as given: the scratch text holds a long name cut.
    const std::size_t given =
        value.count > 0 ? strnlen(reinterpret_cast<const char*>(value.entries[0].data), value.entries[0].size) : 0;
    context->scratchText[0] = '\0';
    NextArgText(context, nullptr, context->scratchText, kScratchTextSize);
    if (context->scratchText[0] == '\0')
        return RefuseArguments(context, kDrvMissingArgument, "The item name is an empty text.");
    if (given >= kItemNameFieldSize)
        return RefuseArguments(context, kArgumentError, "The item name is %zu bytes long; it may have at most %zu.",
                               given, kItemNameFieldSize - 1);
    std::size_t length = strnlen(context->scratchText, kItemNameFieldSize);
    std::memcpy(state->itemName, context->scratchText, length + 1);
    state->itemGiven = true;
    return kOK;
}

} // namespace talix
