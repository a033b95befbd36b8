#include "webfw/DOMModel/NodeNamePropStrEvaluator.h"

#include <cwctype>

#include "platform/com/BStr.h"
#include "webfw/DOMModel/UrlNameParts.h"

namespace vxWebFw {

namespace {
bool IsBlank(const std::wstring& text)
{
    for (wchar_t c : text)
        if (!iswspace(c))
            return false;
    return true;
}
} // namespace

HRESULT CNodeNamePropStrEvaluator::EvaluateNamePropStr(Recognizing::RecognizedNode& node, BSTR* name)
{
    if (!name)
        return E_POINTER;
    *name = nullptr;
    const long elementType = node.GetElementType();
    vx::com::BStr url;
    if (elementType == Recognizing::etA)
        GetHref(node.GetNode(), url.Out());
    else if (elementType == Recognizing::etIMG)
        GetSrc(node.GetNode(), url.Out());
    else
        return S_OK;
    if (url.Empty())
        return S_OK;

    UrlNameParts parts = SplitUrlNameParts(url.View());
    const std::wstring* chosen = nullptr;
    if (elementType == Recognizing::etA) {
        for (auto it = parts.segments.rbegin(); it != parts.segments.rend(); ++it)
            if (!IsBlank(*it)) {
                chosen = &*it;
                break;
            }
    } else if (!parts.segments.empty()) {
        chosen = &parts.segments.back();
    }
    if (!chosen)
        return S_OK;
    std::wstring decoded = DecodePercentEscapes(*chosen);
    if (decoded.empty())
        return S_OK;
    *name = SysAllocStringLen(decoded.data(), static_cast<UINT>(decoded.size()));
    return *name ? S_OK : E_OUTOFMEMORY;
}

} // namespace vxWebFw
