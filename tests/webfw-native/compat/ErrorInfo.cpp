// The native build's BaseOV::SetThreadErrorInfo: the information is kept in
// a per-thread slot (compat/ThreadErrorInfo.h) instead of a COM error object.
#include "platform/ErrorInfo.h"

#include <optional>
#include <utility>

#include "ThreadErrorInfo.h"

namespace {

thread_local std::optional<vxcompat::ThreadErrorInfo> published;

} // namespace

namespace BaseOV {

HRESULT SetThreadErrorInfo(const wchar_t* description, const wchar_t* source, DWORD helpContext)
{
    vxcompat::ThreadErrorInfo info;
    info.description = description ? description : L"";
    if (source)
        info.source = source;
    info.helpContext = helpContext;
    published = std::move(info);
    return S_OK;
}

} // namespace BaseOV

namespace vxcompat {

HRESULT TakeThreadErrorInfo(ThreadErrorInfo& info)
{
    if (!published)
        return S_FALSE;
    info = std::move(*published);
    published.reset();
    return S_OK;
}

void ClearThreadErrorInfo()
{
    published.reset();
}

} // namespace vxcompat
