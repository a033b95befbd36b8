#include "quickbrowser/accessor/RawBrowserHelper.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/com/Variant.h"
#include "quickbrowser/accessor/ElementAttributes.h"
#include "webfw/NativeModel/NodeHandle.h"

namespace {

// A result VARIANT of the native object. A node handle left in it when it
// goes (a value of the wrong kind, an ignored call result) is given back, so
// no read leaves a handle behind.
class ResultVariant
{
public:
    explicit ResultVariant(IvxCrNativeChromeObject* native) : native_(native) {}
    ~ResultVariant()
    {
        if (V_VT(&v_) == VT_PTR && V_BYREF(&v_) && native_)
            native_->ReleaseNode(static_cast<NodeImpl*>(V_BYREF(&v_)));
        else
            VariantClear(&v_);
    }
    ResultVariant(const ResultVariant&) = delete;
    ResultVariant& operator=(const ResultVariant&) = delete;

    VARIANT* Get() { return &v_; }
    VARTYPE Type() const { return V_VT(&v_); }
    // Hands the held node handle to the caller.
    NodeImpl* TakeNode()
    {
        NodeImpl* node = static_cast<NodeImpl*>(V_BYREF(&v_));
        V_VT(&v_) = VT_EMPTY;
        return node;
    }
    BSTR TakeString()
    {
        BSTR s = V_BSTR(&v_);
        V_VT(&v_) = VT_EMPTY;
        return s;
    }

private:
    IvxCrNativeChromeObject* native_;
    VARIANT v_{};
};

} // namespace

CCrRawBrowserHelper::CCrRawBrowserHelper() : options_(std::make_unique<CCrQuickBrowserOptions>()) {}

CCrRawBrowserHelper::~CCrRawBrowserHelper() = default;

HRESULT CCrRawBrowserHelper::AttachNative(IUnknown* stubManager, IvxCrNativeChromeObject* native,
                                          CCrFwAdaptersFactory makeAdapters)
{
    stubManager_.Reset();
    if (stubManager)
        stubManager->QueryInterface(__uuidof(vxOpenAppHook::IStubManager),
                                    reinterpret_cast<void**>(stubManager_.GetAddressOf()));
    native_ = native;
    // Member ids belong to the native object that gave them.
    memberIds_.clear();
    recentMembers_.fill(RecentMember{});
    if (native_) {
        native_->GetInfoString(infoString_.Out());
        native_->GetExclusionAttributeName(exclusionAttribute_.Out());
    }
    options_ = std::make_unique<CCrQuickBrowserOptions>();
    // The old adapters read through this accessor: they go first.
    adapters_.reset();
    if (makeAdapters)
        adapters_ = makeAdapters(this);
    return S_OK;
}

// ------------------------------------------------------------ native object operations

HRESULT CCrRawBrowserHelper::RunOnRendererThread(VxCrRendererThreadCallback callback, void* context)
{
    if (!native_)
        return E_POINTER;
    return native_->RunOnRendererThread(callback, context, options_->RendererCallTimeout());
}

LONG CCrRawBrowserHelper::GetBrowserWindow()
{
    return native_ ? native_->GetBrowserWindow() : 0;
}

HRESULT CCrRawBrowserHelper::GetWindowNode(NodeImpl** window)
{
    if (!window)
        return E_POINTER;
    *window = nullptr;
    return native_ ? native_->GetWindowNode(window) : E_POINTER;
}

HRESULT CCrRawBrowserHelper::CloneNode(NodeImpl* node, NodeImpl** clone)
{
    if (!clone)
        return E_POINTER;
    *clone = nullptr;
    return native_ ? native_->CloneNode(node, clone) : E_POINTER;
}

HRESULT CCrRawBrowserHelper::ReleaseNode(NodeImpl*& node)
{
    if (!node)
        return S_OK;
    HRESULT hr = native_ ? native_->ReleaseNode(node) : E_POINTER;
    node = nullptr;
    return hr;
}

HRESULT CCrRawBrowserHelper::GetNodeScriptObject(NodeImpl* node, IDispatch** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    return native_ ? native_->GetNodeScriptObject(node, object) : E_POINTER;
}

HRESULT CCrRawBrowserHelper::GetNodeScriptObjectEx(NodeImpl* node, BSTR members, IDispatch** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    return native_ ? native_->GetNodeScriptObjectEx(node, members, object) : E_POINTER;
}

