// What every talix command does alike, run for each command its help lists:
// help, an unknown option, an unknown format, a chunk that matches nothing
// and a database that is not there; every failure says what was wrong, and
// no message gives a status as a bare number.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/patterns.h"
#include "support/test_support.h"

namespace {

using talix_test::CliOutcome;

class Conventions : public talix_test::CliTest {
protected:
    // Every command of talix --help, with arguments that work for it; CHUNK
    // stands where the command takes a chunk, DB where its database goes.
    std::map<std::string, std::vector<std::string>> Commands() {
        const std::string keys = dir_.file("keys.nsf");
        const std::string html = Write("page.html", "<p>page</p>");
        const std::string mail = Write("m.eml", "Subject: s\nContent-Type: text/html\n\n<p>mail</p>\n");
        return {
            {"import", {"DB", Sample("2194.xml")}},
            {"notes", {"DB"}},
            {"items", {"DB", id_}},
            {"value", {"DB", id_, "$Body"}},
            {"records", {"DB", id_, "$Body"}},
            {"rewrite", {"DB", id_, "$Body"}},
            {"view", {"DB", "SELECT @All"}},
            {"formula", {"DB", id_, "1"}},
            {"text", {"DB", id_, "$Body", "CHUNK"}},
            {"html", {"DB", id_, "$Body", "CHUNK"}},
            {"count", {"DB", id_, "$Body", "Table", "CHUNK"}},
            {"design", {"DB", "form", "Test LS Form"}},
            {"create-design", {"DB", "form", "Made"}},
            {"append", {"DB", id_, "$Body", "text", "x", "--chunk", "CHUNK"}},
            {"import-html", {"DB", id_, "$Body", html}},
            {"edit", {"DB", id_, "$Body", "CHUNK", "remove"}},
            {"query", {"DB", id_, "$Body", "CHUNK", "font-in-use", "+Bold"}},
            {"get-property", {"DB", id_, "$Body", "Text", "CHUNK"}},
            {"set-property", {"DB", id_, "$Body", "Text", "x", "CHUNK"}},
            {"property-text", {"DB", id_, "$Body", "CHUNK", "table"}},
            {"match", {"DB", id_, "$Body", "link", keys, "SELECT @All", "Subject", "CHUNK"}},
            {"wiki", {"DB", id_, "$Body", keys, "SELECT @All", "CHUNK"}},
            {"mime", {"DB", id_, "$Body"}},
            {"to-mime", {"DB", id_, "$Body"}},
            {"export-html", {"DB", id_, "$Body"}},
            {"to-html", {"DB", id_, "$Body", "--into", "Html"}},
            {"from-html", {"DB", id_, "Rebuilt", "$Body"}},
            {"store-eml", {"DB", id_, "Mail", mail}},
            {"from-mime", {"DB", id_, "Mail"}},
            {"check", {"DB"}},
        };
    }
    // The arguments with DB and CHUNK filled in, and more after them.
    static std::vector<std::string> Args(const std::string& command, std::vector<std::string> args,
                                         const std::string& db, const std::string& chunk,
                                         const std::vector<std::string>& more = {}) {
        for (std::string& arg : args) {
            if (arg == "DB") arg = db;
            if (arg == "CHUNK") arg = chunk;
        }
        args.insert(args.begin(), command);
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    // A message that gives no status as a bare number: each "status N" is
    // followed by its text, and no "Error N" stands alone.
    static void ExpectReadableMessages(const std::string& err) {
        EXPECT_FALSE(talix_test::Search(err, "status [0-9]+($|[^:0-9])|Error [0-9]+")) << err;
        // Each line has one prefix: the program's, the library's taken out.
        std::istringstream lines(err);
        for (std::string text; std::getline(lines, text);) {
            std::vector<std::string> match;
            EXPECT_TRUE(talix_test::FullMatch(text, "(talix: |usage: talix )(.*)", &match)) << text;
            EXPECT_FALSE(talix_test::Search(match[2], "^@?talix:", nullptr, talix_test::kIgnoreCase)) << text;
        }
    }

    std::string id_ = Import(Sample("form-testls.xml"));
};

TEST_F(Conventions, EveryCommandTreatsHelpOptionsFormatsAndChunksAlike) {
    ASSERT_EQ(Talix({"import", dir_.file("keys.nsf"), Sample("2194.xml")}).status, 0);
    const auto commands = Commands();

    // The commands of the help are those above: none is left out.
    CliOutcome help = Talix({"--help"});
    ASSERT_EQ(help.status, 0);
    std::size_t listed = 0;
    for (const std::vector<std::string>& at : talix_test::FindAll(help.out, "\n  talix ([a-z-]+) ")) {
        EXPECT_EQ(commands.count(at[1]), 1u) << at[1] << " is not run by this test";
        ++listed;
    }
    EXPECT_EQ(listed, commands.size());

    const CliOutcome before = Talix({"value", db_, id_, "$Body"});
    for (const auto& [command, args] : commands) {
        SCOPED_TRACE(command);
        for (const char* asked : {"-h", "--help"}) {
            CliOutcome shown = Talix({command, asked});
            EXPECT_EQ(shown.status, 0);
            EXPECT_EQ(shown.out.rfind("usage: talix " + command, 0), 0u) << shown.out;
        }
        CliOutcome byHelp = Talix({"help", command});
        EXPECT_EQ(byHelp.out, Talix({command, "--help"}).out);

        CliOutcome option = Talix(Args(command, args, db_, "Table 1", {"--colour", "red"}));
        EXPECT_EQ(option.status, 2) << option.err;
        EXPECT_NE(option.err.find("unknown option '--colour'"), std::string::npos) << option.err;

        // --format: unknown to the commands that take none, and an unknown
        // name to those that do.
        CliOutcome format = Talix(Args(command, args, db_, "Table 1", {"--format", "pdf"}));
        EXPECT_EQ(format.status, 2) << format.err;
        const bool named = format.err.find("unknown option '--format'") != std::string::npos ||
                           format.err.find("--format takes html, xhtml, text or passthrough, not 'pdf'") !=
                               std::string::npos;
        EXPECT_TRUE(named) << format.err;

        if (std::find(args.begin(), args.end(), "CHUNK") != args.end()) {
            CliOutcome nothing = Talix(Args(command, args, db_, "Table 7"));
            if (command == "count") {
                EXPECT_EQ(nothing.status, 0) << nothing.err;
                EXPECT_EQ(nothing.out, "0\n");
            } else {
                EXPECT_EQ(nothing.status, 1);
                EXPECT_EQ(nothing.err, "talix: 'Table 7' matches nothing in '$Body'\n");
            }
        }

        // A database that is not there: named, with the reason.
        CliOutcome missing = Talix(Args(command, args, dir_.file("none/x.nsf"), "Table 1"));
        EXPECT_EQ(missing.status, 1) << missing.out;
        EXPECT_NE(missing.err.find("none/x.nsf"), std::string::npos) << missing.err;
        for (const CliOutcome* run : {&option, &format, &missing}) ExpectReadableMessages(run->err);
    }
    // Nothing above changed the item.
    EXPECT_EQ(Talix({"value", db_, id_, "$Body"}).out, before.out);
}

// A lone "--" ends the options: the arguments after it are taken as they
// are, texts and names beginning with "-" included; before it, options and
// help work as ever.
TEST_F(Conventions, ADoubleDashEndsTheOptions) {
    CliOutcome refused = Talix({"append", db_, id_, "Fresh", "text", "--- end ---"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(talix_test::Has(refused.err, "unknown option '--- end ---'")) << refused.err;

    CliOutcome appended = Talix({"append", db_, id_, "Fresh", "text", "--chunk", "Everything", "--", "--- end ---"});
    EXPECT_EQ(appended.status, 0) << appended.err;
    EXPECT_EQ(Talix({"text", db_, id_, "Fresh"}).out, "--- end ---\n");
    EXPECT_EQ(Talix({"set-property", db_, id_, "Fresh", "Text", "--", "-h"}).status, 0);
    EXPECT_EQ(Talix({"get-property", db_, id_, "Fresh", "Text", "--", "Everything"}).out, "-h\n");
    CliOutcome edited = Talix({"edit", db_, id_, "Fresh", "Paragraph 1", "set-text", "--", "--help"});
    EXPECT_EQ(edited.status, 0) << edited.err;
    EXPECT_EQ(Talix({"text", db_, id_, "Fresh"}).out, "--help\n");

    // Option names after it are names, not options.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"value", db_, id_, "--", "--index"}, {"records", db_, id_, "--", "--host"}}) {
        CliOutcome run = Talix(args);
        EXPECT_EQ(run.status, 1) << args[0];
        EXPECT_EQ(run.err, "talix: note " + id_ + " has no item '" + args.back() + "'\n");
    }
    const std::string items = Talix({"items", db_, id_}).out;
    CliOutcome chunk = Talix({"html", db_, id_, "Fresh", "--", "--mime"});
    EXPECT_EQ(chunk.status, 1);
    EXPECT_EQ(Talix({"items", db_, id_}).out, items);
    CliOutcome help = Talix({"text", "-h", "--", "x"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: talix text", 0), 0u) << help.out;
}

TEST_F(Conventions, VersionUnknownCommandsAndFailuresReadAsText) {
    CliOutcome version = Talix({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(talix_test::FullMatch(version.out, "talix [0-9]+\\.[0-9]+\n")) << version.out;

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"frobnicate", db_}, {"help", "frobnicate"}, {"-x", "notes", db_}}) {
        CliOutcome unknown = Talix(args);
        EXPECT_EQ(unknown.status, 2);
        EXPECT_EQ(std::count(unknown.err.begin(), unknown.err.end(), '\n'), 1) << unknown.err;
        EXPECT_NE(unknown.err.find("talix --help"), std::string::npos) << unknown.err;
        EXPECT_EQ(unknown.out, "");
    }

    // Failures of the library, of the platform and of the formula driver.
    const std::vector<std::vector<std::string>> failing = {
        {"append", db_, id_, "$Body", "link", "nocolon", "text"},
        {"append", db_, id_, "$Body", "graphic", "FILE", dir_.file("missing.gif")},
        {"items", db_, "0x7FFFFFF0"},
        {"formula", db_, id_, "@DbCommand(\"Talix\"; \"Nonsense\"; \"\"; \"N" + id_.substr(2) + "\"; \"$Body\")"},
        {"formula", db_, id_, "@DbCommand(\"Talix\"; \"Text\"; \"\"; \"N7FFFFFF0\"; \"$Body\")"},
        {"formula", db_, id_, "@Left("},
        {"view", db_, "No such view"},
        {"rewrite", db_, id_, "$Missing"},
        {"append", db_, id_, "$Body", "row"},
        {"edit", db_, id_, "$Body", "Everything", "sort-rows", "1"},
    };
    for (const auto& args : failing) {
        CliOutcome run = Talix(args);
        EXPECT_EQ(run.status, 1) << args[0] << " " << args.back();
        EXPECT_NE(run.err, "");
        ExpectReadableMessages(run.err);
    }
    // A name that holds a line end or a tab stays on the message's one line.
    CliOutcome named = Talix({"value", db_, id_, "two\nlines\tand a tab"});
    EXPECT_EQ(named.status, 1);
    EXPECT_EQ(named.err, "talix: note " + id_ + " has no item 'two\\nlines\\tand a tab'\n");
    CliOutcome file = Talix({"html", db_, id_, "$Body", "--out", dir_.file("none") + "/a\nb"});
    EXPECT_EQ(file.status, 1);
    EXPECT_EQ(std::count(file.err.begin(), file.err.end(), '\n'), 1) << file.err;
    ExpectReadableMessages(file.err);

    CliOutcome driver = Talix(failing[3]);
    EXPECT_NE(driver.err.find("status 12550: Unknown function or property name"), std::string::npos) << driver.err;
    EXPECT_NE(driver.err.find("talix: Function 'Nonsense' not recognized.\n"), std::string::npos) << driver.err;
    // The same status ends a property that could not be set: its text does
    // not say the name was unknown alone.
    CliOutcome set = Talix({"formula", db_, id_,
                            "@DbCommand(\"Talix\"; \"Exists\"; \"\"; \"N" + id_.substr(2) + "\"; \"$Body\"; 1)"});
    EXPECT_EQ(set.status, 1);
    EXPECT_NE(set.err.find("Unable to set read-only property 'Exists'"), std::string::npos) << set.err;
    EXPECT_NE(set.err.find("status 12550: Unknown function or property name, or the property could not be set\n"),
              std::string::npos)
        << set.err;
}

} // namespace
