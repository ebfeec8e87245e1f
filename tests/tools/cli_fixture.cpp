#include "cli_fixture.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace talix_test {

namespace {

// Standard error without the address checker's own notice (sanitizer
// builds) that it cannot follow the HTML parser's switch to its large
// stack: that line is the checker's, not the program's.
std::string WithoutCheckerNotices(const std::string& err) {
    std::string kept;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("==", 0) == 0 && line.find("doesn't fully support makecontext/swapcontext") != std::string::npos)
            continue;
        kept += line;
        if (!in.eof()) kept += '\n';
    }
    return kept;
}

} // namespace

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Quoted(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::vector<std::string> CliOutcome::lines() const {
    std::vector<std::string> result;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

CliOutcome CliTest::Talix(const std::vector<std::string>& args) {
    std::string command = emptyEnvironment_ ? "env -i " : environment_.empty() ? "" : "env ";
    if (!environment_.empty()) command += Quoted(environment_) + " ";
    command = runAs_ + command + Quoted(TALIX_CLI_PATH);
    for (const auto& arg : args) command += " " + Quoted(arg);
    command += " >" + Quoted(dir_.file("out")) + " 2>" + Quoted(dir_.file("err"));
    CliOutcome run;
    int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(dir_.file("out"));
    run.err = WithoutCheckerNotices(ReadFile(dir_.file("err")));
    return run;
}

std::string CliTest::Write(const std::string& name, const std::string& text) {
    std::string path = dir_.file(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (file != nullptr) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    return path;
}

std::string CliTest::Sample(const char* name) { return (SampleDxlDir() / name).string(); }

std::string CliTest::Import(const std::string& file) {
    CliOutcome run = Talix({"import", db_, file});
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out.substr(0, run.out.find('\t'));
}

} // namespace talix_test