HRESULT CCrRawBrowserHelper::CreateScriptCallback(IvxCrScriptCallback0* callback, ULONGLONG* cookie,
                                                  NodeImpl** function)
{
    if (!cookie || !function)
        return E_POINTER;
    *cookie = 0;
    *function = nullptr;
    return native_ ? native_->CreateScriptCallback(callback, cookie, function) : E_POINTER;
}

HRESULT CCrRawBrowserHelper::ReleaseScriptCallback(ULONGLONG cookie)
{
    return native_ ? native_->ReleaseScriptCallback(cookie) : E_POINTER;
}

HRESULT CCrRawBrowserHelper::GetNodeId(NodeImpl* node, LONG* id)
{
    *id = 0;
    return native_ ? native_->GetNodeId(node, id) : E_POINTER;
}

HRESULT CCrRawBrowserHelper::IsSameNode(NodeImpl* a, NodeImpl* b, bool* same)
{
    if (!same)
        return E_POINTER;
    *same = false;
    LONG idA = 0, idB = 0;
    if (SUCCEEDED(GetNodeId(a, &idA)) && SUCCEEDED(GetNodeId(b, &idB)))
        *same = idA == idB;
    return S_OK;
}

HRESULT CCrRawBrowserHelper::GetNodeIdString(NodeImpl* node, BSTR* id)
{
    if (!id)
        return E_POINTER;
    *id = nullptr;
    LONG number = 0;
    HRESULT hr = GetNodeId(node, &number);
    if (FAILED(hr))
        return hr;
    wchar_t text[16];
    swprintf(text, 16, L"%d", static_cast<int>(number));
    *id = SysAllocString(text);
    return *id ? S_OK : E_OUTOFMEMORY;
}

HRESULT CCrRawBrowserHelper::IsNodeAlive(NodeImpl* node, bool* alive)
{
    if (!alive)
        return E_POINTER;
    *alive = false;
    if (!native_)
        return E_POINTER;
    BOOL answer = FALSE;
    HRESULT hr = native_->IsNodeAlive(node, &answer);
    *alive = SUCCEEDED(hr) && answer != FALSE;
    return hr;
}

HRESULT CCrRawBrowserHelper::IsInside(NodeImpl* node, NodeImpl* container, bool* inside)
{
    if (!inside)
        return E_POINTER;
    *inside = false;
    LONG containerId = 0;
    HRESULT hr = GetNodeId(container, &containerId);
    if (FAILED(hr))
        return hr;
    vxWebFw::NodeHandle current(this);
    hr = CloneNode(node, current.Out());
    if (FAILED(hr))
        return hr;
    for (;;) {
        LONG id = 0;
        hr = GetNodeId(current.Get(), &id);
        if (FAILED(hr))
            return hr;
        if (id == containerId) {
            *inside = true;
            return S_OK;
        }
        vxWebFw::NodeHandle parent(this);
        if (FAILED(GetParentNode(current.Get(), parent.Out())) || !parent.Get())
            return S_OK; // the chain ends, however the missing parent was reported
        current = std::move(parent);
    }
}

// ------------------------------------------------------------ composite reads

HRESULT CCrRawBrowserHelper::GetAttribute(NodeImpl* node, const wchar_t* name, BSTR* value)
{
    CCrElementAttributes attributes(this, node);
    return attributes.Get(name, value);
}

HRESULT CCrRawBrowserHelper::HasExclusionAttribute(NodeImpl* node, bool* has)
{
    if (!has)
        return E_POINTER;
    *has = false;
    vx::com::BStr value;
    GetAttribute(node, exclusionAttribute_.Get() ? exclusionAttribute_.Get() : L"", value.Out());
    *has = !value.Empty();
    return S_OK;
}

