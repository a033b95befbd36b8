#pragma once
// Stand-in of the engine's record of one recorded event: its kind, its
// properties (values and raw payloads, keyed by GUID), the object it refers
// to and the module that fired it. Test equipment.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "generated/vxOpenAppServices.h"
#include "platform/com/ComObject.h"
#include "platform/com/Variant.h"

namespace vxtest {

struct GuidLess
{
    bool operator()(const GUID& a, const GUID& b) const { return memcmp(&a, &b, sizeof(GUID)) < 0; }
};

class CEngineEventRecord final : public vx::com::ComObject<CEngineEventRecord, IvxEventRecord>
{
public:
    explicit CEngineEventRecord(const GUID& eventGuid) : eventGuid_(eventGuid) {}

    // IvxEventRecord
    STDMETHODIMP GetEventGuid(GUID* eventGuid) noexcept override;
    STDMETHODIMP GetTargetObject(IDispatch** target) noexcept override;
    STDMETHODIMP SetTargetObject(IDispatch* target) noexcept override;
    STDMETHODIMP HasProperty(const GUID* key) noexcept override;
    STDMETHODIMP GetProperty(const GUID* key, VARIANT* value) noexcept override;
    STDMETHODIMP GetRawProperty(const GUID* key, ULONG size, BYTE* buffer) noexcept override;
    STDMETHODIMP SetProperty(const GUID* key, VARIANT value) noexcept override;
    STDMETHODIMP SetRawProperty(const GUID* key, ULONG size, const BYTE* buffer) noexcept override;

    // For tests and the record tool.
    const GUID& EventGuid() const { return eventGuid_; }
    bool Has(const GUID& key);
    // VT_EMPTY when the record has no such value.
    vx::com::Variant Value(const GUID& key);
    std::vector<BYTE> Raw(const GUID& key);
    Microsoft::WRL::ComPtr<IDispatch> Target();
    // The object the recorder was given for the record (SetEventObject).
    Microsoft::WRL::ComPtr<IDispatch> EventObject();
    void SetEventObject(IDispatch* object);
    // The module object that fired the record; null for records the engine
    // made itself.
    Microsoft::WRL::ComPtr<IUnknown> Source();
    void SetSource(IUnknown* source);

    // One line a test author can read: the kind and every property, known
    // ones by name.
    std::wstring Describe();

private:
    const GUID eventGuid_;
    std::mutex lock_;
    std::map<GUID, vx::com::Variant, GuidLess> values_;
    std::map<GUID, std::vector<BYTE>, GuidLess> raw_;
    Microsoft::WRL::ComPtr<IDispatch> target_;
    Microsoft::WRL::ComPtr<IDispatch> eventObject_;
    Microsoft::WRL::ComPtr<IUnknown> source_;
};

} // namespace vxtest
