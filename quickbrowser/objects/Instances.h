#pragma once
// Identification instances: small objects mixed into an element's script
// object after the element's own, answering what the test engine names and
// finds elements by (IvxWebQuickIds, IvxWebTreeObject, IvxWebObjectIdentifier,
// IvxWebTableCellIdentifier, IvxWebTableObject). Each is registered with the
// accessor's stub manager and aggregates the free-threaded marshaler; the
// members that read the DOM run on the renderer thread.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "quickbrowser/accessor/RawBrowserHelper.h"

namespace vxCrQuickBrowser {

// namePropStr (the name taken from a link's or image's URL) and idStr (the
// id, else the "id" attribute) of the element `node` (borrowed).
HRESULT CreateWebQuickIds(CCrRawBrowserHelper* accessor, NodeImpl* node, Microsoft::WRL::ComPtr<IDispatch>& instance);
// RowCount and ColumnCount(RowIndex) of the table `node` (borrowed).
HRESULT CreateTableInstance(CCrRawBrowserHelper* accessor, NodeImpl* node, Microsoft::WRL::ComPtr<IDispatch>& instance);
// ObjectType and ObjectIdentifier of a Tree-model object: copies of what it
// is given, answered without DOM access.
HRESULT CreateWebIds(CCrRawBrowserHelper* accessor, BSTR objectType, const VARIANT& identifier,
                     Microsoft::WRL::ComPtr<IDispatch>& instance);
// RowIndex and ColumnIndex of a table cell.
HRESULT CreateWebCellIds(CCrRawBrowserHelper* accessor, LONG rowIndex, LONG columnIndex,
                         Microsoft::WRL::ComPtr<IDispatch>& instance);

} // namespace vxCrQuickBrowser
