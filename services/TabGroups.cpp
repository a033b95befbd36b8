#include "services/TabGroups.h"

#include <windows.h>
#include <oleauto.h>

std::vector<TabGroup> ComputeTabGroups(const std::vector<BSTR>& urls)
{
    std::vector<TabGroup> groups(urls.size());
    std::vector<bool> marked(urls.size(), false);
    for (size_t i = 0; i < urls.size(); ++i) {
        if (marked[i])
            continue;
        LONG next = 1;
        for (size_t j = i + 1; j < urls.size(); ++j) {
            if (marked[j] || VarBstrCmp(urls[i], urls[j], LOCALE_USER_DEFAULT, 0) != VARCMP_EQ)
                continue;
            marked[j] = true;
            groups[j] = {next++, true};
            groups[i].grouped = true;
        }
        marked[i] = true;
    }
    return groups;
}
