// What the writers of links, attachments and pictures build addresses and
// file names from: the item's database as a URL path, the document's
// universal id, texts taken from records written into attribute values,
// file names taken from records, and the formulas records hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/folder_file.h"
#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"
#include "talix_platform/formula.h"

namespace talix {

// The item's database path as it stands in URLs: the local data directory
// taken off its front (compared without case, with the separator after
// it), backslashes as slashes, and of a path holding "!!" only what follows
// it. No leading slash. Marks that would end the attribute it is written
// into or change what the address names ("#", "?", "%", the double quote,
// "&", "<", control characters) are written as their escapes.
std::string DatabaseURLPath(const XMLGenContext* context);

// The document's universal id as written in URLs, as four 32-bit words in
// writing order (file part high and low word, note part high and low
// word): the UseUNID= value when given, else the note's own (zeros when the
// note cannot tell it). Read once per run.
const std::uint32_t* DocumentUnid(XMLGenContext* context);

// A text taken from a record, made fit for an attribute value: "&", the
// double quote and "<" become entities; control characters (but tab and
// line ends) leave nothing; other bytes stay as they are.
std::string AttributeValue(std::string_view text);
// The same, appended at the end of the output.
void AppendAttributeValue(XMLGenContext* context, std::string_view text);
// The same for an address an option gives, which its caller may have
// written for markup already: an "&" that begins a character reference
// ("&amp;", "&#38;") stays as it is.
std::string OptionAttributeValue(std::string_view text);
void AppendOptionAttributeValue(XMLGenContext* context, std::string_view text);
// The same for a value in single quotes: the single quote becomes "&#39;"
// too.
std::string SingleQuotedAttributeValue(std::string_view text);
// A text for an address: blanks as "%20" and, when asked, backslashes as
// "/"; a character of several bytes whole, whatever its later bytes look
// like.
std::string AddressText(std::string_view text, bool backslashesAsSlashes);
// A name taken from a document (a file, an attachment, a picture) as a part
// of an address's path: "%", "#" and "?" as "%XX", and blanks at its end as
// "%20", so that a browser asks for the file of that very name (a bare "#"
// or "?" would begin a fragment or query, a "%" an escape, and blanks that
// end an address are dropped). Other characters stay as they are.
std::string NameInAddress(std::string_view name);

// The Content-ID under which a mail message carries the image resource of
// this name, referred to by node (see ResourceMailContentIds in
// core/mime_ids.h): the item's records are read for it once per run, and
// what they give is kept until ReleaseResourceContentIds.
std::string ImageResourceContentId(XMLGenContext* context, const CDRecordNode* node, const std::string& name);
void ReleaseResourceContentIds(XMLGenContext* context);

// How a part of an address is escaped: a byte among marks (and, with
// controls, a control character) as "%XX"; a backslash as "/" with
// backslashesAsSlashes; a blank as "+" from the place plusFrom on (SIZE_MAX:
// never). A character of several bytes goes whole, whatever its later bytes
// look like.
struct AddressEscapes {
    const char* marks;
    bool controls;
    bool backslashesAsSlashes;
    std::size_t plusFrom;
};
std::string EscapedAddressPart(std::string_view text, const AddressEscapes& how);

// The longest formula a record's formula evaluation takes.
constexpr std::uint32_t kLongestStoredFormula = 65341;

// Opens an evaluation context on a compiled formula held in a record
// (length bytes, read from a zero-padded copy, since the platform reads the
// length from the formula itself and a damaged record may overstate it).
// Returns the platform's status. A formula the platform cannot read (one
// compiled by another system) is counted for the run's log line; its
// caller takes it as giving nothing.
plat::STATUS StartStoredFormula(XMLGenContext* context, const std::uint8_t* compiled, std::size_t length,
                                plat::HCOMPUTE* compute);

// Evaluates a compiled formula held in a record (length bytes, cut to
// kLongestStoredFormula) on the chunk's note and gives its result as text:
// a text as it is, a text list joined by ";", a number by "%g", times as
// the platform writes them; any other type gives "". Returns 0, or the
// platform's status (masked) when the formula cannot be opened or
// evaluated: *text is then empty. A formula compiled by another system
// gives "" and 0.
STATUS EvaluateStoredFormula(XMLGenContext* context, const std::uint8_t* compiled, std::uint32_t length,
                             std::string* text);

// Logs, once for the run, how many stored formulas were taken as giving
// nothing because the platform cannot read them; nothing when none were.
void LogUnreadableFormulas(const XMLGenContext* context);

// Keeps a status that does not stop the rendering: the run reports the
// first one kept when nothing else failed.
inline void KeepStatus(XMLGenContext* context, STATUS status) {
    if (status != kOK && context->keptStatus == kOK) context->keptStatus = status;
}

} // namespace talix
