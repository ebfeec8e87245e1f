// Rendering a chunk as HTML, XHTML or XML. Until generation is built nothing
// is rendered and the call fails, so that a run that reaches it is not
// taken for one that produced its output.
#include "htmlgen/xml_gen_context.h"

namespace talix {

STATUS PrXMLStr(XMLGenContext*, std::uint32_t, std::uint32_t, std::uint16_t) { return kOperationFailed; }

} // namespace talix
