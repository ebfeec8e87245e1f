#include "core/background_sync.h"

#include <unistd.h>

#include <cerrno>

namespace talix {

BackgroundSync::BackgroundSync(int fd) : fd_(fd), thread_([this] { Run(); }) {}

BackgroundSync::~BackgroundSync() { Stop(); }

void BackgroundSync::Request() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++asked_;
    }
    wake_.notify_one();
}

int BackgroundSync::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    return error_;
}

void BackgroundSync::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || asked_ != served_; });
        if (stopping_) return;
        const unsigned long long covered = asked_;
        lock.unlock();
        const int error = ::fdatasync(fd_) == 0 ? 0 : errno;
        lock.lock();
        if (error != 0 && error_ == 0) error_ = error;
        served_ = covered;
    }
}

} // namespace talix
