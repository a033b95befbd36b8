#include "openapphook/DispatchMixer.h"

#include "openapphook/ExceptionGuard.h"
#include "openapphook/PropertyValues.h"
#include "platform/com/ComBoundary.h"

namespace vxOpenAppHook {

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

namespace {

constexpr wchar_t InvokeOperationId[] = L"23B5CF90-9840-4aa8-A39C-1C32479C2766";
constexpr wchar_t GetPropertyValuesOperationId[] = L"25BD9312-4E1A-4ad8-90A6-6A62CAD71C5B}";

// {0000001B-0000-0000-C000-000000000046}: a system marshalling interface that
// must come from the mixer itself, like the three named ones.
constexpr IID IID_SystemMarshalling1B = {0x0000001B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

bool IsMarshallingInterface(REFIID riid)
{
    return IsEqualIID(riid, IID_IMarshal) || IsEqualIID(riid, IID_IStdMarshalInfo) ||
           IsEqualIID(riid, IID_IExternalConnection) || IsEqualIID(riid, IID_SystemMarshalling1B);
}

// Answers that mean "not this object, ask the next one".
bool IsRefusal(HRESULT hr)
{
    return hr == DISP_E_MEMBERNOTFOUND || hr == E_ACCESSDENIED || hr == E_FAIL || hr == E_NOTIMPL;
}

// The cache key of a member name: case-insensitive. Lower-casing the wide
// text directly keeps names that have no ANSI form distinct.
std::wstring NameKey(const wchar_t* name)
{
    std::wstring key = name ? name : L"";
    if (!key.empty())
        CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

} // namespace

// ---------------------------------------------------------------- serialised IDispatch

STDMETHODIMP CMultiThreadDispatchImpl::QueryInterface(REFIID riid, void** ppv) noexcept
try {
    return outer_.QueryInterface(riid, ppv);
}
VX_COM_CATCH

STDMETHODIMP_(ULONG) CMultiThreadDispatchImpl::AddRef() noexcept
{
    return outer_.AddRef();
}

STDMETHODIMP_(ULONG) CMultiThreadDispatchImpl::Release() noexcept
{
    return outer_.Release();
}

STDMETHODIMP CMultiThreadDispatchImpl::GetTypeInfoCount(UINT* count) noexcept
try {
    CriticalSectionLock guard(lock_);
    return static_cast<IDispatch2&>(outer_).GetTypeInfoCount(count);
}
VX_COM_CATCH

STDMETHODIMP CMultiThreadDispatchImpl::GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) noexcept
try {
    CriticalSectionLock guard(lock_);
    return static_cast<IDispatch2&>(outer_).GetTypeInfo(index, locale, typeInfo);
}
VX_COM_CATCH

STDMETHODIMP CMultiThreadDispatchImpl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT nameCount, LCID locale,
                                                     DISPID* dispIds) noexcept
try {
    CriticalSectionLock guard(lock_);
    return static_cast<IDispatch2&>(outer_).GetIDsOfNames(riid, names, nameCount, locale, dispIds);
}
VX_COM_CATCH

STDMETHODIMP CMultiThreadDispatchImpl::Invoke(DISPID dispId, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                              VARIANT* result, EXCEPINFO* exceptionInfo, UINT* argumentError) noexcept
try {
    CriticalSectionLock guard(lock_);
    return static_cast<IDispatch2&>(outer_).Invoke(dispId, riid, locale, flags, params, result, exceptionInfo,
                                                   argumentError);
}
VX_COM_CATCH

// ---------------------------------------------------------------- mixer

HRESULT CCustomDispatchMixer::Create(IStubManager* owner, bool blindDelegation, ComPtr<CCustomDispatchMixer>& mixer)
{
    ComPtr<CCustomDispatchMixer> created;
    HRESULT hr = vx::com::CreateComObject(created);
    if (FAILED(hr))
        return hr;
    hr = created->Initialize(owner, blindDelegation);
    if (FAILED(hr))
        return hr;
    mixer = std::move(created);
    return S_OK;
}

HRESULT CCustomDispatchMixer::Initialize(IStubManager* owner, bool blindDelegation)
{
    if (!owner)
        return E_POINTER;
    blindDelegation_ = blindDelegation;
    return registration_.Register(owner, this);
}

CCustomDispatchMixer::~CCustomDispatchMixer() = default;

HRESULT CCustomDispatchMixer::AddDispatch(IDispatch* object)
{
    CriticalSectionLock guard(objectLock_);
    mixed_.emplace_back(object);
    return S_OK;
}

void* CCustomDispatchMixer::QueryExtraInterface(REFIID riid)
{
    if (IsEqualIID(riid, IID_IDispatch))
        return static_cast<IDispatch*>(&serialisedDispatch_);
    return nullptr;
}

STDMETHODIMP CCustomDispatchMixer::QueryInterface(REFIID riid, void** ppv) noexcept
try {
    // Own interfaces, the serialised IDispatch and the free-threaded
    // marshaler first; anything else may come from a mixed object.
    HRESULT hr = ComObject::QueryInterface(riid, ppv);
    if (hr != E_NOINTERFACE)
        return hr;
    return BlindQueryInterface(riid, ppv);
}
VX_COM_CATCH

HRESULT CCustomDispatchMixer::BlindQueryInterface(REFIID riid, void** ppv)
{
    if (!blindDelegation_ || IsMarshallingInterface(riid))
        return E_NOINTERFACE;
    for (const ComPtr<IDispatch>& object : MixedSnapshot()) {
        if (object && object->QueryInterface(riid, ppv) == S_OK)
            return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

std::vector<ComPtr<IDispatch>> CCustomDispatchMixer::MixedSnapshot()
{
    CriticalSectionLock guard(objectLock_);
    return mixed_;
}

void CCustomDispatchMixer::CollectTypeInfos()
{
    {
        CriticalSectionLock guard(objectLock_);
        if (typeInfosCollected_)
            return;
    }
    std::vector<ComPtr<ITypeInfo>> collected;
    for (const ComPtr<IDispatch>& object : MixedSnapshot()) {
        if (!object)
            continue;
        UINT count = 0;
        if (FAILED(object->GetTypeInfoCount(&count)))
            continue;
        for (UINT i = 0; i < count; ++i) {
            ComPtr<ITypeInfo> typeInfo;
            if (SUCCEEDED(object->GetTypeInfo(i, 0, &typeInfo)) && typeInfo)
                collected.push_back(std::move(typeInfo));
        }
    }
    CriticalSectionLock guard(objectLock_);
    // A collection made by a concurrent caller that finished first wins.
    if (!typeInfosCollected_) {
        typeInfos_ = std::move(collected);
        typeInfosCollected_ = true;
    }
}

STDMETHODIMP CCustomDispatchMixer::GetTypeInfoCount(UINT* count) noexcept
try {
    if (!count)
        return E_INVALIDARG;
    CollectTypeInfos();
    CriticalSectionLock guard(objectLock_);
    *count = static_cast<UINT>(typeInfos_.size());
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CCustomDispatchMixer::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) noexcept
try {
    if (!typeInfo)
        return E_INVALIDARG;
    *typeInfo = nullptr;
    CollectTypeInfos();
    CriticalSectionLock guard(objectLock_);
    if (index >= typeInfos_.size())
        return E_INVALIDARG;
    return typeInfos_[index].CopyTo(typeInfo);
}
VX_COM_CATCH

STDMETHODIMP CCustomDispatchMixer::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT nameCount, LCID locale,
                                                 DISPID* dispIds) noexcept
try {
    if (!names || !dispIds || nameCount > 1)
        return E_INVALIDARG;
    if (nameCount == 0)
        return S_OK;
    *dispIds = DISPID_UNKNOWN;
    const std::wstring key = NameKey(names[0]);
    {
        CriticalSectionLock guard(objectLock_);
        auto cached = nameCache_.find(key);
        if (cached != nameCache_.end()) {
            *dispIds = cached->second;
            return S_OK;
        }
    }
    const std::vector<ComPtr<IDispatch>> mixed = MixedSnapshot();
    for (size_t index = 0; index < mixed.size(); ++index) {
        if (!mixed[index])
            continue;
        if (SUCCEEDED(mixed[index]->GetIDsOfNames(riid, names, nameCount, locale, dispIds))) {
            CriticalSectionLock guard(objectLock_);
            nameCache_.emplace(key, *dispIds);
            routeCache_.emplace(*dispIds, index);
            return S_OK;
        }
    }
    *dispIds = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}
VX_COM_CATCH

HRESULT CCustomDispatchMixer::InvokeMixed(IDispatch* object, DISPID dispId, REFIID riid, LCID locale, WORD flags,
                                          DISPPARAMS* params, VARIANT* result, EXCEPINFO* exceptionInfo,
                                          UINT* argumentError)
{
    return RunGuarded(InvokeOperationId, [&]() -> HRESULT {
        return object->Invoke(dispId, riid, locale, flags, params, result, exceptionInfo, argumentError);
    });
}

STDMETHODIMP CCustomDispatchMixer::Invoke(DISPID dispId, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                          VARIANT* result, EXCEPINFO* exceptionInfo, UINT* argumentError) noexcept
try {
    ComPtr<IDispatch> routed;
    {
        CriticalSectionLock guard(objectLock_);
        auto route = routeCache_.find(dispId);
        if (route != routeCache_.end() && route->second < mixed_.size())
            routed = mixed_[route->second];
    }
    if (routed) {
        HRESULT hr =
            InvokeMixed(routed.Get(), dispId, riid, locale, flags, params, result, exceptionInfo, argumentError);
        if (hr != DISP_E_MEMBERNOTFOUND)
            return hr;
        CriticalSectionLock guard(objectLock_);
        routeCache_.erase(dispId);
    }
    const std::vector<ComPtr<IDispatch>> mixed = MixedSnapshot();
    for (size_t index = 0; index < mixed.size(); ++index) {
        if (!mixed[index])
            continue;
        HRESULT hr =
            InvokeMixed(mixed[index].Get(), dispId, riid, locale, flags, params, result, exceptionInfo, argumentError);
        if (IsRefusal(hr))
            continue;
        CriticalSectionLock guard(objectLock_);
        routeCache_[dispId] = index;
        return hr;
    }
    return DISP_E_MEMBERNOTFOUND;
}
VX_COM_CATCH

STDMETHODIMP CCustomDispatchMixer::GetPropertyValues(VARIANT ids, VARIANT* values, VARIANT* results,
                                                     VARIANT_BOOL* succeeded) noexcept
try {
    return RunGuarded(GetPropertyValuesOperationId, [&]() -> HRESULT {
        ComPtr<IDispatch> self;
        HRESULT hr = QueryInterface(IID_IDispatch, reinterpret_cast<void**>(self.GetAddressOf()));
        if (FAILED(hr))
            return hr;
        return CollectPropertyValues(self.Get(), ids, values, results, succeeded);
    });
}
VX_COM_CATCH

} // namespace vxOpenAppHook
