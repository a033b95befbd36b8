#include "harness/rendererstandin/PageSteering.h"

#include <cstdlib>
#include <stdexcept>

#include "harness/livepage/LiveNativeObject.h"
#include "harness/livepage/LiveValues.h"
#include "harness/nativeobject/SnapshotNativeObject.h"
#include "platform/com/Variant.h"

namespace harness {

namespace {

std::wstring Wide(const std::string& text)
{
    return live::Wide(text);
}

class SnapshotSteering : public PageSteering
{
public:
    explicit SnapshotSteering(const std::wstring& path)
    {
        if (FAILED(vx::com::CreateComObject(native_, SnapshotPage::Load(path))))
            throw std::runtime_error("cannot create the snapshot native object");
    }
    IvxCrNativeChromeObject* Native() override { return native_.Get(); }
    RendererThread& Renderer() override { return native_->Renderer(); }
    void SetBrowserWindow(LONG window) override { native_->SetBrowserWindow(window); }
    long LibraryHandles() override { return native_->LiveHandles(); }
    long ScriptObjectHandles() override { return native_->ScriptObjectHandles(); }
    bool PageGone() override { return false; }

    std::string Steer(const std::string& verb, const std::string& id, const std::string& rest) override
    {
        if (verb == "crash")
            return "error a captured page cannot crash";
        if (verb == "listeners")
            return "ok " + std::to_string(native_->ListenerCount()) + " " +
                   std::to_string(native_->ScriptCallbackCount());
        const long node = native_->Page().FindById(Wide(id));
        if (!node)
            return "error no element";
        if (verb == "remove") {
            native_->RemoveNode(node);
            return "ok";
        }
        if (verb == "fire")
            return "ok " + std::to_string(native_->FireEvent(node, Wide(rest)));
        bool done = false;
        if (verb == "type")
            done = native_->TypeText(node, Wide(rest));
        else if (verb == "choose")
            done = native_->ChooseOption(node, std::atol(rest.c_str()));
        else if (verb == "toggle")
            done = native_->ToggleChecked(node);
        else
            return "error unknown command";
        return done ? "ok" : "error refused";
    }

private:
    Microsoft::WRL::ComPtr<SnapshotNativeObject> native_;
};

// A live page is changed as its own script and a user would change it.
// Events go through the page's dispatch; how many listeners heard one is
// the page's business, so "fire" answers -1 for "unknown".
class LiveSteering : public PageSteering
{
public:
    explicit LiveSteering(const std::wstring& url)
    {
        LivePageOptions options;
        options.port = LiveSidecarPortFromEnvironment();
        options.url = url;
        if (!options.port)
            throw std::runtime_error("VXCR_LIVE_PORT is not set: no live-page sidecar to ask");
        if (FAILED(vx::com::CreateComObject(native_, options)))
            throw std::runtime_error("cannot create the live native object");
    }
    IvxCrNativeChromeObject* Native() override { return native_.Get(); }
    RendererThread& Renderer() override { return native_->Renderer(); }
    void SetBrowserWindow(LONG window) override { native_->SetBrowserWindow(window); }
    long LibraryHandles() override { return native_->LiveHandles(); }
    long ScriptObjectHandles() override { return native_->ScriptObjectHandles(); }
    bool PageGone() override { return native_->PageGone(); }

    std::string Steer(const std::string& verb, const std::string& id, const std::string& rest) override
    {
        if (verb == "listeners")
            return "error the page's listeners are the page's own";
        if (verb == "crash")
            return SUCCEEDED(native_->Control("crash")) ? "ok" : "error the page did not crash";
        const std::string element = "document.getElementById(" + Quoted(id) + ")";
        std::string script;
        if (verb == "remove")
            script = element + ".remove()";
        else if (verb == "fire")
            script = element + ".dispatchEvent(new Event(" + Quoted(rest) + ", {bubbles: true}))";
        else if (verb == "type")
            script = "(e => { e.value = " + Quoted(rest) + "; e.dispatchEvent(new Event('keyup', {bubbles: true})); })(" +
                     element + ")";
        else if (verb == "choose")
            script = "(e => { e.selectedIndex = " + std::to_string(std::atol(rest.c_str())) +
                     "; e.dispatchEvent(new Event('change', {bubbles: true})); })(" + element + ")";
        else if (verb == "toggle")
            script = element + ".click()";
        else
            return "error unknown command";
        vx::com::Variant found;
        if (FAILED(native_->Evaluate(L"!!" + Wide(element), found.Get())) || found.Type() != VT_BOOL ||
            V_BOOL(found.Get()) == VARIANT_FALSE)
            return "error no element";
        vx::com::Variant ignored;
        if (FAILED(native_->Evaluate(Wide(script + ", true"), ignored.Get())))
            return "error refused";
        return verb == "fire" ? "ok -1" : "ok";
    }

private:
    // A script string literal of the text (JSON's is one).
    static std::string Quoted(const std::string& text)
    {
        return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }

    Microsoft::WRL::ComPtr<LiveNativeObject> native_;
};

} // namespace

std::unique_ptr<PageSteering> SteerSnapshot(const std::wstring& snapshotPath)
{
    return std::make_unique<SnapshotSteering>(snapshotPath);
}

std::unique_ptr<PageSteering> SteerLivePage(const std::wstring& url)
{
    return std::make_unique<LiveSteering>(url);
}

} // namespace harness
