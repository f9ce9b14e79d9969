#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/simconnect/sim_installation.h"
#include "platform/simconnect/sim_standin.h"
#include "platform/simconnect/simconnect.h"

namespace crv::testing {

// A copy of one message handed to the dispatch procedure.
struct ReceivedMessage {
  std::vector<std::byte> bytes;

  DWORD id() const { return as<SIMCONNECT_RECV>().dwID; }

  // The message as its structure, copied out (messages have no alignment).
  template <typename Message>
  Message as() const {
    Message message{};
    EXPECT_GE(bytes.size(), sizeof(Message));
    std::memcpy(&message, bytes.data(), std::min(sizeof(Message), bytes.size()));
    return message;
  }

  // The data block of a SIMOBJECT_DATA or SIMOBJECT_DATA_BYTYPE message.
  std::vector<std::byte> dataBlock() const {
    return std::vector<std::byte>(bytes.begin() + platform::kObjectDataHeaderSize, bytes.end());
  }
};

// The value at an offset of a data block.
template <typename Value>
Value valueAt(const std::vector<std::byte>& block, std::size_t offset) {
  Value value{};
  EXPECT_LE(offset + sizeof(value), block.size());
  if (offset + sizeof(value) <= block.size()) std::memcpy(&value, block.data() + offset, sizeof(value));
  return value;
}
// The zero-terminated text at an offset.
std::string textAt(const std::vector<std::byte>& block, std::size_t offset);

// Collects what CallDispatch hands over.
class MessageInbox {
 public:
  static void receive(SIMCONNECT_RECV* data, DWORD size, void* context);

  HRESULT dispatch(HANDLE handle);
  // Dispatches once and returns what arrived.
  std::vector<ReceivedMessage> fetch(HANDLE handle);

  std::vector<ReceivedMessage> messages;
};

std::vector<ReceivedMessage> withId(const std::vector<ReceivedMessage>& messages, DWORD id);

// A stand-in installed for one test, with a connection opened by "CRVN".
class StandInFixture : public ::testing::Test {
 protected:
  StandInFixture();

  HANDLE openConnection();

  std::shared_ptr<platform::SimulatorStandIn> sim;
  platform::ScopedSimulator installed;
  MessageInbox inbox;
};

// The registrations of the simulator link: five system events, the data
// definitions 401 to 409, seventeen client events and group 301.
void registerLikeTheLink(HANDLE handle);

// Request ids and definitions used by the tests, as the link numbers them.
inline constexpr DWORD kDefSpoilersThrottle = 401;
inline constexpr DWORD kDefAiPosition = 402;
inline constexpr DWORD kDefUserAircraft = 403;
inline constexpr DWORD kDefProbe = 404;
inline constexpr DWORD kDefStaticCg = 405;
inline constexpr DWORD kDefTitle = 407;
inline constexpr DWORD kDefAtcModel = 408;
inline constexpr DWORD kDefOnGround = 409;
inline constexpr DWORD kEventSim = 201;
inline constexpr DWORD kEventObjectAdded = 202;
inline constexpr DWORD kEventObjectRemoved = 203;
inline constexpr DWORD kEventFrame = 204;
inline constexpr DWORD kEventFlightLoaded = 205;
inline constexpr DWORD kGroup = 301;

// A create position with the attitude in degrees.
SIMCONNECT_DATA_INITPOSITION initPosition(double latitude, double longitude, double altitudeFeet, bool onGround);

}  // namespace crv::testing
