// The import entry points with their statuses and options, and the import
// record list with its hand-on to the item.
#include <cstring>
#include <string>
#include <vector>

#include "builders/append_gate.h"
#include "core/chunk_work_state.h"
#include "core/record_forms.h"
#include "htmlimport/import_options.h"
#include "htmlimport/import_sink.h"
#include "import_fixture.h"
#include "talix/chunk.h"
#include "talix_platform.h"

namespace {

using import_test::ImportTest;

// A text run of a text, in host form.
std::string TextRun(const std::string& text) {
    std::string record(8 + text.size(), '\0');
    auto* bytes = reinterpret_cast<std::uint8_t*>(record.data());
    talix::WriteWord(bytes, 0xFF85);
    talix::WriteWord(bytes + 2, static_cast<std::uint16_t>(record.size()));
    bytes[4] = 1;
    bytes[7] = 10;
    std::memcpy(bytes + 8, text.data(), text.size());
    return record;
}

class ImportEntries : public ImportTest {
protected:
    std::uint16_t Text(const char* html, const char* options = nullptr) {
        context_->errorWord = 0;
        return talix::ImportHTMLText(html, 0, options, context_.get(), nullptr, 0);
    }
    std::uint16_t Add(const std::string& record) {
        return talix::AddImportRecord(record.data(), talix::ReadWord(reinterpret_cast<const std::uint8_t*>(record.data())),
                                      static_cast<std::uint32_t>(record.size()), import_.get());
    }
    std::vector<std::string> OutputTexts() const {
        std::vector<std::string> texts;
        for (const talix::CDRecordNode* node = item_.work->output->head; node != nullptr; node = node->next)
            if (node->signature == 0xFF85) texts.emplace_back(reinterpret_cast<char*>(node->bytes) + 8, node->length - 8);
        return texts;
    }
};

TEST_F(ImportEntries, StatusesOfTheThreeEntries) {
    EXPECT_EQ(Text("<p>x</p>"), 0);
    // Warnings alone (no doctype, no title) import.
    EXPECT_EQ(Text("<p>x<b>y</p>"), 0);
    EXPECT_EQ(OutputTexts(), (std::vector<std::string>{"", "x", "", "x", "y"}));
    // The failures add no record.
    std::vector<std::uint16_t> before = OutputSignatures();
    EXPECT_EQ(Text(nullptr), talix::kNoHtmlInput);
    EXPECT_EQ(context_->errorWord, talix::kErrImportFileMissing);
    // A parse error imports nothing.
    EXPECT_EQ(Text("<p>x<!-- y</p>"), talix::kHtmlTreeLost);
    EXPECT_EQ(context_->errorWord, 0);
    EXPECT_EQ(Text("<img src=\"http://h/a.gif\">"), talix::kRenderingSkipped);
    EXPECT_EQ(OutputSignatures(), before);
    EXPECT_EQ(context_->output.collector.owner, nullptr);

    EXPECT_EQ(talix::ImportHTMLFile(WriteFile("a.htm", "<p>x</p>").c_str(), nullptr, context_.get()), 0);
    before = OutputSignatures();
    context_->errorWord = 0;
    EXPECT_EQ(talix::ImportHTMLFile(dir_.file("none.htm").c_str(), nullptr, context_.get()), talix::kNoHtmlInput);
    EXPECT_EQ(context_->errorWord, talix::kErrImportFileMissing);
    EXPECT_EQ(talix::ImportHTMLFile(WriteFile("b.htm", "<!-- x").c_str(), nullptr, context_.get()),
              talix::kHtmlTreeLost);
    context_->errorWord = 0;
    EXPECT_EQ(talix::ImportHTMLFromItem(nullptr, nullptr, nullptr, context_.get()), talix::kNoHtmlInput);
    EXPECT_EQ(context_->errorWord, talix::kErrImportFileMissing);
    EXPECT_EQ(OutputSignatures(), before);
    talix::ItemRecordList* list = MakeList({import_test::Text("<p>x</p>")});
    EXPECT_EQ(talix::ImportHTMLFromItem(list, nullptr, "Size1=6", context_.get()), 0);
    // The item import starts its paragraph templates afresh.
    EXPECT_EQ(talix::ReadWord(context_->output.importParagraphTemplates[2] + 14), 1440);
    EXPECT_EQ(context_->output.collector.owner, nullptr);
    EXPECT_EQ(OutputTexts().back(), "x");

    // Parse only: the caller's context keeps the tree until it releases it.
    talix::HTMLImportContext trial;
    EXPECT_EQ(talix::ImportHTMLText("<p>t</p>", 0, "Charset=latin1", context_.get(), &trial, 1), 0);
    ASSERT_NE(trial.document, nullptr);
    EXPECT_STREQ(trial.optionText, "Charset=latin1");
    EXPECT_EQ(talix::ImportHTMLText("<img src=x.gif>", 0, nullptr, context_.get(), &trial, 1),
              talix::kRenderingSkipped);
    EXPECT_EQ(trial.document, nullptr);
    EXPECT_EQ(talix::ImportHTMLText("<p>u</p>", 0, nullptr, context_.get(), &trial, 1), 0);
    talix::ReleaseImportContext(&trial, context_.get());
    EXPECT_EQ(trial.document, nullptr);
}

TEST_F(ImportEntries, OptionsAndTheirDefaults) {
    talix::HTMLImportContext* import = import_.get();
    ASSERT_EQ(talix::ReadCommonImportOptions(import, context_.get(), nullptr), 0);
    ASSERT_EQ(talix::ReadEntryImportOptions(import, nullptr, talix::ImportSource::kText), 0);
    EXPECT_EQ(std::vector<int>(import->htmlFontSizes, import->htmlFontSizes + 7),
              (std::vector<int>{8, 10, 12, 14, 18, 24, 32}));
    EXPECT_STREQ(import->localResourcePrefix, "/images/");
    EXPECT_STREQ(import->imageView, "$QVIV");
    EXPECT_STREQ(import->replicaIDOption, "");
    EXPECT_STREQ(import->blankAltText, "*");
    EXPECT_EQ(import->autoAttachFiles, 1u);
    EXPECT_EQ(import->resolveDoclinks + import->resolveLocalResources + import->allowZeroSize, 0u);
    EXPECT_EQ(import->resourceDatabase, item_.databaseHandle);
    EXPECT_EQ(item_.work->textTemplate[7], 10);

    import_ = NewImport();
    import = import_.get();
    const char* editor = "Duzuvore=FCKeditor Size3=20 AutoAttachFiles=No BasePathname='c:\\a\\b'";
    ASSERT_EQ(talix::ReadCommonImportOptions(import, context_.get(), editor), 0);
    ASSERT_EQ(talix::ReadEntryImportOptions(import, editor, talix::ImportSource::kText), 0);
    EXPECT_STREQ(import->localResourcePrefix, "/FCKeditor/");
    EXPECT_EQ(import->resolveDoclinks, 1u);
    EXPECT_EQ(import->resolveLocalResources, 1u);
    EXPECT_EQ(import->htmlFontSizes[2], 20);
    EXPECT_EQ(import->autoAttachFiles, 0u);
    EXPECT_STREQ(import->basePath, "c:/a/b");
    ASSERT_EQ(talix::ReadEntryImportOptions(import, "Duzuvore=x ResolveDoclinks=NO", talix::ImportSource::kItem), 0);
    EXPECT_EQ(import->resolveDoclinks, 0u);

    // A resource database that opens gives its replica id and view.
    plat::IniSet("Directory", dir_.path().string().c_str());
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbCreate(dir_.file("res.nsf").c_str(), &db), 0);
    plat::DbClose(db);
    import_ = NewImport();
    import = import_.get();
    ASSERT_EQ(talix::ReadCommonImportOptions(import, context_.get(), "DBResource=/res.nsf"), 0);
    EXPECT_STREQ(import->resourceDatabasePath, "/res.nsf");
    EXPECT_NE(import->resourceDatabase, item_.databaseHandle);
    EXPECT_STREQ(import->imageView, "/res.nsf/$QVIV");
    EXPECT_EQ(std::strlen(import->replicaIDOption), 26u);
    talix::ReleaseImportContext(import, context_.get());
    EXPECT_EQ(import->resourceDatabase, item_.databaseHandle);
    // One that does not open leaves the item's database.
    ASSERT_EQ(talix::ReadCommonImportOptions(import, context_.get(), "DBResource=/none.nsf ImageView=V"), 0);
    EXPECT_EQ(import->resourceDatabasePath, nullptr);
    EXPECT_EQ(import->resourceDatabase, item_.databaseHandle);
    EXPECT_STREQ(import->imageView, "V");
    plat::IniSet("Directory", "");

