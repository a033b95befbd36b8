#include "testobjects/ChildTestObjects.h"

#include <vector>

#include "comhelp/SynchronousInvoker.h"
#include "platform/com/SafeArray.h"
#include "platform/com/Variant.h"
#include "testobjects/DomTestObjects.h"
#include "testobjects/QuickBrowserCalls.h"
#include "testobjects/TreeTestObjects.h"

namespace vxCrTestObjects {

using Microsoft::WRL::ComPtr;
using vx::com::Variant;

namespace {

template <class T>
HRESULT Create(ITestObjectTab* tab, bool treeModel, LONG creationValue, const ObjectThisInformation& record,
               ComPtr<IvxObject>& object)
{
    ComPtr<T> created;
    HRESULT hr = vx::com::CreateComObject(created);
    if (FAILED(hr))
        return hr;
    const ComPtr<vxOpenAppHook::CStubManager> stubManager = tab->ObjectStubManager();
    hr = created->Initialize(stubManager.Get(), tab, treeModel, creationValue, record);
    if (FAILED(hr))
        return hr;
    return vx::com::QueryTo(created.Get(), object);
}

// The children's records, all read before any object is made: a malformed
// array or record refuses the whole answer.
HRESULT ReadChildrenRecords(const VARIANT& children, std::vector<ObjectThisInformation>& records)
{
    if (V_VT(&children) == VT_EMPTY)
        return S_OK;
    if (V_VT(&children) != (VT_ARRAY | VT_VARIANT))
        return E_UNEXPECTED;
    SAFEARRAY* array = V_ARRAY(&children);
    if (!array || SafeArrayGetDim(array) != 1)
        return E_UNEXPECTED;
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || lower != 0 || FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return E_UNEXPECTED;
    records.reserve(static_cast<size_t>(upper + 1));
    for (LONG index = 0; index <= upper; ++index) {
        Variant element;
        HRESULT hr = SafeArrayGetElement(array, &index, element.Get());
        if (FAILED(hr))
            return hr;
        ObjectThisInformation record;
        hr = ReadThisInformation(*element, record);
        if (FAILED(hr))
            return hr;
        records.push_back(std::move(record));
    }
    return S_OK;
}

} // namespace

HRESULT CreateChildTestObject(ITestObjectTab* tab, bool treeModel, LONG creationValue,
                              const ObjectThisInformation& record, ComPtr<IvxObject>& object)
{
    object.Reset();
    if (!tab)
        return E_POINTER;
    switch (record.kind) {
    case 1:
        return Create<CCrHookObject_DOMNamed>(tab, treeModel, creationValue, record, object);
    case 2:
        return Create<CCrHookObject_DOMItem>(tab, treeModel, creationValue, record, object);
    case 3:
        return Create<CCrHookObject_DOMFrame>(tab, treeModel, creationValue, record, object);
    case 4:
        return Create<CCrHookObject_TreeItem>(tab, treeModel, creationValue, record, object);
    case 5:
        return Create<CCrHookObject_TreeCell>(tab, treeModel, creationValue, record, object);
    case 6:
        return Create<CCrHookObject_TreeFrame>(tab, treeModel, creationValue, record, object);
    default:
        return E_UNEXPECTED;
    }
}

HRESULT CollectChildTestObjects(ITestObjectTab* tab, bool treeModel,
                                const std::function<HRESULT(ComPtr<IDispatch>&)>& fetch, VxCrTestObjectList& list)
{
    if (!tab)
        return E_POINTER;
    const ComPtr<IvxCrRemoteServicesSync> invoker = tab->Invoker();
    auto work = [&]() -> HRESULT {
        ComPtr<IDispatch> object;
        HRESULT hr = fetch(object);
        if (FAILED(hr))
            return hr;
        if (!object)
            return E_UNEXPECTED;
        Variant children;
        hr = QuickBrowserObjectCalls(object.Get()).GetChildrenInformation(children.Get());
        if (FAILED(hr))
            return hr;
        std::vector<ObjectThisInformation> records;
        hr = ReadChildrenRecords(*children, records);
        if (FAILED(hr))
            return hr;
        list.objects.reserve(list.objects.size() + records.size());
        for (size_t index = 0; index < records.size(); ++index) {
            ComPtr<IvxObject> child;
            // An object that cannot be made is left out; the others stand.
            if (SUCCEEDED(CreateChildTestObject(tab, treeModel, static_cast<LONG>(index), records[index], child)))
                list.objects.push_back(std::move(child));
        }
        return S_OK;
    };
    return RunOnInvoker(invoker.Get(), work);
}

} // namespace vxCrTestObjects
