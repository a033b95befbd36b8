#pragma once
// Which process options a tab sends to its renderer's quick browser, and how
// each value travels in UpdateOption: the key as its GUID string in braces,
// the renderer call time-out as VT_UI4, the object model as VT_I4, the two
// renderer booleans as VT_BOOL, and the masked-parameter list as one VT_BSTR
// of its non-empty items joined by line feeds. The browser-side flag is
// never sent.
#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "platform/process/ProcessOptions.h"
#include "platform/com/BStr.h"

// The keys sent to renderers, in sending order.
const std::vector<GUID>& RendererOptionKeys();

// The key as "{XXXXXXXX-...}".
vx::com::BStr OptionKeyString(const GUID& key);
// The value of `key` in `values` as sent; E_INVALIDARG for a key that is
// not sent to renderers.
HRESULT MakeRendererOptionValue(const GUID& key, const ProcessOptionValues& values, VARIANT* value);
// The renderer keys whose values differ between `before` and `after`.
std::vector<GUID> ChangedRendererOptionKeys(const ProcessOptionValues& before, const ProcessOptionValues& after);
