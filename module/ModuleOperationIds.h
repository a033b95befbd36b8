#pragma once

// Identifiers under which faults inside the host's calls during attach and
// detach are reported (registry-GUID form, as the host's reports expect).
namespace ModuleOperationIds {

inline constexpr wchar_t Attach[] = L"2D752869-39F4-460f-B2F4-02571A0692F5";
inline constexpr wchar_t Detach[] = L"213AB793-2293-4439-BDFB-0491A8299447";

} // namespace ModuleOperationIds
