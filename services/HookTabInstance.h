#pragma once
// The page identification object of one tab, handed to the test engine: the
// page's object type, identifier and group index, its URL, waiting for a
// load, navigation, the page's document and the URL to record. Every member
// goes through the tab; after the tab is closed the object is detached and
// every member fails with the library's error instead of touching the tab.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "generated/vxCrHook.h"
#include "openapphook/MultiDispatch.h"
#include "openapphook/StubManager.h"

class CCrHookTab;

class CCrHookTabInstance
    : public vxOpenAppHook::CMultiDispatchObject<
          CCrHookTabInstance, vxOpenAppHook::IDispatchMultiImpl<CCrHookTabInstance, IvxWebTreeObject>,
          vxOpenAppHook::IDispatchMultiImpl<CCrHookTabInstance, IvxWebObjectIdentifier>,
          vxOpenAppHook::IDispatchMultiImpl<CCrHookTabInstance, IvxWebObjectIdentifier2>,
          vxOpenAppHook::IDispatchMultiImpl<CCrHookTabInstance, IvxWebPage>,
          vxOpenAppHook::IDispatchMultiImpl<CCrHookTabInstance, IvxWebRecordURLProvider>>
{
public:
    // Binds the object to its tab and registers it with the tab's stub
    // manager, which disconnects remote clients when the tab closes.
    HRESULT Initialize(CCrHookTab* tab, vxOpenAppHook::CStubManager* stubManager);
    // Drops the tab reference (tab closed); later calls fail cleanly.
    void DetachTab();

    // IvxWebTreeObject
    STDMETHODIMP get_ObjectType(BSTR* Value) noexcept override;
    // IvxWebObjectIdentifier
    STDMETHODIMP get_ObjectIdentifier(VARIANT* Value) noexcept override;
    // IvxWebObjectIdentifier2
    STDMETHODIMP get_ObjectGroupIndex(VARIANT* Value) noexcept override;
    // IvxWebPage
    STDMETHODIMP get_URL(BSTR* Value) noexcept override;
    STDMETHODIMP Wait(BSTR* Value) noexcept override;
    STDMETHODIMP NavigateTo(BSTR URL) noexcept override;
    STDMETHODIMP get_contentDocument(VARIANT* Value) noexcept override;
    // IvxWebRecordURLProvider
    STDMETHODIMP get_RecordURL(BSTR* Value) noexcept override;

protected:
    ~CCrHookTabInstance() override;

private:
    // The bound tab, or the library's error "page closed" when detached.
    HRESULT Tab(Microsoft::WRL::ComPtr<CCrHookTab>& tab);

    Microsoft::WRL::ComPtr<CCrHookTab> tab_;
    vxOpenAppHook::StubRegistration registration_;
};
