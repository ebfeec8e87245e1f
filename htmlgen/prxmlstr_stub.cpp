// Rendering a chunk as HTML, XHTML or XML. Until generation is built this
// renders nothing and reports success, so that a run that reaches it goes
// on as if the chunk were empty.
#include "htmlgen/xml_gen_context.h"

namespace talix {

STATUS PrXMLStr(XMLGenContext* context, std::uint32_t reserved1, std::uint32_t reserved2, std::uint16_t mode) {
    (void)context;
    (void)reserved1;
    (void)reserved2;
    (void)mode;
    return kOK;
}

} // namespace talix
