// A fixture for tests of operations that rewrite an item: an item connected
// to a note built from host-form records, operations run on its chunks, and
// the stored body read back (checked by the structure checker).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fixture_items.h"
#include "support/op_runner.h"
#include "talix/item.h"
#include "talix/session.h"

class ZervaRTChunk;

namespace engine_test {

// One stored record read back.
struct Rec {
    std::uint16_t signature = 0;
    std::vector<std::uint8_t> bytes;
    // The fields at an offset; 0 where they would run past the record.
    std::uint16_t Word(std::size_t offset) const;
    std::uint32_t Dword(std::size_t offset) const;
    double Double(std::size_t offset) const;
    std::string Text() const;   // a text run's text; empty for other records
    // The text at textAt whose length word lies at lengthAt; "<cut>" when
    // it runs past the record.
    std::string Text(std::size_t lengthAt, std::size_t textAt) const;
};

// Reads an item of a note through the record reader into *records. Returns
// "" when the item is read to its end (and, with checkStructure, the
// structure checker accepts it); "<unreadable>" when it does not connect or
// is not read to its end (the records read are kept); else the checker's
// complaint.
std::string ReadItemRecords(const std::string& path, plat::NOTEID id, const char* name, bool checkStructure,
                            std::vector<Rec>* records);

// Host-form records for building items.
talix_test::FixtureRecord Definition(std::uint16_t id, std::uint16_t leftMargin = 1440);
talix_test::FixtureRecord ReferenceTo(std::uint16_t id);
talix_test::FixtureRecord Bracket(std::uint16_t signature, std::uint16_t inner);   // CDBEGIN or CDEND
// A hotspot begin of a type and flags with data.
talix_test::FixtureRecord Hotspot(std::uint16_t signature, std::uint16_t type, std::uint32_t flags,
                                  std::string_view data);
// A file hotspot naming an attachment: type 4, its data the name twice.
talix_test::FixtureRecord FileHotspot(const std::string& name);
// A record of a signature and length with one word set.
talix_test::FixtureRecord With(std::uint16_t signature, std::uint32_t length, std::size_t offset = 0,
                               std::uint16_t word = 0);

// The signatures of the records from from up to (not including) to.
std::vector<std::uint16_t> Signatures(const std::vector<Rec>& records, std::size_t from = 0,
                                      std::size_t to = SIZE_MAX);
std::vector<std::string> NonEmptyTexts(const std::vector<Rec>& records);
std::size_t Count(const std::vector<Rec>& records, std::uint16_t signature);

class EditTest : public ::testing::Test {
protected:
    // Connects the item to a new note holding the records and defines the
    // chunk (destroyed with the item).
    ZervaRTChunk* Open(const Records& records, const char* definition = "Everything");
    // Runs an operation on a new chunk of the item (gone after the run);
    // returns its status.
    std::uint16_t Run(const char* definition, const talix_test::Operation& operation,
                      std::uint32_t appendAtEnd = 1);
    // The text of a chunk of the item, its runs joined.
    std::string TextOf(const char* definition);
    // Saves the note and reads its body back; the structure checker must
    // accept it.
    std::vector<Rec> Saved();

    FixtureDatabase db_;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    plat::NOTEID id_ = 0;
};

} // namespace engine_test
