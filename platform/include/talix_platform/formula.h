// Formulas: compiling formula text, giving compiled formulas back as text,
// evaluating them on a note, and searching a database with a selection
// formula.
#pragma once

#include <functional>

#include "talix_platform/types.h"

namespace plat {

// Compiles formula text (LMBCS, length bytes). On success *compiled is a new
// memory block holding the compiled form (store it as an item of type
// TYPE_FORMULA) and *compiledLength its length. On a syntax error returns a
// failure status; *errorOffset (may be null) gets the byte offset where the
// error was found, and FormulaLastError gives a text naming it.
TPLAT_API STATUS FormulaCompile(const char* text, WORD length, DHANDLE* compiled, WORD* compiledLength,
                                WORD* errorOffset = nullptr);
// The text of the last compile or evaluation error ("" when none).
TPLAT_API const char* FormulaLastError();
// Gives a compiled formula back as text: a new memory block and its length.
TPLAT_API STATUS FormulaDecompile(const void* compiled, WORD length, DHANDLE* text, WORD* textLength);

// Evaluation: open a context on a compiled formula, evaluate it on a note
// (0 for none), close the context. The result is a new memory block holding
// a typed value (data-type word first: TYPE_TEXT, TYPE_TEXT_LIST,
// TYPE_NUMBER, TYPE_NUMBER_RANGE, TYPE_TIME, TYPE_TIME_RANGE) that the
// caller frees.
using HCOMPUTE = DWORD;
TPLAT_API STATUS ComputeStart(const void* compiled, HCOMPUTE* compute);
TPLAT_API STATUS ComputeEvaluate(HCOMPUTE compute, NOTEHANDLE note, DHANDLE* result, WORD* resultLength,
                                 bool* noteMatches = nullptr);
TPLAT_API STATUS ComputeStop(HCOMPUTE compute);

// Searches a database: calls back for every note that the compiled
// selection formula selects (null formula: every note) of the given classes.
// A non-zero callback result stops the search and is returned.
struct SearchMatch {
    NOTEID noteId = 0;
    WORD noteClass = 0;
    WORD matchFlags = 0;    // bit 0x0001: the note matches
};
TPLAT_API STATUS DbSearch(DBHANDLE db, const void* compiledSelection, WORD noteClassMask,
                          const std::function<STATUS(const SearchMatch&)>& callback);

} // namespace plat
