// Every hook the session hands to the parts it connects is filled, so that
// no part is built and then left unconnected in the running program. A hook
// left empty on purpose is listed below with its reason.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "airports/airport_overrides.h"
#include "app/main_window.h"
#include "app/program_parts.h"
#include "app/session.h"
#include "platform/window/window_model.h"
#include "tests/support/aggregate_members.h"

namespace crv::testing {
namespace {

// A member of a hook set left empty on purpose, and why.
template <class Hooks>
struct EmptyOnPurpose {
  std::function<const void*(const Hooks&)> member;
  std::string reason;
};

template <class Hooks, class Member>
EmptyOnPurpose<Hooks> emptyOnPurpose(Member Hooks::*member, std::string reason) {
  return {[member](const Hooks& hooks) -> const void* { return &(hooks.*member); }, std::move(reason)};
}

template <class Member>
bool isFilled(const Member& member) {
  return static_cast<bool>(member);
}

// Members are numbered from 0 in the order the struct declares them.
template <class Hooks>
void expectEveryMemberFilled(const Hooks& hooks, const std::string& setName,
                             const std::vector<EmptyOnPurpose<Hooks>>& exceptions = {}) {
  std::vector<const void*> exempt;
  for (const EmptyOnPurpose<Hooks>& exception : exceptions) {
    exempt.push_back(exception.member(hooks));
  }
  std::size_t checked = 0;
  forEachMember(hooks, [&](const auto& member, std::size_t index) {
    const bool onPurpose = std::find(exempt.begin(), exempt.end(), &member) != exempt.end();
    if (onPurpose) {
      EXPECT_FALSE(isFilled(member)) << setName << " member " << index << " is filled now: take it off the list";
    } else {
      EXPECT_TRUE(isFilled(member)) << setName << " member " << index << " is empty";
    }
    ++checked;
  });
  EXPECT_EQ(checked, memberCount<Hooks>());
}

TEST(AggregateMembersTest, CountsAndVisitsEveryMemberInOrder) {
  struct Three {
    std::function<void()> first;
    int* second = nullptr;
    std::function<int(int)> third;
  };
  static_assert(memberCount<Three>() == 3);
  int value = 0;
  const Three three{[] {}, &value, {}};
  std::vector<bool> filled;
  forEachMember(three, [&](const auto& member, std::size_t index) {
    EXPECT_EQ(index, filled.size());
    filled.push_back(isFilled(member));
  });
  EXPECT_EQ(filled, (std::vector<bool>{true, true, false}));
}

class SessionHooksTest : public ::testing::Test {
 protected:
  platform::WindowModel model_{"CRVN", 400, 20, kMainWindowWidth, kMainWindowHeight};
  SessionClock clock_{1.0};
  // Built as crvn builds it.
  Session session_{model_, clock_, programSessionOptions()};
  MainWindow window_{model_, session_};
};

TEST_F(SessionHooksTest, EveryHookTheSessionHandsOutIsFilled) {
  expectEveryMemberFilled(session_.link().hooks(), "SimLinkHooks");
  expectEveryMemberFilled(session_.feedHooks(), "FeedHooks");
  expectEveryMemberFilled(session_.engine().hooks(), "EngineHooks");
  expectEveryMemberFilled(session_.rulesServices(), "LiveRulesServices");
  expectEveryMemberFilled(session_.motionParkingCalls(), "ParkingCalls");
  expectEveryMemberFilled(
      session_.staticParkingServices(), "StaticParkingServices",
      {emptyOnPurpose(&StaticParkingServices::currentSlot, "the engine's clock"),
       emptyOnPurpose(&StaticParkingServices::halfSpanNm, "the type database's wingspanOfType")});
  expectEveryMemberFilled(session_.adjustmentServices(), "ParkingAdjustmentServices");
  // The schedule's seams for tests: empty, each does the program's own.
  using Schedule = ParkingScheduleServices;
  expectEveryMemberFilled(
      session_.parkingServices(), "ParkingScheduleServices",
      {emptyOnPurpose(&Schedule::rereadParkAirports, "the program's list reads my_park_airports.txt itself"),
       emptyOnPurpose(&Schedule::closestAirport, "the program's airports database (with the stand lookup)"),
       emptyOnPurpose(&Schedule::airportByIcao, "the program's airports database"),
       emptyOnPurpose(&Schedule::airportFileExists, "ensureAirportFile"),
       emptyOnPurpose(&Schedule::readParkedFile, "lf_readParkedFile into the engine's stands"),
       emptyOnPurpose(&Schedule::saveLearnedFile, "saveAirportFile of the engine's stands"),
       emptyOnPurpose(&Schedule::currentSlot, "the engine's clock")});
  expectEveryMemberFilled(session_.matchEnvironment(), "MatchEnvironment");
  expectEveryMemberFilled(currentAutoRangeHooks(), "AutoRangeHooks");
}

}  // namespace
}  // namespace crv::testing