HRESULT CCrRawBrowserHelper::IsDisabled(NodeImpl* node, bool* disabled)
{
    if (!disabled)
        return E_POINTER;
    *disabled = false;
    bool property = false;
    if (SUCCEEDED(GetDisabled(node, &property))) {
        *disabled = property;
        return S_OK;
    }
    vx::com::BStr value;
    GetAttribute(node, L"disabled", value.Out());
    if (value.Empty())
        return S_OK;
    // Lower case through the ANSI code page, as attribute values were always compared.
    int bytes =
        WideCharToMultiByte(CP_ACP, 0, value.Get(), static_cast<int>(value.Length()), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return S_OK;
    std::vector<char> text(static_cast<size_t>(bytes) + 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, value.Get(), static_cast<int>(value.Length()), text.data(), bytes, nullptr, nullptr);
    CharLowerBuffA(text.data(), static_cast<DWORD>(bytes));
    const char* lower = text.data();
    *disabled = !strcmp(lower, "yes") || !strcmp(lower, "on") || !strcmp(lower, "true") || !strcmp(lower, "disabled");
    return S_OK;
}

HRESULT CCrRawBrowserHelper::HasDefaultView(NodeImpl* document, bool* has)
{
    if (!has)
        return E_POINTER;
    *has = false;
    vxWebFw::NodeHandle window(this);
    GetDefaultView(document, window.Out());
    *has = window.Get() != nullptr;
    return S_OK;
}

HRESULT CCrRawBrowserHelper::GetIdWithFallback(NodeImpl* node, BSTR* id)
{
    CCrElementAttributes attributes(this, node);
    return GetElementIdWithFallback(attributes, id);
}

HRESULT CCrRawBrowserHelper::GetNameWithFallback(NodeImpl* node, BSTR* name)
{
    CCrElementAttributes attributes(this, node);
    return GetElementNameWithFallback(attributes, name);
}

HRESULT CCrRawBrowserHelper::GetElementIdWithFallback(CCrElementAttributes& attributes, BSTR* id)
{
    if (!id)
        return E_POINTER;
    *id = nullptr;
    vx::com::BStr property;
    if (SUCCEEDED(GetId(attributes.Element(), property.Out())) && !property.Empty()) {
        *id = property.Detach();
        return S_OK;
    }
    return attributes.Get(L"id", id);
}

HRESULT CCrRawBrowserHelper::GetElementNameWithFallback(CCrElementAttributes& attributes, BSTR* name)
{
    if (!name)
        return E_POINTER;
    *name = nullptr;
    vx::com::BStr property;
    if (SUCCEEDED(GetName(attributes.Element(), property.Out())) && !property.Empty()) {
        *name = property.Detach();
        return S_OK;
    }
    return attributes.Get(L"name", name);
}

// ------------------------------------------------------------ primitives

HRESULT CCrRawBrowserHelper::ResolveMember(const wchar_t* name, LONG* member)
{
    if (!member)
        return E_POINTER;
    *member = 0;
    if (!name)
        return E_INVALIDARG;
    RecentMember& recent = RecentSlot(name);
    if (recent.name == name && recent.text == name) {
        *member = recent.id;
        return S_OK;
    }
    auto found = memberIds_.find(std::wstring_view(name));
    if (found != memberIds_.end()) {
        recent = RecentMember{name, found->first, found->second};
        *member = found->second;
        return S_OK;
    }
    if (!native_)
        return E_POINTER;
    vx::com::BStr text(name);
    if (!text.Get())
        return E_OUTOFMEMORY;
    LONG id = 0;
    HRESULT hr = native_->GetIDOfName(text.Get(), &id);
    if (FAILED(hr))
        return hr; // not cached: asked again next time
    memberIds_.emplace(name, id);
    *member = id;
    return S_OK;
}

HRESULT CCrRawBrowserHelper::ReadVariant(NodeImpl* node, const wchar_t* name, VARIANT* value)
{
    LONG member = 0;
    HRESULT hr = ResolveMember(name, &member);
    if (FAILED(hr))
        return hr;
    return native_->GetProperty(node, member, value);
}

HRESULT CCrRawBrowserHelper::ReadNode(NodeImpl* node, const wchar_t* name, NodeImpl** value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    ResultVariant result(native_.Get());
    HRESULT hr = ReadVariant(node, name, result.Get());
    if (FAILED(hr))
        return hr;
    if (result.Type() != VT_PTR)
        return E_UNEXPECTED; // a null member or a value of another kind
    *value = result.TakeNode();
    return S_OK;
}

HRESULT CCrRawBrowserHelper::ReadString(NodeImpl* node, const wchar_t* name, BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    ResultVariant result(native_.Get());
    HRESULT hr = ReadVariant(node, name, result.Get());
    if (FAILED(hr))
        return hr;
    if (result.Type() != VT_BSTR)
        return E_UNEXPECTED;
    *value = result.TakeString();
    return S_OK;
}

HRESULT CCrRawBrowserHelper::ReadConverted(NodeImpl* node, const wchar_t* name, VARTYPE type, VARIANT* value)
{
    ResultVariant raw(native_.Get());
    HRESULT hr = ReadVariant(node, name, raw.Get());
    if (FAILED(hr))
        return hr;
    return VariantChangeType(value, raw.Get(), 0, type);
}

HRESULT CCrRawBrowserHelper::ReadLong(NodeImpl* node, const wchar_t* name, long* value)
{
    if (!value)
        return E_POINTER;
    *value = 0;
    ResultVariant raw(native_.Get());
    HRESULT hr = ReadVariant(node, name, raw.Get());
    if (FAILED(hr))
        return hr;
    if (raw.Type() == VT_I4) { // already the type asked for: no conversion
        *value = V_I4(raw.Get());
        return S_OK;
    }
    vx::com::Variant converted;
    hr = VariantChangeType(converted.Get(), raw.Get(), 0, VT_I4);
    if (SUCCEEDED(hr))
        *value = V_I4(converted.Get());
    return hr;
}

HRESULT CCrRawBrowserHelper::ReadBool(NodeImpl* node, const wchar_t* name, bool* value)
{
    if (!value)
        return E_POINTER;
    *value = false;
    vx::com::Variant converted;
    HRESULT hr = ReadConverted(node, name, VT_BOOL, converted.Get());
    if (SUCCEEDED(hr))
        *value = V_BOOL(converted.Get()) != VARIANT_FALSE;
    return hr;
}

HRESULT CCrRawBrowserHelper::ReadDouble(NodeImpl* node, const wchar_t* name, double* value)
{
    if (!value)
        return E_POINTER;
    *value = 0;
    vx::com::Variant converted;
    HRESULT hr = ReadConverted(node, name, VT_R8, converted.Get());
    if (SUCCEEDED(hr))
        *value = V_R8(converted.Get());
    return hr;
}

HRESULT CCrRawBrowserHelper::InvokeMember(NodeImpl* node, const wchar_t* name, const VARIANT* args, UINT count,
                                          VARIANT* result)
{
    if (count > 3)
        return E_INVALIDARG;
    LONG member = 0;
    HRESULT hr = ResolveMember(name, &member);
    if (FAILED(hr))
        return hr;
    // Arguments travel last first; they are copied by value, so the caller
    // keeps ownership of what they hold.
    VARIANT reversed[3];
    for (UINT i = 0; i < count; ++i)
        std::memcpy(&reversed[count - 1 - i], &args[i], sizeof(VARIANT));
    DISPPARAMS params = {count ? reversed : nullptr, nullptr, count, 0};
    return native_->Invoke(node, member, &params, result);
}

HRESULT CCrRawBrowserHelper::Call(NodeImpl* node, const wchar_t* name, const VARIANT* args, UINT count)
{
    ResultVariant result(native_.Get());
    return InvokeMember(node, name, args, count, result.Get());
}

HRESULT CCrRawBrowserHelper::CallForNode(NodeImpl* node, const wchar_t* name, const VARIANT* args, UINT count,
                                         NodeImpl** value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    ResultVariant result(native_.Get());
    HRESULT hr = InvokeMember(node, name, args, count, result.Get());
    if (FAILED(hr))
        return hr;
    if (result.Type() != VT_PTR)
        return E_UNEXPECTED;
    *value = result.TakeNode();
    return S_OK;
}

HRESULT CCrRawBrowserHelper::CallForOptionalNode(NodeImpl* node, const wchar_t* name, const VARIANT* args, UINT count,
                                                 NodeImpl** value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    ResultVariant result(native_.Get());
    HRESULT hr = InvokeMember(node, name, args, count, result.Get());
    if (FAILED(hr))
        return hr;
    if (result.Type() == VT_NULL || result.Type() == VT_EMPTY)
        return S_FALSE;
    if (result.Type() != VT_PTR)
        return E_UNEXPECTED;
    *value = result.TakeNode();
    return *value ? S_OK : S_FALSE;
}

HRESULT CCrRawBrowserHelper::CallForString(NodeImpl* node, const wchar_t* name, const VARIANT* args, UINT count,
                                           BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    ResultVariant result(native_.Get());
    HRESULT hr = InvokeMember(node, name, args, count, result.Get());
    if (FAILED(hr))
        return hr;
    vx::com::Variant converted;
    hr = VariantChangeType(converted.Get(), result.Get(), 0, VT_BSTR);
    if (FAILED(hr))
        return hr;
    *value = V_BSTR(converted.Get());
    V_VT(converted.Get()) = VT_EMPTY;
    return S_OK;
}
