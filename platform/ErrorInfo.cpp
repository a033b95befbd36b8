#include "platform/ErrorInfo.h"

#include <oleauto.h>
#include <wrl/client.h>

namespace BaseOV {

HRESULT SetThreadErrorInfo(const wchar_t* description, const wchar_t* source, DWORD helpContext)
{
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    HRESULT hr = CreateErrorInfo(&create);
    if (FAILED(hr))
        return hr;
    create->SetDescription(const_cast<LPOLESTR>(description ? description : L""));
    if (source)
        create->SetSource(const_cast<LPOLESTR>(source));
    create->SetHelpContext(helpContext);
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    hr = create.As(&info);
    if (FAILED(hr))
        return hr;
    return SetErrorInfo(0, info.Get());
}

} // namespace BaseOV
