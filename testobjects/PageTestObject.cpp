#include "testobjects/PageTestObject.h"

#include "platform/com/ComBoundary.h"
#include "testobjects/CallableControlCom.h"
#include "testobjects/ChildTestObjects.h"
#include "testobjects/ObjectNaming.h"
#include "testobjects/QuickBrowserCalls.h"

namespace vxCrTestObjects {

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::CriticalSectionLock;

namespace {

// {2744FFFB-DF00-4DCA-B193-16AEBD050227}: the page answers it with its
// IvxObject part.
constexpr GUID kPageIdentity = {0x2744FFFB, 0xDF00, 0x4DCA, {0xB1, 0x93, 0x16, 0xAE, 0xBD, 0x05, 0x02, 0x27}};

constexpr const wchar_t* kUrlOnly[] = {kUrlParam};
constexpr const wchar_t* kUrlAndGroupIndex[] = {kUrlParam, kGroupIndexParam};
constexpr vxOpenAppHook::ObjectNamingSchemaEntry kPageSchemas[] = {
    {L"Page", 1, kUrlOnly},
    {L"Page", 2, kUrlAndGroupIndex},
};

HRESULT OutBool(VARIANT_BOOL* out, bool value)
{
    if (!out)
        return E_POINTER;
    *out = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

} // namespace

HRESULT CCrHookObject_Page::Create(vxOpenAppHook::IStubManager* stubManager, ITestObjectTab* tab, bool treeModel,
                                   ComPtr<CCrHookObject_Page>& page)
{
    page.Reset();
    if (!tab)
        return E_POINTER;
    ComPtr<CCrHookObject_Page> created;
    HRESULT hr = vx::com::CreateComObject(created);
    if (FAILED(hr))
        return hr;
    hr = created->InitializeBase(stubManager, nullptr);
    if (FAILED(hr))
        return hr;
    created->tab_ = tab;
    created->stubManager_ = stubManager;
    created->treeModel_ = treeModel;
    page = std::move(created);
    return S_OK;
}

void* CCrHookObject_Page::QueryExtraInterface(REFIID riid)
{
    if (IsEqualIID(riid, kPageIdentity))
        return static_cast<IvxObject*>(this);
    return HookObjectCom::QueryExtraInterface(riid);
}

CCrHookObject_Page::PageState CCrHookObject_Page::Refresh()
{
    PageState state;
    tab_->PageState(state.url, state.groupIndex, state.hasGroupIndex);
    if (!treeModel_)
        state.hasGroupIndex = false;
    CriticalSectionLock guard(objectLock_);
    cached_ = state;
    return state;
}

HRESULT CCrHookObject_Page::WindowRectangle(RECT& rectangle)
{
    rectangle = {};
    HWND window = nullptr;
    HRESULT hr = tab_->TabWindow(window);
    if (FAILED(hr))
        return hr;
    if (!GetWindowRect(window, &rectangle))
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

HRESULT CCrHookObject_Page::WindowRectangleValue(LONG* value, LONG (*pick)(const RECT&))
{
    if (!value)
        return E_POINTER;
    *value = 0;
    RECT rectangle;
    HRESULT hr = WindowRectangle(rectangle);
    if (SUCCEEDED(hr))
        *value = pick(rectangle);
    return hr;
}

// ------------------------------------------------------------ IvxObject

HRESULT CCrHookObject_Page::NativeObject(IDispatch** out)
{
    ComPtr<IDispatch> scriptObject;
    HRESULT hr = tab_->GetPageScriptObject(scriptObject);
    if (SUCCEEDED(hr))
        *out = scriptObject.Detach();
    return hr;
}

HRESULT CCrHookObject_Page::Exists(bool& exists)
{
    exists = tab_->IsAlive();
    return S_OK;
}

HRESULT CCrHookObject_Page::Moniker(BSTR* out)
{
    return CopyOutString(tab_->ObjectNamePrefix(treeModel_).Str(), out);
}

// ------------------------------------------------------------ IvxCrHookObject_Page

HRESULT CCrHookObject_Page::get_Url_20CA2177_DF2E_49af_AEF8_03D9776E4654(BSTR* value) noexcept
try {
    if (!value)
        return E_POINTER;
    *value = nullptr;
    PageState state = Refresh();
    *value = state.url.Get() ? state.url.Detach() : SysAllocString(L"");
    return *value ? S_OK : E_OUTOFMEMORY;
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::get_ObjectGroupIndex_20CA2177_DF2E_49af_AEF8_03D9776E4654(LONG* value) noexcept
try {
    if (!value)
        return E_POINTER;
    *value = -1;
    *value = Refresh().groupIndex;
    return S_OK;
}
VX_COM_CATCH

// ------------------------------------------------------------ IvxObjectControl

HRESULT CCrHookObject_Page::GetVisible(VARIANT_BOOL* visible) noexcept
try {
    if (!visible)
        return E_POINTER;
    *visible = VARIANT_FALSE;
    HWND window = nullptr;
    if (SUCCEEDED(tab_->TabWindow(window)))
        *visible = IsWindowVisible(window) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetScreenLeft(LONG* left) noexcept
try {
    return GetLeft(left);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetScreenTop(LONG* top) noexcept
try {
    return GetTop(top);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetWidth(LONG* width) noexcept
try {
    return WindowRectangleValue(width, [](const RECT& r) { return r.right - r.left; });
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetHeight(LONG* height) noexcept
try {
    return WindowRectangleValue(height, [](const RECT& r) { return r.bottom - r.top; });
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetLeft(LONG* left) noexcept
try {
    return WindowRectangleValue(left, [](const RECT& r) { return r.left; });
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetTop(LONG* top) noexcept
try {
    return WindowRectangleValue(top, [](const RECT& r) { return r.top; });
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetEnabled(VARIANT_BOOL* enabled) noexcept
try {
    return OutBool(enabled, true);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetOwnWindow(LONG_PTR* window, VARIANT_BOOL* hasOwnWindow) noexcept
try {
    if (!window || !hasOwnWindow)
        return E_POINTER;
    *window = 0;
    *hasOwnWindow = VARIANT_FALSE;
    HWND tabWindow = nullptr;
    HRESULT hr = tab_->TabWindow(tabWindow);
    if (FAILED(hr))
        return hr;
    *window = reinterpret_cast<LONG_PTR>(tabWindow);
    *hasOwnWindow = VARIANT_TRUE;
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetFocused(VARIANT_BOOL* focused) noexcept
try {
    if (!focused)
        return E_POINTER;
    *focused = VARIANT_FALSE;
    HWND window = nullptr;
    if (SUCCEEDED(tab_->TabWindow(window)) && window && GetFocus() == window)
        *focused = VARIANT_TRUE;
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::SetFocused(VARIANT_BOOL focused) noexcept
try {
    if (focused != VARIANT_FALSE)
        tab_->SetFocused(true);
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::MakeVisible(LONG, LONG) noexcept
try {
    tab_->Activate();
    return S_OK;
}
VX_COM_CATCH

// ------------------------------------------------------------ IvxEvaluateXPath

HRESULT CCrHookObject_Page::EvaluateXPath(BSTR expression, VARIANT* result) noexcept
try {
    if (!result)
        return E_POINTER;
    VariantInit(result);
    ComPtr<IDispatch> pageObject;
    HRESULT hr = tab_->GetPageQuickBrowserObject(pageObject, true);
    if (FAILED(hr))
        return hr;
    if (!pageObject)
        return E_FAIL;
    const BStr prefix = tab_->ObjectNamePrefix(treeModel_);
    return QuickBrowserObjectCalls(pageObject.Get()).EvaluateXPath(expression, prefix.Get(), result);
}
VX_COM_CATCH

// ------------------------------------------------------------ naming

HRESULT CCrHookObject_Page::IsMethod(VARIANT_BOOL* isMethod) noexcept
try {
    return OutBool(isMethod, true);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetMethodName(BSTR* methodName) noexcept
try {
    return CopyOutString(L"Page", methodName);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::IsProperty(VARIANT_BOOL* isProperty) noexcept
try {
    return OutBool(isProperty, false);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetParamCount(LONG* count) noexcept
try {
    if (!count)
        return E_POINTER;
    *count = Refresh().hasGroupIndex ? 2 : 1;
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetParamName(LONG index, BSTR* name) noexcept
try {
    const LONG count = Refresh().hasGroupIndex ? 2 : 1;
    if (index < 0 || index >= count)
        return E_INVALIDARG;
    return CopyOutString(index == 0 ? kUrlParam : kGroupIndexParam, name);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetAlias(BSTR* alias) noexcept
try {
    const PageState state = Refresh();
    return CopyOutString(BuildDefaultAlias(L"page", state.url.Get()), alias);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetAliasBase(BSTR* aliasBase) noexcept
try {
    return CopyOutString(L"Page", aliasBase);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetNamingSchemas(VARIANT* schemas) noexcept
try {
    return NamingSchemas(schemas);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::FindNamingSchema(BSTR methodName, LONG paramCount, IvxObjectNamingSchema** schema) noexcept
try {
    return FindSchema(methodName, paramCount, schema);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::UsesNamingSchemas(VARIANT_BOOL* uses) noexcept
try {
    return OutBool(uses, true);
}
VX_COM_CATCH

const vxOpenAppHook::ObjectNamingSchemaEntry* CCrHookObject_Page::NamingSchemaTable()
{
    return kPageSchemas;
}

int CCrHookObject_Page::NamingSchemaCount()
{
    return 2;
}

HRESULT CCrHookObject_Page::GetPropertyCount(LONG* count) noexcept
try {
    if (!count)
        return E_POINTER;
    *count = Refresh().hasGroupIndex ? 3 : 2;
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetPropertyName(LONG index, BSTR* name) noexcept
try {
    static constexpr const wchar_t* kNames[] = {kObjectTypeProperty, kObjectIdentifierProperty,
                                                kObjectGroupIndexProperty};
    const LONG count = Refresh().hasGroupIndex ? 3 : 2;
    if (index < 0 || index >= count)
        return E_INVALIDARG;
    return CopyOutString(kNames[index], name);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetRecordPropertyName(LONG index, BSTR* name) noexcept
try {
    static constexpr const wchar_t* kNames[] = {kObjectTypeProperty, kRecordUrlProperty, kObjectGroupIndexProperty};
    const LONG count = Refresh().hasGroupIndex ? 3 : 2;
    if (index < 0 || index >= count)
        return E_INVALIDARG;
    return CopyOutString(kNames[index], name);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetPivotWindow(HWND* window) noexcept
try {
    if (!window)
        return E_POINTER;
    *window = nullptr;
    return tab_->TabWindow(*window);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::IsVisualObject(VARIANT_BOOL* visual) noexcept
try {
    return OutBool(visual, true);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::IsContainerOnly(VARIANT_BOOL* containerOnly) noexcept
try {
    return OutBool(containerOnly, false);
}
VX_COM_CATCH

// ------------------------------------------------------------ tree

HRESULT CCrHookObject_Page::GetChildObjects(VxCrTestObjectList* list) noexcept
try {
    if (!list)
        return E_POINTER;
    ComPtr<IDispatch> pageObject;
    HRESULT hr = tab_->GetPageQuickBrowserObject(pageObject, true);
    if (FAILED(hr) || !pageObject)
        return hr;
    pageObject.Reset();
    ComPtr<ITestObjectTab> tab = tab_;
    return CollectChildTestObjects(
        tab.Get(), treeModel_,
        [tab](ComPtr<IDispatch>& object) {
            HRESULT fetched = tab->GetPageQuickBrowserObject(object, false);
            return SUCCEEDED(fetched) && !object ? E_UNEXPECTED : fetched;
        },
        *list);
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetModelFlag(BYTE* treeModel) noexcept
try {
    if (!treeModel)
        return E_POINTER;
    *treeModel = treeModel_ ? 1 : 0;
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_Page::GetTab(IUnknown** tab) noexcept
try {
    if (!tab)
        return E_POINTER;
    *tab = tab_.Get();
    (*tab)->AddRef();
    return S_OK;
}
VX_COM_CATCH

} // namespace vxCrTestObjects
