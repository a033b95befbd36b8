#include "openapphook/InvokeException.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>

namespace vxOpenAppHook {

using Microsoft::WRL::ComPtr;

const wchar_t InvokeErrorMessage[] = L"An error occurred.";
const wchar_t InvokeErrorReasonsText[] =
    L"Possible reasons:\r\n"
    L"1. The application stopped responding.\r\n"
    L"2. The application was compiled incorrectly (see the Open Applications topic in the help system).\r\n"
    L"3. An error occurred in Vantorix.";

namespace {

constexpr std::wstring_view LineBreak = L"\r\n";
constexpr DWORD MaxSystemTextLength = 2048;

// The system's message for a code, on one line.
std::wstring SystemText(HRESULT result)
{
    if (result == 0)
        return std::wstring();
    wchar_t buffer[MaxSystemTextLength] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  static_cast<DWORD>(result), 0, buffer, MaxSystemTextLength, nullptr);
    std::wstring text;
    for (DWORD i = 0; i < length && i < MaxSystemTextLength; ++i) {
        if (buffer[i] != L'\r' && buffer[i] != L'\n')
            text += buffer[i];
    }
    return text;
}

const wchar_t* OrEmpty(BSTR text) noexcept
{
    return text ? text : L"";
}

} // namespace

const wchar_t* InvokeLevelWord(int level) noexcept
{
    switch (level) {
    case CvxInvokeException::LevelMessage:
        return L"Message";
    case CvxInvokeException::LevelWarning:
        return L"Warning";
    default:
        return L"Error";
    }
}

CvxInvokeException::CvxInvokeException(int level, std::wstring_view message, std::wstring_view details)
    : level_(level), message_(message), details_(details)
{
}

void CvxInvokeException::SetDetails(std::wstring_view details)
{
    details_ = vx::com::BStr(details);
}

std::wstring CvxInvokeException::Description() const
{
    std::wstring text = InvokeLevelWord(level_);
    text += LineBreak;
    text += message_.View();
    text += LineBreak;
    text += details_.View();
    return text;
}

CvxInvokeException CvxInvokeException::FromDescription(std::wstring_view description)
{
    const size_t levelEnd = description.find(LineBreak);
    if (levelEnd == std::wstring_view::npos)
        return CvxInvokeException(LevelError, description, std::wstring_view());
    const std::wstring_view word = description.substr(0, levelEnd);
    int level = 0;
    if (word == L"Message")
        level = LevelMessage;
    else if (word == L"Warning")
        level = LevelWarning;
    else if (word == L"Error")
        level = LevelError;
    else
        return CvxInvokeException(LevelError, description, std::wstring_view());
    const std::wstring_view rest = description.substr(levelEnd + LineBreak.size());
    const size_t messageEnd = rest.find(LineBreak);
    if (messageEnd == std::wstring_view::npos)
        return CvxInvokeException(level, rest, std::wstring_view());
    return CvxInvokeException(level, rest.substr(0, messageEnd), rest.substr(messageEnd + LineBreak.size()));
}

HRESULT CvxInvokeException::CreateErrorInfo(IErrorInfo** errorInfo) const noexcept
{
    if (!errorInfo)
        return E_POINTER;
    *errorInfo = nullptr;
    try {
        vx::com::BStr description(Description());
        if (!description.Get())
            return E_OUTOFMEMORY;
        ComPtr<ICreateErrorInfo> create;
        HRESULT hr = ::CreateErrorInfo(&create);
        if (FAILED(hr))
            return hr;
        hr = create->SetDescription(description.Get());
        if (FAILED(hr))
            return hr;
        return create->QueryInterface(IID_PPV_ARGS(errorInfo));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

CvxBadHRInvokeException::CvxBadHRInvokeException(HRESULT result, int callSite, const wchar_t* memberName,
                                                 const EXCEPINFO* exceptionInfo)
    : CvxInvokeException(LevelError, InvokeErrorMessage, std::wstring_view()), result_(result)
{
    SetDetails(BuildDetails(result, callSite, memberName, exceptionInfo));
}

std::wstring CvxBadHRInvokeException::BuildDetails(HRESULT result, int callSite, const wchar_t* memberName,
                                                   const EXCEPINFO* exceptionInfo)
{
    wchar_t numbers[64];
    swprintf(numbers, 64, L"%d 0x%.8x", callSite, static_cast<unsigned>(result));
    std::wstring details = InvokeErrorReasonsText;
    details += L"\n\nTechnical information:\n";
    details += numbers;
    details += L" (" + SystemText(result) + L") ";
    details += memberName ? memberName : L"";
    if (result == DISP_E_EXCEPTION && exceptionInfo) {
        // Automation fills exactly one of the two codes.
        const long code = exceptionInfo->scode != 0 ? exceptionInfo->scode : exceptionInfo->wCode;
        swprintf(numbers, 64, L" %ld\n", code);
        details += L"\n";
        details += OrEmpty(exceptionInfo->bstrSource);
        details += numbers;
        details += OrEmpty(exceptionInfo->bstrDescription);
    }
    return details;
}

HRESULT ReportInvokeException(const CvxInvokeException& exception) noexcept
{
    ComPtr<IErrorInfo> errorInfo;
    if (SUCCEEDED(exception.CreateErrorInfo(&errorInfo)))
        SetErrorInfo(0, errorInfo.Get());
    return VX_E_INVOKE_FAILED;
}

bool TakeThreadInvokeException(CvxInvokeException& exception)
{
    ComPtr<IErrorInfo> errorInfo;
    if (GetErrorInfo(0, &errorInfo) != S_OK || !errorInfo)
        return false;
    vx::com::BStr description;
    if (FAILED(errorInfo->GetDescription(description.Out())))
        return false;
    exception = CvxInvokeException::FromDescription(description.View());
    return true;
}

} // namespace vxOpenAppHook
