#include "aircraftdata/regcodes.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <list>
#include <system_error>
#include <utility>

#include <fmt/format.h>
#include <pugixml.hpp>
#include <sodium.h>

#include "aircraftdata/data_file_key.h"
#include "aircraftdata/stream_decrypt.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/text.h"

namespace crv {

namespace fs = std::filesystem;

namespace {

inline constexpr std::size_t kExpectedRegcodeLines = 4096;

bool hasRegcodeLength(const std::string& registration) {
  return registration.size() >= kMinRegcodeBytes && registration.size() <= kMaxRegcodeBytes;
}

void warnRegcodeLength(const std::string& registration, const fs::path& file) {
  gf_logWarning(fmt::format("wrong regcode length '{}' in {}", escapedNonUtf8(registration), file.string()));
}

const char* liveryWord(std::size_t count) { return count == 1 ? "livery" : "liveries"; }

// The folder's entries in the order Windows lists them, on every system:
// names compared without regard to case ("a.txt" before "B.txt").
std::vector<fs::directory_entry> entriesInWindowsOrder(const fs::path& folder) {
  std::vector<fs::directory_entry> entries = sortedFolderEntries(folder);
  std::stable_sort(entries.begin(), entries.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
    return toUpper(a.path().filename().string()) < toUpper(b.path().filename().string());
  });
  return entries;
}

}  // namespace

bool parseRegcodeLine(std::string_view line, const fs::path& file, std::vector<RegcodeEntry>& entries) {
  if (line.empty()) return true;
  std::vector<std::string> fields = splitTrim(line, ';');
  if (fields.size() == 1) {
    if (!fields[0].empty()) entries.push_back(RegcodeEntry{std::move(fields[0]), {}, false});
    return true;
  }
  if (fields.size() > 3) {
    gf_logWarning(fmt::format("{}: wrong format '{}'", file.string(), escapedNonUtf8(line)));
    return false;
  }
  std::vector<std::string> regs = splitCommaSortedUnique(fields[1]);
  if (regs.empty()) return true;
  if (regs.size() == 1) {
    if (!hasRegcodeLength(regs[0])) {
      warnRegcodeLength(regs[0], file);
      return false;
    }
    entries.push_back(RegcodeEntry{std::move(fields[0]), std::move(regs), true});
    return true;
  }
  const bool special = fields.size() == 3 && fields[2] == "#";
  bool good = true;
  std::vector<std::string> kept;
  for (std::string& registration : regs) {
    if (hasRegcodeLength(registration)) {
      kept.push_back(std::move(registration));
    } else {
      warnRegcodeLength(registration, file);
      good = false;
    }
  }
  if (kept.empty()) {
    gf_logWarning(fmt::format("{} ; regs empty?", file.string()));
    return false;
  }
  entries.push_back(RegcodeEntry{std::move(fields[0]), std::move(kept), special});
  return good;
}

bool gf_readRegcodeFiles(const fs::path& folder, std::vector<RegcodeEntry>& entries) {
  bool good = true;
  try {
    for (const auto& entry : entriesInWindowsOrder(folder)) {
      if (!entry.is_regular_file() || toUpper(entry.path().extension().string()) != ".TXT") continue;
      const fs::path& path = entry.path();
      gf_logLine(fmt::format("Processing regcodes file '{}'", path.string()));
      if (!std::ifstream(path)) {
        gf_logWarning(fmt::format("could not read {}", path.string()));
        good = false;
        continue;
      }
      TextFile file{path, {}};
      for (const std::string& line : readFileLines(file, kExpectedRegcodeLines)) {
        if (!parseRegcodeLine(line, path, entries)) good = false;
      }
    }
    gf_logLine(fmt::format("{} {}", entries.size(), liveryWord(entries.size())));
  } catch (const std::exception& e) {
    gf_logWarning(fmt::format("Error reading regcode files in {}, what: {}", folder.string(), e.what()));
    return false;
  }
  return good;
}

namespace {

// The livery elements of a loaded AIG-regcodes document; `name` is the file
// named in the log.
bool readAigRegcodeDocument(const pugi::xml_document& document, const fs::path& name,
                            std::vector<RegcodeEntry>& entries) {
  bool good = true;
  std::string previousTitle;
  for (const pugi::xml_node livery : document.child("AIG-regcodes").children("livery")) {
    std::string title = livery.attribute("title").as_string();
    if (title.empty()) continue;
    if (title == previousTitle) {
      gf_logWarning(fmt::format("SAME AS PREVIOUS title '{}'", escapedNonUtf8(title)));
      good = false;
      continue;
    }
    previousTitle = title;
    entries.push_back(RegcodeEntry{std::move(title), splitCommaSortedUnique(livery.attribute("reg").as_string()),
                                   livery.attribute("special").as_bool()});
  }
  gf_logLine(fmt::format("{} {} read from {}", entries.size(), liveryWord(entries.size()), name.string()));
  return good;
}

}  // namespace

