#pragma once
// The product's regular-expression module as the web-control detection uses
// it: loaded through its GetModuleIntf on the first pattern test and let go
// with the owner. Without the module every pattern test answers false.
#include <windows.h>

#include <string_view>

#include "generated/ovRegExp.h"
#include "platform/ModuleProxy.h"

namespace vxCrRecording {

// The module's file, looked for in the product folder and its "extensions"
// folder.
inline constexpr char kRegExpModuleFileName[] = "ovRegExp.dll";

// One user's hold on the module. Not shared between threads: each detection
// run owns one, so the library keeps no process-wide state for it.
class CRegExpModule
{
public:
    CRegExpModule() : proxy_(kRegExpModuleFileName) {}
    CRegExpModule(const CRegExpModule&) = delete;
    CRegExpModule& operator=(const CRegExpModule&) = delete;

    // Whether `pattern` is found in `text`. False when the module is missing,
    // has unloaded, or refuses the pattern.
    bool Search(const wchar_t* pattern, std::wstring_view text) noexcept;

    // Whether the module was found (loads it on the first call).
    bool Available() noexcept;

private:
    BaseOV::ModuleProxy2<IovRegExpIntf> proxy_;
    bool loadTried_ = false;
};

} // namespace vxCrRecording
