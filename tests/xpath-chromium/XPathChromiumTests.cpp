// The library's XPath over captured pages against what Chromium's own
// document.evaluate answered on the same pages (expected/*.json, written by
// tools/capture/xpath-expectations.mjs). Nodes are compared by identity (the
// snapshot's node ids), numbers by XPath's string form; where a case lists
// the library's own answer (a deliberate difference, with its reason), that
// answer is required instead of Chromium's.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "harness/nativeobject/SnapshotNativeObject.h"
#include "openapphook/StubManager.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "webfw/NativeModel/NodeHandle.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/chrome/CrFwElementByIdProvider.h"
#include "webfw/chrome/CrFwXPathEvaluatedNodeHandler.h"
#include "webfw/chrome/CrFwXPathEvaluation.h"
#include "webfw/XPath/XPathEvaluator.h"
#include "webfw/XPath/engine/XPathText.h"
#include "webfw/chrome/CrFwAdapters.h"

using nlohmann::json;
using vxWebFw::XPath::Engine::Node;
using vxWebFw::XPath::Engine::NodeKind;
using vxWebFw::XPath::Engine::ValueType;

namespace {

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Utf8(const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring WindowsPath(const std::string& path)
{
    std::wstring out = L"Z:";
    for (char c : path)
        out.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return out;
}

json ReadJson(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::stringstream text;
    text << in.rdbuf();
    return json::parse(text.str());
}

std::vector<std::string> ExpectationFiles()
{
    // The pages of cases.json, in its order, named as the recorder names them.
    std::vector<std::string> files;
    json cases = ReadJson(std::string(VX_XPATH_CHROMIUM_DIR) + "/cases.json");
    for (const json& entry : cases.at("pages")) {
        std::string name = entry.at("page").get<std::string>();
        for (char& c : name)
            if (c == '/')
                c = '_';
        files.push_back(name.substr(0, name.rfind('.')));
    }
    return files;
}

// A snapshot behind the page context the library evaluates in, with the
// evaluator's parts made as the renderer-side entry makes them.
class PageUnderTest
{
public:
    explicit PageUnderTest(const std::string& snapshot)
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        native_ = harness::CreateSnapshotNativeObject(WindowsPath(std::string(VX_PAGES_DIR) + "/" + snapshot));
        vx::com::CreateComObject(stubs_);
        vx::com::CreateComObject(helper_);
        attached_ = helper_->AttachNative(static_cast<vxOpenAppHook::IStubManager*>(stubs_.Get()), native_.Get(),
                                          CreateCrFwAdapters);
        startHandles_ = native_->LiveHandles();
    }

    bool Ready() const { return attached_ == S_OK && helper_->Adapters(); }
    long HandlesLeft() { return native_->LiveHandles() - startHandles_; }
    long Faults() { return native_->Faults(); }

    // The library's answer in the expectation files' form, or an "error" answer.
    json Answer(const std::wstring& expression)
    {
        CCrFwAdapters& adapters = *helper_->Adapters();
        auto* lifetime = adapters.nodeLifetime.get();
        CCrFwNodeDataProvider nodeData(helper_.Get(), lifetime);
        CCrFwNodeAttributesProvider attributes(helper_.Get(), lifetime);
        CCrFwAttributeDataProvider attributeData(helper_.Get());
        CCrFwFrameDocumentProvider frames(helper_.Get(), lifetime);
        CCrFwIFrameDocumentProvider iframes(helper_.Get(), lifetime);
        CCrFwElementByIdProvider elementsById(helper_.Get());
        vxWebFw::XPath::CXPathEvaluator evaluator(adapters.recognizerSet.get(), &nodeData, &attributes, &attributeData,
                                                  &frames, &iframes, nullptr, &elementsById);
        vxWebFw::NodeHandle window(helper_.Get());
        vxWebFw::NodeHandle document(helper_.Get());
        if (FAILED(helper_->GetWindowNode(window.Out())) || FAILED(helper_->GetDocument(window.Get(), document.Out())))
            return json{{"type", "error"}, {"value", "no document"}};
        std::unique_ptr<vxWebFw::XPath::CXPathResult> result;
        HRESULT hr = evaluator.Run(expression.c_str(), document.Get(), result);
        if (FAILED(hr))
            return json{{"type", "error"}, {"value", "hr " + std::to_string(hr)}};
        const auto& value = result->Value();
        switch (value.type()) {
        case ValueType::Boolean:
            return json{{"type", "boolean"}, {"value", value.booleanValue() ? "true" : "false"}};
        case ValueType::Number:
            return json{{"type", "number"},
                        {"value", Utf8(vxWebFw::XPath::Engine::Text::formatNumber(value.numberValue()))}};
        case ValueType::String:
            return json{{"type", "string"}, {"value", Utf8(value.stringValue())}};
        case ValueType::NodeSet:
            break;
        }
        json nodes = json::array();
        const auto& navigator = result->Navigator();
        for (Node node : value.nodes()) {
            if (node.kind == NodeKind::Attribute) {
                long owner = native_->NodeIdOf(navigator.NativeNode(navigator.parent(node)));
                nodes.push_back("#" + std::to_string(owner) + "@" + Utf8(navigator.localName(node)));
            } else {
                nodes.push_back("#" + std::to_string(native_->NodeIdOf(navigator.NativeNode(node))));
            }
        }
        return json{{"type", "node-set"}, {"nodes", nodes}};
    }

    // The VARIANT type the page object's entry answers.
    VARTYPE EntryType(const std::wstring& expression)
    {
        vx::com::BStr text(expression.c_str());
        vx::com::BStr prefix(L"");
        vx::com::Variant value;
        if (FAILED(vxWebFw::XPath::CrFwEvaluateXPath(helper_.Get(), text.Get(), prefix.Get(), value.Out())))
            return VT_ERROR;
        return value.Type();
    }

    ~PageUnderTest()
    {
        helper_.Reset();
        stubs_.Reset();
        native_.Reset();
    }

private:
    Microsoft::WRL::ComPtr<harness::SnapshotNativeObject> native_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubs_;
    Microsoft::WRL::ComPtr<CCrRawBrowserHelper> helper_;
    HRESULT attached_ = E_FAIL;
    long startHandles_ = 0;
};

VARTYPE VariantTypeFor(const json& answer)
{
    const std::string type = answer.at("type");
    if (type == "boolean")
        return VT_BOOL;
    if (type == "number")
        return VT_R8;
    if (type == "string")
        return VT_BSTR;
    return answer.at("nodes").empty() ? VT_EMPTY : (VT_ARRAY | VT_VARIANT);
}

} // namespace

