// Syncs a file's written data to the disk on a thread of its own while its
// writer goes on writing, so that little is left for the writer's own sync
// at the end. A disk with a write cache of its own makes that sync wait in
// proportion to all the data not yet flushed; syncing as the data comes
// spreads that wait over the time the writer spends making the data.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace talix {

class BackgroundSync {
public:
    // Syncs fd, which must stay open until Stop has returned. Throws
    // std::system_error when no thread can be started.
    explicit BackgroundSync(int fd);
    ~BackgroundSync();
    BackgroundSync(const BackgroundSync&) = delete;
    BackgroundSync& operator=(const BackgroundSync&) = delete;

    // Asks for a sync of what was written so far. Never waits: a request
    // made while a sync runs is served by one more sync after it.
    void Request();
    // Waits for the sync under way, if any (one only asked for is dropped:
    // the caller syncs the file itself), and ends the thread. Returns the
    // first error a sync met, 0 when none did: a failed write-back is told
    // to one sync only, so the caller's own sync may not see it again.
    int Stop();

private:
    void Run();

    int fd_;
    std::mutex mutex_;
    std::condition_variable wake_;
    unsigned long long asked_ = 0;   // requests made
    unsigned long long served_ = 0;  // requests a finished sync covered
    bool stopping_ = false;
    int error_ = 0;
    std::thread thread_;             // last: started once the rest is set
};

} // namespace talix
