#include "support/headless_browser.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "support/test_support.h"

namespace talix_test {

namespace {

bool Executable(const std::filesystem::path& path) { return ::access(path.c_str(), X_OK) == 0; }

// Starts one browser on a page, its standard output into outPath; returns
// its process id, or -1.
pid_t StartBrowser(const std::string& chromium, const std::string& page, const std::string& profile,
                   const std::string& outPath, unsigned timeoutSeconds) {
    const std::string timeout = std::to_string(timeoutSeconds);
    const std::string userData = "--user-data-dir=" + profile;
    const std::string url = "file://" + page;
    std::vector<std::string> arguments = {"timeout", "-k", "5", timeout, chromium,
                                          // No sandbox (the tests may run as root), no GPU, and nothing that
                                          // reaches for the network, which is closed here.
                                          "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                                          "--no-first-run", "--disable-background-networking",
                                          "--disable-component-update", "--disable-sync", userData,
                                          "--allow-file-access-from-files",
                                          "--window-size=1024,768", "--dump-dom", url};
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = ::open("/dev/null", O_RDWR);
    if (out < 0 || null < 0) ::_exit(127);
    ::dup2(null, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    ::execvp("timeout", argv.data());
    ::_exit(127);
}

} // namespace

std::string ChromiumPath() {
    if (const char* given = std::getenv("TALIX_CHROMIUM"); given != nullptr && given[0] != '\0')
        return Executable(given) ? given : std::string();
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "/usr/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        for (const char* name : {"chromium", "chromium-browser"}) {
            const std::filesystem::path candidate = std::filesystem::path(folder) / name;
            if (!folder.empty() && Executable(candidate)) return candidate.string();
        }
    }
    return {};
}

bool BrowserRequired() {
    const char* required = std::getenv("TALIX_REQUIRE_BROWSER");
    return required != nullptr && required[0] != '\0' && std::strcmp(required, "0") != 0;
}

std::vector<std::string> DumpDocuments(const std::string& chromium, const std::vector<std::string>& pages,
                                       unsigned parallel, unsigned timeoutSeconds) {
    TempDir work;
    std::vector<std::string> documents(pages.size());
    std::map<pid_t, std::size_t> running;
    auto outPath = [&](std::size_t i) { return work.file("dom" + std::to_string(i)); };
    auto reap = [&] {
        int status = 0;
        const pid_t done = ::waitpid(-1, &status, 0);
        const auto found = running.find(done);
        if (found == running.end()) return done > 0;
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) documents[found->second] = ReadFile(outPath(found->second));
        running.erase(found);
        return true;
    };
    for (std::size_t i = 0; i < pages.size(); ++i) {
        while (running.size() >= (parallel > 0 ? parallel : 1) && reap()) {
        }
        const pid_t pid =
            StartBrowser(chromium, pages[i], work.file("profile" + std::to_string(i)), outPath(i), timeoutSeconds);
        if (pid > 0) running[pid] = i;
    }
    while (!running.empty() && reap()) {
    }
    return documents;
}

std::string ReportedText(const std::string& dom, const std::string& id) {
    const std::size_t start = dom.find("<pre id=\"" + id + "\">");
    if (start == std::string::npos) return {};
    const std::size_t from = dom.find('>', start) + 1;
    return dom.substr(from, dom.find("</pre>", from) - from);
}

} // namespace talix_test
