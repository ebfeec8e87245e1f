// The commands mime (a rich-text item as a MIME file, or one piece of the
// entity as the library hands it out piece by piece) and to-mime (the item
// stored as MIME part items of its own note).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "chunk_target.h"
#include "cli.h"
#include "core/replacing_file.h"
#include "core/statuses.h"
#include "mime/part_walk.h"

namespace talix_cli {

namespace {

constexpr std::uint32_t kPieceBufferSize = 1048577;   // one output cache block and its terminator
constexpr talix::STATUS kTargetExists = 260;
constexpr std::uint32_t kLastPart = 0xFFFF;            // the highest piece number a part asks for

struct MimeArguments {
    std::string out, part, options, htmlOptions, name;
    bool hasOut = false, hasPart = false, hasOptions = false, hasHtmlOptions = false, hasName = false;
};

// Why a conversion failed, in words.
int ConversionFailed(const char* what, const ZervaRTItem* item, const std::string& target) {
    if (item->lastStatus == kTargetExists)
        return Fail("%s refused: the note already has items named '%s' (--options Overwrite=Yes replaces them)",
                    what, target.c_str());
    if (item->lastStatus == talix::kErrFormula) return Fail("%s failed: the image database cannot be opened", what);
    if (item->lastStatus == talix::kItemNotFound && item->ownError == talix::kItemNotFound)
        return Fail("%s failed: the file '%s' cannot be written", what, target.c_str());
    return Fail("%s failed: %s", what, StatusMessage(item->lastStatus, item->ownError).c_str());
}

// The pieces of the entity as the library hands them out: part 0 runs the
// writer, which leaves one block of the session's output cache per piece,
// and parts 1, 2 ... answer those blocks in turn; the first empty answer
// ends them (the writer hands over no empty piece). False, having said
// why, when the writer failed.
bool FetchPieces(ZervaRTItem* item, const std::string& options, const std::string& htmlOptions,
                 std::vector<std::string>* pieces) {
    std::vector<char> buffer(kPieceBufferSize);
    std::uint32_t size = kPieceBufferSize;
    item->GenerateMIMEForRTItem(0, nullptr, nullptr, nullptr, options.c_str(), 0, htmlOptions.c_str(), 0,
                                buffer.data(), &size, nullptr, nullptr);
    if (item->lastStatus != talix::kOK) {
        ConversionFailed("mime", item, "");
        return false;
    }
    for (std::uint32_t part = 1; part <= kLastPart; ++part) {
        size = kPieceBufferSize;
        item->GenerateMIMEForRTItem(static_cast<std::uint16_t>(part), nullptr, nullptr, nullptr, options.c_str(), 0,
                                    htmlOptions.c_str(), 0, buffer.data(), &size, nullptr, nullptr);
        if (size == 0) break;
        pieces->emplace_back(buffer.data(), size);
    }
    return true;
}

// The first picture or icon the pieces' HTML names by "cid:" (a quoted
// attribute value or a style's url() within a tag) that no piece's
// Content-ID gives, or empty: the buffer form leaves out a part larger than
// its buffer, while the HTML still names it. A quoted-printable body is read through its soft line breaks
// and its "=3D".
std::string MissingContentId(const std::vector<std::string>& pieces) {
    std::set<std::string> ids;
    std::vector<std::string> named;
    constexpr const char* kIdLine = "\nContent-ID: <";
    for (const std::string& piece : pieces) {
        for (std::size_t at = piece.find(kIdLine); at != std::string::npos; at = piece.find(kIdLine, at + 1)) {
            const std::size_t start = at + std::strlen(kIdLine), end = piece.find('>', start);
            if (end != std::string::npos) ids.insert(piece.substr(start, end - start));
        }
        // The HTML of a piece may be quoted-printable.
        const std::string text = talix::DecodedQuotedPrintable(piece);
        for (std::size_t at = text.find("cid:"); at != std::string::npos; at = text.find("cid:", at + 1)) {
            // Only within a tag, as an attribute's value or in url().
            const std::size_t opened = text.rfind('<', at), closed = text.rfind('>', at);
            if (opened == std::string::npos || (closed != std::string::npos && closed > opened)) continue;
            const bool value = at >= 2 && (text.compare(at - 2, 2, "=\"") == 0 || text.compare(at - 2, 2, "='") == 0);
            if (!value && !(at >= 4 && text.compare(at - 4, 4, "url(") == 0)) continue;
            const std::size_t end = text.find_first_of("\"'> \t\r\n)", at + 4);
            if (end != std::string::npos && end > at + 4) named.push_back(text.substr(at + 4, end - at - 4));
        }
    }
    for (const std::string& id : named) {
        if (ids.count(id) == 0) return id;
    }
    return "";
}

int WritePiece(const MimeArguments& args, ChunkOfItem* target, const std::string& options,
               const std::string& htmlOptions) {
    const unsigned long part = std::strtoul(args.part.c_str(), nullptr, 10);
    std::vector<std::string> pieces;
    if (!FetchPieces(target->item(), options, htmlOptions, &pieces)) return kExitFailed;
    // Part 0 is the whole entity: every piece, in order.
    if (part == 0 && pieces.size() == kLastPart)
        return Fail("the message has more than %u pieces, more than --part numbers; 'talix mime' without --part "
                    "writes it whole", static_cast<unsigned>(kLastPart));
    if (part > pieces.size())
        return Fail("the message has no piece %lu: it has %zu pieces (--part 1 to %zu, or 0 for all of them)", part,
                    pieces.size(), pieces.size());
    // A piece fills its block of the output cache only when what was handed
    // over for it ran past the block's end and was cut there.
    for (std::size_t n = part == 0 ? 1 : part; n <= (part == 0 ? pieces.size() : part); ++n) {
        if (pieces[n - 1].size() >= kPieceBufferSize - 1)
            return Fail("piece %zu of the message reaches the 1,048,576 bytes a piece holds, so it may be cut; "
                        "'talix mime' without --part writes the whole message", n);
    }
    if (part == 0) {
        const std::string missing = MissingContentId(pieces);
        if (!missing.empty())
            return Fail("the picture cid:%s is larger than a piece holds and the library left it out; 'talix mime' "
                        "without --part writes the whole message", missing.c_str());
    }
    std::string joined;
    if (part == 0) {
        std::size_t total = 0;
        for (const std::string& piece : pieces) total += piece.size();
        joined.reserve(total);
        for (const std::string& piece : pieces) joined += piece;
    }
    const std::string& chosen = part == 0 ? joined : pieces[part - 1];
    const std::string text = plat::LmbcsToNative(chosen);
    std::FILE* out = stdout;
    talix::ReplacingFile output;
    if (args.hasOut) {
        if (!output.Open(args.out, "wb")) return Fail("cannot write %s: %s", args.out.c_str(), std::strerror(errno));
        out = output.file();
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    const bool closed = args.hasOut ? written && output.Commit() : written && std::fflush(out) == 0;
    if (!written || !closed) {
        return Fail("cannot write the piece to %s: %s", args.hasOut ? args.out.c_str() : "standard output",
                    std::strerror(errno != 0 ? errno : EIO));
    }
    return kExitOk;
}

// Takes the options of mime (withOutput: --out and --part) or of to-mime
// (not withOutput: --name) out of args, refusing any other.
bool TakeMimeArguments(const Command& command, std::vector<std::string>* args, bool withOutput, MimeArguments* taken,
                       int* exitCode) {
    return (!withOutput || (TakeValueOption(command, args, "--out", &taken->out, &taken->hasOut, exitCode) &&
                            TakeValueOption(command, args, "--part", &taken->part, &taken->hasPart, exitCode))) &&
           TakeValueOption(command, args, "--options", &taken->options, &taken->hasOptions, exitCode) &&
           TakeValueOption(command, args, "--html-options", &taken->htmlOptions, &taken->hasHtmlOptions, exitCode) &&
           (withOutput || TakeValueOption(command, args, "--name", &taken->name, &taken->hasName, exitCode)) &&
           RejectOptions(command, *args, exitCode);
}

bool TextsFit(const Command& command, const MimeArguments& args, int* exitCode) {
    if (plat::NativeToLmbcs(args.options).size() > 0xFFFF || plat::NativeToLmbcs(args.htmlOptions).size() > 0xFFFF) {
        *exitCode = UsageError(command, "an option text is longer than 65,535 bytes");
        return false;
    }
    return true;
}

} // namespace

int RunMime(const Command& command, const std::vector<std::string>& given) {
    int exitCode = kExitOk;
    std::vector<std::string> args = given;
    MimeArguments taken;
    if (!TakeMimeArguments(command, &args, true, &taken, &exitCode)) return exitCode;
    if (args.size() != 3) return UsageError(command, "mime needs a database, a note and an item name");
    if (taken.hasOut && taken.out.empty()) return UsageError(command, "--out needs a file name");
    if (taken.hasPart && (taken.part.empty() || taken.part.size() > 5 ||
                          taken.part.find_first_not_of("0123456789") != std::string::npos ||
                          std::strtoul(taken.part.c_str(), nullptr, 10) > 0xFFFF))
        return UsageError(command, "--part takes a number from 0 to 65535, not '%s'", taken.part.c_str());
    if (!TextsFit(command, taken, &exitCode)) return exitCode;
    const std::string options = plat::NativeToLmbcs(taken.options);
    const std::string htmlOptions = plat::NativeToLmbcs(taken.htmlOptions);
    // Pictures written as files are placed and named from the message's
    // file: one on standard output has none (the temporary file it is made
    // in would take them away with it).
    if (!taken.hasOut && !taken.hasPart && PicturesGoToDisk(htmlOptions))
        return UsageError(command, "ImageHandling=DISK places the pictures by the message's file: mime needs --out "
                                   "FILE for it (--part places them from the current directory)");
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], "Everything", ItemUse::kRead, &exitCode)) return exitCode;
    if (taken.hasOut && !OutputIsNotTheDatabase(taken.out)) return kExitFailed;
    if (taken.hasPart) return WritePiece(taken, &target, options, htmlOptions);

    // Without --out the file is made in the temporary directory and copied
    // to standard output.
    const std::string path = taken.hasOut ? taken.out : TemporaryFile(".eml");
    if (path.empty()) return Fail("cannot make a temporary file in %s: %s", TemporaryFolder().c_str(), std::strerror(errno));
    ZervaRTItem* item = target.item();
    int result = kExitOk;
    const bool notWritten = FileNotWritten(item, path, [&] {
        item->ExportToMIME(path.c_str(), nullptr, nullptr, nullptr, options.c_str(), 0, htmlOptions.c_str(), 0, nullptr);
    }, &result);
    if (notWritten) {
        // Said already.
    } else if (item->lastStatus != talix::kOK) {
        result = ConversionFailed("mime", item, path);
    } else if (!taken.hasOut && !CopyToStandardOutput(path)) {
        result = Fail("cannot write the message to standard output: %s", std::strerror(errno));
    }
    if (!taken.hasOut) ::unlink(path.c_str());
    return result;
}

