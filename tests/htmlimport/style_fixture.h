// What the style tests share: a parsed page with its rules, elements found
// by their id, and look-ups answering "-" for nothing found.
#pragma once

#include <cstring>
#include <string>

#include "htmlimport/css_rules.h"
#include "htmlimport/style_lookup.h"
#include "import_fixture.h"

namespace import_test {

class StyleTest : public ImportTest {
protected:
    // Parses the page, then the style sheet into the page's first rule list.
    void Page(const std::string& html, const std::string& css = {}, const char* options = nullptr) {
        ASSERT_EQ(ParseBuffer(html, options), 0) << html;
        Sheet(css);
    }
    void Sheet(const std::string& css) {
        ASSERT_EQ(talix::ParseCSSRules(import_.get(), css.data(), css.size()), 0);
    }
    // The element whose id attribute is id; fails the test when there is none.
    const talix::HtmlNode* Id(const char* id) const {
        const talix::HtmlNode* root = import_->document->Root();
        for (const talix::HtmlNode* node = root; node != nullptr;
             node = talix::NextInside(const_cast<talix::HtmlNode*>(node), root)) {
            const char* value = talix::AttributeValue(node, "id");
            if (value != nullptr && std::strcmp(value, id) == 0) return node;
        }
        ADD_FAILURE() << "no element with id " << id;
        return nullptr;
    }
    std::string Show(const talix::StyleValue& value) const { return value.has_value() ? *value : "-"; }
    // FindStyleValue with the context's rule lists.
    std::string Value(const char* id, const char* property) const {
        return Show(talix::FindStyleValue(Id(id), property, &import_->styleRules1, &import_->styleRules2));
    }
};

} // namespace import_test
