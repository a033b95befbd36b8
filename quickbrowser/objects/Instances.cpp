#include "quickbrowser/objects/Instances.h"

#include <cstdio>
#include <string>

#include "openapphook/InvokeException.h"
#include "openapphook/MultiDispatch.h"
#include "openapphook/StubManager.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "quickbrowser/objects/RendererCall.h"
#include "webfw/NativeModel/NodeHandle.h"
#include "webfw/chrome/CrFwAdapters.h"

using Microsoft::WRL::ComPtr;
using vxOpenAppHook::CMultiDispatchObject;
using vxOpenAppHook::IDispatchMultiImpl;
using vxWebFw::NodeHandle;

namespace vxCrQuickBrowser {

namespace {

// What every instance holds: the accessor, its registration with the
// accessor's stub manager and, for instances attached to an element, its own
// handle of the element (given back on the renderer thread).
class InstanceState
{
public:
    HRESULT Init(CCrRawBrowserHelper* accessor, NodeImpl* node, vx::com::WeaklyHeldObject* self)
    {
        if (!accessor)
            return E_POINTER;
        accessor_ = accessor;
        node_ = NodeHandle(accessor);
        if (node) {
            HRESULT hr = accessor->CloneNode(node, node_.Out());
            if (FAILED(hr))
                return hr;
        }
        return registration_.Register(accessor->GetStubManager(), self);
    }
    // Called by the instance's destructor while the whole object exists.
    void Release() noexcept
    {
        GiveBackOnRenderer(accessor_.Get(), node_, []() noexcept {});
        registration_.Reset();
        accessor_.Reset();
    }
    CCrRawBrowserHelper* Accessor() const noexcept { return accessor_.Get(); }
    NodeImpl* Node() const noexcept { return node_.Get(); }

private:
    ComPtr<CCrRawBrowserHelper> accessor_;
    NodeHandle node_;
    vxOpenAppHook::StubRegistration registration_;
};

template <class Derived, class... Entries>
class Instance : public CMultiDispatchObject<Derived, Entries...>
{
protected:
    ~Instance() override { state_.Release(); }
    InstanceState state_;
};

class CCrQuickBrowserObjectInstance_WebQuickIds final
    : public Instance<CCrQuickBrowserObjectInstance_WebQuickIds,
                      IDispatchMultiImpl<CCrQuickBrowserObjectInstance_WebQuickIds, IvxWebQuickIds>>
{
public:
    HRESULT Init(CCrRawBrowserHelper* accessor, NodeImpl* node) { return state_.Init(accessor, node, this); }

    STDMETHODIMP get_namePropStr(BSTR* value) noexcept override
    try {
        if (!value)
            return E_POINTER;
        *value = nullptr;
        CCrRawBrowserHelper* accessor = state_.Accessor();
        return RunOnRenderer(accessor, [&] {
            CCrFwAdapters* adapters = accessor->Adapters();
            if (!adapters || !adapters->nodeNamePropStrEvaluator || !adapters->recognizerSet)
                return E_UNEXPECTED;
            vxWebFw::Recognizing::RecognizedNode node(state_.Node(), adapters->recognizerSet.get());
            return adapters->nodeNamePropStrEvaluator->EvaluateNamePropStr(node, value);
        });
    }
    VX_COM_CATCH

    STDMETHODIMP get_idStr(BSTR* value) noexcept override
    try {
        if (!value)
            return E_POINTER;
        *value = nullptr;
        CCrRawBrowserHelper* accessor = state_.Accessor();
        return RunOnRenderer(accessor, [&] {
            // A missing id is a null string, not a failure.
            if (FAILED(accessor->GetIdWithFallback(state_.Node(), value)))
                *value = nullptr;
            return S_OK;
        });
    }
    VX_COM_CATCH
};

constexpr wchar_t kRowNotFound[] = L"The table row with index %ld not found.";
constexpr wchar_t kRowCount[] = L"The total number of rows: %ld.";

std::wstring Formatted(const wchar_t* format, long value)
{
    wchar_t text[96] = {};
    _snwprintf(text, 95, format, value);
    return text;
}

class CCrQuickBrowserObjectInstance_Table final
    : public Instance<CCrQuickBrowserObjectInstance_Table,
                      IDispatchMultiImpl<CCrQuickBrowserObjectInstance_Table, IvxWebTableObject>>
{
public:
    HRESULT Init(CCrRawBrowserHelper* accessor, NodeImpl* node) { return state_.Init(accessor, node, this); }

    STDMETHODIMP get_RowCount(LONG* value) noexcept override
    try {
        if (!value)
            return E_POINTER;
        *value = 0;
        CCrRawBrowserHelper* accessor = state_.Accessor();
        return RunOnRenderer(accessor, [&] {
            NodeHandle rows(accessor);
            long count = 0;
            if (SUCCEEDED(accessor->GetRows(state_.Node(), rows.Out())) && rows &&
                SUCCEEDED(accessor->GetTableCollectionLength(rows.Get(), &count)))
                *value = count;
            return S_OK; // no "rows": 0
        });
    }
    VX_COM_CATCH

    STDMETHODIMP get_ColumnCount(LONG rowIndex, LONG* value) noexcept override
    try {
        if (!value)
            return E_POINTER;
        *value = 0;
        CCrRawBrowserHelper* accessor = state_.Accessor();
        return RunOnRenderer(accessor, [&] {
            SetErrorInfo(0, nullptr);
            NodeHandle rows(accessor);
            if (FAILED(accessor->GetRows(state_.Node(), rows.Out())) || !rows)
                return E_UNEXPECTED;
            long rowCount = 0;
            HRESULT hr = accessor->GetTableCollectionLength(rows.Get(), &rowCount);
            if (FAILED(hr))
                return hr;
            NodeHandle row(accessor);
            if (rowIndex < 0 || rowIndex >= rowCount ||
                FAILED(accessor->GetTableCollectionItem(rows.Get(), rowIndex, row.Out())) || !row)
                return RowNotFound(rowIndex, rowCount);
            NodeHandle cells(accessor);
            long cellCount = 0;
            if (SUCCEEDED(accessor->GetCells(row.Get(), cells.Out())) && cells &&
                SUCCEEDED(accessor->GetTableCollectionLength(cells.Get(), &cellCount)))
                *value = cellCount;
            return S_OK; // a row without "cells": 0
        });
    }
    VX_COM_CATCH

private:
    // Raises the library's error (level Error) on this thread: the renderer
    // call carries it back to the caller.
    static HRESULT RowNotFound(long rowIndex, long rowCount)
    {
        vxOpenAppHook::CvxInvokeException error(vxOpenAppHook::CvxInvokeException::LevelError,
                                                Formatted(kRowNotFound, rowIndex), Formatted(kRowCount, rowCount));
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(error.CreateErrorInfo(&info)))
            SetErrorInfo(0, info.Get());
        return vxOpenAppHook::VX_E_INVOKE_FAILED;
    }
};

class CCrQuickBrowserObjectInstance_WebIds final
    : public Instance<CCrQuickBrowserObjectInstance_WebIds,
                      IDispatchMultiImpl<CCrQuickBrowserObjectInstance_WebIds, IvxWebTreeObject>,
                      // Registered too: the engine reads ObjectIdentifier by name through the
                      // element's script object.
                      IDispatchMultiImpl<CCrQuickBrowserObjectInstance_WebIds, IvxWebObjectIdentifier>>
{
public:
    HRESULT Init(CCrRawBrowserHelper* accessor, BSTR objectType, const VARIANT& identifier)
    {
        objectType_ = vx::com::BStr(std::wstring_view(objectType, SysStringLen(objectType)));
        if (objectType && !objectType_.Get())
            return E_OUTOFMEMORY;
        HRESULT hr = identifier_.CopyFrom(identifier);
        if (FAILED(hr))
            return hr;
        return state_.Init(accessor, nullptr, this);
    }

    STDMETHODIMP get_ObjectType(BSTR* value) noexcept override
    try {
        if (!value)
            return E_POINTER;
        *value = objectType_.Get() ? SysAllocStringLen(objectType_.Get(), objectType_.Length()) : nullptr;
        return objectType_.Get() && !*value ? E_OUTOFMEMORY : S_OK;
    }
    VX_COM_CATCH

    STDMETHODIMP get_ObjectIdentifier(VARIANT* value) noexcept override
    try {
        if (!value)
            return E_POINTER;
        VariantInit(value);
        return VariantCopy(value, identifier_.Get());
    }
    VX_COM_CATCH

private:
    // Written once at Init, read without a lock afterwards.
    vx::com::BStr objectType_;
    vx::com::Variant identifier_;
};

class CCrQuickBrowserObjectInstance_WebCellIds final
    : public Instance<CCrQuickBrowserObjectInstance_WebCellIds,
                      IDispatchMultiImpl<CCrQuickBrowserObjectInstance_WebCellIds, IvxWebTableCellIdentifier>>
{
public:
    HRESULT Init(CCrRawBrowserHelper* accessor, LONG rowIndex, LONG columnIndex)
    {
        rowIndex_ = rowIndex;
        columnIndex_ = columnIndex;
        return state_.Init(accessor, nullptr, this);
    }

    STDMETHODIMP get_RowIndex(LONG* value) noexcept override
    try {
        if (!value)
            return E_POINTER;
        *value = rowIndex_;
        return S_OK;
    }
    VX_COM_CATCH

    STDMETHODIMP get_ColumnIndex(LONG* value) noexcept override
    try {
        if (!value)
            return E_POINTER;
        *value = columnIndex_;
        return S_OK;
    }
    VX_COM_CATCH

private:
    LONG rowIndex_ = 0;
    LONG columnIndex_ = 0;
};

template <class T, class... Args>
HRESULT Create(ComPtr<IDispatch>& instance, Args&&... args)
{
    instance.Reset();
    ComPtr<T> made;
    HRESULT hr = vx::com::CreateComObject(made);
    if (FAILED(hr))
        return hr;
    hr = made->Init(std::forward<Args>(args)...);
    if (FAILED(hr))
        return hr;
    return made->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(instance.GetAddressOf()));
}

} // namespace

HRESULT CreateWebQuickIds(CCrRawBrowserHelper* accessor, NodeImpl* node, ComPtr<IDispatch>& instance)
{
    return Create<CCrQuickBrowserObjectInstance_WebQuickIds>(instance, accessor, node);
}

HRESULT CreateTableInstance(CCrRawBrowserHelper* accessor, NodeImpl* node, ComPtr<IDispatch>& instance)
{
    return Create<CCrQuickBrowserObjectInstance_Table>(instance, accessor, node);
}

HRESULT CreateWebIds(CCrRawBrowserHelper* accessor, BSTR objectType, const VARIANT& identifier,
                     ComPtr<IDispatch>& instance)
{
    return Create<CCrQuickBrowserObjectInstance_WebIds>(instance, accessor, objectType, identifier);
}

HRESULT CreateWebCellIds(CCrRawBrowserHelper* accessor, LONG rowIndex, LONG columnIndex, ComPtr<IDispatch>& instance)
{
    return Create<CCrQuickBrowserObjectInstance_WebCellIds>(instance, accessor, rowIndex, columnIndex);
}

} // namespace vxCrQuickBrowser
