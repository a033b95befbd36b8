#pragma once
// Naming metadata shared by the test objects: the GUID-suffixed property
// names through which the engine re-finds an object, the name-mapping
// properties, and the default alias.
#include <string>

namespace vxCrTestObjects {

// Parameters of the methods that re-find an object from its parent.
inline constexpr wchar_t kIdentifierParam[] = L"ObjectIndentifier_2D271DFC_DFDC_43c4_B03B_CC0F37C91570";
inline constexpr wchar_t kUrlParam[] = L"Url_20CA2177_DF2E_49af_AEF8_03D9776E4654";
inline constexpr wchar_t kGroupIndexParam[] = L"ObjectGroupIndex_20CA2177_DF2E_49af_AEF8_03D9776E4654";
inline constexpr wchar_t kRowIndexParam[] = L"RowIndex_2A54267D_1DD1_4db1_B425_F9F79289C241";
inline constexpr wchar_t kColumnIndexParam[] = L"ColumnIndex_2A54267D_1DD1_4db1_B425_F9F79289C241";

// Properties of the identification instances used in name mapping.
inline constexpr wchar_t kObjectTypeProperty[] = L"ObjectType";
inline constexpr wchar_t kObjectIdentifierProperty[] = L"ObjectIdentifier";
inline constexpr wchar_t kObjectGroupIndexProperty[] = L"ObjectGroupIndex";
inline constexpr wchar_t kRecordUrlProperty[] = L"RecordURL";
inline constexpr wchar_t kRowIndexProperty[] = L"RowIndex";
inline constexpr wchar_t kColumnIndexProperty[] = L"ColumnIndex";

inline constexpr wchar_t kNativePropertyName[] = L"NativeChromeObject";

// Longest default alias, in characters.
inline constexpr size_t kMaxAliasLength = 32;

// The default alias of an object: `prefix` followed by `value`, letters and
// digits only, at most kMaxAliasLength characters. The prefix is written in
// lower case; the value starts with a capital, and every run of other
// characters capitalises the letter after it. Leading digits are dropped, and
// so is a capital at the start of either part when the next character is a
// capital too. "item" + "submit-button" gives itemSubmitButton.
std::wstring BuildDefaultAlias(const wchar_t* prefix, const wchar_t* value);

} // namespace vxCrTestObjects
