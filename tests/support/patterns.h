// Regular expressions for the tests (ECMAScript grammar), compiled in one
// file of the support library: the standard header costs seconds of compile
// time in every file that includes it. Each pattern is compiled once and
// kept for the process; the functions may be called from several threads.
#pragma once

#include <string>
#include <vector>

namespace talix_test {

enum PatternFlags : unsigned {
    kIgnoreCase = 1u << 0,
    // "^" and "$" also match at line ends.
    kMultiline = 1u << 1,
};

// Whether the pattern matches the whole text. GROUPS, when given, receives
// the whole match and then each group, "" for a group that took no part (all
// of them "" when the text does not match).
bool FullMatch(const std::string& text, const std::string& pattern, std::vector<std::string>* groups = nullptr,
               unsigned flags = 0);

// Whether the pattern matches somewhere in the text; GROUPS as above, for
// the first match.
bool Search(const std::string& text, const std::string& pattern, std::vector<std::string>* groups = nullptr,
            unsigned flags = 0);

// Every match from left to right, each as the whole match followed by its
// groups ("" for a group that took no part).
std::vector<std::vector<std::string>> FindAll(const std::string& text, const std::string& pattern,
                                              unsigned flags = 0);

// The text with every match replaced by FORMAT, where "$1" and so on stand
// for the groups and "$&" for the match.
std::string ReplaceAll(const std::string& text, const std::string& pattern, const std::string& format,
                       unsigned flags = 0);

} // namespace talix_test
