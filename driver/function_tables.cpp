// The function tables of the formula driver and the resolution of a call's
// name through them.
#include "driver/function_tables.h"

#include <cstdio>

#include "core/text_compare.h"
#include "driver/row_handlers.h"

namespace talix {

namespace {

constexpr std::uint16_t kAllTypes = 0xFF;
constexpr std::uint16_t kNumberResult = 1;
constexpr std::uint16_t kListResult = 2;
constexpr std::uint16_t kSetterResult = 65406;
constexpr int kMaxRows = 999;

struct FunctionAlias {
    const char* from;
    const char* to;
};

constexpr FunctionAlias kFunctionAliases[] = {
    {"ConnectForm", "ConnectFormBody"},
    {"ConnectPage", "ConnectPageBody"},
    {"ConnectSubform", "ConnectSubformBody"},
    {nullptr, nullptr},
};

constexpr DriverFunctionRow kItemFunctions[] = {
    {"ClearStyleMappings", 0, 1, 1, kAllTypes, kNumberResult, AM_RTItemFunction, 2120},
    {"Commit", 0, 1, 1, kAllTypes, kNumberResult, AM_RTItemFunction, 2118},
    {"ConvertToMime", 0, 1, 6, kAllTypes, kNumberResult, AM_RTItemFunction, kOpConvertToMime},
    {"Copy", 0, 1, 6, kAllTypes, kNumberResult, AM_RTItemFunction, kOpCopy},
    {"CopyBackend", 0, 1, 4, kAllTypes, kNumberResult, AM_RTItemFunction, 2106},
    {"Create", 1, 1, 6, kAllTypes, kNumberResult, AM_RTItemFunction, kOpCreate},
    {"CreateBackend", 1, 1, 4, kAllTypes, kNumberResult, AM_RTItemFunction, kOpCreateBackend},
    {"DefineChunk", 0, 1, 3, kAllTypes, kNumberResult, AM_RTItemFunction, kOpDefineChunk},
    {"DefineFont", 1, 1, 4, kAllTypes, kNumberResult, AM_RTItemFunction, 2110},
    {"Disconnect", 0, 1, 1, kAllTypes, kNumberResult, AM_RTItemFunction, kOpDisconnect},
    {"Export", 0, 1, 3, kAllTypes, kNumberResult, AM_RTItemFunction, 2112},
    {"ExportToHTML", 0, 1, 3, kAllTypes, kNumberResult, AM_RTItemFunction, kOpExportToHTML},
    {"ExportToMIME", 0, 1, 5, kAllTypes, kNumberResult, AM_RTItemFunction, kOpExportToMIME},
    {"ExportToXHTML", 0, 1, 3, kAllTypes, kNumberResult, AM_RTItemFunction, 110},
    {"GenerateMIMEForRTITEM", 0, 1, 5, kAllTypes, kListResult, AM_RTItemFunction, kOpGenerateMIME},
    {"ItemNOOP", 0, 1, 2, kAllTypes, kNumberResult, AM_RTItemFunction, kOpItemNoop},
    {"Save", 1, 1, 1, kAllTypes, kNumberResult, AM_RTItemFunction, kOpSave},
    {"SaveAsMime", 1, 1, 4, kAllTypes, kNumberResult, AM_RTItemFunction, 2123},
    {"SetFooter", 1, 1, 4, kAllTypes, kNumberResult, AM_RTItemFunction, 2114},
    {"SetHeader", 1, 1, 4, kAllTypes, kNumberResult, AM_RTItemFunction, 2115},
    {"SetStyleMapping", 1, 1, 5, kAllTypes, kNumberResult, AM_RTItemFunction, 2121},
    {"StoreForm", 1, 1, 3, kAllTypes, kNumberResult, AM_RTItemFunction, 2126},
    {"UnstoreForm", 1, 1, 2, kAllTypes, kNumberResult, AM_RTItemFunction, 2127},
    {nullptr, 0, 0, 0, 0, 0, nullptr, 0},
};

constexpr DriverFunctionRow kChunkFunctions[] = {
    {"DBColumn", 0, 4, 5, kAllTypes, kListResult, AM_RTChunkFunction, kOpDBColumn},
    {"DBLookup", 0, 5, 6, kAllTypes, kListResult, AM_RTChunkFunction, kOpDBLookup},
    {nullptr, 0, 0, 0, 0, 0, nullptr, 0},
};

// The rows that run for a property name; they are chosen, not looked up.
constexpr DriverFunctionRow kGetItemProperty = {"GetItemProperty", 0, 1, 1, kAllTypes, kListResult,
                                                AM_RTItemFunction, kOpGetItemProperty};
constexpr DriverFunctionRow kSetItemProperty = {"SetItemProperty", 1, 2, 2, kAllTypes, kSetterResult,
                                                AM_RTItemFunction, kOpSetItemProperty};
constexpr DriverFunctionRow kGetChunkProperty = {"GetChunkProperty", 0, 1, 1, kAllTypes, kListResult,
                                                 AM_RTChunkFunction, kOpGetChunkProperty};
constexpr DriverFunctionRow kSetChunkProperty = {"SetChunkProperty", 1, 1, 2, kAllTypes, kSetterResult,
                                                 AM_RTChunkFunction, kOpSetChunkProperty};

// The searches stop at the first row that sorts after the name: a row out
// of order could never be found.
template <typename Row, std::size_t N>
constexpr bool SortedByName(const Row (&rows)[N], const char* Row::*name) {
    for (std::size_t i = 1; i + 1 < N; ++i)
        if (CompareNamesNoCase(rows[i - 1].*name, rows[i].*name) >= 0) return false;
    return true;
}

static_assert(SortedByName(kItemFunctions, &DriverFunctionRow::name) &&
              SortedByName(kChunkFunctions, &DriverFunctionRow::name) &&
              SortedByName(kFunctionAliases, &FunctionAlias::from));

// The row of that name in a sorted table, or null.
const DriverFunctionRow* FindFunctionRow(const DriverFunctionRow* table, const char* name) {
    for (int row = 0; row < kMaxRows && table[row].name != nullptr; ++row) {
        int order = CompareNamesNoCase(name, table[row].name);
        if (order == 0) return &table[row];
        if (order < 0) return nullptr;
    }
    return nullptr;
}

// Replaces name by the target of its alias, if it has one.
void ApplyAlias(char* name) {
    for (int row = 0; row < kMaxRows && kFunctionAliases[row].from != nullptr; ++row) {
        int order = CompareNamesNoCase(name, kFunctionAliases[row].from);
        if (order < 0) return;
        if (order == 0) {
            std::snprintf(name, kFunctionNameSize, "%s", kFunctionAliases[row].to);
            return;
        }
    }
}

} // namespace

NameResolution ResolveFunctionName(char* name) {
    NameResolution found;
    ApplyAlias(name);
    if (name[0] == '\0') return found;
    if ((found.row = FindFunctionRow(kItemFunctions, name)) != nullptr) {
        found.kind = FoundKind::ItemFunction;
    } else if ((found.property = FindItemProperty(name)) != nullptr) {
        found.kind = FoundKind::ItemProperty;
    } else if ((found.row = FindFunctionRow(kChunkFunctions, name)) != nullptr) {
        found.kind = FoundKind::ChunkFunction;
    } else if ((found.property = FindChunkProperty(name)) != nullptr) {
        found.kind = FoundKind::ChunkProperty;
    }
    return found;
}

const DriverFunctionRow* PropertyFunctionRow(FoundKind kind, const DriverContext* context) {
    if (kind == FoundKind::ItemProperty) return context->argCount < 2 ? &kGetItemProperty : &kSetItemProperty;
    if (kind == FoundKind::ChunkProperty)
        return context->argCount > context->argCursor ? &kSetChunkProperty : &kGetChunkProperty;
    return nullptr;
}

} // namespace talix
