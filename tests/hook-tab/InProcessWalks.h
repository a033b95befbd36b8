#pragma once
// The same page walked in this process, without the browser side: what the
// cross-process answers are compared with.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace hook_tab_tests {

// (node number, identifier) of every member of the DOM model's "all"
// collection of the snapshot's page.
std::vector<std::pair<std::wstring, std::wstring>> InProcessAll(const std::string& snapshot);

// (node number, object kind) of the Tree model's first level below the body.
std::vector<std::pair<std::wstring, ULONG>> InProcessTreeLevel(const std::string& snapshot);

} // namespace hook_tab_tests
