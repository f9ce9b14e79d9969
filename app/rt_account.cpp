#include "app/rt_account.h"


#include <algorithm>
#include <cstdlib>
#include <fstream>

#include <fmt/format.h>

#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "platform/os/file_access.h"

namespace crv {

namespace {

constexpr std::size_t kShownKeyCharacters = 4;

std::string trimmed(std::string text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::optional<std::string> environmentText(const char* name) {
  // getenv is safe here: the program never changes its environment.
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
  if (value == nullptr) {
    return std::nullopt;
  }
  std::string text = trimmed(value);
  if (text.empty()) {
    return std::nullopt;
  }
  return text;
}

// Why the text cannot be an account key; empty when it can be one. Keys are
// short runs of printable ASCII; anything else was pasted by mistake and
// would only be refused by the service, again at every restart.
std::string whyNoKey(const std::string& key) {
  if (key.size() > kMaximumKeyLength) {
    return fmt::format("{} characters, a key has at most {}", key.size(), kMaximumKeyLength);
  }
  const auto bad = std::find_if(key.begin(), key.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20U || byte >= 0x7FU;
  });
  if (bad != key.end()) {
    return fmt::format("character {} is a blank, a control character or no ASCII", bad - key.begin() + 1);
  }
  return {};
}

}  // namespace

std::filesystem::path rtKeyFilePath() { return dataFolderPath() / kRtKeyFileName; }

std::optional<std::string> readRtKeyFile(const std::filesystem::path& path) {
  std::ifstream file(path);
  if (!file) {
    return std::nullopt;
  }
  if (platform::readableByOthers(path)) {
    gf_logWarning(fmt::format("The RealTraffic key file {} can be read by other users; make it private (chmod 600)",
                              path.string()));
  }
  std::string line;
  std::getline(file, line);
  line = trimmed(line);
  if (line.empty()) {
    return std::nullopt;
  }
  return line;
}

std::string maskedKey(const std::string& key) {
  if (key.size() <= 2 * kShownKeyCharacters) {
    return "****";
  }
  return "****" + key.substr(key.size() - kShownKeyCharacters);
}

std::string rtEndpoint() {
  std::string endpoint = environmentText(kRtEndpointVariable).value_or(kRtDefaultEndpoint);
  while (!endpoint.empty() && endpoint.back() == '/') {
    endpoint.pop_back();
  }
  return endpoint;
}

RtAccount loadRtAccount() {
  RtAccount account;
  account.endpoint = rtEndpoint();
  std::string source = kRtKeyVariable;
  std::optional<std::string> key = environmentText(kRtKeyVariable);
  if (!key) {
    source = rtKeyFilePath().string();
    key = readRtKeyFile(rtKeyFilePath());
  }
  if (!key) {
    throw UserErrorException(kNoRtKeyError, fmt::format("No RealTraffic key: write your key into {} and restart",
                                                        rtKeyFilePath().string()));
  }
  if (const std::string why = whyNoKey(*key); !why.empty()) {
    throw UserErrorException(kNoRtKeyError,
                             fmt::format("The RealTraffic key from {} cannot be a key ({}): write your key into {} and "
                                         "restart",
                                         source, why, rtKeyFilePath().string()));
  }
  account.key = *key;
  gf_logLine(fmt::format("RealTraffic key {} from {}, server {}", maskedKey(account.key), source, account.endpoint));
  return account;
}

}  // namespace crv
