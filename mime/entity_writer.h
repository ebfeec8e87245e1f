// The state of one run of the MIME entity writer (ZervaRTItem::
// SaveAsMimeInternal) and the parts of its work that live in files of their
// own: the decisions taken from the item's records, the related parts
// (icons, pictures, image resources), and the three forms of output.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/mime_ids.h"
#include "core/statuses.h"
#include "mime/entity_records.h"
#include "mime/mime_options.h"
#include "talix/chunk.h"
#include "talix_platform/types.h"

class RARIvoSession;
class ZervaRTItem;

namespace talix {

struct CDRecordNode;

enum class MimeForm { File, Note, Buffer };

// The multipart levels of the entity.
enum class MimeLevel { Mixed, Related, Alternative };

// The boundary parameter of a level ("=_related <tail>_=") and its part
// and closing lines, without line ends.
std::string BoundaryParameter(MimeLevel level, const std::string& tail);
std::string PartLine(MimeLevel level, const std::string& tail);
std::string CloseLine(MimeLevel level, const std::string& tail);

// What a generation of an item's HTML came to: its chunk's status, or the
// error word it was left with when it rendered no body because the image
// database ImageHandling=RESOURCE names cannot be opened (the page around
// the body is still written): a document without its body is no
// conversion, and must not pass for one.
inline STATUS GenerationOutcome(const ZervaRTChunk* chunk) {
    if (chunk->lastStatus != kOK) return chunk->lastStatus;
    return chunk->errorWord == kErrFormula ? kErrFormula : kOK;
}

struct MimeRun {
    ZervaRTItem* item = nullptr;
    RARIvoSession* session = nullptr;
    ZervaRTChunk* chunk = nullptr;
    MimeForm form = MimeForm::File;

    std::string outputName;
    std::string htmlHeader;        // the text/html part header, without its line ends
    std::string plainHeader;       // the given text/plain part header (may be empty)
    std::string kind;              // the generator's kind of output
    MimeOptions options;
    std::string htmlOptions;
    char* buffer = nullptr;        // buffer form: the caller's buffer
    std::uint32_t capacity = 0;
    std::uint32_t used = 0;
    int bodyMode = 1;
    ZervaRTChunk::ActOnText actOnText = nullptr;
    ZervaRTChunk::QueryLinkData queryLinkData = nullptr;

    char token[kNoteTokenSize] = {};
    std::string tail;              // the token's last 16 digits: every boundary ends in them
    bool mixed = false;
    bool related = false;
    bool multipart = false;
    EntityScan scan;               // what the item's records call for
    int linkFlags[4] = {};         // doclink, view link, database link, anchor link icons used
    int sectionFlag = 0;           // the section icon used
    // The generation's image list: the eight icons, then (note form) the
    // pictures of the rendering copy.
    std::vector<std::unique_ptr<ZervaRTChunk::ImageOffsetInfo>> images;
    bool tabPictureNamed = false;  // the HTML names the tab picture
    std::string bodyAttachment;    // UseAttachedFile= or the file AttachedFile= attached
    bool bodyAttached = false;     // ... attached by this run
    // The character set of generated text that is not ASCII alone, by the
    // name mail knows it by: the one "charset=" names when the platform can
    // write it and it has a registered name, else UTF-8; and its id (0 for
    // UTF-8).
    std::string textCharset = "utf-8";
    std::uint16_t textCharsetId = 0;

    STATUS status = kOK;           // the first failure; later parts are still written

