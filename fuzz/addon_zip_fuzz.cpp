// The add-on zip: an archive is either refused with ZipError or gives files
// whose names stay inside the add-on folder ("<stem>.txt", no separator, no
// "..") and whose texts keep within the limits.

#include "feed/addon_zip.h"
#include "fuzz/support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  const crv::AddonLimits limits{1u << 20, 64};
  std::vector<crv::AddonFile> files;
  try {
    const crv::ZipArchive archive = crv::ZipArchive::openBytes(crv::fuzz::inputText(data, size));
    files = crv::readAddonFiles(archive, limits);
  } catch (const crv::ZipError&) {
    return 0;
  }
  std::uint64_t totalBytes = 0;
  for (const crv::AddonFile& file : files) {
    require(file.fileName.ends_with(".txt") && file.fileName.size() > 4, "every file is named <stem>.txt");
    require(file.fileName.find_first_of("/\\") == std::string::npos, "no file name holds a separator");
    require(crv::entryNameProblem(file.fileName).empty(), "every file name stays in the add-on folder");
    totalBytes += file.text.size();
  }
  require(files.size() <= limits.maximumEntries && totalBytes <= limits.maximumTotalBytes,
          "the add-on keeps within its limits");
  return 0;
}
