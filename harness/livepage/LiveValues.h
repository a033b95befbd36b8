#pragma once
// Values of the live-page protocol (harness/livepage/README.md, "Values")
// to and from VARIANTs. Handles are the native object's business: these
// functions convert everything else.
#include <windows.h>

#include <oleauto.h>

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "harness/livepage/FlatJson.h"

namespace harness::live {

using Json = nlohmann::json;

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// {"s": text}, or {"u": [code units]} for text that is not well-formed
// UTF-16 (lone surrogates), which UTF-8 cannot carry.
Json StringValue(const std::wstring& text);

// Values fetched ahead may also come as plain JSON strings, numbers,
// booleans and null.
//
// The HRESULT a value stands for: DISP_E_MEMBERNOTFOUND ("missing"),
// DISP_E_EXCEPTION ("err"), E_INVALIDARG ("bad"), E_UNEXPECTED for a value
// that is not one of the protocol's; S_OK for every other value.
HRESULT ValueStatus(JsonRef value);

bool IsHandleValue(JsonRef value);

// The plan key a handle value's member of reads ahead is named after: its
// place in the plan written in capital letters (A for the first, Z for the
// 26th, then AA, AB...). False for every other member name ("h", "i").
bool PlanKeyIndex(std::string_view name, size_t& index);

// A number, string, boolean, null or undefined value as a VARIANT (numbers
// that are whole and fit 32 bits as VT_I4, others VT_R8); E_UNEXPECTED for
// anything else.
HRESULT PrimitiveToVariant(JsonRef value, VARIANT* out);

// A VARIANT argument that is no handle as a value; DISP_E_TYPEMISMATCH for
// types the page cannot take.
HRESULT PrimitiveArgument(const VARIANT& argument, Json& out);

// The text of an argument as the sidecar keys calls fetched ahead
// (String(arg) in the page, for the value PrimitiveArgument sends): text
// and whole numbers; false for every other argument, whose calls are not
// keyed.
bool ArgumentKey(const VARIANT& argument, std::string& key);

// The index of an item() call that a collection walk may fetch in batches:
// a whole number from 0 up, given as a number. False for text, which the
// page reads as a number in its own way ("1e2" is 100, "0x10" is 16), for
// negative numbers (past the end: item() answers null) and for anything
// else; those calls go to the page as they are.
bool ItemIndexArgument(const VARIANT& argument, long& index);

// The key of a call's answer fetched ahead: "c:", the member name and the
// arguments' texts, joined by U+0001 (the sidecar keys them alike).
std::string CallKey(const std::string& name, const std::vector<std::string>& arguments);

} // namespace harness::live
