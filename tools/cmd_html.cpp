// The command html: a chunk of a rich-text item rendered as HTML, XHTML or
// plain text, streamed through the generation's text event so that any
// size comes out whole; or rendered for a MIME message into a part file
// attached to the note.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "chunk_target.h"
#include "cli.h"
#include "core/replacing_file.h"
#include "core/statuses.h"
#include "markup_writer.h"

namespace talix_cli {

namespace {

constexpr std::uint32_t kMarkupBufferSize = 65406;

MarkupWriter* g_writer = nullptr;

std::uint16_t WriteEvent(ZervaRTChunk*, char* text, std::uint16_t length) {
    if (g_writer != nullptr) g_writer->Write(text, length);
    return 0;
}

// The reason a generation did not work, or empty.
std::string Failure(ZervaRTChunk* chunk) {
    if (chunk->errorWord == talix::kErrFormula) return "the image database cannot be opened";
    if (chunk->lastStatus == talix::kOutOfMemory) return "the markup does not fit the generation's buffer";
    if (chunk->lastStatus == talix::kFileNotWritten) return "its part file was not written whole; nothing was attached";
    if (chunk->lastStatus != talix::kOK) return StatusMessage(chunk->lastStatus);
    return "";
}

} // namespace

int RunHtml(const Command& command, const std::vector<std::string>& given) {
    int exitCode = kExitOk;
    std::vector<std::string> args = given;
    std::string options, outPath, part;
    bool hasOptions = false, hasOut = false, hasMime = false;
    const char* format = "HTML";
    if (!TakeFormatOption(command, &args, &format, &exitCode) ||
        !TakeValueOption(command, &args, "--options", &options, &hasOptions, &exitCode) ||
        !TakeValueOption(command, &args, "--out", &outPath, &hasOut, &exitCode) ||
        !TakeValueOption(command, &args, "--mime", &part, &hasMime, &exitCode)) {
        return exitCode;
    }
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() < 3 || args.size() > 4)
        return UsageError(command, "html needs a database, a note, an item name and at most one chunk");
    if (hasOut && outPath.empty()) return UsageError(command, "--out needs a file name");
    unsigned long partNumber = 0;
    if (hasMime) {
        // Decimal digits alone, as --part and --index take their numbers:
        // no sign or blank is read past.
        const bool digits = !part.empty() && part.find_first_not_of("0123456789") == std::string::npos;
        partNumber = digits ? std::strtoul(part.c_str(), nullptr, 10) : 0;
        if (!digits || partNumber > 0xFFFF)
            return UsageError(command, "--mime takes a part number from 0 to 65535, not '%s'", part.c_str());
    }

    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], args.size() == 4 ? args[3] : "Everything",
                     hasMime ? ItemUse::kWrite : ItemUse::kRead, &exitCode))
        return exitCode;
    if (hasOut && !OutputIsNotTheDatabase(outPath)) return kExitFailed;
    std::string lmbcsOptions = plat::NativeToLmbcs(options);
    if (!hasMime && lmbcsOptions.find("OutputToEvent=") == std::string::npos) lmbcsOptions += " OutputToEvent=Yes";
    // Plain text keeps its paragraphs on lines of their own unless the
    // options say otherwise.
    if (std::strcmp(format, "Plain Text") == 0 && strcasestr(lmbcsOptions.c_str(), "NewlineOnParagraph=") == nullptr)
        lmbcsOptions += " NewlineOnParagraph=Yes";
    if (lmbcsOptions.size() > 0xFFFF) return UsageError(command, "--options is longer than 65,535 bytes");

    // The file takes its name only once the markup is whole.
    MarkupWriter writer;
    talix::ReplacingFile output;
    if (hasOut) {
        if (!output.Open(outPath, "wb")) return Fail("cannot write %s: %s", outPath.c_str(), std::strerror(errno));
        writer.SetFile(output.file(), &output);
    }
    ZervaRTChunk* chunk = target.chunk();
    std::string failure;
    if (hasMime) {
        // The part file holds what was handed on; the rest stays in the
        // buffer and follows the part file's name.
        std::vector<char> buffer(kMarkupBufferSize);
        std::uint32_t capacity = kMarkupBufferSize;
        char name[128] = {};
        int icons[4] = {};
        int collapse = 0;
        chunk->GenerateHTMLToMime(0, 1, format, lmbcsOptions.c_str(), static_cast<std::uint16_t>(lmbcsOptions.size()),
                                  buffer.data(), &capacity, static_cast<std::uint16_t>(partNumber), name, nullptr,
                                  nullptr, nullptr, nullptr, icons, &collapse, nullptr);
        failure = Failure(chunk);
        if (failure.empty()) {
            const talix::STATUS saved = target.item()->Save();
            if (saved != talix::kOK) failure = "cannot save the note: " + StatusMessage(saved);
        }
        if (failure.empty()) {
            std::printf("%s\n", name);
            std::fflush(stdout);
            writer.Write(buffer.data(), capacity < kMarkupBufferSize ? capacity : kMarkupBufferSize);
        }
    } else {
        g_writer = &writer;
        char* markup = chunk->GenerateHTML(nullptr, format, lmbcsOptions.c_str(),
                                           static_cast<std::uint16_t>(lmbcsOptions.size()), WriteEvent, nullptr);
        g_writer = nullptr;
        failure = markup == nullptr ? "out of memory" : Failure(chunk);
        if (failure.empty()) {
            const std::uint32_t length =
                std::min<std::uint32_t>(chunk->session->textResultLength, kMarkupBufferSize - 1);
            // What stayed in the buffer separates lines by zero bytes in the
            // NL mode (AddNewlines=Yes): out here they end in line feeds.
            std::replace(markup, markup + length, '\0', '\n');
            writer.Write(markup, length);
        }
    }
    writer.Finish();
    // The item's records go while the file's last data is synced.
    target.Close();
    if (!failure.empty()) return Fail("cannot render the chunk: %s", failure.c_str());
    if (writer.failed()) {
        return Fail("cannot write the markup to %s: %s", hasOut ? outPath.c_str() : "standard output",
                    std::strerror(writer.error()));
    }
    if (hasOut && !output.Commit()) return Fail("cannot write %s: %s", outPath.c_str(), std::strerror(errno));
    return kExitOk;
}

} // namespace talix_cli
