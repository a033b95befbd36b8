#pragma once
// A browser module with one tab (id 4) showing the captured recording page in
// a renderer stand-in process, in the DOM model, the engine's object tree of
// that page (window, page and every element, found by id), and the engine
// stand-in recording with the module and the controls recorder.
#include <memory>
#include <string>

#include "ModuleFixture.h"
#include "harness/enginerecorder/ElementTree.h"
#include "harness/enginerecorder/EngineRecorder.h"
#include "harness/enginetree/EngineTree.h"

namespace recording_tests {

class RecordingTest : public browser_services_tests::BrowserModuleTest
{
protected:
    static constexpr LONG kTab = 4;

    void SetUp() override;
    void TearDown() override;

    // The engine's node of the element with that id (the test fails when the
    // page has none).
    vxtest::CTestTreeNode* Element(const std::wstring& id);
    vxtest::CTestTreeNode* Page() { return tree_->Page(); }
    HWND TabWindow() const { return tabWindow_; }
    // One command to the renderer process; its answer line.
    std::string Renderer(const std::string& command);
    // The moniker of the first test object of a node, or of an object.
    static std::wstring Moniker(IUnknown* object);
    static std::wstring MonikerOf(vxtest::CTestTreeNode* node);

    Microsoft::WRL::ComPtr<vxtest::CEngineRecorder> recorder_;
    Microsoft::WRL::ComPtr<IUnknown> controlsRecorder_;

private:
    HWND tabWindow_ = nullptr;
    std::unique_ptr<vxtest::ElementTree> tree_;
};

} // namespace recording_tests
