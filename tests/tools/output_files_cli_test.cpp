// Where the commands' output files land: html --out, mime --out, mime
// --part N --out and export-html FILE follow the name they are given (a
// FIFO's reader gets the document, a link stays a link, an open file of a
// pipe gets it through /proc, a file keeps its mode and its other names);
// pictures exported to disk are never written through what someone left
// under their names; a signal takes the temporary file with it.
#include <gtest/gtest.h>
#include <sys/inotify.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_fixture.h"
#include "support/picture_files.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using talix_test::CliOutcome;
using talix_test::Has;
using talix_test::Quoted;
using talix_test::ReadFile;

// The document without what differs from one run to the next (the date,
// the message id, the day the markup and the addresses name).
std::string Steady(const std::string& text) {
    std::istringstream in(talix_test::WithoutRunDates(text));
    std::string kept;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Date:", 0) == 0 || line.rfind("Message-ID:", 0) == 0) continue;
        kept += line + "\n";
    }
    return kept;
}

class OutputFileCommands : public talix_test::CliTest {
protected:
    void SetUp() override {
        note_ = Import(Sample("2194.xml"));
        Write("pic.gif", talix_test::GifPicture(4, 3));
        Write("page.html", "<p>Hi <img src=\"pic.gif\"> there</p>");
        CliOutcome imported = Talix({"import-html", db_, note_, "Pic", dir_.file("page.html"), "--options",
                                     "BasePathname=" + dir_.path().string() + "/"});
        ASSERT_EQ(imported.status, 0) << imported.err;
    }

    // The command line of each command that writes a file, with the file.
    std::vector<std::string> Command(const std::string& which, const std::string& file) const {
        if (which == "html") return {"html", db_, note_, "Pic", "--out", file};
        if (which == "mime") return {"mime", db_, note_, "Pic", "--out", file};
        if (which == "mime --part") return {"mime", db_, note_, "Pic", "--part", "1", "--out", file};
        return {"export-html", db_, note_, "Pic", file};
    }

    std::string note_;
};

TEST_F(OutputFileCommands, EachOutputLandsWhereItsNameLeads) {
    for (const std::string which : {"html", "mime", "mime --part", "export-html"}) {
        SCOPED_TRACE(which);
        const std::string expected = dir_.file("expected");
        fs::remove(expected);
        ASSERT_EQ(Talix(Command(which, expected)).status, 0);
        const std::string document = Steady(ReadFile(expected));
        ASSERT_TRUE(Has(document, which == "mime --part" ? "MIME-Version" : "there")) << document;

        // A FIFO with a reader waiting: the reader gets the whole document.
        const std::string fifo = dir_.file("fifo");
        fs::remove(fifo);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        std::string got;
        std::thread reader([&] { got = ReadFile(fifo); });
        CliOutcome run = Talix(Command(which, fifo));
        reader.join();
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Steady(got), document);
        EXPECT_TRUE(fs::is_fifo(fifo));

        // A link to a file: the file changes, the link stays.
        const std::string file = dir_.file("file.txt"), link = dir_.file("link.txt");
        fs::remove(link);
        Write("file.txt", "old");
        fs::create_symlink(file, link);
        EXPECT_EQ(Talix(Command(which, link)).status, 0);
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(Steady(ReadFile(file)), document);

        // A file of mode 0600 with a second name: both names see the
        // document, the mode stays.
        const std::string second = dir_.file("second-name.txt");
        fs::remove(second);
        ::chmod(file.c_str(), 0600);
        ASSERT_EQ(::link(file.c_str(), second.c_str()), 0);
        Write("file.txt", "old");
        EXPECT_EQ(Talix(Command(which, second)).status, 0);
        EXPECT_EQ(Steady(ReadFile(file)), document);
        struct stat info {};
        ::stat(file.c_str(), &info);
        EXPECT_EQ(info.st_mode & 07777, 0600u);
        EXPECT_EQ(info.st_nlink, 2u);
        fs::remove(second);
        EXPECT_EQ(Talix(Command(which, file)).status, 0);
        ::stat(file.c_str(), &info);
        EXPECT_EQ(info.st_mode & 07777, 0600u);

        // A link to /proc/self/fd/1 with the program's output read through
        // a pipe: the pipe gets the document.
        const std::string standardOutput = dir_.file("stdout-link");
        fs::remove(standardOutput);
        fs::create_symlink("/proc/self/fd/1", standardOutput);
        std::string command = Quoted(TALIX_CLI_PATH);
        for (const std::string& arg : Command(which, standardOutput)) command += " " + Quoted(arg);
        command += " | cat > " + Quoted(dir_.file("piped"));
        EXPECT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(Steady(ReadFile(dir_.file("piped"))), document);
        EXPECT_TRUE(fs::is_symlink(standardOutput));

        // The database itself, by its name or through a link: refused, and
        // the database stays whole.
        const std::string databaseLink = dir_.file("db-link");
        fs::remove(databaseLink);
        fs::create_symlink(db_, databaseLink);
        for (const std::string& name : {db_, databaseLink}) {
            CliOutcome refused = Talix(Command(which, name));
            EXPECT_EQ(refused.status, 1);
            EXPECT_TRUE(Has(refused.err, "it is the database")) << refused.err;
        }
        // The log files kept beside it while it is open, whether they are
        // there now or not, by their names or through a link: refused too.
        // A file written there would be taken for the log, or removed with
        // it when the database closes, while the command said it was done.
        const std::string logLink = dir_.file("log-link");
        fs::remove(logLink);
        fs::create_symlink(db_ + "-wal", logLink);
        for (const std::string& name : {db_ + "-wal", db_ + "-shm", db_ + "-journal", logLink}) {
            CliOutcome refused = Talix(Command(which, name));
            EXPECT_EQ(refused.status, 1) << name;
            EXPECT_TRUE(Has(refused.err, "keeps its log there")) << refused.err;
        }
        EXPECT_FALSE(fs::exists(db_ + "-journal"));
        EXPECT_EQ(Talix({"items", db_, note_}).status, 0);
        // An empty name is no file: a usage error.
        CliOutcome unnamed = Talix(Command(which, ""));
        EXPECT_EQ(unnamed.status, 2);
        EXPECT_TRUE(Has(unnamed.err, "file name")) << unnamed.err;

        // No temporary file is left anywhere.
        for (const auto& entry : fs::directory_iterator(dir_.path()))
            EXPECT_FALSE(Has(entry.path().filename().string(), ".talix-")) << entry.path();
    }
}

