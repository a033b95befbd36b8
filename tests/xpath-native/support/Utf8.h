// UTF-8 <-> std::wstring conversion for the libxml2-based test support
// (libxml2 stores UTF-8; the engine works on wide strings).
#pragma once

#include <string>
#include <string_view>

namespace vxXPathTest {

void appendUtf8AsWide(const char* utf8, std::wstring& out);
std::wstring wideFromUtf8(const char* utf8);
std::string utf8FromWide(std::wstring_view wide);
// Compares a NUL-terminated UTF-8 string with a wide string without copying.
bool utf8EqualsWide(const char* utf8, std::wstring_view wide);

} // namespace vxXPathTest
