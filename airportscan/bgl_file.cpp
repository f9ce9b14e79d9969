#include "airportscan/bgl_file.h"

#include <exception>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/workers.h"

namespace crv {

namespace {

// Lowers the running count when the task ends, by return or by exception.
class WorkerDoneOnExit {
 public:
  WorkerDoneOnExit() = default;
  ~WorkerDoneOnExit() { workerDone(); }
  WorkerDoneOnExit(const WorkerDoneOnExit&) = delete;
  WorkerDoneOnExit& operator=(const WorkerDoneOnExit&) = delete;
};

}  // namespace

void lf_processBGLfile(const std::string& path, const BglFileHandlers& handlers) {
  const WorkerDoneOnExit done;
  try {
    BglWords words;
    if (!readBglWords(path, words)) {
      return;
    }
    const BglWalkEnd end = walkBglAirports(words, handlers.msfs2020,
                                           [&](const BglAirportRecordRef& ref, const BglWords& fileWords) {
                                             if (handlers.onAirport) {
                                               handlers.onAirport(ref, fileWords, path);
                                             }
                                           });
    if (end == BglWalkEnd::UnrecognisedAirport && handlers.onUnrecognisedAirport) {
      handlers.onUnrecognisedAirport(path);
    }
  } catch (const std::exception&) {
    gf_logWarning(fmt::format("Exception in lf_processBGLfile: {}", path));
    throw;
  }
}

}  // namespace crv
