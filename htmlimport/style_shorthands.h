// The look-up in one parsed declaration list, for callers that hold the
// property name in lower case already (the rule scans ask it once per
// candidate rule).
#pragma once

#include <string>
#include <string_view>

#include "htmlimport/css_text.h"
#include "htmlimport/style_lookup.h"

namespace talix {

// FindStyleValueInternal for a lower-case name.
StyleValue FindStyleValueLower(const StyleDeclarations* list, std::string_view lowerName);

// A property name in lower case; copied only when it holds upper case.
class LowerName {
public:
    explicit LowerName(std::string_view name) : view_(name) {
        for (const char c : name) {
            if (c >= 'A' && c <= 'Z') {
                storage_ = css::LowerCopy(name);
                view_ = storage_;
                return;
            }
        }
    }
    LowerName(const LowerName&) = delete;
    LowerName& operator=(const LowerName&) = delete;
    std::string_view View() const { return view_; }

private:
    std::string storage_;
    std::string_view view_;
};

} // namespace talix
