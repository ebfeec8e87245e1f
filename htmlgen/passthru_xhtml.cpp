#include "htmlgen/passthru_xhtml.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "htmlgen/entity_encoder.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/tidy_parse.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Elements that never have content: written as "<br />".
constexpr const char* kEmptyElements[] = {"area",  "base", "basefont", "br",    "col",   "embed",  "frame",
                                          "hr",    "img",  "input",    "isindex", "keygen", "link", "meta",
                                          "param", "source", "track",  "wbr"};
// The parser's frame around a fragment: its content stands in its place.
constexpr const char* kFrameElements[] = {"html", "head", "body"};
// Elements no inline element may hold: blocks, and those of a document's
// head.
constexpr const char* kBlockElements[] = {
    "address", "article", "aside",    "base",     "blockquote", "center", "dd",      "details", "dir",
    "div",     "dl",      "dt",       "fieldset", "figcaption", "figure", "footer",  "form",    "h1",
    "h2",      "h3",      "h4",       "h5",       "h6",         "header", "hr",      "isindex", "li",
    "link",    "main",    "menu",     "meta",     "nav",        "noframes", "noscript", "ol",  "p",
    "pre",     "section", "style",    "table",    "title",      "ul"};

bool OneOf(std::string_view name, const auto& names) {
    for (const char* candidate : names) {
        if (name == candidate) return true;
    }
    return false;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A name XML takes without a namespace prefix: a letter or "_", then
// letters, digits, "-", "_" and "."; in lower case.
bool XmlName(const char* name, std::string* lower) {
    lower->clear();
    if (name == nullptr || name[0] == '\0') return false;
    for (const char* p = name; *p != '\0'; ++p) {
        const char c = LowerAscii(*p);
        const bool letter = (c >= 'a' && c <= 'z') || c == '_';
        const bool other = (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!(letter || (p != name && other))) return false;
        lower->push_back(c);
    }
    return true;
}

// Elements that stand only inside certain others; outside them (a cell
// without its table, an item without its list) their content stands in
// their place, since the document's own elements around the pass-through
// are not theirs.
struct Container {
    const char* element;
    const char* within[4];
};
constexpr Container kContainers[] = {
    {"td", {"tr"}},           {"th", {"tr"}},          {"tr", {"table", "tbody", "thead", "tfoot"}},
    {"tbody", {"table"}},     {"thead", {"table"}},    {"tfoot", {"table"}},
    {"caption", {"table"}},   {"col", {"table", "colgroup"}}, {"colgroup", {"table"}},
    {"li", {"ul", "ol", "menu", "dir"}}, {"dt", {"dl"}}, {"dd", {"dl"}},
    {"option", {"select", "optgroup", "datalist"}}, {"optgroup", {"select"}},
    {"param", {"object", "applet"}}, {"area", {"map"}},
};

// Whether the element stands where it may: an element of kContainers
// needs one of its containers among its ancestors in the fragment.
bool InItsContainer(const HtmlNode* node, const std::string& name) {
    for (const Container& container : kContainers) {
        if (name != container.element) continue;
        std::string parent;
        for (const HtmlNode* at = node->parent; at != nullptr; at = at->parent) {
            if (!at->IsElement() || !XmlName(at->name, &parent)) continue;
            for (const char* within : container.within) {
                if (within != nullptr && parent == within) return true;
            }
        }
        return false;
    }
    return true;
}

// Writes LMBCS text: the markup characters as entities ("&quot;" too in an
// attribute value, where line ends and tabs become references so that they
// stay what they are), other ASCII as it is, everything else as the
// document's text writer writes it (control characters XML forbids leave
// nothing).
class Escaper {
public:
    explicit Escaper(XMLGenContext* context) : context_(context) {}

    void Put(std::string_view text, bool attribute, std::string* out) {
        std::size_t i = 0;
        while (i < text.size()) {
            const auto b = static_cast<std::uint8_t>(text[i]);
            if (b >= 0x20 && b < 0x7F) {
                switch (b) {
                case '&': *out += "&amp;"; break;
                case '<': *out += "&lt;"; break;
                case '>': *out += "&gt;"; break;
                case '"':
                    if (attribute) {
                        *out += "&quot;";
                    } else {
                        out->push_back('"');
                    }
                    break;
                default: out->push_back(static_cast<char>(b)); break;
                }
                ++i;
                continue;
            }
            if (b == '\n' || b == '\r' || b == '\t') {
                if (attribute) {
                    *out += b == '\n' ? "&#10;" : b == '\r' ? "&#13;" : "&#9;";
                } else {
                    out->push_back(static_cast<char>(b));
                }
                ++i;
                continue;
            }
            char encoded[64];
            std::size_t written = 0;
            const std::size_t taken =
                EncodeCharacter(context_, text.data() + i, text.size() - i, encoded, sizeof encoded, &written);
            if (taken == 0) {
                ++i;
                continue;
            }
            out->append(encoded, written);
            i += taken;
        }
    }

private:
    XMLGenContext* context_;
};

// Text XML takes in a comment: no "--", not ending with "-", and no
// character XML forbids.
std::string CommentText(std::string_view text) {
    std::string out;
    for (char c : KeptInXml(text)) {
        if (c == '-' && !out.empty() && out.back() == '-') out.push_back(' ');
        out.push_back(c);
    }
    if (!out.empty() && out.back() == '-') out.push_back(' ');
    return out;
}

// Script or style content in a CDATA section, inside the comment marks of
// its language so that a reader of HTML passes the section's marks over.
// Characters XML forbids leave nothing: a section cannot refer to them.
void PutCData(std::string_view given, bool script, std::string* out) {
    const std::string kept = KeptInXml(given);
    const std::string_view content = kept;
    if (content.find_first_not_of(" \t\r\n") == std::string_view::npos) return;
    *out += script ? "//<![CDATA[\n" : "/*<![CDATA[*/\n";
    std::size_t from = 0;
    for (std::size_t at = content.find("]]>"); at != std::string_view::npos; at = content.find("]]>", from)) {
        out->append(content.substr(from, at + 2 - from));
        *out += "]]><![CDATA[";
        from = at + 2;
    }
    out->append(content.substr(from));
    *out += script ? "\n//]]>" : "\n/*]]>*/";
}

class XhtmlWriter {
public:
    XhtmlWriter(XMLGenContext* context, const HtmlDocument& document, std::string* out)
        : escaper_(context), document_(document), out_(out) {}

    bool WroteBlock() const { return wroteBlock_; }

    void Write(const HtmlNode* root) {
        // Document order without recursion: start tags going down, end
        // tags coming back up.
        const HtmlNode* node = root->firstChild;
        while (node != nullptr) {
            const bool descend = Open(node);
            if (descend && node->firstChild != nullptr) {
                node = node->firstChild;
                continue;
            }
            if (descend) Close(node);
            while (node != nullptr && node != root && node->next == nullptr) {
                node = node->parent;
                if (node != nullptr && node != root) Close(node);
            }
            if (node == nullptr || node == root) break;
            node = node->next;
        }
    }

private:
    // Writes what comes before a node's children; false when its children
    // are not to be walked (it was written whole).
    bool Open(const HtmlNode* node) {
        const std::string_view text = document_.Text(node);
        switch (node->type) {
        case HtmlNodeType::kText:
            escaper_.Put(text, false, out_);
            return false;
        case HtmlNodeType::kCData:
            escaper_.Put(text, false, out_);
            return false;
        case HtmlNodeType::kDocType:
        case HtmlNodeType::kRoot:
        case HtmlNodeType::kEndTag:
            return false;
        case HtmlNodeType::kStartTag:
        case HtmlNodeType::kStartEndTag:
            return OpenElement(node);
        default:
            // Comments, and what a browser reads as one: processing
            // instructions, server code, conditional sections.
            *out_ += "<!--";
            *out_ += CommentText(text);
            *out_ += "-->";
            return false;
        }
    }

    bool OpenElement(const HtmlNode* node) {
        std::string name;
        if (!XmlName(node->name, &name) || OneOf(name, kFrameElements) || !InItsContainer(node, name)) {
            names_.push_back("");
            return true;
        }
        if (name == "title" && node->firstChild == nullptr) return false;
        if (OneOf(name, kBlockElements)) wroteBlock_ = true;
        *out_ += '<';
        *out_ += name;
        WriteAttributes(node);
        if (OneOf(name, kEmptyElements)) {
            *out_ += " />";
            return false;
        }
        *out_ += '>';
        if (name == "script" || name == "style") {
            std::string content;
            for (const HtmlNode* child = node->firstChild; child != nullptr; child = child->next)
                content.append(document_.Text(child));
            PutCData(content, name == "script", out_);
            *out_ += "</" + name + ">";
            return false;
        }
        names_.push_back(name);
        return true;
    }

    void Close(const HtmlNode* node) {
        if (!node->IsElement()) return;
        if (names_.empty()) return;
        const std::string name = names_.back();
        names_.pop_back();
        if (!name.empty()) *out_ += "</" + name + ">";
    }

    void WriteAttributes(const HtmlNode* node) {
        std::vector<std::string> written;
        std::string name;
        for (const HtmlAttr* attr = node->attributes; attr != nullptr; attr = attr->next) {
            if (!XmlName(attr->name, &name) || name == "xmlns") continue;
            if (std::find(written.begin(), written.end(), name) != written.end()) continue;
            written.push_back(name);
            *out_ += ' ';
            *out_ += name;
            *out_ += "=\"";
            if (attr->value != nullptr) {
                escaper_.Put(attr->value, true, out_);
            } else {
                *out_ += name;
            }
            *out_ += '"';
        }
    }

    Escaper escaper_;
    const HtmlDocument& document_;
    std::string* out_;
    // The names of the elements open, "" for one whose tags are left out.
    std::vector<std::string> names_;
    bool wroteBlock_ = false;
};

} // namespace

void PassthruAsXhtml(XMLGenContext* context, std::string_view html, std::string* out, bool* holdsBlock) {
    Escaper escaper(context);
    if (holdsBlock != nullptr) *holdsBlock = false;
    try {
        const std::string utf8 = plat::LmbcsToNative(html);
        TidyParseRequest request;
        request.utf8 = utf8;
        request.bytes = utf8.size();
        TidyParseResult result;
        const STATUS status = ParseWithTidy(request, &result);
        if (status == kOK && result.document != nullptr) {
            std::string written;
            XhtmlWriter writer(context, *result.document, &written);
            writer.Write(result.document->Root());
            out->append(written);
            if (holdsBlock != nullptr) *holdsBlock = writer.WroteBlock();
            return;
        }
        // Markup past a bound of the parser is written as text, as markup
        // that does not parse is.
        if (status == kHtmlPastBound)
            plat::LogLine(0, "Pass-through HTML written as text: %s", DescribeHtmlBound(result.bound).c_str());
    } catch (const std::bad_alloc&) {
    }
    escaper.Put(html, false, out);
}

} // namespace talix
