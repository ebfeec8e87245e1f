// Building the sorted entries of a view's collection from the view's own
// items (see view_index.h), and making view notes.
#include "view_index.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "ascii_text.h"
#include "byte_order.h"
#include "formula_eval.h"
#include "notes_internal.h"
#include "status_codes.h"
#include "talix_platform/c_locale.h"
#include "talix_platform/database.h"
#include "talix_platform/formula.h"
#include "talix_platform/log.h"
#include "talix_platform/memory.h"
#include "talix_platform/text.h"
#include "talix_platform/timedate.h"
#include "talix_platform/views.h"

namespace plat {

namespace {

constexpr char kTitleItem[] = "$TITLE";
constexpr char kSelectionItem[] = "$ViewSelection";
constexpr char kColumnsItem[] = "$ViewColumns";
constexpr char kFlagsItem[] = "$ViewColumnFlags";


// Every entry of a text or text-list item; an empty list when the note has
// no such item.
std::vector<std::string> TextEntries(NOTEHANDLE note, const char* name) {
    std::vector<std::string> entries;
    WORD count = ItemTextListCount(note, name);
    std::vector<char> buffer(0x10000);
    for (WORD i = 0; i < count; ++i) {
        WORD length = 0;
        if (!ItemTextListEntry(note, name, i, buffer.data(), 0xFFFF, &length)) break;
        entries.emplace_back(buffer.data(), length);
    }
    return entries;
}

// The entries of an item of a view's definition, as TextEntries reads them
// (none when the view has no such item). An item that is not text, or a
// list that counts entries its value does not hold, fails with
// ERR_ITEM_TYPE: read as no entries, it would give a view without columns
// (or without their flags) and no word of the damage.
STATUS DefinitionEntries(NOTEHANDLE view, NOTEID viewId, const char* name, std::vector<std::string>* entries) {
    entries->clear();
    WORD type = 0;
    BLOCKID value;
    DWORD length = 0;
    const STATUS status = ItemInfo(view, name, static_cast<WORD>(std::strlen(name)), nullptr, &type, &value, &length);
    if (status == ERR_ITEM_NOT_FOUND) return NOERROR;
    if (status != NOERROR) return status;
    // Only a list whose count word is 0 holds no entries.
    bool emptyList = false;
    if (type == TYPE_TEXT_LIST && length >= 4) {
        const auto* bytes = static_cast<const BYTE*>(BlockLock(value));
        if (bytes == nullptr) return ERR_INVALID_HANDLE;
        emptyList = GetWord(bytes + 2) == 0;
        BlockUnlock(value);
    }
    *entries = TextEntries(view, name);
    if ((type != TYPE_TEXT && type != TYPE_TEXT_LIST) || (entries->empty() && !emptyList)) {
        LogLine(ERR_ITEM_TYPE, "View 0x%X: its item %s is not a text list, or a damaged one", viewId, name);
        entries->clear();
        return ERR_ITEM_TYPE;
    }
    return NOERROR;
}

struct ColumnFlags {
    bool sorted = false;
    bool categorized = false;
    bool descending = false;
};

// Reads "sorted", "categorized" and "descending" out of one flags entry
// (words separated by blanks or commas, any case); other words are ignored.
ColumnFlags ParseColumnFlags(const std::string& text) {
    ColumnFlags flags;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '\t')) ++i;
        size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != ',' && text[i] != '\t') ++i;
        std::string word = text.substr(start, i - start);
        for (char& c : word) c = plat::AsciiLower(c);
        if (word == "sorted") flags.sorted = true;
        if (word == "categorized") flags.categorized = flags.sorted = true;
        if (word == "descending") flags.descending = true;
    }
    return flags;
}

// A column formula, parsed once and evaluated on each document. It is run
// by the evaluator itself rather than through an evaluation context, so
// that the column takes the first entry of any value: a typed result block
// holds at most 64 KB, which a document's long list would pass.
class ColumnFormula {
public:
    STATUS Start(const std::string& text) {
        if (text.size() > 0xFFFF) return ERR_BAD_ARGUMENT;
        // Compiled first, so that a formula that does not compile fails
        // with the compiler's status.
        DHANDLE compiled = NULLHANDLE;
        WORD length = 0;
        STATUS status = FormulaCompile(text.data(), static_cast<WORD>(text.size()), &compiled, &length);
        if (status != NOERROR) return status;
        MemFree(compiled);
        formula::SyntaxError error;
        if (!formula::Parse(text, &formula_, &error)) {
            formula::SetLastError(error.message + " at offset " + std::to_string(error.offset));
            return ERR_FORMULA_SYNTAX;
        }
        return NOERROR;
    }

    STATUS Evaluate(NOTEHANDLE note, ViewValue* value) const;

private:
    formula::Formula formula_;
};

