#include "platform/simconnect/sim_messages.h"

#include <algorithm>
#include <cstring>

#include "platform/simconnect/sim_world.h"

namespace platform {
namespace {

// The protocol version that the stand-in writes into every header.
constexpr DWORD kProtocolVersion = 6;

template <typename Message>
SimMessage toBytes(Message message, SIMCONNECT_RECV_ID id) {
  message.dwSize = sizeof(Message);
  message.dwVersion = kProtocolVersion;
  message.dwID = id;
  SimMessage bytes(sizeof(Message));
  std::memcpy(bytes.data(), &message, sizeof(Message));
  return bytes;
}

template <std::size_t Size>
void copyText(char (&field)[Size], std::string_view text) {
  std::memset(field, 0, Size);
  std::memcpy(field, text.data(), std::min(text.size(), Size - 1));
}

}  // namespace

SimMessage makeOpenMessage(const SimulatorIdentity& identity) {
  SIMCONNECT_RECV_OPEN message{};
  copyText(message.szApplicationName, identity.applicationName);
  message.dwApplicationVersionMajor = identity.versionMajor;
  message.dwApplicationVersionMinor = identity.versionMinor;
  message.dwApplicationBuildMajor = identity.buildMajor;
  message.dwApplicationBuildMinor = identity.buildMinor;
  message.dwSimConnectVersionMajor = identity.versionMajor;
  message.dwSimConnectVersionMinor = identity.versionMinor;
  message.dwSimConnectBuildMajor = identity.buildMajor;
  message.dwSimConnectBuildMinor = identity.buildMinor;
  return toBytes(message, SIMCONNECT_RECV_ID_OPEN);
}

SimMessage makeQuitMessage() { return toBytes(SIMCONNECT_RECV_QUIT{}, SIMCONNECT_RECV_ID_QUIT); }

SimMessage makeExceptionMessage(DWORD exception, DWORD sendId, DWORD index) {
  SIMCONNECT_RECV_EXCEPTION message{};
  message.dwException = exception;
  message.dwSendID = sendId;
  message.dwIndex = index;
  return toBytes(message, SIMCONNECT_RECV_ID_EXCEPTION);
}

SimMessage makeEventMessage(DWORD groupId, DWORD eventId, DWORD data) {
  SIMCONNECT_RECV_EVENT message{};
  message.uGroupID = groupId;
  message.uEventID = eventId;
  message.dwData = data;
  return toBytes(message, SIMCONNECT_RECV_ID_EVENT);
}

SimMessage makeObjectAddRemoveMessage(DWORD eventId, DWORD objectId, SIMCONNECT_SIMOBJECT_TYPE type) {
  SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE message{};
  message.uGroupID = SIMCONNECT_UNUSED;
  message.uEventID = eventId;
  message.dwData = objectId;
  message.eObjType = type;
  return toBytes(message, SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE);
}

SimMessage makeFileNameMessage(DWORD eventId, std::string_view fileName) {
  SIMCONNECT_RECV_EVENT_FILENAME message{};
  message.uGroupID = SIMCONNECT_UNUSED;
  message.uEventID = eventId;
  copyText(message.szFileName, fileName);
  return toBytes(message, SIMCONNECT_RECV_ID_EVENT_FILENAME);
}

SimMessage makeFrameMessage(DWORD eventId, float frameRate, float simSpeed) {
  SIMCONNECT_RECV_EVENT_FRAME message{};
  message.uGroupID = SIMCONNECT_UNUSED;
  message.uEventID = eventId;
  message.fFrameRate = frameRate;
  message.fSimSpeed = simSpeed;
  return toBytes(message, SIMCONNECT_RECV_ID_EVENT_FRAME);
}

SimMessage makeAssignedObjectIdMessage(DWORD requestId, DWORD objectId) {
  SIMCONNECT_RECV_ASSIGNED_OBJECT_ID message{};
  message.dwRequestID = requestId;
  message.dwObjectID = objectId;
  return toBytes(message, SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
}

SimMessage makeObjectDataMessage(SIMCONNECT_RECV_ID id, const ObjectDataHeader& header,
                                 const std::vector<std::byte>& block) {
  SIMCONNECT_RECV_SIMOBJECT_DATA message{};
  message.dwSize = static_cast<DWORD>(kObjectDataHeaderSize + block.size());
  message.dwVersion = kProtocolVersion;
  message.dwID = id;
  message.dwRequestID = header.requestId;
  message.dwObjectID = header.objectId;
  message.dwDefineID = header.defineId;
  message.dwFlags = 0;
  message.dwentrynumber = header.entryNumber;
  message.dwoutof = header.outOf;
  message.dwDefineCount = header.defineCount;
  // Never shorter than the structure, so that reading dwData stays inside.
  SimMessage bytes(std::max<std::size_t>(kObjectDataHeaderSize + block.size(), sizeof(message)));
  std::memcpy(bytes.data(), &message, kObjectDataHeaderSize);
  if (!block.empty()) std::memcpy(bytes.data() + kObjectDataHeaderSize, block.data(), block.size());
  return bytes;
}

SimMessage makeRawMessage(DWORD id, const std::vector<std::byte>& body) {
  SIMCONNECT_RECV header{};
  header.dwSize = static_cast<DWORD>(sizeof(header) + body.size());
  header.dwVersion = kProtocolVersion;
  header.dwID = id;
  SimMessage bytes(sizeof(header) + body.size());
  std::memcpy(bytes.data(), &header, sizeof(header));
  if (!body.empty()) std::memcpy(bytes.data() + sizeof(header), body.data(), body.size());
  return bytes;
}

}  // namespace platform
