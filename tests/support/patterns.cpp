#include "support/patterns.h"

#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <utility>

namespace talix_test {

namespace {

const std::regex& Compiled(const std::string& pattern, unsigned flags) {
    static std::mutex lock;
    static std::map<std::pair<unsigned, std::string>, std::unique_ptr<const std::regex>> kept;
    const std::lock_guard<std::mutex> hold(lock);
    std::unique_ptr<const std::regex>& slot = kept[{flags, pattern}];
    if (!slot) {
        std::regex::flag_type syntax = std::regex::ECMAScript;
        if ((flags & kIgnoreCase) != 0) syntax |= std::regex::icase;
        if ((flags & kMultiline) != 0) syntax |= std::regex::multiline;
        slot = std::make_unique<const std::regex>(pattern, syntax);
    }
    return *slot;
}

std::vector<std::string> Groups(const std::smatch& match, const std::regex& expression) {
    std::vector<std::string> groups(expression.mark_count() + 1);
    for (std::size_t i = 0; i < groups.size() && i < match.size(); ++i) {
        if (match[i].matched) groups[i] = match[i].str();
    }
    return groups;
}

} // namespace

bool FullMatch(const std::string& text, const std::string& pattern, std::vector<std::string>* groups,
               unsigned flags) {
    const std::regex& expression = Compiled(pattern, flags);
    std::smatch match;
    const bool matched = std::regex_match(text, match, expression);
    if (groups != nullptr) *groups = Groups(match, expression);
    return matched;
}

bool Search(const std::string& text, const std::string& pattern, std::vector<std::string>* groups, unsigned flags) {
    const std::regex& expression = Compiled(pattern, flags);
    std::smatch match;
    const bool found = std::regex_search(text, match, expression);
    if (groups != nullptr) *groups = Groups(match, expression);
    return found;
}

std::vector<std::vector<std::string>> FindAll(const std::string& text, const std::string& pattern, unsigned flags) {
    const std::regex& expression = Compiled(pattern, flags);
    std::vector<std::vector<std::string>> found;
    for (std::sregex_iterator at(text.begin(), text.end(), expression), end; at != end; ++at)
        found.push_back(Groups(*at, expression));
    return found;
}

std::string ReplaceAll(const std::string& text, const std::string& pattern, const std::string& format,
                       unsigned flags) {
    return std::regex_replace(text, Compiled(pattern, flags), format);
}

} // namespace talix_test
