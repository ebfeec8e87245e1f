// Helpers of the MIME writer's tests: notes built from host-form records
// (with attachments), the item connected to them, and messages read back by
// Python's email package.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "graphic_fixtures.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace mime_test {

using engine_test::Records;
using graphic_test::Bytes;

// One part of a message as the email package reads it.
struct ReadPart {
    std::string path;       // "0", "0.1", "0.1.2" ...
    std::string type;       // "text/html"
    std::string id;         // the Content-ID header as it stands
    std::string filename;
    std::string payload;    // the decoded payload of a leaf part
    // A text part's content as the package decodes it in the set its header
    // names (UTF-8); textRead false when it cannot.
    std::string text;
    bool textRead = false;
};

struct ReadMessage {
    bool read = false;      // the reader ran and gave an answer
    std::vector<std::pair<std::string, std::string>> headers;   // top level, in order
    std::vector<std::pair<std::string, std::string>> decoded;   // the same as the package reads them
    std::vector<std::string> defects;
    std::vector<ReadPart> parts;

    std::vector<std::string> HeaderNames() const;
    // The value of the first header of the name ("" when none).
    std::string Header(const std::string& name) const;
    // The value of the first header of the name as the package reads it:
    // encoded words decoded, an address field as "display <address>"
    // entries joined by " | " ("" when none).
    std::string Decoded(const std::string& name) const;
    // The parts of a content type.
    std::vector<const ReadPart*> Parts(const std::string& type) const;
};

// Reads a message file with Python's email package.
ReadMessage ReadMessageFile(const std::string& path);
// Reads several at once (one run of the package).
std::vector<ReadMessage> ReadMessageFiles(const std::vector<std::string>& paths);

// Checks messages as a mail reader takes them (check_messages.py): each
// pair is a message file and the file of the item's HTML as the generation
// writes it without line cutting ("-" for none); forbidden names headers
// that must not be there. Returns the problems, "FILE: TEXT" each; a
// failure of the checker itself is a problem too.
std::vector<std::string> CheckMessages(const std::vector<std::pair<std::string, std::string>>& pairs,
                                       const std::vector<std::string>& forbidden, const std::string& listFile);

// The rich-text items of the real exported notes (the project's samples,
// with the shared set when it is present) imported into a new database at
// path; a failed import or no item at all fails the test.
std::vector<talix_test::NoteItem> ImportRealItems(const std::string& path);

// Compares the words a mail reader shows of each message's text/html part
// with those of the page `talix html` gives for the item
// (compare_visible_text.py): each pair is a message file and that page's
// file (UTF-8). Returns the problems, "FILE: TEXT" each.
std::vector<std::string> CompareVisibleText(const std::vector<std::pair<std::string, std::string>>& pairs,
                                            const std::string& listFile);

// Writes the item's HTML as the generation gives it without cutting lines
// (the text the message's HTML part comes from), in the native character
// set, into the file; false when it cannot. options: more generation
// options.
bool WriteUncutHtml(ZervaRTItem* item, const std::string& path, const std::string& options = "");

// Sends the item's note as mail with "UseMailFields=Yes" after putting a
// header line behind a line end in each of its mail items (the note in
// memory only): writes the message to path and returns the item's status.
std::uint16_t ExportWithInjectedHeaders(ZervaRTItem* item, const std::string& path);
// The header names ExportWithInjectedHeaders tries to add.
const std::vector<std::string>& InjectedHeaderNames();

// The records of a JPEG picture (begin, graphic, header, segment, end).
Records JpegPicture(const Bytes& jpeg, std::uint16_t width, std::uint16_t height);
// A GIF of 1 x 1 pixels that browsers and image readers decode.
extern const Bytes kOnePixelGif;
// A table label that shows a tab.
talix_test::FixtureRecord TableTab();
// A paragraph definition of a check list with a checked (or unchecked) box.
talix_test::FixtureRecord CheckList(bool checked);
// A text run, then the number of small GIF pictures (of 24 to 30 bytes).
Records ManyPictures(int count);
// A file hotspot naming an attachment and the file it came from, with a
// text run inside.
Records FileHotspot(const std::string& attachment, const std::string& fileName);

// A test with a database, a note built from records and the item "Body"
// connected to it.
class MimeTest : public testing::Test {
protected:
    // The session's temporary folder is the test's own: the files a
    // conversion extracts there (attachments under their own names) are
    // neither shared with other tests running at once nor blocked by files
    // another user left in the system's folder.
    MimeTest();
    ~MimeTest() override;
    // Stores the records as "Body" of a new note with the attachments
    // (stored name, content) and connects item_ to it.
    void Store(const Records& records, const std::vector<std::pair<std::string, std::string>>& attachments = {});
    // ExportToMIME into a file of the test's folder; returns its path.
    std::string Export(const std::string& options = "", const std::string& htmlOptions = "",
                       const std::string& name = "out.eml");
    // The stored values (data-type word first) of the items of a name, as
    // the open note holds them, or as the database holds them (stored).
    std::vector<std::string> Values(const char* name) const;
    std::vector<std::string> StoredValues(const char* name) const;
    // The text of a text item of the open note.
    std::string Text(const char* name) const;

    talix_test::TempDir dir_;
    talix_test::TempDir temporary_;
    std::string path_ = dir_.file("mime.nsf");
    plat::NOTEID noteId_ = 0;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
};

} // namespace mime_test
