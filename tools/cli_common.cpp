// Messages, databases, notes and text forms shared by the commands.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <string>
#include <utility>

#include "cli.h"
#include "held_output.h"
#include "talix/item.h"
#include "core/database_files.h"
#include "core/options.h"
#include "core/replacing_file.h"
#include "core/statuses.h"
#include "core/temp_directory.h"

namespace talix_cli {

namespace {

// One message, one line after the prefix: a control character that a name
// or a text in it holds (a line end, a tab) is written as \n, \t, \r or
// \xHH, and a byte that is no UTF-8 as \xHH, so that the message neither
// breaks into lines without the prefix nor hides what the name holds.
void PrintMessage(const char* format, va_list args) {
    va_list counting;
    va_copy(counting, args);
    const int length = std::vsnprintf(nullptr, 0, format, counting);
    va_end(counting);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
    std::string line = "talix: " + Escape(text, 0, false);
    line += '\n';
    std::fputs(line.c_str(), stderr);
}

bool IsHexDigits(const std::string& text, size_t from) {
    if (from >= text.size()) return false;
    for (size_t i = from; i < text.size(); ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

bool IsDecimalDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The note id of a NOTE argument that is not a UNID; false when it is not a
// number of at most 32 bits.
bool ParseNoteId(const std::string& text, plat::NOTEID* id) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex ? !IsHexDigits(text, 2) : !IsDecimalDigits(text)) return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || value > 0xFFFFFFFFull) return false;
    *id = static_cast<plat::NOTEID>(value);
    return true;
}

bool ParseUnid(const std::string& text, plat::UNID* unid) {
    if (text.size() != 32 || !IsHexDigits(text, 0)) return false;
    plat::DWORD part[4];
    for (int i = 0; i < 4; ++i) part[i] = static_cast<plat::DWORD>(std::strtoul(text.substr(i * 8, 8).c_str(), nullptr, 16));
    unid->File.Innards[1] = part[0];
    unid->File.Innards[0] = part[1];
    unid->Note.Innards[1] = part[2];
    unid->Note.Innards[0] = part[3];
    return true;
}

} // namespace

int Fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintMessage(format, args);
    va_end(args);
    return kExitFailed;
}

std::FILE* OpenInput(const std::string& path) {
    std::string why;
    std::FILE* file = plat::OpenInputStream(path.c_str(), &why);
    if (file == nullptr) Fail("%s %s", path.c_str(), why.c_str());
    return file;
}

bool InputIsRegular(const std::string& path) {
    std::string why;
    const int fd = plat::OpenInputFile(path.c_str(), &why);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    // A missing file is left for the command, which reports it as such; a
    // file this user may not read is said to be so here, not taken for one
    // that is not there.
    if (errno != EINVAL && errno != EACCES && errno != EPERM) return true;
    Fail("%s %s", path.c_str(), why.c_str());
    return false;
}

bool OutputIsNotTheDatabase(const std::string& output) {
    const talix::DatabaseAt written = talix::DatabaseWrittenBy(output);
    if (written.kind == talix::DatabaseFile::kNone) return true;
    if (written.kind == talix::DatabaseFile::kDatabase) {
        Fail("cannot write %s: it is the database %s", output.c_str(), written.database.c_str());
    } else {
        Fail("cannot write %s: the database %s keeps its log there", output.c_str(), written.database.c_str());
    }
    return false;
}

bool FileNotWritten(const ZervaRTItem* item, const std::string& path, const std::function<void()>& convert,
                    int* exitCode) {
    HeldOutput held;
    errno = 0;
    convert();
    // The reason the file did not open, as the conversion left it.
    const int error = errno;
    if (item->lastStatus != talix::kItemNotFound || item->ownError != talix::kItemNotFound || error == 0) return false;
    held.Drop();
    *exitCode = Fail("cannot write %s: %s", path.c_str(), std::strerror(error));
    return true;
}

void Warn(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintMessage(format, args);
    va_end(args);
}

int UsageError(const Command& command, const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintMessage(format, args);
    va_end(args);
    std::fprintf(stderr, "usage: talix %s\n", command.usage);
    return kExitUsage;
}

