#pragma once

// Registration-code files: a registration bound to one installed livery
// title, from three sources applied in order, each overriding the earlier
// ones for the same registration:
//   1. the registration of each scanned livery (in-line regcodes);
//   2. the delivered AIG-regcodes file (kept encrypted, decrypted only while
//      it is read);
//   3. the user's text files in input/my_regcodes, in the order Windows
//      lists them (names compared without regard to case).
// The same sources name special liveries (reserved for their registrations)
// and "don't use" titles (entries without registrations, which the livery
// scan skips).
//
// A regcode text file holds one entry a line, fields separated by ';':
//   title                       a "don't use" title
//   title ; REG                 a special livery for REG (3 to 12 bytes)
//   title ; REG1,REG2           normal regcodes
//   title ; REG1,REG2 ; #       special regcodes

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "aircraftdata/livery_data.h"
#include "aircraftdata/livery_indexes.h"
#include "aircraftdata/regcode_tables.h"

namespace crv {

struct RegcodeEntry {
  std::string title;
  std::vector<std::string> regs;  // sorted, unique; empty for a "don't use" title
  bool special = false;
};

// Bounds of a registration in a regcode text file, in bytes.
inline constexpr std::size_t kMinRegcodeBytes = 3;
inline constexpr std::size_t kMaxRegcodeBytes = 12;

// One line of a regcode text file: appends at most one entry; false when the
// line gave a warning (logged with the file's path).
bool parseRegcodeLine(std::string_view line, const std::filesystem::path& file,
                      std::vector<RegcodeEntry>& entries);

// Appends the entries of every regular file of the folder whose extension,
// upper-cased, is ".TXT", names compared without regard to case as Windows
// lists them. False when any line gave a warning or the folder could not be
// read.
bool gf_readRegcodeFiles(const std::filesystem::path& folder, std::vector<RegcodeEntry>& entries);

// Appends the livery elements of a plain AIG-regcodes XML file. False when
// the file does not load or a title repeats the one before.
bool gf_readAigRegcodes(const std::filesystem::path& xmlPath, std::vector<RegcodeEntry>& entries);

// The delivered input/AIG-regcodes.enc, decrypted in memory only (a plain
// copy left on disk by an interrupted earlier run is removed first), its
// livery elements appended as gf_readAigRegcodes does. Both readers of the
// file go through here.
enum class AigRegcodeRead { NotFound, NotDecrypted, Read, ReadWithErrors };
AigRegcodeRead readAigRegcodeFile(std::vector<RegcodeEntry>& entries);

// Binds the registrations of the installed entries, later ones overriding,
// records special titles and adds the report lines.
void applyRegcodeEntries(const LiveryIndexes& indexes, RegcodeTables& tables,
                         const std::vector<RegcodeEntry>& entries);

// Source 1; writes output/errors/InlineRegcodes.txt when registrations clash.
// Errors while writing the report are thrown.
void processInlineRegcodes(const LiveryIndexes& indexes, RegcodeTables& tables, const LiveryList& liveries);

// Sources 2 and 3 and output/info/OfflineRegcodes.txt. A missing or damaged
// AIG-regcodes file skips both sources and leaves the report as it was;
// nothing is thrown.
void processOfflineRegcodes(const LiveryIndexes& indexes, RegcodeTables& tables);
// The two halves of it. processAigRegcodeFile reads and applies the AIG
// file; false when it is missing or could not be decrypted.
bool processAigRegcodeFile(const LiveryIndexes& indexes, RegcodeTables& tables);
void processRegcodeFolder(const LiveryIndexes& indexes, RegcodeTables& tables);

// The titles the livery scan must skip. Filled at the start of a scan,
// emptied by the scan when it ends.
std::vector<std::string>& dontUseTitles();
// Appends the "don't use" titles of the AIG-regcodes file; nothing when it is
// missing or could not be decrypted.
void readDontUseTitles();
// Appends the "don't use" titles of the files in input/my_regcodes.
void readDontUseFolderTitles();

}  // namespace crv
