// A fixture for the chunk methods' tests: a database of the test's own,
// notes with a "Body" item, an item connected to one of them, and the body
// read back from the database (checked by the structure checker), and the
// messages shown while a method runs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform/types.h"

namespace chunkops_test {

// A body read back from the database: its record signatures and texts.
struct Body {
    std::string problem;                    // empty when well formed
    std::vector<std::uint16_t> signatures;
    std::vector<std::string> texts;         // the texts of its non-empty text runs
    std::vector<std::string> records;       // every record's bytes (host form)
    // The 16-bit word at offset of the n-th record (from 0) of a signature; 0
    // when there is none.
    std::uint16_t Word(std::uint16_t signature, std::size_t n, std::size_t offset) const;
    // True when some record's bytes hold the text.
    bool Holds(const std::string& text) const;
    std::size_t Count(std::uint16_t signature) const;
    std::string Joined() const;             // the texts joined by "|"
};

class ChunkTest : public ::testing::Test {
protected:
    ChunkTest();
    ~ChunkTest() override;

    // A new note; its "Body" item holds the records when any are given.
    plat::NOTEID NewNote(const std::vector<talix_test::FixtureRecord>& body = {});
    // item_ connected to the note's item (created blank when missing).
    void Open(plat::NOTEID id, const char* itemName = "Body");
    // A chunk of item_ (owned by the fixture).
    ZervaRTChunk* Chunk(const char* definition = "Everything");
    // Saves item_'s note.
    void Save();
    // The item of the note as stored in the database.
    Body Stored(plat::NOTEID id, const char* itemName = "Body") const;
    // The text of a chunk of item_: every run joined by separator.
    std::string TextOf(const char* definition, const char* separator = "|");

    talix_test::TempDir dir_;
    std::string path_;
    RARIvoSession session_;
    ZervaRTItem* item_ = nullptr;
    plat::NOTEID id_ = 0;
};

// The messages shown while a method runs, as the test support gathers them.
using talix_test::CollectMessage;
using talix_test::g_messages;

// Text runs of face 1 in the styles given ("" plain, "B" bold).
talix_test::FixtureRecord TextRun(const std::string& text, bool bold = false);
// A paragraph definition (id 1) and a reference to it.
std::vector<talix_test::FixtureRecord> ParagraphStart();

} // namespace chunkops_test
