#include "recording/ControlsRecorder.h"

#include <string>

#include "openapphook/DispDriver.h"
#include "platform/com/BStr.h"
#include "platform/com/ComBoundary.h"
#include "recording/EventRecordKeys.h"
#include "recording/SelectOptions.h"

using Microsoft::WRL::ComPtr;
using vxOpenAppHook::CvxDispDriver;
using namespace vxCrRecording;

const GUID CvxCrControlsRecorder::ModuleId = {
    0x18EC443D, 0xA84E, 0x4D9C, {0xBF, 0x1A, 0x73, 0x7A, 0x23, 0xE7, 0xDC, 0x35}};

namespace {

constexpr wchar_t kRenderWidgetClass[] = L"Chrome_RenderWidgetHostHWND";

// The window-message payload: window, message and the point relative to the
// target element.
struct WindowMessage
{
    bool present = false;
    HWND window = nullptr;
    LONG message = 0;
    LONG x = 0;
    LONG y = 0;
};

WindowMessage ReadWindowMessage(IvxEventRecord* record, const GUID& kind)
{
    WindowMessage m;
    BYTE payload[WindowMessagePayloadSize] = {};
    if (!IsEqualGUID(kind, WindowMessageEvent) ||
        FAILED(record->GetRawProperty(&WindowMessageEvent, WindowMessagePayloadSize, payload)))
        return m;
    LONG window = 0;
    memcpy(&window, payload, sizeof(window));
    memcpy(&m.message, payload + 8, sizeof(m.message));
    memcpy(&m.x, payload + 12, sizeof(m.x));
    memcpy(&m.y, payload + 16, sizeof(m.y));
    // Window handles are 32-bit values, sign-extended in 64-bit processes.
    m.window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(window));
    m.present = true;
    return m;
}

bool IsButtonDown(const WindowMessage& m)
{
    return m.present && (m.message == WM_LBUTTONDOWN || m.message == WM_RBUTTONDOWN);
}

std::wstring Lowered(std::wstring text)
{
    if (!text.empty())
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// A click released on one of Chrome's pop-up render widgets (the list of an
// open drop-down).
bool IsPopupRenderWidgetClick(const WindowMessage& m)
{
    if (!m.present || m.message != WM_LBUTTONUP || !m.window)
        return false;
    wchar_t className[64] = {};
    if (!GetClassNameW(m.window, className, 64) || wcscmp(className, kRenderWidgetClass) != 0)
        return false;
    return (GetWindowLongPtrW(m.window, GWL_STYLE) & WS_POPUP) != 0;
}

void SetLong(IvxEventRecord* record, const GUID& key, LONG value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    record->SetProperty(&key, v);
}

double ToDouble(const vx::com::Variant& value)
{
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(value.Get()), 0, VT_R8)))
        throw vxOpenAppHook::CvxBadHRInvokeException(DISP_E_TYPEMISMATCH, vxOpenAppHook::CallSiteIntConversion);
    return V_R8(&converted);
}

// One recorded event on one element, by the element's tag.
class EventHandler
{
public:
    EventHandler(IvxEventRecord* record, const GUID& kind, const WindowMessage& message, IDispatch* testObject,
                 CvxDispDriver element)
        : record_(record), kind_(kind), message_(message), testObject_(testObject), element_(std::move(element))
    {
    }

    bool Run(const std::wstring& tag)
    {
        if (tag == L"a")
            return Clickable();
        if (tag == L"select")
            return Select();
        if (tag == L"option")
            return Option();
        if (tag != L"input")
            return false;
        const std::wstring type = Lowered(element_.GetPropertyString(L"type"));
        if (type == L"button" || type == L"reset" || type == L"submit" || type == L"radio")
            return Clickable();
        if (type == L"checkbox")
            return CheckBox();
        if (type == L"text" || type == L"password" || type == L"search" || type.empty())
            return EditBox();
        return false; // file and other inputs: nothing recorded here
    }

private:
    bool Clickable()
    {
        SetLong(record_, ControlKindProperty, KindClickable);
        return false;
    }

    bool CheckBox()
    {
        SetLong(record_, ControlKindProperty, KindCheckBox);
        if (!message_.present || message_.message != WM_LBUTTONUP)
            return false;
        vx::com::Variant checked = element_.GetPropertyVariant(L"checked");
        if (FAILED(VariantChangeType(checked.Get(), checked.Get(), 0, VT_BOOL)))
            return false;
        record_->SetProperty(&CheckedProperty, *checked);
        return true;
    }

    bool EditBox()
    {
        SetLong(record_, ControlKindProperty, KindEditBox);
        if (!IsEqualGUID(kind_, KeyUpEventGuid) && !IsEqualGUID(kind_, KeyEvent))
            return false;
        vx::com::Variant value = element_.GetPropertyVariant(L"value");
        record_->SetProperty(&EditValueProperty, *value);
        return true;
    }

