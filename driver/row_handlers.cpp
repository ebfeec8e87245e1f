// The row handlers of the formula driver. The item handler only shapes the
// answer; the chunk handler reads and sets chunk properties and turns a
// look-up's text list into the call's result.
#include "driver/row_handlers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "builders/basic_builders.h"
#include "chunkops/property_sets.h"
#include "core/ascii.h"
#include "core/host_message.h"
#include "core/operation_codes.h"
#include "core/statuses.h"
#include "core/text_compare.h"
#include "driver/arg_values.h"
#include "driver/function_tables.h"
#include "driver/table_lookup.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

// The longest property text a result block can carry after its type word.
constexpr std::uint16_t kPropertyTextLimit = kListResultSize - 2;

// The longest text a property setter takes (its length is 16 bits).
constexpr std::size_t kPropertyValueLimit = 0xFFFF;
// The most bytes of a refused value a message quotes.
constexpr std::size_t kQuotedValueLimit = 64;

// A decimal number written as a text, blanks around it allowed: a sign at
// most, then a digit or a point; false for anything else, "inf" and "nan"
// included, and for a number beyond the range of doubles.
bool ReadDecimal(const std::string& text, double* number) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return false;
    const std::size_t last = text.find_last_not_of(' ');
    std::string_view digits = std::string_view(text).substr(first, last - first + 1);
    const bool plus = digits.front() == '+';
    if (plus) digits.remove_prefix(1);
    const std::string_view magnitude = !plus && !digits.empty() && digits.front() == '-' ? digits.substr(1) : digits;
    if (magnitude.empty() || !(IsAsciiDigit(magnitude.front()) || magnitude.front() == '.')) return false;
    double read = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), read);
    if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(read)) return false;
    *number = read;
    return true;
}

// Writes a number into the number result that the call sequence prepared.
void WriteNumberResult(DriverContext* context, double number) {
    ArgValue& result = context->result;
    if (result.count >= 1 && result.entries[0].size >= sizeof number)
        std::memcpy(const_cast<std::uint8_t*>(result.entries[0].data), &number, sizeof number);
}

// Moves the look-up's text list into the result as a ready-made value.
STATUS TakeResultList(DriverContext* context) {
    const void* list = plat::MemLock(context->resultListHandle);
    auto* copy = list != nullptr ? static_cast<std::uint8_t*>(std::malloc(context->resultListSize)) : nullptr;
    if (copy == nullptr) {
        if (list != nullptr) plat::MemUnlock(context->resultListHandle);
        FreeResultList(context);
        return kDrvOutOfMemory;
    }
    std::memcpy(copy, list, context->resultListSize);
    plat::MemUnlock(context->resultListHandle);
    FreeArgValue(&context->result, true, true);
    context->result.raw = copy;
    context->result.length = context->resultListSize;
    context->result.type = kValueNone;
    FreeResultList(context);
    return kOK;
}

// Whether a read that failed with 20017 was refused because the chunk names
// a row or column no table holds ("Table 1; Row 300"): such a chunk matches
// nothing, as one naming a row the table lacks.
bool NamesNoPosition(ZervaRTChunk* chunk) {
    if (chunk->lastStatus != kErrFormula) return false;
    return chunk->Exists() == 0 && chunk->lastStatus == kOK;
}

// Reads the chunk property the call names into the result: a text or a
// number.
STATUS GetChunkProperty(DriverContext* context) {
    const PropertyTableEntry* row = context->propertyRow;
    if (row == nullptr) return kOK;
    ZervaRTChunk* chunk = context->chunk;
    // An item that could not be read fails the call: its empty text or 0
    // would read as the value of a chunk that holds nothing. A chunk that
    // names no position a table holds reads as one that matches nothing.
    if (row->valueType == kPropertyText) {
        context->propertyText[0] = '\0';
        std::uint16_t length = chunk->GetPropertyText(row->name, context->propertyText, kPropertyTextLimit);
        if (NamesNoPosition(chunk)) length = 0;
        if (chunk->lastStatus != kOK) return chunk->lastStatus;
        if (length > kPropertyTextLimit) length = kPropertyTextLimit;
        return SetOwnedResultValue(&context->result, kValueText, context->propertyText, length);
    }
    if (row->valueType == kPropertyNumber) {
        double number = chunk->GetPropertyNumber(row->name);
        if (NamesNoPosition(chunk)) number = 0.0;
        if (chunk->lastStatus != kOK) return chunk->lastStatus;
        return SetOwnedResultValue(&context->result, kValueNumber, &number, sizeof number);
    }
    return kOK;
}

