#pragma once

// Liveries of the IVAO model-matching packages (paths holding "ivao_x-csl"
// or "IVAO_MTL"): one aircraft folder per model, IVAO_<model>, and one
// [fltsim.N] section per airline. The model comes from the folder name, the
// airline from the title just behind the model code, and a section counts
// only when its texture folder exists. Never cargo.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "aircraftdata/livery_data.h"

namespace crv {

// The task for a file of these packages; the same contract as
// lf_searchLiveriesinFile.
LiveryList searchIvaoLiveriesInFile(std::uint32_t folderNumber, const std::filesystem::path& path);

// The checked model of ...\IVAO_MTL\SimObjects\Airplanes\IVAO_<name>\aircraft.cfg
// (or ivao_x-csl; letter case ignored, either separator): the first 4
// characters of the name. Empty, with an invalid-model line, for any other path.
std::string ivaoModelFromPath(std::string_view path);

// As processFltSimSections (the section lines are moved out).
LiveryList processIvaoSections(std::uint32_t folderNumber, std::vector<std::string>& lines,
                               const std::string& model, std::string_view path, std::string_view folder);

// One section: a livery, or an empty record.
LiveryData processIvaoSection(std::uint32_t folderNumber, std::vector<std::string>& section,
                              const std::string& model, std::string_view path, std::string_view folder);

// The three word characters behind the model code (and "W" for a winglet
// model) at the start of the title, blanks between allowed; empty when the
// title does not begin so.
std::string airlineInIvaoTitle(std::string_view title, std::string_view model, bool winglets);

// True for a path in the winglet variants' folders.
bool isIvaoWingletFolder(std::string_view folder);

}  // namespace crv
