#include "recording/ElementClass.h"

#include <string>

#include "platform/com/BStr.h"

namespace vxCrRecording {
namespace {

std::wstring Lowered(const vx::com::BStr& text)
{
    std::wstring value(text.Get() ? text.Get() : L"", text.Length());
    if (!value.empty())
        CharLowerBuffW(value.data(), static_cast<DWORD>(value.size()));
    return value;
}

ElementClass ClassifyInput(IvxCrCustomControlsNodeInformation* element)
{
    vx::com::BStr name(L"type");
    vx::com::BStr type;
    if (FAILED(element->GetPrpStr(name.Get(), type.Out())))
        return ElementClass::None;
    const std::wstring lowered = Lowered(type);
    if (lowered == L"checkbox")
        return ElementClass::CheckBox;
    if (lowered.empty() || lowered == L"text" || lowered == L"search")
        return ElementClass::TextBox;
    if (lowered == L"password")
        return ElementClass::PasswordBox;
    return ElementClass::None;
}

ElementClass ClassifySelect(IvxCrCustomControlsNodeInformation* element)
{
    vx::com::BStr sizeName(L"size");
    vx::com::BStr multipleName(L"multiple");
    LONG size = 0;
    VARIANT_BOOL multiple = VARIANT_FALSE;
    if (FAILED(element->GetPrpLong(sizeName.Get(), &size)) ||
        FAILED(element->GetPrpBool(multipleName.Get(), &multiple)))
        return ElementClass::None;
    return size > 1 || multiple != VARIANT_FALSE ? ElementClass::ListBox : ElementClass::DropDown;
}

} // namespace

ElementClass ClassifyElement(IvxCrCustomControlsNodeInformation* element) noexcept
try {
    if (!element)
        return ElementClass::None;
    vx::com::BStr tag;
    if (FAILED(element->GetTagName(tag.Out())))
        return ElementClass::None;
    const std::wstring lowered = Lowered(tag);
    if (lowered == L"input")
        return ClassifyInput(element);
    if (lowered == L"select")
        return ClassifySelect(element);
    return ElementClass::None;
} catch (...) {
    return ElementClass::None;
}

} // namespace vxCrRecording
