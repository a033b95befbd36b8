#pragma once
// Decides what a node is in the Tree model. Listed tags and INPUT types map
// through fixed tables; everything else is a block of text, a transparent
// wrapper, or skipped (an unrendered NOSCRIPT or NOFRAMES).
#include <map>

#include "webfw/NativeModel/NativeModelInterfaces.h"
#include "webfw/Recognizing/RecognizedNode.h"
#include "webfw/TreeModel/TreeItemTypes.h"

namespace vxWebFw::TreeModel {

using Recognizing::RecognizedNode;
using Recognizing::RecognizerSet;

class ITextBlockRecognizer
{
public:
    virtual bool IsIgnored(RecognizedNode& node) = 0;
    virtual bool HasTextChild(RecognizedNode& node) = 0;
    virtual bool StartsWithText(RecognizedNode& node) = 0;

protected:
    ~ITextBlockRecognizer() = default;
};

// The text tests over the child-nodes provider; the browser adapter supplies
// the layout-box tests and the text of a text node.
class CTextBlockRecognizerImpl : public ITextBlockRecognizer
{
public:
    CTextBlockRecognizerImpl(NativeModel::IChildNodesProvider* children, const RecognizerSet* set)
        : children_(children), set_(set)
    {
    }
    bool IsIgnored(RecognizedNode& node) override;
    bool HasTextChild(RecognizedNode& node) override;
    bool StartsWithText(RecognizedNode& node) override;
    virtual ~CTextBlockRecognizerImpl() = default;
    virtual bool HasLayoutBoxForNoFrames(NodeImpl* node) = 0;
    virtual bool HasLayoutBoxForNoScript(NodeImpl* node) = 0;
    virtual HRESULT GetTextData(NodeImpl* textNode, BSTR* data) = 0;

    // True when every character is a tab, line feed, carriage return or
    // space; the empty text is blank.
    static bool IsBlank(BSTR text);

private:
    // A text node with a non-blank text; the node is borrowed.
    bool IsNonBlankText(NodeImpl* node);

    NativeModel::IChildNodesProvider* children_;
    const RecognizerSet* set_;
};

class ITreeItemRecognizer
{
public:
    virtual HRESULT Recognize(RecognizedNode& node, TreeItemRecognition* recognition) = 0;

protected:
    ~ITreeItemRecognizer() = default;
};

class CTreeItemRecognizerImpl : public ITreeItemRecognizer
{
public:
    explicit CTreeItemRecognizerImpl(ITextBlockRecognizer* textBlocks);
    HRESULT Recognize(RecognizedNode& node, TreeItemRecognition* recognition) override;
    virtual ~CTreeItemRecognizerImpl() = default;

private:
    ITextBlockRecognizer* textBlocks_;
    std::map<long, TreeItemRecognition> elements_; // by element type
    std::map<long, TreeItemRecognition> inputs_;   // by input type
};

} // namespace vxWebFw::TreeModel
