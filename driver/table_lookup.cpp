// The table look-ups DBColumn and DBLookup. The arguments and options are
// read, the chunk's existence is tested, the rows are counted and the
// title rows skipped; then each row's key cell is matched and the value
// cell of every row taken is added to the result. The cells come from one
// pass over the item (driver/table_cells.h) where that pass covers the
// call, else from one chunk read per cell.
#include "driver/table_lookup.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/clamp.h"
#include "core/properties.h"
#include "core/record_forms.h"
#include "core/shared_services.h"
#include "core/text_search.h"
#include "driver/arg_values.h"
#include "driver/function_tables.h"
#include "driver/lookup_options.h"
#include "driver/table_cells.h"
#include "core/chunk_definition.h"
#include "core/chunk_types.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

// The most bytes of a cell's text a look-up returns; a cell is read with a
// few bytes more, so that a character of several bytes at the limit is
// left out whole rather than cut.
constexpr std::uint32_t kCellTextLimit = 255;
constexpr std::uint32_t kCellReadSize = kCellTextLimit + 5;
constexpr std::uint16_t kMaxColumn = 64;
constexpr std::uint32_t kNumberSize = 8;

// The arguments after the addressing ones.
struct LookUpArgs {
    bool keyText = false;                 // a key text is given
    std::string key;
    bool keyRows = false;                 // row numbers are given
    std::vector<std::uint16_t> rows;      // sorted
    std::uint16_t column = 1;
    std::string columnProperty;           // a column given as a chunk property name
    std::string options;
};

struct LookUp {
    DriverContext* context = nullptr;
    ZervaRTChunk* chunk = nullptr;
    LookUpArgs args;
    LookUpOptions options;
    bool table = false;                   // the chunk's element is a table
    ChunkDefInfo* innermost = nullptr;    // the chunk's innermost level
    bool allOccurrences = false;          // ... selecting every occurrence

    const char* Separator() const {
        return options.completeText && !options.separator.empty() ? options.separator.c_str() : nullptr;
    }
};

// The values found, as texts or numbers.
struct Values {
    bool numbers = false;
    std::vector<std::string> texts;
    std::vector<double> figures;
};

// The text argument at the cursor, whole; advances. Options cut to fit a
// buffer would lose the keywords after the cut.
std::string NextText(DriverContext* context) { return NextArgWholeText(context); }

bool ArgumentLeft(const DriverContext* context) { return context->argCursor < context->argCount; }

