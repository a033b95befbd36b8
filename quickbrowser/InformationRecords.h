#pragma once
// Object information records: what a quick-browser object tells the browser
// process about itself, as a VARIANT holding a one-dimensional SAFEARRAY of
// VARIANT with lower bound 0 (VT_ARRAY | VT_VARIANT).
//   this-information:  identity path (VT_BSTR), script object (VT_DISPATCH),
//                      kind (VT_UI4), the object (VT_DISPATCH), expandable
//                      flag (VT_BOOL), identifier (any VARIANT);
//   light information: identity path (VT_BSTR), kind (VT_UI4).
// Readers are strict: an array of another shape or an element of another
// type gives E_UNEXPECTED and leaves the output untouched.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "platform/com/BStr.h"
#include "platform/com/Variant.h"

struct ObjectThisInformation
{
    vx::com::BStr identityPath;
    Microsoft::WRL::ComPtr<IDispatch> scriptObject;
    ULONG kind = 0;
    Microsoft::WRL::ComPtr<IDispatch> object;
    bool expandable = false;
    vx::com::Variant identifier;
};

struct ObjectLightInformation
{
    vx::com::BStr identityPath;
    ULONG kind = 0;
};

// Element counts of the two records.
constexpr LONG kThisInformationElements = 6;
constexpr LONG kLightInformationElements = 2;

HRESULT PackThisInformation(const ObjectThisInformation& information, VARIANT* record);
// Element 0 must be VT_BSTR, 1 and 3 non-null VT_DISPATCH, 4 VT_BOOL;
// element 2 is changed to VT_UI4.
HRESULT ReadThisInformation(const VARIANT& record, ObjectThisInformation& information);

HRESULT PackLightInformation(BSTR identityPath, ULONG kind, VARIANT* record);
HRESULT ReadLightInformation(const VARIANT& record, ObjectLightInformation& information);

// Identifier of a tree item: its item type (VT_I4) and its own identifier.
HRESULT PackTreeItemIdentifier(LONG itemType, const VARIANT& identifier, VARIANT* result);
HRESULT ReadTreeItemIdentifier(const VARIANT& value, LONG& itemType, vx::com::Variant& identifier);
// Identifier of a tree cell: row index and cell index (VT_I4 each).
HRESULT PackTreeCellIdentifier(LONG rowIndex, LONG cellIndex, VARIANT* result);
HRESULT ReadTreeCellIdentifier(const VARIANT& value, LONG& rowIndex, LONG& cellIndex);
// Identifier of a document, "all" or "frames" object: a non-null VT_BSTR.
HRESULT ReadNamedObjectIdentifier(const VARIANT& value, vx::com::BStr& name);
