// Standard output and error held back while an attempt at a change runs:
// written out when the attempt stands, dropped when it is made again, so
// that what a command prints appears once.
#pragma once

namespace talix_cli {

class HeldOutput {
public:
    // Starts holding both (in memory); when that cannot be done, nothing is
    // held and the output goes out as it is written.
    HeldOutput();
    // Writes out what is still held.
    ~HeldOutput() { Keep(); }
    HeldOutput(const HeldOutput&) = delete;
    HeldOutput& operator=(const HeldOutput&) = delete;

    // Stops holding and writes out what was held.
    void Keep() { Stop(true); }
    // Stops holding and forgets what was held.
    void Drop() { Stop(false); }
    // Stops holding, forgets what standard output held and writes out what
    // standard error held: the output of a run whose changes did not land
    // goes, its messages stay.
    void KeepErrorsOnly();

    // The errno of a standard output that was held and could not be written
    // out in full, 0 when none was lost.
    static int Lost();

private:
    void Stop(bool write, bool writeOutput = true);

    int saved_[2] = {-1, -1};   // the standard output and error held back
    int held_[2] = {-1, -1};    // what holds their output meanwhile
};

} // namespace talix_cli
