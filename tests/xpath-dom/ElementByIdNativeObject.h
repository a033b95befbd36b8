#pragma once
// The snapshot stand-in with the document method getElementById added: every
// other operation goes to the stand-in unchanged. getElementById answers as
// the DOM does: the first element in tree order of that document (frame
// documents are separate documents) whose id attribute equals the argument
// exactly, or null; an empty id finds nothing. It can also be told to lose
// the COM error information of renderer-thread callbacks, as a native object
// that does not carry it to the caller would.
#include <functional>
#include <string>

#include "harness/nativeobject/SnapshotNativeObject.h"
#include "platform/com/ComObject.h"

namespace xpathtests {

class ElementByIdNativeObject : public vx::com::ComObject<ElementByIdNativeObject, IvxCrNativeChromeObject>
{
public:
    static constexpr LONG kGetElementById = 0x7FFF0001;

    explicit ElementByIdNativeObject(Microsoft::WRL::ComPtr<harness::SnapshotNativeObject> inner)
        : inner_(std::move(inner))
    {
    }

    long Lookups() const { return lookups_; }
    void DropRendererErrorInfo(bool drop) { dropErrorInfo_ = drop; }

    HRESULT STDMETHODCALLTYPE GetVersion(LONG* version) override { return inner_->GetVersion(version); }
    LONG STDMETHODCALLTYPE GetBrowserWindow() override { return inner_->GetBrowserWindow(); }
    HRESULT STDMETHODCALLTYPE GetInfoString(BSTR* info) override { return inner_->GetInfoString(info); }
    HRESULT STDMETHODCALLTYPE GetExclusionAttributeName(BSTR* name) override
    {
        return inner_->GetExclusionAttributeName(name);
    }
    HRESULT STDMETHODCALLTYPE GetWindowNode(NodeImpl** window) override { return inner_->GetWindowNode(window); }
    HRESULT STDMETHODCALLTYPE CloneNode(NodeImpl* node, NodeImpl** clone) override
    {
        return inner_->CloneNode(node, clone);
    }
    HRESULT STDMETHODCALLTYPE ReleaseNode(NodeImpl* node) override { return inner_->ReleaseNode(node); }
    HRESULT STDMETHODCALLTYPE GetNodeId(NodeImpl* node, LONG* id) override { return inner_->GetNodeId(node, id); }
    HRESULT STDMETHODCALLTYPE GetIDOfName(BSTR name, LONG* member) override
    {
        if (name && member && std::wstring(name) == L"getElementById") {
            *member = kGetElementById;
            return S_OK;
        }
        return inner_->GetIDOfName(name, member);
    }
    HRESULT STDMETHODCALLTYPE GetNameOfID(LONG member, BSTR* name) override
    {
        if (member == kGetElementById && name) {
            *name = SysAllocString(L"getElementById");
            return *name ? S_OK : E_OUTOFMEMORY;
        }
        return inner_->GetNameOfID(member, name);
    }
    HRESULT STDMETHODCALLTYPE HasMember(NodeImpl* node, LONG member, BOOL* present) override
    {
        if (member == kGetElementById && present) {
            *present = DocumentOf(node) != nullptr;
            return S_OK;
        }
        return inner_->HasMember(node, member, present);
    }
    HRESULT STDMETHODCALLTYPE GetProperty(NodeImpl* node, LONG member, VARIANT* value) override
    {
        return inner_->GetProperty(node, member, value);
    }
    HRESULT STDMETHODCALLTYPE PutProperty(NodeImpl* node, LONG member, VARIANT* value) override
    {
        return inner_->PutProperty(node, member, value);
    }
    HRESULT STDMETHODCALLTYPE Invoke(NodeImpl* node, LONG member, DISPPARAMS* params, VARIANT* result) override
    {
        if (member != kGetElementById)
            return inner_->Invoke(node, member, params, result);
        if (!result)
            return E_POINTER;
        VariantInit(result);
        ++lookups_;
        const harness::SnapDocument* document = DocumentOf(node);
        if (!document)
            return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 1 || V_VT(&params->rgvarg[0]) != VT_BSTR)
            return DISP_E_TYPEMISMATCH;
        std::wstring wanted(V_BSTR(&params->rgvarg[0]) ? V_BSTR(&params->rgvarg[0]) : L"");
        long found = wanted.empty() ? 0 : FirstWithId(document->node, wanted);
        if (!found) {
            V_VT(result) = VT_NULL;
            return S_OK;
        }
        V_VT(result) = VT_PTR;
        V_BYREF(result) = inner_->HandleOf(found);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNodeScriptObject(NodeImpl* node, IDispatch** object) override
    {
        return inner_->GetNodeScriptObject(node, object);
    }
    HRESULT STDMETHODCALLTYPE GetNodeScriptObjectEx(NodeImpl* node, BSTR members, IDispatch** object) override
    {
        return inner_->GetNodeScriptObjectEx(node, members, object);
    }
    HRESULT STDMETHODCALLTYPE RunOnRendererThread(VxCrRendererThreadCallback callback, void* context,
                                                  ULONG timeout) override
    {
        HRESULT hr = inner_->RunOnRendererThread(callback, context, timeout);
        if (dropErrorInfo_)
            SetErrorInfo(0, nullptr);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE CreateScriptCallback(IvxCrScriptCallback0* callback, ULONGLONG* cookie,
                                                   NodeImpl** function) override
    {
        return inner_->CreateScriptCallback(callback, cookie, function);
    }
    HRESULT STDMETHODCALLTYPE ReleaseScriptCallback(ULONGLONG cookie) override
    {
        return inner_->ReleaseScriptCallback(cookie);
    }
    HRESULT STDMETHODCALLTYPE IsNodeAlive(NodeImpl* node, BOOL* alive) override
    {
        return inner_->IsNodeAlive(node, alive);
    }

private:
    // The snapshot document whose document node the handle is, or null.
    const harness::SnapDocument* DocumentOf(NodeImpl* node)
    {
        long id = inner_->NodeIdOf(node);
        if (!id)
            return nullptr;
        for (const harness::SnapDocument& document : inner_->Page().documents)
            if (document.node == id)
                return &document;
        return nullptr;
    }

    long FirstWithId(long documentNode, const std::wstring& wanted)
    {
        const harness::SnapshotPage& page = inner_->Page();
        const int doc = page.Node(documentNode).doc;
        std::function<long(long)> search = [&](long parent) -> long {
            for (long child : page.Node(parent).children) {
                const harness::SnapNode& node = page.Node(child);
                if (node.removed || node.doc != doc)
                    continue;
                if (node.nodeType == 1)
                    for (const auto& attribute : node.attrs)
                        if (attribute.first == L"id" && attribute.second == wanted)
                            return child;
                if (long found = search(child))
                    return found;
            }
            return 0;
        };
        return search(documentNode);
    }

    Microsoft::WRL::ComPtr<harness::SnapshotNativeObject> inner_;
    long lookups_ = 0;
    bool dropErrorInfo_ = false;
};

} // namespace xpathtests