// The library's error words, kept beside a status by an item or a chunk and
// returned as statuses by some of its calls; nullptr for another number.
namespace {

const char* ErrorWordMeaning(unsigned word) {
    static const struct {
        unsigned word;
        const char* meaning;
    } kErrorWords[] = {
        {20013, "a server or database name is not valid"},
        {20014, "the content could not be converted"},
        {20016, "the chunk is neither a table nor a row"},
        {20017, "a formula or an argument is not valid"},
        {20023, "the chunk is not a table"},
        {20024, "out of memory"},
        {20025, "the rich text's structure does not allow it"},
        {20029, "the item is not rich text"},
        {20032, "there is no file or text to import"},
    };
    for (const auto& each : kErrorWords) {
        if (each.word == word) return each.meaning;
    }
    return nullptr;
}

} // namespace

std::string StatusMessage(plat::STATUS status, unsigned errorWord) {
    char text[256];
    plat::StatusText(status, text, sizeof text);
    // A status that is one of the library's error words has no text in the
    // platform's table: its own meaning stands in for the platform's number.
    const char* own = ErrorWordMeaning(status);
    std::string message = "status " + std::to_string(status) + ": " + (own != nullptr ? own : text);
    if (errorWord == 0 || (own != nullptr && errorWord == status)) return message;
    const char* meaning = ErrorWordMeaning(errorWord);
    return message + " (error " + std::to_string(errorWord) + ": " +
           (meaning != nullptr ? meaning : "an error of the library") + ")";
}

Database::~Database() { Close(); }

void Database::Close() {
    if (handle_ != 0) plat::DbClose(handle_);
    handle_ = 0;
}

bool Database::Open(const std::string& path, bool create) {
    plat::STATUS status = plat::DbOpen(path.c_str(), &handle_);
    if (status == plat::NOERROR) return true;
    handle_ = 0;
    if (create) {
        // A database that does not open is created; another process may
        // create it meanwhile, and then it opens. When both fail (something
        // else is there, the folder is missing) both reasons count.
        plat::STATUS created = plat::DbCreate(path.c_str(), &handle_);
        if (created == plat::NOERROR) return true;
        handle_ = 0;
        if (plat::DbOpen(path.c_str(), &handle_) == plat::NOERROR) return true;
        handle_ = 0;
        Fail("cannot open %s: %s; cannot create it: %s", path.c_str(), StatusMessage(status).c_str(),
             StatusMessage(created).c_str());
        return false;
    }
    Fail("cannot open %s: %s", path.c_str(), StatusMessage(status).c_str());
    return false;
}

Note::~Note() {
    if (handle_ != 0) plat::NoteClose(handle_);
}

bool Note::Open(plat::DBHANDLE db, const std::string& noteArg) {
    plat::STATUS status;
    plat::UNID unid;
    plat::NOTEID id = 0;
    if (ParseUnid(noteArg, &unid)) {
        status = plat::NoteOpenByUNID(db, &unid, plat::OPEN_NOTE_DEFAULT, &handle_);
    } else if (ParseNoteId(noteArg, &id)) {
        status = plat::NoteOpen(db, id, plat::OPEN_NOTE_DEFAULT, &handle_);
    } else {
        Fail("'%s' is neither a note id nor a UNID", noteArg.c_str());
        return false;
    }
    if (status != plat::NOERROR) {
        handle_ = 0;
        Fail("cannot open note %s: %s", noteArg.c_str(), StatusMessage(status).c_str());
        return false;
    }
    return true;
}

bool Note::Locate(plat::DBHANDLE db, const std::string& noteArg, plat::NOTEID* id) {
    plat::STATUS status;
    plat::UNID unid;
    *id = 0;
    if (ParseUnid(noteArg, &unid)) {
        status = plat::DbNoteInfoByUNID(db, &unid, id, nullptr, nullptr, nullptr);
    } else if (ParseNoteId(noteArg, id)) {
        // The reserved id of the default view stands for another note.
        if (*id == plat::NOTEID_DEFAULT_VIEW) {
            Note note;
            if (!note.Open(db, noteArg)) return false;
            return plat::NoteGetInfo(note.handle(), plat::NOTE_FIELD_ID, id) == plat::NOERROR;
        }
        status = plat::DbNoteInfo(db, *id, nullptr, nullptr, nullptr);
    } else {
        Fail("'%s' is neither a note id nor a UNID", noteArg.c_str());
        return false;
    }
    if (status != plat::NOERROR) {
        Fail("cannot open note %s: %s", noteArg.c_str(), StatusMessage(status).c_str());
        return false;
    }
    return true;
}

