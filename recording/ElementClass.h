#pragma once
// Which kind of form control an element is, as the recording providers sort
// elements: read through the element's node information, tag and `type`
// lower-cased first. A read that fails leaves the element in `None`.
#include <windows.h>

#include "generated/vxCrHook.h"

namespace vxCrRecording {

enum class ElementClass : int {
    None = 0,
    CheckBox = 1,
    TextBox = 2,
    PasswordBox = 3,
    ListBox = 4,
    DropDown = 5,
};

ElementClass ClassifyElement(IvxCrCustomControlsNodeInformation* element) noexcept;

} // namespace vxCrRecording
