#pragma once
// What the browser-independent web framework uses of <windows.h>,
// for its native (host compiler) build only; the Windows build uses the real
// header. Types keep their Windows sizes (LONG, ULONG, DWORD are 32 bits)
// except wchar_t, which is the host's (4 bytes, one code point per unit on
// Linux): strings stay wchar_t throughout.
//
// Code pages: CP_UTF8, and CP_ACP as Windows-1252 (the ANSI code page of an
// English-language Windows or Wine). Characters outside it convert to '?';
// Windows would also apply its best-fit table (for instance U+0100 to 'A').
#include <cstdint>
#include <cwchar>

typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef uint16_t USHORT;
typedef uint16_t WORD;
typedef int BOOL;
typedef LONG HRESULT;
typedef wchar_t WCHAR;
typedef char CHAR;
typedef CHAR* LPSTR;
typedef const CHAR* LPCSTR;
typedef const CHAR* LPCCH;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef const WCHAR* LPCWCH;
typedef BOOL* LPBOOL;

#define FALSE 0
#define TRUE 1

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define E_FAIL ((HRESULT)0x80004005)
#define E_UNEXPECTED ((HRESULT)0x8000FFFF)
#define E_ACCESSDENIED ((HRESULT)0x80070005)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define DISP_E_MEMBERNOTFOUND ((HRESULT)0x80020003)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008)
#define DISP_E_EXCEPTION ((HRESULT)0x80020009)
#define DISP_E_BADINDEX ((HRESULT)0x8002000B)

#define CP_ACP 0
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008

// Answer as Windows does: with no output buffer (size 0) the size needed, else
// the units written; 0 on failure (invalid input with MB_ERR_INVALID_CHARS, a
// buffer too small, an unsupported code page). A length of -1 converts up to
// and including the terminating null.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH text, int bytes, LPWSTR out, int outChars);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH text, int chars, LPSTR out, int outBytes, LPCCH defaultChar,
                        LPBOOL usedDefault);

// Upper case in place: the ANSI form through the ANSI code page (a character
// whose upper case is not in it stays as it is), the wide form by the Unicode
// simple case mapping. Both return the length.
DWORD CharUpperBuffA(LPSTR text, DWORD length);
DWORD CharUpperBuffW(LPWSTR text, DWORD length);
