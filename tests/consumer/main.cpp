// Makes a database (the path given) holding one note with a rich-text item
// "Body" of three paragraphs, then opens a session, connects an item to
// that note's "Body" and prints its text as UTF-8, one line per paragraph.
// Exit status 0 when the text was read, 1 otherwise.
#include <cstdio>
#include <cstring>
#include <string>

#include <talix/talix.h>
#include <talix_platform.h>

namespace {

// One note whose "Body" holds three paragraphs, as stored records: a
// paragraph record and a text run each. The second has characters outside
// ASCII ("Grüße aus Zürich"), in the platform's character set.
constexpr char kNote[] =
    "<note class='document'><item name='Body'><rawitemdata type='1'>"
    "gQKF/yUAAQAACkhlbGxvIGZyb20gYW4gaW5zdGFsbGVkIHRhbGl4AIEChf8YAAEAAApHcoHhZSBhdXMgWoFyaWNogQKF/x0AAQAACmFu"
    "ZCBhIHRoaXJkIHBhcmFncmFwaAA="
    "</rawitemdata></item></note>";

// Stores the note in a new database; its note id, or 0 on failure.
plat::NOTEID MakeNote(const char* path) {
    plat::DBHANDLE db = 0;
    if (plat::DbCreate(path, &db) != plat::NOERROR) return 0;
    plat::DxlImportResult result;
    const plat::STATUS status = plat::DxlImportText(db, kNote, std::strlen(kNote), "consumer", &result);
    plat::DbClose(db);
    if (status != plat::NOERROR || result.notes.size() != 1) {
        std::fprintf(stderr, "consumer: the note was not stored: %s\n", result.error.c_str());
        return 0;
    }
    return result.notes.front();
}

// The text of the chunk's target as UTF-8. The library gives it in the
// platform's character set, with a zero byte for each line end, so it is
// read by its length and converted, not printed up to its first zero.
std::string Utf8Text(ZervaRTChunk* chunk) {
    static char text[65536];
    const std::uint32_t length = chunk->GetText(nullptr, text, sizeof text, 1, nullptr);
    std::string utf8 = plat::LmbcsToNative(std::string_view(text, length));
    for (char& c : utf8) {
        if (c == '\0') c = '\n';
    }
    return utf8;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: talix_consumer DATABASE\n");
        return 2;
    }
    const plat::NOTEID id = MakeNote(argv[1]);
    if (id == 0) return 1;

    RARIvoSession session;
    session.SetUp();
    auto* item = new ZervaRTItem(&session);
    std::uint16_t status = item->Connect("", argv[1], id, "Body", 0);
    // The paragraphs one after the other: the item's whole text would run
    // them together.
    ZervaRTChunk* paragraph = status == 0 ? item->DefineChunk("Paragraph 1") : nullptr;
    std::string lines;
    for (int exists = paragraph != nullptr ? paragraph->Exists() : 0; exists != 0; exists = paragraph->GetNextTarget()) {
        lines += Utf8Text(paragraph) + "\n";
        if (paragraph->lastStatus != 0) break;
    }
    if (paragraph != nullptr) status = paragraph->lastStatus;
    delete paragraph;
    delete item;
    if (status != 0 || lines.empty()) {
        char reason[256];
        plat::StatusText(status, reason, sizeof reason);
        std::fprintf(stderr, "consumer: the item's text could not be read: status %u: %s\n", status, reason);
        return 1;
    }
    std::printf("talix %s: %s", TALIX_VERSION_STRING, lines.c_str());
    return 0;
}