    // Base paths of files: the last backslash wins, else the last slash.
    talix::SetBasePathFromFile(import, "c:\\dir/x.htm");
    EXPECT_STREQ(import->basePath, "c:\\");
    talix::SetBasePathFromFile(import, "dir/sub/x.htm");
    EXPECT_STREQ(import->basePath, "dir/sub/");
    talix::SetBasePathFromFile(import, "x.htm");
    EXPECT_STREQ(import->basePath, "");

    // A long option string gets room to spare.
    const std::string options(801, 'o');
    import_ = NewImport();
    ASSERT_EQ(talix::CopyImportOptionText(import_.get(), options.c_str(), talix::ImportSource::kText), 0);
    EXPECT_EQ(import_->optionTextSize, 801u + 201u);
    import_ = NewImport();
    ASSERT_EQ(talix::CopyImportOptionText(import_.get(), options.c_str(), talix::ImportSource::kItem), 0);
    EXPECT_EQ(import_->optionTextSize, 801u + 1401u);
    EXPECT_EQ(std::string(import_->optionText), options + " indent");
}

// A path option longer than the room kept for it is refused by every entry,
// with a message naming the option and its room, and nothing imported; one
// that fits is kept whole.
TEST_F(ImportEntries, PathOptionsLongerThanTheirRoomAreRefusedNotCut) {
    const std::string fits = "/" + std::string(510, 'd');
    const std::string over = fits + "d";
    const std::vector<std::uint16_t> before = OutputSignatures();
    auto refused = [&](const std::string& options, const char* key) {
        SCOPED_TRACE(key);
        plat::LogClearRecent();
        EXPECT_EQ(Text("<p>x</p>", options.c_str()), talix::kArgumentError);
        EXPECT_EQ(talix::ImportHTMLFile(WriteFile("p.htm", "<p>x</p>").c_str(), options.c_str(), context_.get()),
                  talix::kArgumentError);
        talix::ItemRecordList* list = MakeList({import_test::Text("<p>x</p>")});
        EXPECT_EQ(talix::ImportHTMLFromItem(list, nullptr, options.c_str(), context_.get()), talix::kArgumentError);
        EXPECT_EQ(OutputSignatures(), before);
        bool logged = false;
        for (const plat::LogEntry& entry : plat::LogRecent())
            logged = logged ||
                     entry.text.find(std::string("the option ") + key + " is longer than the") != std::string::npos;
        EXPECT_TRUE(logged);
    };
    refused("BasePathname='" + over + "'", "BasePathname=");
    refused("ImageView=" + over, "ImageView=");
    // Without a view the resource database's path makes it, "/$QVIV" added.
    refused("DBResource=" + fits.substr(5), "DBResource=");
    refused("LocalResourcePrefix=" + std::string(9000, 'p'), "LocalResourcePrefix=");

    talix::HTMLImportContext* import = import_.get();
    ASSERT_EQ(talix::ReadCommonImportOptions(import, context_.get(), ("ImageView=" + fits).c_str()), 0);
    EXPECT_EQ(import->imageView, fits);
    ASSERT_EQ(talix::ReadEntryImportOptions(import, ("BasePathname=" + fits).c_str(), talix::ImportSource::kItem), 0);
    EXPECT_EQ(import->basePath, fits);
}

