// The chunk a command works on: a session with one item connected to the
// DB NOTE ITEM of the arguments and one chunk defined on it, all released
// with the object.
#pragma once

#include <string>

#include "cli.h"
#include "core/statuses.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix_cli {

// What a command does with the item: reads it, writes it back, writes it
// back and creates it when it is missing, or writes it anew from a blank
// item (whatever it held, damaged or not, gives way).
enum class ItemUse { kRead, kWrite, kCreate, kReplace };

class ChunkOfItem {
public:
    ChunkOfItem() = default;
    ~ChunkOfItem();
    ChunkOfItem(const ChunkOfItem&) = delete;
    ChunkOfItem& operator=(const ChunkOfItem&) = delete;
    // Prints the reason and returns false when the item cannot be reached
    // (with kCreate, a missing item is created blank), when an item to be
    // written back is damaged, when a blank item cannot be made for
    // kReplace, when the definition does not parse, or (unless
    // emptyAllowed) when a definition other than "Everything" matches
    // nothing in the item: "'Table 7' matches nothing in 'Body'".
    bool Open(const Command& command, const std::string& dbPath, const std::string& noteArg,
              const std::string& itemName, const std::string& definition, ItemUse use, int* exitCode,
              bool emptyAllowed = false);
    // Releases the chunk and the item (their records and the note) ahead of
    // the object: a command done with them frees them while its output
    // file is still being synced.
    void Close();
    ZervaRTChunk* chunk() const { return chunk_; }
    ZervaRTItem* item() const { return item_; }
    const std::string& dbPath() const { return dbPath_; }

private:
    RARIvoSession session_;
    ZervaRTItem* item_ = nullptr;
    ZervaRTChunk* chunk_ = nullptr;
    std::string dbPath_;
};

// Reports a chunk method that did not work ("<what> failed: status N: ...",
// with the chunk's error word when it has one) and returns kExitFailed.
int MethodFailed(const std::string& what, const ZervaRTChunk* chunk, talix::STATUS status);

// After a chunk method that changes the item: its failure reported, or the
// note saved (a failed save reported). Returns the exit code.
int SaveAfterMethod(const std::string& what, ChunkOfItem* target, talix::STATUS status);

} // namespace talix_cli
