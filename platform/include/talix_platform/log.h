// The platform log, the host's message callback, status texts and notes.ini.
#pragma once

#include <string>
#include <vector>

#include "talix_platform/types.h"

namespace plat {

// ---- Log ----------------------------------------------------------------

// Writes one formatted line to the platform log, with a status (0 = none).
// Never fails. Each line goes to standard error with a time stamp (or to the
// file named by notes.ini "LogFile", or nowhere when "LogFile=none") and is
// kept in memory.
TPLAT_API void LogLine(STATUS status, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

struct LogEntry {
    std::string text;
    STATUS status = 0;
};

// The last lines written (at most 1,000), oldest first; for tests.
TPLAT_API std::vector<LogEntry> LogRecent();
TPLAT_API void LogClearRecent();
// Turns echoing to standard error off or on (on by default); the lines are
// kept in memory either way.
TPLAT_API void LogSetEcho(bool echo);

// ---- Host message callback -----------------------------------------------

// The host's message-display procedure: a text and a code (the system always
// passes 6). None is registered by default; then nothing is shown.
using MessageProc = void (*)(const char* text, WORD code);

constexpr WORD HOST_PROC_MESSAGE = 3;

// Returns the host procedure for a selector (3: the message procedure), or
// null when none is registered.
TPLAT_API MessageProc HostProcedure(WORD selector);
// Registered by whoever plays the host (the talix program, a test).
TPLAT_API void RegisterMessageProc(MessageProc proc);

// ---- Status texts ---------------------------------------------------------

// Writes the text of a status (masked with 0x3fff) into buf, cut to fit limit
// bytes including the terminator. Returns the length written.
TPLAT_API WORD StatusText(STATUS status, char* buf, WORD limit);

// ---- notes.ini ------------------------------------------------------------

// The integer value of a variable, 0 when unset or not a number.
TPLAT_API LONG IniGetInt(const char* name);
// Copies the value into buf (cut to limit bytes including the terminator).
// Returns true when the variable is set; *length (may be null) gets the
// length copied.
TPLAT_API bool IniGetText(const char* name, char* buf, WORD limit, WORD* length = nullptr);
// Sets a variable in memory (an empty value removes it); for tests and the
// host. Does not write the file.
TPLAT_API void IniSet(const char* name, const char* value);
// Forgets every value and reads the file again (NOTES_INI, else ./notes.ini)
// on next use.
TPLAT_API void IniReload();

} // namespace plat