// A setter that gave 0. When it said nothing of its own (a property the
// chunk reads but does not set this way, or a change that failed), the
// refusal names the property rather than leaving the status alone to say
// that the name is unknown.
STATUS NotSet(DriverContext* context, const PropertyTableEntry* row, std::uint32_t messagesBefore) {
    if (HostMessagesShown() != messagesBefore) return kDrvUnknownFunction;
    const STATUS failed = context->chunk->lastStatus;
    if (failed != kOK)
        return RefuseArguments(context, kDrvUnknownFunction, "The chunk property %s was not set: status %u.",
                               row->name, static_cast<unsigned>(failed));
    return RefuseArguments(context, kDrvUnknownFunction, "The chunk property %s cannot be set here; nothing was set.",
                           row->name);
}

// Sets the chunk property the call names from the next argument.
STATUS SetChunkProperty(DriverContext* context) {
    const PropertyTableEntry* row = context->propertyRow;
    if (row == nullptr) return kDrvUnknownFunction;
    ZervaRTChunk* chunk = context->chunk;
    // A chunk that matches nothing takes no value: the setter would do
    // nothing and the call would say it was done. The whole item is always
    // there, even when it holds no records yet.
    const bool whole = chunk->definition != nullptr && CompareNamesNoCase(chunk->definition, "Everything") == 0;
    if (!whole && chunk->Exists() == 0) {
        if (chunk->lastStatus != kOK) return chunk->lastStatus;
        const ZervaRTItem* item = context->item;
        return RefuseArguments(context, kItemNotFound, "'%s' matches nothing in '%s': %s is not set.",
                               chunk->definition != nullptr ? chunk->definition : "",
                               item->itemName != nullptr ? item->itemName : "", row->name);
    }
    // One value: the other entries of a list, or nothing at all for an
    // empty one, would be set as if given.
    if ((IsNextArgText(context) || IsNextArgNumber(context)) && NextArgCount(context) != 1)
        return RefuseArguments(context, kDrvWrongArgumentType, "%s takes one value, not a list of %u.", row->name,
                               static_cast<unsigned>(NextArgCount(context)));
    // Nor does it take further values: they would be passed over as if set.
    if (context->argCount - context->argCursor > 1)
        return RefuseArguments(context, kDrvWrongArgumentType, "%s takes one value, not %u.", row->name,
                               static_cast<unsigned>(context->argCount - context->argCursor));
    ZervaRTItem* item = context->item;
    const bool modifiedBefore = item->modified != 0;
    if (row->valueType == kPropertyText) {
        if (!IsNextArgText(context))
            return RefuseArguments(context, kDrvWrongArgumentType, "The value of %s is not a text.", row->name);
        // The whole text is set: one cut to fit a buffer would be stored as
        // if it were the text given.
        const std::string text = NextArgWholeText(context);
        if (text.size() > kPropertyValueLimit)
            return RefuseArguments(context, kArgumentError,
                                   "The value of %s is %zu bytes long; a property takes at most %u bytes.", row->name,
                                   text.size(), static_cast<unsigned>(kPropertyValueLimit));
        // A text set becomes one text run, which holds less: the setter would
        // refuse it with no word of why.
        if (row->setOperation == kOpSetText && text.size() > kMaxTextRunLength)
            return RefuseArguments(context, kArgumentError,
                                   "The value of %s is %zu bytes long; it takes at most %u bytes, the most one text "
                                   "run holds.",
                                   row->name, text.size(), static_cast<unsigned>(kMaxTextRunLength));
        // The setters stop at a zero byte: the rest would be lost while the
        // call said the text was set.
        if (text.find('\0') != std::string::npos)
            return RefuseArguments(context, kArgumentError, "The value of %s holds a NUL character; nothing was set.",
                                   row->name);
        const std::uint32_t messages = HostMessagesShown();
        if (!chunk->SetPropertyText(row->name, text.c_str(), static_cast<std::uint16_t>(text.size())))
            return NotSet(context, row, messages);
    } else if (row->valueType == kPropertyNumber) {
        double number = 0.0;
        if (IsNextArgNumber(context)) {
            number = NextArgDouble(context, 0.0);
            if (!std::isfinite(number))
                return RefuseArguments(context, kDrvWrongArgumentType, "The value of %s is not a finite number.",
                                       row->name);
        } else {
            if (!IsNextArgText(context))
                return RefuseArguments(context, kDrvWrongArgumentType,
                                       "The value of %s is neither a number nor a text.", row->name);
            const std::string text = NextArgWholeText(context);
            if (text.empty())
                return RefuseArguments(context, kDrvMissingArgument, "The value of %s is an empty text.", row->name);
            // A text that is not a decimal number is refused rather than
            // set as 0.
            if (!ReadDecimal(text, &number))
                return RefuseArguments(context, kDrvWrongArgumentType, "The value of %s is not a number: '%s'.",
                                       row->name, text.substr(0, kQuotedValueLimit).c_str());
        }
        const std::uint32_t messages = HostMessagesShown();
        if (!chunk->SetPropertyNumber(row->name, number)) return NotSet(context, row, messages);
    } else {
        return kDrvUnknownFunction;
    }
    // A set that rewrites records of a kind and left the item as it was
    // found no record of that kind in the chunk: nothing was set, and the
    // note would be saved as if it had been.
    if (!modifiedBefore && item->modified == 0 && UnmodifiedSetFoundNothing(chunk, row))
        return RefuseArguments(context, kDrvUnknownFunction, "'%s' holds nothing that takes %s; nothing was set.",
                               chunk->definition != nullptr ? chunk->definition : "", row->name);
    g_numericResult = 1.0;
    return kOK;
}

} // namespace

