#pragma once
#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/com/AtlModule.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/CriticalSection.h"

namespace vx::com {

using Microsoft::WRL::ComPtr;

// An interface-map entry that answers Alias's IID with the Impl base (which
// must be listed as a plain entry, or derive from one): used where one
// implementation serves two interface versions, or to answer a base
// interface through a derived one. It adds no base class of its own.
template <class Alias, class Impl>
struct AnswerAs
{
};

// What a registry that holds objects without a reference (the stub manager)
// needs of them: a way to take a reference that fails instead of reviving an
// object whose count already reached zero. The registry calls TryAddRef only
// while the object cannot have been freed yet (under the registry's lock,
// which the object's destructor takes to leave the registry).
class WeaklyHeldObject
{
public:
    // Adds a reference unless the object is already being destroyed.
    virtual bool TryAddRef() noexcept = 0;
    // The object's canonical IUnknown.
    virtual IUnknown* CanonicalUnknown() noexcept = 0;
    // Cuts every client in another apartment or process off the object
    // (CoDisconnectObject); the caller holds a reference.
    virtual HRESULT DisconnectRemoteClients() noexcept = 0;

protected:
    ~WeaklyHeldObject() = default;
};

namespace detail {

template <class Entry>
struct InterfaceEntry
{
    template <class Self>
    static void* Find(Self* self, REFIID riid) noexcept
    {
        return IsEqualIID(riid, __uuidof(Entry)) ? static_cast<void*>(static_cast<Entry*>(self)) : nullptr;
    }
    using First = Entry;
};

template <class Alias, class Impl>
struct InterfaceEntry<AnswerAs<Alias, Impl>>
{
    template <class Self>
    static void* Find(Self* self, REFIID riid) noexcept
    {
        return IsEqualIID(riid, __uuidof(Alias)) ? static_cast<void*>(static_cast<Impl*>(self)) : nullptr;
    }
    using First = Impl;
};

template <class Entry>
struct BaseOf
{
    using type = Entry;
};
template <class First, class... Rest>
struct FirstOf
{
    using type = First;
};

template <class T>
struct IsAlias : std::false_type
{
};
template <class Alias, class Impl>
struct IsAlias<AnswerAs<Alias, Impl>> : std::true_type
{
};

} // namespace detail

// Reference-counting base of every COM object of the library, in the manner
// of an ATL object with the multi-threaded model:
// - interlocked reference count, deleted on the last Release;
// - QueryInterface over the listed interfaces in list order, IUnknown answered
//   through the first one, IMarshal through the aggregated free-threaded
//   marshaler (so interface pointers can be used from any apartment);
// - an object lock for the derived class's state;
// - the library's module lock held for the object's lifetime.
// Entries may be plain interfaces or AnswerAs<Alias, Impl> for aliases.
template <class Derived, class... Entries>
class ComObject : public detail::BaseOf<Entries>::type..., public WeaklyHeldObject
{
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override
    try {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        void* found = nullptr;
        if (IsEqualIID(riid, IID_IUnknown))
            found = Identity();
        else
            found = FindListed<Entries...>(riid);
        if (!found)
            found = QueryExtraInterface(riid);
        if (!found) {
            if (IsEqualIID(riid, IID_IMarshal) && marshaler_ && InterlockedCompareExchange(&disconnecting_, 0, 0) == 0)
                return marshaler_->QueryInterface(riid, ppv);
            return E_NOINTERFACE;
        }
        static_cast<IUnknown*>(found)->AddRef();
        *ppv = found;
        return S_OK;
    }
    VX_COM_CATCH
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }
    STDMETHODIMP_(ULONG) Release() noexcept override
    {
        LONG count = InterlockedDecrement(&refCount_);
        if (count == 0)
            delete this;
        return static_cast<ULONG>(count);
    }

    // The object's canonical IUnknown (through the first listed interface).
    IUnknown* Identity() noexcept { return static_cast<FirstBase*>(this); }

    bool TryAddRef() noexcept override
    {
        LONG count = InterlockedCompareExchange(&refCount_, 0, 0);
        while (count > 0) {
            const LONG seen = InterlockedCompareExchange(&refCount_, count + 1, count);
            if (seen == count)
                return true;
            count = seen;
        }
        return false;
    }
    IUnknown* CanonicalUnknown() noexcept override { return Identity(); }

    // A disconnect through the free-threaded marshaler's IMarshal does not
    // reach the standard stubs that other processes call through (its
    // DisconnectObject has nothing to do): while it runs, the object answers
    // no IMarshal, so that COM disconnects those stubs itself.
    HRESULT DisconnectRemoteClients() noexcept override
    {
        InterlockedIncrement(&disconnecting_);
        HRESULT hr = CoDisconnectObject(Identity(), 0);
        InterlockedDecrement(&disconnecting_);
        return hr;
    }

    // Second construction phase: creates the free-threaded marshaler. Derived
    // classes that override it call this first.
    virtual HRESULT FinalConstruct() { return CoCreateFreeThreadedMarshaler(Identity(), &marshaler_); }

protected:
    ComObject() noexcept { CCrHookAtlModule::Lock(); }
    virtual ~ComObject() { CCrHookAtlModule::Unlock(); }

    // Interfaces answered besides the listed ones (aggregated or computed).
    virtual void* QueryExtraInterface(REFIID) { return nullptr; }

    CriticalSection objectLock_;

private:
    using FirstBase = typename detail::FirstOf<Entries...>::type;
    static_assert(!detail::IsAlias<FirstBase>::value, "the first entry must be a plain interface");

    template <class E, class... More>
    void* FindListed(REFIID riid) noexcept
    {
        if (void* p = detail::InterfaceEntry<E>::Find(static_cast<Derived*>(this), riid))
            return p;
        if constexpr (sizeof...(More) > 0)
            return FindListed<More...>(riid);
        else
            return nullptr;
    }

    LONG refCount_ = 0;
    LONG disconnecting_ = 0;
    ComPtr<IUnknown> marshaler_;
};

// Creates a COM object: allocation, construction, FinalConstruct. On success
// `out` holds the only reference; on failure the half-built object is gone and
// the failure is returned (E_OUTOFMEMORY when allocation fails).
template <class T, class... Args>
HRESULT CreateComObject(ComPtr<T>& out, Args&&... args)
{
    out.Reset();
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object)
        return E_OUTOFMEMORY;
    object->AddRef();
    HRESULT hr = object->FinalConstruct();
    if (FAILED(hr)) {
        object->Release();
        return hr;
    }
    out.Attach(object);
    return S_OK;
}

// QueryInterface through an object's canonical identity into a typed ComPtr.
template <class I, class T>
HRESULT QueryTo(T* object, ComPtr<I>& out)
{
    out.Reset();
    if (!object)
        return E_POINTER;
    return object->QueryInterface(__uuidof(I), reinterpret_cast<void**>(out.ReleaseAndGetAddressOf()));
}

} // namespace vx::com