TEST_F(OutputFileCommands, PicturesOnDiskAreNeverWrittenThroughWhatStandsUnderTheirNames) {
    const std::string outside = Write("outside.txt", "outside");
    std::vector<std::function<int(const char*)>> plants = {
        [&](const char* path) { return ::symlink(outside.c_str(), path); },
        [&](const char* path) { return ::mkfifo(path, 0600); }};
    if (::geteuid() == 0) plants.push_back([](const char* path) { return ::mknod(path, S_IFCHR | 0666, makedev(1, 3)); });
    const std::string folder = dir_.file("pictures"), page = dir_.file("page-out.html");
    const std::vector<std::string> args = {"export-html", db_, note_, "Pic", page, "--options",
                                           "ImageHandling=DISK ImageDirectory=" + folder};
    // Where the picture goes (in a folder named after the page).
    ASSERT_EQ(Talix(args).status, 0);
    fs::remove(page);
    std::vector<std::string> pictures;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) pictures.push_back(entry.path().string());
    ASSERT_EQ(pictures.size(), 1u);
    const std::string picture = pictures[0];
    for (const auto& plant : plants) {
        fs::remove(picture);
        ASSERT_EQ(plant(picture.c_str()), 0);
        // A run that waits on the FIFO for a reader would wait for ever: it
        // is ended after a minute, and its status (137) fails the test.
        runAs_ = "timeout -s KILL 60 ";
        CliOutcome run = Talix(args);
        runAs_.clear();
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Has(run.err, "cannot write the file '" + picture + "'")) << run.err;
        EXPECT_FALSE(fs::exists(page));
        EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(picture)));
    }
    EXPECT_EQ(ReadFile(outside), "outside");
}

