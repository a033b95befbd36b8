#pragma once
// The DOM model's two collections over an enumeration of a document's
// elements: All (every accepted element but frames, named or numbered by
// position) and Frames (accepted FRAME and IFRAME elements, unnamed ones
// numbered among themselves).
#include "webfw/DOMModel/DOMModelInterfaces.h"
#include "webfw/NativeModel/ObjectLifetime.h"

namespace vxWebFw::DOMModel {

using Recognizing::INodeAcceptor;
using Recognizing::RecognizerSet;

class CDOMModelAllWalk
{
public:
    CDOMModelAllWalk(const RecognizerSet* set, IDOMNodeStringIdEvaluator* stringIds) : set_(set), stringIds_(stringIds)
    {
    }

    HRESULT DomAllBuild(IObjectEnumerator<NodeImpl*>& nodes, IDOMAllBuilder& builder, INodeAcceptor* acceptor);
    bool IsAllMember(NodeImpl* node, INodeAcceptor* acceptor);
    static bool IsAllMember(RecognizedNode& node, INodeAcceptor* acceptor);

private:
    const RecognizerSet* set_;
    IDOMNodeStringIdEvaluator* stringIds_;
};

class CDOMModelFramesWalk
{
public:
    CDOMModelFramesWalk(const RecognizerSet* set, IDOMNodeStringIdEvaluator* stringIds)
        : set_(set), stringIds_(stringIds)
    {
    }

    HRESULT DomFramesBuild(IObjectEnumerator<NodeImpl*>& nodes, IDOMFramesBuilder& builder, INodeAcceptor* acceptor);
    bool IsFramesMember(NodeImpl* node, INodeAcceptor* acceptor);
    static bool IsFramesMember(RecognizedNode& node, INodeAcceptor* acceptor);

private:
    const RecognizerSet* set_;
    IDOMNodeStringIdEvaluator* stringIds_;
};

} // namespace vxWebFw::DOMModel
