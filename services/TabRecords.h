#pragma once
// The records the tabs service exchanges with the hook, as VARIANTs: arrays
// of VARIANT (one dimension, lower bound 0) whose elements have fixed types.
#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "platform/com/BStr.h"

struct TabInfoRecord
{
    LONG tabId = 0;
    bool loading = false;
    vx::com::BStr url;
};

// Tab information record: tab id (VT_I4), loading flag (VT_BOOL), URL
// (VT_BSTR). E_UNEXPECTED for any other shape; `record` is unchanged then.
HRESULT ParseTabInfoRecord(const VARIANT& value, TabInfoRecord& record);
// Tab list: one tab information record per element.
HRESULT ParseTabList(const VARIANT& value, std::vector<TabInfoRecord>& tabs);
// Tab rectangle record: left, top, width, height (VT_I4 each), screen pixels.
HRESULT ParseTabRectangle(const VARIANT& value, RECT& rectangle);

// Builds a tab information record (for the services' side and tests).
HRESULT MakeTabInfoRecord(LONG tabId, bool loading, const wchar_t* url, VARIANT* result);
