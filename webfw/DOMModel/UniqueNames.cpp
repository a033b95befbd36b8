#include "webfw/DOMModel/UniqueNames.h"

#include <windows.h>

#include <cwctype>

namespace vxWebFw {

namespace {
constexpr size_t kMaxIdentifierLength = 255;

std::wstring Upper(const std::wstring& text)
{
    std::wstring upper = text;
    if (!upper.empty())
        CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}
} // namespace

std::wstring ApplyIdentifierRule(std::wstring_view text, std::wstring_view defaultText)
{
    std::wstring out;
    size_t i = 0;
    while (i < text.size() && !iswalpha(text[i]))
        ++i;
    bool inRun = false;
    for (; i < text.size() && out.size() < kMaxIdentifierLength; ++i) {
        if (iswalnum(text[i])) {
            out.push_back(text[i]);
            inRun = false;
        } else if (!inRun) {
            out.push_back(L'_');
            inRun = true;
        }
    }
    return out.empty() ? std::wstring(defaultText) : out;
}

std::wstring CNameRegistry::MakeUnique(const std::wstring& candidate)
{
    const std::wstring base = Upper(candidate);
    auto found = next_.find(base);
    if (found == next_.end()) {
        next_.emplace(base, 2);
        return candidate;
    }
    long n = found->second;
    std::wstring form;
    for (;; ++n) {
        form = base + L"_" + std::to_wstring(n);
        if (next_.find(form) == next_.end())
            break;
    }
    next_[base] = n + 1;
    next_.emplace(form, 2);
    return candidate + L"_" + std::to_wstring(n);
}

} // namespace vxWebFw
