#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>

#include "platform/com/BStr.h"

namespace vxOpenAppHook {

// The library's own failure code: it accompanies error information that the
// library raises itself, whose description is in the three-part format
// (level word, message, details; CR LF between them).
constexpr HRESULT VX_E_INVOKE_FAILED = static_cast<HRESULT>(0x847CEED2);

// The message of every CvxBadHRInvokeException.
extern const wchar_t InvokeErrorMessage[]; // "An error occurred."
// The first part of the details of the library's errors.
extern const wchar_t InvokeErrorReasonsText[];

// A failure with text for the user of the test engine: level (1 message,
// 2 warning, 3 error), message and details.
class CvxInvokeException
{
public:
    enum Level : int {
        LevelMessage = 1,
        LevelWarning = 2,
        LevelError = 3,
    };

    CvxInvokeException() = default;
    CvxInvokeException(int level, std::wstring_view message, std::wstring_view details);
    virtual ~CvxInvokeException() = default;
    CvxInvokeException(const CvxInvokeException&) = default;
    CvxInvokeException& operator=(const CvxInvokeException&) = default;

    int Level() const noexcept { return level_; }
    BSTR Message() const noexcept { return message_.Get(); }
    BSTR Details() const noexcept { return details_.Get(); }
    std::wstring_view MessageText() const noexcept { return message_.View(); }
    std::wstring_view DetailsText() const noexcept { return details_.View(); }

    // The error-information description: level word, CR LF, message, CR LF,
    // details.
    std::wstring Description() const;

    // Parses a description in the format above. Without a recognised level
    // word on its first line the whole text is the message, at level 3.
    static CvxInvokeException FromDescription(std::wstring_view description);

    // A new error-information object whose description is Description().
    HRESULT CreateErrorInfo(IErrorInfo** errorInfo) const noexcept;

protected:
    void SetDetails(std::wstring_view details);

private:
    int level_ = LevelError;
    vx::com::BStr message_;
    vx::com::BStr details_;
};

// A failed call: "An error occurred." at level 3, with details that name the
// failing HRESULT, the call site, the member and what the callee reported.
class CvxBadHRInvokeException : public CvxInvokeException
{
public:
    // `callSite` tells which call failed; `memberName` and `exceptionInfo`
    // may be null.
    CvxBadHRInvokeException(HRESULT result, int callSite, const wchar_t* memberName = nullptr,
                            const EXCEPINFO* exceptionInfo = nullptr);

    HRESULT Result() const noexcept { return result_; }

    // The details text for these inputs (see the constructor).
    static std::wstring BuildDetails(HRESULT result, int callSite, const wchar_t* memberName,
                                     const EXCEPINFO* exceptionInfo);

private:
    HRESULT result_;
};

// The level word of a level ("Message", "Warning", otherwise "Error").
const wchar_t* InvokeLevelWord(int level) noexcept;

// Publishes the exception as the thread's error information and returns
// VX_E_INVOKE_FAILED; this is how code that returns HRESULTs reports a
// caught CvxInvokeException.
HRESULT ReportInvokeException(const CvxInvokeException& exception) noexcept;

// Reads the thread's error information (GetErrorInfo, which clears it) back
// into an exception; false when there is none.
bool TakeThreadInvokeException(CvxInvokeException& exception);

} // namespace vxOpenAppHook