TEST_F(ImportEntries, RecordsAreHandedOnInOrderAtTheirInsertionPoints) {
    ASSERT_EQ(Add(TextRun("A")), 0);
    ASSERT_EQ(Add(TextRun("B")), 0);
    import_->insertAfter = import_->listHead;
    ASSERT_EQ(Add(TextRun("X")), 0);
    ASSERT_EQ(Add(TextRun("Yz")), 0);
    EXPECT_EQ(import_->insertAfter, import_->lastAdded);
    EXPECT_EQ(import_->listTail->bytes[8], 'B');
    // An odd record keeps its length and gets a zero pad byte.
    EXPECT_EQ(import_->lastAdded->length, 10u);
    import_->insertAfter = nullptr;
    ASSERT_EQ(Add(TextRun("odd")), 0);
    EXPECT_EQ(import_->listTail->length, 11u);
    EXPECT_EQ(import_->listTail->bytes[11], 0);

    item_.autoMergeText = 1;
    talix::AttachImport(&context_->output, import_.get());
    EXPECT_EQ(talix::HandOnImportRecords(context_.get(), import_.get()), 0);
    EXPECT_EQ(OutputTexts(), (std::vector<std::string>{"A", "X", "Yz", "B", "odd"}));
    EXPECT_EQ(item_.autoMergeText, 0);
    EXPECT_EQ(context_->output.collector.owner, nullptr);
    EXPECT_EQ(import_->listHead, nullptr);
    EXPECT_EQ(talix::HandOnImportRecords(context_.get(), import_.get()), 0);   // nothing more

    // A record the gate refuses (larger than an output segment) is reported;
    // the others still land, and the conversion reports it even when the
    // parser counted warnings.
    ASSERT_EQ(Add(std::string(70000, 'x')), 0);
    ASSERT_EQ(Add(TextRun("after")), 0);
    EXPECT_EQ(talix::HandOnImportRecords(context_.get(), import_.get()), talix::kHtmlTreeLost);
    EXPECT_EQ(import_->handOnStatus, talix::kHtmlTreeLost);
    EXPECT_EQ(OutputTexts().back(), "after");
    import_->parseWarnings = 3;
    EXPECT_EQ(talix::ConvertHTMLTreeToRichText("indent", context_.get(), import_.get()), talix::kHtmlTreeLost);
}

TEST_F(ImportEntries, AChunkFreesItsInlineImagesAndStyleSheet) {
    ZervaRTChunk* chunk = item_.DefineChunk("Everything");
    ASSERT_NE(chunk, nullptr);
    for (int i = 0; i < 3; ++i) {
        auto* image = new talix::MIMEInlineImage();
        image->data = static_cast<std::uint8_t*>(std::malloc(16));
        image->length = 16;
        image->contentId = strdup("part@x");
        image->next = chunk->work->inlineImages;
        chunk->work->inlineImages = image;
    }
    chunk->work->styleSheetText = strdup("p{color:red}");
    delete chunk;   // the sanitizers' leak check holds the rest
}

} // namespace