class ChromiumExpectations : public ::testing::TestWithParam<std::string>
{
};

TEST_P(ChromiumExpectations, LibraryAnswersAsChromiumDoes)
{
    json file = ReadJson(std::string(VX_XPATH_CHROMIUM_DIR) + "/expected/" + GetParam() + ".json");
    PageUnderTest page(file.at("snapshot").get<std::string>());
    ASSERT_TRUE(page.Ready());
    ASSERT_GE(file.at("cases").size(), 100u);
    int compared = 0, differences = 0;
    for (const json& c : file.at("cases")) {
        const std::string expression = c.at("expression");
        const bool deliberate = c.contains("library");
        const json& expected = deliberate ? c.at("library") : c.at("chromium");
        ASSERT_NE("error", expected.at("type")) << expression << ": Chromium refused it; drop the case";
        json ours = page.Answer(Wide(expression));
        ++compared;
        differences += deliberate;
        EXPECT_EQ(expected.dump(), ours.dump())
            << GetParam() << ": " << expression << (deliberate ? " (deliberate difference)" : "");
        EXPECT_EQ(VariantTypeFor(expected), page.EntryType(Wide(expression))) << expression;
    }
    EXPECT_EQ(0, page.HandlesLeft()) << "node handles left behind";
    EXPECT_EQ(0, page.Faults());
    std::printf("[ compared ] %s: %d cases, %d of them deliberate differences\n", GetParam().c_str(), compared,
                differences);
}

INSTANTIATE_TEST_SUITE_P(Pages, ChromiumExpectations, ::testing::ValuesIn(ExpectationFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });
