#pragma once
// Identifier rule and unique names, shared by the DOM-model collections and
// the naming schemas.
#include <string>
#include <string_view>
#include <unordered_map>

namespace vxWebFw {

// Makes an identifier of a text: characters before the first letter are
// dropped, letters and digits are copied, each run of other characters
// becomes one "_", at most 255 characters. An empty text, or one from which
// nothing was copied, gives `defaultText`.
std::wstring ApplyIdentifierRule(std::wstring_view text, std::wstring_view defaultText);

// Hands out names unique within one collection, compared without letter
// case: the first use of a name keeps it, later uses get "_2", "_3"... (the
// first free number), in the candidate's own letter case.
class CNameRegistry
{
public:
    std::wstring MakeUnique(const std::wstring& candidate);
    void Clear() { next_.clear(); }

private:
    std::unordered_map<std::wstring, long> next_; // upper-cased name -> next suffix to try
};

} // namespace vxWebFw
