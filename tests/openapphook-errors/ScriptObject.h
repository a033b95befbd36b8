#pragma once
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vxtest {

// A scriptable object for tests: members by name (case-sensitive), each
// answered by a handler that sees the Invoke arguments as given.
class CScriptObject final : public IDispatch
{
public:
    using Handler = std::function<HRESULT(WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception)>;

    static Microsoft::WRL::ComPtr<CScriptObject> Create()
    {
        Microsoft::WRL::ComPtr<CScriptObject> object;
        object.Attach(new CScriptObject());
        return object;
    }

    DISPID AddMember(const std::wstring& name, Handler handler)
    {
        DISPID id = static_cast<DISPID>(100 + handlers_.size());
        ids_[name] = id;
        handlers_.push_back(std::move(handler));
        return id;
    }

    // A property that reads as a copy of `value` (released with the object).
    DISPID AddProperty(const std::wstring& name, const VARIANT& value)
    {
        auto stored = std::make_shared<VARIANT>();
        VariantInit(stored.get());
        VariantCopy(stored.get(), const_cast<VARIANT*>(&value));
        return AddMember(name, [stored](WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*) {
            return result ? VariantCopy(result, stored.get()) : E_POINTER;
        });
    }

    int Calls() const { return calls_; }

    STDMETHODIMP QueryInterface(REFIID riid, void** object) noexcept override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (count != 1)
            return E_INVALIDARG;
        auto found = ids_.find(names[0]);
        if (found == ids_.end()) {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = found->second;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO* exception, UINT*) override
    {
        ++calls_;
        size_t index = static_cast<size_t>(id - 100);
        if (id < 100 || index >= handlers_.size())
            return DISP_E_MEMBERNOTFOUND;
        return handlers_[index](flags, parameters, result, exception);
    }

private:
    CScriptObject() = default;
    ~CScriptObject() = default;

    std::atomic<ULONG> references_{1};
    std::atomic<int> calls_{0};
    std::map<std::wstring, DISPID> ids_;
    std::vector<Handler> handlers_;
};

inline VARIANT IntValue(int value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

// A VT_DISPATCH that borrows the pointer (no reference taken).
inline VARIANT ObjectValue(IDispatch* object)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = object;
    return v;
}

inline VARIANT BoolValue(bool value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

} // namespace vxtest