// The pictures an export writes to disk, and a graphic exported from a
// chunk, get the permissions the umask leaves, as the page does: a page
// others may read shows its pictures to them too.
TEST_F(OutputFileCommands, PicturesOnDiskAreAsReadableAsTheirPage) {
    const std::string folder = dir_.file("pictures"), page = dir_.file("page-out.html");
    const std::string graphic = dir_.file("graphic.gif");
    for (const mode_t mask : {022, 077}) {
        SCOPED_TRACE(mask);
        fs::remove_all(folder);
        fs::remove(page);
        fs::remove(graphic);
        runAs_ = "sh -c 'umask " + std::to_string(mask == 022 ? 22 : 77) + "; exec \"$0\" \"$@\"' ";
        CliOutcome exported = Talix({"export-html", db_, note_, "Pic", page, "--options",
                                     "ImageHandling=DISK ImageDirectory=" + folder});
        ASSERT_EQ(exported.status, 0) << exported.err;
        CliOutcome extracted = Talix({"edit", db_, note_, "Pic", "Graphic 1", "export-graphic", graphic});
        ASSERT_EQ(extracted.status, 0) << extracted.err;
        runAs_.clear();
        std::vector<std::string> files = {page, graphic};
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path().string());
        ASSERT_EQ(files.size(), 3u);
        for (const auto& file : files) {
            struct stat info {};
            ASSERT_EQ(::stat(file.c_str(), &info), 0) << file;
            EXPECT_EQ(info.st_mode & 0777, 0666u & ~mask) << file;
        }
    }
}

