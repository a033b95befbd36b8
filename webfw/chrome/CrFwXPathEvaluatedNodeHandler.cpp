#include "webfw/chrome/CrFwXPathEvaluatedNodeHandler.h"

#include <string>

#include "openapphook/HookObjectWithMonikerAndInstance.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/chrome/CrFwAdapters.h"

using Microsoft::WRL::ComPtr;
using vxWebFw::Recognizing::RecognizedNode;

namespace {

constexpr long kDomObjectModel = 0;
constexpr long kTreeObjectModel = 3;

} // namespace

CCrFwXPathEvaluatedNodeHandler::CCrFwXPathEvaluatedNodeHandler(CCrRawBrowserHelper* helper, BSTR monikerPrefix)
    : helper_(helper), monikerPrefix_(monikerPrefix ? std::wstring_view(monikerPrefix, SysStringLen(monikerPrefix))
                                                    : std::wstring_view())
{
}

bool CCrFwXPathEvaluatedNodeHandler::IsCurrentModelObject(RecognizedNode& element)
{
    CCrFwAdapters* adapters = helper_ ? helper_->Adapters() : nullptr;
    if (!adapters || !adapters->optionsProvider)
        return false;
    vxWebFw::Recognizing::INodeAcceptor* acceptor = adapters->nodeAcceptor.get();
    switch (adapters->optionsProvider->GetObjectModel()) {
    case kDomObjectModel:
        return vxWebFw::DOMModel::CDOMModelAllWalk::IsAllMember(element, acceptor) ||
               vxWebFw::DOMModel::CDOMModelFramesWalk::IsFramesMember(element, acceptor);
    case kTreeObjectModel:
        return adapters->treeItemsBuild &&
               adapters->treeItemsBuild->GetCategory(element.GetNode(), acceptor) != vxWebFw::TreeModel::ticNone;
    default:
        return false;
    }
}

HRESULT CCrFwXPathEvaluatedNodeHandler::BuildInstancePath(RecognizedNode& element,
                                                          const std::vector<RecognizedNode>& frameChain, BSTR* path)
{
    if (!path)
        return E_POINTER;
    *path = nullptr;
    if (!helper_)
        return E_POINTER;
    std::wstring text(monikerPrefix_.View());
    for (const RecognizedNode& frame : frameChain) {
        vx::com::BStr id;
        HRESULT hr = helper_->GetNodeIdString(frame.GetNode(), id.Out());
        if (FAILED(hr))
            return hr;
        text += id.View();
        text += L'!';
    }
    vx::com::BStr id;
    HRESULT hr = helper_->GetNodeIdString(element.GetNode(), id.Out());
    if (FAILED(hr))
        return hr;
    text += id.View();
    *path = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *path ? S_OK : E_OUTOFMEMORY;
}

HRESULT CCrFwXPathEvaluatedNodeHandler::HandleNode(RecognizedNode& node, const std::vector<RecognizedNode>& frameChain,
                                                   VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    long nodeType = node.GetNodeType();
    if (nodeType != vxWebFw::Recognizing::ntElement && nodeType != vxWebFw::Recognizing::ntAttribute)
        return S_FALSE;
    if (!helper_)
        return E_POINTER;

    ComPtr<IDispatch> script;
    HRESULT hr = helper_->GetNodeScriptObject(node.GetNode(), &script);
    if (FAILED(hr))
        return hr;

    vx::com::BStr path;
    if (nodeType == vxWebFw::Recognizing::ntElement && IsCurrentModelObject(node)) {
        hr = BuildInstancePath(node, frameChain, path.Out());
        if (FAILED(hr))
            return hr;
    }

    ComPtr<IDispatch> object;
    hr = vxOpenAppHook::CHookObjectWithMonikerAndInstance::Create(helper_->GetStubManager(), script.Get(), path.Get(),
                                                                  &object);
    if (FAILED(hr))
        return hr;
    value->vt = VT_DISPATCH;
    value->pdispVal = object.Detach();
    return S_OK;
}
