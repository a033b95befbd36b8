#include "harness/enginerecorder/EngineRecord.h"

#include <algorithm>
#include <cstdio>

#include "platform/com/ComBoundary.h"

using Microsoft::WRL::ComPtr;

namespace vxtest {
namespace {

// The engine's names of the GUIDs it shares with hook modules.
struct KnownGuid
{
    const wchar_t* text;
    const wchar_t* name;
};
// Event kinds first, then the properties in the order a reader wants them.
constexpr KnownGuid kKnownGuids[] = {
    {L"{4B6E1BCE-474C-4C86-8137-913ABE4DB22A}", L"window-message"},
    {L"{3BCAE1AF-C781-4CCE-8F3B-6C7F4352CD3A}", L"key"},
    {L"{1CA72069-0071-42B6-852D-1E6B26A399BA}", L"command"},
    {L"{CEE5A01E-F543-46B6-AC17-D38AD90B64D9}", L"page-loading"},
    {L"{70CE44DF-D5B0-45A2-8944-73B8BBEC9383}", L"keyup"},
    {L"{2DEC587C-98DE-4C76-8936-7F66D1E19BA9}", L"change"},
    {L"{4E48F36E-A8B0-4965-9B33-7FE299512619}", L"kind"},
    {L"{14A822D4-CB21-4DA2-A8C1-713F0FC46C2A}", L"checked"},
    {L"{752CBC39-D936-46AA-A11A-14CC8FE94811}", L"value"},
    {L"{8F97D0D7-01CA-49C7-85E3-503646BEEEDD}", L"option"},
    {L"{7DEBE934-679B-47FC-A4C5-3D727508DBE1}", L"select-key"},
    {L"{23CA5C8E-00BE-4665-A650-D770D64FBA9B}", L"provider"},
    {L"{28120243-97FB-4947-98FD-F741D5D45AF0}", L"loading-tab"},
    {L"{AFAE6489-AD91-405D-B335-DB354BF3F4F5}", L"in-tab"},
    {L"{3B078FC5-4EAD-418C-8B2E-E033F7CCB9B7}", L"tab"},
    {L"{EC65A7C5-089A-4853-995C-9480FD384B08}", L"url"},
    {L"{2395C5B1-CE9F-42B1-B102-52ECBFE7404C}", L"described"},
    {L"{FC3156AD-1721-42B6-9356-A8FD658D2154}", L"tab-object"},
    {L"{9BD8E0C4-E444-4131-9C61-CD0284DC760E}", L"tab-description"},
};

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring NameOf(const GUID& guid)
{
    const std::wstring text = GuidText(guid);
    for (const KnownGuid& known : kKnownGuids)
        if (_wcsicmp(known.text, text.c_str()) == 0)
            return known.name;
    return text;
}

std::wstring ValueText(const VARIANT& value)
{
    switch (V_VT(&value)) {
    case VT_EMPTY:
        return L"(empty)";
    case VT_BOOL:
        return V_BOOL(&value) ? L"true" : L"false";
    case VT_I4:
        return std::to_wstring(V_I4(&value));
    case VT_BSTR:
        return L"\"" + std::wstring(V_BSTR(&value) ? V_BSTR(&value) : L"", SysStringLen(V_BSTR(&value))) + L"\"";
    default: {
        VARIANT text;
        VariantInit(&text);
        std::wstring result = L"(type " + std::to_wstring(V_VT(&value)) + L")";
        if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR)))
            result = std::wstring(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
        VariantClear(&text);
        return result;
    }
    }
}

} // namespace

