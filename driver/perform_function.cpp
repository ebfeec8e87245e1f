// The call sequence of the formula driver. Every step leaves its numbered
// trace line in the platform log, and every end of a call, success or
// failure, goes through CompleteCall.
#include "driver/perform_function.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/database_open.h"
#include "core/host_message.h"
#include "core/owned_text.h"
#include "core/text_compare.h"
#include "core/text_search.h"
#include "driver/arg_values.h"
#include "driver/call_trace.h"
#include "driver/document_address.h"
#include "driver/function_tables.h"
#include "driver/property_strings.h"
#include "driver/warm_lookup.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::uint16_t kFunctionDbLookup = 0;
constexpr std::uint16_t kFunctionDbCommand = 2;
constexpr const char* kDefaultItemName = "Body";

// Puts a message into the scratch text and shows it through the host.
void ShowNoName(DriverContext* context) {
    std::snprintf(context->scratchText, sizeof context->scratchText,
                  "@Talix: No function name or property specified.");
    ShowHostMessage(context->scratchText);
}

// The name is in the platform's character set, as the host gave it.
void ShowNotRecognized(DriverContext* context, const char* name) {
    std::snprintf(context->scratchText, sizeof context->scratchText, "@Talix: Function '%s' not recognized.", name);
    ShowLmbcsHostMessage(context->scratchText);
}

// Reads the function name and the property strings that come with it.
// *nameLength gets the length of the name as given.
STATUS ReadName(DriverContext* context, CallState* state, const std::uint32_t* lengths, const void* const* values,
                std::uint16_t function, std::size_t* nameLength) {
    ArgValue& name = context->name;
    STATUS status;
    if (function == kFunctionDbCommand) {
        status = DecodeArgValue(values[0], lengths[0], &name);
        state->consumed = true;
    } else {
        const char* implied = function == kFunctionDbLookup ? "DBLookup" : "DBColumn";
        status = SetTextArgValue(implied, static_cast<std::uint32_t>(std::strlen(implied)), &name);
    }
    if (status != kOK) return status;

    // A universal id list or a number in the name's place is the first
    // addressing argument of a call without a name.
    if (name.type == kValueNoteRefs || name.type == kValueNumberList) {
        FreeArgValue(&name, false, true);
        status = SetTextArgValue("", 0, &name);
        if (status != kOK) return status;
        state->consumed = false;
    } else if (name.type != kValueText && name.type != kValueTextList) {
        return RefuseArguments(context, kDrvWrongArgumentType,
                               "The function name is not a text: a text naming a function or property must come "
                               "first.");
    }
    if (name.count == 0)
        return RefuseArguments(context, kDrvMissingArgument,
                               "The function name is an empty list: a text naming a function or property must come "
                               "first.");

    if (name.count >= 2) {
        const ArgEntry& entry = name.entries[1];
        context->preProperties = CopyOwnedText(reinterpret_cast<const char*>(entry.data), entry.size);
        if (context->preProperties == nullptr) return kDrvOutOfMemory;
    }
    if (name.count >= 3) {
        const ArgEntry& entry = name.entries[2];
        context->postProperties = CopyOwnedText(reinterpret_cast<const char*>(entry.data), entry.size);
        if (context->postProperties == nullptr) return kDrvOutOfMemory;
    }
    const ArgEntry& first = name.entries[0];
    // Read up to a zero byte, the name would be another.
    if (EntryHoldsZero(first))
        return RefuseArguments(context, kArgumentError, "The function name holds a NUL character.");
    std::size_t length = strnlen(reinterpret_cast<const char*>(first.data), first.size);
    // A name too long for the field keeps its whole characters: the part of
    // one would show, in the message that quotes the name, as another.
    std::size_t kept = WholeCharsWithin(reinterpret_cast<const char*>(first.data), static_cast<std::uint32_t>(length),
                                        kFunctionNameSize - 1);
    std::memcpy(state->name, first.data, kept);
    state->name[kept] = '\0';
    *nameLength = length;
    return kOK;
}

// Resolves the name. Returns 0 with *done set for "Initialize", which
// ends the call without a result.
STATUS ResolveName(DriverContext* context, CallState* state, std::size_t nameLength, bool* done) {
    // No table name comes near the field's 31 characters: a longer name is
    // refused under its first 31.
    if (nameLength >= kFunctionNameSize) {
        ShowNotRecognized(context, state->name);
        return kDrvUnknownFunction;
    }
    state->found = ResolveFunctionName(state->name);
    if (state->name[0] == '\0') {
        ShowNoName(context);
        return kDrvUnknownFunction;
    }
    if (state->found.kind == FoundKind::None) {
        if (CompareNamesNoCase(state->name, "Initialize") == 0) {
            *done = true;
            return kOK;
        }
        ShowNotRecognized(context, state->name);
        return kDrvUnknownFunction;
    }
    state->row = state->found.row;
    context->propertyRow = state->found.property;
    return kOK;
}

