#pragma once

// The numbers the program gives its simulator requests, data definitions,
// client events and notification group.

#include <cstdint>

namespace crv {

enum class SimRequestId : std::uint32_t {
  AircraftInRange = 101,
  StaticCg = 102,
  ReleaseControl = 103,
  CreateAircraft = 104,
  RemoveObject = 105,
  UserTitle = 106,
  UserModel = 107,
  UserOnGround = 108,
  UserPosition = 109,
  FlightPlan = 110,
};

enum class DataDefinitionId : std::uint32_t {
  SpoilersThrottle = 401,
  AiPosition = 402,
  UserAircraft = 403,
  AircraftInRange = 404,
  StaticCg = 405,
  LightOnStates = 406,
  UserTitle = 407,
  UserModel = 408,
  UserOnGround = 409,
};

enum class SystemEventId : std::uint32_t {
  Sim = 201,
  ObjectAdded = 202,
  ObjectRemoved = 203,
  Frame = 204,
  FlightLoaded = 205,
};

enum class ClientEventId : std::uint32_t {
  BeaconLightsSet = 206,
  NavLightsSet = 207,
  TaxiLightsSet = 208,
  StrobesSet = 209,
  LandingLightsSet = 210,
  CabinLightsSet = 211,
  LogoLightsSet = 212,
  AllLightsToggle = 213,
  FreezeLatitudeLongitudeSet = 214,
  FreezeAltitudeSet = 215,
  FreezeAttitudeSet = 216,
  FlapsSet = 217,
  SpoilersSet = 218,
  GearSet = 219,
  EngineAutoStart = 220,
  EngineAutoShutdown = 221,
  ThrottleSet = 222,
};

inline constexpr std::uint32_t kNotificationGroup = 301;

constexpr std::uint32_t toId(ClientEventId id) { return static_cast<std::uint32_t>(id); }
constexpr std::uint32_t toId(SystemEventId id) { return static_cast<std::uint32_t>(id); }
constexpr std::uint32_t toId(SimRequestId id) { return static_cast<std::uint32_t>(id); }
constexpr std::uint32_t toId(DataDefinitionId id) { return static_cast<std::uint32_t>(id); }

}  // namespace crv