bool gf_readAigRegcodes(const fs::path& xmlPath, std::vector<RegcodeEntry>& entries) {
  pugi::xml_document document;
  if (!document.load_file(xmlPath.c_str())) {
    gf_logWarning(fmt::format("Failed to load {}", xmlPath.string()));
    return false;
  }
  return readAigRegcodeDocument(document, xmlPath, entries);
}

AigRegcodeRead readAigRegcodeFile(std::vector<RegcodeEntry>& entries) {
  const ProgramPaths& paths = programPaths();
  // The file is decrypted in memory only. A plain copy on disk is one that an
  // interrupted run of an earlier version left behind: it goes.
  removeFileWarn(paths.aigRegcodesXml);
  std::string plain;
  try {
    plain = decryptToMemory(kDataFileKey, paths.aigRegcodesEnc);
  } catch (const std::exception& decryptError) {
    // A missing file is one more failure of the decryption and is logged as such.
    gf_logLine(fmt::format("{} exception: {}", "gf_streamDecrypt", decryptError.what()));
    std::error_code error;
    return fs::exists(paths.aigRegcodesEnc, error) ? AigRegcodeRead::NotDecrypted : AigRegcodeRead::NotFound;
  }
  pugi::xml_document document;
  const bool loaded = static_cast<bool>(document.load_buffer(plain.data(), plain.size()));
  sodium_memzero(plain.data(), plain.size());
  if (!loaded) {
    gf_logWarning(fmt::format("Failed to load {}", paths.aigRegcodesXml.string()));
    return AigRegcodeRead::ReadWithErrors;
  }
  return readAigRegcodeDocument(document, paths.aigRegcodesXml, entries) ? AigRegcodeRead::Read
                                                                          : AigRegcodeRead::ReadWithErrors;
}

void applyRegcodeEntries(const LiveryIndexes& indexes, RegcodeTables& tables,
                         const std::vector<RegcodeEntry>& entries) {
  std::int64_t added = 0;
  std::int64_t replaced = 0;
  std::int64_t special = 0;
  for (const RegcodeEntry& entry : entries) {
    const std::string_view title = indexes.findInstalledTitle(entry.title);
    if (title.empty()) continue;
    for (const std::string& registration : entry.regs) {
      const auto it = tables.regcodeMap.find(registration);
      if (it == tables.regcodeMap.end()) {
        tables.regcodeMap.emplace(registration, title);
        ++added;
      } else if (it->second != title) {
        tables.offlineRegcodeLines.push_back(
            fmt::format("   regcode {} for '{}', instead of the same for '{}'", registration, title, it->second));
        it->second = title;
        ++replaced;
      }
    }
    if (entry.special) {
      tables.addSpecialTitle(title);
      ++special;
    }
  }
  std::string summary = fmt::format("{} new regcode{} added", added, pluralSuffix(added));
  if (replaced > 0) summary += fmt::format(", {} regcode{} replaced", replaced, pluralSuffix(replaced));
  if (special > 0) summary += fmt::format(", {} regcode{} defined as special", special, pluralSuffix(special));
  tables.offlineRegcodeLines.push_back(std::move(summary));
}

void processInlineRegcodes(const LiveryIndexes& indexes, RegcodeTables& tables, const LiveryList& liveries) {
  std::list<std::string> clashes;
  for (const LiveryData& livery : liveries) {
    if (livery.atcid.empty()) continue;
    const std::string_view title = indexes.findInstalledTitle(livery.title);
    if (title.empty()) {
      clashes.push_back(fmt::format("==> [{:3} {:4}] {} '{}' not available, system error, should not happen?",
                                    livery.airl, livery.type, livery.atcid, livery.title));
      continue;
    }
    const auto it = tables.regcodeMap.find(livery.atcid);
    if (it == tables.regcodeMap.end()) {
      tables.regcodeMap.emplace(livery.atcid, title);
    } else if (it->second != title) {
      clashes.push_back(fmt::format("{} '{}' => already in use by '{}'", livery.atcid, livery.title, it->second));
    }
  }
  if (clashes.empty()) return;
  const ProgramPaths& paths = programPaths();
  fs::create_directories(paths.errorsFolder);
  if (!writeListLinesToFile(clashes, paths.inlineRegcodesReport)) {
    gf_logWarning(fmt::format("could not write {}", paths.inlineRegcodesReport.string()));
  }
  gf_logLine(fmt::format("{} in-line regcode clashes, see '{}'", clashes.size(),
                         paths.inlineRegcodesReport.string()));
}

