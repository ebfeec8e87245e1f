// The case corpus (tests/cases): small documents made by talix commands,
// each beside what the program gives for it (records, HTML, XHTML, mail),
// compared byte for byte. With TALIX_UPDATE_CASES=1 the outputs are written
// into the expected files instead (scripts/update_cases.sh does that and
// shows the difference).
//
// A case is a file NAME.case of talix command lines, run in order as a user
// types them: words split at blanks, '...' and "..." quote (a backslash
// escapes " and itself inside double quotes), # starts a comment line. They
// run in a scratch folder that holds copies of the files their words name
// beside the case, of the folder "files" there and of blank.xml. DB stands
// for the case's fresh database, NOTE for the note the last import made,
// SAMPLES/ for the project's sample notes, {RUN} (also inside a word) for
// the scratch folder's path. A case whose first command is no import starts
// from the blank document. "> FILE" after a command names the expected file
// of its standard output. Every command must succeed.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/patterns.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

namespace fs = std::filesystem;
using talix_test::Quoted;

const fs::path kCasesDir = TALIX_CASES_DIR;

struct CommandLine {
    int lineNumber = 0;
    std::vector<std::string> words;
    std::string output;   // the expected file of its standard output, or empty
};

struct Case {
    std::string name;   // the case file's path below the corpus, without ".case"
    fs::path folder;
    std::vector<CommandLine> commands;
    std::string error;   // a line the corpus cannot read
};

// Splits a line into words as a shell would for plain quoting; the position
// of an unquoted ">" word goes to redirect.
bool SplitWords(const std::string& line, std::vector<std::string>* words, std::size_t* redirect, std::string* error) {
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string word;
        bool quoted = false;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            const char c = line[i++];
            if (c != '\'' && c != '"') {
                word += c;
                continue;
            }
            quoted = true;
            std::size_t end = i;
            for (; end < line.size() && line[end] != c; ++end) {
                if (c == '"' && line[end] == '\\' && end + 1 < line.size() && (line[end + 1] == '"' || line[end + 1] == '\\'))
                    ++end;
                word += line[end];
            }
            if (end >= line.size()) return *error = "unclosed quote", false;
            i = end + 1;
        }
        if (!quoted && word == ">" && *redirect == std::string::npos) *redirect = words->size();
        words->push_back(word);
    }
    return true;
}

Case ReadCase(const fs::path& file) {
    Case read;
    read.name = fs::relative(file, kCasesDir).replace_extension().generic_string();
    read.folder = file.parent_path();
    std::istringstream in(talix_test::ReadFile(file));
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.find_first_not_of(" \t") == std::string::npos || line[line.find_first_not_of(" \t")] == '#')
            continue;
        CommandLine command;
        command.lineNumber = number;
        std::string error;
        std::size_t redirect = std::string::npos;
        if (!SplitWords(line, &command.words, &redirect, &error)) {
            read.error = "line " + std::to_string(number) + ": " + error;
            return read;
        }
        if (redirect != std::string::npos) {
            // One plain file name in the case's own folder.
            const std::vector<std::string>& words = command.words;
            if (redirect + 2 != words.size() || words[redirect + 1].find('/') != std::string::npos ||
                words[redirect + 1].rfind(".", 0) == 0) {
                read.error = "line " + std::to_string(number) + ": \"> FILE\" ends the line and names a file beside the case";
                return read;
            }
            command.output = words[redirect + 1];
            command.words.resize(redirect);
        }
        if (command.words.empty() || command.words[0] != "talix") {
            read.error = "line " + std::to_string(number) + ": a command line starts with \"talix\"";
            return read;
        }
        command.words.erase(command.words.begin());
        read.commands.push_back(command);
    }
    if (read.commands.empty()) read.error = "no command";
    return read;
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs talix in the case's scratch folder (where its database and its
// input files are), with an empty notes.ini.
Outcome RunTalix(const talix_test::TempDir& scratch, const std::vector<std::string>& args) {
    std::string command = "cd " + Quoted(scratch.file("run")) + " && NOTES_INI=" + Quoted(scratch.file("notes.ini")) +
                          " TMPDIR=" + Quoted(scratch.file("run")) + " " + Quoted(TALIX_CLI_PATH);
    for (const std::string& arg : args) command += " " + Quoted(arg);
    command += " >" + Quoted(scratch.file("out")) + " 2>" + Quoted(scratch.file("err"));
    Outcome run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = talix_test::ReadFile(scratch.file("out"));
    run.err = talix_test::ReadFile(scratch.file("err"));
    return run;
}

