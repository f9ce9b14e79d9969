#include "bench/perf_attribution.h"

#include <cstdio>
#include <memory>

namespace crv::bench {

namespace {

std::string commandOutput(const std::string& command) {
  std::string text;
  const std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) return text;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) text.append(buffer, got);
  return text;
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

}  // namespace

SampleOwner sampleOwner(const std::vector<std::string_view>& framesInnermostFirst) {
  for (const std::string_view frame : framesInnermostFirst) {
    if (frame.starts_with("SimConnect_")) return SampleOwner::StandIn;
    if (frame.starts_with("crv::")) return SampleOwner::Product;
  }
  return SampleOwner::Product;
}

ProfileShares attributeScript(std::string_view scriptText) {
  ProfileShares shares;
  std::vector<std::string_view> frames;
  const auto endSample = [&] {
    if (frames.empty()) return;
    ++shares.samples;
    if (sampleOwner(frames) == SampleOwner::StandIn) ++shares.standInSamples;
    frames.clear();
  };
  while (!scriptText.empty()) {
    const auto end = scriptText.find('\n');
    const std::string_view line = trimmed(scriptText.substr(0, end));
    scriptText.remove_prefix(end == std::string_view::npos ? scriptText.size() : end + 1);
    if (line.empty()) {
      endSample();
      continue;
    }
    // "<ip> <symbol>": the symbol is what follows the address.
    const auto space = line.find(' ');
    frames.push_back(space == std::string_view::npos ? std::string_view{} : trimmed(line.substr(space + 1)));
  }
  endSample();
  return shares;
}

ProfileShares attributeProfile(const std::filesystem::path& perfData) {
  return attributeScript(commandOutput("perf script -F ip,sym -i '" + perfData.string() + "' 2>/dev/null"));
}

std::vector<std::string> topFunctions(const std::filesystem::path& perfData, std::size_t count) {
  const std::string text = commandOutput("perf report -q --stdio --no-children -g none --sort sym -i '" +
                                         perfData.string() + "' 2>/dev/null");
  std::vector<std::string> lines;
  std::string_view rest(text);
  while (!rest.empty() && lines.size() < count) {
    const auto end = rest.find('\n');
    const std::string_view line = trimmed(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (!line.empty() && line.front() != '#') lines.emplace_back(line);
  }
  return lines;
}

}  // namespace crv::bench
