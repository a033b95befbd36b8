#pragma once
// Finding the services that the product's Chrome component publishes for a
// browser process: each one is a marshalled IDispatch in named shared memory
// (4-byte little-endian length, then the marshalled packet), complete once
// its manual-reset "<name>_readyEvent" is signalled.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <optional>
#include <string>
#include <vector>

// Service name formats: browser process id, interface version major, minor.
inline constexpr const wchar_t* kBrowserServiceNameFormat = L"npvxCrBrowserService%d_ver%d_%d";
inline constexpr const wchar_t* kTabsServiceNameFormat = L"npvxCrTabsService%d_ver%d_%d";
inline constexpr int kServiceVersionMajor = 8;
inline constexpr int kServiceVersionMinor = 0;
inline constexpr const wchar_t* kServiceReadyEventSuffix = L"_readyEvent";

// The session-independent name of a kernel object: "Global\" + name on
// Windows 2000 and later NT systems, the name itself elsewhere.
std::wstring GlobalKernelObjectName(const std::wstring& name);

// The service name for the browser process this process belongs to; nothing
// when that id is unknown (a child process without a usable --channel).
std::optional<std::wstring> FormatServiceName(const wchar_t* format);
std::wstring FormatServiceName(const wchar_t* format, DWORD browserProcessId);

// Copies the published marshalled packet. E_FAIL when the ready event is
// missing or not signalled yet, the mapping is missing or cannot be viewed, or
// the recorded length does not fit in the mapping; E_OUTOFMEMORY when the copy
// cannot be allocated.
HRESULT ReadPublishedInterface(const std::wstring& name, std::vector<BYTE>& bytes);

// Unmarshals an IDispatch from a marshalled packet.
HRESULT UnmarshalDispatch(const BYTE* bytes, size_t length, Microsoft::WRL::ComPtr<IDispatch>& dispatch);

// Name + read + unmarshal; E_FAIL when no name can be made or the result is
// null.
HRESULT LookupPublishedService(const wchar_t* nameFormat, Microsoft::WRL::ComPtr<IDispatch>& service);
HRESULT LookupBrowserService(Microsoft::WRL::ComPtr<IDispatch>& service);
HRESULT LookupTabsService(Microsoft::WRL::ComPtr<IDispatch>& service);
