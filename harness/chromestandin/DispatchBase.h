#pragma once
// Building blocks of the stand-in's late-bound objects: a COM object that
// answers IDispatch by DISPID only (no type information, no names unless a
// subclass adds them), and a reader of DISPPARAMS arguments in call order.
// The objects aggregate the free-threaded marshaler (usable from any
// apartment) and, being test equipment, stay out of the library's count of
// live objects.
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>

#include <new>
#include <utility>

#include "platform/com/Variant.h"

namespace chrome_standin {

template <class Derived>
class DispatchObject : public IDispatch
{
public:
    DispatchObject() = default;
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualIID(riid, IID_IMarshal) && marshaler_)
            return marshaler_->QueryInterface(riid, ppv);
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG count = InterlockedDecrement(&refCount_);
        if (count == 0)
            delete this;
        return static_cast<ULONG>(count);
    }
    // Second construction phase; subclasses that override it call this first.
    virtual HRESULT FinalConstruct() { return CoCreateFreeThreadedMarshaler(this, &marshaler_); }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!names || !ids || count == 0)
            return E_POINTER;
        for (UINT i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        DISPID id = DISPID_UNKNOWN;
        if (!FindName(names[0], id))
            return DISP_E_UNKNOWNNAME;
        ids[0] = id;
        return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }

protected:
    virtual ~DispatchObject() = default;
    // Names a subclass answers in GetIDsOfNames (none by default).
    virtual bool FindName(const wchar_t*, DISPID&) { return false; }

private:
    LONG refCount_ = 0;
    Microsoft::WRL::ComPtr<IUnknown> marshaler_;
};

// Allocation, construction and FinalConstruct; `out` holds the only
// reference on success.
template <class T, class... Args>
HRESULT CreateDispatchObject(Microsoft::WRL::ComPtr<T>& out, Args&&... args)
{
    out.Reset();
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object)
        return E_OUTOFMEMORY;
    object->AddRef();
    HRESULT hr = object->FinalConstruct();
    if (FAILED(hr)) {
        object->Release();
        return hr;
    }
    out.Attach(object);
    return S_OK;
}

// The positional arguments of one Invoke, addressed in call order (index 0
// is the first argument although DISPPARAMS holds them last to first).
// Values passed by reference are read through.
class DispatchArgs
{
public:
    explicit DispatchArgs(const DISPPARAMS* parameters) : parameters_(parameters) {}

    UINT Count() const { return parameters_ ? parameters_->cArgs - parameters_->cNamedArgs : 0; }
    // DISP_E_BADPARAMCOUNT unless exactly `count` positional arguments came.
    HRESULT Expect(UINT count) const { return Count() == count ? S_OK : DISP_E_BADPARAMCOUNT; }

    // DISP_E_TYPEMISMATCH when the value cannot be converted.
    HRESULT Long(UINT index, LONG& value) const;
    HRESULT Bool(UINT index, bool& value) const;
    HRESULT String(UINT index, std::wstring& value) const;
    // VT_DISPATCH, or VT_UNKNOWN answering IDispatch; a null one is refused.
    HRESULT Dispatch(UINT index, Microsoft::WRL::ComPtr<IDispatch>& value) const;
    // A copy of the argument, references resolved.
    HRESULT Copy(UINT index, vx::com::Variant& value) const;

private:
    HRESULT Converted(UINT index, VARTYPE type, vx::com::Variant& value) const;

    const DISPPARAMS* parameters_;
};

// Result helpers: they clear `result` first and tolerate a null one.
void ReturnLong(VARIANT* result, LONG value);
void ReturnULong(VARIANT* result, ULONG value);
void ReturnBool(VARIANT* result, bool value);
HRESULT ReturnString(VARIANT* result, const std::wstring& value);
void ReturnDispatch(VARIANT* result, IDispatch* value);

} // namespace chrome_standin
