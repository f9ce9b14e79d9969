#include "platform/os/thread_name.h"

#include <pthread.h>

#include <string>

namespace platform {

void setCurrentThreadName(std::string_view name) {
  constexpr std::size_t kLongestName = 15;
  const std::string shortened(name.substr(0, kLongestName));
  pthread_setname_np(pthread_self(), shortened.c_str());
}

}  // namespace platform
