#include "note_items_picture.h"

#include <algorithm>
#include <functional>
#include <string_view>

namespace talix_cli {

namespace {

std::string Folded(std::string name) {
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name;
}

// A fingerprint of one value: its data type, flags, length and bytes.
std::size_t Print(plat::WORD flags, plat::WORD type, plat::BLOCKID value, plat::DWORD length) {
    std::size_t print = (static_cast<std::size_t>(flags) << 16 | type) ^ (static_cast<std::size_t>(length) << 32);
    const void* bytes = plat::BlockLock(value);
    if (bytes != nullptr) {
        print ^= std::hash<std::string_view>{}(std::string_view(static_cast<const char*>(bytes), length)) * 31;
        plat::BlockUnlock(value);
    }
    return print;
}

} // namespace

NoteItemsPicture NoteItemsPicture::Of(plat::NOTEHANDLE note) {
    NoteItemsPicture picture;
    plat::ItemScan(note, [&picture](plat::BLOCKID item) {
        char name[256] = {};
        plat::WORD flags = 0, type = 0;
        plat::BLOCKID value;
        plat::DWORD length = 0;
        if (plat::ItemQuery(item, name, sizeof name, &flags, &type, &value, &length) != plat::NOERROR)
            return plat::STATUS{plat::NOERROR};
        Values& values = picture.items_[Folded(name)];
        if (values.prints.empty()) values.name = name;
        values.prints.push_back(Print(flags, type, value, length));
        return plat::STATUS{plat::NOERROR};
    });
    return picture;
}

bool NoteItemsPicture::Stored(const std::string& dbPath, plat::NOTEID id, NoteItemsPicture* picture) {
    plat::DBHANDLE db = 0;
    if (plat::DbOpen(dbPath.c_str(), &db) != plat::NOERROR) return false;
    plat::NOTEHANDLE note = 0;
    const bool read = plat::NoteOpen(db, id, 0, &note) == plat::NOERROR;
    if (read) {
        *picture = Of(note);
        plat::NoteClose(note);
    }
    plat::DbClose(db);
    return read;
}

std::vector<std::string> NoteItemsPicture::ChangedSince(const NoteItemsPicture& earlier) const {
    std::vector<std::string> changed;
    for (const auto& [folded, values] : items_) {
        const auto was = earlier.items_.find(folded);
        if (was == earlier.items_.end() || was->second.prints != values.prints) changed.push_back(folded);
    }
    for (const auto& [folded, values] : earlier.items_)
        if (items_.count(folded) == 0) changed.push_back(folded);
    std::sort(changed.begin(), changed.end());
    return changed;
}

std::string NoteItemsPicture::NameOf(const std::string& folded) const {
    const auto found = items_.find(folded);
    return found != items_.end() ? found->second.name : folded;
}

std::vector<std::string> ItemsChangedByBoth(const NoteItemsPicture& before, const NoteItemsPicture& ours,
                                            const NoteItemsPicture& stored) {
    const std::vector<std::string> mine = ours.ChangedSince(before);
    const std::vector<std::string> theirs = stored.ChangedSince(before);
    std::vector<std::string> both;
    std::set_intersection(mine.begin(), mine.end(), theirs.begin(), theirs.end(), std::back_inserter(both));
    // Where both wrote the same values there is nothing to lose.
    const std::vector<std::string> differing = ours.ChangedSince(stored);
    std::vector<std::string> clashing;
    std::set_intersection(both.begin(), both.end(), differing.begin(), differing.end(), std::back_inserter(clashing));
    for (std::string& name : clashing) name = ours.NameOf(stored.NameOf(name));
    return clashing;
}

} // namespace talix_cli
