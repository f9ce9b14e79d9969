#include "simlink/sim_definitions.h"

#include <array>

#include "simlink/sim_ids.h"

namespace crv {

namespace {

constexpr float kNoEpsilon = 0.0F;

constexpr std::array<SystemEventSubscription, 5> kSystemEvents = {{
    {toId(SystemEventId::Sim), "Sim"},
    {toId(SystemEventId::ObjectAdded), "ObjectAdded"},
    {toId(SystemEventId::ObjectRemoved), "ObjectRemoved"},
    {toId(SystemEventId::FlightLoaded), "FlightLoaded"},
    {toId(SystemEventId::Frame), "Frame"},
}};

constexpr SIMCONNECT_DATATYPE kF64 = SIMCONNECT_DATATYPE_FLOAT64;
constexpr SIMCONNECT_DATATYPE kI64 = SIMCONNECT_DATATYPE_INT64;

constexpr std::uint32_t kTitle = toId(DataDefinitionId::UserTitle);
constexpr std::uint32_t kModel = toId(DataDefinitionId::UserModel);
constexpr std::uint32_t kOnGround = toId(DataDefinitionId::UserOnGround);
constexpr std::uint32_t kAiPosition = toId(DataDefinitionId::AiPosition);
constexpr std::uint32_t kUser = toId(DataDefinitionId::UserAircraft);
constexpr std::uint32_t kStaticCg = toId(DataDefinitionId::StaticCg);
constexpr std::uint32_t kLights = toId(DataDefinitionId::LightOnStates);
constexpr std::uint32_t kInRange = toId(DataDefinitionId::AircraftInRange);
constexpr std::uint32_t kSpoilers = toId(DataDefinitionId::SpoilersThrottle);

constexpr std::array<DataDefinitionEntry, 33> kDataDefinitions = {{
    {kTitle, "TITLE", nullptr, SIMCONNECT_DATATYPE_STRINGV},
    {kModel, "ATC MODEL", nullptr, SIMCONNECT_DATATYPE_STRING32},
    {kOnGround, "SIM ON GROUND", "Bool", kI64},

    {kAiPosition, "Plane Latitude", "degree", kF64},
    {kAiPosition, "Plane Longitude", "degree", kF64},
    {kAiPosition, "Plane Pitch degrees", "radians", kF64},
    {kAiPosition, "Plane Bank degrees", "radians", kF64},
    {kAiPosition, "Plane Heading degrees true", "radians", kF64},
    {kAiPosition, "Plane Altitude", "feet", kF64},
    {kAiPosition, "Vertical Speed", "feet per second", kF64},
    {kAiPosition, "Airspeed True", "knots", kF64},

    {kUser, "Plane Latitude", "degree", kF64},
    {kUser, "Plane Longitude", "degree", kF64},
    {kUser, "Plane Pitch degrees", "radians", kF64},
    {kUser, "Plane Bank degrees", "radians", kF64},
    {kUser, "Plane Heading degrees true", "radians", kF64},
    {kUser, "Plane Altitude", "feet", kF64},
    {kUser, "Plane Alt Above Ground", "feet", kF64},
    {kUser, "Ground Velocity", "knots", kF64},
    {kUser, "ZULU TIME", "Seconds", kI64},
    {kUser, "ZULU DAY OF YEAR", "Number", kI64},
    {kUser, "ZULU YEAR", "Number", kI64},
    {kUser, "LIGHT STATES", "Mask", kI64},

    {kStaticCg, "Static CG to Ground", "feet", kF64},
    {kStaticCg, "Static Pitch", "radians", kF64},

    {kLights, "Light On States", "Mask", kI64},

    {kInRange, "Plane Alt Above Ground", "feet", kF64},
    {kInRange, "Ground Altitude", "feet", kF64},
    {kInRange, "SIM ON GROUND", "Bool", kI64},
    {kInRange, "ATC ID", nullptr, SIMCONNECT_DATATYPE_STRING32},

    {kSpoilers, "SPOILERS HANDLE POSITION", "percent", kF64},
    {kSpoilers, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", kF64},
    {kSpoilers, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", kF64},
}};

constexpr std::array<ClientEventMapping, 17> kClientEvents = {{
    {toId(ClientEventId::GearSet), "GEAR_SET"},
    {toId(ClientEventId::EngineAutoStart), "ENGINE_AUTO_START"},
    {toId(ClientEventId::EngineAutoShutdown), "ENGINE_AUTO_SHUTDOWN"},
    {toId(ClientEventId::ThrottleSet), "THROTTLE_SET"},
    {toId(ClientEventId::FlapsSet), "FLAPS_SET"},
    {toId(ClientEventId::SpoilersSet), "SPOILERS_SET"},
    {toId(ClientEventId::NavLightsSet), "NAV_LIGHTS_SET"},
    {toId(ClientEventId::BeaconLightsSet), "BEACON_LIGHTS_SET"},
    {toId(ClientEventId::LandingLightsSet), "LANDING_LIGHTS_SET"},
    {toId(ClientEventId::TaxiLightsSet), "TAXI_LIGHTS_SET"},
    {toId(ClientEventId::StrobesSet), "STROBES_SET"},
    {toId(ClientEventId::LogoLightsSet), "LOGO_LIGHTS_SET"},
    {toId(ClientEventId::CabinLightsSet), "CABIN_LIGHTS_SET"},
    {toId(ClientEventId::AllLightsToggle), "ALL_LIGHTS_TOGGLE"},
    {toId(ClientEventId::FreezeLatitudeLongitudeSet), "FREEZE_LATITUDE_LONGITUDE_SET"},
    {toId(ClientEventId::FreezeAltitudeSet), "FREEZE_ALTITUDE_SET"},
    {toId(ClientEventId::FreezeAttitudeSet), "FREEZE_ATTITUDE_SET"},
}};

// Every client event but ENGINE_AUTO_START.
constexpr std::array<std::uint32_t, 16> kGroupEvents = {
    toId(ClientEventId::NavLightsSet),     toId(ClientEventId::BeaconLightsSet),
    toId(ClientEventId::LandingLightsSet), toId(ClientEventId::TaxiLightsSet),
    toId(ClientEventId::StrobesSet),       toId(ClientEventId::LogoLightsSet),
    toId(ClientEventId::CabinLightsSet),   toId(ClientEventId::AllLightsToggle),
    toId(ClientEventId::FlapsSet),         toId(ClientEventId::SpoilersSet),
    toId(ClientEventId::GearSet),          toId(ClientEventId::EngineAutoShutdown),
    toId(ClientEventId::ThrottleSet),      toId(ClientEventId::FreezeLatitudeLongitudeSet),
    toId(ClientEventId::FreezeAltitudeSet), toId(ClientEventId::FreezeAttitudeSet),
};

void addEventToGroup(HANDLE handle, std::uint32_t eventId) {
  SimConnect_AddClientEventToNotificationGroup(handle, kNotificationGroup, eventId, TRUE);
}

}  // namespace

std::span<const SystemEventSubscription> systemEventSubscriptions() { return kSystemEvents; }
std::span<const DataDefinitionEntry> dataDefinitionEntries() { return kDataDefinitions; }
std::span<const ClientEventMapping> clientEventMappings() { return kClientEvents; }
std::span<const std::uint32_t> notificationGroupEvents() { return kGroupEvents; }

void setupSimConnect(HANDLE handle) {
  for (const SystemEventSubscription& event : kSystemEvents) {
    SimConnect_SubscribeToSystemEvent(handle, event.eventId, event.eventName);
  }
  for (const DataDefinitionEntry& entry : kDataDefinitions) {
    SimConnect_AddToDataDefinition(handle, entry.definitionId, entry.variableName, entry.unit, entry.type, kNoEpsilon,
                                   SIMCONNECT_UNUSED);
  }
  for (const ClientEventMapping& event : kClientEvents) {
    SimConnect_MapClientEventToSimEvent(handle, event.eventId, event.eventName);
  }
  for (const std::uint32_t eventId : kGroupEvents) {
    addEventToGroup(handle, eventId);
  }
  SimConnect_SetNotificationGroupPriority(handle, kNotificationGroup, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
}

}  // namespace crv
