#pragma once

namespace crv {

// The scan-task limiter. The session worker sets the limit to the number of
// hardware threads (at least 1) and the running count to 0 before the scans.

// Sets the limit and forgets every running task; a count below 1 is taken
// as 1, so that nothing waits for ever.
void setWorkerLimit(int hardwareThreads);
int workerLimit();

// Blocks, until a task ends, while as many tasks run as the limit
// allows. The launcher calls workerStarted right after it returns.
void waitForWorkerSlot();

// A scan task has started; it has ended, however it ended.
void workerStarted();
void workerDone();
int runningWorkers();

}  // namespace crv