// Copies the case's inputs into the folder it runs in: the blank document,
// the files its command words name beside it, and its folder's "files"
// (pictures, style sheets and attachments that the inputs name in turn).
void CopyInputs(const Case& one, const fs::path& run) {
    fs::create_directory(run);
    fs::copy_file(kCasesDir / "blank.xml", run / "blank.xml");
    if (fs::is_directory(one.folder / "files")) fs::copy(one.folder / "files", run / "files", fs::copy_options::recursive);
    for (const CommandLine& command : one.commands)
        for (const std::string& word : command.words) {
            const fs::path source = one.folder / word;
            if (word.empty() || word.find("..") != std::string::npos || !fs::is_regular_file(source)) continue;
            fs::create_directories((run / word).parent_path());
            fs::copy_file(source, run / word, fs::copy_options::overwrite_existing);
        }
}

// A text that differs from run to run, and the word that stands for it in
// the expected files.
struct Variable {
    std::string text;
    std::string word;
};

// What differs from run to run is set to fixed words: the date after the
// program's name and version (the generation's comment, also where stored
// HTML shows it as text), the date in the generated mail addresses, the
// mail header lines Date and Message-ID, and the variables of the case's
// run (its folder's path, its database's replica id).
std::string Normalised(const std::string& output, const std::vector<Variable>& variables) {
    using talix_test::kMultiline;
    using talix_test::ReplaceAll;
    std::string text = ReplaceAll(output, "(Talix [0-9.]+, )[0-9]{2}/[0-9]{2}/[0-9]{4}", "$1[today]");
    text = ReplaceAll(text, "(Generated by Talix, )[0-9]{2}/[0-9]{2}/[0-9]{4}", "$1[today]");
    text = ReplaceAll(text, "^Date: .*$", "Date: [now]", kMultiline);
    text = ReplaceAll(text, "^Message-ID: <[^>\n]*>", "Message-ID: <[unique]>", kMultiline);
    for (const Variable& variable : variables) {
        if (variable.text.empty()) continue;
        for (std::size_t at = text.find(variable.text); at != std::string::npos; at = text.find(variable.text, at))
            text.replace(at, variable.text.size(), variable.word);
    }
    return text;
}

// The replica id of a database as links write it: 16 hexadecimal digits
// (in capitals; mail text has them in small letters).
std::string ReplicaText(const std::string& path) {
    plat::DBHANDLE db = 0;
    if (plat::DbOpen(path.c_str(), &db) != plat::NOERROR) return "";
    plat::DBID id;
    const bool read = plat::DbReplicaId(db, &id) == plat::NOERROR;
    plat::DbClose(db);
    char text[17] = {};
    if (read) std::snprintf(text, sizeof text, "%08X%08X", id.Innards[1], id.Innards[0]);
    return text;
}

// Where two texts first differ: the line, with both versions of it.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
    std::istringstream a(expected), b(actual);
    std::string lineA, lineB;
    for (int line = 1;; ++line) {
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA && !moreB) return "line ends differ";
        if (moreA != moreB || lineA != lineB) {
            std::size_t column = 0;
            while (column < lineA.size() && column < lineB.size() && lineA[column] == lineB[column]) ++column;
            const std::size_t from = column > 40 ? column - 40 : 0;
            return "line " + std::to_string(line) + ", byte " + std::to_string(column + 1) + "\n  expected: " +
                   (moreA ? lineA.substr(from, 120) : "(end of file)") +
                   "\n  actual:   " + (moreB ? lineB.substr(from, 120) : "(end of file)");
        }
    }
}

