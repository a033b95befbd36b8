#include "comhelp/MtaCachedInterface.h"

#include "comhelp/ComHelpProxy.h"

using Microsoft::WRL::ComPtr;

namespace {

void __stdcall ReleaseInMta(void* object)
{
    static_cast<IUnknown*>(object)->Release();
}

// Releases a pointer obtained in the MTA from there.
void ReleaseFromMta(IUnknown* object) noexcept
{
    if (MtaCachedInterface::CallerInMta()) {
        object->Release();
        return;
    }
    ComPtr<IovComHelpProxyDisposable> comHelp;
    ComPtr<IovMTA> mta;
    if (SUCCEEDED(ovComHelp_EXP::GetComHelpProxy(comHelp)) && SUCCEEDED(comHelp->GetMTA(&mta)) && mta &&
        SUCCEEDED(mta->Invoke(&ReleaseInMta, object)))
        return;
    // No way into the MTA any more (the COM utility module is gone): a
    // release from here is better than keeping the remote object alive
    // for the rest of the process.
    object->Release();
}

} // namespace

bool MtaCachedInterface::CallerInMta() noexcept
{
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && type == APTTYPE_MTA;
}

HRESULT MtaCachedInterface::Register(IUnknown* object, REFIID iid)
{
    Reset();
    return registration_.Register(object, iid);
}

HRESULT MtaCachedInterface::Fetch(REFIID iid, void** object) const
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (registration_.Empty())
        return E_FAIL;
    const bool inMta = CallerInMta();
    if (inMta) {
        if (IUnknown* kept = keptForMta_.load(std::memory_order_acquire))
            return kept->QueryInterface(iid, object);
    }
    HRESULT hr = registration_.Fetch(iid, object);
    if (FAILED(hr) || !inMta)
        return hr;
    IUnknown* fetched = static_cast<IUnknown*>(*object);
    fetched->AddRef();
    IUnknown* none = nullptr;
    if (!keptForMta_.compare_exchange_strong(none, fetched, std::memory_order_acq_rel))
        fetched->Release(); // another MTA thread kept one first; we are in the MTA
    return hr;
}

void MtaCachedInterface::Reset() noexcept
{
    if (IUnknown* kept = keptForMta_.exchange(nullptr, std::memory_order_acq_rel))
        ReleaseFromMta(kept);
    registration_.Reset();
}
