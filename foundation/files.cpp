#include "foundation/files.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "foundation/disk_sync.h"
#include "foundation/errors.h"
#include "foundation/line_end.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/random.h"
#include "foundation/status_line.h"
#include "foundation/text.h"
#include "foundation/text_encoding.h"
#include "foundation/utf8.h"
#include "platform/os/file_access.h"
#include "platform/os/system_error_text.h"

namespace crv {
namespace {

constexpr std::size_t kCharsetProbeBytes = 1027;

bool isWellFormedUtf8(const unsigned char* bytes, std::size_t count) {
  std::size_t index = 0;
  while (index < count) {
    const unsigned char lead = bytes[index];
    std::size_t length = 0;
    if (lead < 0x80U) {
      length = 1;
    } else if ((lead & 0xE0U) == 0xC0U) {
      length = 2;
    } else if ((lead & 0xF0U) == 0xE0U) {
      length = 3;
    } else if ((lead & 0xF8U) == 0xF0U) {
      length = 4;
    } else {
      return false;
    }
    if (count - index < length) {
      return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
      if ((bytes[index + i] & 0xC0U) != 0x80U) {
        return false;
      }
    }
    index += length;
  }
  return true;
}

// Decodes UTF-16 bytes; a leading byte-order mark decides the byte order and is
// dropped, without one the order is big-endian. A last odd byte is ignored.
std::u16string decodeUtf16(const std::string& bytes) {
  bool littleEndian = false;
  std::size_t index = 0;
  if (bytes.size() >= 2) {
    const auto first = static_cast<unsigned char>(bytes[0]);
    const auto second = static_cast<unsigned char>(bytes[1]);
    if (first == 0xFF && second == 0xFE) {
      littleEndian = true;
      index = 2;
    } else if (first == 0xFE && second == 0xFF) {
      index = 2;
    }
  }
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (; index + 1 < bytes.size(); index += 2) {
    const auto a = static_cast<unsigned char>(bytes[index]);
    const auto b = static_cast<unsigned char>(bytes[index + 1]);
    units.push_back(static_cast<char16_t>(littleEndian ? (b << 8U) | a : (a << 8U) | b));
  }
  return units;
}

template <typename Lines>
bool writeLines(const Lines& lines, const std::filesystem::path& path) {
  std::string text;
  for (const auto& line : lines) {
    text += withTextLineEnds(line);
    text += textLineEnd();
  }
  return writeFileAtomically(path, text);
}

constexpr std::string_view kTemporaryMark = ".tmp";
constexpr std::size_t kTemporaryDigits = 8;

// The name of a temporary file of writeFileAtomically: "<name>.tmp" and
// eight hexadecimal digits.
bool isTemporaryName(std::string_view name) {
  const std::size_t mark = name.size() - std::min(name.size(), kTemporaryMark.size() + kTemporaryDigits);
  if (mark == 0 || name.substr(mark, kTemporaryMark.size()) != kTemporaryMark) {
    return false;
  }
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(mark + kTemporaryMark.size()), name.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Writes the bytes, flushed to the disk when durable; false on any failure.
// With a mode, the file gets it (the mode of the file it will replace).
bool writeBytes(const std::filesystem::path& path, std::string_view bytes, Durability durability,
                std::optional<std::uint32_t> mode) {
  const int descriptor = platform::openFileForWriting(path);
  if (descriptor < 0) {
    return false;
  }
  bool written = !mode || platform::setFileMode(descriptor, *mode) == 0;
  std::size_t done = 0;
  while (written && done < bytes.size()) {
    const std::ptrdiff_t count = platform::writeToFile(descriptor, bytes.data() + done, bytes.size() - done);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    written = count > 0;
    done += written ? static_cast<std::size_t>(count) : 0;
  }
  written = written && (durability == Durability::Regenerable || syncToDisk(descriptor, SyncedEntry::File) == 0);
  return platform::closeFile(descriptor) == 0 && written;
}

// Makes a rename in the folder durable; a folder that cannot be opened is
// left as it is (the rename itself has happened).
void syncFolder(const std::filesystem::path& folder) {
  const int descriptor = platform::openFolderForFlush(folder);
  if (descriptor >= 0) {
    syncToDisk(descriptor, SyncedEntry::Folder);
    platform::closeFile(descriptor);
  }
}

}  // namespace

const std::string& charsetName(Charset charset) {
  static const std::map<Charset, std::string> kNames = {
      {Charset::Ansi, "ANSI"},
      {Charset::Utf16LittleEndian, "Unicode"},
      {Charset::Utf16BigEndian, "Unicode_big_endian"},
      {Charset::Utf8WithBom, "UTF8_with_BOM"},
      {Charset::Utf8WithoutBom, "UTF8_without_BOM"},
      {Charset::NoneFound, "none_found"},
  };
  const auto found = kNames.find(charset);
  if (found == kNames.end()) {
    throw std::out_of_range("invalid map<K, T> key");
  }
  return found->second;
}

namespace {

// Up to size bytes from the start of the file; none when a read fails.
std::optional<std::size_t> readFileStart(int descriptor, unsigned char* bytes, std::size_t size) {
  std::size_t count = 0;
  while (count < size) {
    const std::ptrdiff_t read = platform::readFromFile(descriptor, bytes + count, size - count);
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) return std::nullopt;
    if (read == 0) break;
    count += static_cast<std::size_t>(read);
  }
  return count;
}

}  // namespace

Charset detectCharset(const std::filesystem::path& path) {
  const int descriptor = platform::openFileForReading(path);
  if (descriptor < 0) {
    // The system's own error number: on Windows its error code, not the C
    // library's.
    gf_logLine(fmt::format("Cannot open file {} for character encoding. Win32 error: {}", path.string(),
                           platform::lastErrorCode()));
    return Charset::NoneFound;
  }
  std::array<unsigned char, kCharsetProbeBytes> bytes{};
  const std::optional<std::size_t> read = readFileStart(descriptor, bytes.data(), bytes.size());
  platform::closeFile(descriptor);
  if (!read || *read < 2) {
    return Charset::NoneFound;
  }
  const std::size_t count = *read;
  if (count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    return Charset::Utf8WithBom;
  }
  if (bytes[0] == 0xFF && bytes[1] == 0xFE) {
    return Charset::Utf16LittleEndian;
  }
  if (bytes[0] == 0xFE && bytes[1] == 0xFF) {
    return Charset::Utf16BigEndian;
  }
  return isWellFormedUtf8(bytes.data(), count) ? Charset::Utf8WithoutBom : Charset::Ansi;
}

bool readTextFileByCharset(Charset charset, const std::filesystem::path& path, std::vector<std::string>& lines) {
  switch (charset) {
    case Charset::Utf16LittleEndian:
    case Charset::Utf16BigEndian: {
      std::string bytes;
      if (!readFileBytes(path, bytes)) {
        return false;
      }
      try {
        wideLinesToUtf8(decodeUtf16(bytes), lines);
      } catch (const win32::Utf8ConversionException& error) {
        setStatusLine(fmt::format("conversion from error from utf16 to utf8, code: {}", error.errorCode()), true);
        return false;
      } catch (const std::runtime_error& error) {
        setStatusLine(std::string("conversion from error from utf16 to utf8: ") + error.what(), true);
        return false;
      }
      return true;
    }
    case Charset::Ansi:
    case Charset::Utf8WithoutBom:
    case Charset::Utf8WithBom: {
      std::string bytes;
      if (!readFileBytes(path, bytes)) {
        return false;
      }
      std::string_view text = bytes;
      if (charset == Charset::Utf8WithBom && text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
      }
      // ANSI bytes, also those after the first bytes that looked like UTF-8,
      // are taken in the Windows code page, so that every line is UTF-8.
      std::string converted;
      if (!isValidUtf8(text)) {
        converted = windows1252ToUtf8(text);
        text = converted;
      }
      splitTextLines(text, lines);
      return true;
    }
    default:
      throw std::runtime_error(fmt::format("file {} has unknown charset: {}", path.string(), charsetName(charset)));
  }
}

bool readFileBytes(const std::filesystem::path& path, std::string& bytes) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) {
    return false;
  }
  std::ostringstream content;
  content << stream.rdbuf();
  bytes = content.str();
  return !stream.bad();
}

