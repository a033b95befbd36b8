#include "LibxmlDocument.h"

#include <libxml/parser.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vxXPathTest {

XmlDocPtr parseXml(const std::string& text)
{
    xmlDoc* doc =
        xmlReadMemory(text.data(), static_cast<int>(text.size()), "memory.xml", "UTF-8",
                      XML_PARSE_NOENT | XML_PARSE_NOCDATA | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!doc)
        throw std::runtime_error("XML text is not well-formed");
    return XmlDocPtr(doc);
}

XmlDocPtr parseXmlFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return parseXml(text.str());
}

} // namespace vxXPathTest