    bool Option()
    {
        SetLong(record_, ControlKindProperty, KindOption);
        if (!IsButtonDown(message_))
            return false;
        CvxDispDriver select = AncestorSelect(element_);
        ComPtr<IvxObjectTreeNode> node;
        if (!select || !testObject_ || FAILED(testObject_->QueryInterface(IID_PPV_ARGS(&node))))
            return false;
        ComPtr<IvxObjectTreeNode> selectNode = FindSelectNode(node.Get(), select.Get());
        ComPtr<IDispatch> selectObject;
        GUID key = {};
        if (!selectNode || !FirstEntry(selectNode.Get(), selectObject, key))
            return false;
        record_->SetTargetObject(selectObject.Get());
        record_->SetRawProperty(&SelectKeyProperty, sizeof(key), reinterpret_cast<const BYTE*>(&key));
        vx::com::Variant identifier = OptionIdentifier(select, element_.GetPropertyInt(L"index"));
        record_->SetProperty(&OptionProperty, *identifier);
        return true;
    }

    bool Select()
    {
        SetLong(record_, ControlKindProperty, KindSelect);
        if (IsButtonDown(message_)) {
            const CvxDispDriver document = element_.GetPropertyDispatch(L"ownerDocument");
            const CvxDispDriver rectangle(*element_.InvokeMethod(L"getBoundingClientRect"));
            vx::com::Variant x, y;
            V_VT(x.Get()) = VT_R8;
            V_R8(x.Get()) = ToDouble(rectangle.GetPropertyVariant(L"left")) + message_.x;
            V_VT(y.Get()) = VT_R8;
            V_R8(y.Get()) = ToDouble(rectangle.GetPropertyVariant(L"top")) + message_.y;
            vx::com::Variant hit = document.InvokeMethod(L"elementFromPoint", *x, *y);
            if (hit.Type() != VT_DISPATCH || !V_DISPATCH(hit.Get()))
                return false;
            const CvxDispDriver option(*hit);
            if (option.GetPropertyString(L"tagName") != L"OPTION")
                return false;
            vx::com::Variant identifier = OptionIdentifier(element_, option.GetPropertyInt(L"index"));
            record_->SetProperty(&OptionProperty, *identifier);
            return true;
        }
        if (IsEqualGUID(kind_, ChangeEventGuid)) {
            vx::com::Variant identifier = OptionIdentifier(element_, element_.GetPropertyInt(L"selectedIndex"));
            record_->SetProperty(&OptionProperty, *identifier);
            return true;
        }
        return false;
    }

    // The first entry of an engine node that is a test object with a key.
    static bool FirstEntry(IvxObjectTreeNode* node, ComPtr<IDispatch>& object, GUID& key)
    {
        LONG count = 0;
        if (FAILED(node->GetEntryCount(&count)))
            return false;
        for (LONG i = 0; i < count; ++i) {
            ComPtr<IUnknown> entry;
            ComPtr<IovKeyItem> keyItem;
            if (SUCCEEDED(node->GetEntry(i, &entry)) && entry && SUCCEEDED(entry.As(&keyItem)) &&
                SUCCEEDED(keyItem->GetKey(&key)) && SUCCEEDED(entry.As(&object)))
                return true;
        }
        return false;
    }

    IvxEventRecord* record_;
    const GUID& kind_;
    const WindowMessage& message_;
    IDispatch* testObject_;
    CvxDispDriver element_;
};

} // namespace

HRESULT CvxCrControlsRecorder::GetModuleGuid(GUID* moduleGuid) noexcept
try {
    if (!moduleGuid)
        return E_POINTER;
    *moduleGuid = ModuleId;
    return S_OK;
}
VX_COM_CATCH

VARIANT_BOOL CvxCrControlsRecorder::OnEvent(IUnknown*, IUnknown* eventRecord, IDispatch* testObject) noexcept
try {
    ComPtr<IvxEventRecord> record;
    GUID kind = {};
    if (!eventRecord || !testObject || FAILED(eventRecord->QueryInterface(IID_PPV_ARGS(&record))) ||
        FAILED(record->GetEventGuid(&kind)))
        return VARIANT_FALSE;
    const WindowMessage message = ReadWindowMessage(record.Get(), kind);
    if (IsPopupRenderWidgetClick(message))
        SetLong(record.Get(), ControlKindProperty, KindPopupClick);
    try {
        const CvxDispDriver testObjectDriver(testObject);
        if (!testObjectDriver.HasMember(L"NativeChromeObject"))
            return VARIANT_FALSE;
        CvxDispDriver element = testObjectDriver.GetPropertyDispatch(L"NativeChromeObject");
        if (!element || !element.HasMember(L"tagName"))
            return VARIANT_FALSE;
        const std::wstring tag = Lowered(element.GetPropertyString(L"tagName"));
        EventHandler handler(record.Get(), kind, message, testObject, std::move(element));
        return handler.Run(tag) ? VARIANT_TRUE : VARIANT_FALSE;
    } catch (const vxOpenAppHook::CvxInvokeException&) {
        return VARIANT_FALSE;
    }
}
VX_COM_CATCH_RETURN(VARIANT_FALSE)
