#pragma once
// Web-control detection: names the vendor web control (Telerik.Web.UI,
// Infragistics.WebUI, DevExpress.Web families) that a page element belongs
// to, from its class name and id, the scripts next to it and the global
// objects of the page's script.
#include <windows.h>

#include "generated/vxOpenAppServices.h"

namespace vxCrRecording {

// Classifies the element behind `webObject`. Results:
// - S_OK with the control's class name in *className (e.g.
//   "Telerik.Web.UI.RadComboBox");
// - S_FALSE with a null name when the element is no known control;
// - E_INVALIDARG without an object, E_POINTER without an out parameter;
// - whatever GetClassNameAndId answers other than S_OK, and a failure of
//   GetScriptObject.
// Never throws. Missing script members, failed calls and an absent script
// object make a rule false. Pattern tests on the id go to the product's
// regular-expression module, loaded for the run; without it every pattern
// test is false.
HRESULT DetectWebControl(IvxWebObject* webObject, BSTR* className) noexcept;

} // namespace vxCrRecording
