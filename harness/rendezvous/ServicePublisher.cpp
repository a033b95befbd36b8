#include "ServicePublisher.h"

#include <sddl.h>

#include <vector>

using Microsoft::WRL::ComPtr;
using vx::com::UniqueHandle;

namespace rendezvous_harness {
namespace {

// A security descriptor that lets every process open the objects.
class OpenToEveryone
{
public:
    OpenToEveryone()
    {
        ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;WD)(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1,
                                                             &descriptor_, nullptr);
        attributes_.nLength = sizeof(attributes_);
        attributes_.lpSecurityDescriptor = descriptor_;
        attributes_.bInheritHandle = FALSE;
    }
    ~OpenToEveryone()
    {
        if (descriptor_)
            LocalFree(descriptor_);
    }
    OpenToEveryone(const OpenToEveryone&) = delete;
    OpenToEveryone& operator=(const OpenToEveryone&) = delete;

    SECURITY_ATTRIBUTES* Attributes() { return descriptor_ ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_ = {};
};

HRESULT MarshalTableStrong(IDispatch* service, ComPtr<IStream>& stream, std::vector<BYTE>& bytes)
{
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (FAILED(hr))
        return hr;
    hr = CoMarshalInterface(stream.Get(), IID_IDispatch, service, MSHCTX_LOCAL, nullptr, MSHLFLAGS_TABLESTRONG);
    if (FAILED(hr))
        return hr;
    ULARGE_INTEGER end = {};
    LARGE_INTEGER zero = {};
    hr = stream->Seek(zero, STREAM_SEEK_CUR, &end);
    if (FAILED(hr))
        return hr;
    HGLOBAL memory = nullptr;
    hr = GetHGlobalFromStream(stream.Get(), &memory);
    if (FAILED(hr))
        return hr;
    const BYTE* data = static_cast<const BYTE*>(GlobalLock(memory));
    if (!data)
        return E_FAIL;
    bytes.assign(data, data + end.QuadPart);
    GlobalUnlock(memory);
    return S_OK;
}

} // namespace

std::wstring GlobalObjectName(const std::wstring& name)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    bool nt5OrLater =
        GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion != 4;
#pragma GCC diagnostic pop
    return nt5OrLater ? L"Global\\" + name : name;
}

HRESULT ServicePublisher::Publish(const std::wstring& name, IDispatch* service, const PublishOptions& options)
{
    if (!service)
        return E_POINTER;
    Withdraw();
    std::vector<BYTE> packet;
    HRESULT hr = MarshalTableStrong(service, marshalData_, packet);
    if (FAILED(hr)) {
        Withdraw();
        return hr;
    }

    OpenToEveryone security;
    const DWORD size = static_cast<DWORD>(packet.size() + sizeof(UINT32));
    auto create = [&](const std::wstring& objectName, UniqueHandle& handle, bool mapping) {
        handle.Reset(mapping ? CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0, size,
                                                  objectName.c_str())
                             : CreateEventW(security.Attributes(), TRUE, FALSE, objectName.c_str()));
        return GetLastError();
    };
    auto createEither = [&](const std::wstring& plain, UniqueHandle& handle, bool mapping, std::wstring& usedName) {
        DWORD error = ERROR_INVALID_HANDLE;
        if (options.tryGlobalNames) {
            usedName = GlobalObjectName(plain);
            error = create(usedName, handle, mapping);
        }
        if (!handle && error != ERROR_ALREADY_EXISTS) {
            usedName = plain;
            error = create(usedName, handle, mapping);
        }
        return error;
    };

    DWORD error = createEither(name, mapping_, true, mappingName_);
    if (mapping_ && error == ERROR_ALREADY_EXISTS) {
        Withdraw();
        return E_UNEXPECTED;
    }
    if (!mapping_) {
        Withdraw();
        return error == ERROR_ALREADY_EXISTS ? E_UNEXPECTED : E_FAIL;
    }
    void* view = MapViewOfFile(mapping_.Get(), FILE_MAP_WRITE, 0, 0, 0);
    if (!view) {
        Withdraw();
        return E_FAIL;
    }
    UINT32 length = static_cast<UINT32>(packet.size());
    CopyMemory(view, &length, sizeof(length));
    CopyMemory(static_cast<BYTE*>(view) + sizeof(length), packet.data(), packet.size());
    UnmapViewOfFile(view);

    createEither(name + L"_readyEvent", ready_, false, readyEventName_);
    if (!ready_) {
        Withdraw();
        return E_FAIL;
    }
    return options.signalReady ? SignalReady() : S_OK;
}

HRESULT ServicePublisher::SignalReady()
{
    if (!ready_)
        return E_UNEXPECTED;
    return SetEvent(ready_.Get()) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

void ServicePublisher::Withdraw()
{
    ready_.Reset();
    mapping_.Reset();
    if (marshalData_) {
        LARGE_INTEGER zero = {};
        if (SUCCEEDED(marshalData_->Seek(zero, STREAM_SEEK_SET, nullptr)))
            CoReleaseMarshalData(marshalData_.Get());
        marshalData_.Reset();
    }
    mappingName_.clear();
    readyEventName_.clear();
}

} // namespace rendezvous_harness
