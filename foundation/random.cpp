#include "foundation/random.h"

namespace crv {

std::mt19937& threadRandomEngine() {
  thread_local std::mt19937 engine{std::random_device{}()};
  return engine;
}

}  // namespace crv
