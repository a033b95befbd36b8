#pragma once

namespace vxOpenAppHook::HostOperationIds {

// Identifiers under which failures inside the hook module's host entry points
// are reported (registry-GUID form, spelled as the host's reports expect).
inline constexpr wchar_t ObjectsHandlesObject[] = L"0F1F08A2-0072-4664-8E41-DC3F461B1122";
inline constexpr wchar_t ObjectsGetObjects[] = L"CD0F06D5-5667-4a48-84D3-B31EA998A9A9";
inline constexpr wchar_t ExtendedObjectsGet[] = L"2D80FC6F-030B-40e2-8B1F-3654E7FE1581";
inline constexpr wchar_t WindowsObjectFromWindow[] = L"111BD28E-7AC8-46fd-8325-8F013F13ACD9";
inline constexpr wchar_t WindowsWindowFromObject[] = L"9728A35D-CD6E-497e-A9B9-0A5E30EFFA46";
inline constexpr wchar_t ControlsIsControl[] = L"3FCADE9F-41D7-4fda-8F9E-1AC094D9E444";
inline constexpr wchar_t ControlsObjectFromPoint[] = L"CA57F818-D5D9-4c5e-9A28-CE4894C9447F";
inline constexpr wchar_t ControlsFocusedObject[] = L"9973B52E-878E-437c-84C0-B9EB2B104D2B";
inline constexpr wchar_t TestFixturesCount[] = L"220412F4-68AB-465b-B81A-C01CF3F39D7A";
inline constexpr wchar_t TestFixturesRun[] = L"1FDF6526-CD13-49c5-8191-0C72963A6076";
inline constexpr wchar_t OptionsSet[] = L"9B8CDFCD-3927-4acc-854B-41E13984D7E8";
inline constexpr wchar_t SyncInvokerInvoke[] = L"253E4AC8-15BF-4d3b-B4EE-71283DEEC1AB";
inline constexpr wchar_t ObjectRecognizerRecognize[] = L"2CB87B20-61F2-4001-AFF0-9D1E8BA0243A";
inline constexpr wchar_t RecorderSourceSetSink[] = L"EEBACB7F-5146-4645-B5B6-D9101ADBE60D";
inline constexpr wchar_t RecorderSourceReleaseSink[] = L"B4D771CD-1943-4d47-99B5-70EDB75542DC";
inline constexpr wchar_t RecorderSourceProcessEvent[] = L"C7365B5E-5879-476b-BD61-7798F6932071";
inline constexpr wchar_t CustomControlMethod1[] = L"24EE052A-B0C3-4921-B8B2-FB00F3F321F8";
inline constexpr wchar_t CustomControlMethod2[] = L"24EE052A-B0C3-4921-B8B2-FB00F3F321F8";
inline constexpr wchar_t CustomControlMethod3[] = L"2684D821-DE42-460d-96E4-26CB823EED71";
inline constexpr wchar_t CustomControlMethod4[] = L"";
inline constexpr wchar_t CustomControlMethod5[] = L"C59A8551-B38B-4ad7-BBD7-C60CFB2EEDA2";
inline constexpr wchar_t RecordingStart[] = L"E63A7FDF-0BFB-4032-90CA-FA686EF1A7F9";
inline constexpr wchar_t RecordingStop[] = L"B17AA336-1B14-44af-A0D2-AA25273D6401";
inline constexpr wchar_t RecordingEvent[] = L"F99207BF-4873-43e6-B6EA-12BD467AE474";

} // namespace vxOpenAppHook::HostOperationIds
