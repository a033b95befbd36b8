#pragma once
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <string>

#include "generated/vxOpenAppServices.h"
#include "openapphook/InvokeException.h"
#include "platform/com/Variant.h"

namespace vxOpenAppHook {

// Calls through one IDispatch for code that reads many properties in a row:
// every failure throws CvxBadHRInvokeException, whose details name the call
// site (see DispCallSite), the HRESULT and the member. Every call uses the
// system default locale and IID_NULL.
class CvxDispDriver
{
public:
    CvxDispDriver() noexcept = default;
    explicit CvxDispDriver(IDispatch* dispatch) noexcept : dispatch_(dispatch) {}
    // Accepts VT_DISPATCH, VT_UNKNOWN answering IDispatch, and both by
    // reference; anything else throws with E_INVALIDARG.
    explicit CvxDispDriver(const VARIANT& value);

    IDispatch* Get() const noexcept { return dispatch_.Get(); }
    explicit operator bool() const noexcept { return dispatch_ != nullptr; }

    // The member's DISPID (asked through IDispatch2 when the object has it).
    DISPID FindDispId(const wchar_t* name) const;
    // Whether the object knows the member name; never throws for an unknown
    // name.
    bool HasMember(const wchar_t* name) const;

    // Property reads. A string read of an object reads that object's
    // "OleValue" in turn; a null object reads as the empty string.
    std::wstring GetPropertyString(const wchar_t* name) const;
    int GetPropertyInt(const wchar_t* name) const;
    CvxDispDriver GetPropertyDispatch(const wchar_t* name) const;
    vx::com::Variant GetPropertyVariant(const wchar_t* name) const;

    void PutProperty(const wchar_t* name, const VARIANT& value) const;

    vx::com::Variant InvokeMethod(const wchar_t* name) const;
    vx::com::Variant InvokeMethod(const wchar_t* name, const VARIANT& argument) const;
    vx::com::Variant InvokeMethod(const wchar_t* name, const VARIANT& first, const VARIANT& second) const;

private:
    IDispatch* Required() const;
    vx::com::Variant Call(const wchar_t* name, WORD flags, const VARIANT* const* arguments, unsigned count,
                          int callSite) const;
    std::wstring ReadString(const wchar_t* name, int depth) const;

    Microsoft::WRL::ComPtr<IDispatch> dispatch_;
};

// Numbers that tell, in a failure's details, which call failed.
enum DispCallSite : int {
    CallSiteDriverFromVariant = 7201,
    CallSiteNoDispatch = 7202,
    CallSiteFindDispId = 7203,
    CallSiteGetProperty = 7204,
    CallSitePutProperty = 7205,
    CallSiteInvokeMethod = 7206,
    CallSiteStringConversion = 7207,
    CallSiteIntConversion = 7208,
    CallSiteDispatchConversion = 7209,
    CallSiteOleValueDepth = 7210,
    CallSiteTreeNode = 7211,
};

// Whether one of the test objects that stand for `node` has `object` as its
// native object, decided by the kind of native object (CLR, Java, Delphi and
// C++, Qt, Chrome). Throws CvxInvokeException for a null node and for failed
// calls.
bool NativeObjectEquals(IvxObjectTreeNode* node, IDispatch* object);

// Depth-first search below `node` (children first-to-last, each before its
// own children) for the first node whose test object has `object` as its
// native object; `refreshFirst` refreshes `node` before the search. Null
// when none matches.
Microsoft::WRL::ComPtr<IvxObjectTreeNode> FindNodeByNativeObject(IvxObjectTreeNode* node, IDispatch* object,
                                                                 bool refreshFirst);

// `node` itself if it matches, else its nearest ancestor that matches; null
// when none does.
Microsoft::WRL::ComPtr<IvxObjectTreeNode> FindNodeOrAncestorByNativeObject(IvxObjectTreeNode* node, IDispatch* object);

} // namespace vxOpenAppHook
