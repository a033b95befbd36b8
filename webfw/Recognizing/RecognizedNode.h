#pragma once
// A node together with its three types, each computed at most once: every
// evaluation is a read across the browser's native interface, and the
// framework algorithms ask for the same node's types several times per step.
#include "webfw/NativeModel/NodeImpl.h"
#include "webfw/Recognizing/Recognizers.h"

namespace vxWebFw::Recognizing {

// The page context's three recognisers (not owned).
struct RecognizerSet
{
    INodeTypeRecognizer* nodeTypeRecognizer = nullptr;
    IElementTypeRecognizer* elementTypeRecognizer = nullptr;
    IHTMLInputElementTypeRecognizer* inputElementTypeRecognizer = nullptr;
};

class RecognizedNode
{
public:
    RecognizedNode(NodeImpl* node, const RecognizerSet* set) : node_(node), set_(set) {}
    // A node whose type the caller read earlier in the same walk.
    RecognizedNode(NodeImpl* node, const RecognizerSet* set, long nodeType)
        : node_(node), set_(set), nodeType_(nodeType)
    {
    }

    NodeImpl* GetNode() const { return node_; }
    long GetNodeType();
    long GetElementType();
    long GetInputType();

private:
    NodeImpl* node_; // not owned
    const RecognizerSet* set_;
    long nodeType_ = -1; // -1: not evaluated yet
    long elementType_ = etNone;
    long inputType_ = itNone;
};

// Decides whether a node takes part in the object models at all.
class INodeAcceptor
{
public:
    virtual bool Accept(RecognizedNode& node) = 0;

protected:
    ~INodeAcceptor() = default;
};

class CWebFwNodeAcceptorImpl : public INodeAcceptor
{
public:
    virtual ~CWebFwNodeAcceptorImpl() = default;
};

} // namespace vxWebFw::Recognizing
