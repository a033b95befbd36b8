#include "services/RecordUrlMask.h"

#include <windows.h>

#include <algorithm>

namespace {

constexpr size_t MaxCollectedName = 255;

bool IsParameterSeparator(wchar_t c)
{
    return c == L'&' || c == L'?';
}

bool MatchesAny(const std::wstring& name, const std::vector<std::wstring>& names)
{
    return std::any_of(names.begin(), names.end(),
                       [&name](const std::wstring& item) { return lstrcmpiW(item.c_str(), name.c_str()) == 0; });
}

} // namespace

std::wstring MaskRecordedUrl(const std::wstring& url, const std::vector<std::wstring>& parameterNames)
{
    if (url.empty() || parameterNames.empty())
        return url;
    const bool maskAll = std::find(parameterNames.begin(), parameterNames.end(), L"*") != parameterNames.end();

    const size_t delimiter = url.find_first_of(L"?#;");
    if (delimiter == std::wstring::npos)
        return url;
    if (maskAll)
        return url.substr(0, delimiter) + L"*";

    std::wstring result = url.substr(0, delimiter + 1);
    enum class State { Name, MaskedValue, PlainValue } state = State::Name;
    std::wstring name;
    for (size_t i = delimiter + 1; i < url.size(); ++i) {
        const wchar_t c = url[i];
        switch (state) {
        case State::Name:
            result.push_back(c);
            if (IsParameterSeparator(c)) {
                name.clear();
            } else if (c == L'=') {
                if (MatchesAny(name, parameterNames)) {
                    result.push_back(L'*');
                    state = State::MaskedValue;
                } else {
                    state = State::PlainValue;
                }
                name.clear();
            } else if (name.size() < MaxCollectedName) {
                name.push_back(c);
            }
            break;
        case State::MaskedValue:
            if (IsParameterSeparator(c)) {
                result.push_back(c);
                state = State::Name;
            }
            break;
        case State::PlainValue:
            result.push_back(c);
            if (IsParameterSeparator(c))
                state = State::Name;
            break;
        }
    }
    return result;
}
