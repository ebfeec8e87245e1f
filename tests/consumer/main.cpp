// Makes a database (the path given) holding one note with a rich-text item
// "Body", then opens a session, connects an item to that note's "Body" and
// prints its text. Exit status 0 when the text was read, 1 otherwise.
#include <cstdio>
#include <cstring>

#include <talix/talix.h>
#include <talix_platform.h>

namespace {

// One note whose "Body" holds a text run and a paragraph, as stored records.
constexpr char kNote[] =
    "<note class='document'><item name='Body'><rawitemdata type='1'>"
    "hf8lAAEAAApIZWxsbyBmcm9tIGFuIGluc3RhbGxlZCB0YWxpeACBAg=="
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
    ZervaRTChunk* chunk = status == 0 ? item->DefineChunk("Everything") : nullptr;
    char text[256] = {};
    std::uint32_t length = chunk != nullptr ? chunk->GetText(nullptr, text, sizeof text, 1, nullptr) : 0;
    if (chunk != nullptr) status = chunk->lastStatus;
    delete chunk;
    delete item;
    if (status != 0 || length == 0) {
        std::fprintf(stderr, "consumer: the item's text could not be read (status %u)\n", status);
        return 1;
    }
    std::printf("talix %s: %.*s\n", TALIX_VERSION_STRING, static_cast<int>(length), text);
    return 0;
}
