// An XML document parsed by libxml2, owned for RAII.
#pragma once

#include <libxml/tree.h>

#include <memory>
#include <string>

namespace vxXPathTest {

struct XmlDocFree
{
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;

// Parses text (entities substituted, CDATA merged into text). Throws
// std::runtime_error when it is not well-formed.
XmlDocPtr parseXml(const std::string& text);
XmlDocPtr parseXmlFile(const std::string& path);

} // namespace vxXPathTest