STATUS ReadArguments(DriverContext* context, std::uint32_t operation, LookUpArgs* args) {
    const char* function = operation == kOpDBLookup ? "DBLookup" : "DBColumn";
    if (operation == kOpDBLookup) {
        if (IsNextArgText(context)) {
            // One key: a list would be matched by its first entry alone.
            if (NextArgCount(context) > 1)
                return RefuseArguments(context, kDrvWrongArgumentType, "DBLookup takes one key text, not a list of %u.",
                                       static_cast<unsigned>(NextArgCount(context)));
            args->key = NextText(context);
            args->keyText = !args->key.empty();
        } else if (IsNextArgNumber(context)) {
            // Row numbers name rows 1 to 65,535; others name none.
            std::vector<double> numbers;
            NextArgNumbers(context, &numbers);
            args->keyRows = true;
            for (double number : numbers)
                if (number >= 1.0 && number < 65536.0) args->rows.push_back(static_cast<std::uint16_t>(number));
            std::sort(args->rows.begin(), args->rows.end());
        } else if (ArgumentLeft(context)) {
            return RefuseArguments(context, kDrvWrongArgumentType, "DBLookup: the key is neither a text nor a number.");
        }
    }
    // One column: a list would be read as its first entry alone, and an
    // empty number list as the default column 1.
    if ((IsNextArgNumber(context) || IsNextArgText(context)) &&
        (NextArgCount(context) > 1 || (IsNextArgNumber(context) && NextArgCount(context) == 0)))
        return RefuseArguments(context, kDrvWrongArgumentType, "%s takes one column, not a list of %u.", function,
                               static_cast<unsigned>(NextArgCount(context)));
    if (IsNextArgNumber(context)) {
        // The fraction is dropped; a column outside 1 to 64 names none, and
        // is not taken for another by its low 16 bits (65,538 is not 2).
        const double column = std::trunc(NextArgDouble(context, 1.0));
        if (!(column >= 1.0 && column <= kMaxColumn))
            return RefuseArguments(context, kDrvMissingArgument, "%s: the column %.15g is not one of 1 to %u.",
                                   function, column + 0.0, static_cast<unsigned>(kMaxColumn));
        args->column = static_cast<std::uint16_t>(column);
    } else if (IsNextArgText(context)) {
        args->columnProperty = NextText(context);
        args->column = 0;
        // Read up to a zero byte, the name would be another property's.
        if (args->columnProperty.find('\0') != std::string::npos)
            return RefuseArguments(context, kArgumentError, "%s: the column name holds a NUL character.", function);
        // A name that is no chunk property would read as an empty value in
        // every row.
        if (!args->columnProperty.empty() && FindChunkProperty(args->columnProperty.c_str()) == nullptr)
            return RefuseArguments(context, kDrvUnknownFunction,
                                   "%s: the column '%s' is neither a number from 1 to %u nor a chunk property.",
                                   function, args->columnProperty.c_str(), static_cast<unsigned>(kMaxColumn));
    } else if (ArgumentLeft(context)) {
        return RefuseArguments(context, kDrvWrongArgumentType, "%s: the column is neither a number nor a text.",
                               function);
    }
    if (args->column == 0 && args->columnProperty.empty())
        return RefuseArguments(context, kDrvMissingArgument, "%s: the column is an empty text.", function);
    if (IsNextArgText(context)) {
        // The options are one text: the keywords of a second entry would be
        // passed over.
        if (NextArgCount(context) > 1)
            return RefuseArguments(context, kDrvWrongArgumentType, "%s takes one option text, not a list of %u.",
                                   function, static_cast<unsigned>(NextArgCount(context)));
        args->options = NextText(context);
        // The keywords after a zero byte would be passed over as if absent.
        if (args->options.find('\0') != std::string::npos)
            return RefuseArguments(context, kArgumentError, "%s: the options hold a NUL character.", function);
    } else if (ArgumentLeft(context))
        return RefuseArguments(context, kDrvWrongArgumentType, "%s: the options are not a text.", function);
    // The keywords of a text after the options would be passed over.
    if (ArgumentLeft(context))
        return RefuseArguments(context, kDrvWrongArgumentType, "%s takes nothing after the options, not %u more.",
                               function, static_cast<unsigned>(context->argCount - context->argCursor));
    return kOK;
}

ChunkDefInfo* InnermostLevel(const ZervaRTChunk* chunk) {
    ChunkDefInfo* level = GetChunkDefChain(chunk);
    while (level != nullptr && level->next != nullptr) level = level->next;
    return level;
}

// Cuts a text to the limit before the first character that does not fit
// whole.
void FitCellText(std::string* text) {
    text->resize(WholeCharsWithin(text->data(), static_cast<std::uint32_t>(text->size()), kCellTextLimit));
}

// The text of a definition within the chunk as GetText reads it.
STATUS ReadText(ZervaRTChunk* chunk, const std::string& definition, bool complete, const char* separator,
                std::string* text) {
    char buffer[kCellReadSize];
    const std::uint32_t length = chunk->GetText(definition.c_str(), buffer, sizeof buffer, complete ? 1 : 0, separator);
    // A definition naming a row or column no table holds (a KeyChunk= or
    // ColumnChunk= of "Table 1; Row 300") matches nothing in the cell: the
    // read refuses to walk it, where a row the cell's table lacks reads as
    // an empty text.
    if (chunk->lastStatus == kErrFormula) {
        text->clear();
        return kOK;
    }
    if (chunk->lastStatus != kOK) return chunk->lastStatus;
    text->assign(buffer, length);
    FitCellText(text);
    return kOK;
}

