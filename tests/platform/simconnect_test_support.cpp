#include "tests/platform/simconnect_test_support.h"

#include <algorithm>
#include <utility>

namespace crv::testing {

std::string textAt(const std::vector<std::byte>& block, std::size_t offset) {
  std::string text;
  for (std::size_t index = offset; index < block.size() && block[index] != std::byte{0}; ++index) {
    text += static_cast<char>(block[index]);
  }
  return text;
}

void MessageInbox::receive(SIMCONNECT_RECV* data, DWORD size, void* context) {
  auto* inbox = static_cast<MessageInbox*>(context);
  const auto* first = reinterpret_cast<const std::byte*>(data);
  inbox->messages.push_back(ReceivedMessage{std::vector<std::byte>(first, first + size)});
}

HRESULT MessageInbox::dispatch(HANDLE handle) { return SimConnect_CallDispatch(handle, &MessageInbox::receive, this); }

std::vector<ReceivedMessage> MessageInbox::fetch(HANDLE handle) {
  messages.clear();
  dispatch(handle);
  return std::exchange(messages, {});
}

std::vector<ReceivedMessage> withId(const std::vector<ReceivedMessage>& messages, DWORD id) {
  std::vector<ReceivedMessage> result;
  std::copy_if(messages.begin(), messages.end(), std::back_inserter(result),
               [&](const ReceivedMessage& message) { return message.id() == id; });
  return result;
}

StandInFixture::StandInFixture() : sim(std::make_shared<platform::SimulatorStandIn>()), installed(sim) {}

HANDLE StandInFixture::openConnection() {
  HANDLE handle = nullptr;
  EXPECT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), S_OK);
  return handle;
}

void registerLikeTheLink(HANDLE h) {
  SimConnect_SubscribeToSystemEvent(h, 201, "Sim");
  SimConnect_SubscribeToSystemEvent(h, 202, "ObjectAdded");
  SimConnect_SubscribeToSystemEvent(h, 203, "ObjectRemoved");
  SimConnect_SubscribeToSystemEvent(h, 205, "FlightLoaded");
  SimConnect_SubscribeToSystemEvent(h, 204, "Frame");

  struct Datum {
    DWORD define;
    const char* name;
    const char* unit;
    SIMCONNECT_DATATYPE type;
  };
  constexpr auto kDouble = SIMCONNECT_DATATYPE_FLOAT64;
  constexpr auto kInt64 = SIMCONNECT_DATATYPE_INT64;
  const Datum data[] = {
      {407, "TITLE", nullptr, SIMCONNECT_DATATYPE_STRINGV},
      {408, "ATC MODEL", nullptr, SIMCONNECT_DATATYPE_STRING32},
      {409, "SIM ON GROUND", "Bool", kInt64},
      {402, "Plane Latitude", "degree", kDouble},          {402, "Plane Longitude", "degree", kDouble},
      {402, "Plane Pitch degrees", "radians", kDouble},    {402, "Plane Bank degrees", "radians", kDouble},
      {402, "Plane Heading degrees true", "radians", kDouble}, {402, "Plane Altitude", "feet", kDouble},
      {402, "Vertical Speed", "feet per second", kDouble}, {402, "Airspeed True", "knots", kDouble},
      {403, "Plane Latitude", "degree", kDouble},          {403, "Plane Longitude", "degree", kDouble},
      {403, "Plane Pitch degrees", "radians", kDouble},    {403, "Plane Bank degrees", "radians", kDouble},
      {403, "Plane Heading degrees true", "radians", kDouble}, {403, "Plane Altitude", "feet", kDouble},
      {403, "Plane Alt Above Ground", "feet", kDouble},    {403, "Ground Velocity", "knots", kDouble},
      {403, "ZULU TIME", "Seconds", kInt64},               {403, "ZULU DAY OF YEAR", "Number", kInt64},
      {403, "ZULU YEAR", "Number", kInt64},                {403, "LIGHT STATES", "Mask", kInt64},
      {405, "Static CG to Ground", "feet", kDouble},       {405, "Static Pitch", "radians", kDouble},
      {406, "Light On States", "Mask", kInt64},
      {404, "Plane Alt Above Ground", "feet", kDouble},    {404, "Ground Altitude", "feet", kDouble},
      {404, "SIM ON GROUND", "Bool", kInt64},              {404, "ATC ID", nullptr, SIMCONNECT_DATATYPE_STRING32},
      {401, "SPOILERS HANDLE POSITION", "percent", kDouble},
      {401, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", kDouble},
      {401, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", kDouble},
  };
  for (const Datum& datum : data) {
    SimConnect_AddToDataDefinition(h, datum.define, datum.name, datum.unit, datum.type, 0.0F, SIMCONNECT_UNUSED);
  }

  const std::pair<DWORD, const char*> events[] = {
      {219, "GEAR_SET"},          {220, "ENGINE_AUTO_START"},  {221, "ENGINE_AUTO_SHUTDOWN"},
      {222, "THROTTLE_SET"},      {217, "FLAPS_SET"},          {218, "SPOILERS_SET"},
      {207, "NAV_LIGHTS_SET"},    {206, "BEACON_LIGHTS_SET"},  {210, "LANDING_LIGHTS_SET"},
      {208, "TAXI_LIGHTS_SET"},   {209, "STROBES_SET"},        {212, "LOGO_LIGHTS_SET"},
      {211, "CABIN_LIGHTS_SET"},  {213, "ALL_LIGHTS_TOGGLE"},  {214, "FREEZE_LATITUDE_LONGITUDE_SET"},
      {215, "FREEZE_ALTITUDE_SET"}, {216, "FREEZE_ATTITUDE_SET"}};
  for (const auto& [id, name] : events) SimConnect_MapClientEventToSimEvent(h, id, name);
  for (DWORD id : {207, 206, 210, 208, 209, 212, 211, 213, 217, 218, 219, 221, 222, 214, 215, 216}) {
    SimConnect_AddClientEventToNotificationGroup(h, kGroup, id, TRUE);
  }
  SimConnect_SetNotificationGroupPriority(h, kGroup, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
}

SIMCONNECT_DATA_INITPOSITION initPosition(double latitude, double longitude, double altitudeFeet, bool onGround) {
  SIMCONNECT_DATA_INITPOSITION position{};
  position.Latitude = latitude;
  position.Longitude = longitude;
  position.Altitude = altitudeFeet;
  position.Heading = 90.0;
  position.OnGround = onGround ? 1 : 0;
  return position;
}

}  // namespace crv::testing
