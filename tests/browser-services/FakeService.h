#pragma once
// A tiny published service for the service-object tests: answers each DISPID
// with a value the test chose (nothing by default) and records every call's
// arguments in call order.
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <mutex>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/com/Variant.h"

namespace browser_services_tests {

class FakeService : public vx::com::ComObject<FakeService, IDispatch>
{
public:
    struct Call
    {
        DISPID member = 0;
        std::vector<vx::com::Variant> arguments; // in call order
    };

    // The value returned for `member` from now on (copied).
    void Answer(DISPID member, const VARIANT& value);
    void AnswerObject(DISPID member, IDispatch* object);
    void Refuse(DISPID member, HRESULT failure);

    std::vector<Call> Calls(DISPID member);
    size_t CallCount(DISPID member);
    // The object passed as the first argument of the last call of `member`.
    Microsoft::WRL::ComPtr<IDispatch> LastObjectArgument(DISPID member);
    void ForgetCalls();

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

private:
    std::mutex mutex_;
    std::map<DISPID, vx::com::Variant> answers_;
    std::map<DISPID, HRESULT> refusals_;
    std::vector<Call> calls_;
};

} // namespace browser_services_tests
