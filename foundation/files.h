#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <list>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_document;
class xml_node;
}  // namespace pugi

namespace crv {

// The character encoding of a text file.
enum class Charset : std::uint32_t {
  Ansi = 0,
  Utf16LittleEndian = 1,
  Utf16BigEndian = 2,
  Utf8WithBom = 3,
  Utf8WithoutBom = 4,
  NoneFound = 5,
};

// "ANSI", "Unicode", "Unicode_big_endian", "UTF8_with_BOM",
// "UTF8_without_BOM", "none_found"; throws std::out_of_range for any other
// value.
const std::string& charsetName(Charset charset);

// Judges the encoding from the first 1027 bytes; never throws. An unreadable
// or shorter than 2 bytes file is NoneFound.
Charset detectCharset(const std::filesystem::path& path);

// Appends every line as UTF-8. False when the file cannot be read or a UTF-16
// file does not convert (shown on the status line). Throws
// std::runtime_error for NoneFound. Lines of the 8-bit charsets end at CR LF,
// LF or a lone CR, and text that is not UTF-8 is taken as ANSI (Windows code
// page 1252) and converted; UTF-16 lines keep a CR before their LF.
bool readTextFileByCharset(Charset charset, const std::filesystem::path& path,
                           std::vector<std::string>& lines);

// The whole file as bytes; false when it cannot be opened or read.
bool readFileBytes(const std::filesystem::path& path, std::string& bytes);

// Appends each line without its line end; a carriage return before the line
// feed (a Windows file) is removed too.
void readLines(std::istream& stream, std::vector<std::string>& lines);

struct TextFile {
  std::filesystem::path path;
  std::vector<std::string> lines;
};

// Clears the lines and reads the file; they stay empty when it does not open.
std::vector<std::string>& readFileLines(TextFile& file, std::size_t expectedLines);

// Writers: replace the file by writeFileAtomically; false when it cannot be
// written. Each line feed is written as textLineEnd() (CR LF on Windows).
bool writeTextFile(std::string_view text, const std::filesystem::path& path, bool finalLineEnd);
bool writeLinesToFile(const std::vector<std::string>& lines, const std::filesystem::path& path);
bool writeListLinesToFile(const std::list<std::string>& lines, const std::filesystem::path& path);

// How well a replaced file is kept. Both leave the old file or the new one,
// whole, when the program is killed. Durable also survives a power cut: the
// file and its folder are flushed to the disk, which costs milliseconds a
// file. Regenerable is for files that the program can write again (the airport
// files a scan generates), where thousands are written at once.
enum class Durability { Durable, Regenerable };

// Writes the bytes to a temporary file beside the path ("<name>.tmp" and
// eight hexadecimal digits) and renames it over the path, flushing to the
// disk as the durability asks. A file that an open for writing would refuse
// (read-only) is not replaced. False on any failure; the temporary file is
// then removed.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         Durability durability = Durability::Durable);

// Removes the temporary files of writeFileAtomically that a killed save left
// in the folder; the number removed. Call it at start, before anything saves
// into the folder.
std::size_t removeStaleTemporaries(const std::filesystem::path& folder);

// "<path><suffix>", or "<path><suffix>1", "<path><suffix>2" ... when an
// earlier file was set aside under that name already, so that none of them
// is lost: there is no last number to overwrite. A name that cannot be
// looked up is returned as it is, so that the rename to it fails and says why.
std::filesystem::path freeSetAsideName(const std::filesystem::path& path, std::string_view suffix);

// Saves the document (default formatting) by writeFileAtomically; logs
// "'<path>' saved" or "could not save to '<path>'".
bool saveXml(const pugi::xml_document& document, const std::filesystem::path& path,
             Durability durability = Durability::Durable);
// Logs "could not save to '<path>'": the line of a save that failed, or of
// one that could not be tried.
void logNotSaved(const std::filesystem::path& path);

// Removes every entry of the folder, the folder stays. Nothing for a missing
// folder. Throws UserErrorException code 5 with the cause on any failure.
void emptyFolder(const std::filesystem::path& folder);

// Removes every entry of the folder that can be removed, the folder stays.
// An entry that is locked or cannot be removed for another reason is left
// where it is and named in a log warning, and the others are still removed;
// a folder that cannot be listed is named the same way. Nothing is raised.
// The number of entries that could not be removed.
std::size_t emptyFolderSkippingLocked(const std::filesystem::path& folder);

// Whether anything stands at the path. A status error other than "not found"
// throws the file-system error "exists".
bool pathExists(const std::filesystem::path& path);

// Entries directly in the folder; 0 when it does not exist.
unsigned folderEntryCount(const std::filesystem::path& folder);

// The entries of a folder sorted by name, so that results never depend on the
// order in which the file system lists them.
std::vector<std::filesystem::directory_entry> sortedFolderEntries(const std::filesystem::path& folder);

// The four-letter airport codes of airports/my_thirdparty: stems of regular
// files whose extension upper-cased is ".XML" and whose stem has 4
// characters, sorted by name.
std::vector<std::string> listXmlFiles();
std::vector<std::string> listXmlFiles(const std::filesystem::path& folder);

// The attribute's text; "" when the node or the attribute is missing.
std::string getAttribute(const pugi::xml_node& node, const char* name);

}  // namespace crv
