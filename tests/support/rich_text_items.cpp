#include "support/rich_text_items.h"

#include <set>
#include <utility>
#include <vector>

#include "talix_platform.h"

namespace talix_test {

std::vector<std::string> RichTextItemNames(plat::NOTEHANDLE note) {
    std::set<std::string> names;
    plat::ItemScan(note, [&](plat::BLOCKID item) {
        char name[256] = {};
        plat::WORD type = 0;
        if (plat::ItemQuery(item, name, sizeof name, nullptr, &type, nullptr, nullptr) == plat::NOERROR &&
            type == plat::TYPE_COMPOSITE)
            names.insert(name);
        return plat::STATUS{plat::NOERROR};
    });
    return {names.begin(), names.end()};
}

plat::STATUS ImportRichTextItems(const std::string& path, const std::vector<std::filesystem::path>& files,
                                 bool withImageData, std::vector<NoteItem>* items) {
    plat::DBHANDLE db = 0;
    if (const plat::STATUS status = plat::DbCreate(path.c_str(), &db); status != plat::NOERROR) return status;
    for (const auto& file : files) {
        plat::DxlImportResult result;
        plat::DxlImportFile(db, file.string().c_str(), &result);
    }
    plat::DbScanNotes(db, [&](plat::NOTEID id, plat::WORD) {
        plat::NOTEHANDLE note = 0;
        if (plat::NoteOpen(db, id, 0, &note) != plat::NOERROR) return plat::STATUS{plat::NOERROR};
        for (std::string& name : RichTextItemNames(note))
            if (withImageData || name != "$ImageData") items->emplace_back(id, std::move(name));
        plat::NoteClose(note);
        return plat::STATUS{plat::NOERROR};
    });
    plat::DbClose(db);
    return plat::NOERROR;
}

} // namespace talix_test
