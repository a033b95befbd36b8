#pragma once
#include <oaidl.h>

#include <vector>

// A tab's place among the tabs that show the same URL.
struct TabGroup
{
    LONG index = 0;       // 0 for the lowest tab id of a URL, then 1, 2, ...
    bool grouped = false; // another tab shows the same URL
};

// Groups for tabs in ascending tab-id order, by their URLs (compared with
// VarBstrCmp in the user's default locale).
std::vector<TabGroup> ComputeTabGroups(const std::vector<BSTR>& urlsInTabOrder);
