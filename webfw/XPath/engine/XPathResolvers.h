// Optional hooks of the caller: namespace prefixes (used when compiling) and
// variable values (used when evaluating).
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace vxWebFw {
namespace XPath {
namespace Engine {

class Value;

class NamespaceResolver {
public:
    virtual ~NamespaceResolver() = default;
    // Sets uri and returns true when the prefix is declared.
    virtual bool lookupNamespaceUri(std::wstring_view prefix, std::wstring& uri) const = 0;
};

// A fixed prefix -> URI table.
class NamespaceMap : public NamespaceResolver {
public:
    void declare(std::wstring prefix, std::wstring uri) { map_[std::move(prefix)] = std::move(uri); }
    bool lookupNamespaceUri(std::wstring_view prefix, std::wstring& uri) const override {
        auto found = map_.find(std::wstring(prefix));
        if (found == map_.end()) return false;
        uri = found->second;
        return true;
    }

private:
    std::map<std::wstring, std::wstring> map_;
};

class VariableResolver {
public:
    virtual ~VariableResolver() = default;
    // Sets value and returns true when the variable {namespaceUri}localName is bound.
    virtual bool lookupVariable(std::wstring_view namespaceUri, std::wstring_view localName, Value& value) const = 0;
};

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
