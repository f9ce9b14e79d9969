#pragma once

// A full disk played by the size limit of the files this process writes,
// which Windows does not have: a write beyond the limit fails as a write to
// a full disk does, and the limit's end is the space coming back.

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>

namespace crv::testing {

// The size any file this process writes may reach; restored at the end of
// the scope (or by lift()).
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &previous_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() { lift(); }
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  void lift() {
    if (lifted_) return;
    lifted_ = true;
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
  bool lifted_ = false;
};

}  // namespace crv::testing
#endif
