// Stand-in of the product's regular-expression module (ovRegExp.dll):
// IovRegExpIntf searches a pattern in a text with the C++ library's
// ECMAScript regular expressions; IovModuleIntf keeps the unload
// subscribers. See README.md for the pattern dialect.
#include <windows.h>
#include <oleauto.h>

#include <regex>
#include <string>
#include <vector>

#include "generated/ovModule.h"
#include "generated/ovRegExp.h"
#include "harness/common/ModuleNotifierLists.h"
#include "platform/com/ComObject.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSection;
using vx::com::CriticalSectionLock;

namespace regexp_standin {
namespace {

// The module's dialect in ECMAScript terms: "\z" stands for an unsigned
// integer, one or more decimal digits. False for "\z" inside a bracket
// expression, which has no meaning here.
bool Translate(const std::wstring& pattern, std::wstring& out)
{
    out.clear();
    bool inBracket = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        if (c == L'\\' && i + 1 < pattern.size()) {
            const wchar_t next = pattern[++i];
            if (next == L'z') {
                if (inBracket)
                    return false;
                out += L"(?:[0-9]+)";
            } else {
                out += c;
                out += next;
            }
            continue;
        }
        if (c == L'[' && !inBracket)
            inBracket = true;
        else if (c == L']' && inBracket)
            inBracket = false;
        out += c;
    }
    return true;
}

class RegExpModule : public vx::com::ComObject<RegExpModule, IovModuleIntf, IovRegExpIntf>
{
public:
    // IovModuleIntf
    STDMETHODIMP AddNotifier(IovModuleIntfNotifier* notifier) noexcept override
    try {
        return notifiers_.Add(false, notifier);
    }
    VX_COM_CATCH
    STDMETHODIMP RemoveNotifier(IovModuleIntfNotifier* notifier) noexcept override
    try {
        return notifiers_.Remove(false, notifier);
    }
    VX_COM_CATCH
    STDMETHODIMP AddProxyNotifier(IovModuleIntfNotifier* notifier) noexcept override
    try {
        return notifiers_.Add(true, notifier);
    }
    VX_COM_CATCH
    STDMETHODIMP RemoveProxyNotifier(IovModuleIntfNotifier* notifier) noexcept override
    try {
        return notifiers_.Remove(true, notifier);
    }
    VX_COM_CATCH

    // IovRegExpIntf
    STDMETHODIMP Search(BSTR pattern, BSTR text, VARIANT_BOOL* found) noexcept override
    try {
        if (!found)
            return E_POINTER;
        *found = VARIANT_FALSE;
        std::wstring translated;
        if (!Translate(std::wstring(pattern ? pattern : L"", SysStringLen(pattern)), translated))
            return E_INVALIDARG;
        std::wregex expression;
        try {
            expression.assign(translated, std::regex_constants::ECMAScript);
        } catch (const std::regex_error&) {
            return E_INVALIDARG;
        }
        const std::wstring searched(text ? text : L"", SysStringLen(text));
        *found = std::regex_search(searched, expression) ? VARIANT_TRUE : VARIANT_FALSE;
        {
            CriticalSectionLock guard(searchesLock_);
            ++searches_;
        }
        return S_OK;
    }
    VX_COM_CATCH

    long Searches()
    {
        CriticalSectionLock guard(searchesLock_);
        return searches_;
    }

private:
    harness::ModuleNotifierLists notifiers_;
    CriticalSection searchesLock_;
    long searches_ = 0;
};

CriticalSection& SingletonLock()
{
    static CriticalSection lock;
    return lock;
}

ComPtr<RegExpModule>& Singleton()
{
    static ComPtr<RegExpModule> module;
    return module;
}

} // namespace
} // namespace regexp_standin

using regexp_standin::RegExpModule;

extern "C" HRESULT WINAPI GetModuleIntf(IUnknown** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    CriticalSectionLock guard(regexp_standin::SingletonLock());
    ComPtr<RegExpModule>& module = regexp_standin::Singleton();
    if (!module) {
        HRESULT hr = vx::com::CreateComObject(module);
        if (FAILED(hr))
            return hr;
    }
    return module->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(result));
}

// Test control: the number of pattern searches answered since the module
// was loaded.
extern "C" LONG WINAPI ovRegExpSearchCount()
{
    CriticalSectionLock guard(regexp_standin::SingletonLock());
    ComPtr<RegExpModule>& module = regexp_standin::Singleton();
    return module ? module->Searches() : 0;
}
