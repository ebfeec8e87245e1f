// A file an output is written to, named by whoever asked for the output,
// and treated as that name deserves:
// - a regular file, or a name nothing has yet, is written under a temporary
//   name in its folder and renamed to its name only once all of it is
//   written: a failure leaves no file behind, and a file of that name as it
//   was; a file that is replaced keeps its permissions (and its owner when
//   the program runs as the superuser);
// - a regular file with more than one name (hard links), one that belongs to
//   another user, or one in a folder the program may not write in, is
//   written in place, so that every name and the folder stay as they are;
// - a symbolic link is followed, and what it leads to is treated by these
//   rules, the link staying a link;
// - anything else (a FIFO, a terminal, a device such as /dev/null, a link
//   into /proc such as /dev/stdout) is opened and written through, as a
//   shell's "> F" would.
// Temporary files are named "NAME.talix-PID-N.tmp"; one that a killed run
// left is removed by the next run that writes the same name.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace talix {

class BackgroundSync;

class ReplacingFile {
public:
    ReplacingFile();
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Opens the output for path with the mode ("w", "w+", "wb"); false
    // (errno set) when it cannot be opened. With "+" the caller may read
    // back what it wrote, also where the output is a FIFO or device: the
    // text is then gathered in an unnamed scratch file and passed on whole
    // when it is committed.
    bool Open(const std::string& path, const char* mode);
    std::FILE* file() const { return file_; }
    // Finishes the output: flushes and closes the file, and gives a
    // temporary file the path's name; false (errno set) when any of that
    // fails, and then no temporary file is left.
    bool Commit();
    // Has the disk start on what was written so far, without waiting for
    // it: a large output written in pieces is then mostly on the disk when
    // Commit syncs it (synced on a thread of its own, or where no thread
    // can be started, its write-back started). Does nothing for an output
    // that is not a regular file; a failed flush, or a failed sync, stays
    // for Commit to report.
    void StartWriteBack();
    // Closes the file and removes a temporary one (as the destructor does
    // when Commit was not called). What was written in place stays written.
    void Discard();

    enum class Way { kNone, kReplace, kInPlace, kThrough, kGathered };
    // How the output is being written (kNone when it is not open).
    Way way() const { return way_; }

private:
    bool OpenReplacing(const std::string& target, const char* mode);
    bool OpenDirect(const std::string& target, const char* mode, bool readBack, Way way);

    std::FILE* file_ = nullptr;
    Way way_ = Way::kNone;
    int through_ = -1;        // the FIFO or device a gathered output goes to
    int pending_ = -1;        // the temporary file's entry among the pending outputs
    std::string target_;      // the name a temporary file is renamed to
    std::string temporary_;
    long long writtenBack_ = 0;   // the bytes StartWriteBack has passed on
    std::unique_ptr<BackgroundSync> syncer_;   // syncs what StartWriteBack passed on
};

// Removes every temporary output file and folder this process has open.
// Safe to call from a signal handler: a program that ends on SIGINT or
// SIGTERM calls it from its handler so that no temporary file outlives it.
void RemovePendingOutputs();

// Records a file of the caller's to be removed by RemovePendingOutputs, and
// gives the entry back (ForgetPendingOutput) once the caller has dealt with
// the file. -1 when no entry is free (the file is then not removed on a
// signal).
int RememberPendingOutput(const char* path);
// The same for a folder of the caller's own: RemovePendingOutputs removes
// the files in it, then the folder.
int RememberPendingFolder(const char* path);
void ForgetPendingOutput(int entry);

} // namespace talix
