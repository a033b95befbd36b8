#pragma once
// The name a Tree item is known by: its id or name (the name-preference
// option decides which comes first), for an IMG without a usable one the
// last segment of its src, and for an unnamed INPUT button its value, kept
// as it is.
#include "webfw/DOMModel/NodeNamePropStrEvaluator.h"
#include "webfw/Options/OptionsProvider.h"
#include "webfw/Recognizing/RecognizedNode.h"

namespace vxWebFw::TreeModel {

class ITreeItemStringIdEvaluator
{
public:
    // The name (possibly null) and whether it is used as it is, without the
    // identifier rule; S_OK.
    virtual HRESULT Evaluate(Recognizing::RecognizedNode& node, BSTR* name, bool* keepRaw) = 0;

protected:
    ~ITreeItemStringIdEvaluator() = default;
};

class CTreeItemStringIdEvaluatorImpl : public ITreeItemStringIdEvaluator
{
public:
    CTreeItemStringIdEvaluatorImpl(Options::IOptionsProvider* options, CNodeNamePropStrEvaluator* urlNames)
        : options_(options), urlNames_(urlNames)
    {
    }
    HRESULT Evaluate(Recognizing::RecognizedNode& node, BSTR* name, bool* keepRaw) override;
    virtual ~CTreeItemStringIdEvaluatorImpl() = default;
    virtual HRESULT GetIdString(NodeImpl* node, BSTR* id) = 0;
    virtual HRESULT GetNameString(NodeImpl* node, BSTR* name) = 0;
    virtual HRESULT GetValueString(NodeImpl* node, BSTR* value) = 0;

private:
    Options::IOptionsProvider* options_;
    CNodeNamePropStrEvaluator* urlNames_;
};

} // namespace vxWebFw::TreeModel
