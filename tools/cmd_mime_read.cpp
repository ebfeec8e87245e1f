// The commands store-eml (a mail file stored as MIME part items of a note,
// as incoming mail is stored) and from-mime (such items converted into a
// rich-text item).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "core/statuses.h"
#include "mime/mime_reading.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix_cli {

namespace {

// Reads a whole file; false, having said why, when it cannot be read.
bool ReadFile(const std::string& path, std::string* content) {
    std::FILE* file = OpenInput(path);
    if (file == nullptr) return false;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) content->append(buffer, n);
    const bool ok = std::ferror(file) == 0;
    if (!ok) Fail("cannot read %s: %s", path.c_str(), std::strerror(errno));
    std::fclose(file);
    return ok;
}

// A file whose lines end in LF alone (as many programs keep mail), or in CR
// alone, is read as mail travels, with CR LF; a file holding any CR LF is
// taken as it is.
std::string AsTransmitted(std::string content) {
    if (content.find("\r\n") != std::string::npos) return content;
    const char lineEnd = content.find('\n') != std::string::npos ? '\n' : '\r';
    if (content.find(lineEnd) == std::string::npos) return content;
    std::string out;
    out.reserve(content.size() + content.size() / 32);
    for (const char c : content) {
        if (c == lineEnd) {
            out.append("\r\n");
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Why content is no mail message, or null when it is one: a message starts
// with its header lines (a field name of printable characters, then a colon)
// up to the first empty line, and one with none is not mail.
const char* NotMail(const std::string& content) {
    if (content.empty()) return "it is empty";
    std::size_t at = 0;
    while (at < content.size()) {
        std::size_t end = content.find('\n', at);
        if (end == std::string::npos) end = content.size();
        const std::string_view line(content.data() + at, end - at);
        if (line.empty() || line == "\r") break;
        std::size_t name = 0;
        while (name < line.size() && line[name] > ' ' && line[name] < 0x7F && line[name] != ':') ++name;
        if (name > 0 && name < line.size() && line[name] == ':') return nullptr;
        at = end + 1;
    }
    return "it has no header line";
}

} // namespace

int RunStoreEml(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() != 4) return UsageError(command, "store-eml needs a database, a note, an item name and a file");
    if (!IsNoteArgument(args[1])) return UsageError(command, "'%s' is neither a note id nor a UNID", args[1].c_str());
    std::string content;
    if (!ReadFile(args[3], &content)) return kExitFailed;
    if (const char* reason = NotMail(content))
        return Fail("cannot store %s: it is not a mail message: %s", args[3].c_str(), reason);
    content = AsTransmitted(std::move(content));
    Database db;
    Note note;
    if (!db.Open(args[0], false) || !note.Open(db.handle(), args[1])) return kExitFailed;
    const std::string name = plat::NativeToLmbcs(args[2]);
    if (name.empty() || name.size() > 0xFFFF) return UsageError(command, "the item name is empty or too long");
    plat::MimeStoreResult result;
    plat::STATUS status = plat::MimeStoreMessage(note.handle(), name.c_str(), static_cast<plat::WORD>(name.size()),
                                                 content.data(), content.size(), &result);
    // The store keeps every body that does not fit in an item in a file of
    // the note: only a part's header lines with its boundary line cannot be.
    if (status == plat::ERR_ITEM_TOO_LARGE)
        return Fail("cannot store %s as '%s': its header lines are too long: those of a part, with its boundary "
                    "line, must fit in the 65,535 bytes an item holds",
                    args[3].c_str(), args[2].c_str());
    // With a note, a name and a message given, only the name can be refused:
    // the note's attachments are its "$FILE" items, which the parts would
    // replace.
    if (status == plat::ERR_BAD_ARGUMENT)
        return Fail("cannot store %s as '%s': that is the name of the items that hold the note's attachments",
                    args[3].c_str(), args[2].c_str());
    if (status != plat::NOERROR)
        return Fail("cannot store %s as '%s': %s", args[3].c_str(), args[2].c_str(), StatusMessage(status).c_str());
    status = plat::NoteUpdate(note.handle(), plat::UPDATE_FORCE);
    if (status != plat::NOERROR) return Fail("cannot save the note: %s", StatusMessage(status).c_str());
    std::printf("%u\t%u\n", static_cast<unsigned>(result.parts), static_cast<unsigned>(result.attachedBodies));
    return kExitOk;
}

int RunFromMime(const Command& command, const std::vector<std::string>& given) {
    int exitCode = kExitOk;
    std::vector<std::string> args = given;
    std::string options;
    bool hasOptions = false;
    if (!TakeValueOption(command, &args, "--options", &options, &hasOptions, &exitCode) ||
        !RejectOptions(command, args, &exitCode))
        return exitCode;
    if (args.size() != 3) return UsageError(command, "from-mime needs a database, a note and an item name");
    if (!IsNoteArgument(args[1])) return UsageError(command, "'%s' is neither a note id nor a UNID", args[1].c_str());
    // Measured as the library takes it: a control character or one past
    // 16 bits takes more bytes in LMBCS than in UTF-8.
    if (plat::NativeToLmbcs(options).size() > 0xFFFF)
        return UsageError(command, "the option text is longer than 65,535 bytes");
    plat::NOTEID id = 0;
    {
        Database db;
        Note note;
        if (!db.Open(args[0], false) || !note.Open(db.handle(), args[1])) return kExitFailed;
        const std::vector<ItemValue> items = FindItems(note.handle(), args[2]);
        if (items.empty())
            return Fail("note %s has no MIME items named '%s'; nothing was converted", args[1].c_str(),
                        args[2].c_str());
        if (items.front().type != plat::TYPE_MIME_PART)
            return Fail("item '%s' is not MIME (data type 0x%04X)", args[2].c_str(),
                        static_cast<unsigned>(items.front().type));
        plat::NoteGetInfo(note.handle(), plat::NOTE_FIELD_ID, &id);
    }
    RARIvoSession session;
    session.SetUp();
    ZervaRTItem item(&session);
    const std::string name = plat::NativeToLmbcs(args[2]);
    talix::STATUS status = item.CopyItem("", args[0].c_str(), id, name.c_str(), 0);
    if (status != talix::kOK) return Fail("cannot open note %s: %s", args[1].c_str(), StatusMessage(status).c_str());
    const std::string lmbcsOptions = plat::NativeToLmbcs(options);
    status = item.ConvertFromMIMEBackend(item.noteHandle, name.c_str(), lmbcsOptions.c_str(),
                                         static_cast<std::uint16_t>(lmbcsOptions.size()));
    if (status == talix::kRenderingSkipped)
        return Fail("from-mime refused: rendering skipped (status 14409); the MIME items are kept");
    if (status == talix::kHtmlPastBound)
        return Fail("from-mime refused: the HTML is past a bound of the import (status 14410); the MIME items are "
                    "kept");
    if (item.connected == 0)
        return Fail("from-mime failed: item '%s' cannot be converted: %s; the MIME items are kept", args[2].c_str(),
                    talix::MimeRefusalReason(item.noteHandle, name.c_str(), item.lastStatus).c_str());
    status = item.Save();
    if (status != talix::kOK) return Fail("cannot save the note: %s", StatusMessage(status).c_str());
    return kExitOk;
}

} // namespace talix_cli
