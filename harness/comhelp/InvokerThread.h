#pragma once
// A thread of the COM utility module stand-in that runs functions handed to
// it through IovInvoker, in the apartment it was started in. The thread holds
// a reference to the module's DLL and ends on its own once the invoker object
// is released, so releasing never waits (safe under the loader lock).
#include <windows.h>
#include <objbase.h>

#include "generated/ovComHelp.h"
#include "platform/com/ComObject.h"
#include "platform/com/UniqueHandle.h"

namespace comhelp_standin {

class InvokerThread : public vx::com::ComObject<InvokerThread, IovInvoker>
{
public:
    explicit InvokerThread(COINIT apartment) : apartment_(apartment) {}
    ~InvokerThread() override;

    // Starts the thread and waits until it takes requests.
    HRESULT FinalConstruct() override;

    STDMETHODIMP Invoke(OV_INVOKE_PROC function, void* userData) override;

private:
    static DWORD WINAPI ThreadMain(void* parameter);

    COINIT apartment_;
    vx::com::UniqueHandle thread_;
    DWORD threadId_ = 0;
};

} // namespace comhelp_standin
