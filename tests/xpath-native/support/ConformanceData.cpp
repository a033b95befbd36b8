#include "ConformanceData.h"

#include <fstream>
#include <stdexcept>

namespace vxXPathTest {

namespace {

std::string trim(const std::string& text)
{
    std::size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return std::string();
    std::size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

// A directive is its keyword, a colon and a blank, so that expressions such
// as "namespace::*" are not mistaken for one.
bool startsWith(const std::string& text, const char* prefix, std::string& rest)
{
    std::string p(prefix);
    if (text.compare(0, p.size(), p) != 0)
        return false;
    if (text.size() > p.size() && text[p.size()] != ' ' && text[p.size()] != '\t')
        return false;
    rest = trim(text.substr(p.size()));
    return true;
}

} // namespace

std::vector<ConformanceCase> readConformanceFile(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    std::vector<ConformanceCase> cases;
    ConformanceCase state;
    state.file = path;
    std::string raw;
    int lineNumber = 0;
    auto fail = [&](const std::string& why) {
        throw std::runtime_error(path + ":" + std::to_string(lineNumber) + ": " + why);
    };
    while (std::getline(in, raw)) {
        ++lineNumber;
        std::string line = trim(raw);
        std::string rest;
        if (line.empty() || line[0] == '#')
            continue;
        if (startsWith(line, "document:", rest)) {
            state.document = rest;
            state.context = "/";
            state.namespaces = Namespaces();
        } else if (startsWith(line, "namespace:", rest)) {
            std::size_t space = rest.find(' ');
            if (space == std::string::npos)
                fail("namespace: needs a prefix and a URI");
            state.namespaces.prefixes[rest.substr(0, space)] = trim(rest.substr(space + 1));
        } else if (startsWith(line, "context:", rest)) {
            state.context = rest;
        } else if (startsWith(line, "deviation:", rest)) {
            ConformanceCase c = state;
            c.line = lineNumber;
            c.expression = rest;
            c.deviation = true;
            cases.push_back(c);
        } else if (startsWith(line, "expect:", rest)) {
            if (cases.empty() || !cases.back().deviation || !cases.back().expected.empty())
                fail("expect: must follow a deviation: line");
            cases.back().expected = rest;
        } else {
            if (state.document.empty())
                fail("expression before any document: line");
            ConformanceCase c = state;
            c.line = lineNumber;
            c.expression = line;
            cases.push_back(c);
        }
    }
    for (const ConformanceCase& c : cases)
        if (c.deviation && c.expected.empty())
            throw std::runtime_error(path + ":" + std::to_string(c.line) + ": deviation without expect:");
    return cases;
}

} // namespace vxXPathTest
