#include "openapphook/DispDriver.h"

#include <oleauto.h>

#include "platform/com/BStr.h"
#include "platform/com/BorrowedVariant.h"
#include "platform/com/ExcepInfo.h"

namespace vxOpenAppHook {

using Microsoft::WRL::ComPtr;
using vx::com::Variant;

namespace {

// An object whose "OleValue" leads to objects again and again (or to
// itself) is not a string; the read stops there instead of recursing until
// the stack runs out.
constexpr int MaxOleValueDepth = 32;

// A parent chain longer than this is taken for a cycle in the host's tree.
constexpr int MaxAncestorSteps = 100000;

// Driver failure codes that are no HRESULTs: the plain Windows error codes.
constexpr HRESULT NoDispatchCode = ERROR_INVALID_STATE; // 5023

bool ToBool(const Variant& value) noexcept
{
    Variant converted;
    if (FAILED(VariantChangeType(converted.Get(), const_cast<VARIANT*>(value.Get()), 0, VT_BOOL)))
        return false;
    return V_BOOL(converted.Get()) != VARIANT_FALSE;
}

void ThrowIfFailed(HRESULT hr, int callSite)
{
    if (FAILED(hr))
        throw CvxBadHRInvokeException(hr, callSite);
}

} // namespace

CvxDispDriver::CvxDispDriver(const VARIANT& value)
{
    IUnknown* unknown = nullptr;
    switch (V_VT(&value)) {
    case VT_DISPATCH:
        dispatch_ = V_DISPATCH(&value);
        return;
    case VT_DISPATCH | VT_BYREF:
        dispatch_ = V_DISPATCHREF(&value) ? *V_DISPATCHREF(&value) : nullptr;
        return;
    case VT_UNKNOWN:
        unknown = V_UNKNOWN(&value);
        break;
    case VT_UNKNOWN | VT_BYREF:
        unknown = V_UNKNOWNREF(&value) ? *V_UNKNOWNREF(&value) : nullptr;
        break;
    default:
        break;
    }
    if (!unknown || FAILED(unknown->QueryInterface(IID_PPV_ARGS(&dispatch_))))
        throw CvxBadHRInvokeException(E_INVALIDARG, CallSiteDriverFromVariant);
}

IDispatch* CvxDispDriver::Required() const
{
    if (!dispatch_)
        throw CvxBadHRInvokeException(NoDispatchCode, CallSiteNoDispatch);
    return dispatch_.Get();
}

DISPID CvxDispDriver::FindDispId(const wchar_t* name) const
{
    IDispatch* target = Required();
    ComPtr<IDispatch2> batch;
    if (SUCCEEDED(target->QueryInterface(IID_PPV_ARGS(&batch))) && batch)
        target = batch.Get();
    LPOLESTR names[] = {const_cast<LPOLESTR>(name ? name : L"")};
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &dispid);
    if (FAILED(hr))
        throw CvxBadHRInvokeException(hr, CallSiteFindDispId, name);
    return dispid;
}

bool CvxDispDriver::HasMember(const wchar_t* name) const
{
    if (!dispatch_)
        return false;
    try {
        FindDispId(name);
        return true;
    } catch (const CvxInvokeException&) {
        return false;
    }
}

Variant CvxDispDriver::Call(const wchar_t* name, WORD flags, const VARIANT* const* arguments, unsigned count,
                            int callSite) const
{
    IDispatch* target = Required();
    const DISPID dispid = FindDispId(name);
    // Invoke takes the arguments last to first; the copies are shallow, the
    // callee only reads them.
    VARIANT reversed[2];
    for (unsigned i = 0; i < count; ++i)
        reversed[count - 1 - i] = *arguments[i];
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{};
    parameters.rgvarg = count ? reversed : nullptr;
    parameters.cArgs = count;
    const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    if (put) {
        parameters.rgdispidNamedArgs = &putId;
        parameters.cNamedArgs = 1;
    }
    Variant result;
    vx::com::ExcepInfo exceptionInfo;
    UINT argumentError = 0;
    HRESULT hr = target->Invoke(dispid, IID_NULL, LOCALE_SYSTEM_DEFAULT, flags, &parameters,
                                put ? nullptr : result.Get(), exceptionInfo.Get(), &argumentError);
    if (FAILED(hr))
        throw CvxBadHRInvokeException(hr, callSite, name, exceptionInfo.Fill());
    return result;
}

