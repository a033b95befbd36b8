#include "FakeService.h"

using Microsoft::WRL::ComPtr;

namespace browser_services_tests {

void FakeService::Answer(DISPID member, const VARIANT& value)
{
    std::lock_guard<std::mutex> guard(mutex_);
    answers_[member].CopyFrom(value);
}

void FakeService::AnswerObject(DISPID member, IDispatch* object)
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_DISPATCH;
    V_DISPATCH(&value) = object;
    Answer(member, value);
}

void FakeService::Refuse(DISPID member, HRESULT failure)
{
    std::lock_guard<std::mutex> guard(mutex_);
    refusals_[member] = failure;
}

std::vector<FakeService::Call> FakeService::Calls(DISPID member)
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<Call> found;
    for (const Call& call : calls_) {
        if (call.member != member)
            continue;
        Call copy;
        copy.member = member;
        for (const vx::com::Variant& argument : call.arguments) {
            copy.arguments.emplace_back();
            copy.arguments.back().CopyFrom(*argument);
        }
        found.push_back(std::move(copy));
    }
    return found;
}

size_t FakeService::CallCount(DISPID member)
{
    return Calls(member).size();
}

ComPtr<IDispatch> FakeService::LastObjectArgument(DISPID member)
{
    std::vector<Call> calls = Calls(member);
    ComPtr<IDispatch> object;
    for (const Call& call : calls)
        for (const vx::com::Variant& argument : call.arguments)
            if (argument.Type() == VT_DISPATCH)
                object = V_DISPATCH(argument.Get());
    return object;
}

void FakeService::ForgetCalls()
{
    std::vector<Call> forgotten;
    std::lock_guard<std::mutex> guard(mutex_);
    forgotten.swap(calls_);
}

STDMETHODIMP FakeService::GetTypeInfoCount(UINT* count)
{
    *count = 0;
    return S_OK;
}

STDMETHODIMP FakeService::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP FakeService::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP FakeService::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                                 UINT*)
{
    Call call;
    call.member = member;
    for (UINT i = parameters ? parameters->cArgs : 0; i > 0; --i) {
        call.arguments.emplace_back();
        call.arguments.back().CopyFrom(parameters->rgvarg[i - 1]);
    }
    std::lock_guard<std::mutex> guard(mutex_);
    calls_.push_back(std::move(call));
    auto refused = refusals_.find(member);
    if (refused != refusals_.end())
        return refused->second;
    auto answer = answers_.find(member);
    if (result) {
        VariantInit(result);
        if (answer != answers_.end())
            VariantCopy(result, answer->second.Get());
    }
    return S_OK;
}

} // namespace browser_services_tests
