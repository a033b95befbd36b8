#pragma once
// The list through which a tab hands new test objects to the engine's side:
// each entry holds one reference.
#include <windows.h>
#include <wrl/client.h>

#include <vector>

#include "generated/vxCrHook.h"
#include "generated/vxOpenAppServices.h"

struct VxCrTestObjectList
{
    std::vector<Microsoft::WRL::ComPtr<IvxObject>> objects;
};
