#pragma once

// The user's RealTraffic account key and the service's address.
//
// The key is read from the file RealTrafficKey.txt in the program's data
// folder, or from the environment variable CRVN_RT_KEY, which wins. It is
// never logged or shown whole. A key file that other users can read is
// reported with a warning. The address is the service's documented one
// unless CRVN_RT_ENDPOINT names another (the stand-in, in tests and runs).

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace crv {

inline constexpr const char* kRtKeyFileName = "RealTrafficKey.txt";
inline constexpr const char* kRtKeyVariable = "CRVN_RT_KEY";
inline constexpr const char* kRtEndpointVariable = "CRVN_RT_ENDPOINT";
inline constexpr const char* kRtDefaultEndpoint = "https://rtw.flyrealtraffic.com";

// The user error when no key is found, or the text found cannot be a key.
inline constexpr int kNoRtKeyError = 151;
// The longest text taken as a key.
inline constexpr std::size_t kMaximumKeyLength = 128;

struct RtAccount {
  std::string endpoint;
  std::string key;
};

// "RealTrafficKey.txt" in the data folder.
std::filesystem::path rtKeyFilePath();

// The key's first line, blanks trimmed; none when the file is missing or
// holds no key. Logs a warning for a file that others may read.
std::optional<std::string> readRtKeyFile(const std::filesystem::path& path);

// The key as the log may show it: "****" and its last four characters
// ("****" alone for a key of eight characters or fewer).
std::string maskedKey(const std::string& key);

// The endpoint: CRVN_RT_ENDPOINT without a trailing slash, else the default.
std::string rtEndpoint();

// Key and endpoint for a session; logs "RealTraffic key <masked> from <where>"
// and the endpoint. Throws UserErrorException 151 when there is no key, or
// when the text found cannot be one: longer than kMaximumKeyLength, or with a
// blank, a control character or a byte beyond ASCII inside.
RtAccount loadRtAccount();

}  // namespace crv
