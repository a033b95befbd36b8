#pragma once
// A published test service: answers the liveness method (DISPID 32) and two
// identity methods by DISPID, so that a consumer can tell which publisher it
// reached.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "platform/com/ComObject.h"

namespace rendezvous_harness {

class TestService : public vx::com::ComObject<TestService, IDispatch>
{
public:
    static constexpr DISPID kLiveness = 32;
    static constexpr DISPID kProcessId = 100; // VT_I4: the publisher's process id
    static constexpr DISPID kTag = 101;       // VT_BSTR: the tag given at start
    static constexpr DISPID kCallCount = 102; // VT_I4: calls answered so far

    explicit TestService(std::wstring tag) : tag_(std::move(tag)) {}

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

private:
    std::wstring tag_;
    LONG calls_ = 0;
};

} // namespace rendezvous_harness
