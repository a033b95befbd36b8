#include "harness/enginetree/EngineTree.h"

#include <oleauto.h>

namespace vxtest {

using Microsoft::WRL::ComPtr;

namespace {

template <class T>
ComPtr<T> AdoptNew(T* object)
{
    ComPtr<T> held;
    held.Attach(object);
    return held;
}

} // namespace

// ---------------------------------------------------------------- test object

CTestTreeObject::CTestTreeObject(IDispatch* nativeObject, const wchar_t* nativeKind)
    : nativeObject_(nativeObject), nativeKind_(nativeKind ? nativeKind : L"")
{
}

ComPtr<CTestTreeObject> CTestTreeObject::Create(IDispatch* nativeObject, const wchar_t* nativeKind)
{
    return AdoptNew(new CTestTreeObject(nativeObject, nativeKind));
}

STDMETHODIMP CTestTreeObject::QueryInterface(REFIID riid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IvxObject)) {
        *object = static_cast<IvxObject*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CTestTreeObject::AddRef()
{
    return ++references_;
}

STDMETHODIMP_(ULONG) CTestTreeObject::Release()
{
    ULONG left = --references_;
    if (left == 0)
        delete this;
    return left;
}

STDMETHODIMP CTestTreeObject::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP CTestTreeObject::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestTreeObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestTreeObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestTreeObject::GetIdentifierString(BSTR* identifier)
{
    if (!identifier)
        return E_POINTER;
    *identifier = nullptr;
    return S_OK;
}

STDMETHODIMP CTestTreeObject::GetNativeObject(IDispatch** nativeObject)
{
    if (!nativeObject)
        return E_POINTER;
    *nativeObject = nativeObject_.Get();
    if (*nativeObject)
        (*nativeObject)->AddRef();
    return S_OK;
}

STDMETHODIMP CTestTreeObject::GetNativePropertyName(BSTR* propertyName)
{
    if (!propertyName)
        return E_POINTER;
    *propertyName = SysAllocString(nativeKind_.c_str());
    return *propertyName ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CTestTreeObject::GetExists(VARIANT_BOOL* exists)
{
    if (!exists)
        return E_POINTER;
    *exists = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CTestTreeObject::GetMoniker(BSTR* moniker)
{
    if (!moniker)
        return E_POINTER;
    *moniker = nullptr;
    return S_OK;
}

STDMETHODIMP CTestTreeObject::GetCreationValue(LONG* creationValue)
{
    if (!creationValue)
        return E_POINTER;
    *creationValue = 0;
    return S_OK;
}

// ---------------------------------------------------------------- tree node

ComPtr<CTestTreeNode> CTestTreeNode::Create()
{
    return AdoptNew(new CTestTreeNode());
}

ComPtr<CTestTreeNode> CTestTreeNode::AddChild()
{
    ComPtr<CTestTreeNode> child = Create();
    child->parent_ = this;
    std::lock_guard<std::mutex> guard(lock_);
    children_.push_back(child);
    return child;
}

void CTestTreeNode::AddEntry(IUnknown* entry)
{
    std::lock_guard<std::mutex> guard(lock_);
    entries_.emplace_back(entry);
}

void CTestTreeNode::SetRefreshAction(void (*action)(CTestTreeNode& node))
{
    refreshAction_ = action;
}

STDMETHODIMP CTestTreeNode::QueryInterface(REFIID riid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == __uuidof(IvxObjectTreeNode))
        *object = static_cast<IvxObjectTreeNode*>(this);
    else if (riid == IID_IDispatch)
        *object = static_cast<IDispatch*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ComPtr<IvxObject> CTestTreeNode::FirstTestObject()
{
    std::lock_guard<std::mutex> guard(lock_);
    for (const ComPtr<IUnknown>& entry : entries_) {
        ComPtr<IvxObject> object;
        if (entry && SUCCEEDED(entry.As(&object)))
            return object;
    }
    return nullptr;
}

STDMETHODIMP CTestTreeNode::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP CTestTreeNode::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return E_NOTIMPL;
}

// DISPID 1: the native object, under the first test object's property name.
STDMETHODIMP CTestTreeNode::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    ComPtr<IvxObject> object = FirstTestObject();
    BSTR propertyName = nullptr;
    const bool known = object && SUCCEEDED(object->GetNativePropertyName(&propertyName)) && propertyName &&
                       count == 1 && _wcsicmp(propertyName, names[0]) == 0;
    SysFreeString(propertyName);
    if (!known)
        return DISP_E_UNKNOWNNAME;
    ids[0] = 1;
    return S_OK;
}

STDMETHODIMP CTestTreeNode::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*)
{
    if (id != 1)
        return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_PROPERTYGET) || !result)
        return DISP_E_TYPEMISMATCH;
    ComPtr<IvxObject> object = FirstTestObject();
    IDispatch* nativeObject = nullptr;
    HRESULT hr = object ? object->GetNativeObject(&nativeObject) : E_FAIL;
    if (FAILED(hr))
        return hr;
    VariantInit(result);
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = nativeObject;
    return S_OK;
}

STDMETHODIMP_(ULONG) CTestTreeNode::AddRef()
{
    return ++references_;
}

STDMETHODIMP_(ULONG) CTestTreeNode::Release()
{
    ULONG left = --references_;
    if (left == 0)
        delete this;
    return left;
}

STDMETHODIMP CTestTreeNode::GetChildCount(LONG* count)
{
    if (!count)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    *count = static_cast<LONG>(children_.size());
    return S_OK;
}

STDMETHODIMP CTestTreeNode::GetChild(LONG index, IvxObjectTreeNode** child)
{
    if (!child)
        return E_POINTER;
    *child = nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    if (index < 0 || static_cast<size_t>(index) >= children_.size())
        return E_INVALIDARG;
    *child = children_[static_cast<size_t>(index)].Get();
    (*child)->AddRef();
    return S_OK;
}

STDMETHODIMP CTestTreeNode::Refresh()
{
    ++refreshCount_;
    if (refreshAction_)
        refreshAction_(*this);
    return S_OK;
}

STDMETHODIMP CTestTreeNode::GetParent(IvxObjectTreeNode** parent)
{
    if (!parent)
        return E_POINTER;
    *parent = parent_;
    if (*parent)
        (*parent)->AddRef();
    return S_OK;
}

STDMETHODIMP CTestTreeNode::GetEntryCount(LONG* count)
{
    if (!count)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    *count = static_cast<LONG>(entries_.size());
    return S_OK;
}

STDMETHODIMP CTestTreeNode::GetEntry(LONG index, IUnknown** entry)
{
    if (!entry)
        return E_POINTER;
    *entry = nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    if (index < 0 || static_cast<size_t>(index) >= entries_.size())
        return E_INVALIDARG;
    *entry = entries_[static_cast<size_t>(index)].Get();
    if (*entry)
        (*entry)->AddRef();
    return S_OK;
}

} // namespace vxtest
