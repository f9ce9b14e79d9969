#include "bench/crvn_sandbox.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

namespace crv::bench {

namespace fs = std::filesystem;

namespace {

void writeText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

}  // namespace

void runCommand(const std::string& command) {
  if (std::system(command.c_str()) != 0) {  // NOLINT(concurrency-mt-unsafe): the benchmark's own thread
    throw std::runtime_error(command + " failed");
  }
}

CrvnSandbox::CrvnSandbox(const std::string& scenarioOptions, const std::string& tag, bool airportFile)
    : tag(tag),
      root(fs::temp_directory_path() / ("crvn-bench-" + std::to_string(::getpid()) + tag)),
      program(root / "program") {
  fs::remove_all(root);
  fs::create_directories(program / "docs");
  fs::create_directories(program / "input");
  fs::create_directories(program / "output");
  fs::copy_file(CRVN_DBASE_ENC, program / "input" / "dbase.enc");
  fs::copy_file(CRVN_SOURCE_DIR "/data/airports_msfs.xml", program / "input" / "airports_msfs.xml");
  runCommand(CRVN_LIVERYGEN " " CRVN_SOURCE_DIR "/data/dbase.xml " + (program / "output" / "LiveriesScanned.xml").string() +
             " 3000 > /dev/null");
  fs::create_directories(root / "msfs" / "Packages" / "Community");
  fs::create_directories(root / "msfs" / "Packages" / "Official");
  writeText(root / "roaming" / "CRVN" / "parameters.xml",
            "<parameters><parameter name=\"MSFS_INSTALL_PATH\" value=\"" + (root / "msfs" / "Packages").string() +
                "\"/><parameter name=\"SCAN_LIVERIES\" value=\"false\"/>"
                "<parameter name=\"SCAN_AIRPORTS\" value=\"false\"/>"
                "<parameter name=\"AUTO_RANGE\" value=\"false\"/><parameter name=\"RANGE\" value=\"40\"/>"
                "</parameters>\n");
  writeText(root / "world.json",
            "{\"simulator\": 2020, \"maxObjects\": 1400, \"userAircraft\": {\"latitude\": 52.3086, \"longitude\": 4.7639, "
            "\"altitudeFeet\": -11, \"groundAltitudeFeet\": -11, \"onGround\": true, \"atcModel\": \"A320\", "
            "\"title\": \"Airbus A320 Neo Asobo\"}}\n");
  std::string options = scenarioOptions;
  if (airportFile) {
    fs::create_directories(program / "airports" / "my_thirdparty");
    options += " --airport-file " + (program / "airports" / "my_thirdparty" / "EHAM.xml").string();
  }
  runCommand("python3 " CRVN_SOURCE_DIR "/tools/rt-standin/make_scenario.py --airport EHAM " + options + " > " +
             scenarioFile().string());
}

CrvnSandbox::~CrvnSandbox() {
  // The last run's log stays for a look: <temp>/crvn-bench<tag>-Log.txt.
  std::error_code ignored;
  fs::copy_file(program / "Log.txt", fs::temp_directory_path() / ("crvn-bench" + tag + "-Log.txt"),
                fs::copy_options::overwrite_existing, ignored);
  fs::remove_all(root, ignored);
}

pid_t startCrvn(const CrvnSandbox& sandbox, const std::string& executable, const std::string& endpoint,
                const fs::path& summaryFile) {
  // The environment is made before the fork: the stand-in's threads run,
  // so the child calls nothing but async-signal-safe functions.
  const std::vector<std::pair<std::string, std::string>> ours = {
      {"CRVN_ROAMING_APPDATA", (sandbox.root / "roaming").string()},
      {"CRVN_LOCAL_APPDATA", (sandbox.root / "local").string()},
      {"CRVN_SIM_WORLD", (sandbox.root / "world.json").string()},
      {"CRVN_RT_ENDPOINT", endpoint},
      {"CRVN_RT_KEY", "bench-key-0000"},
      {"XDG_RUNTIME_DIR", sandbox.root.string()}};
  std::vector<std::string> texts;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const bool replaced = text.starts_with("DISPLAY=") || std::any_of(ours.begin(), ours.end(), [&](const auto& pair) {
                            return text.starts_with(pair.first + "=");
                          });
    if (!replaced) texts.emplace_back(text);
  }
  for (const auto& [name, value] : ours) texts.push_back(name + "=" + value);
  std::vector<char*> environment;
  for (std::string& text : texts) environment.push_back(text.data());
  environment.push_back(nullptr);
  const std::string folder = sandbox.program.string();
  const std::string output = summaryFile.string();

  const pid_t child = ::fork();
  if (child != 0) return child;
  if (::chdir(folder.c_str()) != 0) ::_exit(126);
  const int outputFd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (outputFd >= 0) ::dup2(outputFd, STDOUT_FILENO);
  char* const arguments[] = {const_cast<char*>(executable.c_str()), nullptr};
  ::execve(executable.c_str(), arguments, environment.data());
  ::_exit(127);
}

}  // namespace crv::bench