// Whether the call may save the note it reads: an item function other than
// "ItemNOOP", or a property set (before the addressing arguments are read,
// a chunk property counts as set). Look-ups never do.
bool MayChangeNote(const DriverContext* context, const CallState& state) {
    switch (state.found.kind) {
    case FoundKind::ItemFunction: return state.row->operationId != kOpItemNoop;
    case FoundKind::ItemProperty:
    case FoundKind::ChunkProperty: return PropertyFunctionRow(state.found.kind, context)->saveAfter != 0;
    default: return false;
    }
}

STATUS MakeSession(DriverContext* context) {
    if (context->session != nullptr) return kOK;
    auto* session = new (std::nothrow) RARIvoSession();
    if (session == nullptr) return kDrvOutOfMemory;
    if (!session->IsUsable()) {
        delete session;
        return kDrvOutOfMemory;
    }
    session->SetUp();
    context->session = session;
    TraceStep(1);
    TraceStep(3);
    return kOK;
}

// Connects the item to the addressed note (a design element was connected
// while addressing) and defines the chunk of a chunk function or property.
STATUS ConnectItem(DriverContext* context, CallState* state, bool noop) {
    if (!state->designElement) {
        // A look-up of the item an earlier one read, its note unchanged,
        // reads the item kept open with its records.
        const bool mayKeep = !noop && MayUseWarmItem(context, *state);
        ZervaRTItem* warm = mayKeep ? TakeWarmItem(context, *state) : nullptr;
        if (!noop) {
            context->item = warm != nullptr ? warm : new (std::nothrow) ZervaRTItem(context->session);
            if (context->item == nullptr) return kDrvOutOfMemory;
        }
        if (state->noteHandle != 0 && !noop) {
            state->status = context->item->ConnectBackend(state->noteHandle, state->itemName, 1);
        } else {
            TraceStep(9);
            if (!noop) {
                plat::LogLine(0, "AtTalix #10 server=%s filepath=%s fieldname=%s", state->server, state->file,
                              state->itemName);
                if (warm == nullptr)
                    state->status =
                        context->item->Connect(state->server, state->file, state->noteId, state->itemName, 1, "");
                plat::LogLine(state->status, "AtTalix #11 server=%s filepath=%s fieldname=%s", state->server,
                              state->file, state->itemName);
                if (mayKeep && warm == nullptr && state->status == kOK) KeepWarmItem(context, *state);
            }
        }
    }
    TraceStep(12);
    bool chunkWork = state->found.kind == FoundKind::ChunkFunction || state->found.kind == FoundKind::ChunkProperty;
    ZervaRTItem* item = context->item;
    if (!noop && chunkWork && item != nullptr && item->connected != 0 && context->chunk == nullptr) {
        TraceStep(13);
        context->chunk = item->DefineChunk(state->chunkDefinition);
        if (context->chunk != nullptr) item->defaultChunk = context->chunk;
        TraceStep(14);
        // Without a chunk the handler could only say that nothing is
        // connected: the message names the definition that made none.
        if (context->chunk == nullptr)
            return RefuseArguments(context, kDrvNoObject, "'%s' is not a chunk definition.", state->chunkDefinition);
    }
    return kOK;
}

// An item stored as another type than rich text (a text, a time, a list of
// names) connects and reads as one text run of its value; written back, it
// would be stored as rich text in its place and its value lost. A call that
// may change the note is refused such an item.
STATUS RefuseOtherItemType(DriverContext* context) {
    const ZervaRTItem* item = context->item;
    if (item == nullptr || item->connected == 0 || item->itemName == nullptr) return kOK;
    const std::uint16_t type = GetItemDataType(item->noteHandle, item->itemName);
    if (type == 0 || type == plat::TYPE_COMPOSITE) return kOK;
    return RefuseArguments(context, kDrvWrongArgumentType,
                           "The item '%s' is not rich text (data type 0x%04X): it is left as it is.", item->itemName,
                           static_cast<unsigned>(type));
}

