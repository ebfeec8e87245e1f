// The commands get-property and set-property (chunk properties by name)
// and property-text (the keyword=value words of a chunk's targets, its
// table or its first cell's border).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "chunk_target.h"
#include "builders/basic_builders.h"
#include "chunkops/property_sets.h"
#include "cli.h"
#include "core/chunk_definition.h"
#include "core/chunk_types.h"
#include "core/font_spec.h"
#include "core/operation_codes.h"
#include "core/options.h"
#include "core/paragraph_def.h"
#include "core/properties.h"
#include "core/statuses.h"
#include "core/text_compare.h"
#include "talix/chunk.h"
#include "talix/item.h"

namespace talix_cli {

namespace {

// Room for the longest text a property gives, and its terminator.
constexpr std::uint16_t kPropertyTextSize = 65535;

std::string Lmbcs(const std::string& text) { return plat::NativeToLmbcs(text); }


// A whole argument read as a number; false when it is not one, or not one
// a whole number can be cut from ("nan", "inf", 1e999, beyond 64 bits).
// The library refuses a whole number that its 16-bit fields cannot hold.
bool Number(const std::string& text, double* value) {
    char* end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return !text.empty() && end != nullptr && *end == '\0' && std::isfinite(*value) &&
           std::fabs(*value) < 9223372036854775808.0;
}

// The row of a property name; prints the reason when there is none.
const talix::PropertyTableEntry* PropertyRow(const std::string& name, int* exitCode) {
    const talix::PropertyTableEntry* row = talix::FindChunkProperty(name.c_str());
    if (row == nullptr) *exitCode = Fail("'%s' is not a chunk property", name.c_str());
    return row;
}

// A setter that gave 0: its own message was shown already, or this one says
// what happened.
int NotSet(const ZervaRTChunk* chunk, const std::string& what, int messagesBefore) {
    if (chunk->lastStatus != talix::kOK)
        return Fail("%s failed: %s", what.c_str(), StatusMessage(chunk->lastStatus, chunk->errorWord).c_str());
    if (MessagesShown() != messagesBefore) return kExitFailed;
    return Fail("%s: nothing was set", what.c_str());
}

// The row a list of Name=value words sets: the first row, in table order,
// that can be set and whose name the list gives, as the library picks it.
const talix::PropertyTableEntry* ListedRow(const std::string& list) {
    std::vector<char> value(list.size() + 1);
    for (const talix::PropertyTableEntry* row = talix::ChunkPropertyTable(); row->name != nullptr; ++row) {
        if (row->setOperation == 0 || row->readOnly != 0) continue;
        const std::string key = std::string(row->name) + "=";
        if (talix::GetOptionValue(list.c_str(), key.c_str(), value.data(), static_cast<std::uint32_t>(value.size())) != 0)
            return row;
    }
    return nullptr;
}

} // namespace

int RunGetProperty(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() < 4 || args.size() > 5)
        return UsageError(command, "get-property needs a database, a note, an item name, a property name and at most "
                                   "one chunk");
    const talix::PropertyTableEntry* row = PropertyRow(args[3], &exitCode);
    if (row == nullptr) return exitCode;
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], args.size() == 5 ? args[4] : "Everything", ItemUse::kRead,
                     &exitCode))
        return exitCode;
    ZervaRTChunk* chunk = target.chunk();
    std::string answer;
    if (row->valueType == talix::kPropertyNumber) {
        const double number = chunk->GetPropertyNumber(row->name);
        char text[64];
        std::snprintf(text, sizeof text, "%.15g", number);
        answer = text;
    } else {
        std::vector<char> buffer(static_cast<std::size_t>(kPropertyTextSize) + 1);
        const std::uint16_t length = chunk->GetPropertyText(row->name, buffer.data(), kPropertyTextSize);
        answer = plat::LmbcsToNative(std::string_view(buffer.data(), length));
    }
    if (chunk->lastStatus != talix::kOK)
        return Fail("cannot read '%s': %s", row->name, StatusMessage(chunk->lastStatus, chunk->errorWord).c_str());
    std::printf("%s\n", answer.c_str());
    return kExitOk;
}