std::wstring CvxDispDriver::GetPropertyString(const wchar_t* name) const
{
    return ReadString(name, 0);
}

std::wstring CvxDispDriver::ReadString(const wchar_t* name, int depth) const
{
    Variant value = Call(name, DISPATCH_PROPERTYGET, nullptr, 0, CallSiteGetProperty);
    const VARIANT* read = value.Get();
    if (V_VT(read) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(read))
        read = V_VARIANTREF(read);
    if (V_VT(read) == VT_DISPATCH || V_VT(read) == (VT_BYREF | VT_DISPATCH)) {
        IDispatch* object =
            V_VT(read) == VT_DISPATCH ? V_DISPATCH(read) : (V_DISPATCHREF(read) ? *V_DISPATCHREF(read) : nullptr);
        if (!object)
            return std::wstring();
        if (depth >= MaxOleValueDepth)
            throw CvxBadHRInvokeException(DISP_E_TYPEMISMATCH, CallSiteOleValueDepth, name);
        return CvxDispDriver(object).ReadString(L"OleValue", depth + 1);
    }
    Variant text;
    HRESULT hr = VariantChangeType(text.Get(), const_cast<VARIANT*>(read), 0, VT_BSTR);
    if (FAILED(hr))
        throw CvxBadHRInvokeException(hr, CallSiteStringConversion, name);
    BSTR string = V_BSTR(text.Get());
    return string ? std::wstring(string, SysStringLen(string)) : std::wstring();
}

int CvxDispDriver::GetPropertyInt(const wchar_t* name) const
{
    Variant value = Call(name, DISPATCH_PROPERTYGET, nullptr, 0, CallSiteGetProperty);
    Variant number;
    HRESULT hr = VariantChangeType(number.Get(), value.Get(), 0, VT_INT);
    if (FAILED(hr))
        throw CvxBadHRInvokeException(hr, CallSiteIntConversion, name);
    return V_INT(number.Get());
}

CvxDispDriver CvxDispDriver::GetPropertyDispatch(const wchar_t* name) const
{
    Variant value = Call(name, DISPATCH_PROPERTYGET, nullptr, 0, CallSiteGetProperty);
    Variant object;
    HRESULT hr = VariantChangeType(object.Get(), value.Get(), 0, VT_DISPATCH);
    if (FAILED(hr))
        throw CvxBadHRInvokeException(hr, CallSiteDispatchConversion, name);
    return CvxDispDriver(V_DISPATCH(object.Get()));
}

Variant CvxDispDriver::GetPropertyVariant(const wchar_t* name) const
{
    return Call(name, DISPATCH_PROPERTYGET, nullptr, 0, CallSiteGetProperty);
}

void CvxDispDriver::PutProperty(const wchar_t* name, const VARIANT& value) const
{
    const VARIANT* list[] = {&value};
    Call(name, DISPATCH_PROPERTYPUT, list, 1, CallSitePutProperty);
}

Variant CvxDispDriver::InvokeMethod(const wchar_t* name) const
{
    return Call(name, DISPATCH_METHOD, nullptr, 0, CallSiteInvokeMethod);
}

Variant CvxDispDriver::InvokeMethod(const wchar_t* name, const VARIANT& argument) const
{
    const VARIANT* list[] = {&argument};
    return Call(name, DISPATCH_METHOD, list, 1, CallSiteInvokeMethod);
}

Variant CvxDispDriver::InvokeMethod(const wchar_t* name, const VARIANT& first, const VARIANT& second) const
{
    const VARIANT* list[] = {&first, &second};
    return Call(name, DISPATCH_METHOD, list, 2, CallSiteInvokeMethod);
}

