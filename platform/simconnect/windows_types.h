#pragma once

// The basic Windows types and result values that the SimConnect interface
// uses, for systems without the Windows headers.

#include <cstdint>

using DWORD = std::uint32_t;
using BOOL = int;
using HRESULT = std::int32_t;
using HANDLE = void*;

#ifndef TRUE
inline constexpr BOOL TRUE = 1;
#endif
#ifndef FALSE
inline constexpr BOOL FALSE = 0;
#endif

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005U);

inline bool SUCCEEDED(HRESULT result) { return result >= 0; }
inline bool FAILED(HRESULT result) { return result < 0; }
