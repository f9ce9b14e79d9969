#include "airportscan/bgl_task_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace crv {
namespace {

TEST(BglTaskPoolTest, RunsEveryTaskOnNoMoreThreadsThanGivenAndPassesExceptionsOn) {
  std::atomic<int> running{0};
  std::atomic<int> peak{0};
  std::atomic<int> finished{0};
  std::vector<std::future<void>> futures;
  {
    BglTaskPool pool(3);
    for (int index = 0; index < 40; ++index) {
      futures.push_back(pool.submit(BglTaskPool::Task([&, index] {
        const int now = ++running;
        for (int seen = peak.load(); now > seen && !peak.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::yield();
        --running;
        ++finished;
        if (index == 7) throw std::runtime_error("damaged file");
      })));
    }
    EXPECT_THROW(futures[7].get(), std::runtime_error);
    // The rest are not collected: the pool still runs them before it goes.
  }
  EXPECT_EQ(finished.load(), 40);
  EXPECT_LE(peak.load(), 3);
  EXPECT_GE(peak.load(), 1);
  for (std::size_t index = 8; index < futures.size(); ++index) {
    EXPECT_NO_THROW(futures[index].get()) << index;
  }
}

TEST(BglTaskPoolTest, AThreadCountBelowOneGivesOneThread) {
  BglTaskPool pool(0);
  EXPECT_EQ(pool.threadCount(), 1);
  bool ran = false;
  pool.submit(BglTaskPool::Task([&] { ran = true; })).get();
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace crv
