#include "webfw/chrome/CrFwEnumerators.h"

#include "quickbrowser/NodeHandle.h"

// ------------------------------------------------------------ children

CCrFwChildNodesEnumerator::~CCrFwChildNodesEnumerator()
{
    helper_->ReleaseNode(current_);
}

HRESULT CCrFwChildNodesEnumerator::Reset()
{
    helper_->ReleaseNode(current_);
    return S_OK;
}

HRESULT CCrFwChildNodesEnumerator::Next(NodeImpl** node)
{
    if (!node)
        return E_POINTER;
    *node = nullptr;
    CCrNodeHandle found(helper_);
    if (current_)
        helper_->GetNextSibling(current_, found.Out());
    else
        helper_->GetFirstChild(parent_, found.Out());
    helper_->ReleaseNode(current_);
    if (!found.Get())
        return S_FALSE;
    HRESULT hr = helper_->CloneNode(found.Get(), &current_);
    if (FAILED(hr))
        return hr;
    *node = found.Detach();
    return S_OK;
}

// ------------------------------------------------------------ document.all

CCrFwDocumentAllEnumerator::~CCrFwDocumentAllEnumerator()
{
    helper_->ReleaseNode(all_);
}

HRESULT CCrFwDocumentAllEnumerator::Reset()
{
    helper_->ReleaseNode(all_);
    length_ = 0;
    index_ = -1;
    HRESULT hr = helper_->GetAll(document_, &all_);
    if (FAILED(hr))
        return hr;
    if (!all_)
        return E_FAIL;
    return helper_->GetAllLength(all_, &length_);
}

HRESULT CCrFwDocumentAllEnumerator::Next(NodeImpl** node)
{
    if (!node)
        return E_POINTER;
    *node = nullptr;
    if (!all_) {
        HRESULT hr = Reset();
        if (FAILED(hr))
            return hr;
    }
    ++index_;
    if (index_ >= length_)
        return S_FALSE;
    return helper_->GetAllItem(all_, index_, node);
}

// ------------------------------------------------------------ attributes

CCrFwNodeAttributesEnumerator::~CCrFwNodeAttributesEnumerator()
{
    helper_->ReleaseNode(attributes_);
}

HRESULT CCrFwNodeAttributesEnumerator::Reset()
{
    helper_->ReleaseNode(attributes_);
    length_ = 0;
    index_ = -1;
    HRESULT hr = helper_->GetAttributes(element_, &attributes_);
    if (FAILED(hr))
        return hr;
    if (!attributes_)
        return E_FAIL;
    return helper_->GetAttributesLength(attributes_, &length_);
}

HRESULT CCrFwNodeAttributesEnumerator::Next(NodeImpl** node)
{
    if (!node)
        return E_POINTER;
    *node = nullptr;
    if (!attributes_) {
        HRESULT hr = Reset();
        if (FAILED(hr))
            return hr;
    }
    ++index_;
    if (index_ >= length_)
        return S_FALSE;
    // Unspecified attributes are passed over; when the last ones all are,
    // this call answers S_OK with no node and the next one S_FALSE.
    for (; index_ < length_; ++index_) {
        CCrNodeHandle attribute(helper_);
        HRESULT hr = helper_->GetAttributesItem(attributes_, index_, attribute.Out());
        if (FAILED(hr))
            return hr;
        if (specifiedOnly_) {
            bool specified = false;
            hr = helper_->GetAttrSpecified(attribute.Get(), &specified);
            if (FAILED(hr))
                return hr;
            if (!specified)
                continue;
        }
        *node = attribute.Detach();
        return S_OK;
    }
    return S_OK;
}
