#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/simconnect/simconnect.h"

namespace platform {

// The SimConnect functions, for the recording and for failure injection.
enum class SimFunction {
  Open,
  Close,
  CallDispatch,
  SubscribeToSystemEvent,
  AddToDataDefinition,
  MapClientEventToSimEvent,
  AddClientEventToNotificationGroup,
  SetNotificationGroupPriority,
  RequestDataOnSimObject,
  RequestDataOnSimObjectType,
  SetDataOnSimObject,
  TransmitClientEvent,
  AICreateNonATCAircraft,
  AIRemoveObject,
  AIReleaseControl,
  AISetAircraftFlightPlan,
  GetLastSentPacketID,
};

// "AddToDataDefinition" for SimFunction::AddToDataDefinition.
std::string_view simFunctionName(SimFunction function);

// One call that reached the stand-in, with its arguments as passed (the
// handle left out).
struct SimCall {
  SimFunction function = SimFunction::Open;
  std::uint64_t connection = 0;  // 0 when the handle named no connection
  std::thread::id thread;  // of a kept call
  HRESULT result = S_OK;
  DWORD packetId = 0;  // the call's packet id when it was sent, else 0
  // The arguments in order: numbers, texts (none for a null pointer),
  // the data of SetDataOnSimObject and the init position of a create.
  std::vector<double> numbers;
  std::vector<std::optional<std::string>> texts;
  std::vector<std::byte> data;
  std::optional<SIMCONNECT_DATA_INITPOSITION> initPosition;
  // All arguments as text: 407, "TITLE", null, 11, 0, 4294967295
  std::string arguments;

  // The numeric argument at a position, as an id.
  DWORD id(std::size_t index) const { return static_cast<DWORD>(numbers.at(index)); }
  // "AddToDataDefinition(407, \"TITLE\", null, 11, 0, 4294967295)"
  std::string text() const;
};

// Builds the arguments of a SimCall one by one; does nothing when the call
// is not kept.
class SimCallArguments {
 public:
  explicit SimCallArguments(SimCall& call, bool keep = true) : call_(call), keep_(keep) {}
  // Each does nothing but return when the call is not kept, without a call
  // of its own: the stand-in makes tens of thousands of calls a second.
  SimCallArguments& number(double value) {
    if (keep_) addNumber(value);
    return *this;
  }
  SimCallArguments& text(const char* value) {
    if (keep_) addText(value);
    return *this;
  }
  // A pointer argument shows only as "null" or "pointer" and takes no number.
  SimCallArguments& pointer(const void* value) {
    if (keep_) addPointer(value);
    return *this;
  }
  SimCallArguments& initPosition(const SIMCONNECT_DATA_INITPOSITION& position) {
    if (keep_) addInitPosition(position);
    return *this;
  }
  SimCallArguments& data(const void* bytes, std::size_t size) {
    if (keep_) addData(bytes, size);
    return *this;
  }

 private:
  void addNumber(double value);
  void addText(const char* value);
  void addPointer(const void* value);
  void addInitPosition(const SIMCONNECT_DATA_INITPOSITION& position);
  void addData(const void* bytes, std::size_t size);
  void separate();
  SimCall& call_;
  bool keep_;
};

}  // namespace platform
