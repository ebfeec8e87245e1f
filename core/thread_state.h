// What the library keeps for each thread between the calls made on it, in
// one structure reached through ThisThread(). Each thread has its own, so
// that sessions on several threads do not change one another's; what it
// holds is freed when the thread ends.
//
// The switches are set where an operation starts (an item's construction
// and properties, the start of an operation run, the start of a sort) and
// read by the helpers of the same call; the rest is what a call leaves for
// the call that follows it on the same thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/statuses.h"
#include "talix_platform/types.h"

namespace talix {

// A file that an attached-file marker of an HTML import names: its own name
// and the name the note stores it under (both LMBCS).
struct MarkedFile {
    std::string file;
    std::string stored;
};

struct ThreadState {
    // The client preference of the item being worked on: 1 Notes client, 0
    // web client. Set by an item's construction, its ClientPreference
    // property and the start of every operation run; the colour and font
    // writers name colours by it.
    std::uint32_t clientPreference = 1;
    // While set, some messages of the database and design-note look-ups are
    // not shown. Copied from an item's SuppressMessages word.
    std::uint16_t suppressMessages = 0;
    // The switches of the table-row sort running on this thread
    // (core/sort_compare.h), set by SortKeys for the sort's length.
    std::uint32_t sortSwitches = 0;

    // The character-set text the last MIME body reading found, as option
    // words for the HTML import that follows (mime/mime_reading.h).
    char mimeCharsetText[64] = {};
    // The note ids the last view search copied and their count
    // (core/view_lookup.h); allocated by the search, freed by
    // FreeNoteIdArray or when the thread ends.
    plat::NOTEID* noteIds = nullptr;
    std::uint16_t noteIdCount = 0;
    // What the last MIME conversion could not store and its status
    // (mime/mime_reading.h).
    std::string filePartFailure;
    STATUS filePartFailureStatus = kOK;
    // The files the attached-file markers of the HTML import running name,
    // not yet taken by a marker (htmlimport/marked_files.h).
    std::vector<MarkedFile> markedFiles;

    ThreadState() = default;
    ThreadState(const ThreadState&) = delete;
    ThreadState& operator=(const ThreadState&) = delete;
    ~ThreadState();
};

// The calling thread's state.
ThreadState& ThisThread();

} // namespace talix
