#pragma once

// The start and stop of a loopback stand-in's HTTP server: it listens on
// 127.0.0.1 only, on a thread of its own.

#include <string_view>
#include <thread>

namespace httplib {
class Server;
}

namespace crv::standin {

class LoopbackServerThread {
 public:
  LoopbackServerThread() = default;
  ~LoopbackServerThread() { stop(); }
  LoopbackServerThread(const LoopbackServerThread&) = delete;
  LoopbackServerThread& operator=(const LoopbackServerThread&) = delete;

  // Binds the server to 127.0.0.1 on the port (0: a free port that the system
  // chooses) and serves it on the thread; returns the port once the server
  // answers. Throws std::runtime_error, its text starting with the stand-in's
  // name, when the port cannot be bound or the server does not start.
  int start(httplib::Server& server, int port, std::string_view standInName);

  // Stops the server and waits for its thread; nothing before a start.
  void stop();

 private:
  httplib::Server* server_ = nullptr;
  std::thread thread_;
};

}  // namespace crv::standin