void readLines(std::istream& stream, std::vector<std::string>& lines) {
  std::string line;
  while (std::getline(stream, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(std::move(line));
  }
}

std::vector<std::string>& readFileLines(TextFile& file, std::size_t expectedLines) {
  file.lines.clear();
  std::ifstream stream(file.path);
  if (stream) {
    file.lines.reserve(expectedLines);
    readLines(stream, file.lines);
  }
  return file.lines;
}

bool writeTextFile(std::string_view text, const std::filesystem::path& path, bool finalLineEnd) {
  std::string written = withTextLineEnds(text);
  if (finalLineEnd) {
    written += textLineEnd();
  }
  return writeFileAtomically(path, written);
}

bool writeLinesToFile(const std::vector<std::string>& lines, const std::filesystem::path& path) {
  return writeLines(lines, path);
}

bool writeListLinesToFile(const std::list<std::string>& lines, const std::filesystem::path& path) {
  return writeLines(lines, path);
}

bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, Durability durability) {
  const auto temporary = std::filesystem::path(
      path.string() + fmt::format("{}{:08x}", kTemporaryMark, static_cast<unsigned>(threadRandomEngine()())));
  // The replacement keeps the permissions the user gave the file (one that
  // only its owner may read stays so); one that may not be written at all is
  // not replaced (platform::replaceFile).
  std::optional<std::uint32_t> mode;
  std::error_code statusError;
  if (const auto status = std::filesystem::status(path, statusError);
      !statusError && std::filesystem::is_regular_file(status)) {
    mode = static_cast<std::uint32_t>(status.permissions() & std::filesystem::perms::mask);
  }
  std::error_code error;
  if (writeBytes(temporary, bytes, durability, mode)) {
    if (platform::replaceFile(temporary, path, error)) {
      if (durability == Durability::Durable) {
        syncFolder(path.parent_path());
      }
      return true;
    }
  }
  std::filesystem::remove(temporary, error);
  return false;
}

