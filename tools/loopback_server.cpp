#include "tools/loopback_server.h"

#include <chrono>
#include <stdexcept>
#include <string>

#include <httplib.h>

namespace crv::standin {

namespace {
constexpr std::chrono::seconds kStartTimeout{5};
}  // namespace

int LoopbackServerThread::start(httplib::Server& server, int port, std::string_view standInName) {
  server_ = &server;
  const int boundPort =
      port > 0 ? (server.bind_to_port("127.0.0.1", port) ? port : -1) : server.bind_to_any_port("127.0.0.1");
  if (boundPort <= 0) {
    throw std::runtime_error(std::string(standInName) + ": cannot bind a port on 127.0.0.1");
  }
  thread_ = std::thread([&server] { server.listen_after_bind(); });
  // Answering starts on the new thread; a stop before then would be lost.
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (!server.is_running()) {
    if (std::chrono::steady_clock::now() > deadline) {
      server.stop();
      thread_.join();
      throw std::runtime_error(std::string(standInName) + ": the server did not start");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return boundPort;
}

void LoopbackServerThread::stop() {
  if (server_ != nullptr) {
    server_->stop();
  }
  if (thread_.joinable()) {
    thread_.join();
  }
}

}  // namespace crv::standin
