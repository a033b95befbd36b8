#pragma once
// The library's single access to the product's COM utility module. Every
// object taken from the module is handed out inside a wrapper; when the
// module unloads (or the process shuts down) Dispose drops all wrappers at
// once, so callers still holding one get E_FAIL instead of calling into
// unloaded code.
#include <windows.h>

#include <string>
#include <vector>

#include "generated/ovComHelp.h"
#include "comhelp/ComHelpWrappers.h"
#include "generated/ovModule.h"
#include "platform/ModuleProxy.h"
#include "platform/com/ComObject.h"

namespace ovComHelp_EXP {

class CovComHelpProxy
    : public vx::com::ComObject<CovComHelpProxy, IovComHelpProxyDisposable,
                                vx::com::AnswerAs<IovComHelpProxy, IovComHelpProxyDisposable>, IovModuleIntfNotifier>
{
public:
    // Creates a proxy attached to the named module (loaded from the product
    // directory). A module that cannot be loaded still gives a proxy: its
    // requests then answer E_FAIL.
    static HRESULT Create(Microsoft::WRL::ComPtr<CovComHelpProxy>& proxy, const char* moduleFileName = "ovComHelp.dll");

    explicit CovComHelpProxy(const char* moduleFileName);

    HRESULT FinalConstruct() override;

    // IovComHelpProxy: operations 1 to 4 are cached, 5 and 6 are new on every
    // call.
    STDMETHODIMP GetGlobalInterfaceTable(IGlobalInterfaceTable** table) noexcept override;
    STDMETHODIMP GetSTA1(IovSTA1** invoker) noexcept override;
    STDMETHODIMP GetSeparateSTA1(IovSTA1** invoker) noexcept override;
    STDMETHODIMP GetMTA(IovMTA** invoker) noexcept override;
    STDMETHODIMP CreateSeparateInvoker(IovInvoker** invoker) noexcept override;
    STDMETHODIMP CreateSeparateMTAInvoker(IovInvoker** invoker) noexcept override;

    // IovComHelpProxyDisposable
    STDMETHODIMP RegisterDisposable(IUnknown* disposable) noexcept override;
    STDMETHODIMP Dispose() noexcept override;

    // IovModuleIntfNotifier: the module is unloading.
    STDMETHODIMP OnModuleUnload(BSTR moduleName, IovModuleIntf* sourceModule) noexcept override;

    bool IsDisposed();

private:
    using ModuleObjectRequest = HRESULT (STDMETHODCALLTYPE IovComHelp::*)(IovInvoker**);

    // What one request to the module holds while its answer is wrapped: the
    // module and the object it answered. The caller decides when they go.
    template <class Inner>
    struct ModuleAnswer
    {
        Microsoft::WRL::ComPtr<IovComHelp> module;
        Microsoft::WRL::ComPtr<Inner> object;
    };

    // The module's interface while attached (own reference), or null.
    Microsoft::WRL::ComPtr<IovComHelp> AttachedModule();
    // Asks the attached module for an object (`request`, called outside the
    // lock) and wraps it; E_FAIL when detached or when the module answers none.
    template <class Inner, class Wrapper, class Request>
    HRESULT WrapModuleAnswer(Request request, ModuleAnswer<Inner>& answer, Microsoft::WRL::ComPtr<Wrapper>& wrapper);
    // The wrapper in `cache`, made from the module's answer on first use.
    template <class Inner, class Wrapper, class Request, class Answer>
    HRESULT GetCachedWrapper(Microsoft::WRL::ComPtr<Wrapper>& cache, Request request, Answer** result);
    template <class Wrapper>
    HRESULT CreateListedInvoker(ModuleObjectRequest request, IovInvoker** result);

    std::string moduleFileName_;
    Microsoft::WRL::ComPtr<BaseOV::ModuleProxy<IovComHelp>> moduleProxy_;
    Microsoft::WRL::ComPtr<IovComHelp> comHelp_;
    Microsoft::WRL::ComPtr<IovModuleIntf> notifierRegisteredWith_;

    Microsoft::WRL::ComPtr<CovGlobalInterfaceTableProxy> globalInterfaceTable_;
    Microsoft::WRL::ComPtr<CovSTA1Proxy> sta1_;
    Microsoft::WRL::ComPtr<CovSTA1Proxy> separateSta1_;
    Microsoft::WRL::ComPtr<CovMTAProxy> mta_;
    std::vector<Microsoft::WRL::ComPtr<IovInvokerProxy>> handedOut_;
    bool disposed_ = false;
};

// The process-wide proxy, created on first use; disposed and released when
// the library's static objects go.
HRESULT GetComHelpProxy(Microsoft::WRL::ComPtr<IovComHelpProxyDisposable>& proxy);

} // namespace ovComHelp_EXP
