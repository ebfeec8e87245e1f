// Reading a note's stored MIME part items back: the text/html body decoded
// into HTML text, the message's files attached to the note, GIF and JPEG
// parts listed by their Content-ID for the "cid:" images of the import.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/chunk_work_state.h"
#include "core/statuses.h"
#include "talix_platform.h"

class RARIvoSession;

namespace talix {

// The character-set text the last body reading left, as option words for
// the HTML import: empty when the part named no character set,
// "Charset='NAME" when it named one, "CharEncoding='raw' " once the body was
// translated into the platform's own set. A reading leaves it for the
// conversion that follows on the same thread: each thread has its own.
const char* MIMECharsetText();
void ClearMIMECharsetText();

// Shared by the part readers: where the value of the header that starts
// at from ends (its line and the lines folded into it), and the log line of
// a reader that ran out of memory (returns 263).
std::size_t MimeHeaderValueEnd(std::string_view headers, std::size_t from);
STATUS MimeReaderOutOfMemory(int line);

// The name of the "$FILE" attachment that holds the body of a part whose
// body names one: its first 31 bytes, or the whole body (up to a NUL) when
// it is longer and the note holds an attachment of that whole name, as the
// parts naming the document's own files do.
std::string MimeBodyFileName(plat::NOTEHANDLE note, std::string_view body);

// Whether a part's header text marks it as an attachment
// ("Content-Disposition: attachment"): a file of the message, never the
// body read into rich text, whatever its type.
bool MimePartIsAttachment(std::string_view headers);

// Whether a part's Content-Type header names the type ("text/html",
// ignoring case). Only that header says what the part is: the same words
// elsewhere in the header text (a Subject of a message of one part) do not.
bool MimePartHasType(std::string_view headers, std::string_view type);

// The kind of picture a part's header text names that rich text holds: 1
// GIF, 2 JPEG ("image/jpeg", or "image/jpg" and "image/pjpeg" as many mail
// programs write it), 0 any other (PNG and SVG among them).
int MimePictureKind(std::string_view headers);

// The Content-IDs that the "cid:" sources of an HTML body name, lower-cased
// (the import finds a picture by its Content-ID in either case): the
// pictures the HTML shows.
std::unordered_set<std::string> MimeShownContentIds(std::string_view html);

// Reads one part item: when it is a body part (part type 2, with headers)
// whose Content-Type names contentType and does not mark it as an
// attachment, 0 with *text a new terminated text (std::malloc; the caller
// frees it) and *length its length. The text may hold NUL bytes where line
// breaks were, unless it was translated. Returns
// 546 for any other part (and for one whose lengths do not fit its value),
// 5081 for an image source outside the message while the note's
// "$DelayedImagesOK" is not "ok", 257 when the part's character set cannot
// be translated, 263 when memory runs out.
STATUS ReadMIMEHTMLPart(plat::NOTEHANDLE note, plat::BLOCKID item, plat::BLOCKID value, std::uint32_t valueLength,
                        const char* contentType, char** text, std::uint32_t* length);

// The first part of the item name's MIME items that ReadMIMEHTMLPart takes.
// 0 with an empty text (null, length 0) when the note has no such item; 546
// when the first item is not a MIME part or no part is taken; any other
// failure of the reader as it comes.
STATUS ImportMIMEHTMLBody(plat::NOTEHANDLE note, const char* itemName, const char* contentType, char** text,
                          std::uint32_t* length);

// Why a conversion of the item name's MIME items ended with status (the
// status of its failing step, which the conversion leaves as the item's
// last status): a text that says what is wrong with the message, such as
// that it is not a MIME message, that no part of it begins with the
// boundary its header names, that it has no text/html part or that its HTML
// shows pictures from outside the message.
std::string MimeRefusalReason(plat::NOTEHANDLE note, const char* itemName, STATUS status);

// The files of a message a conversion attached to the note, to take them
// back when the conversion cannot go on, and the attachments the stored
// message kept the bodies of its parts in (stored names; any part's, the
// HTML body's too, but not the note's own files that the writer's
// attachment parts name), to remove once the conversion is done.
struct MIMEFileParts {
    std::vector<std::string> attached;
    std::vector<std::string> bodyFiles;
    // The note's own files that parts name, in the parts' order: each
    // file's name (LMBCS) and the name the note stores it under.
    std::vector<std::pair<std::string, std::string>> ownFiles;
};

// Attaches to the note every part of the item name's MIME items that is a
// file of the message: every body part except the HTML body (the first
// text/html part, when holdsHtmlBody says the items hold the body read),
// the GIF and JPEG pictures of the HTML (those of a multipart/related
// level, and those whose Content-ID a "cid:" source of html names), and
// text parts that name no
// file and are not marked as attachments in a multipart/alternative level
// or one of unknown kind (the message's plain-text version). A part whose
// body names an attachment of the document itself
// is that attachment already. The file holds the part's content with its
// transfer encoding undone, under the part's file name ("filename=", else
// the type's "name=") with any path before it, control characters, ":" and
// runs of dots taken out; a name the note holds already gets "_2", "_3" and
// so on before its extension; a part without a usable name is "file001",
// "file002" and so on. Returns 0, or the status of the first part that
// could not be attached: every file attached before it is taken back, and
// MimeFilePartFailure says which part and why.
STATUS ImportMIMEAttachments(plat::NOTEHANDLE note, const char* itemName, bool holdsHtmlBody, std::string_view html,
                             MIMEFileParts* files);
// Takes back the files a conversion attached (their database objects are
// freed at once: no stored note names them yet).
void RemoveMIMEAttachments(plat::NOTEHANDLE note, const MIMEFileParts& files);
// Removes the attachments that held the attached parts' bodies, once the
// MIME items that named them are replaced.
void RemoveMIMEBodyFiles(plat::NOTEHANDLE note, const MIMEFileParts& files);
// Which part the last ImportMIMEAttachments on this thread could not attach
// and why, when it ended with status; empty otherwise.
std::string MimeFilePartFailure(STATUS status);
void ClearMimeFilePartFailure();

// What an image walk hands to its part reader.
struct MIMEImageWalk {
    RARIvoSession* session = nullptr;
    // The Content-IDs the HTML shows, when known: a picture of a type the
    // rich text cannot hold that the HTML does not show is a file of the
    // message, not a reason to refuse it.
    const std::unordered_set<std::string>* shown = nullptr;
    MIMEInlineImage* first = nullptr;
    MIMEInlineImage* last = nullptr;   // where the next part is appended
};
// Lists one GIF or JPEG part at the end of the walk's list. Returns 546 for
// a part that is not an image, 14409 for PNG, SVG and any other image type
// (with a message) unless the walk knows what the HTML shows and it shows
// not this part (546 then), 0 when listed or when the part has no data.
STATUS ImportMIMEImagePart(plat::NOTEHANDLE note, plat::BLOCKID item, plat::BLOCKID value,
                           std::uint32_t valueLength, MIMEImageWalk* walk);
// The image parts of the item name's MIME items as a new list (the caller
// frees it with FreeInlineImages); *status is 0, 14409 (a picture html
// shows by its Content-ID in a form the rich text cannot hold) or the
// failure of the first part.
MIMEInlineImage* ImportMIMEImages(plat::NOTEHANDLE note, const char* itemName, std::string_view html,
                                  STATUS* status, RARIvoSession* session);

} // namespace talix
