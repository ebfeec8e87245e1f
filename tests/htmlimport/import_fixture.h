// What the HTML import tests share: an item of a note of its own with an
// operation context writing into it, a fresh import context, record lists
// built from texts, and a compact form of a parsed tree.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/item_work_state.h"
#include "engine/record_process.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"

namespace import_test {

// A record of a list under test: a signature and, for text runs, the text.
struct ListRecord {
    std::uint16_t signature = 0;
    std::string text;
};
ListRecord Text(const std::string& text);
ListRecord Paragraph();
ListRecord Bare(std::uint16_t signature);   // an 8-byte record with nothing after its header

// The tree below a node in a compact form: elements as name[attr=value
// ...](children), text as 'text', comments as <!text>, sections as
// <![text]>, children separated by blanks.
std::string Dump(const talix::HtmlDocument& document, const talix::HtmlNode* node);
// The body element of a parsed document, or null.
const talix::HtmlNode* Body(const talix::HtmlDocument& document);

class ImportTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A fresh import context on the session.
    std::unique_ptr<talix::HTMLImportContext> NewImport();
    // Parses a buffer with the buffer driver (the import options given) and
    // returns the status; the tree stays in import_.
    std::uint16_t ParseBuffer(const std::string& html, const char* options = nullptr);
    // The body of import_'s tree in compact form.
    std::string BodyDump() const;

    // A record list of the records, freed at tear-down.
    talix::ItemRecordList* MakeList(const std::vector<ListRecord>& records);
    // The texts of a list's text runs, and "P", "B", "E" for paragraph,
    // HTML-begin and HTML-end records.
    static std::vector<std::string> ListContent(talix::ItemRecordList* list);

    // The records the operation's output holds, as signatures.
    std::vector<std::uint16_t> OutputSignatures() const;
    std::string WriteFile(const std::string& name, const std::string& content) const;

    talix_test::TempDir dir_;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    std::unique_ptr<talix::RecordProcessContext> context_ = std::make_unique<talix::RecordProcessContext>();
    std::unique_ptr<talix::HTMLImportContext> import_;
    std::vector<talix::ItemRecordList*> lists_;
};

} // namespace import_test
