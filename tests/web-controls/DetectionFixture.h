#pragma once
// A page read by the library in a renderer stand-in process, its element
// test objects by id as the engine gets them (the DOM model's "all"
// collection), and the product folder with the regular-expression module
// stand-in in its Extensions folder.
#include <windows.h>
#include <wrl/client.h>

#include <map>
#include <memory>
#include <string>

#include "tests/support/LayoutFolder.h"
#include "HookTabFixture.h"
#include "generated/vxOpenAppServices.h"

namespace web_control_tests {

using testsupport::LayoutDirectory;

// Sets the product path variable for the life of the object, and puts the
// old value back.
class ProductFolder
{
public:
    explicit ProductFolder(const std::wstring& folder);
    ~ProductFolder();
    ProductFolder(const ProductFolder&) = delete;
    ProductFolder& operator=(const ProductFolder&) = delete;

private:
    std::wstring old_;
    bool hadOld_ = false;
};

class DetectionTest : public hook_tab_tests::StandinTabTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads a snapshot below tests/pages into the renderer and takes the
    // page's element test objects.
    void StartRenderer(const char* snapshot);
    // The element test object whose id is `id` (a failure when none).
    Microsoft::WRL::ComPtr<IvxObject> Element(const std::wstring& id);
    Microsoft::WRL::ComPtr<IvxWebObject> WebObject(const std::wstring& id);
    Microsoft::WRL::ComPtr<IvxObject> PageObject();
    // Script objects of the renderer's page that the browser side holds now.
    long ScriptObjects();
    // The same once it is `expected`, or after a second of waiting for
    // released proxies to reach the renderer.
    long ScriptObjectsAfterRelease(long expected);
    // Lets every test object go, shuts the renderer's library down and
    // answers the renderer's live node handles and script-object handles
    // ("ok <nodes> <script objects>").
    std::string HandlesAfterRelease();
    HWND TabWindow();

    std::map<std::wstring, Microsoft::WRL::ComPtr<IvxObject>> elements_;

private:
    std::string Renderer(const std::string& command);
    std::unique_ptr<ProductFolder> product_;
};

} // namespace web_control_tests
