// Evaluation of formulas on a note: statements, item references, variables
// and the operators, and the evaluation contexts of formula.h.
//
// Operators work on lists: pairwise, the shorter list's last entry standing
// in for the entries it lacks; permuted operators (*+, *= ...) combine every
// entry of the left list with every entry of the right one. A comparison of
// lists is true when any pair compared satisfies it.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>

#include "formula_eval.h"
#include "handles.h"
#include "status_codes.h"
#include "talix_platform/database.h"
#include "talix_platform/formula.h"
#include "talix_platform/memory.h"
#include "talix_platform/text.h"
#include "talix_platform/timedate.h"

namespace plat {

namespace formula {

namespace {

const char* OperatorName(ChainOp op) {
    switch (op.op) {
    case Op::List: return ":";
    case Op::Add: return op.permuted ? "*+" : "+";
    case Op::Subtract: return op.permuted ? "*-" : "-";
    case Op::Multiply: return op.permuted ? "**" : "*";
    case Op::Divide: return op.permuted ? "*/" : "/";
    case Op::Equal: return op.permuted ? "*=" : "=";
    case Op::NotEqual: return op.permuted ? "*!=" : "!=";
    case Op::Less: return op.permuted ? "*<" : "<";
    case Op::Greater: return op.permuted ? "*>" : ">";
    case Op::LessEqual: return op.permuted ? "*<=" : "<=";
    case Op::GreaterEqual: return op.permuted ? "*>=" : ">=";
    case Op::And: return "&";
    case Op::Or: return "|";
    case Op::Not: return "!";
    default: return "?";
    }
}

bool IsComparison(Op op) {
    return op == Op::Equal || op == Op::NotEqual || op == Op::Less || op == Op::Greater || op == Op::LessEqual ||
           op == Op::GreaterEqual;
}

// The pairs of entry indexes an operator combines, in result order.
std::vector<std::pair<size_t, size_t>> Pairs(size_t left, size_t right, bool permuted) {
    std::vector<std::pair<size_t, size_t>> pairs;
    if (permuted) {
        for (size_t i = 0; i < left; ++i) {
            for (size_t j = 0; j < right; ++j) pairs.emplace_back(i, j);
        }
        return pairs;
    }
    size_t count = left > right ? left : right;
    for (size_t k = 0; k < count; ++k) pairs.emplace_back(k < left ? k : left - 1, k < right ? k : right - 1);
    return pairs;
}

// Orders two times by date, then time of day (both kept in GMT).
int CompareTimes(const TIMEDATE& a, const TIMEDATE& b) {
    DWORD dayA = a.Innards[1] == ANYDAY ? ANYDAY : (a.Innards[1] & 0xFFFFFF);
    DWORD dayB = b.Innards[1] == ANYDAY ? ANYDAY : (b.Innards[1] & 0xFFFFFF);
    if (dayA != dayB) return dayA < dayB ? -1 : 1;
    if (a.Innards[0] != b.Innards[0]) return a.Innards[0] < b.Innards[0] ? -1 : 1;
    return 0;
}

int CompareTexts(std::string_view a, std::string_view b) {
    int order = Collate(a.data(), static_cast<DWORD>(a.size()), b.data(), static_cast<DWORD>(b.size()), false, false);
    if (order != 0) return order;
    return a.compare(b);
}

int CompareNumbers(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

// Whether some entry of left and some entry of right satisfy a comparison,
// the answer of a permuted comparison. An ordering holds for some pair
// exactly when it holds between the least entry of one list and the
// greatest of the other; equality when the lists share an entry; inequality
// unless every entry of both is one value. So the answer takes time that
// follows the lengths of the lists, not their product. order is the
// comparison's ordering (a total one); less orders entries so that those
// that tie are the ones equal to each other.
template <typename T, typename Order, typename Less>
bool AnyPairSatisfies(Op op, std::vector<T> left, std::vector<T> right, Order order, Less less) {
    if (left.empty() || right.empty()) return false;
    auto before = [&](const T& a, const T& b) { return order(a, b) < 0; };
    auto least = [&](const std::vector<T>& list) { return *std::min_element(list.begin(), list.end(), before); };
    auto greatest = [&](const std::vector<T>& list) { return *std::max_element(list.begin(), list.end(), before); };
    switch (op) {
    case Op::Less: return order(least(left), greatest(right)) < 0;
    case Op::LessEqual: return order(least(left), greatest(right)) <= 0;
    case Op::Greater: return order(greatest(left), least(right)) > 0;
    case Op::GreaterEqual: return order(greatest(left), least(right)) >= 0;
    case Op::Equal:
        std::sort(right.begin(), right.end(), less);
        return std::any_of(left.begin(), left.end(),
                           [&](const T& entry) { return std::binary_search(right.begin(), right.end(), entry, less); });
    case Op::NotEqual: {
        const T first = left.front();
        auto same = [&](const T& entry) { return !less(entry, first) && !less(first, entry); };
        return !std::all_of(left.begin(), left.end(), same) || !std::all_of(right.begin(), right.end(), same);
    }
    default: return false;
    }
}

// A permuted comparison of two lists of one type.
bool PermutedComparison(Op op, const Value& left, const Value& right) {
    switch (left.type) {
    case ValueType::Text: {
        // Equality of texts is exact; the collation only orders them.
        std::vector<std::string_view> a(left.texts.begin(), left.texts.end());
        std::vector<std::string_view> b(right.texts.begin(), right.texts.end());
        return AnyPairSatisfies(op, std::move(a), std::move(b), CompareTexts,
                                [](std::string_view x, std::string_view y) { return x < y; });
    }
    case ValueType::Number: {
        // A number that is not a number compares as equal to every other:
        // paired with any entry it satisfies =, <= and >=, and nothing else.
        auto isNan = [](double number) { return std::isnan(number); };
        const bool nan = std::any_of(left.numbers.begin(), left.numbers.end(), isNan) ||
                         std::any_of(right.numbers.begin(), right.numbers.end(), isNan);
        if (nan && (op == Op::Equal || op == Op::LessEqual || op == Op::GreaterEqual)) return true;
        std::vector<double> a, b;
        std::remove_copy_if(left.numbers.begin(), left.numbers.end(), std::back_inserter(a), isNan);
        std::remove_copy_if(right.numbers.begin(), right.numbers.end(), std::back_inserter(b), isNan);
        return AnyPairSatisfies(op, std::move(a), std::move(b), CompareNumbers,
                                [](double x, double y) { return x < y; });
    }
    case ValueType::Time:
        return AnyPairSatisfies(op, left.times, right.times, CompareTimes,
                                [](const TIMEDATE& x, const TIMEDATE& y) { return CompareTimes(x, y) < 0; });
    }
    return false;
}

bool Satisfies(Op op, int order) {
    switch (op) {
    case Op::Equal: return order == 0;
    case Op::NotEqual: return order != 0;
    case Op::Less: return order < 0;
    case Op::Greater: return order > 0;
    case Op::LessEqual: return order <= 0;
    case Op::GreaterEqual: return order >= 0;
    default: return false;
    }
}

} // namespace

STATUS Evaluator::Fail(STATUS status, std::string message) {
    error_ = std::move(message);
    return status;
}

STATUS Evaluator::Truth(const Value& value, const std::string& where, bool* truth) {
    if (value.type != ValueType::Number || value.numbers.empty()) {
        return Fail(ERR_FORMULA_EVAL, where + " needs a number (true or false), not " + TypeName(value.type));
    }
    *truth = value.numbers.front() != 0;
    return NOERROR;
}

STATUS Evaluator::Run(const Formula& formula, Value* result, bool* selected) {
    Value last = Value::Text("");
    bool haveSelect = false;
    bool selectTruth = false;
    for (const auto& statement : formula.statements) {
        STATUS status = NOERROR;
        switch (statement->kind) {
        case NodeKind::Remark: break;
        case NodeKind::Assign: {
            Value ignored;
            status = Assign(*statement, &ignored);
            break;
        }
        case NodeKind::Select:
            status = Evaluate(*statement->operands[0], &last);
            if (status == NOERROR) status = Truth(last, "SELECT", &selectTruth);
            haveSelect = true;
            break;
        default: status = Evaluate(*statement, &last); break;
        }
        if (status != NOERROR) return status;
    }
    *selected = haveSelect ? selectTruth
                           : last.type == ValueType::Number && !last.numbers.empty() && last.numbers.front() != 0;
    *result = std::move(last);
    return NOERROR;
}

STATUS Evaluator::Evaluate(const Node& node, Value* out) {
    switch (node.kind) {
    case NodeKind::Number: *out = Value::Number(node.number); return NOERROR;
    case NodeKind::Text: *out = Value::Text(node.text); return NOERROR;
    case NodeKind::Keyword: {
        // [12/31/2020] is a time constant; any other keyword ([Compose]) is
        // its name as text.
        TIMEDATE time;
        if (TextToTime(node.text.data(), static_cast<WORD>(node.text.size()), &time) == NOERROR) *out = Value::Time(time);
        else *out = Value::Text(node.text);
        return NOERROR;
    }
    case NodeKind::Name: return Reference(node, out);
    case NodeKind::Call: {
        FunctionHandler handler = FindFunction(FoldName(node.text));
        if (handler == nullptr) {
            return Fail(ERR_FORMULA_UNSUPPORTED, "@" + node.text + " is not available in formula evaluation");
        }
        return handler(*this, node, out);
    }
    case NodeKind::Prefix: return Prefix(node, out);
    case NodeKind::Chain: {
        STATUS status = Evaluate(*node.operands[0], out);
        // A run of ":" adds each operand to the list built so far, whose
        // bytes are counted once and then kept up to date: a list of n
        // operands costs what its entries do, not n copies of the list.
        size_t listBytes = 0;
        bool listCounted = false;
        for (size_t i = 0; status == NOERROR && i < node.ops.size(); ++i) {
            Value right;
            status = Evaluate(*node.operands[i + 1], &right);
            if (status != NOERROR) break;
            if (node.ops[i].op == Op::List) {
                if (!listCounted) listBytes = out->Bytes();
                listCounted = true;
                status = Join(out, std::move(right), &listBytes);
                continue;
            }
            listCounted = false;
            Value combined;
            status = Binary(node.ops[i], std::move(*out), right, &combined);
            if (status == NOERROR) *out = std::move(combined);
        }
        return status;
    }
    case NodeKind::Assign: return Assign(node, out);
    case NodeKind::Select:
    case NodeKind::Remark: break;
    }
    return Fail(ERR_FORMULA_EVAL, "a statement cannot stand where a value is expected");
}

STATUS Evaluator::Assign(const Node& node, Value* out) {
    if (node.assign == AssignKind::Field) {
        return Fail(ERR_FORMULA_UNSUPPORTED, "FIELD " + node.text + " := is not available: evaluation does not change documents");
    }
    if (node.assign == AssignKind::Environment) {
        return Fail(ERR_FORMULA_UNSUPPORTED,
                    "ENVIRONMENT " + node.text + " := is not available: evaluation does not change the environment");
    }
    STATUS status = Evaluate(*node.operands[0], out);
    if (status != NOERROR) return status;
    std::map<std::string, Value>& values = node.assign == AssignKind::Default ? defaults_ : variables_;
    std::string name = FoldName(node.text);
    auto before = values.find(name);
    size_t held = heldBytes_ - (before != values.end() ? before->second.Bytes() : 0) + out->Bytes();
    if (held > kMaxHeldBytes) {
        return Fail(ERR_FORMULA_EVAL, "the variables of the formula would hold more than " +
                                          std::to_string(kMaxHeldBytes / (1024 * 1024)) + " MB (assigning " +
                                          LmbcsToNative(node.text) + ")");
    }
    values[name] = *out;
    heldBytes_ = held;
    return NOERROR;
}

// A name is a variable assigned earlier, else an item of the note, else a
// DEFAULT value, else the empty text.
STATUS Evaluator::Reference(const Node& node, Value* out) {
    std::string folded = FoldName(node.text);
    auto variable = variables_.find(folded);
    if (variable != variables_.end()) {
        *out = variable->second;
        return NOERROR;
    }
    bool found = false;
    STATUS status = ReadItem(node.text, out, &found);
    if (status != NOERROR || found) return status;
    auto fallback = defaults_.find(folded);
    *out = fallback != defaults_.end() ? fallback->second : Value::Text("");
    return NOERROR;
}

// The value of the note's first item of a name. Items that hold no text,
// number or time (rich text, attachments ...) read as the empty text.
STATUS Evaluator::ReadItem(const std::string& name, Value* out, bool* found) {
    *found = false;
    if (note_ == NULLHANDLE) return NOERROR;
    BLOCKID valueBlock;
    DWORD valueLength = 0;
    STATUS status = ItemInfo(note_, name.data(), static_cast<WORD>(name.size()), nullptr, nullptr, &valueBlock,
                             &valueLength);
    if (status == ERR_ITEM_NOT_FOUND) return NOERROR;
    if (status != NOERROR) return Fail(status, "cannot read item '" + LmbcsToNative(name) + "'");
    const void* bytes = BlockLock(valueBlock);
    if (bytes == nullptr) return Fail(ERR_INVALID_HANDLE, "cannot read item '" + LmbcsToNative(name) + "'");
    DecodeStatus decoded = DecodeTypedValue(bytes, valueLength, out);
    BlockUnlock(valueBlock);
    if (decoded == DecodeStatus::Damaged) {
        return Fail(ERR_FORMULA_EVAL, "item '" + LmbcsToNative(name) + "' holds a damaged value");
    }
    if (decoded == DecodeStatus::Unsupported) *out = Value::Text("");
    *found = true;
    return NOERROR;
}

STATUS Evaluator::Prefix(const Node& node, Value* out) {
    Value operand;
    STATUS status = Evaluate(*node.operands[0], &operand);
    if (status != NOERROR) return status;
    if (node.op == Op::Not) {
        bool truth = false;
        status = Truth(operand, "operator '!'", &truth);
        if (status == NOERROR) *out = Value::Number(truth ? 0 : 1);
        return status;
    }
    const char* sign = node.op == Op::Subtract ? "-" : "+";
    if (operand.type != ValueType::Number) {
        return Fail(ERR_FORMULA_EVAL, std::string("sign '") + sign + "' needs a number, not " + TypeName(operand.type));
    }
    if (node.op == Op::Subtract) {
        for (double& number : operand.numbers) number = -number;
    }
    *out = std::move(operand);
    return NOERROR;
}

STATUS Evaluator::Join(Value* list, Value&& right, size_t* listBytes) {
    if (list->type != right.type) {
        return Fail(ERR_FORMULA_EVAL, std::string("a list cannot join ") + TypeName(list->type) + " and " +
                                          TypeName(right.type));
    }
    if (list->Count() + right.Count() > kMaxEntries) return Fail(ERR_FORMULA_EVAL, "list too long");
    const size_t rightBytes = right.Bytes();
    if (*listBytes + rightBytes > kMaxValueBytes) {
        return Fail(ERR_FORMULA_EVAL, "list too large: its entries would hold more than " +
                                          std::to_string(kMaxValueBytes / (1024 * 1024)) + " MB");
    }
    list->texts.insert(list->texts.end(), std::make_move_iterator(right.texts.begin()),
                       std::make_move_iterator(right.texts.end()));
    list->numbers.insert(list->numbers.end(), right.numbers.begin(), right.numbers.end());
    list->times.insert(list->times.end(), right.times.begin(), right.times.end());
    list->ranges.insert(list->ranges.end(), right.ranges.begin(), right.ranges.end());
    *listBytes += rightBytes;
    return NOERROR;
}

STATUS Evaluator::Binary(ChainOp op, Value&& left, const Value& right, Value* out) {
    if (op.op == Op::And || op.op == Op::Or) {
        bool a = false, b = false;
        std::string where = std::string("operator '") + OperatorName(op) + "'";
        STATUS status = Truth(left, where, &a);
        if (status == NOERROR) status = Truth(right, where, &b);
        if (status == NOERROR) *out = Value::Number((op.op == Op::And ? (a && b) : (a || b)) ? 1 : 0);
        return status;
    }
    if (left.Count() == 0 || right.Count() == 0) return Fail(ERR_FORMULA_EVAL, "an operand has no entries");
    // A permuted comparison gives one number, whatever the lists' lengths;
    // permuted arithmetic gives an entry for every pair.
    if (op.permuted && !IsComparison(op.op) && left.Count() * right.Count() > kMaxEntries) {
        return Fail(ERR_FORMULA_EVAL, "list too long");
    }
    if (left.type != right.type) {
        return Fail(ERR_FORMULA_EVAL, std::string("operator '") + OperatorName(op) + "' cannot combine " +
                                          TypeName(left.type) + " and " + TypeName(right.type));
    }
    if (IsComparison(op.op)) return Comparison(op, left, right, out);
    return Arithmetic(op, std::move(left), right, out);
}

// + joins texts; + - * / work on numbers.
STATUS Evaluator::Arithmetic(ChainOp op, Value&& left, const Value& right, Value* out) {
    auto pairs = Pairs(left.Count(), right.Count(), op.permuted);
    Value result;
    result.type = left.type;
    if (left.type == ValueType::Text && op.op == Op::Add) {
        size_t total = 0;
        for (size_t k = 0; k < pairs.size(); ++k) {
            const auto [i, j] = pairs[k];
            total += left.texts[i].size() + right.texts[j].size();
            if (total > kMaxValueBytes) return Fail(ERR_FORMULA_EVAL, "text too long");
            // The pairs take the left entries in order: the last pair of an
            // entry extends its text where it stands, so that a text grown
            // by a run of "+" is not copied at every operand.
            const bool lastUse = k + 1 == pairs.size() || pairs[k + 1].first != i;
            if (lastUse) result.texts.push_back(std::move(left.texts[i]) + right.texts[j]);
            else result.texts.push_back(left.texts[i] + right.texts[j]);
        }
        *out = std::move(result);
        return NOERROR;
    }
    if (left.type != ValueType::Number) {
        return Fail(ERR_FORMULA_EVAL, std::string("operator '") + OperatorName(op) + "' needs numbers, not " +
                                          TypeName(left.type));
    }
    for (auto [i, j] : pairs) {
        double a = left.numbers[i];
        double b = right.numbers[j];
        double value = 0;
        switch (op.op) {
        case Op::Add: value = a + b; break;
        case Op::Subtract: value = a - b; break;
        case Op::Multiply: value = a * b; break;
        case Op::Divide:
            if (b == 0) return Fail(ERR_FORMULA_EVAL, "division by zero");
            value = a / b;
            break;
        default: return Fail(ERR_FORMULA_EVAL, "unknown operator");
        }
        // Past the largest double the result would be an infinity, or no
        // number at all (an infinity less another).
        if (!std::isfinite(value)) {
            return Fail(ERR_FORMULA_EVAL, std::string("number out of range: the result of '") + OperatorName(op) +
                                              "' is not a finite number");
        }
        result.numbers.push_back(value);
    }
    *out = std::move(result);
    return NOERROR;
}

STATUS Evaluator::Comparison(ChainOp op, const Value& left, const Value& right, Value* out) {
    if (op.permuted) {
        *out = Value::Number(PermutedComparison(op.op, left, right) ? 1 : 0);
        return NOERROR;
    }
    bool any = false;
    for (auto [i, j] : Pairs(left.Count(), right.Count(), false)) {
        int order = 0;
        switch (left.type) {
        case ValueType::Text:
            // Equality of texts is exact; the collation only orders them.
            if (op.op == Op::Equal || op.op == Op::NotEqual) order = left.texts[i] == right.texts[j] ? 0 : 1;
            else order = CompareTexts(left.texts[i], right.texts[j]);
            break;
        case ValueType::Number:
            order = left.numbers[i] < right.numbers[j] ? -1 : (left.numbers[i] > right.numbers[j] ? 1 : 0);
            break;
        case ValueType::Time: order = CompareTimes(left.times[i], right.times[j]); break;
        }
        if (Satisfies(op.op, order)) {
            any = true;
            break;
        }
    }
    *out = Value::Number(any ? 1 : 0);
    return NOERROR;
}

namespace {

// An evaluation context: the parsed formula, shared so that evaluation runs
// without holding the table's lock.
struct Compute {
    std::shared_ptr<const Formula> formula;
};

struct ComputeState {
    std::mutex mutex;
    HandleTable<Compute> computes;
};

ComputeState& Computes() {
    static auto* state = new ComputeState;   // never destroyed: contexts may be stopped during exit
    return *state;
}

std::shared_ptr<const Formula> FindCompute(HCOMPUTE compute) {
    ComputeState& state = Computes();
    std::lock_guard<std::mutex> lock(state.mutex);
    Compute* found = state.computes.Find(compute);
    return found == nullptr ? nullptr : found->formula;
}

} // namespace

} // namespace formula

STATUS ComputeStart(const void* compiled, HCOMPUTE* compute) {
    formula::SetLastError("");
    if (compute == nullptr) return ERR_BAD_ARGUMENT;
    *compute = 0;
    std::string source;
    if (!formula::ReadCompiledSource(compiled, &source)) {
        formula::SetLastError("the bytes are not a compiled formula");
        return ERR_FORMULA_INVALID;
    }
    auto parsed = std::make_shared<formula::Formula>();
    formula::SyntaxError error;
    if (!formula::Parse(source, parsed.get(), &error)) {
        formula::SetLastError(error.message + " at offset " + std::to_string(error.offset));
        return ERR_FORMULA_SYNTAX;
    }
    auto entry = std::make_unique<formula::Compute>();
    entry->formula = std::move(parsed);
    formula::ComputeState& state = formula::Computes();
    std::lock_guard<std::mutex> lock(state.mutex);
    *compute = state.computes.Add(std::move(entry));
    return NOERROR;
}

STATUS ComputeEvaluate(HCOMPUTE compute, NOTEHANDLE note, DHANDLE* result, WORD* resultLength, bool* noteMatches) {
    formula::SetLastError("");
    if (result != nullptr) *result = NULLHANDLE;
    if (resultLength != nullptr) *resultLength = 0;
    if (noteMatches != nullptr) *noteMatches = false;
    std::shared_ptr<const formula::Formula> parsed = formula::FindCompute(compute);
    if (parsed == nullptr) {
        formula::SetLastError("no formula evaluation context of that handle");
        return ERR_INVALID_HANDLE;
    }
    formula::Evaluator evaluator(note);
    formula::Value value;
    bool selected = false;
    STATUS status = NOERROR;
    try {
        status = evaluator.Run(*parsed, &value, &selected);
    } catch (const std::bad_alloc&) {
        formula::SetLastError("out of memory while evaluating the formula");
        return ERR_NO_MEMORY;
    }
    if (status != NOERROR) {
        formula::SetLastError(evaluator.error());
        return status;
    }
    if (noteMatches != nullptr) *noteMatches = selected;
    if (result == nullptr) return NOERROR;
    std::string typed;
    if (!formula::EncodeTypedValue(value, &typed) || typed.size() > 0xFFFF) {
        formula::SetLastError("the result of the formula is larger than 65,535 bytes");
        return ERR_FORMULA_EVAL;
    }
    status = MemAlloc(static_cast<DWORD>(typed.size()), MEM_GROWABLE, result);
    if (status != NOERROR) return status;
    void* data = MemLock(*result);
    if (data == nullptr) {
        MemFree(*result);
        *result = NULLHANDLE;
        return ERR_NO_MEMORY;
    }
    std::memcpy(data, typed.data(), typed.size());
    MemUnlock(*result);
    if (resultLength != nullptr) *resultLength = static_cast<WORD>(typed.size());
    return NOERROR;
}

STATUS ComputeStop(HCOMPUTE compute) {
    formula::ComputeState& state = formula::Computes();
    std::unique_ptr<formula::Compute> removed;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        removed = state.computes.Remove(compute);
    }
    if (removed == nullptr) return ERR_INVALID_HANDLE;
    return NOERROR;
}

} // namespace plat
