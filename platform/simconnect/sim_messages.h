#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/simconnect/simconnect.h"

namespace platform {

// Byte offset of the data block in a SIMOBJECT_DATA message.
inline constexpr DWORD kObjectDataHeaderSize = sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) - sizeof(DWORD);

// One whole message as the simulator sends it, header first.
using SimMessage = std::vector<std::byte>;

struct SimulatorIdentity;

SimMessage makeOpenMessage(const SimulatorIdentity& identity);
SimMessage makeQuitMessage();
SimMessage makeExceptionMessage(DWORD exception, DWORD sendId, DWORD index);
SimMessage makeEventMessage(DWORD groupId, DWORD eventId, DWORD data);
SimMessage makeObjectAddRemoveMessage(DWORD eventId, DWORD objectId, SIMCONNECT_SIMOBJECT_TYPE type);
SimMessage makeFileNameMessage(DWORD eventId, std::string_view fileName);
SimMessage makeFrameMessage(DWORD eventId, float frameRate, float simSpeed);
SimMessage makeAssignedObjectIdMessage(DWORD requestId, DWORD objectId);

struct ObjectDataHeader {
  DWORD requestId = 0;
  DWORD objectId = 0;
  DWORD defineId = 0;
  DWORD entryNumber = 1;
  DWORD outOf = 1;
  DWORD defineCount = 0;
};
// SIMOBJECT_DATA or SIMOBJECT_DATA_BYTYPE with its data block.
SimMessage makeObjectDataMessage(SIMCONNECT_RECV_ID id, const ObjectDataHeader& header,
                                 const std::vector<std::byte>& block);

// Any message id with any body, for messages the stand-in does not model.
SimMessage makeRawMessage(DWORD id, const std::vector<std::byte>& body);

}  // namespace platform
