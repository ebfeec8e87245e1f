#include "support/markup_validators.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

#include <mutex>

namespace talix_test {

namespace {

struct XmlMessages {
    std::string text;
    bool validity = false;   // collect validity errors too (a validating parse)
};

void CollectXmlError(void* context, xmlErrorPtr error) {
    auto* messages = static_cast<XmlMessages*>(context);
    std::string* report = &messages->text;
    // Without validation the DTD is read for its entities and attribute
    // types alone: what it says of validity (a repeated id) is not asked.
    if (error != nullptr && error->domain == XML_FROM_VALID && !messages->validity) return;
    if (error != nullptr && error->message != nullptr) {
        *report += "line " + std::to_string(error->line) + " column " + std::to_string(error->int2) + ": " +
                   error->message;
    }
}

// Parses with the DTD loaded through the catalog (never the network);
// returns whether the parse worked and, with validate, the document was
// valid.
bool ParseXml(const std::string& xml, bool validate, std::string* report, bool deep = false) {
    XmlMessages collected;
    collected.validity = validate;
    std::string& messages = collected.text;
    xmlParserCtxtPtr parser = xmlNewParserCtxt();
    if (parser == nullptr) return false;
    xmlSetStructuredErrorFunc(&collected, CollectXmlError);
    int options = XML_PARSE_NONET | XML_PARSE_DTDLOAD | XML_PARSE_DTDATTR;
    if (validate) options |= XML_PARSE_DTDVALID;
    if (deep) options |= XML_PARSE_HUGE;
    xmlDocPtr doc = xmlCtxtReadMemory(parser, xml.data(), static_cast<int>(xml.size()), "generated.xhtml", "UTF-8",
                                      options);
    const bool ok = doc != nullptr && parser->wellFormed != 0 && (!validate || parser->valid != 0) &&
                    messages.empty();
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (doc != nullptr) xmlFreeDoc(doc);
    xmlFreeParserCtxt(parser);
    if (report != nullptr) *report = messages;
    return ok;
}

} // namespace

namespace {

// A new Tidy document. Tidy is given its language first: without one it
// sets the process's locale from the environment as it makes a document, and
// the code under test would then run under the tester's locale, and Tidy's
// diagnostics be written in its language.
TidyDoc NewTidyDocument() {
    static std::once_flag language;
    std::call_once(language, [] { tidySetLanguage("en"); });
    return tidyCreate();
}

// An HTML document parsed by Tidy (UTF-8), its diagnostics kept.
class TidyParse {
public:
    explicit TidyParse(const std::string& html) : doc_(NewTidyDocument()) {
        tidyBufInit(&errors_);
        tidySetErrorBuffer(doc_, &errors_);
        tidySetInCharEncoding(doc_, "utf8");
        tidyParseString(doc_, html.c_str());
    }
    ~TidyParse() {
        tidyBufFree(&errors_);
        tidyRelease(doc_);
    }
    TidyParse(const TidyParse&) = delete;
    TidyParse& operator=(const TidyParse&) = delete;
    TidyDoc doc() const { return doc_; }
    std::string Report() const {
        return errors_.bp != nullptr ? std::string(reinterpret_cast<const char*>(errors_.bp), errors_.size) : "";
    }

private:
    TidyDoc doc_;
    TidyBuffer errors_;
};

void CollectTidyText(TidyDoc doc, TidyNode node, TidyBuffer* value, std::string* text) {
    for (TidyNode child = tidyGetChild(node); child != nullptr; child = tidyGetNext(child)) {
        const TidyTagId id = tidyNodeGetId(child);
        if (id == TidyTag_SCRIPT || id == TidyTag_STYLE) continue;
        if (tidyNodeIsText(child)) {
            tidyBufClear(value);
            if (tidyNodeGetValue(doc, child, value) && value->bp != nullptr)
                text->append(reinterpret_cast<const char*>(value->bp), value->size);
            continue;
        }
        CollectTidyText(doc, child, value, text);
    }
}

} // namespace

int TidyErrors(const std::string& html, std::string* report) {
    const TidyParse parse(html);
    if (report != nullptr) *report = parse.Report();
    return static_cast<int>(tidyErrorCount(parse.doc()));
}

std::string HtmlBodyText(const std::string& html) {
    const TidyParse parse(html);
    std::string text;
    TidyBuffer value;
    tidyBufInit(&value);
    if (TidyNode body = tidyGetBody(parse.doc())) CollectTidyText(parse.doc(), body, &value, &text);
    tidyBufFree(&value);
    return text;
}

bool XmlWellFormed(const std::string& xml, std::string* report, bool deep) {
    return ParseXml(xml, false, report, deep);
}

bool XhtmlValid(const std::string& xhtml, std::string* report) { return ParseXml(xhtml, true, report); }

std::string XhtmlBodyText(const std::string& xhtml) {
    XmlMessages messages;
    xmlSetStructuredErrorFunc(&messages, CollectXmlError);
    xmlDocPtr doc = xmlReadMemory(xhtml.data(), static_cast<int>(xhtml.size()), "generated.xhtml", "UTF-8",
                                  XML_PARSE_NONET | XML_PARSE_DTDLOAD | XML_PARSE_NOENT);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (doc == nullptr) return "";
    std::string text;
    // The body: the second element child of the root (after the head), or
    // the whole document when it has none.
    xmlNodePtr node = xmlDocGetRootElement(doc);
    xmlNodePtr body = nullptr;
    for (xmlNodePtr child = node != nullptr ? node->children : nullptr; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, BAD_CAST "body")) body = child;
    }
    xmlChar* content = xmlNodeGetContent(body != nullptr ? body : node);
    if (content != nullptr) {
        text = reinterpret_cast<const char*>(content);
        xmlFree(content);
    }
    xmlFreeDoc(doc);
    return text;
}

namespace {

void CollectElements(xmlNodePtr node, const std::vector<std::string>& names, std::vector<std::string>* texts) {
    for (xmlNodePtr child = node; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        for (const std::string& name : names) {
            if (!xmlStrEqual(child->name, BAD_CAST name.c_str())) continue;
            xmlChar* content = xmlNodeGetContent(child);
            texts->push_back(content != nullptr ? reinterpret_cast<const char*>(content) : "");
            if (content != nullptr) xmlFree(content);
        }
        CollectElements(child->children, names, texts);
    }
}

} // namespace

std::vector<std::string> XhtmlElementTexts(const std::string& xhtml, const std::vector<std::string>& names) {
    std::vector<std::string> texts;
    XmlMessages messages;
    xmlSetStructuredErrorFunc(&messages, CollectXmlError);
    xmlDocPtr doc = xmlReadMemory(xhtml.data(), static_cast<int>(xhtml.size()), "generated.xhtml", "UTF-8",
                                  XML_PARSE_NONET | XML_PARSE_DTDLOAD | XML_PARSE_NOENT);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (doc == nullptr) return texts;
    CollectElements(xmlDocGetRootElement(doc), names, &texts);
    xmlFreeDoc(doc);
    return texts;
}

} // namespace talix_test
