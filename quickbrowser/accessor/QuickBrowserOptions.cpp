#include "quickbrowser/accessor/QuickBrowserOptions.h"

#include "platform/process/ProcessOptions.h"
#include "platform/com/Variant.h"

namespace {

HRESULT ToBool(const VARIANT& value, bool& out)
{
    vx::com::Variant converted;
    HRESULT hr = VariantChangeType(converted.Get(), const_cast<VARIANT*>(&value), 0, VT_BOOL);
    if (SUCCEEDED(hr))
        out = V_BOOL(converted.Get()) != VARIANT_FALSE;
    return hr;
}

// The list travels as one string with a line feed between items.
std::vector<std::wstring> SplitLines(const wchar_t* text, UINT length)
{
    std::vector<std::wstring> items;
    std::wstring current;
    for (UINT i = 0; i < length; ++i) {
        if (text[i] == L'\n') {
            if (!current.empty())
                items.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(text[i]);
        }
    }
    if (!current.empty())
        items.push_back(std::move(current));
    return items;
}

} // namespace

HRESULT CCrQuickBrowserOptions::UpdateOption(const wchar_t* key, const VARIANT& value)
{
    GUID id;
    if (!key || FAILED(CLSIDFromString(const_cast<LPOLESTR>(key), &id)))
        return S_OK;

    vx::com::CriticalSectionLock hold(lock_);
    if (IsEqualGUID(id, ProcessOptionKeys::RendererCallTimeout)) {
        vx::com::Variant converted;
        HRESULT hr = VariantChangeType(converted.Get(), const_cast<VARIANT*>(&value), 0, VT_UI4);
        if (SUCCEEDED(hr))
            rendererCallTimeout_ = V_UI4(converted.Get());
        return hr;
    }
    if (IsEqualGUID(id, ProcessOptionKeys::ObjectModel)) {
        vx::com::Variant converted;
        HRESULT hr = VariantChangeType(converted.Get(), const_cast<VARIANT*>(&value), 0, VT_I4);
        if (FAILED(hr))
            return hr;
        LONG model = V_I4(converted.Get());
        if (model < 0 || model > 3)
            return E_UNEXPECTED;
        objectModel_ = model;
        return S_OK;
    }
    if (IsEqualGUID(id, ProcessOptionKeys::PreferName))
        return ToBool(value, preferName_);
    if (IsEqualGUID(id, ProcessOptionKeys::BrowserSideFlag))
        return ToBool(value, browserSideFlag_);
    if (IsEqualGUID(id, ProcessOptionKeys::MaskRecordedUrls))
        return ToBool(value, maskRecordedUrls_);
    if (IsEqualGUID(id, ProcessOptionKeys::MaskedUrlParameters)) {
        vx::com::Variant converted;
        HRESULT hr = VariantChangeType(converted.Get(), const_cast<VARIANT*>(&value), 0, VT_BSTR);
        if (FAILED(hr))
            return hr;
        BSTR text = V_BSTR(converted.Get());
        maskedUrlParameters_ = SplitLines(text ? text : L"", text ? SysStringLen(text) : 0);
        return S_OK;
    }
    return S_OK;
}

ULONG CCrQuickBrowserOptions::RendererCallTimeout() const
{
    vx::com::CriticalSectionLock hold(lock_);
    return rendererCallTimeout_;
}

LONG CCrQuickBrowserOptions::ObjectModel() const
{
    vx::com::CriticalSectionLock hold(lock_);
    return objectModel_;
}

bool CCrQuickBrowserOptions::PreferName() const
{
    vx::com::CriticalSectionLock hold(lock_);
    return preferName_;
}

bool CCrQuickBrowserOptions::BrowserSideFlag() const
{
    vx::com::CriticalSectionLock hold(lock_);
    return browserSideFlag_;
}

bool CCrQuickBrowserOptions::MaskRecordedUrls() const
{
    vx::com::CriticalSectionLock hold(lock_);
    return maskRecordedUrls_;
}

std::vector<std::wstring> CCrQuickBrowserOptions::MaskedUrlParameters() const
{
    vx::com::CriticalSectionLock hold(lock_);
    return maskedUrlParameters_;
}