// Prepares the result by the row's kind: none, a number written by the
// handler straight into a 10-byte block, or a list-capable block.
STATUS PrepareResult(DriverContext* context, std::uint16_t resultKind, std::uint32_t* resultHandle,
                     std::uint8_t** block) {
    *block = nullptr;
    FreeArgValue(&context->result, true, true);
    if (resultKind == 0) return kOK;
    if (resultKind == 1) {
        auto* entry = static_cast<ArgEntry*>(std::calloc(1, sizeof(ArgEntry)));
        if (entry == nullptr) return kDrvOutOfMemory;
        *block = static_cast<std::uint8_t*>(AllocResultValue(resultHandle, kValueNumber, kNumberResultSize));
        if (*block == nullptr) {
            std::free(entry);
            return kDrvOutOfMemory;
        }
        entry->data = *block + 2;
        entry->size = 8;
        context->result.type = kValueNumber;
        context->result.length = kNumberResultSize;
        context->result.count = 1;
        context->result.entries = entry;
        return kOK;
    }
    *block = static_cast<std::uint8_t*>(AllocResultValue(resultHandle, kValueNumber, kListResultSize));
    return *block != nullptr ? kOK : kDrvOutOfMemory;
}

// One attempt at a call (see PerformFunction); *again is set when it is to
// be made again (the database changed while it read and prepared).
STATUS PerformAttempt(DriverContext* context, std::uint16_t argumentCount, const std::uint32_t* lengths,
                      const void* const* values, std::uint32_t* resultHandle, std::uint32_t* resultLength,
                      std::uint16_t function, WriteAttempts* attempts, bool* again);

} // namespace

void DestroyCallObjects(DriverContext* context, bool destroySession) {
    if (context->chunk != nullptr) {
        if (context->item != nullptr && context->item->defaultChunk == context->chunk)
            context->item->defaultChunk = nullptr;
        delete context->chunk;
        context->chunk = nullptr;
    }
    if (!IsWarmItem(context, context->item)) delete context->item;
    context->item = nullptr;
    if (destroySession) {
        // The kept item belongs to the session.
        DropWarmItem(context);
        delete context->session;
        context->session = nullptr;
    }
}

STATUS CompleteCall(DriverContext* context, STATUS status, std::uint32_t* resultHandle, std::uint32_t* resultLength) {
    if (status != kOK) DestroyCallObjects(context, true);
    FreeArgValue(&context->name, false, true);
    FreeArgValue(&context->result, true, true);
    for (ArgValue& arg : context->args) FreeArgValue(&arg, false, true);
    context->argCount = 0;
    context->argCursor = 0;
    context->propertyRow = nullptr;
    FreeOwnedText(context->preProperties);
    FreeOwnedText(context->postProperties);
    // A look-up's text list that a failed call left behind.
    FreeResultList(context);
    if (g_resultBlockLocked) ReleaseResultValue(resultHandle != nullptr ? *resultHandle : 0);
    return static_cast<STATUS>(status & kStatusMask);
}

STATUS PerformFunction(DriverContext* context, std::uint16_t argumentCount, const std::uint32_t* lengths,
                       const void* const* values, std::uint32_t* resultHandle, std::uint32_t* resultLength,
                       std::uint16_t function) {
    WriteAttempts attempts;
    for (;;) {
        bool again = false;
        const STATUS status = PerformAttempt(context, argumentCount, lengths, values, resultHandle, resultLength,
                                             function, &attempts, &again);
        if (!again) return status;
        // The block the attempt handed out goes with it.
        if (resultHandle != nullptr && *resultHandle != 0) plat::MemFree(*resultHandle);
        if (resultHandle != nullptr) *resultHandle = 0;
        if (resultLength != nullptr) *resultLength = 0;
    }
}

