// Reader of the conformance data files (data/conformance/*.xpath).
//
// Line forms (leading and trailing blanks ignored):
//   # comment
//   document: NAME.xml          document (under data/documents) for what follows
//   namespace: PREFIX URI       prefix declared for the expressions that follow
//   context: XPATH              context node for what follows (must select one
//                               node; "/" is the default after document:)
//   deviation: XPATH            libxml2 departs from XPath 1.0 here; the next
//   expect: CANONICAL           line gives the engine's required result
//   XPATH                       evaluated by both engines, results must agree
#pragma once

#include <string>
#include <vector>

#include "Outcome.h"

namespace vxXPathTest {

struct ConformanceCase
{
    std::string file;
    int line = 0;
    std::string document;
    std::string context;
    std::string expression;
    Namespaces namespaces;
    bool deviation = false;
    std::string expected; // deviations only
};

// Throws std::runtime_error on a malformed file.
std::vector<ConformanceCase> readConformanceFile(const std::string& path);

} // namespace vxXPathTest
