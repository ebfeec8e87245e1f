// The identifiers a MIME message made from a note's rich text uses, shared
// by the MIME entity writer and the HTML generation so that the two agree:
// the note's token (its universal id as 32 hexadecimal digits, whose last
// 16 end every boundary) and the Content-ID of each picture.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/statuses.h"
#include "talix_platform/types.h"

namespace talix {

struct CDRecordNode;

constexpr std::uint32_t kNoteTokenSize = 33;   // 32 digits and the terminator

// The note's universal id from its originator id, as 32 upper-case
// hexadecimal digits (file part high and low word, note part high and low
// word), terminated, into token. Returns 0 or the platform's status (token
// is then empty).
STATUS ReadNoteToken(plat::NOTEHANDLE note, char* token);

// For every picture of a record chain (a graphic record carrying the
// reader's picture reference: the offset and index of its stored data), the
// last image header that follows it before the next text run, right-to-left
// text run or end record; pictures without one are left out. One pass over
// the chain.
using PictureHeaders = std::unordered_map<const CDRecordNode*, const CDRecordNode*>;
PictureHeaders FindPictureHeaders(const CDRecordNode* first);

// The same, for a walk that has other work to do on each record: give it
// every record of the chain in order, then call Finish.
class PictureHeaderFinder {
public:
    void Next(const CDRecordNode* node);
    // Ends the walk; the pictures found.
    PictureHeaders& Finish();

private:
    void CloseRun();
    PictureHeaders headers_;
    // The pictures met since the last record that ends a search, each with
    // the number of image headers seen before it.
    std::vector<std::pair<const CDRecordNode*, std::size_t>> waiting_;
    const CDRecordNode* lastHeader_ = nullptr;
    std::size_t headerCount_ = 0;
};

// The Content-ID of a picture whose image header is given, without the
// angle brackets: "_<kind>_<index><offset><last 16 digits of the token>",
// upper-cased, kind 1 for GIF and 2 for JPEG, the index as 6 decimal
// digits and the offset as 6 hexadecimal digits (at least). Empty when the
// picture carries no reference or the header records no image data.
std::string PictureContentId(const CDRecordNode* picture, const CDRecordNode* header, const char* token);

// The image type of an image header (1 GIF, 2 JPEG, ...); 0 when too short.
std::uint16_t ImageHeaderType(const CDRecordNode* header);

// The Content-ID (without angle brackets) that names the part of an image
// resource: its name cut at the first "|", each "\\", "/", quote, "<", ">",
// "&", blank, parenthesis, ";", brace and control character made "_", so
// that it stands in a URL, an attribute, a CSS url() without quotes (which
// it can end neither as a URL nor as a declaration) and a header alike.
std::string ResourceContentId(std::string_view name);

// The Content-ID under which a mail message carries an image resource (and
// which its HTML names after "cid:"), from the ResourceContentId of its
// name: a header holds ASCII only, so the name is taken in UTF-8 and each
// byte outside ASCII written "=" and two upper-case hexadecimal digits, and
// so are "%", which a "cid:" address would read as an escape, and "#" and
// "?", which would begin its fragment or query. Any other ASCII name stays
// as it is.
std::string ResourceMailContentId(std::string_view resourceId);

// The Content-IDs under which a mail message made from a record list
// carries the image resources the list refers to: the name's (cut at its
// first "|") ResourceMailContentId(ResourceContentId(name)), unless other
// names the list refers to (stored, not computed by a formula) come to the
// same one. Each of such names then gets a Content-ID of its own: the name
// that is its Content-ID unchanged (else the first in byte order) keeps
// it, and each other, in byte order, has "-2", "-3", ... added, the first
// number that makes it no other name's Content-ID. A run keeps one object:
// the list is read once, when a record of it first refers to a resource.
class ResourceMailContentIds {
public:
    // The Content-ID of the image resource of this name, referred to by
    // node (a record of the list, or null).
    std::string Of(const CDRecordNode* node, const std::string& name);

private:
    void Read(const CDRecordNode* node);

    std::set<const CDRecordNode*> references_;   // the list's records that refer to a resource
    std::map<std::string, std::string> ids_;     // the names whose Content-ID is not their own
};

// The type under which the picture of an image header travels to a mail
// reader or a browser ("gif", "jpeg", "png"), or null when it does not: a
// format none of them reads for certain (BMP, SVG, TIFF, PDF), or a header
// that records no image data.
const char* PictureMimeType(const CDRecordNode* header);

} // namespace talix
