#include <gtest/gtest.h>

#include "foundation/settings.h"
#include "tests/traffic/rules_harness.h"

namespace crv::testing {
namespace {

LiveTrafficRecord renamed(const std::string& callsign, const std::string& registration) {
  LiveTrafficRecord r = EngineHarness::record(20001, callsign, "A320", 2000.0);
  r.identity.registration = registration;
  return r;
}

TEST(LiveryRespawn, ARenamedAircraftKeepsItsObjectWithoutGuidChangesAndRespawnsWithThem) {
  for (const bool guidChanges : {false, true}) {
    par_GUID_CHANGES.setValue(guidChanges);
    RulesHarness h;
    LiveAc& aircraft = h.harness.placeLive(20001, "DLH4AB", SimState::active, 501);
    aircraft.base.identity.registration = "G-ABCD";
    EXPECT_EQ(h.rules.respawnIfChanged(aircraft, renamed("DLH88", "G-ABCD")), !guidChanges);
    EXPECT_EQ(aircraft.base.identity.callsign, "DLH88");
    EXPECT_EQ(aircraft.state, guidChanges ? SimState::liveryrespawn : SimState::active);
    EXPECT_EQ(h.engine.removeQueue().size(), guidChanges ? 1U : 0U);
  }
  par_GUID_CHANGES.setValue(true);
}

// A record renaming the aircraft to its own callsign and "_" is taken; it is
// refused only while another live aircraft flies under the callsign itself.
TEST(LiveryRespawn, ARenameToTheGhostCallsignIsRefusedOnlyForAnotherAircraftsGhost) {
  par_GUID_CHANGES.setValue(false);
  for (const bool realTwin : {false, true}) {
    RulesHarness h;
    if (realTwin) {
      h.harness.placeLive(20002, "DLH4AB", SimState::active, 502);
    }
    LiveAc& aircraft = h.harness.placeLive(20001, "DLH4AB", SimState::active, 501);
    EXPECT_EQ(h.rules.respawnIfChanged(aircraft, renamed("DLH4AB_", "")), !realTwin) << realTwin;
    EXPECT_EQ(aircraft.base.identity.callsign, realTwin ? "DLH4AB" : "DLH4AB_") << realTwin;
  }
  par_GUID_CHANGES.setValue(true);
}

// No removal will ever be reported for an aircraft without an object: it
// would wait in liveryrespawn for ever.
TEST(LiveryRespawn, AnAircraftWithoutAnObjectWaitsForItsCreateAgainAtOnce) {
  RulesHarness h;
  LiveAc& aircraft = h.harness.placeLive(20001, "DLH4AB", SimState::active, 0);
  EXPECT_FALSE(h.rules.respawnIfChanged(aircraft, renamed("DLH88", "")));
  EXPECT_EQ(aircraft.state, SimState::buffer);
  EXPECT_TRUE(h.engine.removeQueue().empty());
}

// A callsign that is the registration, a pushback and generated legs keep
// the aircraft as it is.
TEST(LiveryRespawn, NoRenameOrRespawnForARegistrationCallsignWhilePushingBackOrOnGeneratedLegs) {
  for (const std::string when : {"registration", "pushback", "generated legs"}) {
    RulesHarness h;
    LiveAc& aircraft = h.harness.placeLive(20001, "DLH4AB", SimState::active, 501);
    aircraft.base.identity.registration = "G-ABCD";
    aircraft.phase = when == "pushback" ? FlightPhase::pushing_back : aircraft.phase;
    aircraft.generatedLegs = when == "generated legs" ? 3 : 0;
    const std::string callsign = when == "registration" ? "G-ABCD" : "DLH88";
    EXPECT_TRUE(h.rules.respawnIfChanged(aircraft, renamed(callsign, "G-ABCD"))) << when;
    EXPECT_EQ(aircraft.state, SimState::active) << when;
    EXPECT_EQ(aircraft.base.identity.callsign, "DLH4AB") << when;
  }
}

}  // namespace
}  // namespace crv::testing