// Pictures written as files are placed by the page's file: export-html
// and mime with a document on standard output refuse them and write nothing
// anywhere, while a page in a file has its pictures where its src names
// them.
TEST_F(OutputFileCommands, PicturesOnDiskNeedThePagesFile) {
    const std::string temporary = dir_.file("temporary");
    fs::create_directory(temporary);
    environment_ = "TEMP=" + temporary;
    const std::vector<std::string> disk = {"ImageHandling=DISK", "ImageHandling=disk ImageDirectory=pictures",
                                           "ImageDirectory=" + dir_.file("pictures") + " ImageHandling='Disk'"};
    for (const std::string& options : disk) {
        SCOPED_TRACE(options);
        CliOutcome refused = Talix({"export-html", db_, note_, "Pic", "--options", options});
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.out, "");
        EXPECT_TRUE(Has(refused.err, "ImageHandling=DISK places the pictures by the page's file: export-html needs a "
                                     "FILE")) << refused.err;
    }
    // So does mime with a message on standard output; --out and --part,
    // which places them from the current directory, take them.
    for (const std::string& options : disk) {
        CliOutcome refused = Talix({"mime", db_, note_, "Pic", "--html-options", options});
        EXPECT_EQ(refused.status, 2) << options;
        EXPECT_EQ(refused.out, "");
        EXPECT_TRUE(Has(refused.err, "ImageHandling=DISK places the pictures by the message's file: mime needs --out"))
            << refused.err;
    }
    EXPECT_TRUE(fs::is_empty(temporary));
    EXPECT_FALSE(fs::exists(dir_.file("pictures")));
    const std::string folder = "ImageHandling=DISK ImageDirectory=" + dir_.file("pictures");
    EXPECT_EQ(Talix({"mime", db_, note_, "Pic", "--html-options", folder, "--out", dir_.file("m.eml")}).status, 0);
    EXPECT_EQ(Talix({"mime", db_, note_, "Pic", "--html-options", folder, "--part", "3"}).status, 0);
    EXPECT_TRUE(fs::exists(dir_.file("pictures")));
    // Other handlings, and the plain-text form that shows no pictures, still
    // come out on standard output.
    for (const std::vector<std::string>& extra : {std::vector<std::string>{"--options", "ImageHandling=IGNORE DISK"},
                                                 {"--options", "ImageHandling=DISK", "--format", "text"}, {}}) {
        std::vector<std::string> args = {"export-html", db_, note_, "Pic"};
        args.insert(args.end(), extra.begin(), extra.end());
        CliOutcome shown = Talix(args);
        EXPECT_EQ(shown.status, 0) << shown.err;
        EXPECT_TRUE(Has(shown.out, "there")) << shown.out;
    }
    EXPECT_TRUE(fs::is_empty(temporary));
    environment_.clear();

    const std::string page = dir_.file("site/page.html");
    fs::create_directory(dir_.file("site"));
    CliOutcome exported =
        Talix({"export-html", db_, note_, "Pic", page, "--options", "ImageHandling=DISK ImageDirectory=pictures"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const std::string html = ReadFile(page);
    const std::size_t src = html.find("src=\"pictures/");
    ASSERT_NE(src, std::string::npos) << html;
    const std::string name = html.substr(src + 5, html.find('"', src + 5) - src - 5);
    EXPECT_TRUE(fs::is_regular_file(dir_.file("site/" + name))) << name;
}

// export-html and mime on standard output make their document in the
// temporary folder first: one that is not there fails them with a message
// that names it; so does a file of theirs in a folder that is not there.
TEST_F(OutputFileCommands, AFolderThatIsNotThereIsNamed) {
    const std::string missing = dir_.file("missing");
    environment_ = "TEMP=" + missing;
    for (const auto& args : std::vector<std::vector<std::string>>{{"export-html", db_, note_, "Pic"},
                                                                   {"mime", db_, note_, "Pic"}}) {
        SCOPED_TRACE(args[0]);
        CliOutcome run = Talix(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "talix: cannot make a temporary file in " + missing + "/: No such file or directory\n");
    }
    environment_.clear();
    // An output file in that missing folder: the message names it.
    const std::string file = missing + "/x.eml";
    for (const auto& args : std::vector<std::vector<std::string>>{{"export-html", db_, note_, "Pic", file},
                                                                   {"mime", db_, note_, "Pic", "--out", file}}) {
        SCOPED_TRACE(args[0]);
        CliOutcome run = Talix(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "talix: cannot write " + file + ": No such file or directory\n");
    }
    EXPECT_FALSE(fs::exists(missing));
}

// ImageHandling=RESOURCE naming an image database that cannot be opened
// renders no body: every conversion of the whole item fails and says why,
// and leaves the file it was to write, and the note, as they were.
TEST_F(OutputFileCommands, AnImageDatabaseThatCannotBeOpenedFailsTheConversion) {
    const std::string options = "ImageHandling=RESOURCE ImageFilePath=" + dir_.file("none.nsf");
    const std::string out = Write("kept.html", "old");
    const std::string items = Talix({"items", db_, note_}).out;
    const std::vector<std::vector<std::string>> commands = {
        {"export-html", db_, note_, "Pic", out, "--options", options},
        {"export-html", db_, note_, "Pic", "--options", options},
        {"mime", db_, note_, "Pic", "--out", out, "--html-options", options},
        {"mime", db_, note_, "Pic", "--html-options", options},
        {"to-html", db_, note_, "Pic", "--into", "Html", "--options", options},
        {"to-mime", db_, note_, "Pic", "--name", "Mail", "--html-options", options},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0] + " " + command[4]);
        CliOutcome run = Talix(command);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(Has(run.err, "talix: " + command[0] + " failed: the image database cannot be opened\n")) << run.err;
        EXPECT_EQ(ReadFile(out), "old");
    }
    EXPECT_EQ(Talix({"items", db_, note_}).out, items);
    EXPECT_EQ(Talix({"export-html", db_, note_, "Pic", out}).status, 0);
    EXPECT_TRUE(Has(ReadFile(out), "Hi ")) << ReadFile(out);
}

// The start of a command line that runs the program as a user to whom a
// folder closed to others is closed; empty when there is no way to.
std::string AsAnotherUser() {
    std::string prefix;
    if (!talix_test::UnprivilegedPrefix(TALIX_CLI_PATH, &prefix)) return "";
    return prefix + Quoted(TALIX_CLI_PATH);
}

