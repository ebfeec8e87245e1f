// Shared pieces of the talix program: exit statuses, messages, opening
// databases and notes, and the text forms of the listings.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/utf8.h"
#include "talix_platform.h"

class ZervaRTItem;

namespace talix_cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A command: its name, its usage line and help text, and what runs it with
// the arguments that follow the command name.
struct Command {
    const char* name;
    const char* usage;
    const char* help;
    int (*run)(const Command& command, const std::vector<std::string>& args);
};

// Prints "talix: <message>" on standard error and returns kExitFailed.
int Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Prints "talix: <message>" on standard error: something the user should
// know of that does not make the command fail.
void Warn(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Prints "talix: <message>" and the command's usage line on standard error
// and returns kExitUsage.
int UsageError(const Command& command, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The arguments after a lone "--" are operands whatever they look like (a
// text beginning with "--", an item named "-h"): main takes the "--" out and
// says how many of the command's arguments, the last ones, follow it. Taking
// options out of the arguments never moves those, so that they stay the last.
void SetTrailingOperands(size_t count);
// Whether args[i] is one of those operands, never an option.
bool IsOperand(const std::vector<std::string>& args, size_t i);
// False, with *exitCode set by UsageError, when an argument looks like an
// option ("--...") that the command does not take.
bool RejectOptions(const Command& command, const std::vector<std::string>& args, int* exitCode);
// A status as every failure message gives it: "status N: " and the
// platform's text for it. With an error word of the library (not 0), what
// that word means follows: "status 1028: ... (error 20014: ...)".
std::string StatusMessage(plat::STATUS status, unsigned errorWord = 0);
// Copies a file to standard output as it is; false, with errno saying why,
// when it cannot.
bool CopyToStandardOutput(const std::string& path);
// A new empty file "<temporary directory>talix-XXXXXX<suffix>" (the suffix
// four characters, such as ".eml"); an empty name when none can be made.
// It is removed when a signal ends the program (see main.cpp).
std::string TemporaryFile(const char* suffix);
// The folder TemporaryFile makes its files in (the temporary directory the
// environment names), for the message when it cannot.
std::string TemporaryFolder();
// True when the generation's options (in LMBCS) have it write pictures as
// files (ImageHandling= naming DISK and not IGNORE), which it places by the
// name of the file the document goes to.
bool PicturesGoToDisk(const std::string& lmbcsOptions);

// Opens a file a command reads (plat::OpenInputStream): null, having said
// why ("talix: F is a FIFO, not a regular file"), when it is not a regular
// file or cannot be read.
std::FILE* OpenInput(const std::string& path);
// False, having said why, when an input file of a command is there but is
// not a regular file (a FIFO, a device, a directory): checked before the
// command reads anything of the database, so that it is refused at once, as
// is a file this user may not read. A file that is not there is left to the
// command to report.
bool InputIsRegular(const std::string& path);
// False, having said so, when the output file a command is given is a
// database the command has open (by any name or link) or one of the log
// files kept beside it: the output would take the database's place, or be
// taken for its log. Asked once the command has its database open.
bool OutputIsNotTheDatabase(const std::string& output);
// Runs convert, a conversion of item into the file path. When it fails for
// want of opening that file, the library's message for it names the file
// but not why, and the command's own would repeat it: both give way to one
// line that says why ("cannot write PATH: REASON"), and *exitCode is set;
// true then. Anything else the conversion printed goes out as it was.
bool FileNotWritten(const ZervaRTItem* item, const std::string& path, const std::function<void()>& convert,
                    int* exitCode);

// An open database, closed with the object.
class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    // Opens path (creating it first when create is set and it does not open);
    // on failure prints the reason and returns false.
    bool Open(const std::string& path, bool create);
    plat::DBHANDLE handle() const { return handle_; }
    void Close();

private:
    plat::DBHANDLE handle_ = 0;
};

// An open note, closed with the object.
class Note {
public:
    Note() = default;
    ~Note();
    Note(const Note&) = delete;
    Note& operator=(const Note&) = delete;
    // Opens the note a NOTE argument names; on failure prints the reason and
    // returns false.
    bool Open(plat::DBHANDLE db, const std::string& noteArg);
    // The id of the note a NOTE argument names, found without reading its
    // items; on failure prints the reason as Open does and returns false.
    static bool Locate(plat::DBHANDLE db, const std::string& noteArg, plat::NOTEID* id);
    plat::NOTEHANDLE handle() const { return handle_; }

private:
    plat::NOTEHANDLE handle_ = 0;
};

// Takes "--NAME VALUE" (name with its dashes) out of args. False, with
// *exitCode set by UsageError, for a missing value or an option given twice.
bool TakeValueOption(const Command& command, std::vector<std::string>* args, const char* name, std::string* value,
                     bool* given, int* exitCode);

// Takes "--format NAME" out of args and gives the library's name of that
// kind of markup in *format (left as it is without the option): html,
// xhtml, text or passthrough, in any case ("XHTML 1.0" and "Plain Text" too).
// False, with *exitCode set by UsageError, for a missing or unknown NAME.
bool TakeFormatOption(const Command& command, std::vector<std::string>* args, const char** format, int* exitCode);

// True when text is a NOTE argument: a note id ("0x20FA" or decimal) or a
// UNID of 32 hexadecimal digits.
bool IsNoteArgument(const std::string& text);

// The title of a note, in UTF-8: its "$TITLE", else its "Subject" (the
// first entry of a list), else empty.
std::string NoteTitle(plat::NOTEHANDLE note);

// The names of a note's class bits ("form, default"; a design element of
// the form class named by the kind its "$Flags" give, as "page, default"),
// and of an item's data type and flags ("rich text, signed, summary"), for
// the listings; bits without a name are given as one hexadecimal number.
std::string NoteClassNames(plat::WORD noteClass, std::string_view designFlags = {});
// The kind of design element of the form class that its "$Flags" name:
// form, subform, page, image resource, file resource, frameset, XPage or
// custom control.
const char* DesignKindName(std::string_view flags);
std::string ItemTypeNames(plat::WORD type, plat::WORD flags);

// The 32 upper-case hexadecimal digits of a UNID.
std::string UnidText(const plat::UNID& unid);
// Text for one field of a tab-separated line: control characters written
// as \t, \n, \r or \xHH, a byte that is no UTF-8 as \xHH and a backslash as
// \\, so that the field stays on its line, is UTF-8 and reads back as it
// was; cut first at maxChars characters (0: no limit). A message keeps its
// backslashes (backslashes false): it is read, not parsed.
std::string Escape(std::string_view utf8, size_t maxChars = 0, bool backslashes = true);

using talix::IsUtf8;

// False, with *exitCode set by UsageError, when an argument that the
// command takes as a name or a text is not UTF-8 (see text_arguments.cpp).
// Asked by main before the command runs.
bool ArgumentsAreUtf8(const Command& command, const std::vector<std::string>& args, int* exitCode);

// The values of every item of a name in an open note, in stored order.
struct ItemValue {
    plat::BLOCKID value;
    plat::WORD type = 0;
    plat::DWORD length = 0;   // counts the data-type word
};
std::vector<ItemValue> FindItems(plat::NOTEHANDLE note, const std::string& utf8Name);

// Checks the arguments DB NOTE ITEM (after any option the command took out
// of them), opens the database and the note and finds the item's values,
// which with richText must all be rich text. False, with the exit code set
// and the reason printed, when one of these fails.
bool OpenItemArguments(const Command& command, const std::vector<std::string>& args, bool richText, Database* db,
                       Note* note, std::vector<ItemValue>* items, int* exitCode);

// A record of a stored rich-text value, as the value holds it.
struct StoredRecord {
    plat::WORD signature = 0;
    size_t offset = 0;                     // from the start of the value (its data-type word)
    size_t length = 0;                     // stored length, header included
    const unsigned char* bytes = nullptr;  // the whole record
};
// Walks the records of a stored rich-text value (data-type word first),
// calling each (may be empty) for every record. False when the value is
// damaged; *damage then says where and what ("damaged data at byte 16: ...").
bool WalkStoredRecords(const unsigned char* value, size_t length, const std::function<void(const StoredRecord&)>& each,
                       std::string* damage);

// False, having said where and what is damaged (the walk above, and the
// status the platform's record reader gives), when a rich-text value of the
// item is damaged: a command writes an item back only as it read it, whole.
bool ItemUndamaged(const Command& command, const std::string& itemName, const std::vector<ItemValue>& items);

int RunImport(const Command& command, const std::vector<std::string>& args);
int RunNotes(const Command& command, const std::vector<std::string>& args);
int RunItems(const Command& command, const std::vector<std::string>& args);
int RunValue(const Command& command, const std::vector<std::string>& args);
int RunRecords(const Command& command, const std::vector<std::string>& args);
int RunRecordsCommand(const Command& command, const std::vector<std::string>& args);
int RunRewrite(const Command& command, const std::vector<std::string>& args);
int RunView(const Command& command, const std::vector<std::string>& args);
int RunFormula(const Command& command, const std::vector<std::string>& args);
int RunText(const Command& command, const std::vector<std::string>& args);
int RunHtml(const Command& command, const std::vector<std::string>& args);
int RunCount(const Command& command, const std::vector<std::string>& args);
int RunDesign(const Command& command, const std::vector<std::string>& args);
int RunCreateDesign(const Command& command, const std::vector<std::string>& args);
int RunAppend(const Command& command, const std::vector<std::string>& args);
int RunImportHtml(const Command& command, const std::vector<std::string>& args);
int RunEdit(const Command& command, const std::vector<std::string>& args);
int RunQuery(const Command& command, const std::vector<std::string>& args);
int RunGetProperty(const Command& command, const std::vector<std::string>& args);
int RunSetProperty(const Command& command, const std::vector<std::string>& args);
int RunPropertyText(const Command& command, const std::vector<std::string>& args);
int RunCheck(const Command& command, const std::vector<std::string>& args);
int RunMatch(const Command& command, const std::vector<std::string>& args);
int RunWiki(const Command& command, const std::vector<std::string>& args);
int RunMime(const Command& command, const std::vector<std::string>& args);
int RunToMime(const Command& command, const std::vector<std::string>& args);
int RunExportHtml(const Command& command, const std::vector<std::string>& args);
int RunToHtml(const Command& command, const std::vector<std::string>& args);
int RunFromHtml(const Command& command, const std::vector<std::string>& args);
int RunStoreEml(const Command& command, const std::vector<std::string>& args);
int RunFromMime(const Command& command, const std::vector<std::string>& args);

// Runs a command that changes notes of the database args[0] names (see
// change_run.cpp). A read-only database refuses it with ReadOnlyDatabase,
// unless it writes only when asked to (writesOnRequest, a formula): it then
// runs as a reading command.
int RunChange(const Command& command, const std::vector<std::string>& args, bool writesOnRequest);
// Refuses a change of a database this user cannot write: "the database
// PATH is read-only ..."; returns kExitFailed.
int ReadOnlyDatabase(const std::string& path);

// The number of messages the library has shown through the host's message
// procedure (each printed on standard error) since the program started.
int MessagesShown();

} // namespace talix_cli
