// The commands match and wiki: the matching methods of the library run on a
// chunk of a rich-text item, with the keys (or the wiki pages) taken from a
// view of another database. Both save the note when the method worked;
// match keyword only prints the keywords found.
#include <cstdio>
#include <string>
#include <vector>

#include "chunk_target.h"
#include "cli.h"
#include "core/operation_codes.h"
#include "core/statuses.h"
#include "note_items_picture.h"

namespace talix_cli {

namespace {

struct MatchMode {
    const char* name;
    std::uint16_t mode;
};

constexpr MatchMode kModes[] = {{"link", talix::kMatchModeLink},       {"append", talix::kMatchModeAppend},
                                {"highlight", talix::kMatchModeHighlight}, {"insert", talix::kMatchModeInsert},
                                {"keyword", talix::kMatchModeKeyword},  {"popup", talix::kMatchModePopup},
                                {"replace", talix::kMatchModeReplace}};

} // namespace

int RunMatch(const Command& command, const std::vector<std::string>& given) {
    int exitCode = kExitOk;
    std::vector<std::string> args = given;
    std::string result, options;
    bool hasResult = false, hasOptions = false;
    if (!TakeValueOption(command, &args, "--result", &result, &hasResult, &exitCode) ||
        !TakeValueOption(command, &args, "--options", &options, &hasOptions, &exitCode) ||
        !RejectOptions(command, args, &exitCode))
        return exitCode;
    if (args.size() < 7 || args.size() > 8)
        return UsageError(command, "match needs a database, a note, an item, a mode, a key database, a view and a field");
    const MatchMode* mode = nullptr;
    for (const MatchMode& each : kModes)
        if (args[3] == each.name) mode = &each;
    if (mode == nullptr) return UsageError(command, "unknown mode '%s'", args[3].c_str());

    ChunkOfItem target;
    const ItemUse use = mode->mode == talix::kMatchModeKeyword ? ItemUse::kRead : ItemUse::kWrite;
    if (!target.Open(command, args[0], args[1], args[2], args.size() > 7 ? args[7] : "Everything", use, &exitCode))
        return exitCode;
    const std::string view = plat::NativeToLmbcs(args[5]);
    const std::string field = plat::NativeToLmbcs(args[6]);
    const std::string resultText = plat::NativeToLmbcs(result);
    const std::string optionText = plat::NativeToLmbcs(options);
    ZervaRTChunk* chunk = target.chunk();
    // The formulas of the match run on the key documents while it works and
    // may change this very note through the formula driver, which stores it
    // at once: the note as read is kept to tell what they changed.
    const NoteItemsPicture before = NoteItemsPicture::Of(target.item()->noteHandle);
    talix::STATUS status =
        chunk->LinkMatching("", args[4].c_str(), view.c_str(), field.c_str(), hasResult ? resultText.c_str() : nullptr,
                            hasOptions ? optionText.c_str() : nullptr, mode->mode);
    if (mode->mode != talix::kMatchModeKeyword) {
        if (status == talix::kOK) status = target.item()->Commit();
        NoteItemsPicture stored;
        if (status == talix::kOK && NoteItemsPicture::Stored(target.dbPath(), target.item()->noteID, &stored)) {
            // Saving would put the match's values of an item over those a
            // formula stored meanwhile: the formula's stay, the match's go.
            const std::vector<std::string> clash =
                ItemsChangedByBoth(before, NoteItemsPicture::Of(target.item()->noteHandle), stored);
            if (!clash.empty())
                return Fail("a formula of the match changed the item '%s' of the note while the match changed it "
                            "too: the match's changes are not saved, the formula's stand",
                            plat::LmbcsToNative(clash.front()).c_str());
        }
        return SaveAfterMethod("match", &target, status);
    }
    if (status != talix::kOK) return MethodFailed("match", chunk, status);
    std::printf("%s\n", plat::LmbcsToNative(chunk->session->textResult).c_str());
    return kExitOk;
}

int RunWiki(const Command& command, const std::vector<std::string>& given) {
    int exitCode = kExitOk;
    std::vector<std::string> args = given;
    std::string options, server;
    bool hasOptions = false, hasServer = false;
    if (!TakeValueOption(command, &args, "--options", &options, &hasOptions, &exitCode) ||
        !TakeValueOption(command, &args, "--server", &server, &hasServer, &exitCode) ||
        !RejectOptions(command, args, &exitCode))
        return exitCode;
    if (args.size() < 5 || args.size() > 6)
        return UsageError(command, "wiki needs a database, a note, an item, a page database and a view");
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], args.size() > 5 ? args[5] : "Everything", ItemUse::kWrite,
                     &exitCode))
        return exitCode;
    const std::string view = plat::NativeToLmbcs(args[4]);
    const std::string optionText = plat::NativeToLmbcs(options);
    const std::string serverText = plat::NativeToLmbcs(server);
    // The method asks for a reference field it does not use.
    const talix::STATUS status = target.chunk()->WikiMatching(serverText.c_str(), args[3].c_str(), view.c_str(),
                                                              "Subject", nullptr,
                                                              hasOptions ? optionText.c_str() : nullptr);
    return SaveAfterMethod("wiki", &target, status);
}

} // namespace talix_cli
