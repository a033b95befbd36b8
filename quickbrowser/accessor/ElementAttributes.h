#pragma once
// Attribute reads of one element through one attribute map: the map is read
// with the first attribute asked for and given back when this goes, so that
// several attributes of the same element (an id and a name fallback) cost one
// map read. Meant for the length of one evaluation; the element is borrowed.
#include <windows.h>
#include <oleauto.h>

#include "webfw/NativeModel/NodeHandle.h"

class CCrRawBrowserHelper;

class CCrElementAttributes
{
public:
    CCrElementAttributes(CCrRawBrowserHelper* helper, NodeImpl* element);
    CCrElementAttributes(const CCrElementAttributes&) = delete;
    CCrElementAttributes& operator=(const CCrElementAttributes&) = delete;

    NodeImpl* Element() const { return element_; }
    // The attribute's value (null when the element has no such attribute or
    // it cannot be read), S_OK: as CCrRawBrowserHelper::GetAttribute.
    HRESULT Get(const wchar_t* name, BSTR* value);

private:
    CCrRawBrowserHelper* helper_;
    NodeImpl* element_;
    bool mapRead_ = false;
    vxWebFw::NodeHandle map_;
};
