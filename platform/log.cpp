// The platform log and the host's message procedure.
//
// Each line is kept in memory (the last kRecentLimit lines, for tests) and
// written with a time stamp to standard error, or to the file that notes.ini
// "LogFile" names ("none": nowhere).
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <deque>
#include <mutex>
#include <string>

#include "ascii_text.h"
#include "talix_platform/c_locale.h"
#include "talix_platform/log.h"

namespace plat {

namespace {

constexpr size_t kRecentLimit = 1000;
constexpr WORD kLogFileLimit = 4096;

struct LogState {
    std::mutex mutex;
    std::deque<LogEntry> recent;
    bool echo = true;
};

LogState& State() {
    static auto* state = new LogState;   // never destroyed: logging works during exit
    return *state;
}

std::atomic<MessageProc> g_messageProc{nullptr};

std::string FormatText(const char* format, va_list args) {
    if (format == nullptr) return std::string();
    va_list copy;
    va_copy(copy, args);
    char small[512];
    int needed = plat::FormatTextV(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) return std::string();
    if (static_cast<size_t>(needed) < sizeof small) return std::string(small, static_cast<size_t>(needed));
    std::string text(static_cast<size_t>(needed) + 1, '\0');
    plat::FormatTextV(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(needed));
    return text;
}

std::string TimeStamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return buf;
}

} // namespace

void LogLine(STATUS status, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatText(format, args);
    va_end(args);

    std::string line = TimeStamp() + " " + text;
    if (status != NOERROR) {
        char statusText[256];
        StatusText(status, statusText, sizeof statusText);
        line += " (status " + std::to_string(status) + ": " + statusText + ")";
    }
    line += '\n';

    // Read the sink before taking the log's lock: notes.ini has a lock of its own.
    char logFile[kLogFileLimit];
    bool toFile = IniGetText("LogFile", logFile, sizeof logFile) && logFile[0] != '\0';

    LogState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.recent.push_back(LogEntry{std::move(text), status});
    if (state.recent.size() > kRecentLimit) state.recent.pop_front();

    if (toFile) {
        if (plat::CompareNoCase(logFile, "none") == 0) return;
        if (std::FILE* file = std::fopen(logFile, "a")) {
            std::fputs(line.c_str(), file);
            std::fclose(file);
        }
        return;
    }
    if (state.echo) std::fputs(line.c_str(), stderr);
}

std::vector<LogEntry> LogRecent() {
    LogState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return std::vector<LogEntry>(state.recent.begin(), state.recent.end());
}

void LogClearRecent() {
    LogState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.recent.clear();
}

void LogSetEcho(bool echo) {
    LogState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.echo = echo;
}

MessageProc HostProcedure(WORD selector) {
    if (selector != HOST_PROC_MESSAGE) return nullptr;
    return g_messageProc.load();
}

void RegisterMessageProc(MessageProc proc) { g_messageProc.store(proc); }

} // namespace plat
