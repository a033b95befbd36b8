#pragma once
#include <windows.h>
#include <oaidl.h>

#include <type_traits>

#include "openapphook/TypeLibraryRegistry.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/ComObject.h"

namespace vxOpenAppHook {

// One dual interface registered for dispatch on one object.
struct InterfaceNode
{
    const IID* iid = nullptr;
    TypeInfoCell* cell = nullptr;
    InterfaceNode* next = nullptr;
};

// The merged name and DISPID space of an object that implements several dual
// interfaces: a list of interface nodes, the interface registered last first.
// Every IDispatch of the object forwards here, so a script reaches any member
// of any registered interface through whichever IDispatch it holds.
class CMultiDispatchRoot
{
public:
    CMultiDispatchRoot() noexcept = default;
    CMultiDispatchRoot(const CMultiDispatchRoot&) = delete;
    CMultiDispatchRoot& operator=(const CMultiDispatchRoot&) = delete;

    HRESULT MultiGetTypeInfoCount(UINT* count);
    HRESULT MultiGetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo);
    HRESULT MultiGetIDsOfNames(REFIID riid, LPOLESTR* names, UINT nameCount, LCID locale, DISPID* dispIds);
    // `via` is the IDispatch through which the call came; each interface is
    // asked for through it.
    HRESULT MultiInvoke(IUnknown* via, DISPID dispId, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exceptionInfo, UINT* argumentError);

    // Puts a node at the front of the list (called during construction only).
    void RegisterInterfaceNode(InterfaceNode* node) noexcept;

private:
    static HRESULT NodeTypeInfo(const InterfaceNode* node, ITypeInfo** typeInfo);

    InterfaceNode* head_ = nullptr;
};

namespace detail {

// The four IDispatch slots of a dual interface, forwarded to the object's
// root. Interfaces that derive only from IUnknown get no slots.
template <class T, class Itf, bool IsDispatch = std::is_base_of_v<IDispatch, Itf>>
class MultiDispatchSlots : public Itf
{
};

template <class T, class Itf>
class MultiDispatchSlots<T, Itf, true> : public Itf
{
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override
    try {
        return Root()->MultiGetTypeInfoCount(count);
    }
    VX_COM_CATCH
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) noexcept override
    try {
        return Root()->MultiGetTypeInfo(index, locale, typeInfo);
    }
    VX_COM_CATCH
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT nameCount, LCID locale,
                               DISPID* dispIds) noexcept override
    try {
        return Root()->MultiGetIDsOfNames(riid, names, nameCount, locale, dispIds);
    }
    VX_COM_CATCH
    STDMETHODIMP Invoke(DISPID dispId, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exceptionInfo, UINT* argumentError) noexcept override
    try {
        return Root()->MultiInvoke(static_cast<IDispatch*>(this), dispId, riid, locale, flags, params, result,
                                   exceptionInfo, argumentError);
    }
    VX_COM_CATCH

protected:
    CMultiDispatchRoot* Root() noexcept { return static_cast<CMultiDispatchRoot*>(static_cast<T*>(this)); }
};

} // namespace detail

// Base of class T for one of its dual interfaces Itf. On construction it
// registers Itf with T's CMultiDispatchRoot; the type information is looked
// up once per (T, Itf) in the process's type-library registry. When no loaded
// type library describes Itf, the interface still works through its vtable
// but none of its members is reachable by name.
template <class T, class Itf>
class IDispatchMultiImpl : public detail::MultiDispatchSlots<T, Itf>
{
public:
    using Interface = Itf;

protected:
    IDispatchMultiImpl() noexcept
    {
        node_.iid = &__uuidof(Itf);
        TypeInfoCell* cell = static_cast<TypeInfoCell*>(
            InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&sharedCell_), nullptr, nullptr));
        if (!cell) {
            if (SUCCEEDED(TypeLibraries().GetTypeInfoCell(__uuidof(Itf), &cell)))
                InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&sharedCell_), cell, nullptr);
        }
        if (cell) {
            node_.cell = cell;
            static_cast<CMultiDispatchRoot*>(static_cast<T*>(this))->RegisterInterfaceNode(&node_);
        }
    }

private:
    InterfaceNode node_;
    static inline TypeInfoCell* sharedCell_ = nullptr;
};

namespace detail {

template <class Entry>
struct IsDualEntry : std::false_type
{
};
template <class T, class Itf>
struct IsDualEntry<IDispatchMultiImpl<T, Itf>> : std::is_base_of<IDispatch, Itf>
{
};

} // namespace detail

// A COM object whose dual interfaces share one dispatch space. List the
// interfaces as IDispatchMultiImpl<T, Itf> entries (they answer Itf's IID);
// IID_IDispatch is answered through the first listed interface that derives
// from IDispatch. The root comes before the interfaces, so it is ready when
// they register; they register in list order, and the one listed last is
// searched first. A derived class that overrides QueryExtraInterface passes
// the IIDs it does not know on to this class.
template <class Derived, class... Entries>
class CMultiDispatchObject : public CMultiDispatchRoot, public vx::com::ComObject<Derived, Entries...>
{
protected:
    void* QueryExtraInterface(REFIID riid) override
    {
        if (IsEqualIID(riid, IID_IDispatch))
            return FirstDispatch<Entries...>();
        return nullptr;
    }

private:
    template <class E, class... More>
    IDispatch* FirstDispatch() noexcept
    {
        if constexpr (detail::IsDualEntry<E>::value)
            return static_cast<typename E::Interface*>(static_cast<E*>(static_cast<Derived*>(this)));
        else if constexpr (sizeof...(More) > 0)
            return FirstDispatch<More...>();
        else
            return nullptr;
    }
};

} // namespace vxOpenAppHook

namespace vx::com::detail {

// An IDispatchMultiImpl entry answers the IID of the interface it implements.
template <class T, class Itf>
struct InterfaceEntry<vxOpenAppHook::IDispatchMultiImpl<T, Itf>>
{
    template <class Self>
    static void* Find(Self* self, REFIID riid) noexcept
    {
        using Impl = vxOpenAppHook::IDispatchMultiImpl<T, Itf>;
        return IsEqualIID(riid, __uuidof(Itf)) ? static_cast<void*>(static_cast<Itf*>(static_cast<Impl*>(self)))
                                               : nullptr;
    }
};

template <class Alias, class T, class Itf>
struct InterfaceEntry<AnswerAs<Alias, vxOpenAppHook::IDispatchMultiImpl<T, Itf>>>
{
    template <class Self>
    static void* Find(Self* self, REFIID riid) noexcept
    {
        using Impl = vxOpenAppHook::IDispatchMultiImpl<T, Itf>;
        return IsEqualIID(riid, __uuidof(Alias)) ? static_cast<void*>(static_cast<Alias*>(static_cast<Impl*>(self)))
                                                 : nullptr;
    }
};

} // namespace vx::com::detail
