#include "services/ServiceRendezvous.h"

#include <cwchar>
#include <new>

#include "platform/process/ChromeProcess.h"
#include "platform/com/UniqueHandle.h"

using Microsoft::WRL::ComPtr;
using vx::com::UniqueHandle;

namespace {

bool UsesGlobalNamespace()
{
    static const bool usesGlobal = [] {
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        if (!GetVersionExA(&version))
            return false;
#pragma GCC diagnostic pop
        return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion != 4;
    }();
    return usesGlobal;
}

// Opens a kernel object under its global name, then under its plain name.
template <class Open>
UniqueHandle OpenEitherName(const std::wstring& name, Open open)
{
    std::wstring global = GlobalKernelObjectName(name);
    UniqueHandle handle(open(global.c_str()));
    if (!handle && global != name)
        handle.Reset(open(name.c_str()));
    return handle;
}

class MappedView
{
public:
    explicit MappedView(HANDLE mapping) : view_(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) {}
    ~MappedView()
    {
        if (view_)
            UnmapViewOfFile(view_);
    }
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;

    const BYTE* Data() const { return static_cast<const BYTE*>(view_); }
    // Readable bytes from the start of the view.
    size_t Size() const
    {
        MEMORY_BASIC_INFORMATION info = {};
        if (!view_ || VirtualQuery(view_, &info, sizeof(info)) != sizeof(info))
            return 0;
        return info.RegionSize;
    }

private:
    void* view_;
};

} // namespace

std::wstring GlobalKernelObjectName(const std::wstring& name)
{
    return UsesGlobalNamespace() ? L"Global\\" + name : name;
}

std::wstring FormatServiceName(const wchar_t* format, DWORD browserProcessId)
{
    wchar_t name[100] = {};
    int written = std::swprintf(name, sizeof(name) / sizeof(name[0]), format, static_cast<int>(browserProcessId),
                                kServiceVersionMajor, kServiceVersionMinor);
    return written < 0 ? std::wstring() : std::wstring(name);
}

std::optional<std::wstring> FormatServiceName(const wchar_t* format)
{
    DWORD browserProcessId = 0;
    if (!GetBrowserProcessId(GetCurrentProcessId(), browserProcessId))
        return std::nullopt;
    std::wstring name = FormatServiceName(format, browserProcessId);
    if (name.empty())
        return std::nullopt;
    return name;
}

HRESULT ReadPublishedInterface(const std::wstring& name, std::vector<BYTE>& bytes)
{
    bytes.clear();
    UniqueHandle ready = OpenEitherName(name + kServiceReadyEventSuffix,
                                        [](const wchar_t* n) { return OpenEventW(SYNCHRONIZE, FALSE, n); });
    if (!ready)
        return E_FAIL;
    // Not signalled: the publisher has not finished writing.
    if (WaitForSingleObject(ready.Get(), 0) != WAIT_OBJECT_0)
        return E_FAIL;
    UniqueHandle mapping =
        OpenEitherName(name, [](const wchar_t* n) { return OpenFileMappingW(FILE_MAP_READ, FALSE, n); });
    if (!mapping)
        return E_FAIL;
    MappedView view(mapping.Get());
    size_t available = view.Size();
    if (!view.Data() || available < sizeof(UINT32))
        return E_FAIL;
    UINT32 length = 0;
    CopyMemory(&length, view.Data(), sizeof(length));
    // A length beyond the mapping would read past the view.
    if (length > available - sizeof(UINT32))
        return E_FAIL;
    try {
        bytes.assign(view.Data() + sizeof(UINT32), view.Data() + sizeof(UINT32) + length);
    } catch (const std::bad_alloc&) {
        bytes.clear();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT UnmarshalDispatch(const BYTE* bytes, size_t length, ComPtr<IDispatch>& dispatch)
{
    dispatch.Reset();
    if (!bytes && length)
        return E_POINTER;
    if (length > MAXDWORD)
        return E_INVALIDARG;
    ComPtr<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (FAILED(hr))
        return hr;
    ULONG written = 0;
    hr = stream->Write(bytes, static_cast<ULONG>(length), &written);
    if (FAILED(hr))
        return hr;
    LARGE_INTEGER start = {};
    hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr))
        return hr;
    return CoUnmarshalInterface(stream.Get(), IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()));
}

HRESULT LookupPublishedService(const wchar_t* nameFormat, ComPtr<IDispatch>& service)
{
    service.Reset();
    std::optional<std::wstring> name = FormatServiceName(nameFormat);
    if (!name)
        return E_FAIL;
    std::vector<BYTE> bytes;
    HRESULT hr = ReadPublishedInterface(*name, bytes);
    if (FAILED(hr))
        return hr;
    hr = UnmarshalDispatch(bytes.data(), bytes.size(), service);
    if (SUCCEEDED(hr) && !service)
        hr = E_FAIL;
    return hr;
}

HRESULT LookupBrowserService(ComPtr<IDispatch>& service)
{
    return LookupPublishedService(kBrowserServiceNameFormat, service);
}

HRESULT LookupTabsService(ComPtr<IDispatch>& service)
{
    return LookupPublishedService(kTabsServiceNameFormat, service);
}
