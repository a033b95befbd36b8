#include "webfw/chrome/CrFwEnumerators.h"

#include "webfw/NativeModel/NodeHandle.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"

// ------------------------------------------------------------ children

HRESULT CCrFwChildNodesEnumerator::Reset()
{
    current_.Reset();
    return S_OK;
}

HRESULT CCrFwChildNodesEnumerator::Next(NodeImpl** node)
{
    if (!node)
        return E_POINTER;
    *node = nullptr;
    vxWebFw::NodeHandle found(helper_);
    if (current_)
        helper_->GetNextSibling(current_.Get(), found.Out());
    else
        helper_->GetFirstChild(parent_, found.Out());
    current_.Reset();
    if (!found.Get())
        return S_FALSE;
    HRESULT hr = helper_->CloneNode(found.Get(), current_.Out());
    if (FAILED(hr))
        return hr;
    *node = found.Detach();
    return S_OK;
}

// ------------------------------------------------------------ indexed collections

HRESULT CCrFwIndexedCollectionWalk::Restart()
{
    count_ = 0;
    index_ = -1;
    HRESULT hr = (helper_->*open_)(owner_, collection_.Out());
    if (FAILED(hr))
        return hr;
    if (!collection_)
        return E_FAIL;
    return (helper_->*length_)(collection_.Get(), &count_);
}

HRESULT CCrFwIndexedCollectionWalk::MoveNext()
{
    if (!collection_) {
        HRESULT hr = Restart();
        if (FAILED(hr))
            return hr;
    }
    Skip();
    return AtItem() ? S_OK : S_FALSE;
}

HRESULT CCrFwIndexedCollectionWalk::Item(NodeImpl** item)
{
    return (helper_->*item_)(collection_.Get(), index_, item);
}

// ------------------------------------------------------------ document.all

CCrFwDocumentAllEnumerator::CCrFwDocumentAllEnumerator(CCrRawBrowserHelper* helper,
                                                       vxWebFw::IObjectLifetime<NodeImpl*>* lifetime,
                                                       NodeImpl* document)
    : CCrFwLifetimeForwarder(lifetime), all_(helper, document, &CCrRawBrowserHelper::GetAll,
                                             &CCrRawBrowserHelper::GetAllLength, &CCrRawBrowserHelper::GetAllItem)
{
}

HRESULT CCrFwDocumentAllEnumerator::Reset()
{
    return all_.Restart();
}

HRESULT CCrFwDocumentAllEnumerator::Next(NodeImpl** node)
{
    if (!node)
        return E_POINTER;
    *node = nullptr;
    HRESULT hr = all_.MoveNext();
    if (hr != S_OK)
        return hr;
    return all_.Item(node);
}

// ------------------------------------------------------------ attributes

CCrFwNodeAttributesEnumerator::CCrFwNodeAttributesEnumerator(CCrRawBrowserHelper* helper,
                                                             vxWebFw::IObjectLifetime<NodeImpl*>* lifetime,
                                                             NodeImpl* element, bool specifiedOnly)
    : CCrFwLifetimeForwarder(lifetime), helper_(helper),
      attributes_(helper, element, &CCrRawBrowserHelper::GetAttributes, &CCrRawBrowserHelper::GetAttributesLength,
                  &CCrRawBrowserHelper::GetAttributesItem),
      specifiedOnly_(specifiedOnly)
{
}

HRESULT CCrFwNodeAttributesEnumerator::Reset()
{
    return attributes_.Restart();
}

HRESULT CCrFwNodeAttributesEnumerator::Next(NodeImpl** node)
{
    if (!node)
        return E_POINTER;
    *node = nullptr;
    HRESULT hr = attributes_.MoveNext();
    if (hr != S_OK)
        return hr;
    // Unspecified attributes are passed over; when the last ones all are,
    // this call answers S_OK with no node and the next one S_FALSE.
    for (; attributes_.AtItem(); attributes_.Skip()) {
        vxWebFw::NodeHandle attribute(helper_);
        hr = attributes_.Item(attribute.Out());
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
