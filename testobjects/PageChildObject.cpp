#include "testobjects/PageChildObject.h"

#include "comhelp/SynchronousInvoker.h"
#include "testobjects/ChildTestObjects.h"
#include "testobjects/QuickBrowserCalls.h"

namespace vxCrTestObjects {

using Microsoft::WRL::ComPtr;
using vx::com::BStr;

HRESULT PageChildState::InitializeChild(ITestObjectTab* tab, bool treeModel, LONG creationValue,
                                        const ObjectThisInformation& record)
{
    if (!tab || !record.object)
        return E_UNEXPECTED;
    tab_ = tab;
    treeModel_ = treeModel;
    creationValue_ = creationValue;
    const BStr prefix = tab->ObjectNamePrefix(treeModel);
    std::wstring moniker(prefix.View());
    moniker.append(record.identityPath.View());
    moniker_ = BStr(moniker);
    if (!moniker_.Get())
        return E_OUTOFMEMORY;
    HRESULT hr = quickBrowserObject_.Register(record.object.Get(), IID_IDispatch);
    if (SUCCEEDED(hr))
        hr = nativeObject_.Register(record.scriptObject.Get(), IID_IDispatch);
    if (FAILED(hr))
        return hr;
    expandable_ = record.expandable;
    changeCounter_ = tab->ChangeCounter(treeModel);
    return S_OK;
}

HRESULT PageChildState::QuickBrowserObject(ComPtr<IDispatch>& object) const
{
    return quickBrowserObject_.Fetch(object);
}

HRESULT PageChildState::ChildExists(bool& exists)
{
    exists = false;
    if (!tab_->IsAlive() || tab_->ChangeCounter(treeModel_) != changeCounter_)
        return S_OK;
    ComPtr<IDispatch> object;
    HRESULT hr = QuickBrowserObject(object);
    if (FAILED(hr))
        return hr;
    return QuickBrowserObjectCalls(object.Get()).GetExists(exists);
}

HRESULT PageChildState::ChildNativeObject(IDispatch** out)
{
    if (nativeObject_.Empty())
        return S_OK;
    ComPtr<IDispatch> native;
    HRESULT hr = nativeObject_.Fetch(native);
    if (SUCCEEDED(hr))
        *out = native.Detach();
    return hr;
}

HRESULT PageChildState::ChildMoniker(BSTR* out)
{
    *out = SysAllocStringLen(moniker_.Get(), moniker_.Length());
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT PageChildState::ChildObjects(VxCrTestObjectList* list)
{
    if (!list)
        return E_POINTER;
    if (!expandable_)
        return S_OK;
    return CollectChildTestObjects(
        tab_.Get(), treeModel_, [this](ComPtr<IDispatch>& object) { return QuickBrowserObject(object); }, *list);
}

HRESULT PageChildState::TabReference(IUnknown** tab)
{
    if (!tab)
        return E_POINTER;
    *tab = nullptr;
    if (!tab_)
        return E_UNEXPECTED;
    *tab = tab_.Get();
    (*tab)->AddRef();
    return S_OK;
}

} // namespace vxCrTestObjects
