#include "quickbrowser/objects/WindowSlots.h"

namespace vxCrQuickBrowser {

HRESULT ReadWindowMetric(CCrRawBrowserHelper* accessor, NodeImpl* window, WindowMetric metric, LONG* value)
{
    if (!value)
        return E_POINTER;
    *value = 0;
    long number = 0;
    HRESULT hr = E_UNEXPECTED;
    switch (metric) {
    case WindowMetric::InnerWidth:
        hr = accessor->GetInnerWidth(window, &number);
        break;
    case WindowMetric::InnerHeight:
        hr = accessor->GetInnerHeight(window, &number);
        break;
    case WindowMetric::ScrollX:
        hr = accessor->GetScrollX(window, &number);
        break;
    case WindowMetric::ScrollY:
        hr = accessor->GetScrollY(window, &number);
        break;
    }
    if (SUCCEEDED(hr))
        *value = number;
    return hr;
}

} // namespace vxCrQuickBrowser
