#include "services/HookTabInstance.h"

#include "platform/process/ProcessOptions.h"
#include "openapphook/DispHelper.h"
#include "openapphook/InvokeException.h"
#include "platform/com/ComBoundary.h"
#include "services/HookTab.h"
#include "services/RecordUrlMask.h"

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::CriticalSectionLock;

namespace {

constexpr wchar_t kPageObjectType[] = L"Page";

HRESULT CopyOut(const BStr& text, BSTR* out)
{
    *out = SysAllocStringLen(text.Get(), text.Length());
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace

HRESULT CCrHookTabInstance::Initialize(CCrHookTab* tab, vxOpenAppHook::CStubManager* stubManager)
{
    if (!tab)
        return E_POINTER;
    {
        CriticalSectionLock guard(objectLock_);
        tab_ = tab;
    }
    if (stubManager && !registration_.IsRegistered())
        return registration_.Register(stubManager, this);
    return S_OK;
}

void CCrHookTabInstance::DetachTab()
{
    ComPtr<CCrHookTab> released;
    CriticalSectionLock guard(objectLock_);
    released.Swap(tab_);
}

CCrHookTabInstance::~CCrHookTabInstance() = default;

HRESULT CCrHookTabInstance::Tab(ComPtr<CCrHookTab>& tab)
{
    {
        CriticalSectionLock guard(objectLock_);
        tab = tab_;
    }
    if (tab && tab->IsAlive())
        return S_OK;
    tab.Reset();
    return vxOpenAppHook::ReportInvokeException(vxOpenAppHook::CvxInvokeException(
        vxOpenAppHook::CvxInvokeException::LevelError, L"The page is no longer available.",
        L"The browser tab that showed this page has been closed."));
}

STDMETHODIMP CCrHookTabInstance::get_ObjectType(BSTR* Value) noexcept
try {
    if (!Value)
        return E_POINTER;
    *Value = SysAllocString(kPageObjectType);
    return *Value ? S_OK : E_OUTOFMEMORY;
}
VX_COM_CATCH

STDMETHODIMP CCrHookTabInstance::get_ObjectIdentifier(VARIANT* Value) noexcept
try {
    if (!Value)
        return E_POINTER;
    VariantInit(Value);
    BSTR url = nullptr;
    HRESULT hr = get_URL(&url);
    if (FAILED(hr))
        return hr;
    V_VT(Value) = VT_BSTR;
    V_BSTR(Value) = url;
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CCrHookTabInstance::get_ObjectGroupIndex(VARIANT* Value) noexcept
try {
    if (!Value)
        return E_POINTER;
    VariantInit(Value);
    ComPtr<CCrHookTab> tab;
    HRESULT hr = Tab(tab);
    if (FAILED(hr))
        return hr;
    V_VT(Value) = VT_I4;
    V_I4(Value) = tab->GroupIndex();
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CCrHookTabInstance::get_URL(BSTR* Value) noexcept
try {
    if (!Value)
        return E_POINTER;
    *Value = nullptr;
    ComPtr<CCrHookTab> tab;
    HRESULT hr = Tab(tab);
    if (FAILED(hr))
        return hr;
    return CopyOut(tab->Url(), Value);
}
VX_COM_CATCH

STDMETHODIMP CCrHookTabInstance::Wait(BSTR* Value) noexcept
try {
    if (!Value)
        return E_POINTER;
    *Value = nullptr;
    ComPtr<CCrHookTab> tab;
    HRESULT hr = Tab(tab);
    if (FAILED(hr))
        return hr;
    BStr url;
    hr = tab->WaitForLoad(url);
    if (FAILED(hr))
        return hr;
    return CopyOut(url, Value);
}
VX_COM_CATCH

STDMETHODIMP CCrHookTabInstance::NavigateTo(BSTR URL) noexcept
try {
    ComPtr<CCrHookTab> tab;
    HRESULT hr = Tab(tab);
    if (FAILED(hr))
        return hr;
    return tab->Navigate(URL);
}
VX_COM_CATCH

STDMETHODIMP CCrHookTabInstance::get_contentDocument(VARIANT* Value) noexcept
try {
    if (!Value)
        return E_POINTER;
    VariantInit(Value);
    ComPtr<CCrHookTab> tab;
    HRESULT hr = Tab(tab);
    if (FAILED(hr))
        return hr;
    ComPtr<IDispatch> script;
    hr = tab->GetPageScriptObject(script);
    if (FAILED(hr))
        return hr;
    if (!script) {
        V_VT(Value) = VT_DISPATCH;
        V_DISPATCH(Value) = nullptr;
        return S_OK;
    }
    return vxOpenAppHook::CvxDispHelper(script.Get()).GetProperty(L"document", Value);
}
VX_COM_CATCH

STDMETHODIMP CCrHookTabInstance::get_RecordURL(BSTR* Value) noexcept
try {
    if (!Value)
        return E_POINTER;
    *Value = nullptr;
    ComPtr<CCrHookTab> tab;
    HRESULT hr = Tab(tab);
    if (FAILED(hr))
        return hr;
    BStr url = tab->Url();
    // The parameter list is read from the store now, so a change made by the
    // host applies to the next recorded URL.
    const ProcessOptionValues options = ProcessOptions().Snapshot();
    if (!options.maskRecordedUrls)
        return CopyOut(url, Value);
    const std::wstring masked = MaskRecordedUrl(url.Str(), options.maskedUrlParameters);
    *Value = SysAllocStringLen(masked.data(), static_cast<UINT>(masked.size()));
    return *Value ? S_OK : E_OUTOFMEMORY;
}
VX_COM_CATCH
