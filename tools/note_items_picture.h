// What the items of a note hold at one moment, kept as a fingerprint per
// item name: a command that lets formulas run between reading a note and
// saving it compares the note as it read it, as it is about to save it and
// as another writer (such a formula, through the formula driver) stored it
// meanwhile, to find the items both of them changed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "talix_platform.h"

namespace talix_cli {

class NoteItemsPicture {
public:
    // The items of an open note (names compared without regard to case).
    static NoteItemsPicture Of(plat::NOTEHANDLE note);
    // The items of the note id as the database holds it now; false when the
    // note cannot be read (deleted: the save that follows says so).
    static bool Stored(const std::string& dbPath, plat::NOTEID id, NoteItemsPicture* picture);

    // The folded names of the items whose values differ from those of
    // earlier (or that only one of the two holds), sorted.
    std::vector<std::string> ChangedSince(const NoteItemsPicture& earlier) const;
    // A folded name as the note names the item (in LMBCS).
    std::string NameOf(const std::string& folded) const;

private:
    struct Values {
        std::string name;                 // as the note names it
        std::vector<std::size_t> prints;  // one per value of the name, in order
    };
    std::map<std::string, Values> items_;  // by folded name
};

// The names (in LMBCS) of the items that both ours and stored changed since
// before, differently: saving ours would put its values over those the other
// writer stored.
std::vector<std::string> ItemsChangedByBoth(const NoteItemsPicture& before, const NoteItemsPicture& ours,
                                            const NoteItemsPicture& stored);

} // namespace talix_cli
