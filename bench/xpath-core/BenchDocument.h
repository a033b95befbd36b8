// Deterministic HTML-like XHTML document for the XPath benchmark.
#pragma once

#include <string>

namespace vxXPathBench {

// A page with navigation, sections of articles with paragraphs, links and
// spans, forms with inputs, tables and lists: sections * ~130 nodes.
std::string makeBenchDocument(int sections);

} // namespace vxXPathBench