TEST_F(OutputFileCommands, FoldersThatCannotBeWritten) {
    const std::string runner = AsAnotherUser();
    if (runner.empty()) GTEST_SKIP() << "no way to deny a folder to the superuser";
    auto run = [&](const std::vector<std::string>& args) {
        std::string command = runner;
        for (const std::string& arg : args) command += " " + Quoted(arg);
        command += " >" + Quoted(dir_.file("out")) + " 2>" + Quoted(dir_.file("err"));
        const int raw = std::system(command.c_str());
        CliOutcome outcome;
        outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        outcome.err = ReadFile(dir_.file("err"));
        return outcome;
    };
    // The user's file in a folder closed to the user (the database and the
    // test's folder open to all).
    fs::permissions(dir_.path(), fs::perms::all);
    fs::permissions(db_, fs::perms::all);
    const std::string closed = dir_.file("closed");
    fs::create_directory(closed);
    const std::string page = Write("closed/page.html", "old");
    fs::permissions(page, fs::perms::all);
    fs::permissions(closed, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);

    // An output file there is written in place.
    CliOutcome inPlace = run({"export-html", db_, note_, "Pic", page});
    EXPECT_EQ(inPlace.status, 0) << inPlace.err;
    EXPECT_TRUE(Has(ReadFile(page), "there"));
    // Pictures that cannot be written there fail the command, naming the
    // folder; the page it was to write is not left behind.
    const std::string target = dir_.file("written.html");
    CliOutcome pictures =
        run({"export-html", db_, note_, "Pic", target, "--options", "ImageHandling=DISK ImageDirectory=" + closed});
    EXPECT_EQ(pictures.status, 1);
    EXPECT_TRUE(Has(pictures.err, closed)) << pictures.err;
    EXPECT_FALSE(fs::exists(target));
    // A file of its own there that is not yet: one line says why.
    const std::string blocked = closed + "/new.out";
    for (const std::vector<std::string>& args : {std::vector<std::string>{"html", db_, note_, "Pic", "--out", blocked},
                                                 std::vector<std::string>{"export-html", db_, note_, "Pic", blocked},
                                                 std::vector<std::string>{"mime", db_, note_, "Pic", "--out", blocked}}) {
        CliOutcome refused = run(args);
        EXPECT_EQ(refused.status, 1) << args[0];
        EXPECT_EQ(refused.err, "talix: cannot write " + blocked + ": Permission denied\n");
        EXPECT_FALSE(fs::exists(blocked));
    }
    fs::permissions(closed, fs::perms::owner_all);

    // The user's own file, made read-only, in a folder the user may write:
    // refused as the shell's "> F" would be, and left as it was.
    const std::string kept = Write("kept.html", "old");
    if (::geteuid() == 0 && Has(runner, "--reuid=65534")) ASSERT_EQ(::chown(kept.c_str(), 65534, 65534), 0);
    fs::permissions(kept, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"html", db_, note_, "Pic", "--out", kept},
                                                 std::vector<std::string>{"export-html", db_, note_, "Pic", kept},
                                                 std::vector<std::string>{"mime", db_, note_, "Pic", "--out", kept}}) {
        CliOutcome refused = run(args);
        EXPECT_EQ(refused.status, 1) << args[0];
        EXPECT_EQ(refused.err, "talix: cannot write " + kept + ": Permission denied\n");
        EXPECT_EQ(ReadFile(kept), "old") << args[0];
    }
    for (const auto& entry : fs::directory_iterator(dir_.path()))
        EXPECT_FALSE(Has(entry.path().filename().string(), "kept.html.talix-")) << entry.path();

    // So are a graphic exported from a chunk and a picture an export writes
    // to disk over such a file (the picture made by a first export).
    const std::string folder = dir_.file("pictures");
    const std::vector<std::string> disk = {"export-html", db_, note_, "Pic", dir_.file("pictures.html"), "--options",
                                           "ImageHandling=DISK ImageDirectory=" + folder};
    CliOutcome first = run(disk);
    ASSERT_EQ(first.status, 0) << first.err;
    std::string picture;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) picture = entry.path().string();
    ASSERT_FALSE(picture.empty());
    const std::string graphic = Write("kept.gif", "old");
    if (::geteuid() == 0 && Has(runner, "--reuid=65534")) ASSERT_EQ(::chown(graphic.c_str(), 65534, 65534), 0);
    for (const auto& [file, args] :
         {std::pair<std::string, std::vector<std::string>>{
              graphic, {"edit", db_, note_, "Pic", "Graphic 1", "export-graphic", graphic}},
          std::pair<std::string, std::vector<std::string>>{picture, disk}}) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << "old";
        fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        CliOutcome refused = run(args);
        EXPECT_EQ(refused.status, 1) << args[0];
        EXPECT_TRUE(Has(refused.err, "cannot write the file '" + file + "': Permission denied")) << refused.err;
        EXPECT_EQ(ReadFile(file), "old") << file;
        EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }
}

