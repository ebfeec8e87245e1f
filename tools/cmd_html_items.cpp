// The commands export-html (a rich-text item rendered as HTML into a file
// or onto standard output), to-html (the HTML stored in an item of the
// note) and from-html (a rich-text item rebuilt from the HTML another item
// holds).
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "chunk_target.h"
#include "cli.h"
#include "core/kept_items.h"
#include "core/options.h"
#include "core/statuses.h"

namespace talix_cli {

namespace {

constexpr talix::STATUS kTargetExists = 260;

struct HtmlItemArguments {
    const char* format = nullptr;   // the library's name of the markup; null: its default
    std::string options, into, prefix;
    bool hasInto = false, hasPrefix = false;
};

// Takes the options a command accepts out of args (--options, and --format,
// --into or --prefix where it takes them), refusing any other as every
// command does, and texts the library cannot be handed (their lengths are
// 16-bit).
bool TakeArguments(const Command& command, std::vector<std::string>* args, HtmlItemArguments* taken, bool format,
                   bool into, bool prefix, int* exitCode) {
    bool hasOptions = false;
    if ((format && !TakeFormatOption(command, args, &taken->format, exitCode)) ||
        !TakeValueOption(command, args, "--options", &taken->options, &hasOptions, exitCode) ||
        (into && !TakeValueOption(command, args, "--into", &taken->into, &taken->hasInto, exitCode)) ||
        (prefix && !TakeValueOption(command, args, "--prefix", &taken->prefix, &taken->hasPrefix, exitCode)) ||
        !RejectOptions(command, *args, exitCode))
        return false;
    // Measured as the library takes them: a control character or one past
    // 16 bits takes more bytes in LMBCS than in UTF-8.
    if (plat::NativeToLmbcs(taken->options).size() > 0xFFFF || plat::NativeToLmbcs(taken->prefix).size() > 0xFFFF) {
        *exitCode = UsageError(command, "an option text is longer than 65,535 bytes");
        return false;
    }
    return true;
}

// Why a conversion of the item failed, in words. A failed read of the
// item's records (status 263, whose text speaks of memory) is, as a rule,
// damage in the item: where it is, is said as the commands that write
// the item say it.
int ConversionFailed(const Command& command, const std::string& itemName, const ZervaRTItem* item,
                     const std::string& target) {
    const char* what = command.name;
    if (item->lastStatus == talix::kOutOfMemory && item->ownError == talix::kErrConversion &&
        !ItemUndamaged(command, itemName, FindItems(item->noteHandle, itemName)))
        return kExitFailed;
    if (item->lastStatus == kTargetExists)
        return Fail("%s refused: the note already has an item named '%s' (--options Overwrite=Yes replaces it)",
                    what, target.c_str());
    if (item->lastStatus == talix::kErrFormula) return Fail("%s failed: the image database cannot be opened", what);
    if (item->lastStatus == talix::kItemNotFound && item->ownError == talix::kItemNotFound)
        return Fail("%s failed: the file '%s' cannot be written", what, target.c_str());
    return Fail("%s failed: %s", what, StatusMessage(item->lastStatus, item->ownError).c_str());
}

} // namespace

int RunExportHtml(const Command& command, const std::vector<std::string>& given) {
    int exitCode = kExitOk;
    std::vector<std::string> args = given;
    HtmlItemArguments taken;
    if (!TakeArguments(command, &args, &taken, true, false, false, &exitCode)) return exitCode;
    if (args.size() != 3 && args.size() != 4)
        return UsageError(command, "export-html needs a database, a note, an item name and perhaps a file");
    if (args.size() == 4 && args[3].empty()) return UsageError(command, "export-html needs a file name, not an empty one");
    const bool toStandardOutput = args.size() == 3;
    std::string options = plat::NativeToLmbcs(taken.options);
    // Plain text keeps its paragraphs on lines of their own, as html gives
    // it, unless the options say otherwise: run together, the last word of
    // one paragraph and the first of the next made one.
    const bool plainText = taken.format != nullptr && std::strcmp(taken.format, "Plain Text") == 0;
    if (plainText && strcasestr(options.c_str(), "NewlineOnParagraph=") == nullptr) {
        options += " NewlineOnParagraph=Yes";
        if (options.size() > 0xFFFF) return UsageError(command, "an option text is longer than 65,535 bytes");
    }
    // Pictures written as files are placed and named from the page's own
    // file: a page on standard output has none (the temporary file it is
    // rendered into would take them away with it).
    if (toStandardOutput && !plainText && PicturesGoToDisk(options))
        return UsageError(command, "ImageHandling=DISK places the pictures by the page's file: export-html needs a "
                                   "FILE for it (talix html places them from the current directory)");
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], "Everything", ItemUse::kRead, &exitCode)) return exitCode;
    if (args.size() == 4 && !OutputIsNotTheDatabase(args[3])) return kExitFailed;
    const std::string path = toStandardOutput ? TemporaryFile(".htm") : args[3];
    if (path.empty()) return Fail("cannot make a temporary file in %s: %s", TemporaryFolder().c_str(), std::strerror(errno));
    ZervaRTItem* item = target.item();
    int result = kExitOk;
    const bool notWritten = FileNotWritten(
        item, path, [&] { item->ExportToHTML(path.c_str(), taken.format, options.c_str(), 0, nullptr); }, &result);
    if (notWritten) {
        // Said already.
    } else if (item->lastStatus != talix::kOK) result = ConversionFailed(command, args[2], item, path);
    else if (toStandardOutput && !CopyToStandardOutput(path))
        result = Fail("cannot write the markup to standard output: %s", std::strerror(errno));
    if (toStandardOutput) ::unlink(path.c_str());
    return result;
}

