// Helpers shared by the item's own files (construction and saving,
// connecting), two of them also by the code that reads an item's stored
// items by name.
#pragma once

#include "core/font_spec.h"
#include "core/statuses.h"
#include "core/thread_state.h"
#include "talix_platform/types.h"

class ZervaRTItem;

namespace talix {

// The length of a name as the platform's item calls take it: its own
// length, at most 65,535 bytes.
plat::WORD NameLength(const char* name);

// True when the item's note holds an item of the item's name.
bool ItemStored(const ZervaRTItem* item);

// True when the note holds an item of the name (false for a null name).
bool ItemPresent(plat::NOTEHANDLE note, const char* name);

// True when the item can work: its session has its work area and the item
// has its work state.
bool ItemReady(const ZervaRTItem* item);

// Frees the item's current and output record lists (unwritten changes are
// lost).
void DropRecordLists(ZervaRTItem* item);

// Drops what ties the item to its note: the record lists (unwritten changes
// are lost), the note and database when the item opened them (items that
// borrowed them are disconnected first), both handles, the borrowed flag and
// the flags that mark a design element's body.
void ReleaseConnection(ZervaRTItem* item);

// Gives the item its default "Everything" chunk, reusing the one it has.
// Returns 0 or 263.
STATUS ResetDefaultChunk(ZervaRTItem* item);

// Keeps the thread's switches that constructing an item sets (the
// client preference and message suppression) and puts them back when it
// goes: helper items a method makes must not change them for its caller.
class KeptItemSwitches {
public:
    KeptItemSwitches() = default;
    ~KeptItemSwitches() {
        thread_.clientPreference = clientPreference_;
        thread_.suppressMessages = suppressMessages_;
    }
    KeptItemSwitches(const KeptItemSwitches&) = delete;
    KeptItemSwitches& operator=(const KeptItemSwitches&) = delete;

private:
    ThreadState& thread_ = ThisThread();
    std::uint32_t clientPreference_ = thread_.clientPreference;
    std::uint16_t suppressMessages_ = thread_.suppressMessages;
};

} // namespace talix
