// Evaluation of a parsed formula on a note, shared by the evaluator, the
// @functions, the database search and the host's driver calls.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "formula_ast.h"
#include "formula_value.h"

namespace plat::formula {

// Lists and texts longer than these are refused rather than built.
constexpr size_t kMaxEntries = 65535;
constexpr size_t kMaxValueBytes = 16 * 1024 * 1024;
// The most bytes the variables and DEFAULT values of one evaluation hold
// together, so that a formula that assigns many large values stops with an
// error rather than exhausting memory.
constexpr size_t kMaxHeldBytes = 4 * kMaxValueBytes;

class Evaluator {
public:
    explicit Evaluator(NOTEHANDLE note) : note_(note) {}

    // Runs the statements in order. *result is the value of the last main
    // expression or SELECT ("" when there is none); *selected tells whether
    // the note is selected: the last SELECT's condition, or, without one,
    // whether the result is a true number.
    STATUS Run(const Formula& formula, Value* result, bool* selected);

    // The value of one expression (or of an assignment inside an argument
    // list, which also assigns).
    STATUS Evaluate(const Node& node, Value* out);

    // Records the failure text and returns status.
    STATUS Fail(STATUS status, std::string message);
    const std::string& error() const { return error_; }

    NOTEHANDLE note() const { return note_; }

    // A condition: true when its first entry is a non-zero number.
    STATUS Truth(const Value& value, const std::string& where, bool* truth);

private:
    STATUS Assign(const Node& node, Value* out);
    STATUS Reference(const Node& node, Value* out);
    STATUS ReadItem(const std::string& name, Value* out, bool* found);
    STATUS Prefix(const Node& node, Value* out);
    // Adds the entries of right to the end of *list; *listBytes holds the
    // bytes of the list's entries and is kept up to date.
    STATUS Join(Value* list, Value&& right, size_t* listBytes);
    // Binary and Arithmetic may take the texts of left for the result.
    STATUS Binary(ChainOp op, Value&& left, const Value& right, Value* out);
    STATUS Arithmetic(ChainOp op, Value&& left, const Value& right, Value* out);
    STATUS Comparison(ChainOp op, const Value& left, const Value& right, Value* out);

    NOTEHANDLE note_;
    std::map<std::string, Value> variables_;   // by folded name
    std::map<std::string, Value> defaults_;    // DEFAULT values, by folded name
    size_t heldBytes_ = 0;                     // the bytes the two hold
    std::string error_;
};

// The handler of an @function: evaluates the call's arguments as it needs
// them and sets *out.
using FunctionHandler = STATUS (*)(Evaluator& evaluator, const Node& call, Value* out);
// The handler for a folded function name (without "@"); null when the
// evaluator does not offer that function.
FunctionHandler FindFunction(std::string_view foldedName);

// Calls the database driver registered under driverName (compared ignoring
// case) with a function code (0 @DbLookup, 1 @DbColumn, 2 @DbCommand) and
// the arguments that followed the driver class, for a formula running on
// note (0: none). On failure *message gets the text to report.
STATUS CallDriver(std::string_view driverName, WORD function, const std::vector<Value>& arguments, NOTEHANDLE note,
                  Value* result, std::string* message);

// The text FormulaLastError gives back.
void SetLastError(std::string text);

// The source of a compiled formula given by its address alone: the
// container's own length word says how far it reaches. False when the bytes
// are not a compiled formula.
bool ReadCompiledSource(const void* compiled, std::string* source);

} // namespace plat::formula
