#pragma once
// The GUIDs shared with the engine for recorded events: event kinds and the
// properties this library reads from and writes into event records.
#include <windows.h>

namespace vxCrRecording {

// Event kinds.
// {4B6E1BCE-474C-4C86-8137-913ABE4DB22A}: a window message; 40-byte payload:
// window handle at 0, message at 8, x and y (relative to the target) at 12, 16.
inline constexpr GUID WindowMessageEvent = {
    0x4B6E1BCE, 0x474C, 0x4C86, {0x81, 0x37, 0x91, 0x3A, 0xBE, 0x4D, 0xB2, 0x2A}};
// {3BCAE1AF-C781-4CCE-8F3B-6C7F4352CD3A}: a key; 20-byte payload, window handle at 0.
inline constexpr GUID KeyEvent = {0x3BCAE1AF, 0xC781, 0x4CCE, {0x8F, 0x3B, 0x6C, 0x7F, 0x43, 0x52, 0xCD, 0x3A}};
// {1CA72069-0071-42B6-852D-1E6B26A399BA}: a command; 36-byte payload, window
// handle at 0, message at 8.
inline constexpr GUID CommandEvent = {0x1CA72069, 0x0071, 0x42B6, {0x85, 0x2D, 0x1E, 0x6B, 0x26, 0xA3, 0x99, 0xBA}};
// {CEE5A01E-F543-46B6-AC17-D38AD90B64D9}: a page started loading.
inline constexpr GUID PageLoadingEvent = {0xCEE5A01E, 0xF543, 0x46B6, {0xAC, 0x17, 0xD3, 0x8A, 0xD9, 0x0B, 0x64, 0xD9}};

// {70CE44DF-D5B0-45A2-8944-73B8BBEC9383}: a "keyup" DOM event on a provider's element.
inline constexpr GUID KeyUpEventGuid = {0x70CE44DF, 0xD5B0, 0x45A2, {0x89, 0x44, 0x73, 0xB8, 0xBB, 0xEC, 0x93, 0x83}};
// {2DEC587C-98DE-4C76-8936-7F66D1E19BA9}: a "change" DOM event on a provider's element.
inline constexpr GUID ChangeEventGuid = {0x2DEC587C, 0x98DE, 0x4C76, {0x89, 0x36, 0x7F, 0x66, 0xD1, 0xE1, 0x9B, 0xA9}};

inline constexpr ULONG WindowMessagePayloadSize = 40;
inline constexpr ULONG KeyPayloadSize = 20;
inline constexpr ULONG CommandPayloadSize = 36;

// Properties.
// {28120243-97FB-4947-98FD-F741D5D45AF0}: the id of the tab that started loading (VT_I4).
inline constexpr GUID LoadingTabIdProperty = {
    0x28120243, 0x97FB, 0x4947, {0x98, 0xFD, 0xF7, 0x41, 0xD5, 0xD4, 0x5A, 0xF0}};
// {23CA5C8E-00BE-4665-A650-D770D64FBA9B}: the identifier of the recording provider (VT_BSTR).
inline constexpr GUID ProviderIdProperty = {
    0x23CA5C8E, 0x00BE, 0x4665, {0xA6, 0x50, 0xD7, 0x70, 0xD6, 0x4F, 0xBA, 0x9B}};
// {AFAE6489-AD91-405D-B335-DB354BF3F4F5}: VT_BOOL true, the event's window belongs to a tab.
inline constexpr GUID InTabProperty = {0xAFAE6489, 0xAD91, 0x405D, {0xB3, 0x35, 0xDB, 0x35, 0x4B, 0xF3, 0xF4, 0xF5}};
// {3B078FC5-4EAD-418C-8B2E-E033F7CCB9B7}: the tab id (VT_I4).
inline constexpr GUID TabIdProperty = {0x3B078FC5, 0x4EAD, 0x418C, {0x8B, 0x2E, 0xE0, 0x33, 0xF7, 0xCC, 0xB9, 0xB7}};
// {9BD8E0C4-E444-4131-9C61-CD0284DC760E}: a new GUID for the tab description, in string form.
inline constexpr GUID TabDescriptionIdProperty = {
    0x9BD8E0C4, 0xE444, 0x4131, {0x9C, 0x61, 0xCD, 0x02, 0x84, 0xDC, 0x76, 0x0E}};
// {FC3156AD-1721-42B6-9356-A8FD658D2154}: the key of the engine's object for the tab, in string form.
inline constexpr GUID TabObjectKeyProperty = {
    0xFC3156AD, 0x1721, 0x42B6, {0x93, 0x56, 0xA8, 0xFD, 0x65, 0x8D, 0x21, 0x54}};
// {EC65A7C5-089A-4853-995C-9480FD384B08}: the tab's URL.
inline constexpr GUID TabUrlProperty = {0xEC65A7C5, 0x089A, 0x4853, {0x99, 0x5C, 0x94, 0x80, 0xFD, 0x38, 0x4B, 0x08}};
// {2395C5B1-CE9F-42B1-B102-52ECBFE7404C}: VT_BOOL true, the tab is described.
inline constexpr GUID TabDescribedProperty = {
    0x2395C5B1, 0xCE9F, 0x42B1, {0xB1, 0x02, 0x52, 0xEC, 0xBF, 0xE7, 0x40, 0x4C}};

// Written by the controls recorder.
// {4E48F36E-A8B0-4965-9B33-7FE299512619}: the control kind (VT_I4).
inline constexpr GUID ControlKindProperty = {
    0x4E48F36E, 0xA8B0, 0x4965, {0x9B, 0x33, 0x7F, 0xE2, 0x99, 0x51, 0x26, 0x19}};
// {14A822D4-CB21-4DA2-A8C1-713F0FC46C2A}: the new checked state of a check box (VT_BOOL).
inline constexpr GUID CheckedProperty = {0x14A822D4, 0xCB21, 0x4DA2, {0xA8, 0xC1, 0x71, 0x3F, 0x0F, 0xC4, 0x6C, 0x2A}};
// {752CBC39-D936-46AA-A11A-14CC8FE94811}: the value of an edit box, as read.
inline constexpr GUID EditValueProperty = {
    0x752CBC39, 0xD936, 0x46AA, {0xA1, 0x1A, 0x14, 0xCC, 0x8F, 0xE9, 0x48, 0x11}};
// {8F97D0D7-01CA-49C7-85E3-503646BEEEDD}: the chosen option (VT_BSTR text or VT_I4 index).
inline constexpr GUID OptionProperty = {0x8F97D0D7, 0x01CA, 0x49C7, {0x85, 0xE3, 0x50, 0x36, 0x46, 0xBE, 0xEE, 0xDD}};
// {7DEBE934-679B-47FC-A4C5-3D727508DBE1}: the 16-byte key of the SELECT's test object.
inline constexpr GUID SelectKeyProperty = {
    0x7DEBE934, 0x679B, 0x47FC, {0xA4, 0xC5, 0x3D, 0x72, 0x75, 0x08, 0xDB, 0xE1}};

// Control kinds.
enum ControlKind : LONG {
    KindClickable = 501,
    KindCheckBox = 502,
    KindEditBox = 503,
    KindOption = 504,
    KindSelect = 505,
    KindPopupClick = 506,
};

} // namespace vxCrRecording
