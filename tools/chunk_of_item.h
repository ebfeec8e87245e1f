// A chunk of the rich-text item that DB NOTE ITEM arguments name, with the
// session and item it lives on, for the commands that work through chunks.
#pragma once

#include <string>

#include "cli.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix_cli {

// A session with one item connected to the DB NOTE ITEM of the arguments
// and one chunk defined on it; everything is released with the object.
class ChunkOfItem {
public:
    ChunkOfItem() = default;
    ~ChunkOfItem();
    ChunkOfItem(const ChunkOfItem&) = delete;
    ChunkOfItem& operator=(const ChunkOfItem&) = delete;
    // Prints the reason and returns false when the item cannot be reached or
    // the definition does not parse.
    bool Open(const Command& command, const std::string& dbPath, const std::string& noteArg,
              const std::string& itemName, const std::string& definition, int* exitCode);
    ZervaRTChunk* chunk() const { return chunk_; }
    ZervaRTItem* item() const { return item_; }
    RARIvoSession* session() { return &session_; }

private:
    RARIvoSession session_;
    ZervaRTItem* item_ = nullptr;
    ZervaRTChunk* chunk_ = nullptr;
};

} // namespace talix_cli
