// Controls of the stand-in that only tests and the host use.
#include <atomic>
#include <csignal>
#include <mutex>

#include "notes_internal.h"
#include "talix_platform/log.h"
#include "testing.h"

namespace plat {

namespace {

std::atomic<int> g_failUpdateAfterItems{-1};
std::atomic<DWORD> g_designUpdateCalls{0};
std::atomic<DWORD> g_profileCalls{0};
std::atomic<DWORD> g_notesOpened{0};
std::atomic<bool> g_readOnlyKeptValues{false};

} // namespace

void TestFailUpdateAfterItems(int afterItems) { g_failUpdateAfterItems.store(afterItems < 0 ? -1 : afterItems); }

int TakeInjectedUpdateFault() { return g_failUpdateAfterItems.exchange(-1); }

void TestKillPoint() {
    static std::atomic<LONG> written{0};
    LONG at = IniGetInt("TestKillAtNoteWrite");
    if (at > 0 && ++written >= at) ::raise(SIGKILL);
}

void TestReadOnlyKeptValues(bool on) { g_readOnlyKeptValues.store(on); }
bool ReadOnlyKeptValues() { return g_readOnlyKeptValues.load(); }

DWORD TestDesignUpdateCalls() { return g_designUpdateCalls.load(); }
DWORD TestProfileCalls() { return g_profileCalls.load(); }
void CountDesignUpdateCall() { ++g_designUpdateCalls; }
void CountProfileCall() { ++g_profileCalls; }
DWORD TestNotesOpened() { return g_notesOpened.load(); }
void CountNoteOpened() { ++g_notesOpened; }

DWORD TestOpenDatabases() {
    std::lock_guard<std::recursive_mutex> lock(StorageMutex());
    return Databases().Count();
}

DWORD TestOpenNotes() {
    std::lock_guard<std::recursive_mutex> lock(StorageMutex());
    return Notes().Count();
}

} // namespace plat
