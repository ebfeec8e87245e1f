// The commands text (the text of a chunk of a rich-text item) and count (the
// number of targets of a type within a chunk). Both answer whole: the text
// however long, the count however large.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "chunkops/chunk_text.h"
#include "cli.h"
#include "core/statuses.h"
#include "engine/chunk_count.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix_cli {

namespace {

// A session with one item connected to the DB NOTE ITEM of the arguments
// and one chunk defined on it; everything is released with the object.
class ChunkOfItem {
public:
    ~ChunkOfItem() {
        delete chunk_;
        delete item_;
    }
    // Prints the reason and returns false when the item cannot be reached or
    // the definition does not parse.
    bool Open(const Command& command, const std::string& dbPath, const std::string& noteArg,
              const std::string& itemName, const std::string& definition, int* exitCode) {
        if (!IsNoteArgument(noteArg)) {
            *exitCode = UsageError(command, "'%s' is neither a note id nor a UNID", noteArg.c_str());
            return false;
        }
        plat::NOTEID id = 0;
        {
            Database db;
            Note note;
            if (!db.Open(dbPath, false) || !note.Open(db.handle(), noteArg)) {
                *exitCode = kExitFailed;
                return false;
            }
            std::vector<ItemValue> values = FindItems(note.handle(), itemName);
            if (values.empty()) {
                *exitCode = Fail("note %s has no item '%s'", noteArg.c_str(), itemName.c_str());
                return false;
            }
            if (values.front().type != plat::TYPE_COMPOSITE) {
                *exitCode = Fail("item '%s' is not rich text (data type 0x%04X)", itemName.c_str(),
                                 static_cast<unsigned>(values.front().type));
                return false;
            }
            plat::NoteGetInfo(note.handle(), plat::NOTE_FIELD_ID, &id);
        }
        session_.SetUp();
        item_ = new ZervaRTItem(&session_);
        std::string lmbcsName = plat::NativeToLmbcs(itemName);
        talix::STATUS status = item_->Connect("", dbPath.c_str(), id, lmbcsName.c_str(), 0);
        if (status != talix::kOK || item_->connected == 0) {
            *exitCode = Fail("cannot connect to item '%s': %s", itemName.c_str(), StatusMessage(status).c_str());
            return false;
        }
        chunk_ = item_->DefineChunk(plat::NativeToLmbcs(definition).c_str());
        if (chunk_ == nullptr) {
            *exitCode = Fail("'%s' is not a chunk definition", definition.c_str());
            return false;
        }
        return true;
    }
    ZervaRTChunk* chunk() const { return chunk_; }

private:
    RARIvoSession session_;
    ZervaRTItem* item_ = nullptr;
    ZervaRTChunk* chunk_ = nullptr;
};

} // namespace

int RunText(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() < 3 || args.size() > 4)
        return UsageError(command, "text needs a database, a note, an item name and at most one chunk");
    ChunkOfItem target;
    if (!target.Open(command, args[0], args[1], args[2], args.size() == 4 ? args[3] : "Everything", &exitCode))
        return exitCode;
    std::string lmbcs;
    talix::STATUS status = talix::GetWholeChunkText(target.chunk(), &lmbcs);
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
    if (!target.Open(command, args[0], args[1], args[2], args.size() == 5 ? args[4] : "Everything", &exitCode))
        return exitCode;
    std::int64_t count = talix::CountChunkTargets(target.chunk(), args[3].c_str());
    if (count < 0) return Fail("'%s' cannot be counted in '%s'", args[3].c_str(), target.chunk()->definition);
    if (target.chunk()->lastStatus != talix::kOK)
        return Fail("cannot count '%s': %s", args[3].c_str(), StatusMessage(target.chunk()->lastStatus).c_str());
    std::printf("%lld\n", static_cast<long long>(count));
    return kExitOk;
}

} // namespace talix_cli
