#include "held_output.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace talix_cli {

namespace {

void Close(int* fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
}

int g_outputLost = 0;   // errno of a held standard output that could not be written out

// Copies what fd holds, from its start, to out; false (errno set) when out
// does not take all of it.
bool CopyOut(int fd, int out) {
    char buffer[65536];
    off_t at = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return got == 0;
        at += got;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put == 0) errno = EIO;
            if (put <= 0) return false;
            done += put;
        }
    }
}

} // namespace

int HeldOutput::Lost() { return g_outputLost; }

HeldOutput::HeldOutput() {
    std::fflush(stdout);
    std::fflush(stderr);
    for (int stream = 0; stream < 2; ++stream) {
        saved_[stream] = ::fcntl(stream + 1, F_DUPFD_CLOEXEC, 3);
        held_[stream] = ::memfd_create(stream == 0 ? "talix-output" : "talix-errors", MFD_CLOEXEC);
    }
    const bool ready = saved_[0] >= 0 && saved_[1] >= 0 && held_[0] >= 0 && held_[1] >= 0 &&
                       ::dup2(held_[0], 1) == 1 && ::dup2(held_[1], 2) == 2;
    if (ready) return;
    // Both go out as they are written.
    for (int stream = 0; stream < 2; ++stream) {
        if (saved_[stream] >= 0) ::dup2(saved_[stream], stream + 1);
        Close(&saved_[stream]);
        Close(&held_[stream]);
    }
}

void HeldOutput::KeepErrorsOnly() { Stop(true, false); }

void HeldOutput::Stop(bool write, bool writeOutput) {
    if (saved_[0] < 0) return;
    std::fflush(stdout);
    std::fflush(stderr);
    for (int stream = 0; stream < 2; ++stream) {
        ::dup2(saved_[stream], stream + 1);
        const bool written = write && (stream == 1 || writeOutput);
        if (written && !CopyOut(held_[stream], stream + 1) && stream == 0) g_outputLost = errno;
        Close(&saved_[stream]);
        Close(&held_[stream]);
    }
}

} // namespace talix_cli
