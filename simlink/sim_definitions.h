#pragma once

// What the link registers on every new connection: the system events it
// subscribes to, the data definitions with their variables, the client events
// and notification group 301. The tables are in registration order.

#include <cstdint>
#include <span>

#include "platform/simconnect/simconnect.h"

namespace crv {

struct SystemEventSubscription {
  std::uint32_t eventId;
  const char* eventName;
};

struct DataDefinitionEntry {
  std::uint32_t definitionId;
  const char* variableName;
  const char* unit;  // nullptr: no unit
  SIMCONNECT_DATATYPE type;
};

struct ClientEventMapping {
  std::uint32_t eventId;
  const char* eventName;
};

std::span<const SystemEventSubscription> systemEventSubscriptions();
std::span<const DataDefinitionEntry> dataDefinitionEntries();
std::span<const ClientEventMapping> clientEventMappings();
// The client events added to notification group 301, in order.
std::span<const std::uint32_t> notificationGroupEvents();

// Registers everything above on an open connection, in this order: system
// events, data definitions, client events, group members, group priority.
// Results are not looked at: the simulator refuses a registration with an
// exception message later.
void setupSimConnect(HANDLE handle);

}  // namespace crv