// A chunk property as text.
STATUS ReadProperty(ZervaRTChunk* chunk, const std::string& name, std::string* text) {
    char buffer[kCellReadSize + 1];
    const std::uint16_t length = chunk->GetPropertyText(name.c_str(), buffer, kCellReadSize);
    if (chunk->lastStatus != kOK) return chunk->lastStatus;
    text->assign(buffer, std::min<std::uint32_t>(length, kCellReadSize));
    FitCellText(text);
    return kOK;
}

// The label of a row: the chunk's "RowLabel" within "Row n"; empty when the
// chunk cannot be narrowed to the row.
STATUS ReadRowLabel(ZervaRTChunk* chunk, std::uint32_t row, std::string* text) {
    char definition[32];
    std::snprintf(definition, sizeof definition, "Row %u", static_cast<unsigned>(row));
    text->clear();
    if (chunk->ZoomIn(definition) == 0) return kOK;
    const STATUS status = ReadProperty(chunk, "RowLabel", text);
    chunk->ZoomOut();
    return status;
}

std::string CellDefinition(std::uint32_t row, std::uint32_t column, const std::string& inside) {
    char definition[48];
    std::snprintf(definition, sizeof definition, "Row %u; Column %u", static_cast<unsigned>(row),
                  static_cast<unsigned>(column));
    std::string text = definition;
    if (!inside.empty()) text += "; " + inside;
    return text;
}

// The key of record r, read on its own.
STATUS ReadKeyCell(const LookUp& look, std::uint32_t r, std::string* text) {
    const LookUpOptions& options = look.options;
    const std::string& inside = options.keyChunk.empty() ? std::string("NonBlankText 1") : options.keyChunk;
    if (options.rowLabel && look.table) return ReadRowLabel(look.chunk, options.sideways ? options.keyColumn : r, text);
    if (!options.keyProperty.empty()) return ReadProperty(look.chunk, options.keyProperty, text);
    if (!look.table) return ReadText(look.chunk, inside, false, nullptr, text);
    const std::string definition = options.sideways ? CellDefinition(options.keyColumn, r, inside)
                                                    : CellDefinition(r, options.keyColumn, inside);
    return ReadText(look.chunk, definition, false, nullptr, text);
}

// The value of record r, read on its own.
STATUS ReadValueCell(const LookUp& look, std::uint32_t r, std::string* text) {
    const LookUpOptions& options = look.options;
    const std::uint32_t column = look.args.column;
    if (!look.args.columnProperty.empty()) return ReadProperty(look.chunk, look.args.columnProperty, text);
    std::string definition;
    if (options.sideways)
        definition = CellDefinition(column, r, options.columnChunk);
    else if (look.table)
        definition = CellDefinition(r, column, options.columnChunk);
    else
        definition = options.columnChunk.empty() ? std::string("NonBlankText 1") : options.columnChunk;
    return ReadText(look.chunk, definition, options.completeText, look.Separator(), text);
}

// Whether a definition parses within the chunk, as the reads parse it;
// *status gets 263 when memory ran out.
bool Parses(const LookUp& look, const std::string& definition, STATUS* status) {
    bool outOfMemory = false;
    ChunkDefInfo* parsed = ParseChunkDefinition(look.chunk->session, 0, look.innermost, definition.c_str(), nullptr,
                                                &outOfMemory);
    FreeChunkDefinition(parsed);
    *status = outOfMemory ? kOutOfMemory : kOK;
    return parsed != nullptr;
}

