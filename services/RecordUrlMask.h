#pragma once
#include <string>
#include <vector>

// Masks the values of the named query parameters in a URL before it is
// recorded: "/p?x=1&sid=abc&y=2" with {"sid"} gives "/p?x=1&sid=*&y=2".
// The item "*" masks everything after the path: "/p*". Parameter names
// compare case-insensitively; an empty list leaves the URL unchanged.
std::wstring MaskRecordedUrl(const std::wstring& url, const std::vector<std::wstring>& parameterNames);
