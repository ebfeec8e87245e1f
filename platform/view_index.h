// The entries of a view's collection, and how a view is defined.
//
// A view is a note of class NOTE_CLASS_VIEW. Besides its "$TITLE" (name and
// "|" aliases) it keeps its definition in items of this platform's own:
//   "$ViewSelection"    the compiled selection formula (TYPE_FORMULA); a view
//                       without one selects every document;
//   "$ViewColumns"      a text list, one column formula text per column;
//   "$ViewColumnFlags"  a text list parallel to the columns, each entry a set
//                       of words separated by blanks or commas: "sorted",
//                       "categorized" (implies sorted), "descending".
// The collection holds the selected documents sorted by the sorted columns
// in column order (the first column alone when none is marked), then by note
// id. Before the documents of each group a categorized column gives a
// category entry whose id has NOTEID_CATEGORY set. Look-up by key uses the
// first sorted column.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "talix_platform/types.h"

namespace plat {

// One column value of an entry. Texts collate ignoring case; numbers and
// times order by value; numbers sort before times, times before texts.
struct ViewValue {
    enum Kind : BYTE { kNumber = 0, kTime = 1, kText = 2 };
    Kind kind = kText;
    std::string text;   // LMBCS; for numbers and times their text form
    NUMBER number = 0;
    TIMEDATE time;
};

// A category entry shares the values of the first document of its group
// (its own column and those before it are the category's), so that the
// entries of a document and its categories hold one copy of its values.
struct ViewEntry {
    NOTEID id = 0;                  // NOTEID_CATEGORY | n for the n-th category entry
    int categoryColumn = -1;        // the column a category entry stands for; -1 for a document
    std::shared_ptr<const std::vector<ViewValue>> values;   // one per column
};

struct ViewIndex {
    std::vector<ViewEntry> entries;
    int keyColumn = -1;             // the first sorted column; -1 for a view without columns
    bool keyDescending = false;
};

// Orders two values of a column (negative, 0, positive), ascending.
int CompareViewValues(const ViewValue& a, const ViewValue& b);

// Builds the entries of a view note, or of the design collection
// (NOTEID_DESIGN_COLLECTION: every design note, sorted by "$TITLE").
STATUS BuildViewIndex(DBHANDLE db, NOTEID viewId, ViewIndex* index);

// ---- For tests --------------------------------------------------------------

// The definition of a view (texts in LMBCS); columnFlags may be shorter than
// columns.
struct ViewDefinition {
    std::string title;
    std::string selection;               // formula text; empty: every document
    std::vector<std::string> columns;    // column formula texts
    std::vector<std::string> columnFlags;
};

// Stores a new view note made from a definition; *id gets its note id. A
// selection formula that does not compile fails with the compile status and
// stores nothing.
TPLAT_API STATUS ViewNoteCreate(DBHANDLE db, const ViewDefinition& view, NOTEID* id);

} // namespace plat
