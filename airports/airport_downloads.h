#pragma once

// Archived airport files on the download site. The airports layer does not
// fetch anything itself: the session gives it the site's address and a
// download function (the feed's downloader), which has its own timeouts and
// gives up when the stop flag is raised.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace crv {

// How a download from the site ended. notThere: the site answered that it has
// no such file (HTTP 404 or 410); stopped: the stop flag ended it, which the
// downloader has logged and which is no failure; failed: anything else went
// wrong (no connection, a timeout, a server error). Neither of the last two
// says anything about the file.
enum class DownloadResult { downloaded, notThere, stopped, failed };

// Fetches the address into the file, leaving no partial file behind when it
// does not succeed.
using DownloadFunction = std::function<DownloadResult(const std::string& url, const std::filesystem::path& target,
                                                      const std::atomic<bool>& stop)>;

struct AirportDownloadSite {
  std::string baseUrl;  // ends with "/"
  DownloadFunction download;
  // Seconds since 1970; the system time when empty. Tests drive it.
  std::function<std::int64_t()> clock;
};

// Set by the session before the worker reads airport files; also forgets
// every remembered probe.
void setAirportDownloadSite(AirportDownloadSite site);

// The base address followed by "MSFS/" for the MSFS area or while MSFS 2020
// is chosen, else "MSFS2024/".
std::string downloadAreaUrl(bool msfsArea);

// "archive/stock/<ICAO>.xml", the archived file's place on the site.
std::string archivedAirportRemotePath(std::string_view icao);

// Whether the site has an archived file for the airport: it is downloaded to
// <ICAO>.xml in the program folder and removed again. The answer is
// remembered for a while (kArchiveProbeSeconds), so that the park-airport
// check, which asks every 16 seconds, does not download again and again
// while no file exists; only an answer of the site counts, a download that
// failed otherwise is tried again at the next check. False for a code that
// is no plain airport code.
bool downloadArchivedAirport(std::string_view icao);
inline constexpr std::int64_t kArchiveProbeSeconds = 1800;

// Downloads a remote path of the site to the local path, from the MSFS area
// when the path contains "simaddon" or "stock", else from the chosen
// simulator's area. Empty on success, else "failed to download: '<url>'"
// (also logged), or "download stopped: '<url>'" when the stop flag ended it.
std::string downloadAirportFile(std::string_view remotePath, const std::filesystem::path& localPath);

// Whether the archived file of the airport is good for offline learning: it
// has a quality factor of 0 or more and RT_traffic_week of at least 27.
bool prepareOfflineLearning(std::string_view icao);

// A code that can safely become a file name and part of an address: 2 to 8
// letters and digits.
bool isPlainAirportCode(std::string_view icao);

}  // namespace crv
