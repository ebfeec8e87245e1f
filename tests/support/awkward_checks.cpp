#include "support/awkward_checks.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "core/pool.h"
#include "support/markup_validators.h"
#include "talix/chunk.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix_test {

namespace {

// The names (lower case) of the elements the document's pass-through
// snippets open.
std::vector<std::string> SnippetElements(const AwkwardDocument& document) {
    std::vector<std::string> names;
    for (std::size_t index : document.snippets) {
        const std::string html = AwkwardSnippets()[index].html;
        for (std::size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
            std::string name;
            for (std::size_t i = at + 1; i < html.size() && std::isalnum(static_cast<unsigned char>(html[i])); ++i)
                name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(html[i]))));
            if (!name.empty()) names.push_back(name);
        }
    }
    return names;
}

// Whether a tidy line reports an inline element of the text ended early by
// an element one of the names gives ("missing </span> before <p>").
bool InlineEndedBy(const std::string& line, const std::vector<std::string>& names) {
    static const char* const kInline[] = {"span", "font", "b", "i", "u", "s", "strike", "sub", "sup", "a"};
    bool inlineEnd = false;
    for (const char* name : kInline) inlineEnd |= line.find("missing </" + std::string(name) + "> before") != std::string::npos;
    if (!inlineEnd) return false;
    for (const std::string& name : names) {
        if (line.find("before <" + name + ">") != std::string::npos) return true;
    }
    return false;
}

// Tidy's lines that report an element left open across another's end.
// Tidy supplies a form around form controls standing outside one and then
// reports that form's end as missing; that says nothing of the markup
// when it holds no form of its own. In HTML 4.01 an inline element ended
// by an element of the pass-through (passthrough: their names) is passed
// over too: pass-through stands where it was typed, inside the text's
// inline elements, whatever it holds.
std::vector<std::string> MissingEnds(const std::string& report, const std::string& markup,
                                     const std::vector<std::string>& passthrough) {
    const bool forms = markup.find("<form") != std::string::npos || markup.find("<FORM") != std::string::npos;
    std::vector<std::string> lines;
    std::istringstream in(report);
    for (std::string line; std::getline(in, line);) {
        if (line.find("missing </") == std::string::npos || line.find(" before ") == std::string::npos) continue;
        if (!forms && line.find("missing </form>") != std::string::npos) continue;
        if (InlineEndedBy(line, passthrough)) continue;
        lines.push_back(line);
    }
    return lines;
}

// The markup around the place the first "line L column C" of a report names.
std::string Around(const std::string& markup, const std::string& report) {
    const std::size_t lineAt = report.find("line ");
    const std::size_t columnAt = report.find("column ");
    if (lineAt == std::string::npos || columnAt == std::string::npos) return "";
    std::size_t line = std::strtoul(report.c_str() + lineAt + 5, nullptr, 10);
    const std::size_t column = std::strtoul(report.c_str() + columnAt + 7, nullptr, 10);
    std::size_t at = 0;
    while (line > 1 && at != std::string::npos) {
        at = markup.find('\n', at);
        if (at != std::string::npos) ++at;
        --line;
    }
    if (at == std::string::npos) return "";
    at += column;
    const std::size_t from = at > 400 ? at - 400 : 0;
    return "--- near line " + report.substr(lineAt + 5, report.find(' ', lineAt + 5) - lineAt - 5) + " column " +
           std::to_string(column) + ":\n" + markup.substr(from, 600) + "\n";
}

// The markup handed on by the generation's text event, as the talix program
// takes it.
std::string* g_markup = nullptr;
std::uint16_t CollectMarkup(ZervaRTChunk*, char* text, std::uint16_t length) {
    if (g_markup != nullptr) g_markup->append(text, length);
    return 0;
}

} // namespace

bool RenderStreamed(ZervaRTChunk* chunk, const char* format, const char* options, std::string* markup, std::string* failure) {
    std::string lmbcs;
    const std::string streamed = std::string(options) + " OutputToEvent=Yes";
    g_markup = &lmbcs;
    char* block = chunk->GenerateHTML(nullptr, format, streamed.c_str(), static_cast<std::uint16_t>(streamed.size()),
                                      CollectMarkup, nullptr);
    g_markup = nullptr;
    if (block == nullptr || chunk->lastStatus != 0) {
        *failure = "the generation failed: status " + std::to_string(chunk->lastStatus) + "\n";
        if (block != nullptr) talix::ZervaDeallocate(chunk->session, block);
        return false;
    }
    lmbcs.append(block, chunk->session->textResultLength);
    talix::ZervaDeallocate(chunk->session, block);
    *markup = plat::LmbcsToNative(lmbcs);
    return true;
}

const std::vector<const char*>& AwkwardOptionSets() {
    static const std::vector<const char*> sets = {
        "",
        "UsePTags=Yes",
        "StandardFontTags=Yes",
        "MoveStylesInline=Yes AllowEmptyDivs=Yes",
        "SectionsInCSS=Yes TabbedTablesInCSS=Yes",
        "PreserveSpaces=Yes MakeURLHotspots=Yes PreserveTabs=Yes",
        "ZelundaSections=Yes ZelundaTabs=Yes SupportRico=Yes",
        "HybridFontTags=Yes WAICompliant=Yes RespectHiddenFormulas=Yes",
        "ForceParagraphs=Yes SuppressDivInfo=Yes",
        "WebMode=Yes PreviewMode=Yes UseXMLEntities=Yes",
    };
    return sets;
}

std::string AwkwardProblems(const AwkwardDocument& document, const std::string& markup, bool xhtml) {
    std::string problems;
    const bool html = !xhtml;
    std::string report;
    const int errors = TidyErrors(markup, &report);
    if (errors != 0 && !(html && (document.passthroughFaults & kFaultInvalid) != 0))
        problems += "tidy: " + std::to_string(errors) + " errors\n" + report + Around(markup, report);
    const std::vector<std::string> missing =
        MissingEnds(report, markup, html ? SnippetElements(document) : std::vector<std::string>());
    if (!missing.empty() && !(html && (document.passthroughFaults & kFaultUnclosed) != 0)) {
        problems += "tidy: " + missing.front() + " (" + std::to_string(missing.size()) + " such)\n" +
                    Around(markup, missing.front());
    }
    bool parsed = true;
    if (xhtml) {
        std::string messages;
        parsed = XmlWellFormed(markup, &messages);
        if (!parsed) problems += "not well-formed: " + messages.substr(0, 300) + "\n" + Around(markup, messages);
    }
    if (parsed && !(html && (document.passthroughFaults & kFaultSwallows) != 0)) {
        const std::string text = xhtml ? XhtmlBodyText(markup) : HtmlBodyText(markup);
        int lost = 0;
        for (const std::string& word : document.words) {
            if (text.find(word) != std::string::npos) continue;
            if (lost++ == 0) problems += "word not in the text: " + word + "\n";
        }
        if (lost > 1) problems += std::to_string(lost) + " words lost in all\n";
    }
    return problems;
}

} // namespace talix_test
