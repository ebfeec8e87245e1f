// The buffer form of the MIME writer: the numbered pieces that
// GenerateMIMEForRTItem answers from the session's output cache, a caller's
// own event procedure, and the two output procedures of the conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/attachments.h"
#include "core/base64.h"
#include "core/mime_ids.h"
#include "core/session_work_area.h"
#include "mime/mime_export.h"
#include "mime_fixture.h"
#include "talix/chunk.h"

namespace {

using namespace mime_test;

std::size_t Blocks(const RARIvoSession& session) {
    std::size_t count = 0;
    for (const talix::OutputCacheBlock* block = session.workArea->outputCache; block != nullptr; block = block->next)
        ++count;
    return count;
}

class BufferForm : public MimeTest {
protected:
    // Piece n of the entity, answered in a buffer of the capacity.
    std::string Piece(std::uint16_t part, std::uint32_t capacity = 65406, ZervaRTChunk::ActOnText procedure = nullptr) {
        std::vector<char> buffer(capacity + 1, 'x');
        std::uint32_t size = capacity;
        item_.GenerateMIMEForRTItem(part, nullptr, nullptr, nullptr, "", 0, "", 0, buffer.data(), &size, procedure,
                                    nullptr);
        EXPECT_LT(size, capacity);
        EXPECT_EQ(buffer[size], '\0') << "piece " << part;
        return std::string(buffer.data(), size);
    }
    std::string Tail() {
        char token[talix::kNoteTokenSize] = {};
        talix::ReadNoteToken(item_.noteHandle, token);
        return std::string(token + 16);
    }
};

TEST_F(BufferForm, PiecesOfTheEntity) {
    const std::vector<std::uint8_t> gif = graphic_test::GifData(4, 4, 120), jpeg = graphic_test::JpegData(8, 6);
    Records records = engine_test::Runs({"Pieces"});
    const Records picture = graphic_test::GifPicture(gif, 4, 4), photo = JpegPicture(jpeg, 8, 6);
    records.insert(records.end(), picture.begin(), picture.end());
    records.insert(records.end(), photo.begin(), photo.end());
    Store(records);

    const std::string all = Piece(0);
    EXPECT_EQ(item_.lastStatus, 0);
    const std::size_t blocks = Blocks(session_);
    const std::string headers = Piece(1), htmlHeader = Piece(2), html = Piece(3), image = Piece(blocks - 1),
                      jpegPiece = Piece(blocks);
    EXPECT_EQ(Blocks(session_), blocks) << "the later pieces come from the first run";
    EXPECT_EQ(headers.rfind("Received: ", 0), 0u);
    const std::string last = "X-MimeOLE: Produced By Talix - ExportToMime method\n";
    EXPECT_EQ(headers.substr(headers.size() - last.size()), last);
    EXPECT_EQ(htmlHeader, "--=_related " + Tail() + "_=\nContent-Type: text/html; charset=\"us-ascii\"\n\n");
    EXPECT_EQ(all.substr(0, headers.size() + htmlHeader.size()), headers + htmlHeader);
    EXPECT_EQ(all.substr(all.size() - image.size() - jpegPiece.size()), image + jpegPiece);
    // The picture's piece: its part header, then its data in Base64.
    const std::size_t body = image.find("\n\n");
    ASSERT_NE(body, std::string::npos);
    EXPECT_EQ(image.substr(0, image.find('\n')), "--=_related " + Tail() + "_=");
    EXPECT_NE(image.find("Content-Type: image/gif\nContent-Transfer-Encoding: base64\nContent-ID: <_1_"),
              std::string::npos);
    std::vector<std::uint8_t> decoded(image.size());
    decoded.resize(talix::DecodeBase64(image.data() + body, decoded.data(), static_cast<std::uint32_t>(image.size() - body),
                                       static_cast<std::uint32_t>(decoded.size())));
    EXPECT_EQ(decoded, gif);
    // The HTML names each picture's part by its Content-ID.
    EXPECT_NE(jpegPiece.find("Content-Type: image/jpeg\n"), std::string::npos);
    for (const std::string& piece : {image, jpegPiece}) {
        const std::size_t id = piece.find("Content-ID: <");
        ASSERT_NE(id, std::string::npos);
        const std::string cid = piece.substr(id + 13, piece.find('>', id) - id - 13);
        EXPECT_NE(html.find("src=\"cid:" + cid + "\""), std::string::npos) << cid << " in " << html;
    }

    EXPECT_EQ(Piece(9), "");
    // A small buffer makes the same pieces, and part 0 takes whole pieces
    // only, at most its capacity less one.
    EXPECT_EQ(Piece(0, static_cast<std::uint32_t>(htmlHeader.size() + 1)), htmlHeader);
    EXPECT_EQ(Piece(1, 64), headers.substr(0, 63));
    // The pieces from the first piece of a new run on.
    EXPECT_EQ(Piece(0).size(), all.size());

    // A null buffer or size does nothing.
    std::uint32_t size = 100;
    item_.GenerateMIMEForRTItem(0, nullptr, nullptr, nullptr, "", 0, "", 0, nullptr, &size, nullptr, nullptr);
    EXPECT_EQ(size, 100u);
    char buffer[4] = "abc";
    item_.GenerateMIMEForRTItem(0, nullptr, nullptr, nullptr, "", 0, "", 0, buffer, nullptr, nullptr, nullptr);
    EXPECT_STREQ(buffer, "abc");
}

// The buffer form carries every icon the records call for, each once, and
// each under the Content-ID the HTML names it by.
TEST_F(BufferForm, IconsArePiecesOfTheirOwn) {
    Records records = engine_test::Runs({"Icons"});
    records.insert(records.end(), {TableTab(), engine_test::Text("tab"), TableTab(), CheckList(true), CheckList(false),
                                   CheckList(true)});
    Store(records);
    const std::string all = Piece(0);
    EXPECT_EQ(item_.lastStatus, 0);
    for (const char* id : {"<_a_tabletab>", "<_a_checked>", "<_a_unchecked>"}) {
        const std::string header = std::string("Content-Type: image/gif\nContent-Transfer-Encoding: base64\nContent-ID: ") + id;
        const std::size_t at = all.find(header);
        ASSERT_NE(at, std::string::npos) << id;
        EXPECT_EQ(all.find(id, at + header.size()), std::string::npos) << id << " once";
    }
    for (std::size_t at = all.find("cid:"); at != std::string::npos; at = all.find("cid:", at + 1)) {
        const std::string id = all.substr(at + 4, all.find_first_of("\")' ", at) - at - 4);
        EXPECT_NE(all.find("Content-ID: <" + id + ">"), std::string::npos) << id;
    }
}

TEST_F(BufferForm, ABodyLargerThanTheBufferComesWhole) {
    std::vector<std::string> texts;
    for (int i = 0; i < 300; ++i) texts.push_back("Row" + std::to_string(i) + std::string(240, 'q'));
    Store(engine_test::Runs(texts));
    std::vector<char> buffer(8000);
    std::uint32_t size = 8000;
    item_.GenerateMIMEForRTItem(0, nullptr, nullptr, "Plain Text", "", 0, "", 0, buffer.data(), &size, nullptr,
                                nullptr);
    EXPECT_EQ(item_.lastStatus, 0);
    std::vector<char> piece(1048577);
    size = 1048577;
    item_.GenerateMIMEForRTItem(3, nullptr, nullptr, "Plain Text", "", 0, "", 0, piece.data(), &size, nullptr,
                                nullptr);
    // One word of 72,900 characters: no line end may part it, so the body
    // goes quoted-printable, its lines joined by soft breaks.
    std::string body;
    for (std::uint32_t i = 0; i < size; ++i) {
        if (piece[i] == '=' && i + 1 < size && piece[i + 1] == '\r') continue;
        if (piece[i] != '\r' && piece[i] != '\n' && piece[i] != ' ') body += piece[i];
    }
    EXPECT_EQ(body.find("Row0qqq"), 0u);
    EXPECT_NE(body.find("Row299" + std::string(240, 'q')), std::string::npos);
    // The part file the generation made is not left in the note.
    char name[128] = {};
    EXPECT_EQ(talix::FindAttachmentName(item_.noteHandle, name, sizeof name, 1), 0) << name;
}

struct Event {
    std::string text;
    std::string marker;
};
std::vector<Event> g_events;
std::uint16_t Collect(ZervaRTChunk* chunk, char* text, std::uint16_t length) {
    g_events.push_back({std::string(text, length), chunk->session->workArea->eventMarker});
    return 0;
}

TEST_F(BufferForm, ACallersProcedureGetsEachPieceAsAnEvent) {
    Store(engine_test::Runs({"Events"}));
    g_events.clear();
    std::vector<char> buffer(4096);
    std::uint32_t size = 4096;
    item_.SaveAsMimeInternal("", nullptr, nullptr, nullptr, "", 0, "", 0, buffer.data(), &size, 1, 0, Collect,
                             nullptr);
    EXPECT_EQ(item_.lastStatus, 0);
    EXPECT_EQ(size, 0u);
    ASSERT_GE(g_events.size(), 2u);
    EXPECT_EQ(g_events[0].text.rfind("Received: ", 0), 0u);
    EXPECT_EQ(g_events[1].text.rfind("--=_related ", 0), 0u);
    for (const Event& event : g_events) EXPECT_EQ(event.marker, "Event Restart");
    EXPECT_STREQ(session_.workArea->eventMarker, "");
    // The rendering copy of the buffer form stays in the open note.
    EXPECT_EQ(Values("0_M$").size(), 1u);

    // Without a procedure the text stays in the buffer.
    size = 4096;
    item_.SaveAsMimeInternal("", nullptr, nullptr, nullptr, "", 0, "", 0, buffer.data(), &size, 1, 0, nullptr,
                             nullptr);
    EXPECT_GT(size, 0u);
    EXPECT_EQ(std::string(buffer.data(), 10), "Received: ");
    // Without a procedure, a buffer too small for the header lines says so.
    size = 40;
    item_.SaveAsMimeInternal("", nullptr, nullptr, nullptr, "", 0, "", 0, buffer.data(), &size, 1, 0, nullptr,
                             nullptr);
    EXPECT_EQ(item_.lastStatus, 263);
}

TEST_F(BufferForm, TheCollectingProcedureKeepsItsBlocks) {
    Store(engine_test::Runs({"Blocks"}));
    std::unique_ptr<ZervaRTChunk> owned(item_.DefineChunk("Everything"));
    ZervaRTChunk* chunk = owned.get();
    ASSERT_NE(chunk, nullptr);
    char* marker = session_.workArea->eventMarker;
    std::string piece(60000, 'a');
    EXPECT_EQ(talix::AppendToEventBuffer(chunk, piece.data(), 30000), 0);
    EXPECT_EQ(talix::AppendToEventBuffer(chunk, piece.data() + 30000, 30000), 0);
    std::strcpy(marker, "event restart");
    std::string second(10000, 'b'), third(3000, 'c');
    talix::AppendToEventBuffer(chunk, second.data(), 10000);
    talix::AppendToEventBuffer(chunk, third.data(), 3000);   // marker still set
    marker[0] = '\0';
    EXPECT_EQ(Blocks(session_), 3u);
    EXPECT_EQ(session_.workArea->outputCache->used, 60000u);

    // Part 0 joins the pieces that fit whole: the second block would pass
    // 65,404 bytes and is left out.
    std::vector<char> buffer(70000);
    std::uint32_t size = 70000;
    item_.GenerateMIMEForRTItem(0, nullptr, nullptr, nullptr, "", 0, "", 0, buffer.data(), &size,
                                [](ZervaRTChunk*, char*, std::uint16_t) -> std::uint16_t { return 0; }, nullptr);
    EXPECT_EQ(size, 63000u);
    EXPECT_EQ(std::string(buffer.data() + 59999, 2), "ac");
    EXPECT_EQ(buffer[63000], '\0');

    // A piece larger than the block's room is cut at its end.
    session_.CleanUpCachedStuff();
    for (int i = 0; i < 17; ++i) talix::AppendToEventBuffer(chunk, piece.data(), 60000);
    talix::AppendToEventBuffer(chunk, piece.data(), 60000);
    EXPECT_EQ(Blocks(session_), 1u);
    EXPECT_EQ(session_.workArea->outputCache->used, 1048576u);
    EXPECT_EQ(talix::AppendToEventBuffer(nullptr, piece.data(), 10), 0);
}

TEST_F(BufferForm, LinesAppendedToTheOutputChunk) {
    Store(engine_test::Runs({""}));
    std::unique_ptr<ZervaRTChunk> owned(item_.DefineChunk("Everything"));
    ZervaRTChunk* chunk = owned.get();
    char line[] = "first line";
    EXPECT_EQ(talix::AppendLineToChunk(chunk, line, 10), 0);   // no output chunk: nothing
    session_.workArea->outputChunk = chunk;
    talix::AppendLineToChunk(chunk, line, 10);
    talix::AppendLineToChunk(chunk, line, 0);
    talix::AppendLineToChunk(chunk, line, 5);
    session_.workArea->outputChunk = nullptr;
    std::vector<char> text(256);
    const std::uint32_t length = chunk->GetText(nullptr, text.data(), 256, 1, nullptr);
    EXPECT_EQ(std::string(text.data(), length), std::string("first line\0first\0", 17));
}

// A piece per picture.
TEST_F(BufferForm, FiveThousandPicturesAreFiveThousandPieces) {
    Store(ManyPictures(5000));
    Piece(0);
    EXPECT_EQ(item_.lastStatus, 0);
    EXPECT_EQ(Blocks(session_), 5003u);
    // Each piece holds the memory its text needs, not a whole block's.
    std::size_t held = 0;
    for (const talix::OutputCacheBlock* block = session_.workArea->outputCache; block != nullptr; block = block->next)
        held += block->allocated;
    EXPECT_LT(held, 64u << 20);
    const std::string last = Piece(5003);
    EXPECT_NE(last.find("Content-Type: image/gif"), std::string::npos);
    EXPECT_EQ(Piece(5004), "");
}

} // namespace
