#include "platform/os/thread_name.h"

#include <windows.h>

#include <string>

namespace platform {
namespace {

using SetThreadDescriptionCall = HRESULT(WINAPI*)(HANDLE, PCWSTR);

// Taken from kernel32 at run time: systems before Windows 10 1607 lack it,
// and there a thread simply keeps no name.
SetThreadDescriptionCall setThreadDescription() {
  static const auto call = [] {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    FARPROC procedure = kernel == nullptr ? nullptr : ::GetProcAddress(kernel, "SetThreadDescription");
    return reinterpret_cast<SetThreadDescriptionCall>(reinterpret_cast<void*>(procedure));
  }();
  return call;
}

}  // namespace

void setCurrentThreadName(std::string_view name) {
  constexpr std::size_t kLongestName = 15;
  const auto call = setThreadDescription();
  if (call == nullptr) return;
  std::wstring wide;
  for (const char c : name.substr(0, kLongestName)) wide.push_back(static_cast<unsigned char>(c));
  call(::GetCurrentThread(), wide.c_str());
}

}  // namespace platform