// Whether a chunk text of the options parses where the reads put it (after
// "Row r; Column c" in a table): one that does not would fail the first read
// with no word of which option is wrong.
STATUS CheckOptionChunk(const LookUp& look, const char* function, const char* keyword, const std::string& inside,
                        bool cellForm) {
    if (inside.empty()) return kOK;
    STATUS status = kOK;
    if (Parses(look, cellForm ? CellDefinition(1, 1, inside) : inside, &status) || status != kOK) return status;
    return RefuseArguments(look.context, kArgumentError, "%s: %s'%s' is not a chunk definition.", function, keyword,
                           inside.c_str());
}

// Whether the key is found in the cell where the mode asks, under the
// chunk's wildcard, case and accent settings. An empty key is found at the
// cell's start with no length: it covers only an empty cell and ends only
// one; an empty cell holds no other key.
bool KeyMatches(const ZervaRTChunk* chunk, const std::string& cell, const std::string& key, std::uint16_t mode) {
    if (key.empty()) return mode == kKeyStarts || mode == kKeySubstring || cell.empty();
    if (cell.empty()) return false;
    TextSearchOptions search;
    search.wildcards = chunk->textWildcards != 0 ? 1 : 0;
    search.ignoreCase = chunk->caseSensitive == 0 ? 1 : 0;
    search.ignoreAccents = chunk->accentSensitive == 0 ? 1 : 0;
    const auto keyLength = ClampToWord(key.size());
    return CompareTextPosition(cell.data(), static_cast<std::uint16_t>(cell.size()), key.data(), keyLength, mode,
                               search, nullptr) != 0;
}

// A cell read as a number: from its first "-", digit or "." on, as far as
// it reads as a decimal number; 0 when nothing does.
double CellNumber(const std::string& text) {
    const std::size_t at = text.find_first_of("-0123456789.");
    if (at == std::string::npos) return 0.0;
    double number = 0.0;
    const auto read = std::from_chars(text.data() + at, text.data() + text.size(), number);
    return read.ec == std::errc() && std::isfinite(number) ? number : 0.0;
}

void AddValue(Values* values, std::string text) {
    if (values->numbers)
        values->figures.push_back(CellNumber(text));
    else
        values->texts.push_back(std::move(text));
}

STATUS RefuseTooLarge(DriverContext* context) {
    return RefuseArguments(context, kDrvResultTooLarge, "The values found do not fit in the %u bytes of a result.",
                           static_cast<unsigned>(kListResultSize));
}

// Puts the values into the call's result: texts as the result's text list,
// numbers as its number list. Values that would not fit the result block
// refuse the look-up; nothing is cut.
STATUS StoreValues(DriverContext* context, const Values& values) {
    if (values.numbers) {
        FreeResultList(context);
        const std::size_t count = values.figures.size();
        const std::size_t size = count == 1 ? 2 + kNumberSize : 6 + count * kNumberSize;
        if (size > kListResultSize) return RefuseTooLarge(context);
        return SetOwnedNumberList(&context->result, values.figures.data(), static_cast<std::uint16_t>(count));
    }
    std::size_t textBytes = 0;
    for (const std::string& text : values.texts) textBytes += text.size();
    const std::size_t count = values.texts.size();
    if (4 + 2 * count + textBytes > kListResultSize) return RefuseTooLarge(context);

    FreeResultList(context);
    plat::DHANDLE list = plat::NULLHANDLE;
    void* address = nullptr;
    plat::WORD size = 0;
    const STATUS status = plat::ListAllocate(static_cast<plat::WORD>(count), static_cast<plat::WORD>(textBytes), true,
                                             &list, &address, &size);
    if (status != plat::NOERROR) return status;
    auto* lengths = static_cast<std::uint8_t*>(address) + 4;
    std::uint8_t* at = lengths + 2 * count;
    for (const std::string& text : values.texts) {
        WriteWord(lengths, static_cast<std::uint16_t>(text.size()));
        lengths += 2;
        if (!text.empty()) std::memcpy(at, text.data(), text.size());
        at += text.size();
    }
    context->resultListHandle = list;
    context->resultListPointer = address;
    context->resultListSize = size;
    context->result.type = kValueTextList;
    return kOK;
}

