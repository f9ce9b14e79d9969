#include "platform/simconnect/sim_messages.h"

#include <algorithm>
#include <cstring>

#include "platform/simconnect/sim_world.h"

namespace platform {
namespace {

// The protocol version that the stand-in writes into every header.
constexpr DWORD kProtocolVersion = 6;

void stampHeader(SIMCONNECT_RECV& header, std::size_t messageSize, DWORD id) {
  header.dwSize = static_cast<DWORD>(messageSize);
  header.dwVersion = kProtocolVersion;
  header.dwID = id;
}

template <typename Message>
SimMessage toBytes(Message message, SIMCONNECT_RECV_ID id) {
  stampHeader(message, sizeof(Message), id);
  SimMessage bytes(sizeof(Message));
  std::memcpy(bytes.data(), &message, sizeof(Message));
  return bytes;
}

// An event message of any form with its group, event and data.
template <typename EventMessage>
EventMessage eventMessage(DWORD groupId, DWORD eventId, DWORD data) {
  EventMessage message{};
  message.uGroupID = groupId;
  message.uEventID = eventId;
  message.dwData = data;
  return message;
}

// The first headerSize bytes of a message structure followed by a body, at
// least minimumSize bytes long.
SimMessage headerAndBody(const void* header, std::size_t headerSize, const std::vector<std::byte>& body,
                         std::size_t minimumSize) {
  SimMessage bytes(std::max(headerSize + body.size(), minimumSize));
  std::memcpy(bytes.data(), header, headerSize);
  if (!body.empty()) std::memcpy(bytes.data() + headerSize, body.data(), body.size());
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
  return toBytes(eventMessage<SIMCONNECT_RECV_EVENT>(groupId, eventId, data), SIMCONNECT_RECV_ID_EVENT);
}

SimMessage makeObjectAddRemoveMessage(DWORD eventId, DWORD objectId, SIMCONNECT_SIMOBJECT_TYPE type) {
  auto message = eventMessage<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>(SIMCONNECT_UNUSED, eventId, objectId);
  message.eObjType = type;
  return toBytes(message, SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE);
}

SimMessage makeFileNameMessage(DWORD eventId, std::string_view fileName) {
  auto message = eventMessage<SIMCONNECT_RECV_EVENT_FILENAME>(SIMCONNECT_UNUSED, eventId, 0);
  copyText(message.szFileName, fileName);
  return toBytes(message, SIMCONNECT_RECV_ID_EVENT_FILENAME);
}

SimMessage makeFrameMessage(DWORD eventId, float frameRate, float simSpeed) {
  auto message = eventMessage<SIMCONNECT_RECV_EVENT_FRAME>(SIMCONNECT_UNUSED, eventId, 0);
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
  stampHeader(message, kObjectDataHeaderSize + block.size(), id);
  message.dwRequestID = header.requestId;
  message.dwObjectID = header.objectId;
  message.dwDefineID = header.defineId;
  message.dwFlags = 0;
  message.dwentrynumber = header.entryNumber;
  message.dwoutof = header.outOf;
  message.dwDefineCount = header.defineCount;
  // Never shorter than the structure, so that reading dwData stays inside.
  return headerAndBody(&message, kObjectDataHeaderSize, block, sizeof(message));
}

SimMessage makeRawMessage(DWORD id, const std::vector<std::byte>& body) {
  SIMCONNECT_RECV header{};
  stampHeader(header, sizeof(header) + body.size(), id);
  return headerAndBody(&header, sizeof(header), body, 0);
}

}  // namespace platform