STDMETHODIMP CEngineEventRecord::GetEventGuid(GUID* eventGuid) noexcept
try {
    if (!eventGuid)
        return E_POINTER;
    *eventGuid = eventGuid_;
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineEventRecord::GetTargetObject(IDispatch** target) noexcept
try {
    if (!target)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    *target = target_.Get();
    if (*target)
        (*target)->AddRef();
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineEventRecord::SetTargetObject(IDispatch* target) noexcept
try {
    std::lock_guard<std::mutex> guard(lock_);
    target_ = target;
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineEventRecord::HasProperty(const GUID* key) noexcept
try {
    if (!key)
        return E_POINTER;
    return Has(*key) ? S_OK : S_FALSE;
}
VX_COM_CATCH

STDMETHODIMP CEngineEventRecord::GetProperty(const GUID* key, VARIANT* value) noexcept
try {
    if (!key || !value)
        return E_POINTER;
    VariantInit(value);
    std::lock_guard<std::mutex> guard(lock_);
    auto it = values_.find(*key);
    if (it == values_.end())
        return E_INVALIDARG;
    return VariantCopy(value, const_cast<VARIANT*>(it->second.Get()));
}
VX_COM_CATCH

STDMETHODIMP CEngineEventRecord::GetRawProperty(const GUID* key, ULONG size, BYTE* buffer) noexcept
try {
    if (!key || !buffer)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    auto it = raw_.find(*key);
    if (it == raw_.end() || it->second.size() != size)
        return E_INVALIDARG;
    memcpy(buffer, it->second.data(), size);
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineEventRecord::SetProperty(const GUID* key, VARIANT value) noexcept
try {
    if (!key)
        return E_POINTER;
    vx::com::Variant copy;
    HRESULT hr = copy.CopyFrom(value);
    if (FAILED(hr))
        return hr;
    std::lock_guard<std::mutex> guard(lock_);
    values_[*key] = std::move(copy);
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineEventRecord::SetRawProperty(const GUID* key, ULONG size, const BYTE* buffer) noexcept
try {
    if (!key || (!buffer && size))
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    raw_[*key].assign(buffer, buffer + size);
    return S_OK;
}
VX_COM_CATCH

bool CEngineEventRecord::Has(const GUID& key)
{
    std::lock_guard<std::mutex> guard(lock_);
    return values_.count(key) != 0 || raw_.count(key) != 0;
}

vx::com::Variant CEngineEventRecord::Value(const GUID& key)
{
    vx::com::Variant copy;
    std::lock_guard<std::mutex> guard(lock_);
    auto it = values_.find(key);
    if (it != values_.end())
        copy.CopyFrom(*it->second);
    return copy;
}

std::vector<BYTE> CEngineEventRecord::Raw(const GUID& key)
{
    std::lock_guard<std::mutex> guard(lock_);
    auto it = raw_.find(key);
    return it == raw_.end() ? std::vector<BYTE>() : it->second;
}

ComPtr<IDispatch> CEngineEventRecord::Target()
{
    std::lock_guard<std::mutex> guard(lock_);
    return target_;
}

ComPtr<IDispatch> CEngineEventRecord::EventObject()
{
    std::lock_guard<std::mutex> guard(lock_);
    return eventObject_;
}

void CEngineEventRecord::SetEventObject(IDispatch* object)
{
    std::lock_guard<std::mutex> guard(lock_);
    eventObject_ = object;
}

ComPtr<IUnknown> CEngineEventRecord::Source()
{
    std::lock_guard<std::mutex> guard(lock_);
    return source_;
}

void CEngineEventRecord::SetSource(IUnknown* source)
{
    std::lock_guard<std::mutex> guard(lock_);
    source_ = source;
}

std::wstring CEngineEventRecord::Describe()
{
    std::wstring line = NameOf(eventGuid_);
    std::lock_guard<std::mutex> guard(lock_);
    auto describe = [&](const GUID& key) {
        auto value = values_.find(key);
        if (value != values_.end())
            line += L" " + NameOf(key) + L"=" + ValueText(*value->second);
        auto raw = raw_.find(key);
        if (raw == raw_.end() || IsEqualGUID(key, eventGuid_))
            return; // the event's own payload is not shown
        line += L" " + NameOf(key) + L"=";
        for (BYTE b : raw->second) {
            wchar_t hex[3] = {};
            swprintf(hex, 3, L"%02x", b);
            line += hex;
        }
    };
    std::vector<GUID> keys;
    for (const KnownGuid& known : kKnownGuids) {
        GUID key = {};
        if (SUCCEEDED(CLSIDFromString(known.text, &key)))
            keys.push_back(key);
    }
    auto known = [&](const GUID& key) {
        return std::any_of(keys.begin(), keys.end(), [&](const GUID& k) { return IsEqualGUID(k, key) != FALSE; });
    };
    for (const auto& [key, value] : values_)
        if (!known(key))
            keys.push_back(key);
    for (const auto& [key, bytes] : raw_)
        if (!known(key))
            keys.push_back(key);
    for (const GUID& key : keys)
        describe(key);
    return line;
}

} // namespace vxtest
