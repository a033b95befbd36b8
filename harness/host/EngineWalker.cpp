#include "harness/host/EngineWalker.h"

#include <cstdio>

using Microsoft::WRL::ComPtr;

namespace harness {
namespace {

std::wstring Take(BSTR text)
{
    std::wstring result = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return result;
}

std::wstring Text(const VARIANT& value)
{
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR)))
        return V_VT(&value) == VT_EMPTY ? L"" : L"?";
    return Take(V_BSTR(&text));
}

// A property read by name through IDispatch, as a script reads it.
std::wstring PropertyText(IDispatch* object, const std::wstring& name)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id)))
        return L"?";
    DISPPARAMS none = {};
    VARIANT value;
    VariantInit(&value);
    if (FAILED(object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr)))
        return L"?";
    std::wstring text = Text(value);
    VariantClear(&value);
    return text;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    auto* windows = reinterpret_cast<std::vector<HWND>*>(list);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId())
        windows->push_back(window);
    return TRUE;
}

} // namespace

EngineWalker::EngineWalker(std::vector<ComPtr<IUnknown>> modules) : modules_(std::move(modules)) {}

template <class Itf>
std::vector<ComPtr<Itf>> EngineWalker::Modules()
{
    std::vector<ComPtr<Itf>> found;
    for (const ComPtr<IUnknown>& module : modules_) {
        ComPtr<Itf> itf;
        if (SUCCEEDED(module.As(&itf)))
            found.push_back(itf);
    }
    return found;
}

void EngineWalker::SetOption(const GUID& key, const VARIANT& value)
{
    for (const ComPtr<IvxModuleOptions>& module : Modules<IvxModuleOptions>())
        module->SetOption(&key, value);
}

std::vector<ComPtr<IDispatch>> EngineWalker::ClaimedWindows()
{
    // Top-level windows and, below each, every child window.
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    const size_t topLevel = windows.size();
    for (size_t i = 0; i < topLevel; ++i)
        EnumChildWindows(windows[i], CollectWindow, reinterpret_cast<LPARAM>(&windows));
    std::vector<ComPtr<IDispatch>> claimed;
    // The engine claims windows through IvxModuleWindows2.
    const auto modules = Modules<IvxModuleWindows2>();
    for (HWND window : windows) {
        for (const ComPtr<IvxModuleWindows2>& module : modules) {
            ComPtr<IDispatch> object;
            if (module->GetObjectFromWindow(reinterpret_cast<LONG_PTR>(window), &object) != VARIANT_FALSE && object) {
                claimed.push_back(object);
                break;
            }
        }
    }
    return claimed;
}

std::vector<ComPtr<IDispatch>> EngineWalker::Children(const VARIANT& parent)
{
    std::vector<ComPtr<IDispatch>> children;
    for (const ComPtr<IvxModuleObjects>& module : Modules<IvxModuleObjects>()) {
        VARIANT answer;
        VariantInit(&answer);
        if (module->GetObjects(parent, &answer) == VARIANT_FALSE || V_VT(&answer) != (VT_ARRAY | VT_DISPATCH)) {
            VariantClear(&answer);
            continue;
        }
        LONG upper = -1;
        SafeArrayGetUBound(V_ARRAY(&answer), 1, &upper);
        for (LONG i = 0; i <= upper; ++i) {
            ComPtr<IDispatch> child;
            if (SUCCEEDED(SafeArrayGetElement(V_ARRAY(&answer), &i, child.GetAddressOf())) && child)
                children.push_back(child);
        }
        VariantClear(&answer);
    }
    return children;
}

std::vector<ComPtr<IDispatch>> EngineWalker::Children(IDispatch* parent)
{
    VARIANT value;
    V_VT(&value) = VT_DISPATCH;
    V_DISPATCH(&value) = parent;
    return Children(value);
}

