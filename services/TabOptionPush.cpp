#include "services/TabOptionPush.h"

#include <objbase.h>

#include <string>

using vx::com::BStr;

const std::vector<GUID>& RendererOptionKeys()
{
    static const std::vector<GUID> keys = {ProcessOptionKeys::RendererCallTimeout, ProcessOptionKeys::ObjectModel,
                                           ProcessOptionKeys::PreferName, ProcessOptionKeys::MaskRecordedUrls,
                                           ProcessOptionKeys::MaskedUrlParameters};
    return keys;
}

BStr OptionKeyString(const GUID& key)
{
    wchar_t text[40] = {};
    if (StringFromGUID2(key, text, 40) == 0)
        return BStr();
    return BStr(text);
}

HRESULT MakeRendererOptionValue(const GUID& key, const ProcessOptionValues& values, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    if (IsEqualGUID(key, ProcessOptionKeys::RendererCallTimeout)) {
        V_VT(value) = VT_UI4;
        V_UI4(value) = values.rendererCallTimeout;
    } else if (IsEqualGUID(key, ProcessOptionKeys::ObjectModel)) {
        V_VT(value) = VT_I4;
        V_I4(value) = values.objectModel;
    } else if (IsEqualGUID(key, ProcessOptionKeys::PreferName)) {
        V_VT(value) = VT_BOOL;
        V_BOOL(value) = values.preferName ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (IsEqualGUID(key, ProcessOptionKeys::MaskRecordedUrls)) {
        V_VT(value) = VT_BOOL;
        V_BOOL(value) = values.maskRecordedUrls ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (IsEqualGUID(key, ProcessOptionKeys::MaskedUrlParameters)) {
        std::wstring joined;
        for (const std::wstring& item : values.maskedUrlParameters) {
            if (item.empty())
                continue;
            if (!joined.empty())
                joined += L'\n';
            joined += item;
        }
        BSTR text = SysAllocStringLen(joined.data(), static_cast<UINT>(joined.size()));
        if (!text)
            return E_OUTOFMEMORY;
        V_VT(value) = VT_BSTR;
        V_BSTR(value) = text;
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

std::vector<GUID> ChangedRendererOptionKeys(const ProcessOptionValues& before, const ProcessOptionValues& after)
{
    std::vector<GUID> changed;
    if (before.rendererCallTimeout != after.rendererCallTimeout)
        changed.push_back(ProcessOptionKeys::RendererCallTimeout);
    if (before.objectModel != after.objectModel)
        changed.push_back(ProcessOptionKeys::ObjectModel);
    if (before.preferName != after.preferName)
        changed.push_back(ProcessOptionKeys::PreferName);
    if (before.maskRecordedUrls != after.maskRecordedUrls)
        changed.push_back(ProcessOptionKeys::MaskRecordedUrls);
    if (before.maskedUrlParameters != after.maskedUrlParameters)
        changed.push_back(ProcessOptionKeys::MaskedUrlParameters);
    return changed;
}
