#pragma once
// The script object of a node, shared by the native-object stand-ins:
// IDispatch over the stand-in's members, DISPIDs being the member
// identifiers. Reads with DISPATCH_PROPERTYGET, calls with DISPATCH_METHOD;
// node results come back as script objects themselves. It holds a handle of
// its node, given back when it goes. `Owner` offers the native object's
// GetIDOfName, GetProperty, Invoke and ReleaseNode, its renderer thread
// (`Renderer().Run`) and the accounting of script objects' handles
// (AdoptScriptObjectHandle, ReleaseScriptObjectHandle).
#include <windows.h>

#include <vector>

#include "generated/vxCrHook.h"
#include "platform/com/BStr.h"
#include "platform/com/ComObject.h"
#include "platform/com/Variant.h"

namespace harness {

template <class Owner>
class NodeScriptObject : public vx::com::ComObject<NodeScriptObject<Owner>, IDispatch>
{
public:
    NodeScriptObject(Owner* owner, NodeImpl* handle) : owner_(owner), handle_(handle)
    {
        owner_->AdoptScriptObjectHandle();
    }
    ~NodeScriptObject() override { owner_->ReleaseScriptObjectHandle(handle_); }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!names || !ids)
            return E_POINTER;
        struct Call
        {
            NodeScriptObject* self;
            LPOLESTR* names;
            UINT count;
            DISPID* ids;
        } call{this, names, count, ids};
        return owner_->Renderer().Run(
            [](void* context) -> HRESULT {
                auto& c = *static_cast<Call*>(context);
                return c.self->NamesOnRenderer(c.names, c.count, c.ids);
            },
            &call, 10000);
    }
    HRESULT NamesOnRenderer(LPOLESTR* names, UINT count, DISPID* ids)
    {
        HRESULT result = S_OK;
        for (UINT i = 0; i < count; ++i) {
            vx::com::BStr name(names[i]);
            LONG member = 0;
            if (FAILED(owner_->GetIDOfName(name.Get(), &member))) {
                ids[i] = DISPID_UNKNOWN;
                result = DISP_E_UNKNOWNNAME;
            } else {
                ids[i] = member;
            }
        }
        return result;
    }
    // Script runs on the renderer thread: a call from another thread waits
    // for it there, as a page's script objects do.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override
    {
        struct Call
        {
            NodeScriptObject* self;
            DISPID id;
            WORD flags;
            DISPPARAMS* params;
            VARIANT* result;
        } call{this, id, flags, params, result};
        return owner_->Renderer().Run(
            [](void* context) -> HRESULT {
                auto& c = *static_cast<Call*>(context);
                return c.self->InvokeOnRenderer(c.id, c.flags, c.params, c.result);
            },
            &call, 10000);
    }

    // Answers the private IID with the object itself, so that a script
    // object passed back as an argument is known as its node.
    void* QueryExtraInterface(REFIID riid) override
    {
        return IsEqualIID(riid, kOwnScriptObject) ? static_cast<IDispatch*>(this) : nullptr;
    }

private:
    // {7A4F2C19-5E8B-4D61-9C03-B2E6A1D84F57}
    static constexpr GUID kOwnScriptObject = {
        0x7A4F2C19, 0x5E8B, 0x4D61, {0x9C, 0x03, 0xB2, 0xE6, 0xA1, 0xD8, 0x4F, 0x57}};

    // A script object of this page given as an argument stands for its node,
    // as the native object's calls take nodes.
    void ArgumentsAsNodes(DISPPARAMS* params, std::vector<VARIANT>& arguments, DISPPARAMS& converted)
    {
        converted = *params;
        arguments.assign(params->rgvarg, params->rgvarg + params->cArgs);
        for (VARIANT& argument : arguments) {
            if (V_VT(&argument) != VT_DISPATCH || !V_DISPATCH(&argument))
                continue;
            Microsoft::WRL::ComPtr<IUnknown> own;
            if (SUCCEEDED(V_DISPATCH(&argument)->QueryInterface(kOwnScriptObject, &own))) {
                auto* script = static_cast<NodeScriptObject*>(static_cast<IDispatch*>(own.Get()));
                V_VT(&argument) = VT_PTR;
                V_BYREF(&argument) = script->handle_; // borrowed for the call
            }
        }
        converted.rgvarg = arguments.data();
    }

    HRESULT InvokeOnRenderer(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result)
    {
        vx::com::Variant value;
        bool call = (flags & DISPATCH_METHOD) && (!(flags & DISPATCH_PROPERTYGET) || (params && params->cArgs));
        std::vector<VARIANT> arguments;
        DISPPARAMS converted{};
        if (call && params && params->cArgs)
            ArgumentsAsNodes(params, arguments, converted);
        HRESULT hr = call ? owner_->Invoke(handle_, id, arguments.empty() ? params : &converted, value.Get())
                          : owner_->GetProperty(handle_, id, value.Get());
        if (FAILED(hr))
            return hr;
        if (value.Type() == VT_PTR) {
            auto* node = static_cast<NodeImpl*>(V_BYREF(value.Get()));
            V_VT(value.Get()) = VT_EMPTY;
            Microsoft::WRL::ComPtr<NodeScriptObject> wrapped;
            hr = vx::com::CreateComObject(wrapped, owner_.Get(), node);
            if (FAILED(hr)) {
                owner_->ReleaseNode(node);
                return hr;
            }
            V_VT(value.Get()) = VT_DISPATCH;
            V_DISPATCH(value.Get()) = wrapped.Detach();
        }
        if (result)
            value.Detach(result);
        return S_OK;
    }

private:
    Microsoft::WRL::ComPtr<Owner> owner_;
    NodeImpl* handle_;
};


// A script object of a node the owner issued `handle` of; takes the handle
// over, also when it fails.
template <class Owner>
HRESULT CreateNodeScriptObject(Owner* owner, NodeImpl* handle, IDispatch** object)
{
    Microsoft::WRL::ComPtr<NodeScriptObject<Owner>> script;
    HRESULT hr = vx::com::CreateComObject(script, owner, handle);
    if (FAILED(hr)) {
        owner->ReleaseNode(handle);
        return hr;
    }
    *object = script.Detach();
    return S_OK;
}

} // namespace harness
