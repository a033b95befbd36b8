#pragma once
// Name of a link or image taken from its URL: for A the last path segment
// that is not blank, for IMG the last segment as it is; percent-decoded.
#include <windows.h>
#include <oleauto.h>

#include "webfw/Recognizing/RecognizedNode.h"

namespace vxWebFw {

class CNodeNamePropStrEvaluator
{
public:
    virtual ~CNodeNamePropStrEvaluator() = default;
    virtual HRESULT GetHref(NodeImpl* node, BSTR* href) = 0;
    virtual HRESULT GetSrc(NodeImpl* node, BSTR* src) = 0;

    // The name (null for other nodes, empty URLs or no usable segment), S_OK.
    HRESULT EvaluateNamePropStr(Recognizing::RecognizedNode& node, BSTR* name);
};

} // namespace vxWebFw
