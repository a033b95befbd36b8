#pragma once
// What every test object below the page has: its tab and model, its moniker
// and creation value, the quick-browser object that answers for it and its
// native object (both kept in the global interface table, so any thread can
// call them, and kept for the MTA once called from there), its expandable flag and the tab's change counter at creation.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "comhelp/MtaCachedInterface.h"
#include "platform/com/BStr.h"
#include "quickbrowser/InformationRecords.h"
#include "testobjects/HookObjectCom.h"
#include "testobjects/TestObjectList.h"
#include "testobjects/TestObjectTab.h"

namespace vxCrTestObjects {

class PageChildState
{
public:
    PageChildState() noexcept = default;
    PageChildState(const PageChildState&) = delete;
    PageChildState& operator=(const PageChildState&) = delete;

    bool TreeModel() const noexcept { return treeModel_; }
    ITestObjectTab* Tab() const noexcept { return tab_.Get(); }
    // The quick-browser object for the calling thread.
    HRESULT QuickBrowserObject(Microsoft::WRL::ComPtr<IDispatch>& object) const;

protected:
    ~PageChildState() = default;

    HRESULT InitializeChild(ITestObjectTab* tab, bool treeModel, LONG creationValue,
                            const ObjectThisInformation& record);

    // Alive tab, unchanged change counter, existing node, in that order.
    HRESULT ChildExists(bool& exists);
    HRESULT ChildNativeObject(IDispatch** out);
    HRESULT ChildMoniker(BSTR* out);
    LONG ChildCreationValue() const noexcept { return creationValue_; }
    HRESULT ChildObjects(VxCrTestObjectList* list);
    HRESULT TabReference(IUnknown** tab);

private:
    Microsoft::WRL::ComPtr<ITestObjectTab> tab_;
    bool treeModel_ = false;
    LONG creationValue_ = -1;
    vx::com::BStr moniker_;
    MtaCachedInterface quickBrowserObject_;
    MtaCachedInterface nativeObject_;
    bool expandable_ = false;
    LONG changeCounter_ = 0;
};

// A test object below the page: IvxObject from its record, IvxCrBrowserObject
// and IvxCrHookTabProvider. Derived supplies
//   HRESULT IdentifierString(BSTR* out)                // null by default
//   HRESULT TakeIdentifier(const VARIANT& identifier)  // keeps its identifier
template <class Derived, class... Entries>
class PageChildCom : public HookObjectCom<Derived, IvxCrBrowserObject, IvxCrHookTabProvider, Entries...>,
                     public PageChildState
{
public:
    // Base and child initialisation, then the class's own identifier.
    HRESULT Initialize(vxOpenAppHook::IStubManager* stubManager, ITestObjectTab* tab, bool treeModel,
                       LONG creationValue, const ObjectThisInformation& record)
    {
        HRESULT hr = this->InitializeBase(stubManager, nullptr);
        if (SUCCEEDED(hr))
            hr = InitializeChild(tab, treeModel, creationValue, record);
        if (SUCCEEDED(hr))
            hr = this->Self().TakeIdentifier(*record.identifier);
        return hr;
    }

    // IvxCrBrowserObject
    STDMETHODIMP GetChildObjects(VxCrTestObjectList* list) noexcept override
    try {
        return ChildObjects(list);
    }
    VX_COM_CATCH
    STDMETHODIMP GetModelFlag(BYTE* treeModel) noexcept override
    try {
        if (!treeModel)
            return E_POINTER;
        *treeModel = TreeModel() ? 1 : 0;
        return S_OK;
    }
    VX_COM_CATCH

    // IvxCrHookTabProvider
    STDMETHODIMP GetTab(IUnknown** tab) noexcept override
    try {
        return TabReference(tab);
    }
    VX_COM_CATCH

    // What HookObjectCom asks of the class.
    HRESULT IdentifierString(BSTR*) { return S_OK; }
    HRESULT NativeObject(IDispatch** out) { return ChildNativeObject(out); }
    HRESULT Exists(bool& exists) { return ChildExists(exists); }
    HRESULT Moniker(BSTR* out) { return ChildMoniker(out); }
    LONG CreationValue() const noexcept { return ChildCreationValue(); }

protected:
    PageChildCom() noexcept = default;
};

} // namespace vxCrTestObjects
