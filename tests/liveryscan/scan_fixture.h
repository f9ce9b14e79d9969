#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "aircraftdata/livery_data.h"
#include "liveryscan/scan_reports.h"
#include "tests/support/settings_fixture.h"

namespace crv {

// A livery-scan test: its own program folder as working folder, Log.txt, a
// small aircraft database, and every list of the scan empty.
//
// Database: types A320 A20N B738 B744 (heavy) C172 DH8D; the fix B73H ->
// B738; airlines DLH BAW KLM ZZZ; registrations D-AIZA (DLH A320),
// G-EUPA (BAW A320, operator KLM, cargo), PH-AB (KLM DH8D, short).
class LiveryScanFixture : public SettingsFixture {
 protected:
  LiveryScanFixture();
  ~LiveryScanFixture() override;

  // Writes the file below the program folder; its absolute path.
  std::filesystem::path write(const std::filesystem::path& relative, std::string_view bytes) const;

  static std::vector<std::string> linesOf(const ReportList& list) { return list.lines(); }
};

// "airl type title atcid [cargo]" of each livery, for comparing.
std::vector<std::string> describe(const LiveryList& liveries);

// The text as UTF-16 with a byte-order mark.
std::string utf16Bytes(std::u16string_view text, bool littleEndian);

}  // namespace crv
