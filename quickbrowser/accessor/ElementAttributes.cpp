#include "quickbrowser/accessor/ElementAttributes.h"

#include "quickbrowser/accessor/RawBrowserHelper.h"

CCrElementAttributes::CCrElementAttributes(CCrRawBrowserHelper* helper, NodeImpl* element)
    : helper_(helper), element_(element), map_(helper)
{
}

HRESULT CCrElementAttributes::Get(const wchar_t* name, BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    if (!mapRead_) {
        mapRead_ = true;
        if (FAILED(helper_->GetAttributes(element_, map_.Out())))
            map_.Reset();
    }
    if (!map_)
        return S_OK;
    vxWebFw::NodeHandle attribute(helper_);
    if (FAILED(helper_->GetNamedItem(map_.Get(), name, attribute.Out())) || !attribute.Get())
        return S_OK;
    helper_->GetAttrValue(attribute.Get(), value);
    return S_OK;
}
