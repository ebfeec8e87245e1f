// The arguments that must be UTF-8. Names (of items, design elements,
// views, chunks) and texts reach the library converted from UTF-8 into its
// own character set, where a byte that is no UTF-8 becomes "?": a command
// given "bad\xFF" would act on, or create, an item "bad?" that the user did
// not name. Such an argument is refused before the command runs. File paths
// may hold any bytes and are handed on as they are, and so is what a
// command passes on without converting it (the HTML source of an append,
// the option text of create-design that may name a source file).
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"

namespace talix_cli {

namespace {

// The options that take no value; every other option takes the argument
// after it.
const char* const kSwitches[] = {"--host", "--replace", "--numeric", "--reverse"};

bool IsSwitch(const std::string& arg) {
    for (const char* each : kSwitches)
        if (arg == each) return true;
    return false;
}

bool Is(const Command& command, const char* name) { return std::strcmp(command.name, name) == 0; }

// Whether operand k of the command (counted with the options and their
// values left out) is handed on as bytes: a file, or what the command
// passes on unconverted.
bool TakenAsBytes(const Command& command, const std::vector<std::string>& operands, size_t k) {
    // Every command's first operand is its database.
    if (k == 0 || Is(command, "import")) return true;
    if (Is(command, "create-design") || Is(command, "import-html") || Is(command, "store-eml") ||
        Is(command, "export-html") || Is(command, "wiki"))
        return k == 3;
    if (Is(command, "match")) return k == 4;
    if (Is(command, "append") && operands.size() > 4 && k >= 4) {
        const std::string& what = operands[3];
        if (what == "import" || what == "attachment") return k == 4;
        // HTML of kind INLINE is read in the character set its options name.
        if (what == "html") return k == 5;
        if (what == "graphic") return k == 5 && strcasecmp(operands[4].c_str(), "FILE") == 0;
        return false;
    }
    if (Is(command, "edit") && operands.size() > 4) return operands[4] == "export-graphic" && k == 5;
    return false;
}

} // namespace

bool ArgumentsAreUtf8(const Command& command, const std::vector<std::string>& args, int* exitCode) {
    std::vector<std::string> operands;
    std::vector<size_t> at;   // the index in args of each operand
    std::vector<size_t> texts;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0 || IsOperand(args, i)) {
            operands.push_back(arg);
            at.push_back(i);
            continue;
        }
        texts.push_back(i);
        if (IsSwitch(arg) || i + 1 >= args.size()) continue;
        // The value of --out is the file written; any other value is text.
        if (arg != "--out") texts.push_back(i + 1);
        ++i;
    }
    for (size_t k = 0; k < operands.size(); ++k) {
        if (!TakenAsBytes(command, operands, k)) texts.push_back(at[k]);
    }
    std::sort(texts.begin(), texts.end());
    for (size_t i : texts) {
        if (IsUtf8(args[i])) continue;
        *exitCode = UsageError(command, "'%s' is not UTF-8: names and texts are read as UTF-8", args[i].c_str());
        return false;
    }
    return true;
}

} // namespace talix_cli
