// download-standin: serves a download site on 127.0.0.1 until it is stopped.
//
//   download-standin [--port N] [--make-site DATA_FOLDER] [--fault PATH=KIND]... SITE_FOLDER
//
// --make-site first builds the sample site (versions.json, the encrypted data
// files, the add-on zip, the archived airport files) into SITE_FOLDER from
// the program's data folder (data/ of the repository). KIND is one of 404,
// 500, slow, cut, corrupt.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/download-standin/download_standin.h"
#include "tools/download-standin/site_builder.h"

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void onSignal(int) { stopSignal = 1; }

int usage() {
  std::fputs("usage: download-standin [--port N] [--make-site DATA_FOLDER] [--fault PATH=KIND]... SITE_FOLDER\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  std::string dataFolder;
  std::string siteFolder;
  std::vector<std::pair<std::string, std::string>> faults;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--port" && i + 1 < argc) {
      port = std::atoi(argv[++i]);
    } else if (argument == "--make-site" && i + 1 < argc) {
      dataFolder = argv[++i];
    } else if (argument == "--fault" && i + 1 < argc) {
      const std::string fault = argv[++i];
      const auto equals = fault.find('=');
      if (equals == std::string::npos) {
        return usage();
      }
      faults.emplace_back(fault.substr(0, equals), fault.substr(equals + 1));
    } else if (siteFolder.empty() && !argument.starts_with("--")) {
      siteFolder = argument;
    } else {
      return usage();
    }
  }
  if (siteFolder.empty()) {
    return usage();
  }
  try {
    if (!dataFolder.empty()) {
      crv::standin::buildSampleSite(siteFolder, dataFolder);
    }
    crv::standin::DownloadStandIn standIn(siteFolder, port);
    for (const auto& [path, kind] : faults) {
      standIn.setFault(path, crv::standin::faultNamed(kind));
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::printf("download-standin: serving %s at %s\n", siteFolder.c_str(), standIn.baseUrl().c_str());
    std::fflush(stdout);
    while (stopSignal == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "download-standin: %s\n", error.what());
    return 1;
  }
  return 0;
}
