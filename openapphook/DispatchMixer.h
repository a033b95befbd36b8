#pragma once
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "generated/vxOpenAppServices.h"
#include "openapphook/StubManager.h"
#include "platform/com/ComObject.h"

namespace vxOpenAppHook {

class CCustomDispatchMixer;

// The mixer's IDispatch: each call runs under this object's own lock and is
// forwarded to the mixer's IDispatch2, so that clients holding IDispatch are
// served one at a time. Lives inside the mixer and shares its identity and
// reference count.
class CMultiThreadDispatchImpl final : public IDispatch
{
public:
    explicit CMultiThreadDispatchImpl(CCustomDispatchMixer& outer) noexcept : outer_(outer) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override;
    STDMETHODIMP_(ULONG) Release() noexcept override;

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT nameCount, LCID locale,
                               DISPID* dispIds) noexcept override;
    STDMETHODIMP Invoke(DISPID dispId, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exceptionInfo, UINT* argumentError) noexcept override;

private:
    CCustomDispatchMixer& outer_;
    vx::com::CriticalSection lock_;
};

// Merges several IDispatch objects (typically a browser's native object and
// the library's companion object) into one: names and DISPIDs are looked up
// in the mixed objects in the order they were added, with a name cache and a
// route cache (DISPID to the object that answered it). With blind delegation
// the mixer also hands out any other interface one of the mixed objects
// answers. Registered with a stub manager for its whole life.
class CCustomDispatchMixer : public vx::com::ComObject<CCustomDispatchMixer, IDispatch2>
{
public:
    // Creates and initialises a mixer registered with `owner`.
    static HRESULT Create(IStubManager* owner, bool blindDelegation,
                          Microsoft::WRL::ComPtr<CCustomDispatchMixer>& mixer);

    // Appends an object to the mixed list; lookups go through the list in
    // this order.
    HRESULT AddDispatch(IDispatch* object);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;

    // IDispatch (through IDispatch2)
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT nameCount, LCID locale,
                               DISPID* dispIds) noexcept override;
    STDMETHODIMP Invoke(DISPID dispId, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exceptionInfo, UINT* argumentError) noexcept override;
    // IDispatch2
    STDMETHODIMP GetPropertyValues(VARIANT ids, VARIANT* values, VARIANT* results,
                                   VARIANT_BOOL* succeeded) noexcept override;

    CCustomDispatchMixer() noexcept : serialisedDispatch_(*this) {}

protected:
    ~CCustomDispatchMixer() override;
    void* QueryExtraInterface(REFIID riid) override;

private:
    HRESULT Initialize(IStubManager* owner, bool blindDelegation);
    HRESULT BlindQueryInterface(REFIID riid, void** ppv);
    std::vector<Microsoft::WRL::ComPtr<IDispatch>> MixedSnapshot();
    HRESULT InvokeMixed(IDispatch* object, DISPID dispId, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exceptionInfo, UINT* argumentError);
    void CollectTypeInfos();

    StubRegistration registration_;
    CMultiThreadDispatchImpl serialisedDispatch_;
    bool blindDelegation_ = false;
    std::vector<Microsoft::WRL::ComPtr<IDispatch>> mixed_;
    std::vector<Microsoft::WRL::ComPtr<ITypeInfo>> typeInfos_;
    bool typeInfosCollected_ = false;
    std::unordered_map<std::wstring, DISPID> nameCache_;
    std::map<DISPID, size_t> routeCache_;
};

} // namespace vxOpenAppHook