int RunToMime(const Command& command, const std::vector<std::string>& given) {
    int exitCode = kExitOk;
    std::vector<std::string> args = given;
    MimeArguments taken;
    if (!TakeMimeArguments(command, &args, false, &taken, &exitCode)) return exitCode;
    if (args.size() != 3) return UsageError(command, "to-mime needs a database, a note and an item name");
    // An empty name would stand for the item's own (its MIME parts would
    // take the rich text's place, as without --name).
    if (taken.hasName && taken.name.empty()) return UsageError(command, "--name needs an item name");
    if (!TextsFit(command, taken, &exitCode)) return exitCode;

    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], "Everything", ItemUse::kWrite, &exitCode)) return exitCode;
    ZervaRTItem* item = target.item();
    const std::string name = taken.hasName ? taken.name : args[2];
    item->ConvertToMIME(plat::NativeToLmbcs(name).c_str(), nullptr, nullptr, nullptr,
                        plat::NativeToLmbcs(taken.options).c_str(), 0, plat::NativeToLmbcs(taken.htmlOptions).c_str(),
                        0, nullptr);
    if (item->lastStatus != talix::kOK) return ConversionFailed("to-mime", item, name);
    const talix::STATUS saved = item->Save();
    if (saved != talix::kOK) return Fail("cannot save the note: %s", StatusMessage(saved).c_str());
    return kExitOk;
}

} // namespace talix_cli
