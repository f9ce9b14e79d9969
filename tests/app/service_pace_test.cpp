// The running program asks the RealTraffic service no faster than the
// service says, on the feed's own clock, also after a restart, however long
// it is; a refused login does not wait a pace first; and a pace longer than
// the session's wait for the first traffic does not end the session.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "tests/app/program_harness.h"
#include "tests/support/pace_recorder.h"
#include "tools/rt-standin/rt_standin.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

std::size_t countOf(const std::vector<std::chrono::milliseconds>& pauses, std::chrono::milliseconds pause) {
  return static_cast<std::size_t>(std::count(pauses.begin(), pauses.end(), pause));
}

TEST(ServicePaceTest, ThePauseBetweenRequestsIsTheOneTheServiceAsksFor) {
  PaceRecorder pace;
  ProgramHarness program([&](SessionOptions& options) { options.feedPaceWait = pace.waitFunction(); });
  program.rt().setPace(120000, 90000);
  program.start();
  // The history and three live requests, and two weather passes.
  ASSERT_TRUE(program.rt().waitForRequests(standin::kTrafficPath, 4, 20s)) << program.log();
  ASSERT_TRUE(program.rt().waitForRequests(standin::kWeatherPath, 2, 20s)) << program.log();
  const std::size_t trafficRequests = program.rt().requestCount(standin::kTrafficPath);
  const std::size_t weatherRequests =
      program.rt().requestCount(standin::kNearestMetarPath) + program.rt().requestCount(standin::kWeatherPath);
  const auto pauses = pace.pauses();
  EXPECT_GE(countOf(pauses, 120s), 3u);
  EXPECT_GE(countOf(pauses, 90s), 3u);  // after the login, the station and the weather
  EXPECT_EQ(countOf(pauses, 120s) + countOf(pauses, 90s), pauses.size()) << "every pause is the service's";
  // No request went out without the service's pause before it.
  EXPECT_LE(trafficRequests, countOf(pauses, 120s) + 1);
  EXPECT_LE(weatherRequests, countOf(pauses, 90s));
}

TEST(ServicePaceTest, ARefusedLoginEndsTheSessionWithoutWaitingThePace) {
  PaceRecorder pace;
  ProgramHarness program([&](SessionOptions& options) { options.feedPaceWait = pace.waitFunction(); });
  // The login after the restart keeps a pace of a minute (60 ms of real time
  // on the recorder).
  program.rt().setPace(60000, 60000);
  program.rt().queueJson(standin::kAuthPath, {{"status", 400}, {"wrrl", 90000}});
  program.start();
  ASSERT_TRUE(program.waitForLog("The Authenticater has stopped with an error", 20s)) << program.log();
  EXPECT_EQ(pace.pauses(), std::vector<std::chrono::milliseconds>{});
  // The session starts again and logs in, after which the pace is kept.
  ASSERT_TRUE(program.waitForLog("Authenticated at RT server", 20s)) << program.log();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return !pace.pauses().empty(); }, 20s));
  EXPECT_EQ(pace.pauses().front(), 60s);
}

TEST(ServicePaceTest, ARestartKeepsThePacesTheServiceAskedFor) {
  PaceRecorder pace;
  ProgramHarness program([&](SessionOptions& options) { options.feedPaceWait = pace.waitFunction(); });
  program.rt().setPace(120000, 90000);
  program.start();
  // The history and a live answer have named the traffic pace.
  ASSERT_TRUE(program.rt().waitForRequests(standin::kTrafficPath, 2, 20s)) << program.log();
  // A 401 restarts the session; the login after it breaks down (it waits the
  // weather pace) and restarts it again; the history after that one brings
  // no data, so nothing names the traffic pace before the next live request.
  program.rt().queueJson(standin::kTrafficPath, {{"status", 401}}, {}, "locationtraffic");
  program.rt().queueAnswer(standin::kAuthPath, standin::Answer::raw("{\"GUID\": "));
  program.rt().queueJson(standin::kTrafficPath, {{"status", 406}, {"message", "no data"}}, {}, "locationtraffic");
  const std::size_t trafficRequests = program.rt().requestCount(standin::kTrafficPath);
  ASSERT_TRUE(program.rt().waitForRequests(standin::kTrafficPath, trafficRequests + 3, 30s)) << program.log();
  ASSERT_TRUE(program.waitForLog("buffer failed 406", 20s)) << program.log();
  EXPECT_NE(program.log().find("The Authenticater has stopped with an error"), std::string::npos);
  const auto pauses = pace.pauses();
  EXPECT_EQ(countOf(pauses, 120s) + countOf(pauses, 90s), pauses.size()) << "every pause is the service's";
}

TEST(ServicePaceTest, APaceOfTenDaysIsKeptAndTheProgramStillClosesAtOnce) {
  constexpr std::chrono::milliseconds kTenDays{864000000};
  PaceRecorder pace;
  ProgramHarness program([&](SessionOptions& options) { options.feedPaceWait = pace.waitFunction(); });
  program.rt().setPace(static_cast<int>(kTenDays.count()), static_cast<int>(kTenDays.count()));
  program.start();
  // The login keeps the weather pace before the session goes on.
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return countOf(pace.pauses(), kTenDays) == 1; }, 20s)) << program.log();
  const auto clicked = std::chrono::steady_clock::now();
  program.clickClose();
  ASSERT_TRUE(program.waitForExit(20s).has_value()) << program.log();
  EXPECT_LT(std::chrono::steady_clock::now() - clicked, 5s);
}

TEST(ServicePaceTest, APaceLongerThanTheWaitForTheFirstTrafficLetsTheSessionRun) {
  // The service's pause and the session's 10 s wait run on one clock.
  ProgramHarness program({}, kTestSpeedUp, WorldPace::feedOnSessionClock);
  program.rt().setPace(20000, 2000);
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  // The first live request, one pace after the history, well past the wait.
  ASSERT_TRUE(program.rt().waitForRequests(standin::kTrafficPath, 2, 20s)) << program.log();
  EXPECT_EQ(program.log().find("receiving timed out"), std::string::npos) << program.log();
  EXPECT_EQ(program.session().display().phase.load(), SessionDisplay::Phase::running);
}

}  // namespace
}  // namespace crv::testing