std::size_t removeStaleTemporaries(const std::filesystem::path& folder) {
  std::size_t removed = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    std::error_code removeError;
    if (isTemporaryName(name) && entry->is_regular_file(removeError) &&
        std::filesystem::remove(entry->path(), removeError)) {
      gf_logLine(fmt::format("Removed '{}', left by an interrupted save", entry->path().string()));
      ++removed;
    }
  }
  return removed;
}

std::filesystem::path freeSetAsideName(const std::filesystem::path& path, std::string_view suffix) {
  std::filesystem::path candidate = path;
  candidate += suffix;
  // A name the system cannot look up (too long, a folder that cannot be
  // read) ends the search: every longer name fails alike, and the rename to
  // it reports why.
  std::error_code error;
  for (std::uint64_t number = 1; std::filesystem::exists(candidate, error) && !error; ++number) {
    candidate = path;
    candidate += fmt::format("{}{}", suffix, number);
  }
  return candidate;
}

bool saveXml(const pugi::xml_document& document, const std::filesystem::path& path, Durability durability) {
  std::ostringstream content;
  document.save(content);
  const bool saved = writeFileAtomically(path, content.str(), durability);
  if (saved) {
    gf_logLine(fmt::format("'{}' saved", path.string()));
  } else {
    logNotSaved(path);
  }
  return saved;
}

void logNotSaved(const std::filesystem::path& path) {
  gf_logLine(fmt::format("could not save to '{}'", path.string()));
}

void emptyFolder(const std::filesystem::path& folder) {
  try {
    if (!std::filesystem::is_directory(folder)) {
      return;
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      std::filesystem::remove_all(entry.path());
    }
  } catch (const std::exception& error) {
    throw UserErrorException(kFolderNotEmptiedError, error.what());
  }
}

std::size_t emptyFolderSkippingLocked(const std::filesystem::path& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    return 0;
  }
  std::vector<std::filesystem::path> entries;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
    entries.push_back(entry->path());
  }
  if (error) {
    gf_logWarning(fmt::format("Could not list {}, its entries stay: {}", folder.string(), error.message()));
    return entries.size();
  }
  std::size_t left = 0;
  for (const std::filesystem::path& entry : entries) {
    std::filesystem::remove_all(entry, error);
    if (error) {
      gf_logWarning(fmt::format("Could not remove {}, skipped: {}", entry.string(), error.message()));
      ++left;
    }
  }
  return left;
}

bool pathExists(const std::filesystem::path& path) {
  std::error_code error;
  const bool found = std::filesystem::exists(path, error);
  if (error && error != std::errc::no_such_file_or_directory) {
    throw std::filesystem::filesystem_error("exists", path, error);
  }
  return found;
}

unsigned folderEntryCount(const std::filesystem::path& folder) {
  if (!std::filesystem::exists(folder)) {
    return 0;
  }
  unsigned count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
    ++count;
  }
  return count;
}

std::vector<std::filesystem::directory_entry> sortedFolderEntries(const std::filesystem::path& folder) {
  std::vector<std::filesystem::directory_entry> entries;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    entries.push_back(entry);
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
  return entries;
}

std::vector<std::string> listXmlFiles() { return listXmlFiles(programPaths().myThirdpartyFolder); }

std::vector<std::string> listXmlFiles(const std::filesystem::path& folder) {
  std::vector<std::string> codes;
  if (!std::filesystem::exists(folder)) {
    return codes;
  }
  codes.reserve(512);
  constexpr std::size_t kAirportCodeLength = 4;
  for (const auto& entry : sortedFolderEntries(folder)) {
    if (!entry.is_regular_file()) {
      continue;
    }
    const auto& path = entry.path();
    const std::string stem = path.stem().string();
    if (toUpper(path.extension().string()) == ".XML" && stem.size() == kAirportCodeLength) {
      codes.push_back(stem);
    }
  }
  return codes;
}

std::string getAttribute(const pugi::xml_node& node, const char* name) {
  if (!node) {
    return {};
  }
  return node.attribute(name).value();
}

}  // namespace crv
