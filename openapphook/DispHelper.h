#pragma once
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

namespace vxOpenAppHook {

// Calls through one IDispatch and answers HRESULTs; never throws. A failed
// Invoke whose callee gave exception information publishes that information
// as the thread's COM error information. Every call uses the system default
// locale and IID_NULL; result variants are the caller's and must be empty.
class CvxDispHelper
{
public:
    CvxDispHelper() noexcept = default;
    explicit CvxDispHelper(IDispatch* dispatch) noexcept : dispatch_(dispatch) {}
    virtual ~CvxDispHelper() = default;
    CvxDispHelper(const CvxDispHelper&) = default;
    CvxDispHelper& operator=(const CvxDispHelper&) = default;

    IDispatch* Get() const noexcept { return dispatch_.Get(); }
    void Reset(IDispatch* dispatch = nullptr) noexcept { dispatch_ = dispatch; }

    // E_POINTER without an IDispatch.
    virtual HRESULT Check() noexcept;
    // Runs before every call; by default Check().
    virtual HRESULT BeforeCallCheck() noexcept;
    // Runs after every Invoke with its result; publishes the exception
    // information of a failure and returns the result unchanged.
    virtual HRESULT AfterCall(HRESULT result, const EXCEPINFO& exceptionInfo) noexcept;

    HRESULT GetIDOfName(const wchar_t* name, DISPID* dispid) noexcept;

    HRESULT GetProperty(DISPID dispid, VARIANT* result) noexcept;
    HRESULT GetProperty(const wchar_t* name, VARIANT* result) noexcept;

    HRESULT InvokeMethod(DISPID dispid, VARIANT* result) noexcept;
    HRESULT InvokeMethod(DISPID dispid, const VARIANT& argument, VARIANT* result) noexcept;
    HRESULT InvokeMethod(DISPID dispid, const VARIANT& first, const VARIANT& second, VARIANT* result) noexcept;
    HRESULT InvokeMethod(const wchar_t* name, VARIANT* result) noexcept;
    HRESULT InvokeMethod(const wchar_t* name, const VARIANT& argument, VARIANT* result) noexcept;
    HRESULT InvokeMethod(const wchar_t* name, const VARIANT& first, const VARIANT& second, VARIANT* result) noexcept;

    // Any number of arguments (at most kMaxArguments), in the callee's
    // parameter order; by-reference VARIANTs receive [out] values.
    static constexpr UINT kMaxArguments = 5;
    HRESULT InvokeMethod(DISPID dispid, const VARIANT* const* arguments, UINT count, VARIANT* result) noexcept;

    HRESULT PutProperty(DISPID dispid, const VARIANT& value) noexcept;
    HRESULT PutProperty(const wchar_t* name, const VARIANT& value) noexcept;

private:
    // `arguments` in the caller's order; they are handed to Invoke reversed.
    HRESULT Call(DISPID dispid, WORD flags, const VARIANT* const* arguments, UINT count, VARIANT* result) noexcept;
    template <class... Arguments>
    HRESULT CallByName(const wchar_t* name, WORD flags, VARIANT* result, const Arguments&... arguments) noexcept;

    Microsoft::WRL::ComPtr<IDispatch> dispatch_;
};

} // namespace vxOpenAppHook
