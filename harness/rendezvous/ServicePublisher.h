#pragma once
// The publishing half of the service rendezvous, as the product's Chrome
// component performs it: the service's IDispatch, marshalled table-strong so
// any number of consumers can unmarshal the same bytes, is written into a
// named paging-file mapping (4-byte length, then the packet) and announced by
// a manual-reset "<name>_readyEvent". The service stays offered while the
// object lives.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <string>

#include "platform/com/UniqueHandle.h"

namespace rendezvous_harness {

struct PublishOptions
{
    // Create the objects under "Global\" + name first (as the product does on
    // Windows 2000 and later); false publishes under the plain names only.
    bool tryGlobalNames = true;
    // Signal the ready event at once; false leaves it unsignalled until
    // SignalReady.
    bool signalReady = true;
};

// "Global\" + name on NT systems from Windows 2000 on, else name.
std::wstring GlobalObjectName(const std::wstring& name);

class ServicePublisher
{
public:
    ServicePublisher() = default;
    ~ServicePublisher() { Withdraw(); }
    ServicePublisher(const ServicePublisher&) = delete;
    ServicePublisher& operator=(const ServicePublisher&) = delete;

    // E_UNEXPECTED when the mapping already exists (another publisher offers
    // the name), E_FAIL when it cannot be created.
    HRESULT Publish(const std::wstring& name, IDispatch* service, const PublishOptions& options = {});
    HRESULT SignalReady();
    // Closes both objects and releases the marshalled data.
    void Withdraw();

    // The names the objects were created under (empty before publishing).
    const std::wstring& MappingName() const { return mappingName_; }
    const std::wstring& ReadyEventName() const { return readyEventName_; }

private:
    vx::com::UniqueHandle mapping_;
    vx::com::UniqueHandle ready_;
    Microsoft::WRL::ComPtr<IStream> marshalData_;
    std::wstring mappingName_;
    std::wstring readyEventName_;
};

} // namespace rendezvous_harness