ViewValue NumberValue(NUMBER number) {
    ViewValue value;
    value.kind = ViewValue::kNumber;
    value.number = number;
    char text[64];
    plat::FormatText(text, sizeof text, "%g", number);
    value.text = text;
    return value;
}

ViewValue TimeValue(const TIMEDATE& time) {
    ViewValue value;
    value.kind = ViewValue::kTime;
    value.time = time;
    char text[80];
    WORD length = 0;
    if (TimeToText(&time, text, sizeof text, &length) == NOERROR) value.text.assign(text, length);
    return value;
}

// The value a column shows for a formula's result: its first text, number
// or time (the lower end of its first range when it holds ranges alone);
// a result without entries shows as an empty text.
ViewValue ResultValue(const formula::Value& result) {
    switch (result.type) {
    case formula::ValueType::Text:
        if (!result.texts.empty()) {
            ViewValue value;
            value.text = result.texts.front();
            return value;
        }
        break;
    case formula::ValueType::Number:
        if (!result.numbers.empty()) return NumberValue(result.numbers.front());
        break;
    case formula::ValueType::Time:
        if (!result.times.empty()) return TimeValue(result.times.front());
        if (!result.ranges.empty()) return TimeValue(result.ranges.front().Lower);
        break;
    }
    return ViewValue();
}

STATUS ColumnFormula::Evaluate(NOTEHANDLE note, ViewValue* value) const {
    formula::SetLastError("");
    formula::Evaluator evaluator(note);
    formula::Value result;
    bool selected = false;
    STATUS status = NOERROR;
    try {
        status = evaluator.Run(formula_, &result, &selected);
    } catch (const std::bad_alloc&) {
        formula::SetLastError("out of memory while evaluating the formula");
        return ERR_NO_MEMORY;
    }
    if (status != NOERROR) {
        formula::SetLastError(evaluator.error());
        return status;
    }
    *value = ResultValue(result);
    return NOERROR;
}

// A document of the collection before it is sorted.
struct Row {
    NOTEID id = 0;
    std::vector<ViewValue> values;
};

struct SortColumn {
    size_t column = 0;
    bool descending = false;
    bool categorized = false;
};

int CompareRows(const Row& a, const Row& b, const std::vector<SortColumn>& sortColumns) {
    for (const SortColumn& sort : sortColumns) {
        int order = CompareViewValues(a.values[sort.column], b.values[sort.column]);
        if (order != 0) return sort.descending ? -order : order;
    }
    return 0;
}

// Sorts the rows and lays them out as entries, a category entry before the
// documents of every group of a categorized column.
void LayOut(std::vector<Row> rows, const std::vector<SortColumn>& sortColumns, ViewIndex* index) {
    std::sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        int order = CompareRows(a, b, sortColumns);
        return order != 0 ? order < 0 : a.id < b.id;
    });
    index->entries.clear();
    index->entries.reserve(rows.size());
    NOTEID categories = 0;
    const std::vector<ViewValue>* previous = nullptr;
    for (Row& row : rows) {
        auto values = std::make_shared<const std::vector<ViewValue>>(std::move(row.values));
        // The first sort column (in column order) where this row's group
        // differs from the previous row's; every categorized column from
        // there on starts a new group.
        size_t changedFrom = 0;
        if (previous != nullptr) {
            changedFrom = sortColumns.size();
            for (size_t i = 0; i < sortColumns.size(); ++i) {
                size_t column = sortColumns[i].column;
                if (CompareViewValues((*previous)[column], (*values)[column]) != 0) {
                    changedFrom = i;
                    break;
                }
            }
        }
        for (size_t i = changedFrom; i < sortColumns.size(); ++i) {
            if (!sortColumns[i].categorized) continue;
            ViewEntry category;
            category.id = NOTEID_CATEGORY | ++categories;
            category.categoryColumn = static_cast<int>(sortColumns[i].column);
            category.values = values;
            index->entries.push_back(std::move(category));
        }
        ViewEntry entry;
        entry.id = row.id;
        entry.values = values;
        index->entries.push_back(std::move(entry));
        previous = values.get();
    }
}

// The compiled selection formula of a view note (empty when it has none).
STATUS ReadSelection(NOTEHANDLE note, std::vector<BYTE>* selection) {
    selection->clear();
    BLOCKID value;
    WORD type = 0;
    DWORD length = 0;
    STATUS status = ItemInfo(note, kSelectionItem, sizeof kSelectionItem - 1, nullptr, &type, &value, &length);
    if (status == ERR_ITEM_NOT_FOUND) return NOERROR;
    if (status != NOERROR) return status;
    if (type != TYPE_FORMULA || length <= 2) return ERR_ITEM_TYPE;
    const auto* bytes = static_cast<const BYTE*>(BlockLock(value));
    if (bytes == nullptr) return ERR_INVALID_HANDLE;
    selection->assign(bytes + 2, bytes + length);
    BlockUnlock(value);
    return NOERROR;
}

