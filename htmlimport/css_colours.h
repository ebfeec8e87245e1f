// CSS colour texts as the colour parser reads them.
#pragma once

#include <string>
#include <string_view>

namespace talix {

// The functional forms rgb() and rgba() of CSS, with blanks anywhere
// between their parts, components in percent or out of range and an alpha
// value, written as "rgb(r,g,b)" with each component within 0 to 255 (the
// alpha value is left out). Any other text, and a functional form that
// does not hold three components, comes back as it is.
std::string ColourTextForParser(std::string_view text);

} // namespace talix
