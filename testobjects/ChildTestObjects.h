#pragma once
// Test objects for the children of a quick-browser object: the renderer is
// asked for the children's records, and each record becomes the test object
// class its kind selects.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <functional>

#include "quickbrowser/InformationRecords.h"
#include "testobjects/TestObjectList.h"
#include "testobjects/TestObjectTab.h"

namespace vxCrTestObjects {

// Creates the test object of the record's kind (1 DOM named, 2 DOM item,
// 3 DOM frame, 4 Tree item, 5 Tree cell, 6 Tree frame) for `tab`, registered
// with the tab's stub manager; E_UNEXPECTED for any other kind.
HRESULT CreateChildTestObject(ITestObjectTab* tab, bool treeModel, LONG creationValue,
                              const ObjectThisInformation& record, Microsoft::WRL::ComPtr<IvxObject>& object);

// Appends test objects for the children of the quick-browser object that
// `fetch` gives (on the synchronous invoker, where the proxies belong).
// Fetching nothing is E_UNEXPECTED; no children is S_OK with nothing added.
// A malformed children array or record ends the walk with E_UNEXPECTED; a
// record whose object cannot be made is left out.
HRESULT CollectChildTestObjects(ITestObjectTab* tab, bool treeModel,
                                const std::function<HRESULT(Microsoft::WRL::ComPtr<IDispatch>&)>& fetch,
                                VxCrTestObjectList& list);

} // namespace vxCrTestObjects
