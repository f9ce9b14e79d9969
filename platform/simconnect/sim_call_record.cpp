#include "platform/simconnect/sim_call_record.h"

#include <array>
#include <charconv>
#include <cstring>

namespace platform {
namespace {

// The shortest text that reads back as the same number: 4294967295, 0.5, 0.
std::string formatNumber(double value) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

}  // namespace

std::string_view simFunctionName(SimFunction function) {
  static constexpr std::array<std::string_view, 17> kNames = {
      "Open",
      "Close",
      "CallDispatch",
      "SubscribeToSystemEvent",
      "AddToDataDefinition",
      "MapClientEventToSimEvent",
      "AddClientEventToNotificationGroup",
      "SetNotificationGroupPriority",
      "RequestDataOnSimObject",
      "RequestDataOnSimObjectType",
      "SetDataOnSimObject",
      "TransmitClientEvent",
      "AICreateNonATCAircraft",
      "AIRemoveObject",
      "AIReleaseControl",
      "AISetAircraftFlightPlan",
      "GetLastSentPacketID",
  };
  return kNames.at(static_cast<std::size_t>(function));
}

std::string SimCall::text() const {
  std::string result(simFunctionName(function));
  result += '(';
  result += arguments;
  result += ')';
  return result;
}

void SimCallArguments::separate() {
  if (!call_.arguments.empty()) call_.arguments += ", ";
}

void SimCallArguments::addNumber(double value) {
  separate();
  call_.numbers.push_back(value);
  call_.arguments += formatNumber(value);
}

void SimCallArguments::addText(const char* value) {
  separate();
  if (value == nullptr) {
    call_.texts.emplace_back();
    call_.arguments += "null";
  } else {
    call_.texts.emplace_back(value);
    call_.arguments += '"';
    call_.arguments += value;
    call_.arguments += '"';
  }
}

void SimCallArguments::addPointer(const void* value) {
  separate();
  call_.arguments += value == nullptr ? "null" : "pointer";
}

void SimCallArguments::addInitPosition(const SIMCONNECT_DATA_INITPOSITION& position) {
  separate();
  call_.initPosition = position;
  call_.arguments += '{' + formatNumber(position.Latitude) + ", " + formatNumber(position.Longitude) + ", " +
                     formatNumber(position.Altitude) + ", " + formatNumber(position.Pitch) + ", " +
                     formatNumber(position.Bank) + ", " + formatNumber(position.Heading) + ", " +
                     std::to_string(position.OnGround) + ", " + std::to_string(position.Airspeed) + '}';
}

void SimCallArguments::addData(const void* bytes, std::size_t size) {
  separate();
  call_.data.resize(size);
  if (size > 0 && bytes != nullptr) std::memcpy(call_.data.data(), bytes, size);
  call_.arguments += "<" + std::to_string(size) + " bytes>";
}

}  // namespace platform
