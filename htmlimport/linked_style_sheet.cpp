// Reading the style sheet a link element names.
#include <cstdio>
#include <new>
#include <string>
#include <string_view>

#include "core/options.h"
#include "htmlimport/css_rules.h"
#include "htmlimport/css_text.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/html_input.h"

namespace talix {

namespace {

// "c:..." or "\...".
bool HasDriveOrBackslash(std::string_view path) {
    return (path.size() >= 2 && path[1] == ':') || (!path.empty() && path.front() == '\\');
}

// A base path that names a directory of this machine.
bool IsLocalBase(std::string_view base) { return HasDriveOrBackslash(base) || (!base.empty() && base.front() == '/'); }

bool FromWebEditor(const HTMLImportContext* import) {
    char editor[64];
    return GetOptionValue(import->optionText, "Duzuvore=", editor, sizeof editor) != 0 &&
           ContainsNoCase(editor, "FCKeditor");
}

// The path as this machine opens it: "\" read as "/", a drive letter left out.
std::string HostPath(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.size() >= 2 && path[1] == ':' && css::IsAsciiLetter(path[0])) path.erase(0, 2);
    return path;
}

STATUS ReadWhole(const std::string& path, std::string* content) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return kNoHtmlInput;
    STATUS status = kOK;
    char chunk[8192];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
        if (got > 0) {
            if (content->size() + got > kMaxHtmlInput) {
                status = kOutOfMemory;
                break;
            }
            content->append(chunk, got);
        }
        if (got < sizeof chunk) {
            if (std::ferror(file)) status = kNoHtmlInput;
            break;
        }
    }
    std::fclose(file);
    return status;
}

// Tabs and line breaks to blanks, runs of blanks to one, comments dropped.
std::string Tidied(std::string_view sheet) {
    std::string out;
    out.reserve(sheet.size());
    bool inComment = false;
    std::size_t commentStart = 0;
    for (std::size_t at = 0; at < sheet.size(); ++at) {
        const char c = sheet[at];
        if (inComment) {
            // "*/" ends it; the "*" of the opening "/*" does not count.
            if (c == '/' && sheet[at - 1] == '*' && at > commentStart + 2) inComment = false;
            continue;
        }
        if (c == '/' && at + 1 < sheet.size() && sheet[at + 1] == '*') {
            inComment = true;
            commentStart = at;
            ++at;
            continue;
        }
        const char kept = css::IsBlank(c) ? ' ' : c;
        if (kept == ' ' && !out.empty() && out.back() == ' ') continue;
        out.push_back(kept);
    }
    return out;
}

} // namespace

STATUS LoadLinkedStyleSheet(HTMLImportContext* import, const HtmlNode* link) {
    if (import == nullptr || link == nullptr) return kArgumentError;
    const char* rel = AttributeValue(link, "rel");
    if (rel != nullptr && !EqualNoCase(rel, "stylesheet")) return kOK;
    const char* href = AttributeValue(link, "href");
    if (href == nullptr || href[0] == '\0') return kOK;
    try {
        std::string target(href);
        if (target.rfind("../../", 0) == 0 && FromWebEditor(import)) target.erase(0, 5);
        std::string path;
        if (HasDriveOrBackslash(target)) path = target;
        else if (StartsWithNoCase(target, "http")) return kNoHtmlInput;   // not fetched
        else if (IsLocalBase(import->basePath)) path = std::string(import->basePath) + target;
        else return kNoHtmlInput;

        std::string sheet;
        if (const STATUS status = ReadWhole(HostPath(std::move(path)), &sheet); status != kOK) return status;
        std::string native;
        AppendNativeText(Tidied(sheet), &native);
        return ParseCSSRules(import, native.data(), native.size());
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

} // namespace talix