int RunToHtml(const Command& command, const std::vector<std::string>& given) {
    int exitCode = kExitOk;
    std::vector<std::string> args = given;
    HtmlItemArguments taken;
    if (!TakeArguments(command, &args, &taken, false, true, false, &exitCode)) return exitCode;
    if (args.size() != 3) return UsageError(command, "to-html needs a database, a note and an item name");
    if (taken.hasInto && taken.into.empty()) return UsageError(command, "--into needs an item name");

    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], "Everything", ItemUse::kRead, &exitCode)) return exitCode;
    ZervaRTItem* item = target.item();
    const std::string name = taken.hasInto ? taken.into : args[2];
    const std::string options = plat::NativeToLmbcs(taken.options);
    const std::string source = plat::NativeToLmbcs(args[2]), into = plat::NativeToLmbcs(name);
    // MarkDelimitedHTML=Yes highlights texts of the item for the rendering
    // only: the item is put back as it was before the note is saved, unless
    // the HTML took its place.
    std::string marks(options.size() + 1, '\0');
    const bool restore = talix::GetOptionValue(options.c_str(), "MarkDelimitedHTML=", marks.data(),
                                               static_cast<std::uint32_t>(marks.size())) != 0 &&
                         strcasecmp(marks.c_str(), "Yes") == 0 && strcasecmp(source.c_str(), into.c_str()) != 0;
    std::vector<talix::KeptItem> rendered;
    if (restore && talix::KeepItems(item->noteHandle, source.c_str(), &rendered) != talix::kOK)
        return Fail("to-html failed: item '%s' cannot be read", args[2].c_str());
    item->ConvertToHTML(into.c_str(), nullptr, options.c_str(), 0, nullptr);
    if (item->lastStatus != talix::kOK) return ConversionFailed(command, args[2], item, name);
    if (restore) talix::RestoreItems(item->noteHandle, source.c_str(), rendered);
    const talix::STATUS saved = item->Save();
    if (saved != talix::kOK) return Fail("cannot save the note: %s", StatusMessage(saved).c_str());
    return kExitOk;
}

int RunFromHtml(const Command& command, const std::vector<std::string>& given) {
    int exitCode = kExitOk;
    std::vector<std::string> args = given;
    HtmlItemArguments taken;
    if (!TakeArguments(command, &args, &taken, false, false, true, &exitCode)) return exitCode;
    if (args.size() != 4)
        return UsageError(command, "from-html needs a database, a note, an item name and a source item name");

    // The item is created when missing, as import-html creates it; nothing
    // is saved unless the conversion works.
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], "Everything", ItemUse::kCreate, &exitCode)) return exitCode;
    ZervaRTItem* item = target.item();
    if (FindItems(item->noteHandle, args[3]).empty())
        return Fail("from-html: note %s has no item '%s' to read the HTML from", args[1].c_str(), args[3].c_str());
    const std::string options = plat::NativeToLmbcs(taken.options);
    const std::string prefix = plat::NativeToLmbcs(taken.prefix);
    const talix::STATUS status =
        item->ConvertFromHTMLBackend(0, plat::NativeToLmbcs(args[3]).c_str(), options.c_str(), 0, prefix.c_str(),
                                     static_cast<std::uint16_t>(prefix.size()));
    if (status == talix::kOperationFailed)
        return Fail("from-html failed: item '%s' or '%s' cannot be read as rich text", args[3].c_str(),
                    args[2].c_str());
    if (status == talix::kArgumentError)
        return Fail("from-html refused: the options and the prefix are longer than 4,095 bytes together");
    if (status != talix::kOK) return Fail("from-html failed: the import ended with %s", StatusMessage(status).c_str());
    const talix::STATUS saved = item->Save();
    if (saved != talix::kOK) return Fail("cannot save the note: %s", StatusMessage(saved).c_str());
    return kExitOk;
}

} // namespace talix_cli
