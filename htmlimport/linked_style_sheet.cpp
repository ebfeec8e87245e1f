// Reading the style sheet a link element names.
#include <new>
#include <string>
#include <string_view>

#include "core/options.h"
#include "htmlimport/css_rules.h"
#include "htmlimport/css_text.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/html_input.h"
#include "htmlimport/local_files.h"
#include "talix_platform.h"

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
        // The web editor's "../../" loses its first five characters: what is
        // left ("/site.css") names a file below the base path.
        const bool belowBase = target.rfind("../../", 0) == 0 && FromWebEditor(import);
        if (belowBase) target.erase(0, 5);
        if (StartsWithNoCase(target, "http")) return kNoHtmlInput;   // not fetched
        if (!HasDriveOrBackslash(target) && !IsLocalBase(import->basePath)) return kNoHtmlInput;
        // Read below the directory the import may read (local_files.h).
        std::string sheet;
        const std::string_view name = belowBase ? std::string_view(target).substr(1) : target;
        const LocalRead read = ReadLocalFile(import->localDirectory, name, kMaxHtmlInput, &sheet);
        if (read != LocalRead::kRead) {
            plat::LogLine(0, "Style sheet '%s' left out: %s", target.c_str(), LocalReadText(read));
            return kNoHtmlInput;
        }
        std::string native;
        AppendNativeText(Tidied(sheet), &native);
        return ParseCSSRules(import, native.data(), native.size());
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

} // namespace talix