int RunSetProperty(const Command& command, const std::vector<std::string>& given) {
    std::vector<std::string> args;
    std::string list;
    bool listed = false;
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (given[i] != "--list" || IsOperand(given, i)) {
            if (given[i].rfind("--", 0) == 0 && !IsOperand(given, i)) return UsageError(command, "unknown option '%s'", given[i].c_str());
            args.push_back(given[i]);
            continue;
        }
        if (listed || i + 1 >= given.size()) return UsageError(command, "--list needs one text of Name=value pairs");
        listed = true;
        list = given[++i];
    }
    const std::size_t named = listed ? 3 : 5;
    if (args.size() < named || args.size() > named + 1)
        return UsageError(command, listed ? "set-property --list needs a database, a note, an item name and at most "
                                            "one chunk"
                                          : "set-property needs a database, a note, an item name, a property name, "
                                            "a value and at most one chunk");
    int exitCode = kExitOk;
    const talix::PropertyTableEntry* row = nullptr;
    double number = 0;
    if (!listed) {
        row = PropertyRow(args[3], &exitCode);
        if (row == nullptr) return exitCode;
        if (row->valueType == talix::kPropertyNumber && !Number(args[4], &number))
            return UsageError(command, "'%s' takes a number, not '%s'", row->name, args[4].c_str());
        // A picture's storage changes only to one of its two words; any
        // other would change nothing while the set passed.
        if (row->setOperation == talix::kOpSetGraphicStorage && !talix::EqualNoCase(args[4].c_str(), "Inline") &&
            !talix::EqualNoCase(args[4].c_str(), "Storage"))
            return UsageError(command, "'%s' takes Inline or Storage, not '%s'", row->name, args[4].c_str());
        // The value reaches the library with its length in 16 bits: a
        // longer one would be cut and a part of it set.
        if (row->valueType != talix::kPropertyNumber && Lmbcs(args[4]).size() > 0xFFFF)
            return UsageError(command, "'%s' takes a text of at most 65,535 bytes", row->name);
        // A text set becomes one text run, which holds less.
        static_assert(talix::kMaxTextRunLength == 64374, "the message below names the longest text run");
        if (row->setOperation == talix::kOpSetText && Lmbcs(args[4]).size() > talix::kMaxTextRunLength)
            return UsageError(command, "'%s' takes a text of at most 64,374 bytes, the most one text run holds",
                              row->name);
    }
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], args.size() > named ? args[named] : "Everything",
                     ItemUse::kWrite, &exitCode))
        return exitCode;
    ZervaRTChunk* chunk = target.chunk();
    const int messages = MessagesShown();
    int set = 0;
    std::string what = "set-property";
    if (listed) {
        const std::string words = Lmbcs(list);
        set = chunk->SetPropertyText(words.c_str(), nullptr, 0);
        row = ListedRow(words);
    } else if (row->valueType == talix::kPropertyNumber) {
        set = chunk->SetPropertyNumber(row->name, number);
        what += std::string(" ") + row->name;
    } else {
        const std::string value = Lmbcs(args[4]);
        if (row->setOperation == talix::kOpChangeFont && !talix::FontSpecNamesAnything(value.c_str(), target.item()))
            return UsageError(command, "'%s' takes a font text, and '%s' names nothing of a font", row->name,
                              args[4].c_str());
        if (row->setOperation == talix::kOpChangeParagraph &&
            !talix::ParagraphStyleNamesAnything(value.c_str(), target.item()))
            return UsageError(command, "'%s' takes a paragraph style, and '%s' names nothing of a paragraph",
                              row->name, args[4].c_str());
        set = chunk->SetPropertyText(row->name, value.c_str(), static_cast<std::uint16_t>(value.size()));
        what += std::string(" ") + row->name;
    }
    if (set == 0) return NotSet(chunk, what, messages);
    if (row != nullptr && target.item()->modified == 0 && talix::UnmodifiedSetFoundNothing(chunk, row))
        return Fail("%s: '%s' holds nothing that takes it; nothing was set", what.c_str(), chunk->definition);
    const talix::STATUS saved = target.item()->Save();
    if (saved != talix::kOK) return Fail("cannot save the note: %s", StatusMessage(saved).c_str());
    return kExitOk;
}

int RunPropertyText(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() < 5)
        return UsageError(command, "property-text needs a database, a note, an item name, a chunk and what to write");
    const std::string what = args[4];
    const std::size_t extra = args.size() - 5;
    if (what == "target" ? (extra < 1 || extra > 2) : what == "table" ? extra > 1 : what == "border" ? extra != 1 : true)
        return UsageError(command, "property-text takes: target TYPE [KEYWORD], table [KEYWORD] or border SIDE");
    const std::uint16_t type = what == "target" ? talix::FindChunkType(args[5].c_str()) : static_cast<std::uint16_t>(talix::kTypeEverything);
    if (what == "target" && type == talix::kTypeEverything)
        return UsageError(command, "'%s' is not a type of target", args[5].c_str());
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], args[3], ItemUse::kRead, &exitCode)) return exitCode;
    ZervaRTChunk* chunk = target.chunk();
    const char* text = nullptr;
    // The targets of the type within the chunk (the chunk itself when it is
    // one), each giving a line of its words.
    ZervaRTChunk* targets = nullptr;
    if (what == "target") {
        const char* word = talix::DefinitionTypeWord(type);
        if (word != nullptr) targets = chunk->DefineSubChunk((std::string(word) + " *").c_str());
        if (targets == nullptr) return Fail("cannot define the %s targets of '%s'", args[5].c_str(), args[3].c_str());
        chunk = targets;
        if (chunk->Exists() == 0 && chunk->lastStatus == talix::kOK) {
            delete targets;
            return Fail("'%s' holds no %s in '%s'", args[3].c_str(), args[5].c_str(), args[2].c_str());
        }
        text = chunk->GetTargetProperties(args[5].c_str(), extra > 1 ? args[6].c_str() : "");
    } else if (what == "table") {
        text = chunk->GetTableProperties(extra > 0 ? args[5].c_str() : nullptr);
    } else {
        text = chunk->GetCellBorder(args[5].c_str());
    }
    const std::string answer = plat::LmbcsToNative(text);
    const talix::STATUS status = chunk->lastStatus;
    const unsigned errorWord = chunk->errorWord;
    delete targets;
    if (status != talix::kOK)
        return Fail("cannot write the %s properties: %s", what.c_str(), StatusMessage(status, errorWord).c_str());
    std::printf("%s\n", answer.c_str());
    return kExitOk;
}

} // namespace talix_cli