namespace {

size_t g_trailingOperands = 0;

} // namespace

void SetTrailingOperands(size_t count) { g_trailingOperands = count; }

bool IsOperand(const std::vector<std::string>& args, size_t i) {
    return i < args.size() && args.size() - i <= g_trailingOperands;
}

bool RejectOptions(const Command& command, const std::vector<std::string>& args, int* exitCode) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-' && !IsOperand(args, i)) {
            *exitCode = UsageError(command, "unknown option '%s'", arg.c_str());
            return false;
        }
    }
    return true;
}

bool TakeValueOption(const Command& command, std::vector<std::string>* args, const char* name, std::string* value,
                     bool* given, int* exitCode) {
    *given = false;
    for (size_t i = 0; i < args->size(); ++i) {
        if ((*args)[i] != name || IsOperand(*args, i)) continue;
        if (i + 1 >= args->size()) {
            *exitCode = UsageError(command, "%s needs a value", name);
            return false;
        }
        if (*given) {
            *exitCode = UsageError(command, "%s given twice", name);
            return false;
        }
        *value = (*args)[i + 1];
        *given = true;
        args->erase(args->begin() + static_cast<long>(i), args->begin() + static_cast<long>(i) + 2);
        --i;
    }
    return true;
}

bool TakeFormatOption(const Command& command, std::vector<std::string>* args, const char** format, int* exitCode) {
    static const struct {
        const char* word;
        const char* format;
    } kFormats[] = {{"html", "HTML"},        {"xhtml", "XHTML"},           {"xhtml 1.0", "XHTML 1.0"},
                    {"text", "Plain Text"},  {"plain text", "Plain Text"}, {"passthrough", "Passthrough"}};
    std::string word;
    bool given = false;
    if (!TakeValueOption(command, args, "--format", &word, &given, exitCode)) return false;
    if (!given) return true;
    for (const auto& known : kFormats) {
        if (strcasecmp(word.c_str(), known.word) == 0) {
            *format = known.format;
            return true;
        }
    }
    *exitCode = UsageError(command, "--format takes html, xhtml, text or passthrough, not '%s'", word.c_str());
    return false;
}

bool IsNoteArgument(const std::string& text) {
    plat::UNID unid;
    plat::NOTEID id;
    return ParseUnid(text, &unid) || ParseNoteId(text, &id);
}

std::string UnidText(const plat::UNID& unid) {
    char text[33];
    std::snprintf(text, sizeof text, "%08X%08X%08X%08X", static_cast<unsigned>(unid.File.Innards[1]),
                  static_cast<unsigned>(unid.File.Innards[0]), static_cast<unsigned>(unid.Note.Innards[1]),
                  static_cast<unsigned>(unid.Note.Innards[0]));
    return text;
}

