// Drives messages with files through storing as part items and reading
// back into rich text, and checks what becomes of the note's attachments.
// The first byte picks what the note holds besides: bit 0 an attachment
// named "notes.txt" already, bit 1 "$DelayedImagesOK" set to "ok", bit 2
// takes away the first attachment that holds a part's body before the
// conversion (a stored message whose body file went missing), bit 3 makes
// each "@@BIG@@" of the message 70,000 letters (a part the note keeps in an
// attachment of its own); the rest is the message, stored by the
// platform's splitter.
//
// Whatever the input: a conversion that does not end in rich text leaves
// the note's attachments and MIME items as they were; one that does leaves
// every attachment the note had (but those that held the bodies of parts),
// and each file it added has a name that is neither empty nor a path, with
// no control character and no "..", free in the note (letters alike in
// either case). The note is closed without being stored.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/attachments.h"
#include "core/shared_services.h"
#include "fuzz_support.h"
#include "mime/mime_part.h"
#include "platform/testing.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::vector<std::string> AttachmentNames(plat::NOTEHANDLE note) {
    std::vector<talix::NoteAttachment> attachments;
    if (talix::ListAttachments(note, &attachments) != 0) abort();
    std::vector<std::string> names;
    for (const talix::NoteAttachment& attachment : attachments) names.push_back(attachment.name);
    return names;
}

// The part items of "Body" as stored, and the names of the attachments
// their bodies are kept in.
std::vector<std::string> BodyItems(plat::NOTEHANDLE note, std::unordered_set<std::string>* bodyFiles) {
    std::vector<std::string> items;
    plat::BLOCKID item, value;
    plat::DWORD length = 0;
    plat::STATUS status = plat::ItemInfo(note, "Body", 4, &item, nullptr, &value, &length);
    while (status == plat::NOERROR) {
        const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
        items.emplace_back(reinterpret_cast<const char*>(bytes), length);
        talix::MIMEPartHeader header;
        talix::MimePartTexts texts;
        if (bodyFiles != nullptr && talix::ParseMimePart(bytes, length, &header, &texts) == 0 &&
            (header.flags & talix::kPartBodyInFile) != 0)
            bodyFiles->insert(Lower(std::string(texts.body.substr(0, talix::kPartFileNameLength))));
        plat::BlockUnlock(value);
        status = plat::ItemInfoNext(note, item, "Body", 4, &item, nullptr, &value, &length);
    }
    return items;
}

bool SafeName(const std::string& lmbcs) {
    const std::string name = plat::LmbcsToNative(lmbcs);
    if (name.empty() || name.find("..") != std::string::npos || name.find_first_of("/\\:") != std::string::npos)
        return false;
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

void TakeAwayABodyFile(plat::NOTEHANDLE note) {
    std::unordered_set<std::string> bodyFiles;
    BodyItems(note, &bodyFiles);
    std::vector<talix::NoteAttachment> attachments;
    talix::ListAttachments(note, &attachments);
    for (const talix::NoteAttachment& attachment : attachments) {
        if (bodyFiles.count(Lower(attachment.name)) == 0) continue;
        plat::NoteDetachFile(note, attachment.item);
        return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t choice = data[0];
    const plat::NOTEHANDLE note = talix_fuzz::NewNote();
    if ((choice & 1) != 0 && talix::AttachBufferAsFile(talix_fuzz::RunDatabase().db, note, "notes.txt", "kept", 4) != 0)
        abort();
    std::string message(reinterpret_cast<const char*>(data + 1), size - 1);
    if ((choice & 8) != 0)
        for (std::size_t at = 0; (at = message.find("@@BIG@@", at)) != std::string::npos; at += 70000)
            message.replace(at, 7, std::string(70000, 'x'));
    plat::MimeStoreMessage(note, "Body", 4, message.data(), message.size());
    if ((choice & 2) != 0) plat::ItemSetText(note, "$DelayedImagesOK", "ok", 2);
    if ((choice & 4) != 0) TakeAwayABodyFile(note);

    std::unordered_set<std::string> bodyFiles;
    const std::vector<std::string> items = BodyItems(note, &bodyFiles);
    const std::vector<std::string> before = AttachmentNames(note);
    bool converted = false;
    {
        RARIvoSession session;
        ZervaRTItem item(&session);
        item.ConnectBackend(note, "Body", 0);
        plat::WORD type = 0;
        converted = plat::ItemInfo(note, "Body", 4, nullptr, &type, nullptr, nullptr) == 0 &&
                    type != plat::TYPE_MIME_PART;
    }
    const std::vector<std::string> after = AttachmentNames(note);
    if (!converted) {
        if (after != before || BodyItems(note, nullptr) != items) abort();
    } else {
        std::unordered_map<std::string, int> had, has;
        for (const std::string& name : before) ++had[Lower(name)];
        for (const std::string& name : after) ++has[Lower(name)];
        for (const auto& [name, count] : had)   // only the bodies' attachments go
            if (has[name] < count && bodyFiles.count(name) == 0) abort();
        for (const std::string& name : after) {
            const std::string key = Lower(name);
            if (had.count(key) != 0 && has[key] <= had[key]) continue;
            if (had.count(key) != 0 || has[key] != 1 || !SafeName(name)) abort();   // a new file
        }
    }
    if (plat::TestOpenNotes() != 1) abort();   // the note of this input only
    plat::NoteClose(note);
    return 0;
}
