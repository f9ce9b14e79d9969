// The program connects to the display once and keeps that connection for
// its window: a display server with no other client resets when a
// connection closes, and a second open may then fail. When that server ends
// (Ctrl-C at xvfb-run) the program lives on to close cleanly. The test puts
// a display of its own in front of the virtual one that counts the
// connections made to it and can end them.

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/window/window_view.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

sockaddr_un socketAddress(const std::string& path, bool abstract, socklen_t& length) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t offset = abstract ? 1 : 0;  // an abstract name starts with a zero byte
  std::memcpy(address.sun_path + offset, path.c_str(), path.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
  return address;
}

// A display ":N" that passes every connection on to the real display and
// counts them.
class CountingDisplay {
 public:
  explicit CountingDisplay(std::string realSocket) : realSocket_(std::move(realSocket)) {
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 50 && listener_ < 0; ++attempt) {
      const int number = 3000 + static_cast<int>(random() % 20000);
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      socklen_t length = 0;
      const sockaddr_un address = socketAddress("/tmp/.X11-unix/X" + std::to_string(number), true, length);
      if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 && ::listen(fd, 8) == 0) {
        listener_ = fd;
        name_ = ":" + std::to_string(number);
      } else {
        ::close(fd);
      }
    }
    if (listener_ >= 0) acceptor_ = std::thread([this] { acceptLoop(); });
  }
  ~CountingDisplay() { stop(); }
  // The display server ends: every connection through it breaks.
  void stop() {
    stop_.store(true);
    if (acceptor_.joinable()) acceptor_.join();
    std::lock_guard<std::mutex> lock(pipesMutex_);
    for (std::thread& pipe : pipes_) pipe.join();
    pipes_.clear();
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
  }
  CountingDisplay(const CountingDisplay&) = delete;
  CountingDisplay& operator=(const CountingDisplay&) = delete;

  const std::string& name() const { return name_; }
  int connections() const { return connections_.load(); }

 private:
  void acceptLoop() {
    while (!stop_.load()) {
      pollfd ready{listener_, POLLIN, 0};
      if (::poll(&ready, 1, 50) <= 0) continue;
      const int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      connections_.fetch_add(1);
      const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
      socklen_t length = 0;
      const sockaddr_un address = socketAddress(realSocket_, false, length);
      if (::connect(server, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        ::close(server);
        ::close(client);
        continue;
      }
      std::lock_guard<std::mutex> lock(pipesMutex_);
      pipes_.emplace_back([this, client, server] { passOn(client, server); });
    }
  }
  // Copies bytes both ways until either side closes or the display stops.
  void passOn(int client, int server) {
    std::vector<char> buffer(65536);
    pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    bool open = true;
    while (open && !stop_.load()) {
      if (::poll(ends, 2, 50) <= 0) continue;
      for (int from = 0; from < 2 && open; ++from) {
        if ((ends[from].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        const ssize_t count = ::read(ends[from].fd, buffer.data(), buffer.size());
        open = count > 0 && ::write(ends[1 - from].fd, buffer.data(), static_cast<std::size_t>(count)) == count;
      }
    }
    ::close(client);
    ::close(server);
  }

  std::string realSocket_;
  std::string name_;
  int listener_ = -1;
  std::atomic<int> connections_{0};
  std::atomic<bool> stop_{false};
  std::thread acceptor_;
  std::mutex pipesMutex_;  // guards pipes_
  std::vector<std::thread> pipes_;
};

// The socket of a local display named ":N" or ":N.S"; empty for others.
std::string localDisplaySocket(const char* display) {
  if (display == nullptr || display[0] != ':') return {};
  const std::string number = std::string(display + 1).substr(0, std::string(display + 1).find('.'));
  return "/tmp/.X11-unix/X" + number;
}

// One test: the program holds one display connection for its whole life.
TEST(DisplayConnectionTest, TheWindowShowsOnTheOneConnectionThatFoundTheDisplayAndOutlivesItsServer) {
  const std::string realSocket = localDisplaySocket(std::getenv("DISPLAY"));
  if (realSocket.empty()) GTEST_SKIP() << "no local display (run under xvfb-run)";
  CountingDisplay display(realSocket);
  ASSERT_FALSE(display.name().empty());
  setenv("DISPLAY", display.name().c_str(), 1);

  ASSERT_TRUE(displayAvailable());
  EXPECT_TRUE(displayAvailable());
  WindowModel model("one connection", 10, 10, 200, 100);
  ControlModel controls;
  WindowView view(model, controls);
  view.show();
  for (int slice = 0; slice < 10; ++slice) view.pump(20ms);

  EXPECT_EQ(display.connections(), 1);
  EXPECT_FALSE(displayLost());

  // The server ends under the window: Xlib does not end the program, which
  // learns that its display is gone.
  display.stop();
  for (int slice = 0; slice < 10 && !displayLost(); ++slice) {
    model.invalidate();
    view.pump(20ms);
  }
  EXPECT_TRUE(displayLost());
}

}  // namespace
}  // namespace platform
