// The commands text (the text of a chunk of a rich-text item) and count (the
// number of targets of a type within a chunk).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "chunk_target.h"
#include "cli.h"
#include "core/statuses.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix_cli {

namespace {

constexpr std::uint32_t kTextBufferSize = 65342;

} // namespace

int RunText(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() < 3 || args.size() > 4)
        return UsageError(command, "text needs a database, a note, an item name and at most one chunk");
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], args.size() == 4 ? args[3] : "Everything", false,
                     &exitCode))
        return exitCode;
    std::vector<char> buffer(kTextBufferSize);
    std::uint32_t length = target.chunk()->GetText(nullptr, buffer.data(), kTextBufferSize, 1, nullptr);
    if (target.chunk()->lastStatus != talix::kOK)
        return Fail("cannot read the text: %s", StatusMessage(target.chunk()->lastStatus).c_str());
    // A zero byte in a text run ends a line.
    std::replace(buffer.begin(), buffer.begin() + length, '\0', '\n');
    std::string text = plat::LmbcsToNative(std::string_view(buffer.data(), length));
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kExitOk;
}

int RunCount(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() < 4 || args.size() > 5)
        return UsageError(command, "count needs a database, a note, an item name, a type and at most one chunk");
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], args.size() == 5 ? args[4] : "Everything", false,
                     &exitCode))
        return exitCode;
    std::int16_t count = target.chunk()->GetCount(args[3].c_str());
    if (count < 0) return Fail("'%s' cannot be counted in '%s'", args[3].c_str(), target.chunk()->definition);
    if (target.chunk()->lastStatus != talix::kOK)
        return Fail("cannot count '%s': %s", args[3].c_str(), StatusMessage(target.chunk()->lastStatus).c_str());
    std::printf("%d\n", count);
    return kExitOk;
}

} // namespace talix_cli
