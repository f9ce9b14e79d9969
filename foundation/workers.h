#pragma once

#include <atomic>

namespace crv {

// The scan-task limiter. The session worker sets the limit to the number of
// hardware threads (at least 1) and the running count to 0 before the scans.
inline std::atomic<int> workerLimit{1};
inline std::atomic<int> runningWorkers{0};

// Sets the limit; a count below 1 is taken as 1, so that nothing waits for
// ever.
void setWorkerLimit(int hardwareThreads);

// Blocks, polling once a millisecond, while as many tasks run as the limit
// allows. The launcher raises runningWorkers right after it returns.
void waitForWorkerSlot();

// A scan task has ended, however it ended.
void workerDone();

}  // namespace crv
