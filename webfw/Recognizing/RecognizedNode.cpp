#include "webfw/Recognizing/RecognizedNode.h"

namespace vxWebFw::Recognizing {

long RecognizedNode::GetNodeType()
{
    if (nodeType_ == -1) {
        long type = ntUnknown;
        if (set_ && set_->nodeTypeRecognizer)
            set_->nodeTypeRecognizer->Recognize(node_, &type);
        nodeType_ = type;
    }
    return nodeType_;
}

long RecognizedNode::GetElementType()
{
    if (GetNodeType() == ntElement && elementType_ == etNone) {
        long type = etOther;
        if (set_ && set_->elementTypeRecognizer)
            set_->elementTypeRecognizer->Recognize(node_, &type);
        elementType_ = type;
    }
    return elementType_;
}

long RecognizedNode::GetInputType()
{
    if (GetElementType() == etINPUT && inputType_ == itNone) {
        long type = itOther;
        if (set_ && set_->inputElementTypeRecognizer)
            set_->inputElementTypeRecognizer->Recognize(node_, &type);
        inputType_ = type;
    }
    return inputType_;
}

} // namespace vxWebFw::Recognizing