// The documents a selection picks (every document without one).
STATUS SelectDocuments(DBHANDLE db, const std::vector<BYTE>& selection, std::vector<NOTEID>* ids) {
    if (selection.empty()) {
        return DbScanNotes(db, [&](NOTEID id, WORD noteClass) -> STATUS {
            if ((noteClass & ~NOTE_CLASS_DEFAULT) == NOTE_CLASS_DOCUMENT) ids->push_back(id);
            return NOERROR;
        });
    }
    return DbSearch(db, selection.data(), NOTE_CLASS_DOCUMENT, [&](const SearchMatch& match) -> STATUS {
        if ((match.matchFlags & 0x0001) != 0) ids->push_back(match.noteId);
        return NOERROR;
    });
}

// The rows of the notes, in order: each note opened, its columnCount values
// filled by fill (note, values), closed. The first failure to open or fill
// ends the reading with its status.
template <typename Fill>
STATUS ReadRows(DBHANDLE db, const std::vector<NOTEID>& ids, size_t columnCount, std::vector<Row>* rows, Fill fill) {
    rows->reserve(ids.size());
    for (NOTEID id : ids) {
        NOTEHANDLE note = NULLHANDLE;
        STATUS status = NoteOpenUncounted(db, id, OPEN_NOTE_DEFAULT, &note);
        if (status != NOERROR) return status;
        Row row;
        row.id = id;
        row.values.resize(columnCount);
        status = fill(note, &row.values);
        NoteClose(note);
        if (status != NOERROR) return status;
        rows->push_back(std::move(row));
    }
    return NOERROR;
}

STATUS BuildFromView(DBHANDLE db, NOTEID viewId, ViewIndex* index) {
    NOTEHANDLE view = NULLHANDLE;
    STATUS status = NoteOpenUncounted(db, viewId, OPEN_NOTE_DEFAULT, &view);
    if (status != NOERROR) return status;
    WORD noteClass = 0;
    status = NoteGetInfo(view, NOTE_FIELD_CLASS, &noteClass);
    std::vector<BYTE> selection;
    if (status == NOERROR && (noteClass & ~NOTE_CLASS_DEFAULT) != NOTE_CLASS_VIEW) status = ERR_NOT_A_VIEW;
    if (status == NOERROR) status = ReadSelection(view, &selection);
    std::vector<std::string> columnTexts, flagTexts;
    if (status == NOERROR) status = DefinitionEntries(view, viewId, kColumnsItem, &columnTexts);
    if (status == NOERROR) status = DefinitionEntries(view, viewId, kFlagsItem, &flagTexts);
    NoteClose(view);
    if (status != NOERROR) return status;

    std::vector<ColumnFormula> formulas(columnTexts.size());
    std::vector<SortColumn> sortColumns;
    for (size_t i = 0; i < columnTexts.size(); ++i) {
        status = formulas[i].Start(columnTexts[i]);
        if (status != NOERROR) return status;
        ColumnFlags flags = i < flagTexts.size() ? ParseColumnFlags(flagTexts[i]) : ColumnFlags();
        if (flags.sorted) sortColumns.push_back({i, flags.descending, flags.categorized});
    }
    if (sortColumns.empty() && !columnTexts.empty()) {
        ColumnFlags flags = flagTexts.empty() ? ColumnFlags() : ParseColumnFlags(flagTexts[0]);
        sortColumns.push_back({0, flags.descending, false});
    }

    std::vector<NOTEID> ids;
    status = SelectDocuments(db, selection, &ids);
    if (status != NOERROR) return status;

    std::vector<Row> rows;
    status = ReadRows(db, ids, formulas.size(), &rows, [&](NOTEHANDLE note, std::vector<ViewValue>* values) {
        STATUS evaluated = NOERROR;
        for (size_t i = 0; i < formulas.size() && evaluated == NOERROR; ++i)
            evaluated = formulas[i].Evaluate(note, &(*values)[i]);
        return evaluated;
    });
    if (status != NOERROR) return status;
    LayOut(std::move(rows), sortColumns, index);
    index->keyColumn = sortColumns.empty() ? -1 : static_cast<int>(sortColumns[0].column);
    index->keyDescending = !sortColumns.empty() && sortColumns[0].descending;
    return NOERROR;
}

