#include "platform/process/ProcessOptions.h"

#include "platform/process/WindowThreadTimeout.h"
#include "platform/com/Variant.h"

namespace ProcessOptionKeys {
const GUID RendererCallTimeout = {0xFB1CAF99, 0x7FA6, 0x447C, {0xB9, 0x63, 0xD8, 0x62, 0xCA, 0x8B, 0xFF, 0x89}};
const GUID ObjectModel = {0x66F235D3, 0x108D, 0x4961, {0xA9, 0x23, 0x03, 0x33, 0x35, 0x75, 0xE4, 0x0E}};
const GUID PreferName = {0x864E3A4C, 0xB68F, 0x4D37, {0x84, 0xA9, 0x3D, 0xA5, 0x43, 0xAE, 0x07, 0xD4}};
const GUID BrowserSideFlag = {0x514928DF, 0x4020, 0x463C, {0x97, 0x96, 0xEF, 0x23, 0x6D, 0x78, 0x31, 0xC5}};
const GUID MaskRecordedUrls = {0xBC2725AB, 0xC90D, 0x4761, {0xBE, 0xB2, 0xAB, 0xAC, 0xE3, 0x0F, 0xE5, 0x54}};
const GUID MaskedUrlParameters = {0x33C0A94E, 0x7F58, 0x493C, {0xBC, 0xCC, 0x91, 0x68, 0x53, 0x52, 0xF9, 0xB4}};
} // namespace ProcessOptionKeys

namespace {

using vx::com::CriticalSectionLock;
using vx::com::Variant;

HRESULT ConvertTo(const VARIANT& value, VARTYPE type, Variant& converted)
{
    return VariantChangeType(converted.Out(), const_cast<VARIANT*>(&value), 0, type);
}

HRESULT ToBool(const VARIANT& value, bool& result)
{
    Variant converted;
    HRESULT hr = ConvertTo(value, VT_BOOL, converted);
    if (FAILED(hr))
        return hr;
    result = V_BOOL(converted.Get()) != VARIANT_FALSE;
    return S_OK;
}

// Splits at line feeds, drops empty pieces, and returns them last to first.
std::vector<std::wstring> SplitParametersReversed(const wchar_t* text, UINT length)
{
    std::vector<std::wstring> pieces;
    UINT start = 0;
    for (UINT i = 0; i <= length; ++i) {
        if (i == length || text[i] == L'\n') {
            if (i > start)
                pieces.emplace_back(text + start, i - start);
            start = i + 1;
        }
    }
    return {pieces.rbegin(), pieces.rend()};
}

bool SameStrings(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        // Same comparison as VarBstrCmp with no flags: exact, length-aware.
        if (a[i] != b[i])
            return false;
    }
    return true;
}

template <class T>
void StoreIfChanged(T& stored, const T& incoming, bool& changed)
{
    changed = !(stored == incoming);
    if (changed)
        stored = incoming;
}

} // namespace

HRESULT ProcessOptionsStore::SetOption(const GUID& key, const VARIANT& value, bool& changed)
{
    changed = false;
    if (IsEqualGUID(key, ProcessOptionKeys::RendererCallTimeout)) {
        Variant converted;
        HRESULT hr = ConvertTo(value, VT_UI4, converted);
        if (FAILED(hr))
            return hr;
        DWORD timeout = V_UI4(converted.Get());
        CriticalSectionLock guard(lock_);
        StoreIfChanged(values_.rendererCallTimeout, timeout, changed);
        ovComHelp_EXP::SetWindowThreadCallTimeout(timeout);
        return S_OK;
    }
    if (IsEqualGUID(key, ProcessOptionKeys::ObjectModel)) {
        Variant converted;
        HRESULT hr = ConvertTo(value, VT_I4, converted);
        if (FAILED(hr))
            return hr;
        LONG model = V_I4(converted.Get());
        if (model < 0 || model > 3)
            return E_UNEXPECTED;
        CriticalSectionLock guard(lock_);
        StoreIfChanged(values_.objectModel, model, changed);
        return S_OK;
    }
    bool* flag = nullptr;
    if (IsEqualGUID(key, ProcessOptionKeys::PreferName))
        flag = &values_.preferName;
    else if (IsEqualGUID(key, ProcessOptionKeys::BrowserSideFlag))
        flag = &values_.browserSideFlag;
    else if (IsEqualGUID(key, ProcessOptionKeys::MaskRecordedUrls))
        flag = &values_.maskRecordedUrls;
    if (flag) {
        bool incoming = false;
        HRESULT hr = ToBool(value, incoming);
        if (FAILED(hr))
            return hr;
        CriticalSectionLock guard(lock_);
        StoreIfChanged(*flag, incoming, changed);
        return S_OK;
    }
    if (IsEqualGUID(key, ProcessOptionKeys::MaskedUrlParameters)) {
        if (V_VT(&value) != VT_BSTR)
            return E_UNEXPECTED;
        BSTR text = V_BSTR(&value);
        std::vector<std::wstring> incoming = SplitParametersReversed(text, SysStringLen(text));
        CriticalSectionLock guard(lock_);
        changed = !SameStrings(values_.maskedUrlParameters, incoming);
        if (changed)
            values_.maskedUrlParameters = std::move(incoming);
        return S_OK;
    }
    return S_OK;
}

ProcessOptionValues ProcessOptionsStore::Snapshot() const
{
    CriticalSectionLock guard(lock_);
    return values_;
}

DWORD ProcessOptionsStore::RendererCallTimeout() const
{
    CriticalSectionLock guard(lock_);
    return values_.rendererCallTimeout;
}

LONG ProcessOptionsStore::ObjectModel() const
{
    CriticalSectionLock guard(lock_);
    return values_.objectModel;
}

void ProcessOptionsStore::SetRecording(bool recording)
{
    CriticalSectionLock guard(lock_);
    values_.recording = recording;
}

bool ProcessOptionsStore::Recording() const
{
    CriticalSectionLock guard(lock_);
    return values_.recording;
}

void ProcessOptionsStore::Reset()
{
    CriticalSectionLock guard(lock_);
    values_ = ProcessOptionValues();
}

ProcessOptionsStore& ProcessOptions()
{
    // Created on first use; destroyed with the library's static objects.
    static ProcessOptionsStore store;
    return store;
}
