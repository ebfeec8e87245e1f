// The main job (scripts/demo.sh) as a newcomer runs it, with the program
// already built: its pages read by HTML Tidy and libxml2, its mail message by
// Python's email package, its look-up values equal to the table's cells, and
// a second run giving the same files.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/markup_validators.h"
#include "support/patterns.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using talix_test::CliOutcome;

const fs::path kProject = talix_test::SampleDxlDir().parent_path().parent_path();

class Demo : public talix_test::CliTest {
protected:
    // Runs the demo with the given arguments (and environment assignments
    // before it); its standard output and error are captured.
    CliOutcome RunDemo(const std::string& args, const std::string& environment = "") {
        const std::string command = environment + " TALIX_PROGRAM='" TALIX_CLI_PATH "' bash '" +
                                    (kProject / "scripts" / "demo.sh").string() + "' " + args + " >'" +
                                    dir_.file("demo-out") + "' 2>'" + dir_.file("demo-err") + "'";
        CliOutcome run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = talix_test::ReadFile(dir_.file("demo-out"));
        run.err = talix_test::ReadFile(dir_.file("demo-err"));
        return run;
    }

    // The text of a chunk as talix text gives it, without its last line end.
    std::string Text(const std::string& note, const std::string& item, const std::string& chunk) {
        CliOutcome run = Talix({"text", db_, note, item, chunk});
        EXPECT_EQ(run.status, 0) << chunk << ": " << run.err;
        if (!run.out.empty() && run.out.back() == '\n') run.out.pop_back();
        return run.out;
    }
};

// The files of a folder by name, with what changes from run to run (the
// generation date, a message's date and id) blanked.
std::map<std::string, std::string> Files(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::string text = talix_test::ReplaceAll(talix_test::ReadFile(entry.path()), R"(\d\d/\d\d/\d\d\d\d)", "DATE");
        files[entry.path().filename().string()] =
            talix_test::ReplaceAll(text, R"((^|\n)(Date|Message-ID): [^\n]*)", "$1$2: -");
    }
    return files;
}

// The values printed under each @DbColumn or @DbLookup formula line.
std::map<std::string, std::vector<std::string>> LookUps(const std::string& out) {
    std::map<std::string, std::vector<std::string>> found;
    std::istringstream in(out);
    std::string formula;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("@Db", 0) == 0) {
            formula = line;
            found[formula];
        } else if (!formula.empty() && line.rfind("  ", 0) == 0) {
            found[formula].push_back(line.substr(2));
        } else {
            formula.clear();
        }
    }
    return found;
}

TEST_F(Demo, WritesPagesAndMailThatReadersTakeAndReadsTheTableByFormula) {
    const fs::path out = dir_.path() / "pages";
    CliOutcome run = RunDemo("'" + out.string() + "'");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("The files are in " + out.string() + "\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("(talix records)"), std::string::npos) << "the records only with --records";

    int pages = 0;
    std::string messages;
    for (const auto& [name, text] : Files(out)) {
        const fs::path file = out / name;
        EXPECT_NE(run.out.find(file.string() + "\n"), std::string::npos) << name << " is not named";
        if (file.extension() == ".html") {
            ++pages;
            std::string report;
            EXPECT_EQ(talix_test::TidyErrors(text, &report), 0) << name << "\n" << report;
            fs::path twin = file;
            twin.replace_extension(".xhtml");
            ASSERT_TRUE(fs::exists(twin)) << twin;
            EXPECT_TRUE(talix_test::XmlWellFormed(talix_test::ReadFile(twin), &report)) << twin << "\n" << report;
        } else if (file.extension() == ".eml") {
            messages += file.string() + "\t-\n";
        }
    }
    EXPECT_GE(pages, 2);
    ASSERT_FALSE(messages.empty());
    const std::string list = Write("messages", messages);
    const std::string checked = dir_.file("checked");
    ASSERT_EQ(std::system(("python3 '" TALIX_MIME_CHECKER "' '" + list + "' >'" + checked + "'").c_str()), 0);
    EXPECT_EQ(talix_test::ReadFile(checked), "checked\t1\n");

    // The values printed are the cells of the table as talix text reads
    // them from the same samples; the note is found again by its title.
    for (const auto& file : talix_test::DxlFilesBelow(talix_test::SampleDxlDir())) {
        ASSERT_EQ(Talix({"import", db_, file.string()}).status, 0) << file;
    }
    const std::map<std::string, std::vector<std::string>> lookUps = LookUps(run.out);
    ASSERT_EQ(lookUps.size(), 2u) << run.out;
    const std::string call(R"re(@Db(Column|Lookup)\("Talix" : ""; ""; "N([0-9A-F]+)"; "([^"]+)" : "([^"]+)"; (?:"((?:[^"\\]|\\.)*)"; )?(\d+)\))re");
    for (const auto& [formula, values] : lookUps) {
        std::vector<std::string> parts;
        ASSERT_TRUE(talix_test::FullMatch(formula, call, &parts)) << formula;
        const std::string demoId = "0x" + std::string(8 - parts[2].size(), '0') + parts[2];
        std::vector<std::string> title;
        ASSERT_TRUE(talix_test::Search(run.out, "(^|\n)" + demoId + "\t[^\t]*\t[^\t]*\t([^\t\n]+)\t", &title))
            << demoId << " is not listed";
        std::string note;
        for (const std::string& line : Talix({"notes", db_}).lines()) {
            if (line.find("\t" + title[2] + "\t") != std::string::npos) note = line.substr(0, line.find('\t'));
        }
        ASSERT_FALSE(note.empty()) << title[2];
        const std::string item = parts[3], table = parts[4], column = parts[6];
        const std::string key = talix_test::ReplaceAll(parts[5], R"(\\(.))", "$1");
        const int rows = std::stoi(Talix({"count", db_, note, item, "Row", table}).out);
        std::vector<std::string> cells;
        for (int r = 1; r <= rows; ++r) {
            const std::string row = table + "; Row " + std::to_string(r);
            if (parts[1] == "Lookup" && Text(note, item, row + "; Column 1; NonBlankText 1") != key) continue;
            cells.push_back(Text(note, item, row + "; Column " + column));
        }
        EXPECT_FALSE(cells.empty()) << formula;
        EXPECT_EQ(values, cells) << formula;
    }
}

TEST_F(Demo, RunsAgainIntoTheSameFilesAndMakesItsOwnFolder) {
    const fs::path out = dir_.path() / "again";
    ASSERT_EQ(RunDemo("'" + out.string() + "'").status, 0);
    const std::map<std::string, std::string> first = Files(out);
    CliOutcome second = RunDemo("--records '" + out.string() + "'");
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.out.find("(talix records)"), std::string::npos);
    EXPECT_EQ(Files(out), first);

    // Without a folder: a fresh one under the temporary directory, and
    // nothing else left there.
    const fs::path temporary = dir_.path() / "tmp";
    fs::create_directory(temporary);
    CliOutcome fresh = RunDemo("", "TMPDIR='" + temporary.string() + "'");
    ASSERT_EQ(fresh.status, 0) << fresh.err;
    std::vector<fs::path> made;
    for (const auto& entry : fs::directory_iterator(temporary)) made.push_back(entry.path());
    ASSERT_EQ(made.size(), 1u);
    EXPECT_NE(fresh.out.find("The files are in " + made[0].string() + "\n"), std::string::npos) << fresh.out;
    EXPECT_EQ(Files(made[0]), first);

    EXPECT_EQ(RunDemo("'" + out.string() + "' other").status, 2);
    EXPECT_EQ(RunDemo("--bogus").status, 2);
}

} // namespace