// Every design note, with its "$TITLE" as its one column.
STATUS BuildDesignCollection(DBHANDLE db, ViewIndex* index) {
    std::vector<NOTEID> ids;
    STATUS status = DbScanNotes(db, [&](NOTEID id, WORD noteClass) -> STATUS {
        if ((noteClass & ~NOTE_CLASS_DEFAULT) != NOTE_CLASS_DOCUMENT) ids.push_back(id);
        return NOERROR;
    });
    if (status != NOERROR) return status;
    std::vector<Row> rows;
    status = ReadRows(db, ids, 1, &rows, [](NOTEHANDLE note, std::vector<ViewValue>* values) -> STATUS {
        std::vector<std::string> title = TextEntries(note, kTitleItem);
        if (!title.empty()) (*values)[0].text = title[0];
        return NOERROR;
    });
    if (status != NOERROR) return status;
    LayOut(std::move(rows), {SortColumn{0, false, false}}, index);
    index->keyColumn = 0;
    index->keyDescending = false;
    return NOERROR;
}

} // namespace

int CompareViewValues(const ViewValue& a, const ViewValue& b) {
    if (a.kind != b.kind) return a.kind < b.kind ? -1 : 1;
    switch (a.kind) {
    case ViewValue::kNumber: {
        // NaN sorts after every number, and equal to itself.
        bool aNan = std::isnan(a.number), bNan = std::isnan(b.number);
        if (aNan || bNan) return aNan == bNan ? 0 : (aNan ? 1 : -1);
        return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    }
    case ViewValue::kTime: {
        // The day (the low 24 bits of the second word), then the time of day.
        DWORD aDay = a.time.Innards[1] & 0xFFFFFF, bDay = b.time.Innards[1] & 0xFFFFFF;
        if (aDay != bDay) return aDay < bDay ? -1 : 1;
        if (a.time.Innards[0] != b.time.Innards[0]) return a.time.Innards[0] < b.time.Innards[0] ? -1 : 1;
        return 0;
    }
    case ViewValue::kText:
        return Collate(a.text.data(), static_cast<DWORD>(a.text.size()), b.text.data(),
                       static_cast<DWORD>(b.text.size()), true, false);
    }
    return 0;
}

STATUS BuildViewIndex(DBHANDLE db, NOTEID viewId, ViewIndex* index) {
    if (index == nullptr) return ERR_BAD_ARGUMENT;
    ViewIndex built;
    STATUS status = viewId == NOTEID_DESIGN_COLLECTION ? BuildDesignCollection(db, &built)
                                                       : BuildFromView(db, viewId, &built);
    if (status == NOERROR) *index = std::move(built);
    return status;
}

STATUS ViewNoteCreate(DBHANDLE db, const ViewDefinition& view, NOTEID* id) {
    if (id == nullptr || view.title.size() > 0xFFFF || view.selection.size() > 0xFFFF) return ERR_BAD_ARGUMENT;
    *id = 0;
    DHANDLE compiled = NULLHANDLE;
    WORD compiledLength = 0;
    if (!view.selection.empty()) {
        STATUS status = FormulaCompile(view.selection.data(), static_cast<WORD>(view.selection.size()), &compiled,
                                       &compiledLength);
        if (status != NOERROR) return status;
    }
    NOTEHANDLE note = NULLHANDLE;
    STATUS status = NoteCreate(db, &note);
    WORD noteClass = NOTE_CLASS_VIEW;
    if (status == NOERROR) status = NoteSetInfo(note, NOTE_FIELD_CLASS, &noteClass);
    if (status == NOERROR) {
        status = ItemSetText(note, kTitleItem, view.title.data(), static_cast<WORD>(view.title.size()));
    }
    if (status == NOERROR && compiled != NULLHANDLE) {
        const void* bytes = MemLock(compiled);
        status = bytes == nullptr ? static_cast<STATUS>(ERR_INVALID_HANDLE)
                                  : ItemAppend(note, ITEM_SUMMARY, kSelectionItem, sizeof kSelectionItem - 1,
                                               TYPE_FORMULA, bytes, compiledLength);
        if (bytes != nullptr) MemUnlock(compiled);
    }
    for (size_t i = 0; i < view.columns.size() && status == NOERROR; ++i) {
        const std::string& column = view.columns[i];
        std::string flags = i < view.columnFlags.size() ? view.columnFlags[i] : std::string();
        if (column.size() > 0xFFFF || flags.size() > 0xFFFF) status = ERR_BAD_ARGUMENT;
        if (status == NOERROR) {
            status = ItemAppendTextList(note, kColumnsItem, column.data(), static_cast<WORD>(column.size()), true);
        }
        if (status == NOERROR) {
            status = ItemAppendTextList(note, kFlagsItem, flags.data(), static_cast<WORD>(flags.size()), true);
        }
    }
    if (status == NOERROR) status = NoteUpdate(note, 0);
    if (status == NOERROR) status = NoteGetInfo(note, NOTE_FIELD_ID, id);
    if (note != NULLHANDLE) NoteClose(note);
    if (compiled != NULLHANDLE) MemFree(compiled);
    return status;
}

} // namespace plat
