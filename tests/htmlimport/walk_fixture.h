// Imports of HTML as a caller makes them: AppendHTML into a new note's
// blank "Body" item, the note saved, and the item read back from the
// database, checked by the structure checker and listed record by record.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/font_spec.h"
#include "support/test_support.h"
#include "talix/session.h"
#include "talix_platform/types.h"

class ZervaRTChunk;
class ZervaRTItem;

namespace import_test {

// A record of the imported item (host form).
struct ItemRecord {
    std::uint16_t signature = 0;
    std::string bytes;
    std::uint16_t Word(std::size_t offset) const;
    std::uint32_t Dword(std::size_t offset) const;
    std::string Text() const;           // a text run's text
    talix::FontId Font() const;         // a text run's font
};

struct Imported {
    std::uint16_t status = 0;
    std::uint16_t errorWord = 0;
    plat::NOTEID note = 0;
    std::string problem;                 // the structure checker's finding, empty when well formed
    std::vector<ItemRecord> records;     // what follows the blank item's own records
    // The records in short: P paragraph, R<id> reference, D<id> definition,
    // 'text' a text run (<text> right to left), HR rule, B and E the begin
    // and end of a bracket, C<flags> a colour record, BORDER; blanks between.
    std::string Layout() const;
    // The non-empty text runs' texts joined by "|".
    std::string Texts() const;
    // The first text run holding exactly the text; fails the test when none.
    const ItemRecord& Run(const std::string& text) const;
    std::size_t Count(std::uint16_t signature) const;
};

// The layout with the line-break runs (one zero byte) shown as '~'.
std::string Shown(const Imported& imported);
// The paragraph definition of the id; null when there is none.
const ItemRecord* Definition(const Imported& imported, std::uint16_t id);
// The first record of the signature; null when there is none.
const ItemRecord* First(const Imported& imported, std::uint16_t signature);

class WalkTest : public ::testing::Test {
protected:
    WalkTest();
    // A new note of the database.
    plat::NOTEID NewNote();
    // A new note holding a file of the test's directory, attached as name
    // (the file is written with a few bytes first).
    plat::NOTEID NoteWithAttachment(const std::string& name);
    // Appends the HTML (UTF-8) to the note's body (created blank; a new note
    // when none is given) and saves the note (unless the import failed).
    Imported Import(const std::string& html, const char* options = nullptr, plat::NOTEID note = 0);
    // The text of the note's body as GetText reads it, line ends as "\n".
    std::string BodyText(plat::NOTEID note);
    // The whole HTML the note's body is written as.
    std::string BodyHtml(plat::NOTEID note);

    talix_test::TempDir dir_;
    std::string path_;
    RARIvoSession session_;
    // Called with the item the HTML goes into and the chunk that appends it,
    // before the HTML is appended.
    std::function<void(ZervaRTItem*, ZervaRTChunk*)> beforeImport_;
};

} // namespace import_test