std::string Escape(std::string_view utf8, size_t maxChars, bool backslashes) {
    std::string out;
    size_t chars = 0;
    for (size_t i = 0; i < utf8.size();) {
        if (maxChars != 0 && chars++ == maxChars) break;
        const auto c = static_cast<unsigned char>(utf8[i]);
        const size_t length = talix::Utf8CharLength(utf8, i);
        if (length > 1) {
            out.append(utf8.substr(i, length));
            i += length;
            continue;
        }
        ++i;
        switch (c) {
        case '\\': out += backslashes ? "\\\\" : "\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            // Control characters, and bytes that are no UTF-8 (the listing
            // stays UTF-8 whatever a name holds).
            if (c < 0x20 || c == 0x7F || length == 0) {
                char code[8];
                std::snprintf(code, sizeof code, "\\x%02X", c);
                out += code;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    return out;
}

std::vector<ItemValue> FindItems(plat::NOTEHANDLE note, const std::string& utf8Name) {
    std::vector<ItemValue> found;
    std::string name = plat::NativeToLmbcs(utf8Name);
    if (name.size() > 0xFFFF) return found;
    auto length = static_cast<plat::WORD>(name.size());
    plat::BLOCKID item;
    ItemValue each;
    plat::STATUS status = plat::ItemInfo(note, name.c_str(), length, &item, &each.type, &each.value, &each.length);
    while (status == plat::NOERROR) {
        found.push_back(each);
        plat::BLOCKID after = item;
        status = plat::ItemInfoNext(note, after, name.c_str(), length, &item, &each.type, &each.value, &each.length);
    }
    return found;
}

bool OpenItemArguments(const Command& command, const std::vector<std::string>& args, bool richText, Database* db,
                       Note* note, std::vector<ItemValue>* items, int* exitCode) {
    if (!RejectOptions(command, args, exitCode)) return false;
    if (args.size() != 3) {
        *exitCode = UsageError(command, "%s needs a database, a note and an item name", command.name);
        return false;
    }
    if (!IsNoteArgument(args[1])) {
        *exitCode = UsageError(command, "'%s' is neither a note id nor a UNID", args[1].c_str());
        return false;
    }
    if (!db->Open(args[0], false) || !note->Open(db->handle(), args[1])) {
        *exitCode = kExitFailed;
        return false;
    }
    *items = FindItems(note->handle(), args[2]);
    if (items->empty()) {
        *exitCode = Fail("note %s has no item '%s'", args[1].c_str(), args[2].c_str());
        return false;
    }
    for (const ItemValue& item : *items) {
        if (richText && item.type != plat::TYPE_COMPOSITE) {
            *exitCode = Fail("item '%s' is not rich text (data type 0x%04X)", args[2].c_str(),
                             static_cast<unsigned>(item.type));
            return false;
        }
    }
    return true;
}

bool CopyToStandardOutput(const std::string& path) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) return false;
    char buffer[65536];
    int lost = 0;   // the errno of the first read or write that failed
    std::size_t n = 0;
    while (lost == 0 && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        errno = 0;
        if (std::fwrite(buffer, 1, n, stdout) != n) lost = errno != 0 ? errno : EIO;
    }
    if (lost == 0 && std::ferror(in) != 0) lost = EIO;
    std::fclose(in);
    errno = 0;
    if (std::fflush(stdout) != 0 && lost == 0) lost = errno != 0 ? errno : EIO;
    errno = lost;
    return lost == 0;
}

// True when the options have the generation write pictures as files
// (ImageHandling= naming DISK and not IGNORE, as the generation reads it).
bool PicturesGoToDisk(const std::string& lmbcsOptions) {
    std::vector<char> value(lmbcsOptions.size() + 1);
    if (talix::GetOptionValue(lmbcsOptions.c_str(), "ImageHandling=", value.data(),
                              static_cast<std::uint32_t>(value.size())) == 0)
        return false;
    std::string words(value.data());
    for (char& c : words) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return words.find("IGNORE") == std::string::npos && words.find("DISK") != std::string::npos;
}

std::string TemporaryFolder() {
    return !talix::TempDirectory().empty() ? talix::TempDirectory() : std::string("/tmp/");
}

std::string TemporaryFile(const char* suffix) {
    std::string pattern = TemporaryFolder() + "talix-XXXXXX" + suffix;
    // A run ended by a signal takes it with it, as it does its outputs: the
    // signals wait while it is made and named for the handler.
    sigset_t ending, before;
    sigemptyset(&ending);
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&ending, number);
    ::sigprocmask(SIG_BLOCK, &ending, &before);
    const int fd = ::mkstemps(pattern.data(), static_cast<int>(std::strlen(suffix)));
    if (fd >= 0) {
        ::close(fd);
        talix::RememberPendingOutput(pattern.c_str());
    }
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    return fd >= 0 ? pattern : "";
}

} // namespace talix_cli
