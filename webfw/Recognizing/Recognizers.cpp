#include "webfw/Recognizing/Recognizers.h"

#include <string>
#include <vector>

#include "platform/com/BStr.h"

namespace vxWebFw::Recognizing {

std::wstring UpperCaseThroughAnsi(BSTR text)
{
    UINT length = text ? SysStringLen(text) : 0;
    if (length == 0)
        return std::wstring();
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::wstring();
    std::vector<char> ansi(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), ansi.data(), bytes, nullptr, nullptr);
    CharUpperBuffA(ansi.data(), static_cast<DWORD>(bytes));
    int chars = MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, nullptr, 0);
    std::wstring upper(static_cast<size_t>(chars > 0 ? chars : 0), L'\0');
    if (chars > 0)
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, upper.data(), chars);
    return upper;
}

CElementTypeRecognizerImpl::CElementTypeRecognizerImpl()
{
    // clang-format off
    static const struct { const wchar_t* tag; long type; } kTags[] = {
        {L"HTML", etHTML},       {L"BODY", etBODY},         {L"HEAD", etHEAD},       {L"TITLE", etTITLE},
        {L"IFRAME", etIFRAME},   {L"FRAME", etFRAME},       {L"OBJECT", etOBJECT},   {L"A", etA},
        {L"IMG", etIMG},         {L"APPLET", etAPPLET},     {L"BUTTON", etBUTTON},   {L"CAPTION", etCAPTION},
        {L"EMBED", etEMBED},     {L"FIELDSET", etFIELDSET}, {L"FORM", etFORM},       {L"INPUT", etINPUT},
        {L"LABEL", etLABEL},     {L"LEGEND", etLEGEND},     {L"MARQUEE", etMARQUEE}, {L"SELECT", etSELECT},
        {L"TABLE", etTABLE},     {L"TD", etTD},             {L"TH", etTD},           {L"TR", etTR},
        {L"TEXTAREA", etTEXTAREA}, {L"DIV", etDIV},         {L"SCRIPT", etSCRIPT},   {L"MAP", etMAP},
        {L"AREA", etAREA},       {L"OPTION", etOPTION},     {L"OPTGROUP", etOPTGROUP}, {L"NOSCRIPT", etNOSCRIPT},
        {L"NOFRAMES", etNOFRAMES}, {L"PARAM", etPARAM},     {L"STYLE", etSTYLE},
    };
    // clang-format on
    for (const auto& entry : kTags)
        table_.emplace(entry.tag, entry.type);
}

HRESULT CElementTypeRecognizerImpl::Recognize(NodeImpl* node, long* elementType)
{
    if (!elementType)
        return E_POINTER;
    vx::com::BStr tag;
    GetTagName(node, tag.Out()); // an unreadable tag simply matches nothing
    *elementType = etOther;
    auto it = table_.find(UpperCaseThroughAnsi(tag.Get()));
    if (it != table_.end())
        *elementType = it->second;
    return S_OK;
}

CHTMLInputElementTypeRecognizerImpl::CHTMLInputElementTypeRecognizerImpl()
{
    static const struct
    {
        const wchar_t* type;
        long value;
    } kTypes[] = {
        {L"BUTTON", itBUTTON}, {L"CHECKBOX", itCHECKBOX}, {L"FILE", itFILE},   {L"HIDDEN", itHIDDEN},
        {L"IMAGE", itIMAGE},   {L"PASSWORD", itPASSWORD}, {L"RADIO", itRADIO}, {L"RESET", itRESET},
        {L"SUBMIT", itSUBMIT}, {L"TEXT", itTEXT},
    };
    for (const auto& entry : kTypes)
        table_.emplace(entry.type, entry.value);
}

HRESULT CHTMLInputElementTypeRecognizerImpl::Recognize(NodeImpl* node, long* inputType)
{
    if (!inputType)
        return E_POINTER;
    vx::com::BStr type;
    GetInputType(node, type.Out());
    *inputType = itOther;
    auto it = table_.find(UpperCaseThroughAnsi(type.Get()));
    if (it != table_.end())
        *inputType = it->second;
    return S_OK;
}

CNodeTypeRecognizerImpl::CNodeTypeRecognizerImpl()
{
    for (long type = ntElement; type <= ntNotation; ++type)
        table_.emplace(type, type);
}

HRESULT CNodeTypeRecognizerImpl::Recognize(NodeImpl* node, long* nodeType)
{
    if (!nodeType)
        return E_POINTER;
    long value = 0;
    GetNodeTypeValue(node, &value);
    *nodeType = ntUnknown;
    auto it = table_.find(value);
    if (it != table_.end())
        *nodeType = it->second;
    return S_OK;
}

} // namespace vxWebFw::Recognizing