// What the chunk counts its records by when it is not a table: its own
// definition up to its last blank.
std::string CountedType(const ZervaRTChunk* chunk) {
    std::string definition = chunk->definition != nullptr ? chunk->definition : "";
    const std::size_t blank = definition.rfind(' ');
    if (blank != std::string::npos) definition.resize(blank);
    return definition;
}

// Narrows a chunk that names every occurrence to its first one; the
// look-up then moves it on by one occurrence per row.
void NarrowToFirst(LookUp* look) {
    ChunkDefInfo* level = look->innermost;
    level->occurrenceCount = 1;
    level->occurrenceStart[0] = 1;
    level->occurrenceEnd[0] = 0;
    char* definition = look->chunk->definition;
    const std::size_t length = definition != nullptr ? std::strlen(definition) : 0;
    if (length > 0 && definition[length - 1] == '*') definition[length - 1] = '1';
}

// Whether the single pass reads what the call asks for as the per-cell
// reads would: a table that names one occurrence (or a list of them) in
// which rows and columns can be named, whose cells are read whole or for
// their first non-blank text, and keyed by a cell or a chunk property.
bool SingleWalkCovers(const LookUp& look) {
    const ChunkDefInfo* level = look.innermost;
    return look.context->lookUpRoute != LookUpRoute::EveryCell && look.table && !look.allOccurrences &&
           (level->relation == kRelPlain || level->relation == kRelInside) && look.options.columnChunk.empty() &&
           !(look.args.keyText && (!look.options.keyChunk.empty() || look.options.rowLabel));
}

// Reads every cell of the table in one pass; chunk properties named for
// the key or the column are read once, as they are the same for every row.
STATUS WalkCells(LookUp* look, TableCells* cells, std::string* keyProperty, std::string* columnProperty,
                 std::int32_t* count) {
    const LookUpOptions& options = look->options;
    const bool keyCells = look->args.keyText && options.keyProperty.empty();
    TableCellRequest request;
    request.sideways = options.sideways;
    request.valueField = look->args.columnProperty.empty() ? look->args.column : 0;
    request.keyField = keyCells ? options.keyColumn : 0;
    request.completeText = options.completeText;
    request.separator = look->Separator();
    request.textLimit = kCellReadSize - 1;
    STATUS status = CollectTableCells(look->chunk, request, cells,
                                      look->context->lookUpRoute == LookUpRoute::EngineWalk ? TableCellRoute::EngineWalk
                                                                              : TableCellRoute::ScanWherePossible);
    if (status != kOK) return status;
    *count = cells->count;
    if (look->args.keyText && !keyCells) status = ReadProperty(look->chunk, options.keyProperty, keyProperty);
    if (status == kOK && !look->args.columnProperty.empty())
        status = ReadProperty(look->chunk, look->args.columnProperty, columnProperty);
    return status;
}

// A walked cell, cut as a read cell is.
std::string WalkedCell(const std::vector<std::string>& texts, std::uint32_t r) {
    if (r >= texts.size()) return std::string();
    std::string text = texts[r];
    FitCellText(&text);
    return text;
}

} // namespace

