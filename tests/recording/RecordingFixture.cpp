#include "RecordingFixture.h"

#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "platform/process/ProcessOptions.h"
#include "recording/ControlsRecorder.h"
#include "tests/support/LibraryTypeInfo.h"
#include "tests/support/PagePath.h"

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::Variant;
using vxtest::CTestTreeNode;

namespace recording_tests {
namespace {

// The children the module gives for `parent`, as the engine asks.
std::vector<ComPtr<IDispatch>> Children(IvxModuleObjects* objects, IDispatch* parent)
{
    VARIANT argument;
    V_VT(&argument) = VT_DISPATCH;
    V_DISPATCH(&argument) = parent; // borrowed
    Variant answer;
    std::vector<ComPtr<IDispatch>> children;
    if (objects->GetObjects(argument, answer.Out()) == VARIANT_FALSE || answer.Type() != (VT_ARRAY | VT_DISPATCH))
        return children;
    LONG upper = -1;
    SafeArrayGetUBound(V_ARRAY(answer.Get()), 1, &upper);
    for (LONG i = 0; i <= upper; ++i) {
        ComPtr<IDispatch> child;
        SafeArrayGetElement(V_ARRAY(answer.Get()), &i, child.GetAddressOf());
        children.push_back(std::move(child));
    }
    return children;
}

} // namespace

void RecordingTest::SetUp()
{
    // Attaching to the host loads these; the module here is made directly.
    ASSERT_TRUE(testsupport::LoadLibraryTypeInfo());
    BrowserModuleTest::SetUp();
    ASSERT_EQ(S_OK, standin_->OpenTab(kTab, L"http://four.test/recording.html", false, true));
    Settle();
    // The DOM model: every element of the page is an object of its own.
    VARIANT model;
    V_VT(&model) = VT_I4;
    V_I4(&model) = 0;
    bool changed = false;
    ASSERT_EQ(S_OK, ProcessOptions().SetOption(ProcessOptionKeys::ObjectModel, model, changed));
    ASSERT_EQ(S_OK, standin_->StartRenderer(kTab, testsupport::PagePath("snapshots/recording.json")));
    module_->PushChangedOptionsToTabs();
    tabWindow_ = standin_->Tab(kTab)->windows.renderWidgetHost;

    // The engine's tree: the tab window's object, its page and the page's
    // elements, with their children as the module gives them.
    ComPtr<IvxModuleWindows2> windows;
    ComPtr<IvxModuleObjects> objects;
    ASSERT_EQ(S_OK, module_.As(&windows));
    ASSERT_EQ(S_OK, module_.As(&objects));
    ComPtr<IDispatch> windowObject;
    ASSERT_EQ(VARIANT_TRUE, windows->GetObjectFromWindow(reinterpret_cast<LONG_PTR>(tabWindow_), &windowObject));
    tree_ = std::make_unique<vxtest::ElementTree>(
        windowObject.Get(), [&](IDispatch* parent) { return Children(objects.Get(), parent); }, 6);
    ASSERT_TRUE(tree_->Page());

    controlsRecorder_ = nullptr;
    ComPtr<CvxCrControlsRecorder> controls;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(controls));
    controlsRecorder_ = controls->Identity();
    ASSERT_EQ(S_OK, vx::com::CreateComObject(recorder_,
                                             std::vector<ComPtr<IUnknown>>{module_->Identity(), controlsRecorder_}));
    ASSERT_EQ(S_OK, recorder_->Start());
}

void RecordingTest::TearDown()
{
    if (recorder_) {
        recorder_->DisposeProviders();
        recorder_->Stop();
    }
    recorder_.Reset();
    tree_.reset();
    BrowserModuleTest::TearDown();
    VARIANT model;
    V_VT(&model) = VT_I4;
    V_I4(&model) = 3;
    bool changed = false;
    ProcessOptions().SetOption(ProcessOptionKeys::ObjectModel, model, changed);
}

CTestTreeNode* RecordingTest::Element(const std::wstring& id)
{
    CTestTreeNode* element = tree_->Element(id);
    EXPECT_TRUE(element) << "no element " << std::string(id.begin(), id.end());
    return element;
}

std::string RecordingTest::Renderer(const std::string& command)
{
    std::string answer;
    EXPECT_EQ(S_OK, standin_->RendererCommand(kTab, command, answer)) << command;
    return answer;
}

std::wstring RecordingTest::Moniker(IUnknown* object)
{
    ComPtr<IvxObject> vx;
    BStr moniker;
    if (!object || FAILED(object->QueryInterface(IID_PPV_ARGS(&vx))) || FAILED(vx->GetMoniker(moniker.Out())))
        return L"<no moniker>";
    return moniker.Str();
}

std::wstring RecordingTest::MonikerOf(CTestTreeNode* node)
{
    return node ? Moniker(node->FirstTestObject().Get()) : L"<no node>";
}

} // namespace recording_tests
