#pragma once
// The records the stand-in hands out: one-dimensional SAFEARRAYs of VARIANT
// with lower bound 0, returned as VT_ARRAY|VT_VARIANT. Built element by
// element, then moved into the caller's VARIANT.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "platform/com/Variant.h"

namespace chrome_standin {

class RecordBuilder
{
public:
    RecordBuilder& Long(LONG value);
    RecordBuilder& ULong(ULONG value);
    RecordBuilder& Bool(bool value);
    RecordBuilder& String(const std::wstring& value);
    RecordBuilder& Dispatch(IDispatch* value);
    RecordBuilder& Empty();
    // Takes over a finished record (or any VARIANT) as the next element.
    RecordBuilder& Take(vx::com::Variant&& value);

    size_t Size() const { return elements_.size(); }
    // Moves the elements into a new array in `result` (cleared first).
    HRESULT Detach(VARIANT* result);

private:
    std::vector<vx::com::Variant> elements_;
    bool failed_ = false;
};

// Tab information record: tab id (VT_I4), loading (VT_BOOL), URL (VT_BSTR).
HRESULT MakeStandinTabRecord(LONG tabId, bool loading, const std::wstring& url, VARIANT* result);
// Tab rectangle record: left, top, width, height (VT_I4 each).
HRESULT MakeRectangleRecord(const RECT& rectangle, VARIANT* result);

} // namespace chrome_standin
