// The per-category livery report, and switching off a category that has no
// liveries at all.

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "aircraftdata/livery_indexes.h"
#include "aircraftdata/type_lookups.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "platform/window/control_model.h"

namespace crv {

namespace {

inline constexpr std::size_t kTypesPerLogLine = 20;

// The setting that lets a category into the traffic, and the words of its
// switch-off message; only Light, HighPerf and Rotorcraft have one.
struct CategorySwitch {
  BoolControlParameter* setting;
  const char* installedWhat;
};

const CategorySwitch* categorySwitch(SizeCategory category) {
  static const CategorySwitch light{&par_LIGHT_AIRCRAFT, "light aircraft"};
  static const CategorySwitch highPerf{&par_HIGH_PERF_AIRCRAFT, "High Perf aircraft"};
  static const CategorySwitch rotorcraft{&par_HELICOPTERS, "Helicopters"};
  switch (category) {
    case SizeCategory::Light: return &light;
    case SizeCategory::HighPerf: return &highPerf;
    case SizeCategory::Rotorcraft: return &rotorcraft;
    default: return nullptr;
  }
}

// Counts the titles of the category's types in one model index and gathers
// the types.
std::size_t collectCategoryTitles(const ModelIndex& index, SizeCategory category,
                                  std::vector<std::string>& types) {
  std::size_t titles = 0;
  for (const auto& [type, views] : index) {
    if (aircraftCategory(type) != category) continue;
    types.push_back(type);
    titles += views.size();
  }
  return titles;
}

void logTypes(const std::vector<std::string>& types) {
  for (std::size_t start = 0; start < types.size(); start += kTypesPerLogLine) {
    const std::size_t end = std::min(types.size(), start + kTypesPerLogLine);
    std::string line = "  ";
    for (std::size_t i = start; i < end; ++i) {
      if (i > start) line += ',';
      line += types[i];
    }
    gf_logLine(line);
  }
}

void adjustCategorySwitch(SizeCategory category, bool hasLiveries) {
  const CategorySwitch* entry = categorySwitch(category);
  if (entry == nullptr) return;
  BoolControlParameter& setting = *entry->setting;
  auto& controls = platform::mainWindowControls();
  if (hasLiveries) {
    controls.setEnabled(setting.controlId(), true);
    return;
  }
  if (setting.value()) {
    setting.setValue(false);
    saveBoolParameter(setting);
    controls.setChecked(setting.controlId(), false);
    gf_logLine(fmt::format("{} temporarily switched off because you do not have {} installed", setting.name(),
                           entry->installedWhat));
  }
  controls.setEnabled(setting.controlId(), false);
}

}  // namespace

void LiveryIndexes::reportLiveryCategories(SizeCategory category) {
  std::vector<std::string> types;
  const std::size_t paxTitles = collectCategoryTitles(paxModelIndex_, category, types);
  const std::size_t cargoTitles = collectCategoryTitles(cargoModelIndex_, category, types);
  const std::string name(sizeCategoryName(category));

  if (paxTitles + cargoTitles == 0) {
    gf_logLine(fmt::format("Category {}: No livery found", name));
  } else {
    const std::string cargoPart =
        cargoTitles > 0 ? fmt::format(" and {} cargo liverie{}", cargoTitles, pluralSuffixSize(cargoTitles)) : "";
    gf_logLine(fmt::format("Category {}: {} pax liverie{}{}", name, paxTitles, pluralSuffixSize(paxTitles),
                           cargoPart));
  }

  if (!types.empty()) {
    std::sort(types.begin(), types.end());
    types.erase(std::unique(types.begin(), types.end()), types.end());
    TypeList* list = nullptr;
    if (category == SizeCategory::Light) list = &lightModels_;
    if (category == SizeCategory::Buzjets) list = &buzjetModels_;
    if (category == SizeCategory::Rotorcraft) list = &rotorcraftModels_;
    if (list != nullptr) list->insert(list->end(), types.begin(), types.end());
    logTypes(types);
  }
  adjustCategorySwitch(category, !types.empty());
}

}  // namespace crv
