// The pictures of every rich-text item of the exported notes: the key that
// names each one is the key the record reader keeps with it, and rendered
// with ImageHandling=DISK the item still gives valid markup while each
// picture's exported file holds what ExportGraphic writes of it.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/record_list.h"
#include "htmlgen/images.h"
#include "support/markup_validators.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

std::string Markup(ZervaRTChunk* chunk, const char* format, const std::string& options) {
    char* block = chunk->GenerateHTML(nullptr, format, options.c_str(), 0, nullptr, nullptr);
    if (block == nullptr) return "<none>";
    const std::string markup = plat::LmbcsToNative(std::string(block, chunk->session->textResultLength));
    talix::ZervaDeallocate(chunk->session, block);
    return markup;
}

TEST(GenerationRealData, PicturesKeepTheirKeysAndExportAsExportGraphicDoes) {
    talix_test::TempDir dir;
    const std::string path = dir.file("pictures.nsf");
    std::vector<talix_test::NoteItem> targets;
    ASSERT_EQ(talix_test::ImportRichTextItems(path, talix_test::SampleAndSharedDxlFiles(), true, &targets),
              plat::NOERROR);

    RARIvoSession session;
    int pictures = 0, exported = 0;
    for (const auto& [id, name] : targets) {
        ZervaRTItem item(&session);
        if (item.Connect("", path.c_str(), id, name.c_str(), 0) != 0) continue;
        std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
        ASSERT_NE(chunk, nullptr);
        const std::string where = "note " + std::to_string(id) + " item " + name;
        const std::string images = dir.file("images/" + std::to_string(id));
        const std::string options = "ImageHandling=DISK ImageDirectory=" + images;
        const std::string xhtml = Markup(chunk.get(), "XHTML", options);
        if (item.work == nullptr || item.work->current == nullptr) continue;
        std::string report;
        EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << where << "\n" << report;
        EXPECT_EQ(talix_test::TidyErrors(Markup(chunk.get(), "HTML", options), &report), 0) << where << "\n" << report;
        // Exporting the pictures keeps every text the default rendering has.
        EXPECT_EQ(talix_test::XhtmlBodyText(xhtml), talix_test::XhtmlBodyText(Markup(chunk.get(), "XHTML", "")))
            << where;

        // Every graphic, in order: its key, and its exported file (compared
        // once the walk over the records is done: an export may change them).
        const talix::ItemRecordList* list = item.work->current;
        std::vector<std::pair<int, std::string>> written;
        int number = 0;
        for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) {
            if (node->signature != talix::kSigGraphic) continue;
            ++number;
            ++pictures;
            const auto* kept = static_cast<const talix::GraphicExtra*>(talix::RecordExtra(node));
            ASSERT_NE(kept, nullptr) << where;
            const talix::OutputSegment* segment = list->firstSegment;
            while (segment != nullptr && segment->number != kept->segment) segment = segment->next;
            ASSERT_NE(segment, nullptr) << where;
            EXPECT_EQ(talix::GraphicNameKey(&item, segment, node), static_cast<std::uint16_t>(kept->key)) << where;
            char file[64];
            std::snprintf(file, sizeof file, "_%u_%x.", kept->segment, kept->key);
            for (const char* extension : {"gif", "jpg"}) {
                const std::string candidate = images + "/" + name + file + extension;
                if (std::filesystem::exists(candidate)) written.emplace_back(number, candidate);
            }
        }
        for (const auto& [graphicNumber, file] : written) {
            const std::string reference = dir.file("reference" + file.substr(file.size() - 4));
            std::filesystem::remove(reference);
            std::unique_ptr<ZervaRTChunk> graphic(item.DefineChunk(("Graphic " + std::to_string(graphicNumber)).c_str()));
            ASSERT_NE(graphic, nullptr);
            EXPECT_EQ(graphic->ExportGraphic(reference.c_str(), nullptr), 0) << where << " graphic " << graphicNumber;
            EXPECT_EQ(talix_test::ReadFile(file), talix_test::ReadFile(reference)) << where << " graphic " << graphicNumber
                                                                                   << " " << graphic->lastStatus;
            ++exported;
        }
    }
    EXPECT_GT(pictures, 0);
    EXPECT_GT(exported, 0);
}

} // namespace
