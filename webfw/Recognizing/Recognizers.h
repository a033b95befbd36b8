#pragma once
// The three recognisers: node type, element type (by tag) and input type (by
// the INPUT's type). Each reads one value from the node through a pure
// operation that a browser adapter implements; recognition itself never
// fails (an unreadable value gives "other" or "unknown").
#include <windows.h>
#include <oleauto.h>

#include <map>
#include <string>
#include <unordered_map>

#include "webfw/NativeModel/NodeImpl.h"
#include "webfw/Recognizing/ElementTypes.h"

namespace vxWebFw::Recognizing {

class IElementTypeRecognizer
{
public:
    virtual HRESULT Recognize(NodeImpl* node, long* elementType) = 0;

protected:
    ~IElementTypeRecognizer() = default;
};

class IHTMLInputElementTypeRecognizer
{
public:
    virtual HRESULT Recognize(NodeImpl* node, long* inputType) = 0;

protected:
    ~IHTMLInputElementTypeRecognizer() = default;
};

class INodeTypeRecognizer
{
public:
    virtual HRESULT Recognize(NodeImpl* node, long* nodeType) = 0;

protected:
    ~INodeTypeRecognizer() = default;
};

class CElementTypeRecognizerImpl : public IElementTypeRecognizer
{
public:
    CElementTypeRecognizerImpl();
    HRESULT Recognize(NodeImpl* node, long* elementType) override;
    virtual ~CElementTypeRecognizerImpl() = default;
    virtual HRESULT GetTagName(NodeImpl* node, BSTR* tagName) = 0;

private:
    std::unordered_map<std::wstring, long> table_;
};

class CHTMLInputElementTypeRecognizerImpl : public IHTMLInputElementTypeRecognizer
{
public:
    CHTMLInputElementTypeRecognizerImpl();
    HRESULT Recognize(NodeImpl* node, long* inputType) override;
    virtual ~CHTMLInputElementTypeRecognizerImpl() = default;
    virtual HRESULT GetInputType(NodeImpl* node, BSTR* type) = 0;

private:
    std::unordered_map<std::wstring, long> table_;
};

class CNodeTypeRecognizerImpl : public INodeTypeRecognizer
{
public:
    CNodeTypeRecognizerImpl();
    HRESULT Recognize(NodeImpl* node, long* nodeType) override;
    virtual ~CNodeTypeRecognizerImpl() = default;
    virtual HRESULT GetNodeTypeValue(NodeImpl* node, long* value) = 0;

private:
    std::map<long, long> table_;
};

// Upper case through the thread's ANSI code page, as the tag and type tables
// expect; a null string gives the empty string.
std::wstring UpperCaseThroughAnsi(BSTR text);

} // namespace vxWebFw::Recognizing
