// The commands text (the text of a chunk of a rich-text item) and count (the
// number of targets of a type within a chunk). Both answer whole: the text
// however long, the count however large.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "chunk_target.h"
#include "chunkops/chunk_text.h"
#include "cli.h"
#include "core/statuses.h"
#include "engine/chunk_count.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix_cli {

int RunText(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() < 3 || args.size() > 4)
        return UsageError(command, "text needs a database, a note, an item name and at most one chunk");
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], args.size() == 4 ? args[3] : "Everything", ItemUse::kRead,
                     &exitCode))
        return exitCode;
    std::string lmbcs;
    // A line end between paragraphs, where the library's text runs them together.
    talix::STATUS status = talix::GetWholeChunkText(target.chunk(), &lmbcs, true);
    if (status != talix::kOK) return Fail("cannot read the text: %s", StatusMessage(status).c_str());
    // A zero byte in a text run is a line end.
    std::string text;
    for (size_t start = 0; start <= lmbcs.size();) {
        size_t end = lmbcs.find('\0', start);
        if (end == std::string::npos) end = lmbcs.size();
        if (start > 0) text.push_back('\n');
        text += plat::LmbcsToNative(std::string_view(lmbcs).substr(start, end - start));
        start = end + 1;
    }
    text.push_back('\n');
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        return Fail("cannot write the text: %s", std::strerror(errno));
    return kExitOk;
}

int RunCount(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() < 4 || args.size() > 5)
        return UsageError(command, "count needs a database, a note, an item name, a type and at most one chunk");
    ChunkOfItem target;
    // A chunk that matches nothing holds no target: 0.
    if (!target.Open(command, args[0], args[1], args[2], args.size() == 5 ? args[4] : "Everything", ItemUse::kRead,
                     &exitCode, true))
        return exitCode;
    std::int64_t count = talix::CountChunkTargets(target.chunk(), args[3].c_str());
    if (count < 0) return Fail("'%s' cannot be counted in '%s'", args[3].c_str(), target.chunk()->definition);
    if (target.chunk()->lastStatus != talix::kOK)
        return Fail("cannot count '%s': %s", args[3].c_str(), StatusMessage(target.chunk()->lastStatus).c_str());
    std::printf("%lld\n", static_cast<long long>(count));
    return kExitOk;
}

} // namespace talix_cli
