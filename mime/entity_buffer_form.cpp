// The buffer form of the MIME entity writer: the caller's buffer is filled
// piece by piece and each finished piece handed to the ActOnText procedure
// as one event, marked "Event Restart" in the session's event marker: the
// mail header lines, the related boundary with the text/html part's header,
// the HTML body, then each icon, picture and image resource that fits.
// There is no top header, text/plain part, attachment or closing line.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/clamp.h"
#include "core/session_work_area.h"
#include "mime/entity_writer.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kEventRestart = "Event Restart";
constexpr std::size_t kLargestEvent = 0xFFFF;   // an event carries a 16-bit length
constexpr std::size_t kPartMargin = 132;        // room a related part leaves in the buffer

// The buffer stages the text of a piece. With a procedure, text that does
// not fit is handed on at once as the piece's continuation: only the first
// call of a piece carries the marker, so the collecting procedure keeps a
// piece in one block.
class BufferWriter {
public:
    explicit BufferWriter(MimeRun* run) : run_(run) {}

    std::size_t Room() const { return run_->capacity > run_->used ? run_->capacity - run_->used : 0; }

    // Appends the text to the piece. Without a procedure it must fit
    // before the buffer's last byte; false when it does not.
    bool Append(const std::string& text) {
        if (text.size() >= Room()) {
            if (run_->actOnText == nullptr) return false;
            Flush();
            if (text.size() >= Room()) {
                std::string copy = text;
                Raise(copy.data(), copy.size());
                return true;
            }
        }
        std::memcpy(run_->buffer + run_->used, text.data(), text.size());
        run_->used += static_cast<std::uint32_t>(text.size());
        run_->buffer[run_->used] = '\0';
        return true;
    }
    // Ends the piece: what the buffer holds is handed on.
    void HandOver() {
        Flush();
        pieceOpen_ = false;
    }
    // Hands text on as part of the piece, in calls of at most 65,535 bytes.
    void Raise(char* text, std::size_t length) {
        if (run_->actOnText == nullptr) return;
        char* marker = run_->session->workArea->eventMarker;
        while (length > 0) {
            const std::size_t piece = length < kLargestEvent ? length : kLargestEvent;
            if (!pieceOpen_) std::snprintf(marker, sizeof run_->session->workArea->eventMarker, "%s", kEventRestart);
            pieceOpen_ = true;
            run_->actOnText(run_->chunk, text, static_cast<std::uint16_t>(piece));
            marker[0] = '\0';
            text += piece;
            length -= piece;
        }
    }

private:
    void Flush() {
        if (run_->actOnText == nullptr || run_->used == 0) return;
        Raise(run_->buffer, run_->used);
        std::memset(run_->buffer, 0, run_->used);
        run_->used = 0;
    }

    MimeRun* run_;
    bool pieceOpen_ = false;
};

// The text/html part: its body generated into the rest of the buffer (a
// body the generation kept in a part file of the note is taken back out of
// the note), then the part's header and the body handed over, the body
// quoted-printable when a line would be too long to travel.
void WriteHtmlPart(MimeRun* run, BufferWriter* out) {
    out->HandOver();
    if (out->Room() < 2) {
        run->Fail(kOutOfMemory);
        return;
    }
    std::uint32_t capacity = static_cast<std::uint32_t>(out->Room() - 1);
    char name[128] = {};
    ZervaRTChunk* chunk = run->chunk;
    const char* kind = run->kind.empty() ? nullptr : run->kind.c_str();
    const std::string options = GenerationOptions(*run, kind, run->htmlHeader, run->htmlOptions);
    char* at = run->buffer + run->used;
    chunk->GenerateHTMLToMime(0, 1, kind, options.c_str(),
                              ClampToWord(options.size()), at, &capacity, 2, name, nullptr,
                              run->outputName.c_str(), run->actOnText, run->queryLinkData, run->linkFlags,
                              &run->sectionFlag, run->ImageList());
    run->Fail(GenerationOutcome(chunk));
    const std::uint32_t written = capacity < out->Room() ? capacity : static_cast<std::uint32_t>(out->Room() - 1);
    std::string body;
    const STATUS taken = name[0] != '\0' ? TakeAttachment(run->item->noteHandle, name, &body) : kOK;
    body.append(at, written);
    std::memset(at, 0, written);
    if (taken != kOK) {
        run->Fail(taken);
        return;
    }
    NoteNamedPictures(run, body);
    std::string header = run->htmlHeader;
    FinishGeneratedPart(*run, &header, &body, false, true, GeneratesQuotedPrintable(options));
    if (!out->Append(PartLine(MimeLevel::Related, run->tail) + "\n" + LfLines(header) + "\n\n")) {
        run->Fail(kOutOfMemory);
        return;
    }
    out->HandOver();
    if (!out->Append(body)) run->Fail(kOutOfMemory);
    out->HandOver();
}

} // namespace

void WriteBufferForm(MimeRun* run, const std::vector<std::string>& headerLines) {
    BufferWriter out(run);
    run->related = true;
    run->multipart = true;
    for (const std::string& line : headerLines) {
        if (!out.Append(line + "\n")) {
            run->Fail(kOutOfMemory);
            break;
        }
    }
    out.HandOver();
    WriteHtmlPart(run, &out);

    run->Fail(WalkRelatedParts(*run, [&](const RelatedPart& part) {
        const std::string text = PartLine(MimeLevel::Related, run->tail) + "\n" + part.headers + part.body;
        if (text.size() + kPartMargin <= out.Room() && out.Append(text)) out.HandOver();
        return kOK;
    }));
    out.HandOver();
}

} // namespace talix
