#include "feed/addon_zip.h"

#include <fmt/format.h>

#include <filesystem>

namespace crv {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::string entryNameProblem(std::string_view name) {
  if (name.empty()) {
    return "an empty name";
  }
  if (isSeparator(name.front()) || (name.size() >= 2 && name[1] == ':')) {
    return "an absolute path";
  }
  if (name.find('\0') != std::string_view::npos) {
    return "a NUL character";
  }
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !isSeparator(name[end])) {
      ++end;
    }
    if (name.substr(start, end - start) == "..") {
      return "a '..' part";
    }
    start = end + 1;
  }
  return {};
}

std::string addonFileName(std::string_view entryName) {
  std::size_t lastPart = 0;
  for (std::size_t i = 0; i < entryName.size(); ++i) {
    if (isSeparator(entryName[i])) {
      lastPart = i + 1;
    }
  }
  const std::string_view part = entryName.substr(lastPart);
  if (part.empty()) {
    return {};
  }
  return std::filesystem::path(std::string(part)).stem().string() + ".txt";
}

std::vector<AddonFile> readAddonFiles(const ZipArchive& archive, const AddonLimits& limits) {
  const std::uint64_t count = archive.entryCount();
  if (count > limits.maximumEntries) {
    throw ZipError(fmt::format("{} entries, more than {}", count, limits.maximumEntries));
  }
  std::vector<AddonFile> files;
  std::uint64_t totalBytes = 0;
  for (std::uint64_t index = 0; index < count; ++index) {
    const ZipEntryInfo entry = archive.entry(index);
    if (const std::string problem = entryNameProblem(entry.name); !problem.empty()) {
      throw ZipError(fmt::format("entry '{}' has {}", entry.name, problem));
    }
    if (entry.isLink) {
      throw ZipError(fmt::format("entry '{}' is a link", entry.name));
    }
    std::string fileName = addonFileName(entry.name);
    if (fileName.empty()) {
      continue;
    }
    std::string text = archive.readAsText(index, limits.maximumTotalBytes - totalBytes);
    totalBytes += text.size();
    files.push_back({std::move(fileName), std::move(text)});
  }
  return files;
}

}  // namespace crv