WalkedObject EngineWalker::Read(IDispatch* object, bool deep, const std::function<void()>& progress)
{
    WalkedObject walked;
    ComPtr<IvxObject> vx;
    if (SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&vx)))) {
        BSTR text = nullptr;
        if (SUCCEEDED(vx->GetIdentifierString(&text)))
            walked.identifier = Take(text);
        text = nullptr;
        if (SUCCEEDED(vx->GetMoniker(&text)))
            walked.moniker = Take(text);
    }
    ComPtr<IvxMethodCallInformation> call;
    ComPtr<IvxMethodCallInformation2> alias;
    ComPtr<IvxObjectDetails> details;
    ComPtr<IUnknown> windowProvider;
    if (SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&call)))) {
        BSTR text = nullptr;
        if (SUCCEEDED(call->GetMethodName(&text)))
            walked.method = Take(text);
        LONG count = 0;
        call->GetParamCount(&count);
        for (LONG i = 0; i < count; ++i) {
            text = nullptr;
            if (FAILED(call->GetParamName(i, &text)))
                continue;
            const std::wstring name = Take(text);
            walked.parameters.emplace_back(name, PropertyText(object, name));
        }
    }
    if (SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&alias)))) {
        BSTR text = nullptr;
        if (SUCCEEDED(alias->GetAlias(&text)))
            walked.alias = Take(text);
    }
    // {2C81DC6B-F143-4DE4-A507-587E3097B1C7}: the library's window objects.
    static const IID kWindowProvider = {0x2C81DC6B, 0xF143, 0x4DE4, {0xA5, 0x07, 0x58, 0x7E, 0x30, 0x97, 0xB1, 0xC7}};
    if (SUCCEEDED(object->QueryInterface(kWindowProvider, reinterpret_cast<void**>(windowProvider.GetAddressOf()))))
        walked.kind = L"Window";
    else if (SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&details))))
        walked.kind = L"Page";
    else if (!call && alias)
        walked.kind = L"Named";
    else
        walked.kind = walked.method.empty() ? L"Object" : walked.method;
    ComPtr<IvxObjectControl> control;
    if (SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&control)))) {
        LONG left = 0, top = 0, width = 0, height = 0;
        if (SUCCEEDED(control->GetLeft(&left)) && SUCCEEDED(control->GetTop(&top)) &&
            SUCCEEDED(control->GetWidth(&width)) && SUCCEEDED(control->GetHeight(&height))) {
            walked.hasRectangle = true;
            walked.rectangle = {left, top, left + width, top + height};
        }
        VARIANT_BOOL flag = VARIANT_FALSE;
        walked.visible = SUCCEEDED(control->GetVisible(&flag)) && flag != VARIANT_FALSE;
        flag = VARIANT_FALSE;
        walked.enabled = SUCCEEDED(control->GetEnabled(&flag)) && flag != VARIANT_FALSE;
    }
    if (progress)
        progress();
    if (deep)
        for (const ComPtr<IDispatch>& child : Children(object))
            walked.children.push_back(Read(child.Get(), true, progress));
    return walked;
}

ComPtr<IDispatch> EngineWalker::ObjectAtPoint(IDispatch* windowObject, LONG x, LONG y)
{
    for (const ComPtr<IvxModuleControls>& module : Modules<IvxModuleControls>()) {
        LONG_PTR window = 0;
        ComPtr<IDispatch> found;
        if (module->GetObjectFromPoint(windowObject, x, y, &window, &found) != VARIANT_FALSE && found)
            return found;
    }
    return nullptr;
}

ComPtr<IDispatch> EngineWalker::FocusedObject(IDispatch* windowObject)
{
    for (const ComPtr<IvxModuleControls>& module : Modules<IvxModuleControls>()) {
        LONG_PTR window = 0;
        ComPtr<IDispatch> found;
        if (module->GetFocusedObject(windowObject, &window, &found) != VARIANT_FALSE && found)
            return found;
    }
    return nullptr;
}

} // namespace harness
