// A fixture for tests of operations that rewrite an item: an item connected
// to a note built from host-form records, the operation run on a chunk, and
// the stored body read back (checked by the structure checker).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fixture_items.h"
#include "talix/item.h"
#include "talix/session.h"

class ZervaRTChunk;

namespace engine_test {

// One stored record read back.
struct Rec {
    std::uint16_t signature = 0;
    std::vector<std::uint8_t> bytes;
    std::uint16_t Word(std::size_t offset) const;
    std::string Text() const;   // a text run's text; empty for other records
};

// Host-form records for building items.
talix_test::FixtureRecord Definition(std::uint16_t id, std::uint16_t leftMargin = 1440);
talix_test::FixtureRecord ReferenceTo(std::uint16_t id);
talix_test::FixtureRecord Bracket(std::uint16_t signature, std::uint16_t inner);   // CDBEGIN or CDEND
// A hotspot begin of a type and flags with data.
talix_test::FixtureRecord Hotspot(std::uint16_t signature, std::uint16_t type, std::uint32_t flags,
                                  std::string_view data);
// A record of a signature and length with one word set.
talix_test::FixtureRecord With(std::uint16_t signature, std::uint32_t length, std::size_t offset = 0,
                               std::uint16_t word = 0);

std::vector<std::uint16_t> Signatures(const std::vector<Rec>& records);
std::vector<std::string> NonEmptyTexts(const std::vector<Rec>& records);
std::size_t Count(const std::vector<Rec>& records, std::uint16_t signature);

class EditTest : public ::testing::Test {
protected:
    // Connects the item to a new note holding the records and defines the
    // chunk (destroyed with the item).
    ZervaRTChunk* Open(const Records& records, const char* definition = "Everything");
    // Saves the note and reads its body back; the structure checker must
    // accept it.
    std::vector<Rec> Saved();

    FixtureDatabase db_;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    plat::NOTEID id_ = 0;
};

} // namespace engine_test
