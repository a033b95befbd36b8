#include "harness/host/TestHost.h"

#include <objbase.h>

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

namespace harness {
namespace {
// {D4DF5349-664F-4E28-8EB8-C3A9D148D899}
const IID MessageServiceId = {0xD4DF5349, 0x664F, 0x4E28, {0x8E, 0xB8, 0xC3, 0xA9, 0xD1, 0x48, 0xD8, 0x99}};

std::wstring FromBstr(BSTR s)
{
    return s ? std::wstring(s, SysStringLen(s)) : std::wstring();
}
} // namespace

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

HRESULT TestModuleRegistry::GetModuleCount(LONG* count)
{
    if (!count)
        return E_POINTER;
    CriticalSectionLock guard(objectLock_);
    *count = static_cast<LONG>(registered_.size());
    return S_OK;
}

VARIANT_BOOL TestModuleRegistry::RegisterModule(IUnknown* module)
{
    CriticalSectionLock guard(objectLock_);
    ++registerCalls_;
    if (refuseAt_ != 0 && --refuseAt_ == 0)
        return VARIANT_FALSE;
    ComPtr<IvxModule> hookModule;
    if (!module || FAILED(module->QueryInterface(IID_PPV_ARGS(&hookModule))))
        return VARIANT_FALSE;
    RegisteredModule entry;
    if (FAILED(hookModule->GetModuleGuid(&entry.guid)))
        return VARIANT_FALSE;
    entry.module = module;
    registered_.push_back(std::move(entry));
    return VARIANT_TRUE;
}

HRESULT TestModuleRegistry::UnregisterModule(const GUID* moduleGuid)
{
    if (!moduleGuid)
        return E_POINTER;
    ComPtr<IUnknown> released;
    CriticalSectionLock guard(objectLock_);
    unregistered_.push_back(*moduleGuid);
    for (auto it = registered_.begin(); it != registered_.end(); ++it) {
        if (IsEqualGUID(it->guid, *moduleGuid)) {
            released = std::move(it->module);
            registered_.erase(it);
            return S_OK;
        }
    }
    return S_FALSE;
}

void TestModuleRegistry::RefuseRegistration(int n)
{
    CriticalSectionLock guard(objectLock_);
    refuseAt_ = n;
}

std::vector<RegisteredModule> TestModuleRegistry::Registered()
{
    CriticalSectionLock guard(objectLock_);
    return registered_;
}

std::vector<GUID> TestModuleRegistry::Unregistered()
{
    CriticalSectionLock guard(objectLock_);
    return unregistered_;
}

int TestModuleRegistry::RegisterCalls()
{
    CriticalSectionLock guard(objectLock_);
    return registerCalls_;
}

HRESULT TestHostMessages::ShowMessage(BSTR messageId, LONG_PTR window, LONG reserved, BSTR caption, BSTR text,
                                      ULONG helpContext, SHORT reserved2)
{
    CriticalSectionLock guard(objectLock_);
    shown_.push_back(
        {FromBstr(messageId), window, reserved, FromBstr(caption), FromBstr(text), helpContext, reserved2});
    return S_OK;
}

std::vector<ShownMessage> TestHostMessages::Shown()
{
    CriticalSectionLock guard(objectLock_);
    return shown_;
}

HRESULT TestHookHost::FinalConstruct()
{
    HRESULT hr = ComObject::FinalConstruct();
    if (SUCCEEDED(hr))
        hr = vx::com::CreateComObject(registry_);
    if (SUCCEEDED(hr))
        hr = vx::com::CreateComObject(messages_);
    return hr;
}

HRESULT TestHookHost::GetModuleRegistry(IUnknown** registry)
{
    if (!registry)
        return E_POINTER;
    *registry = nullptr;
    if (brokenRegistry_) {
        ComPtr<NotAMessageService> other;
        HRESULT hr = vx::com::CreateComObject(other);
        if (SUCCEEDED(hr))
            *registry = ComPtr<IUnknown>(other->Identity()).Detach();
        return hr;
    }
    *registry = ComPtr<IUnknown>(registry_->Identity()).Detach();
    return S_OK;
}

VARIANT_BOOL TestHookHost::GetHostService(const IID* service, IUnknown** result)
{
    if (!result)
        return VARIANT_FALSE;
    *result = nullptr;
    if (!service || !IsEqualIID(*service, MessageServiceId) || messageMode_ == MessageServiceMode::NotOffered)
        return VARIANT_FALSE;
    if (messageMode_ == MessageServiceMode::WithoutInterface) {
        ComPtr<NotAMessageService> other;
        if (FAILED(vx::com::CreateComObject(other)))
            return VARIANT_FALSE;
        *result = ComPtr<IUnknown>(other->Identity()).Detach();
        return VARIANT_TRUE;
    }
    *result = ComPtr<IUnknown>(messages_->Identity()).Detach();
    return VARIANT_TRUE;
}

std::wstring DefaultLibraryPath()
{
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir = exe;
    dir = dir.substr(0, dir.find_last_of(L'\\'));
    dir = dir.substr(0, dir.find_last_of(L'\\'));
    return dir + L"\\layout\\vxCrHook.dll";
}

} // namespace harness