TEST_F(OutputFileCommands, ASignalTakesTheTemporaryFileWithIt) {
    // The program is stopped by SIGTERM as soon as its temporary output file
    // appears (seen through inotify); the file is written and synced before
    // it takes the target's name, so the signal nearly always lands in
    // between. A run the signal reached after the rename is tried again.
    int caught = 0;
    for (int attempt = 0; attempt < 20 && caught == 0; ++attempt) {
        const std::string target = Write("target.html", "old");
        const int watch = ::inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(::inotify_add_watch(watch, dir_.path().c_str(), IN_CREATE), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            const int sink = ::open(dir_.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(sink, 1);
            ::dup2(sink, 2);
            ::execl(TALIX_CLI_PATH, TALIX_CLI_PATH, "html", db_.c_str(), note_.c_str(), "Pic", "--out",
                    target.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        alignas(inotify_event) char events[4096];
        bool seen = false;
        while (!seen) {
            const ssize_t got = ::read(watch, events, sizeof events);
            if (got <= 0) break;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                if (event->len > 0 && Has(event->name, "target.html.talix-")) seen = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        if (seen) ::kill(child, SIGTERM);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(watch);
        ASSERT_TRUE(seen);
        std::size_t left = 0;
        for (const auto& entry : fs::directory_iterator(dir_.path()))
            left += Has(entry.path().filename().string(), "target.html.talix-") ? 1 : 0;
        EXPECT_EQ(left, 0u) << "attempt " << attempt;
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM && ReadFile(target) == "old") ++caught;
    }
    EXPECT_EQ(caught, 1);
}

TEST_F(OutputFileCommands, AStandardOutputThatTakesNothingFailsTheCommand) {
    // Standard output opened for reading only: every write to it fails.
    const std::string unwritable = Write("read-only", "kept");
    runAs_ = "sh -c 'exec \"$@\" 1<\"$0\"' " + Quoted(unwritable) + " ";
    const std::vector<std::vector<std::string>> commands = {
        {"notes", db_},
        {"records", db_, note_, "Pic"},
        {"html", db_, note_, "Pic"},
        {"mime", db_, note_, "Pic"},
        {"export-html", db_, note_, "Pic"},
        {"rewrite", db_, note_, "Pic"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0]);
        CliOutcome run = Talix(command);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Has(run.err, "talix: cannot write")) << run.err;
        EXPECT_EQ(run.err.find("talix: "), run.err.rfind("talix: ")) << run.err;
    }
    EXPECT_EQ(ReadFile(unwritable), "kept");
}

// Files larger than the process may write (ulimit -f, the signal it sends
// ignored): the command fails, says which file could not be written and
// why, and leaves nothing: no output file, no part file, nothing attached
// or saved.
TEST_F(OutputFileCommands, AFileThatCannotBeWrittenWholeFailsTheCommandAndSaysWhy) {
    std::string words;
    while (words.size() < 300000) words += "lorem ipsum dolor ";
    Write("big.html", "<p>" + words + "</p>");
    ASSERT_EQ(Talix({"import-html", db_, note_, "Big", dir_.file("big.html")}).status, 0);
    const std::string itemsBefore = Talix({"items", db_, note_}).out;
    ASSERT_FALSE(Has(itemsBefore, "$FILE")) << itemsBefore;
    const std::string out = dir_.file("big-out");
    runAs_ = "bash -c 'trap \"\" XFSZ; ulimit -f 128; exec \"$0\" \"$@\"' ";
    for (const auto& args : std::vector<std::vector<std::string>>{{"export-html", db_, note_, "Big", out},
                                                                   {"mime", db_, note_, "Big", "--out", out}}) {
        SCOPED_TRACE(args[0]);
        CliOutcome run = Talix(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Has(run.err, "talix: cannot write the file '" + out + "': File too large")) << run.err;
        EXPECT_FALSE(Has(run.err, "could not be converted")) << run.err;
        EXPECT_FALSE(fs::exists(out));
    }
    CliOutcome html = Talix({"html", db_, note_, "Big", "--out", out});
    EXPECT_EQ(html.status, 1);
    EXPECT_TRUE(Has(html.err, "talix: cannot write the markup to " + out + ": File too large")) << html.err;
    EXPECT_FALSE(fs::exists(out));
    setenv("TEMP", dir_.path().c_str(), 1);
    CliOutcome part = Talix({"html", db_, note_, "Big", "--mime", "7"});
    unsetenv("TEMP");
    EXPECT_EQ(part.status, 1);
    EXPECT_TRUE(Has(part.err, "MP7_0.htm': File too large")) << part.err;
    runAs_.clear();
    EXPECT_EQ(Talix({"items", db_, note_}).out, itemsBefore);
    for (const auto& entry : fs::directory_iterator(dir_.path()))
        EXPECT_FALSE(Has(entry.path().filename().string(), ".talix-") || Has(entry.path().filename().string(), "MP7"))
            << entry.path();
}

// Standard output a pipe whose reader has gone (its read end closed before
// the program starts, so that every write fails): the command is not ended
// by the signal such a write raises but exits 1 and says why (the
// system's reason too); what an import saved stays saved.
TEST_F(OutputFileCommands, APipeWithoutAReaderFailsTheCommandWithAMessage) {
    const auto runIntoClosedPipe = [&](const std::vector<std::string>& args) {
        std::vector<char*> argv = {const_cast<char*>(TALIX_CLI_PATH)};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const std::string errors = dir_.file("err");
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(ends[0]);
            ::dup2(ends[1], 1);
            const int sink = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(sink, 2);
            ::signal(SIGPIPE, SIG_DFL);
            ::execv(TALIX_CLI_PATH, argv.data());
            ::_exit(127);
        }
        ::close(ends[0]);
        ::close(ends[1]);
        int status = 0;
        ::waitpid(child, &status, 0);
        CliOutcome run;
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.err = ReadFile(dir_.file("err"));
        return run;
    };
    const std::string fresh = dir_.file("fresh.nsf");
    const std::vector<std::vector<std::string>> commands = {
        {"--version"},
        {"notes", db_},
        {"records", db_, note_, "Pic"},
        {"text", db_, note_, "Pic"},
        {"html", db_, note_, "Pic"},
        {"mime", db_, note_, "Pic"},
        {"export-html", db_, note_, "Pic"},
        {"import", fresh, Sample("styledtext.xml")},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0]);
        CliOutcome run = runIntoClosedPipe(command);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Has(run.err, "talix: cannot write")) << run.err;
        EXPECT_TRUE(Has(run.err, ": Broken pipe\n")) << run.err;
    }
    CliOutcome notes = Talix({"notes", fresh});
    EXPECT_EQ(notes.status, 0) << notes.err;
    EXPECT_EQ(notes.lines().size(), 1u) << notes.out;
}