namespace {

STATUS PerformAttempt(DriverContext* context, std::uint16_t argumentCount, const std::uint32_t* lengths,
                      const void* const* values, std::uint32_t* resultHandle, std::uint32_t* resultLength,
                      std::uint16_t function, WriteAttempts* attempts, bool* again) {
    // Without a place for the result handle a block would be lost.
    if (resultHandle == nullptr || resultLength == nullptr ||
        (argumentCount > 0 && (lengths == nullptr || values == nullptr)))
        return CompleteCall(context, kDrvMissingArgument, nullptr, nullptr);
    *resultHandle = 0;
    *resultLength = 0;
    auto end = [&](STATUS status) { return CompleteCall(context, status, resultHandle, resultLength); };

    DestroyCallObjects(context, false);
    context->argCursor = 0;
    context->argCount = 0;
    CallState state;
    state.attempts = attempts;
    std::snprintf(state.chunkDefinition, sizeof state.chunkDefinition, "%s",
                  function == kFunctionDbCommand ? "Everything" : "Table 1");
    std::snprintf(state.itemName, sizeof state.itemName, "%s", kDefaultItemName);

    if (argumentCount == 0) return end(kDrvMissingArgument);
    std::size_t nameLength = 0;
    STATUS status = ReadName(context, &state, lengths, values, function, &nameLength);
    if (status != kOK) return end(status);
    std::uint16_t skipped = state.consumed ? 1 : 0;
    if (argumentCount - skipped > kMaxDriverArgs)
        return end(RefuseArguments(context, kDrvMissingArgument,
                                   "A call takes at most %u arguments after the function name, not %u.",
                                   static_cast<unsigned>(kMaxDriverArgs),
                                   static_cast<unsigned>(argumentCount - skipped)));
    context->argCount = static_cast<std::uint16_t>(argumentCount - skipped);
    for (std::uint16_t i = 0; i < context->argCount; ++i) {
        status = DecodeArgValue(values[i + skipped], lengths[i + skipped], &context->args[i]);
        if (status != kOK) return end(status);
    }

    bool done = false;
    status = ResolveName(context, &state, nameLength, &done);
    if (status != kOK || done) return end(status);
    status = MakeSession(context);
    if (status != kOK) return end(status);

    state.changesNote = MayChangeNote(context, state);
    TraceStep(4);
    status = AddressDocument(context, &state);
    if (status != kOK) return end(status);
    TraceStep(7);
    status = ReadItemAndChunk(context, &state);
    if (status != kOK) return end(status);
    // A table look-up names the item it reads: without a name it would
    // read one the caller did not name.
    if (function != kFunctionDbCommand && !state.itemGiven && !state.designElement)
        return end(RefuseArguments(context, kDrvMissingArgument, "%s needs the name of the item that holds the table.",
                                   function == kFunctionDbLookup ? "DBLookup" : "DBColumn"));

    bool noop = state.found.kind == FoundKind::ItemFunction && state.row->operationId == kOpItemNoop;
    // The arguments are read: whether a property is set is known now.
    state.changesNote = MayChangeNote(context, state);
    if (!state.designElement && (status = TakeNoteWriteLock(&state)) != kOK) return end(status);
    status = ConnectItem(context, &state, noop);
    if (status != kOK) return end(status);
    if (state.changesNote && (status = RefuseOtherItemType(context)) != kOK) return end(status);

    TraceStep(15);
    if (context->preProperties != nullptr && !noop) {
        TraceStep(16);
        if (context->item != nullptr) {
            ApplyItemProperties(context->item, context->preProperties);
            if (context->chunk != nullptr) {
                TraceStep(17);
                ApplyChunkProperties(context->chunk, context->preProperties);
            }
        }
    }

    TraceStep(18);
    if (state.found.kind == FoundKind::ItemProperty) {
        TraceStep(19);
        state.row = PropertyFunctionRow(state.found.kind, context);
    } else if (state.found.kind == FoundKind::ChunkProperty) {
        TraceStep(20);
        state.row = PropertyFunctionRow(state.found.kind, context);
    } else if (state.found.kind == FoundKind::ChunkFunction) {
        TraceStep(21);
    }
    const DriverFunctionRow* row = state.row;

    TraceStep(22);
    TraceStep(23);
    std::uint8_t* block = nullptr;
    status = PrepareResult(context, row->resultKind, resultHandle, &block);
    if (status != kOK) return end(status);
    if (state.status != kOK) return end(state.status);

    g_currentOperationId = row->operationId;
    context->chunkDefinition = state.chunkDefinition;
    status = noop ? kOK : row->handler(context);
    context->chunkDefinition = nullptr;
    if (status == kOK && !noop) {
        ZervaRTItem* item = context->item;
        if (context->postProperties != nullptr && item != nullptr) {
            ApplyItemProperties(item, context->postProperties);
            if (context->chunk != nullptr) ApplyChunkProperties(context->chunk, context->postProperties);
        }
        if (row->saveAfter != 0 && !state.byHandle && row->operationId != kOpSave && item != nullptr)
            status = item->Save();
    }
    DestroyCallObjects(context, false);
    const STATUS released = state.writeLock.Release();
    if (attempts->Again(released, state.writeLock)) {
        *again = true;
        return end(released);
    }
    if (status == kOK) status = released;

    if (status == kOK && row->resultKind > 1 && block != nullptr)
        status = StoreResultValue(context, block, kListResultSize);
    if (status == kOK) *resultLength = context->result.length;
    return end(status);
}

} // namespace

} // namespace talix