    // Records a failure (the first one is kept) in the run and the item.
    void Fail(STATUS failure);
    // Records that the output file could not be written (error: errno), as
    // the first failure, with a message naming the file and why.
    void FailWriting(int error);
    // The head of the generation's image list, or null.
    ZervaRTChunk::ImageOffsetInfo* ImageList() const { return images.empty() ? nullptr : images.front().get(); }
};

// ---- Related parts (related_parts.cpp) -------------------------------------

// One part of the related level: its header lines (each ended by LF, then
// the empty line) and its Base64 body in lines ended by LF. A picture or
// image resource also names the record it came from and its file type
// ("gif" or "jpg"); an icon has no file type.
struct RelatedPart {
    std::string headers;
    std::string body;
    std::uint32_t recordIndex = 0;
    const char* fileType = nullptr;
};
// Calls emit for each icon, picture and image resource the records call
// for, in record order; each icon once, each image resource name once.
// Stops at the first status emit returns.
STATUS WalkRelatedParts(const MimeRun& run, const std::function<STATUS(const RelatedPart&)>& emit);

// ---- The forms ----------------------------------------------------------

void WriteFileForm(MimeRun* run, std::FILE* file);
void WriteBufferForm(MimeRun* run, const std::vector<std::string>& headerLines);
// The note form from the target check to the save rules (entity_note_form.cpp).
void WriteNoteForm(MimeRun* run);
// Copies the item's stored MIME parts to the file (stored_parts_copy.cpp);
// a write that fails gives kFileNotWritten, errno saying why.
STATUS WriteMIMEPartItems(RARIvoSession* session, plat::NOTEHANDLE note, const char* itemName, std::FILE* file);
STATUS WriteMIMEPartItem(RARIvoSession* session, plat::NOTEHANDLE note, plat::BLOCKID item, plat::BLOCKID value,
                         std::uint32_t valueLength, std::FILE* file);

// ---- Shared steps (entity_writer.cpp) ---------------------------------------

// "UseAttachedFile=" names the attachment that holds a main text/plain
// body; else "AttachedFile=" names a file on disk that is attached to the
// note for it (under its name after the last "\" or "/"). Returns 0 or the
// failure to attach.
STATUS BodyAttachment(MimeRun* run);
// Calls write with the attachment name and file name of each file hotspot
// the records hold, in record order. A hotspot whose attachment the note
// no longer holds loses its part, and the log says so.
void ForEachAttachment(MimeRun* run, const std::function<void(const std::string&, const std::string&)>& write);
// The text/plain part's header: the given one, else "AltMimeHeader=", else
// us-ascii (quoted-printable, or another charset, as the options say).
std::string PlainHeader(const MimeRun& run);
// Chooses the run's text character set from "charset=".
void ChooseTextCharset(MimeRun* run);
// The generation options of a part of the kind with the header:
// quoted-printable when the header says so, in the run's text character
// set; plain text a paragraph per line unless the options say otherwise.
std::string GenerationOptions(const MimeRun& run, const char* kind, const std::string& header, std::string options);
// A generated part's header (lines separated by CR LF) and text made fit to
// travel and labelled truthfully: a text with a line of more than 998
// characters (which no cut could shorten without changing it), a line that
// begins as a boundary line of the entity, a NUL or a carriage return that
// ends no line is sent quoted-printable, its header saying so; a header
// that says us-ascii names the run's text character set when the text is
// not ASCII alone. The text
// is native, or with lmbcs in the platform's set (and handed on so, to be
// made native by its reader); lfOnly: its lines end in LF alone, and so do
// the new. generatedQuotedPrintable: the generation wrote the text
// quoted-printable already (the header is made to say so); else a header
// that says quoted-printable has the text encoded.
void FinishGeneratedPart(const MimeRun& run, std::string* header, std::string* body, bool lfOnly, bool lmbcs,
                         bool generatedQuotedPrintable);
// Whether a generation with these options writes its text quoted-printable.
bool GeneratesQuotedPrintable(const std::string& options);
// Takes note of the pictures the generated HTML names that the writer
// supplies only when they are named (the tab picture).
void NoteNamedPictures(MimeRun* run, const std::string& html);

// A text as a quoted header parameter value: in double quotes, with
// backslashes and double quotes escaped.
std::string QuotedParameter(const std::string& text);
// A file-name parameter ("name", "filename") of native text with the ";"
// before it: "; key=\"text\"" quoted as above for US-ASCII; otherwise the
// extended form key*=UTF-8'' with "%" escapes on a line of its own (";",
// lineEnd and a tab before it), continued over numbered pieces of a line
// each when long. Control characters become blanks.
std::string FileNameParameter(const char* key, const std::string& text, const char* lineEnd);
// The text with each CR LF made LF.
std::string LfLines(std::string text);

// The rendering copy: a rich-text item named after the output name (cut to
// 60 characters) and "_M$" that holds the item's pictures as URLs. In the
// note form the generation refers to the pictures by those URLs: their
// entries are added to the run's image list. Returns 0 or the failure.
STATUS MakeRenderingCopy(MimeRun* run, const std::string& copyName);
// The name of the rendering copy.
std::string RenderingCopyName(const std::string& outputName);
// Reads the attachment into text and deletes it from the note: what the
// generation left in a part file of the note belongs to the output.
STATUS TakeAttachment(plat::NOTEHANDLE note, const std::string& name, std::string* content);

} // namespace talix
