// Layers from HTML.
#include "htmlimport/layer_conversion.h"

#include <cstdint>
#include <limits>
#include <new>
#include <string_view>

#include "builders/build_context.h"
#include "builders/layer_builders.h"
#include "core/debug_level.h"
#include "htmlimport/css_lengths.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/html_paragraph.h"
#include "htmlimport/import_paragraphs.h"
#include "htmlimport/option_words.h"
#include "htmlimport/style_lookup.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

// A z-index of this value counts as none.
constexpr long kUnstackedZIndex = 999;
constexpr const char* kPositionProperties[] = {"position", "left", "top", "bottom", "right"};
constexpr const char* kLayerProperties[] = {"position", "left",   "top",    "right",
                                            "bottom",   "width",  "height", "background-color"};

ElementStyle StyleOf(const HTMLImportContext* import, const HtmlNode* node) {
    return ElementStyle{node, &import->styleRules1, &import->styleRules2};
}

StyleValue LayerValue(const ElementStyle& style, const char* property) {
    const bool tracing = g_debugLevel > 3;
    if (tracing) {
        plat::LogLine(0, "FindStyleValue: propname=%s", property);
        plat::LogLine(0, "FindStyleValue: about to look internal for propname=%s", property);
    }
    StyleValue value = style.Own(property);
    if (tracing) plat::LogLine(0, "FindStyleValue: finished looking internally for propname=%s", property);
    return value;
}

// "keyword=<q>value<q> " with the first quote character the value does not
// hold; nothing when it holds all four.
void AppendLayerWord(std::string* text, std::string_view keyword, std::string_view value) {
    const char quote = OptionQuoteFor(value);
    if (quote == 0) return;
    text->append(keyword);
    text->push_back('=');
    text->push_back(quote);
    text->append(value);
    text->push_back(quote);
    text->push_back(' ');
}

} // namespace

int CalcLayerPosition(const HTMLImportContext* import, const HtmlNode* node) {
    if (node == nullptr) return 1;
    if (import == nullptr) return 0;
    const ElementStyle style = StyleOf(import, node);
    if (const StyleValue z = style.Own("z-index"); z.has_value() && LeadingInteger(*z) != kUnstackedZIndex) return 1;
    for (const char* property : kPositionProperties)
        if (style.Own(property).has_value()) return 1;
    return 0;
}

std::string LayerOptionText(const HTMLImportContext* import, const HtmlNode* node) {
    std::string text;
    if (import == nullptr || node == nullptr) return text;
    const ElementStyle style = StyleOf(import, node);
    for (const char* property : kLayerProperties) {
        if (const StyleValue value = LayerValue(style, property); value.has_value())
            AppendLayerWord(&text, property, *value);
    }
    if (const char* layerClass = AttributeValue(node, "class")) AppendLayerWord(&text, "LayerHTMLClass", layerClass);
    if (const char* id = AttributeValue(node, "id")) AppendLayerWord(&text, "LayerHTMLID", id);
    return text;
}

STATUS ConvertLayerFromHTML(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    if (context == nullptr || import == nullptr || node == nullptr || context->session == nullptr)
        return kArgumentError;
    try {
        // The stacking order: negative ones count as 0, the largest as the
        // largest a layer holds.
        std::uint32_t zIndex = 0;
        if (const StyleValue z = StyleOf(import, node).Own("z-index"); z.has_value()) {
            const long value = LeadingInteger(*z);
            const long long widest = std::numeric_limits<std::uint32_t>::max();
            zIndex = value <= 0 ? 0 : static_cast<std::uint32_t>(value > widest ? widest : value);
        }
        const std::string options = LayerOptionText(import, node);
        std::string paragraph;
        CalcParagraphFromHTML(import, node, &paragraph);
        KeepFailure(import,
                    ParseImportParagraphStyle(context, import, paragraph.c_str(), ParagraphReset::kBlockDefaults));
        // The layer's paragraph takes a hide formula from the session's
        // text result: an import's layer has none.
        RARIvoSession* session = context->session;
        const std::uint16_t kept = session->textResultLength;
        session->textResultLength = 0;
        const STATUS status = AppendLayerRecords(zIndex, context, options.c_str(), nullptr);
        KeepBuilderParagraphId(context);
        session->textResultLength = kept;
        return status;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

} // namespace talix
