// The formula command: evaluates a formula on a note and prints the typed
// result, its type name on the first line and then one value per line.
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "core/record_forms.h"

namespace talix_cli {

namespace {


plat::TIMEDATE Time(const unsigned char* p) {
    plat::TIMEDATE time;
    std::memcpy(time.Innards, p, sizeof time.Innards);
    return time;
}

std::string NumberText(const unsigned char* p) {
    double number = 0;
    std::memcpy(&number, p, sizeof number);
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", number);
    return text;
}

std::string TimeText(const plat::TIMEDATE& time) {
    char text[81];
    plat::WORD length = 0;
    if (plat::TimeToText(&time, text, sizeof text, &length) != plat::NOERROR) return "(invalid time)";
    return std::string(text, length);
}

std::string RangeText(const plat::TIMEDATE_PAIR& range) {
    char text[164];
    plat::WORD length = 0;
    if (plat::TimeRangeToText(&range, text, sizeof text, &length) != plat::NOERROR) return "(invalid time range)";
    return std::string(text, length);
}

// The type name and the values of a typed value, in UTF-8; false when the
// bytes do not hold what their counts say.
bool DescribeResult(const unsigned char* bytes, size_t length, std::string* type, std::vector<std::string>* values) {
    if (length < 2) return false;
    const unsigned char* p = bytes + 2;
    size_t size = length - 2;
    switch (talix::ReadWord(bytes)) {
    case plat::TYPE_TEXT:
        *type = "text";
        values->push_back(plat::LmbcsToNative(std::string_view(reinterpret_cast<const char*>(p), size)));
        return true;
    case plat::TYPE_TEXT_LIST: {
        *type = "text list";
        if (size < 2) return false;
        size_t count = talix::ReadWord(p);
        size_t offset = 2 + 2 * count;
        if (offset > size) return false;
        for (size_t i = 0; i < count; ++i) {
            size_t entry = talix::ReadWord(p + 2 + 2 * i);
            if (entry > size - offset) return false;
            values->push_back(plat::LmbcsToNative(std::string_view(reinterpret_cast<const char*>(p + offset), entry)));
            offset += entry;
        }
        return true;
    }
    case plat::TYPE_NUMBER:
        *type = "number";
        if (size < 8) return false;
        values->push_back(NumberText(p));
        return true;
    case plat::TYPE_NUMBER_RANGE: {
        *type = "number list";
        if (size < 4) return false;
        size_t count = talix::ReadWord(p);
        if (4 + 8 * count > size) return false;
        for (size_t i = 0; i < count; ++i) values->push_back(NumberText(p + 4 + 8 * i));
        return true;
    }
    case plat::TYPE_TIME:
        *type = "time";
        if (size < 8) return false;
        values->push_back(TimeText(Time(p)));
        return true;
    case plat::TYPE_TIME_RANGE: {
        *type = "time list";
        if (size < 4) return false;
        size_t count = talix::ReadWord(p);
        size_t pairs = talix::ReadWord(p + 2);
        if (4 + 8 * count + 16 * pairs > size) return false;
        const unsigned char* entry = p + 4;
        for (size_t i = 0; i < count; ++i, entry += 8) values->push_back(TimeText(Time(entry)));
        for (size_t i = 0; i < pairs; ++i, entry += 16) {
            values->push_back(RangeText(plat::TIMEDATE_PAIR{Time(entry), Time(entry + 8)}));
        }
        return true;
    }
    default:
        return false;
    }
}

// Compiles, evaluates and prints; every handle is released on every path.
int Evaluate(plat::NOTEHANDLE note, const std::string& utf8Formula) {
    std::string source = plat::NativeToLmbcs(utf8Formula);
    if (source.size() > 0xFFFF) return Fail("the formula is too long (%zu bytes)", source.size());
    plat::DHANDLE compiled = plat::NULLHANDLE;
    plat::WORD compiledLength = 0;
    plat::STATUS status = plat::FormulaCompile(source.data(), static_cast<plat::WORD>(source.size()), &compiled,
                                               &compiledLength);
    if (status != plat::NOERROR)
        return Fail("the formula does not compile: %s (%s)", plat::FormulaLastError(), StatusMessage(status).c_str());
    plat::HCOMPUTE compute = 0;
    status = plat::ComputeStart(plat::MemLock(compiled), &compute);
    plat::DHANDLE result = plat::NULLHANDLE;
    plat::WORD resultLength = 0;
    if (status == plat::NOERROR) {
        status = plat::ComputeEvaluate(compute, note, &result, &resultLength);
        plat::ComputeStop(compute);
    }
    plat::MemFree(compiled);
    if (status != plat::NOERROR) {
        // The evaluator's own reason when it says more than the status's
        // text (a database driver's failure reads as its status).
        char text[256];
        plat::StatusText(status, text, sizeof text);
        const std::string reason = plat::FormulaLastError();
        if (reason.empty() || reason == text)
            return Fail("the formula cannot be evaluated: %s", StatusMessage(status).c_str());
        return Fail("the formula cannot be evaluated: %s (%s)", reason.c_str(), StatusMessage(status).c_str());
    }
    std::string type;
    std::vector<std::string> values;
    const auto* bytes = static_cast<const unsigned char*>(plat::MemLock(result));
    bool readable = bytes != nullptr && DescribeResult(bytes, resultLength, &type, &values);
    plat::MemFree(result);
    if (!readable) return Fail("the result of the formula cannot be read");
    std::printf("%s\n", type.c_str());
    for (const std::string& value : values) std::printf("%s\n", Escape(value).c_str());
    return kExitOk;
}

} // namespace

int RunFormula(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() != 3) return UsageError(command, "formula needs a database, a note and a formula");
    if (!IsNoteArgument(args[1])) return UsageError(command, "'%s' is neither a note id nor a UNID", args[1].c_str());
    Database db;
    Note note;
    if (!db.Open(args[0], false) || !note.Open(db.handle(), args[1])) return kExitFailed;
    return Evaluate(note.handle(), args[2]);
}

} // namespace talix_cli
