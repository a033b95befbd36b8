#pragma once
// A scripted recording session for vxobjectspy: the engine records while a
// user acts on the first tab's page, and every record the engine received is
// printed as a test author would read it.
#include <windows.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "ChromeStandin.h"
#include "harness/host/EngineWalker.h"

namespace objectspy {

// Plays the steps of `scriptPath` (see the format in the source) on tab 1,
// whose window object is `windowObject`, with the registered `modules`.
// Returns the exit status: 0, or 1 after a one-line error on standard error.
int PlayRecordingScript(const std::wstring& scriptPath, chrome_standin::ChromeStandin& standin,
                        harness::EngineWalker& walker, const std::vector<Microsoft::WRL::ComPtr<IUnknown>>& modules,
                        IDispatch* windowObject);

} // namespace objectspy
