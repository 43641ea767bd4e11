// The Win32 types and constants the library uses. On Windows they come from
// the system headers; elsewhere they are defined here with Windows' values,
// so the code above the seam reads as Windows code on every host.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h must come first.
#include <cfgmgr32.h>
#include <winioctl.h>
#else
#include <cstdint>

using BOOL = int;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using PULONG = ULONG*;
using LPDWORD = DWORD*;
using WCHAR = wchar_t;
using PZZWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using HANDLE = void*;
using CONFIGRET = DWORD;
using DEVINSTID_A = char*;
using DEVINSTID_W = WCHAR*;
struct _SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = _SECURITY_ATTRIBUTES*;
struct _OVERLAPPED;
using LPOVERLAPPED = _OVERLAPPED*;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using LPGUID = GUID*;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define OPEN_EXISTING 3u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_DEVICE_UNKNOWN 0x00000022u
#define METHOD_BUFFERED 0u
#define FILE_ANY_ACCESS 0u
#define CR_SUCCESS 0x00000000u
#define CR_BUFFER_SMALL 0x0000001Au
#define CM_GET_DEVICE_INTERFACE_LIST_PRESENT 0x00000000u
#endif
