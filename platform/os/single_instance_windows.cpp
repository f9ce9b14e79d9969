#include "platform/os/single_instance.h"

#include <windows.h>

#include <cstdint>

#include "platform/os/system_error_text.h"

namespace platform {

// A named mutex, not owned, without security attributes. When the name was
// taken the handle still opens the other process's mutex: it is closed, as the
// second instance ends at once anyway.
SingleInstanceLock::SingleInstanceLock(std::string_view mutexName) {
  const std::string name(mutexName);
  HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
  const DWORD error = ::GetLastError();
  if (mutex == nullptr) {
    error_ = error;
    return;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    error_ = kErrorAlreadyExists;
    ::CloseHandle(mutex);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
  held_ = true;
}

SingleInstanceLock::~SingleInstanceLock() {
  if (held_) {
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  }
}

}  // namespace platform
