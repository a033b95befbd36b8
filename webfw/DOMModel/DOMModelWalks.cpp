#include "webfw/DOMModel/DOMModelWalks.h"

#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "webfw/DOMModel/ObjectIdGenerator.h"
#include "webfw/NativeModel/NodeHandle.h"

namespace vxWebFw::DOMModel {

using namespace Recognizing;

namespace {

constexpr long kCollectionKey = 0;

bool IsFrame(long elementType)
{
    return elementType == etIFRAME || elementType == etFRAME;
}

// The page's structural elements have fixed names, whatever their id.
const wchar_t* FixedName(long elementType)
{
    switch (elementType) {
    case etHTML:
        return L"HTML";
    case etBODY:
        return L"BODY";
    case etHEAD:
        return L"HEAD";
    case etTITLE:
        return L"TITLE";
    default:
        return nullptr;
    }
}

} // namespace

bool CDOMModelAllWalk::IsAllMember(RecognizedNode& node, INodeAcceptor* acceptor)
{
    return acceptor && acceptor->Accept(node) && !IsFrame(node.GetElementType());
}

bool CDOMModelAllWalk::IsAllMember(NodeImpl* node, INodeAcceptor* acceptor)
{
    RecognizedNode recognized(node, set_);
    return IsAllMember(recognized, acceptor);
}

HRESULT CDOMModelAllWalk::DomAllBuild(IObjectEnumerator<NodeImpl*>& nodes, IDOMAllBuilder& builder,
                                      INodeAcceptor* acceptor)
{
    CObjectIdGeneratorThroughImpl ids;
    HRESULT hr = builder.Clear();
    if (FAILED(hr))
        return hr;
    HRESULT resetResult = nodes.Reset();
    if (FAILED(resetResult))
        return resetResult;

    for (;;) {
        NodeHandle current(&nodes); // given back to the enumerator that made it
        HRESULT next = nodes.Next(current.Out());
        if (next == S_FALSE)
            break;
        if (FAILED(next) || !current.Get())
            continue; // the enumerator has moved on; a node it could not give is passed over
        RecognizedNode node(current.Get(), set_);
        if (IsAllMember(node, acceptor)) {
            vx::com::BStr name;
            if (const wchar_t* fixed = FixedName(node.GetElementType()))
                name = vx::com::BStr(fixed);
            else if (stringIds_)
                stringIds_->Evaluate(node, name.Out());
            vx::com::Variant id;
            if (SUCCEEDED(ids.Generate(kCollectionKey, name.Get(), false, id.Get())))
                builder.Add(node, *id);
        } else {
            ids.Skip(kCollectionKey);
        }
    }
    return resetResult;
}

bool CDOMModelFramesWalk::IsFramesMember(RecognizedNode& node, INodeAcceptor* acceptor)
{
    return acceptor && acceptor->Accept(node) && IsFrame(node.GetElementType());
}

bool CDOMModelFramesWalk::IsFramesMember(NodeImpl* node, INodeAcceptor* acceptor)
{
    RecognizedNode recognized(node, set_);
    return IsFramesMember(recognized, acceptor);
}

HRESULT CDOMModelFramesWalk::DomFramesBuild(IObjectEnumerator<NodeImpl*>& nodes, IDOMFramesBuilder& builder,
                                            INodeAcceptor* acceptor)
{
    CObjectIdGeneratorDefaultImpl<long> ids;
    HRESULT hr = builder.Clear();
    if (FAILED(hr))
        return hr;
    HRESULT resetResult = nodes.Reset();
    if (FAILED(resetResult))
        return resetResult;

    for (;;) {
        NodeHandle current(&nodes); // given back to the enumerator that made it
        HRESULT next = nodes.Next(current.Out());
        if (next == S_FALSE)
            break;
        if (FAILED(next) || !current.Get())
            continue;
        RecognizedNode node(current.Get(), set_);
        if (!IsFramesMember(node, acceptor))
            continue;
        vx::com::BStr name;
        if (stringIds_)
            stringIds_->Evaluate(node, name.Out());
        vx::com::Variant id;
        if (SUCCEEDED(ids.Generate(kCollectionKey, name.Get(), false, id.Get())))
            builder.Add(node, *id);
    }
    return resetResult;
}

} // namespace vxWebFw::DOMModel
