#pragma once
// The drop-down list side of recording: which option of a SELECT the user
// chose, named so that playback finds it again, and the engine's test
// object of the SELECT. Calls go through the elements' script objects and
// throw CvxInvokeException when one fails.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "generated/vxOpenAppServices.h"
#include "openapphook/DispDriver.h"
#include "platform/com/Variant.h"

namespace vxCrRecording {

// The nearest ancestor of `element` whose tagName is exactly "SELECT"; an
// empty driver when there is none.
vxOpenAppHook::CvxDispDriver AncestorSelect(const vxOpenAppHook::CvxDispDriver& element);

// How an option is recorded: its text (VT_BSTR) when that names it alone in
// its list (ignoring case), otherwise its index (VT_I4): an empty text, a
// text with "|" (the engine's separator) and a text another option of the
// list also has are recorded by index.
vx::com::Variant OptionIdentifier(const vxOpenAppHook::CvxDispDriver& select, long index);

// The engine's node of the SELECT's test object: searched depth-first among
// the children of `node` without refreshing, then among the children of
// each of its ancestors in turn (the SELECT is not below the node of one of
// its own options). Null when none is found.
Microsoft::WRL::ComPtr<IvxObjectTreeNode> FindSelectNode(IvxObjectTreeNode* node, IDispatch* select);

} // namespace vxCrRecording
