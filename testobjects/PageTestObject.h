#pragma once
// The page test object: one per tab and model, the root of the page in the
// engine's tree. Page questions (URL, group index, window geometry, focus,
// XPath) are answered by the tab and its tab window; the URL and group index
// are read from the tab again on every question.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "openapphook/ObjectNamingImpl.h"
#include "testobjects/HookObjectCom.h"
#include "testobjects/TestObjectList.h"
#include "testobjects/TestObjectTab.h"

namespace vxCrTestObjects {

class CCrHookObject_Page final
    : public HookObjectCom<
          CCrHookObject_Page, vxOpenAppHook::IDispatchMultiImpl<CCrHookObject_Page, IvxCrHookObject_Page>,
          vxOpenAppHook::IDispatchMultiImpl<CCrHookObject_Page, IvxObjectControl>,
          vxOpenAppHook::IDispatchMultiImpl<CCrHookObject_Page, IvxEvaluateXPath>, IvxMethodCallInformation,
          IvxMethodCallInformation2, IvxObjectNaming, IvxNameMappingPropertyInformation, IvxObjectWithPivotWindow,
          IvxObjectDetails, IvxCrBrowserObject, IvxCrHookTabProvider>,
      public vxOpenAppHook::IvxObjectNamingImpl
{
public:
    static HRESULT Create(vxOpenAppHook::IStubManager* stubManager, ITestObjectTab* tab, bool treeModel,
                          Microsoft::WRL::ComPtr<CCrHookObject_Page>& page);

    // IvxCrHookObject_Page
    STDMETHODIMP get_Url_20CA2177_DF2E_49af_AEF8_03D9776E4654(BSTR* value) noexcept override;
    STDMETHODIMP get_ObjectGroupIndex_20CA2177_DF2E_49af_AEF8_03D9776E4654(LONG* value) noexcept override;

    // IvxObjectControl
    STDMETHODIMP GetVisible(VARIANT_BOOL* visible) noexcept override;
    STDMETHODIMP GetScreenLeft(LONG* left) noexcept override;
    STDMETHODIMP GetScreenTop(LONG* top) noexcept override;
    STDMETHODIMP GetWidth(LONG* width) noexcept override;
    STDMETHODIMP GetHeight(LONG* height) noexcept override;
    STDMETHODIMP GetLeft(LONG* left) noexcept override;
    STDMETHODIMP GetTop(LONG* top) noexcept override;
    STDMETHODIMP GetEnabled(VARIANT_BOOL* enabled) noexcept override;
    STDMETHODIMP GetOwnWindow(LONG_PTR* window, VARIANT_BOOL* hasOwnWindow) noexcept override;
    STDMETHODIMP GetFocused(VARIANT_BOOL* focused) noexcept override;
    STDMETHODIMP SetFocused(VARIANT_BOOL focused) noexcept override;
    STDMETHODIMP MakeVisible(LONG x, LONG y) noexcept override;

    // IvxEvaluateXPath
    STDMETHODIMP EvaluateXPath(BSTR expression, VARIANT* result) noexcept override;

    // IvxMethodCallInformation
    STDMETHODIMP IsMethod(VARIANT_BOOL* isMethod) noexcept override;
    STDMETHODIMP GetMethodName(BSTR* methodName) noexcept override;
    STDMETHODIMP IsProperty(VARIANT_BOOL* isProperty) noexcept override;
    STDMETHODIMP GetParamCount(LONG* count) noexcept override;
    STDMETHODIMP GetParamName(LONG index, BSTR* name) noexcept override;

    // IvxMethodCallInformation2
    STDMETHODIMP GetAlias(BSTR* alias) noexcept override;
    STDMETHODIMP GetAliasBase(BSTR* aliasBase) noexcept override;

    // IvxObjectNaming
    STDMETHODIMP GetNamingSchemas(VARIANT* schemas) noexcept override;
    STDMETHODIMP FindNamingSchema(BSTR methodName, LONG paramCount, IvxObjectNamingSchema** schema) noexcept override;
    STDMETHODIMP UsesNamingSchemas(VARIANT_BOOL* uses) noexcept override;

    // IvxNameMappingPropertyInformation
    STDMETHODIMP GetPropertyCount(LONG* count) noexcept override;
    STDMETHODIMP GetPropertyName(LONG index, BSTR* name) noexcept override;
    STDMETHODIMP GetRecordPropertyName(LONG index, BSTR* name) noexcept override;

    // IvxObjectWithPivotWindow
    STDMETHODIMP GetPivotWindow(HWND* window) noexcept override;

    // IvxObjectDetails
    STDMETHODIMP IsVisualObject(VARIANT_BOOL* visual) noexcept override;
    STDMETHODIMP IsContainerOnly(VARIANT_BOOL* containerOnly) noexcept override;

    // IvxCrBrowserObject
    STDMETHODIMP GetChildObjects(VxCrTestObjectList* list) noexcept override;
    STDMETHODIMP GetModelFlag(BYTE* treeModel) noexcept override;

    // IvxCrHookTabProvider
    STDMETHODIMP GetTab(IUnknown** tab) noexcept override;

    // What HookObjectCom asks of the class.
    HRESULT IdentifierString(BSTR*) { return S_OK; }
    HRESULT NativeObject(IDispatch** out);
    HRESULT Exists(bool& exists);
    HRESULT Moniker(BSTR* out);
    LONG CreationValue() const noexcept { return 0; }

    CCrHookObject_Page() noexcept = default;

protected:
    ~CCrHookObject_Page() override = default;

    void* QueryExtraInterface(REFIID riid) override;

    const vxOpenAppHook::ObjectNamingSchemaEntry* NamingSchemaTable() override;
    int NamingSchemaCount() override;
    vxOpenAppHook::IStubManager* NamingStubManager() override { return stubManager_.Get(); }
    LONG RequiredParamCount() override { return -1; }

private:
    struct PageState
    {
        vx::com::BStr url;
        LONG groupIndex = -1;
        bool hasGroupIndex = false;
    };

    // Reads URL and group index from the tab again and keeps them; a
    // DOM-model page never reports a group index.
    PageState Refresh();
    HRESULT WindowRectangle(RECT& rectangle);
    // One value of the tab window's rectangle; 0 when it cannot be read.
    HRESULT WindowRectangleValue(LONG* value, LONG (*pick)(const RECT&));

    Microsoft::WRL::ComPtr<ITestObjectTab> tab_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::IStubManager> stubManager_;
    bool treeModel_ = false;
    PageState cached_;
};

} // namespace vxCrTestObjects