namespace {

// Decides equality by one test object's kind of native object; `decided`
// stays false for kinds this library does not know.
bool EqualsByNativeKind(IvxObject* testObject, IDispatch* object, bool& decided)
{
    decided = false;
    ComPtr<IDispatch> native;
    ThrowIfFailed(testObject->GetNativeObject(&native), CallSiteTreeNode);
    vx::com::BStr kindName;
    ThrowIfFailed(testObject->GetNativePropertyName(kindName.Out()), CallSiteTreeNode);
    const std::wstring_view kind = kindName.View();
    const CvxDispDriver nativeObject(native.Get());
    const CvxDispDriver given(object);
    const VARIANT nativeValue = vx::com::BorrowedDispatch(native.Get());
    const VARIANT givenValue = vx::com::BorrowedDispatch(object);

    decided = true;
    if (kind == L"NativeClrObject") {
        // An application domain stands for a whole runtime, never for one
        // object.
        if (nativeObject.GetPropertyString(L"ClrFullClassName") == L"System.AppDomain")
            return false;
        return ToBool(nativeObject.InvokeMethod(L"ReferenceEquals", nativeValue, givenValue));
    }
    if (kind == L"NativeJavaObject") {
        try {
            return ToBool(nativeObject.InvokeMethod(L"equals", givenValue));
        } catch (const CvxInvokeException&) {
            return false;
        }
    }
    if (kind == L"NativeDelphiObject" || kind == L"NativeCPPObject")
        return given.GetPropertyInt(L"InstancePtr") == nativeObject.GetPropertyInt(L"InstancePtr");
    if (kind == L"NativeQtObject") {
        if (!given.HasMember(L"IsEqual"))
            return false;
        return ToBool(given.InvokeMethod(L"IsEqual", nativeValue));
    }
    if (kind == L"NativeChromeObject")
        return ToBool(nativeObject.InvokeMethod(L"isEqualNode", givenValue));
    decided = false;
    return false;
}

ComPtr<IvxObjectTreeNode> SearchChildren(IvxObjectTreeNode* node, IDispatch* object)
{
    LONG count = 0;
    ThrowIfFailed(node->GetChildCount(&count), CallSiteTreeNode);
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IvxObjectTreeNode> child;
        ThrowIfFailed(node->GetChild(i, &child), CallSiteTreeNode);
        if (!child)
            continue;
        if (NativeObjectEquals(child.Get(), object))
            return child;
        if (ComPtr<IvxObjectTreeNode> found = SearchChildren(child.Get(), object))
            return found;
    }
    return nullptr;
}

} // namespace

bool NativeObjectEquals(IvxObjectTreeNode* node, IDispatch* object)
{
    if (!node)
        throw CvxInvokeException(CvxInvokeException::LevelError, InvokeErrorMessage, InvokeErrorReasonsText);
    LONG count = 0;
    ThrowIfFailed(node->GetEntryCount(&count), CallSiteTreeNode);
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IUnknown> entry;
        ThrowIfFailed(node->GetEntry(i, &entry), CallSiteTreeNode);
        ComPtr<IvxObject> testObject;
        if (!entry || FAILED(entry.As(&testObject)) || !testObject)
            continue;
        bool decided = false;
        const bool equal = EqualsByNativeKind(testObject.Get(), object, decided);
        if (decided)
            return equal;
    }
    return false;
}

ComPtr<IvxObjectTreeNode> FindNodeByNativeObject(IvxObjectTreeNode* node, IDispatch* object, bool refreshFirst)
{
    if (!node)
        return nullptr;
    if (refreshFirst)
        ThrowIfFailed(node->Refresh(), CallSiteTreeNode);
    return SearchChildren(node, object);
}

ComPtr<IvxObjectTreeNode> FindNodeOrAncestorByNativeObject(IvxObjectTreeNode* node, IDispatch* object)
{
    ComPtr<IvxObjectTreeNode> current(node);
    for (int step = 0; current && step < MaxAncestorSteps; ++step) {
        if (NativeObjectEquals(current.Get(), object))
            return current;
        ComPtr<IvxObjectTreeNode> parent;
        ThrowIfFailed(current->GetParent(&parent), CallSiteTreeNode);
        current = std::move(parent);
    }
    return nullptr;
}

} // namespace vxOpenAppHook