bool Updating() {
    const char* value = std::getenv("TALIX_UPDATE_CASES");
    return value != nullptr && std::string(value) == "1";
}

// Runs one case; adds each failure to failures, and each output file it
// names (relative to the corpus) to named.
void RunCase(const Case& one, std::vector<std::string>* failures, std::set<fs::path>* named) {
    if (!one.error.empty()) {
        failures->push_back(one.name + ": " + one.error);
        return;
    }
    talix_test::TempDir scratch;
    CopyInputs(one, scratch.file("run"));
    const std::string db = "case.nsf";
    std::string note;
    std::vector<Variable> variables = {{scratch.file("run"), "{RUN}"}};
    std::vector<CommandLine> commands = one.commands;
    if (commands.front().words.empty() || commands.front().words[0] != "import")
        commands.insert(commands.begin(), CommandLine{0, {"import", "DB", "blank.xml"}, ""});
    for (const CommandLine& command : commands) {
        if (!command.output.empty()) named->insert(one.folder / command.output);
        std::vector<std::string> args = command.words;
        for (std::string& arg : args) {
            if (arg == "DB") arg = db;
            else if (arg == "NOTE") arg = note;
            else if (arg.rfind("SAMPLES/", 0) == 0) arg = (talix_test::SampleDxlDir() / arg.substr(8)).string();
            for (std::size_t at = arg.find("{RUN}"); at != std::string::npos; at = arg.find("{RUN}", at))
                arg.replace(at, 5, scratch.file("run"));
        }
        const Outcome run = RunTalix(scratch, args);
        const std::string where = one.name + ".case line " + std::to_string(command.lineNumber);
        if (run.status != 0) {
            failures->push_back(where + ": talix exited " + std::to_string(run.status) + ": " + run.err);
            return;
        }
        if (args[0] == "import") note = run.out.substr(0, run.out.find('\t'));
        if (variables.size() == 1) {
            const std::string replica = ReplicaText(scratch.file("run/" + db));
            std::string lower = replica;
            for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            variables.push_back({replica, "[replica]"});
            variables.push_back({lower, "[replica]"});
        }
        if (command.output.empty()) continue;
        const fs::path file = one.folder / command.output;
        const std::string actual = Normalised(run.out, variables);
        const std::string expected = fs::exists(file) ? talix_test::ReadFile(file) : std::string();
        if (actual == expected && fs::exists(file)) continue;
        if (Updating()) {
            std::ofstream(file, std::ios::binary) << actual;
            std::printf("updated %s\n", fs::relative(file, kCasesDir).c_str());
            continue;
        }
        failures->push_back(where + ": " + command.output +
                            (fs::exists(file) ? " differs at " + FirstDifference(expected, actual) : " is missing"));
    }
}

// Runs every case below a folder of the corpus. Files there that are
// neither a case, an expected output nor an input a case names are
// reported: an expectation its case no longer makes is not kept unseen.
void RunFolder(const char* folder) {
    const fs::path dir = kCasesDir / folder;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<std::string> failures;
    std::set<fs::path> named;
    int cases = 0;
    for (const fs::path& file : files) {
        if (file.extension() != ".case") continue;
        ++cases;
        const Case one = ReadCase(file);
        RunCase(one, &failures, &named);
        for (const CommandLine& command : one.commands)
            for (const std::string& word : command.words) named.insert(one.folder / word);
    }
    for (const fs::path& file : files) {
        const bool input = file.parent_path().filename() == "files";
        if (file.extension() != ".case" && !input && named.count(file) == 0)
            failures.push_back(fs::relative(file, kCasesDir).string() + ": no case names this file");
    }
    EXPECT_GT(cases, 0) << "no case below " << dir;
    for (const std::string& failure : failures) ADD_FAILURE() << failure;
    if (!failures.empty() && !Updating())
        std::printf("After an intended change of output, bash scripts/update_cases.sh writes the new expectations.\n");
}

TEST(CaseCorpus, GenerationCasesGiveTheirExpectedOutput) { RunFolder("generation"); }

TEST(CaseCorpus, ImportCasesGiveTheirExpectedOutput) { RunFolder("import"); }

} // namespace
