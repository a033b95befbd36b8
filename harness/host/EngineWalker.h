#pragma once
// The engine's walk of an application's object tree, as the engine does it
// through the host module interfaces of the hook modules registered with the
// host stand-in: windows of the process claimed with IvxModuleWindows, the
// children of each object from IvxModuleObjects, and for every object what
// the engine reads of it (IvxObject, the naming interfaces, IvxObjectControl
// and the properties that re-find it). No library logic lives here.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

#include "generated/vxOpenAppServices.h"

namespace harness {

struct WalkedObject
{
    std::wstring kind;   // Window, Page, Named, or the method that re-finds it
    std::wstring method; // empty when the object has none
    std::vector<std::pair<std::wstring, std::wstring>> parameters; // name, value read from the object
    std::wstring identifier;                                       // GetIdentifierString
    std::wstring alias;
    std::wstring moniker;
    bool hasRectangle = false;
    RECT rectangle = {}; // screen coordinates
    bool visible = false;
    bool enabled = false;
    std::vector<WalkedObject> children;
};

class EngineWalker
{
public:
    // The registered modules (each asked in order, as the engine does).
    explicit EngineWalker(std::vector<Microsoft::WRL::ComPtr<IUnknown>> modules);

    // Tells every module an option value.
    void SetOption(const GUID& key, const VARIANT& value);

    // Window objects of the windows of this process that a module claims.
    std::vector<Microsoft::WRL::ComPtr<IDispatch>> ClaimedWindows();
    // The children a module gives for `parent` (the root: VT_EMPTY).
    std::vector<Microsoft::WRL::ComPtr<IDispatch>> Children(const VARIANT& parent);
    std::vector<Microsoft::WRL::ComPtr<IDispatch>> Children(IDispatch* parent);

    // Reads one object and, when `deep`, its subtree; `progress` is told of
    // every object read.
    WalkedObject Read(IDispatch* object, bool deep, const std::function<void()>& progress = {});

    // The object at a screen point of a window object / its focused object.
    Microsoft::WRL::ComPtr<IDispatch> ObjectAtPoint(IDispatch* windowObject, LONG x, LONG y);
    Microsoft::WRL::ComPtr<IDispatch> FocusedObject(IDispatch* windowObject);

private:
    template <class Itf>
    std::vector<Microsoft::WRL::ComPtr<Itf>> Modules();

    std::vector<Microsoft::WRL::ComPtr<IUnknown>> modules_;
};

} // namespace harness
