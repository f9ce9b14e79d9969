// The headless main window: messages from any thread, coalesced repaints,
// the recorded paint; and the no-op timer period.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/os/timer_period.h"
#include "platform/window/window_model.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

TEST(WindowModelTest, MessagesPostedFromManyThreadsAllArriveInEachThreadsOrder) {
  WindowModel model("CRVN", 400, 20, 880, 516);
  constexpr int kThreads = 4;
  constexpr int kEach = 200;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&model, t] {
      for (int i = 0; i < kEach; ++i) {
        model.postMessage(kWmApp + 10, static_cast<std::uint64_t>(t), i);
      }
    });
  }
  std::vector<std::int64_t> lastOf(kThreads, -1);
  int received = 0;
  while (received < kThreads * kEach) {
    const auto message = model.waitMessage(1s);
    ASSERT_TRUE(message.has_value());
    EXPECT_GT(message->lParam, lastOf[message->wParam]);
    lastOf[message->wParam] = message->lParam;
    ++received;
  }
  for (std::thread& poster : posters) {
    poster.join();
  }
  EXPECT_FALSE(model.waitMessage(0ms).has_value());
}

TEST(WindowModelTest, RepaintsCoalesceUntilThePaintIsTakenAndThePaintIsKept) {
  WindowModel model("CRVN", 400, 20, 880, 516);
  int notified = 0;
  model.setViewNotifier([&notified] { ++notified; });
  model.invalidate();
  model.invalidate();
  model.postQuitMessage(3);
  ASSERT_EQ(model.pendingMessages().size(), 2U);
  EXPECT_EQ(model.waitMessage(0ms)->message, kWmPaint);
  model.invalidate();  // a new paint may be asked for once the last was taken
  EXPECT_EQ(model.pendingMessages().size(), 2U);
  const auto quit = model.waitMessage(0ms);
  EXPECT_EQ(quit->message, kWmQuit);
  EXPECT_EQ(quit->wParam, 3U);

  PaintSurface surface;
  surface.fillRect({0, 0, 880, 476}, rgb(0x99, 0xCC, 0xFF));
  surface.textOut(10, 454, "Waiting for MSFS 2020 ...", 0);
  model.finishPaint(std::move(surface));
  ASSERT_EQ(model.lastPaint().size(), 2U);
  EXPECT_EQ(model.lastPaint()[0].colour, 0xFFCC99U);
  EXPECT_EQ(model.lastPaint()[1].text, "Waiting for MSFS 2020 ...");
  EXPECT_EQ(model.paintCount(), 1U);
  EXPECT_EQ(notified, 4);  // the second repaint was folded into the first

  model.moveTo(-5, 7);
  EXPECT_EQ(model.windowRect(), (Rect{-5, 7, 875, 523}));
}

TEST(WindowModelTest, ATextThatDoesNotConvertIsLeftOutOfThePaintAndHandedToTheProgram) {
  WindowModel model("CRVN", 400, 20, 880, 516);
  std::vector<std::string> handed;
  model.setUndrawableTextHandler([&handed](const std::string& text) { handed.push_back(text); });
  PaintSurface surface;
  surface.textOut(5, 35, "Caf\xC3\xA9 ok", 0);
  surface.textOut(5, 63, "bad \xFF title", 0);
  surface.textOut(5, 91, "\xED\xA0\x80", 0);  // an encoded surrogate
  model.finishPaint(std::move(surface));
  ASSERT_EQ(model.lastPaint().size(), 1U);
  EXPECT_EQ(model.lastPaint()[0].text, "Caf\xC3\xA9 ok");
  EXPECT_EQ(handed, (std::vector<std::string>{"bad \xFF title", "\xED\xA0\x80"}));
}

TEST(TimerPeriodTest, EveryBeginNeedsItsEnd) {
  const int before = openTimerPeriods();
  EXPECT_EQ(timeBeginPeriod(0), kTimerNoCanDo);
  {
    const ScopedTimerPeriod period;
    EXPECT_EQ(openTimerPeriods(), before + 1);
  }
  EXPECT_EQ(openTimerPeriods(), before);
  if (before == 0) {
    EXPECT_EQ(timeEndPeriod(1), kTimerNoCanDo);
  }
}

}  // namespace
}  // namespace platform
