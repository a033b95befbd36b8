#pragma once
// The DOM model's pieces: the string id of an element and the sinks that
// receive the All and Frames collections.
#include <windows.h>
#include <oleauto.h>

#include "webfw/Options/OptionsProvider.h"
#include "webfw/Recognizing/RecognizedNode.h"

namespace vxWebFw::DOMModel {

using Recognizing::RecognizedNode;

class IDOMNodeStringIdEvaluator
{
public:
    // The node's string id (possibly null) with S_OK.
    virtual HRESULT Evaluate(RecognizedNode& node, BSTR* id) = 0;

protected:
    ~IDOMNodeStringIdEvaluator() = default;
};

// Chooses between the node's id and name: by default the id and, when it is
// empty, the name; with the name-preference option the other way round.
class CDOMNodeStringIdEvaluatorImpl : public IDOMNodeStringIdEvaluator
{
public:
    explicit CDOMNodeStringIdEvaluatorImpl(Options::IOptionsProvider* options) : options_(options) {}
    HRESULT Evaluate(RecognizedNode& node, BSTR* id) override;
    virtual ~CDOMNodeStringIdEvaluatorImpl() = default;
    virtual HRESULT GetIdString(NodeImpl* node, BSTR* id) = 0;
    virtual HRESULT GetNameString(NodeImpl* node, BSTR* name) = 0;

private:
    Options::IOptionsProvider* options_;
};

class IDOMAllBuilder
{
public:
    virtual HRESULT Clear() = 0;
    virtual HRESULT Add(RecognizedNode& node, const VARIANT& id) = 0;

protected:
    ~IDOMAllBuilder() = default;
};

class IDOMFramesBuilder
{
public:
    virtual HRESULT Clear() = 0;
    virtual HRESULT Add(RecognizedNode& node, const VARIANT& id) = 0;

protected:
    ~IDOMFramesBuilder() = default;
};

} // namespace vxWebFw::DOMModel