STATUS TableLookUp(DriverContext* context, std::uint32_t operation) {
    LookUp look;
    look.context = context;
    look.chunk = context->chunk;
    ZervaRTChunk* chunk = look.chunk;
    STATUS status = ReadArguments(context, operation, &look.args);
    if (status != kOK) return status;
    look.innermost = InnermostLevel(chunk);
    look.table = look.innermost != nullptr && look.innermost->elementType == kTypeTable;
    look.allOccurrences =
        look.innermost != nullptr && look.innermost->occurrenceCount == 0 && look.innermost->occurrenceStart[0] == 0;
    ReadResultOptions(look.args.options, &look.options);
    Values values;
    values.numbers = look.options.numbers;

    const char* function = operation == kOpDBLookup ? "DBLookup" : "DBColumn";
    if (chunk->Exists() == 0) {
        // A test that could not read the item fails the look-up.
        if (chunk->lastStatus != kOK) return chunk->lastStatus;
        // The status alone would say that the item is missing: the message
        // names the chunk that matched nothing.
        if (look.options.raiseError) {
            const ZervaRTItem* item = context->item;
            return RefuseArguments(context, kItemNotFound, "%s: '%s' matches nothing in '%s'.", function,
                                   chunk->definition != nullptr ? chunk->definition : "",
                                   item != nullptr && item->itemName != nullptr ? item->itemName : "");
        }
        AddValue(&values, std::string());
        return StoreValues(context, values);
    }
    ReadCellOptions(look.args.options, look.args.keyText, &look.options);
    // A key property that is none would match only an empty key.
    if (!look.options.keyProperty.empty() && !look.options.rowLabel &&
        FindChunkProperty(look.options.keyProperty.c_str()) == nullptr)
        return RefuseArguments(context, kDrvUnknownFunction, "DBLookup: KeyProperty '%s' is not a chunk property.",
                               look.options.keyProperty.c_str());

    // The chunk texts the reads will use.
    if (look.args.keyText && look.options.keyProperty.empty())
        status = CheckOptionChunk(look, function, "KeyChunk=", look.options.keyChunk, look.table);
    // Sideways, the values are read as cells, which a chunk that holds no
    // rows and columns cannot name.
    if (status == kOK && look.args.columnProperty.empty() && look.options.sideways && !look.table &&
        !Parses(look, CellDefinition(1, 1, std::string()), &status) && status == kOK)
        status = RefuseArguments(context, kArgumentError,
                                 "%s: SidewaysTable=yes reads the cells of a table, and '%s' holds no rows and columns.",
                                 function, chunk->definition != nullptr ? chunk->definition : "");
    if (status == kOK && look.args.columnProperty.empty())
        status = CheckOptionChunk(look, function, "ColumnChunk=", look.options.columnChunk,
                                  look.table || look.options.sideways);
    if (status != kOK) return status;

    const bool walk = SingleWalkCovers(look);
    TableCells cells;
    std::string keyProperty, columnProperty;
    std::int32_t count = 0;
    if (walk) {
        status = WalkCells(&look, &cells, &keyProperty, &columnProperty, &count);
        if (status != kOK) return status;
    } else {
        count = chunk->GetCount(look.table ? (look.options.sideways ? "Row 1; Column" : "Row") : CountedType(chunk).c_str());
        if (chunk->lastStatus != kOK) return chunk->lastStatus;
    }
    const std::int32_t skipped = TitleRows(look.args.options, count);
    count -= skipped;
    const std::uint32_t first = static_cast<std::uint32_t>(skipped) + 1;
    if (look.allOccurrences) NarrowToFirst(&look);
    if (count <= 0) return StoreValues(context, values);

    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint32_t r = first + static_cast<std::uint32_t>(i);
        bool taken = true;
        if (look.args.keyText) {
            std::string cell;
            if (!walk)
                status = ReadKeyCell(look, r, &cell);
            else
                cell = look.options.keyProperty.empty() ? WalkedCell(cells.keys, r) : keyProperty;
            if (status != kOK) return status;
            taken = KeyMatches(chunk, cell, look.args.key, look.options.keyMatch);
        } else if (look.args.keyRows) {
            taken = std::binary_search(look.args.rows.begin(), look.args.rows.end(), r);
        }
        if (taken) {
            std::string value;
            if (!walk)
                status = ReadValueCell(look, r, &value);
            else
                value = look.args.columnProperty.empty() ? WalkedCell(cells.values, r) : columnProperty;
            if (status != kOK) return status;
            AddValue(&values, std::move(value));
        }
        // Successive rows of a chunk that named every occurrence come from
        // successive occurrences.
        if (look.allOccurrences && look.innermost->occurrenceStart[0] < 0xFFFF) ++look.innermost->occurrenceStart[0];
    }
    return StoreValues(context, values);
}

} // namespace talix