// A message carries the attachments of its file hotspots as parts of its
// own: making it (into a file, or on standard output) leaves no copy of
// them in the temporary folder. Under FileHandling=DISK the message links
// to the copy there instead, and the copy stays.
TEST_F(OutputFileCommands, AMessageLeavesNoCopyOfItsAttachmentsBehind) {
    const std::string temporary = dir_.file("temporary");
    fs::create_directory(temporary);
    Write("report.txt", "the report\n");
    CliOutcome attached = Talix({"append", db_, note_, "Pic", "attachment", dir_.file("report.txt")});
    ASSERT_EQ(attached.status, 0) << attached.err;
    environment_ = "TEMP=" + temporary;
    const std::string base64 = "dGhlIHJlcG9ydAo=";   // "the report\n"
    CliOutcome filed = Talix({"mime", db_, note_, "Pic", "--out", dir_.file("m.eml")});
    ASSERT_EQ(filed.status, 0) << filed.err;
    const std::string message = ReadFile(dir_.file("m.eml"));
    EXPECT_TRUE(Has(message, "filename=\"report.txt\"")) << message;
    EXPECT_TRUE(Has(message, base64)) << message;
    EXPECT_TRUE(Has(message, "href=\"" + temporary + "/report.txt\"")) << message;
    CliOutcome shown = Talix({"mime", db_, note_, "Pic"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(Steady(shown.out), Steady(message));
    EXPECT_TRUE(fs::is_empty(temporary));

    CliOutcome onDisk = Talix({"mime", db_, note_, "Pic", "--out", dir_.file("d.eml"), "--options", "FileHandling=DISK"});
    ASSERT_EQ(onDisk.status, 0) << onDisk.err;
    EXPECT_FALSE(Has(ReadFile(dir_.file("d.eml")), base64));
    EXPECT_EQ(ReadFile(temporary + "/report.txt"), "the report\n");
    environment_.clear();
}

} // namespace