STATUS AM_RTItemFunction(DriverContext* context) {
    g_numericResult = 1.0;
    ZervaRTItem* item = context->item;
    if (context->session == nullptr || item == nullptr || item->connected == 0) return kDrvNoObject;
    if (context->chunk == nullptr) {
        // The chunk the call names (the whole item unless it names one):
        // the property string applied after the function reaches it.
        const char* definition = context->chunkDefinition != nullptr ? context->chunkDefinition : "Everything";
        context->chunk = item->DefineChunk(definition);
        if (context->chunk != nullptr) item->defaultChunk = context->chunk;
    }
    switch (g_currentOperationId) {
    case kOpDisconnect:
    case kOpCreate:
    case kOpCreateBackend:
    case kOpDefineChunk:
    case kOpSave:
    case kOpConvertToMime:
    case kOpExportToMIME:
    case kOpExportToHTML: WriteNumberResult(context, g_numericResult); break;
    case kOpCopy:          // the number result stays 0
    case kOpGenerateMIME:  // the result stays empty: a lone type word 0
        break;
    case kOpGetItemProperty:
    case kOpSetItemProperty:
    default: context->result.length = 0; break;
    }
    return kOK;
}

STATUS AM_RTChunkFunction(DriverContext* context) {
    g_numericResult = 1.0;
    const std::uint32_t operation = g_currentOperationId;
    const bool lookUp = operation == kOpDBColumn || operation == kOpDBLookup;
    if (lookUp) {
        // The look-up adds its cells to an empty text list.
        FreeResultList(context);
        FreeArgValue(&context->result, true, true);
        context->result.type = kValueTextList;
        plat::DHANDLE list = plat::NULLHANDLE;
        void* address = nullptr;
        plat::WORD size = 0;
        STATUS status = plat::ListAllocate(0, 0, true, &list, &address, &size);
        if (status != plat::NOERROR) return status;
        context->resultListHandle = list;
        context->resultListPointer = address;
        context->resultListSize = size;
    }
    STATUS status = PerformChunkCommand(context, operation, 0, 0);
    if (status != kOK) {
        FreeResultList(context);
        return status;
    }
    if (!lookUp) return kOK;
    // A look-up that switched the result to numbers keeps it as it is.
    if (context->result.type != kValueTextList) {
        FreeResultList(context);
        return kOK;
    }
    return TakeResultList(context);
}

STATUS PerformChunkCommand(DriverContext* context, std::uint32_t operation, std::uint32_t, std::uint32_t) {
    bool needsChunk = operation != kOpSave && operation != kOpDisconnect;
    if (context->session == nullptr || context->item == nullptr || (needsChunk && context->chunk == nullptr))
        return kDrvNoObject;
    g_numericResult = 0.0;
    switch (operation) {
    case kOpGetChunkProperty: return GetChunkProperty(context);
    case kOpSetChunkProperty: return SetChunkProperty(context);
    case kOpDBColumn:
    case kOpDBLookup: return TableLookUp(context, operation);
    default: return kDrvUnknownFunction;
    }
}

} // namespace talix