bool processAigRegcodeFile(const LiveryIndexes& indexes, RegcodeTables& tables) {
  const ProgramPaths& paths = programPaths();
  std::vector<RegcodeEntry> entries;
  const AigRegcodeRead read = readAigRegcodeFile(entries);
  if (read == AigRegcodeRead::NotFound) {
    gf_logWarning(fmt::format("{} not found, the offline regcodes are skipped", paths.aigRegcodesEnc.string()));
    return false;
  }
  if (read == AigRegcodeRead::NotDecrypted) {
    gf_logWarning(
        fmt::format("{} could not be decrypted, the offline regcodes are skipped", paths.aigRegcodesEnc.string()));
    return false;
  }
  tables.offlineRegcodeLines.push_back(fmt::format("Processing file {}", paths.aigRegcodesXml.string()));
  if (read == AigRegcodeRead::ReadWithErrors) {
    tables.offlineRegcodeLines.push_back(fmt::format(
        "There were errors processing the AIG-regcode file '{}', see Log.txt", paths.aigRegcodesXml.string()));
  }
  applyRegcodeEntries(indexes, tables, entries);
  return true;
}

void processRegcodeFolder(const LiveryIndexes& indexes, RegcodeTables& tables) {
  const fs::path& folder = programPaths().myRegcodesFolder;
  if (folderEntryCount(folder) == 0) return;
  tables.offlineRegcodeLines.push_back(fmt::format("Processing files in {}", folder.string()));
  std::vector<RegcodeEntry> entries;
  if (!gf_readRegcodeFiles(folder, entries)) {
    tables.offlineRegcodeLines.push_back(fmt::format(
        "There were errors processing the regcode files in folder '{}', see Log.txt", folder.string()));
  }
  applyRegcodeEntries(indexes, tables, entries);
}

void processOfflineRegcodes(const LiveryIndexes& indexes, RegcodeTables& tables) {
  try {
    tables.offlineRegcodeLines.clear();
    // Without the AIG file neither it nor the user's folder is applied, and
    // the last report stays as it was.
    if (!processAigRegcodeFile(indexes, tables)) return;
    processRegcodeFolder(indexes, tables);

    const fs::path& report = programPaths().offlineRegcodesReport;
    removeFileWarn(report);
    if (!tables.offlineRegcodeLines.empty()) {
      fs::create_directories(report.parent_path());
      if (writeLinesToFile(tables.offlineRegcodeLines, report)) {
        gf_logLine(fmt::format("Offline regcode files processed, results can be found in '{}'", report.string()));
      } else {
        gf_logWarning(fmt::format("could not write {}", report.string()));
      }
    }
    if (!tables.specialTitles.empty()) gf_logLine(fmt::format("{} special liveries", tables.specialTitles.size()));
  } catch (const std::exception& e) {
    gf_logWarning(fmt::format("exception: {}", e.what()));
  }
}

std::vector<std::string>& dontUseTitles() {
  static std::vector<std::string> titles;
  return titles;
}

namespace {

std::size_t appendDontUseTitles(std::vector<RegcodeEntry>& entries) {
  std::size_t appended = 0;
  for (RegcodeEntry& entry : entries) {
    if (!entry.regs.empty()) continue;
    dontUseTitles().push_back(std::move(entry.title));
    ++appended;
  }
  return appended;
}

}  // namespace

void readDontUseTitles() {
  std::vector<RegcodeEntry> entries;
  const AigRegcodeRead read = readAigRegcodeFile(entries);
  if (read == AigRegcodeRead::NotFound || read == AigRegcodeRead::NotDecrypted) return;
  const std::size_t appended = appendDontUseTitles(entries);
  gf_logLine(fmt::format("{} don't use title{} read", appended, pluralSuffixSize(appended)));
}

void readDontUseFolderTitles() {
  const fs::path& folder = programPaths().myRegcodesFolder;
  std::vector<RegcodeEntry> entries;
  gf_readRegcodeFiles(folder, entries);
  const std::size_t appended = appendDontUseTitles(entries);
  gf_logLine(fmt::format("{} don't use title{} read from files in {}", appended, pluralSuffixSize(appended),
                         folder.string()));
}

}  // namespace crv
