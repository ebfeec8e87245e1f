// The mail header lines the MIME writer puts before the body of a file or a
// buffer: each from an option of the MIME option string, from items of the
// note (with "UseMailFields=Yes"), or from a default, in a fixed order.
#pragma once

#include <string>
#include <vector>

#include "talix_platform/types.h"

class RARIvoSession;

namespace talix {

class MimeOptions;

// The text naming the system in generated header values and tracking texts.
constexpr const char* kIdentificationText = "Talix";

struct MailHeaderSource {
    RARIvoSession* session = nullptr;   // its message prefix names the product
    plat::NOTEHANDLE note = 0;
    plat::DBHANDLE database = 0;
    plat::NOTEID noteId = 0;
    const char* itemName = "";
    const char* token = "";              // the note's 32-digit token
};

// The header lines, in their order, each without its line end (a line may
// hold several header lines joined by LF, as the "Received" items give
// them). Item texts are in the platform's character set.
std::vector<std::string> MailHeaderLines(const MailHeaderSource& source, const MimeOptions& options);

} // namespace talix
