#include "tests/support/unprivileged_user.h"

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <stdexcept>

namespace crv::testing {
namespace {

struct Ids {
  uid_t user;
  gid_t group;
};

Ids nobody() {
  const passwd* entry = ::getpwnam("nobody");
  if (entry == nullptr) {
    throw std::runtime_error("there is no user nobody");
  }
  return {entry->pw_uid, entry->pw_gid};
}

bool becomeNobody(const Ids& ids) {
  return ::setgroups(0, nullptr) == 0 && ::setgid(ids.group) == 0 && ::setuid(ids.user) == 0 && ::geteuid() != 0;
}

void writeAll(int descriptor, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t count = ::write(descriptor, text.data() + done, text.size() - done);
    if (count <= 0) return;
    done += static_cast<std::size_t>(count);
  }
}

std::string readAll(int descriptor) {
  std::string text;
  char buffer[4096];
  for (ssize_t count; (count = ::read(descriptor, buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(count));
  }
  return text;
}

}  // namespace

std::string runAsUnprivilegedUser(const std::function<std::string()>& action) {
  const bool root = ::geteuid() == 0;
  const Ids ids = root ? nobody() : Ids{::getuid(), ::getgid()};
  int answer[2];
  if (::pipe(answer) != 0) {
    return "(no pipe)";
  }
  const pid_t child = ::fork();
  if (child < 0) {
    return "(no fork)";
  }
  if (child == 0) {
    ::close(answer[0]);
    std::string text;
    if (root && !becomeNobody(ids)) {
      text = "(could not become the user nobody)";
    } else {
      try {
        text = action();
      } catch (const std::exception& error) {
        text = std::string("(threw) ") + error.what();
      }
    }
    writeAll(answer[1], text);
    ::_exit(0);
  }
  ::close(answer[1]);
  std::string text = readAll(answer[0]);
  ::close(answer[0]);
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    text += "(the child did not end normally)";
  }
  return text;
}

void handToUnprivilegedUser(const std::filesystem::path& path) {
  if (::geteuid() != 0) {
    return;
  }
  const Ids ids = nobody();
  if (::chown(path.c_str(), ids.user, ids.group) != 0) {
    throw std::runtime_error("cannot give " + path.string() + " to nobody");
  }
}

}  // namespace crv::testing
