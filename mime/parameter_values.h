// Parameters of MIME header values ("name=value" after the ";" of a
// Content-Type or Content-Disposition), as mail readers take them.
#pragma once

#include <string>
#include <string_view>

namespace talix {

// The value of the first parameter key (such as "filename=") of the text:
// a quoted value to its closing quote (an escaped quote or backslash in it
// stands for itself), an unquoted one to the end of its parameter; at most
// 132 characters, never past a line end. The key counts only where a
// parameter starts, not inside a longer name ("name=" is not found in
// "filename="). Empty when there is none.
std::string MimeParameterValue(std::string_view text, std::string_view key);

// The file name that the parameter name ("filename", "name") of a header
// value gives, as UTF-8: a value that names its character set
// ("filename*=UTF-8''na%C3%AFve.txt"), a name continued over numbered
// parameters ("filename*0*=", "filename*1=" ...), or a plain value, whose
// encoded words ("=?UTF-8?B?...?=") are decoded. Text in a character set
// the platform does not know is kept as it stands. Empty when the value
// has no such parameter.
std::string MimeFileNameParameter(std::string_view value, std::string_view name);

} // namespace talix
