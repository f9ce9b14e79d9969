#include "aircraftdata/aircraft_database.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>
#include <pugixml.hpp>
#include <sodium.h>

#include "aircraftdata/stream_decrypt.h"
#include "aircraftdata/type_lookups.h"
#include "foundation/errors.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/text.h"

namespace crv {

namespace {

constexpr double kHalfSpanNmPerMeter = 0.5 * 0.0005399568034557236;
constexpr std::size_t kShortRegistrationLength = 6;

AircraftDatabase& loadedDatabase() {
  static AircraftDatabase database;
  return database;
}

// A decimal number of metres; false when the text is not one or the value
// cannot be a wing span.
// No aircraft spans more; a larger number is a typing error, and sums of
// such numbers would overflow the category averages.
constexpr double kLargestWingspanMeters = 1000.0;

bool parseMeters(const std::string& text, double& meters) {
  const std::string trimmed = trim(text);
  if (trimmed.empty()) {
    meters = 0.0;
    return true;
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
  if (error != std::errc() || end != trimmed.data() + trimmed.size() || !(value >= 0.0) ||
      value > kLargestWingspanMeters) {
    return false;
  }
  meters = value;
  return true;
}

void readSimilarTypes(const pugi::xml_document& document, AircraftDatabase& db) {
  db.similarTypeGroups.reserve(64);
  for (const pugi::xml_node similar : document.child("similar_types").children("similar")) {
    std::vector<std::string> group = splitCommaList(getAttribute(similar, "types"));
    std::sort(group.begin(), group.end());
    db.similarTypeGroups.push_back(std::move(group));
  }
  db.similarTypeGroups.shrink_to_fit();
}

void readPublishers(const pugi::xml_document& document, AircraftDatabase& db) {
  db.publisherNames.reserve(640);
  for (const pugi::xml_node pub : document.child("publishers").children("pub")) {
    // A publisher without names still counts; it matches no text.
    std::vector<std::string> names = splitCommaList(getAttribute(pub, "names"));
    names.shrink_to_fit();
    db.publisherNames.push_back(std::move(names));
  }
  db.publisherNames.shrink_to_fit();
  gf_logLine(fmt::format("   {} publishers", db.publisherNames.size()));
}

// Every type of a category set with the category that categoryOfType gives
// it, so that a lookup is one hash search.
void indexCategories(AircraftDatabase& db) {
  const TypeSets& sets = db.typeSets;
  for (const TextSet* set :
       {&sets.large, &sets.heavy, &sets.buzjet, &sets.rotorcraft, &sets.highPerformance}) {
    for (const std::string& type : *set) {
      db.categoryByType.try_emplace(type, categoryOfTypeSets(sets, type));
    }
  }
}

void readWingspans(const pugi::xml_document& document, AircraftDatabase& db) {
  for (const pugi::xml_node wingspan : document.child("wingspans").children("wingspan")) {
    const std::string type = getAttribute(wingspan, "type");
    if (type.empty() || !db.typeSets.all.contains(type)) {
      gf_logWarning(fmt::format("wingspan model {} is not valid, skipped", type));
      continue;
    }
    double meters = 0.0;
    if (!parseMeters(getAttribute(wingspan, "meters"), meters)) {
      gf_logWarning(fmt::format("wingspan of {} is not a number: '{}', skipped", type,
                                getAttribute(wingspan, "meters")));
      continue;
    }
    const double halfSpanNm = meters * kHalfSpanNmPerMeter;
    db.halfSpanMap.try_emplace(type, halfSpanNm);
    db.maxHalfSpan = std::max(db.maxHalfSpan, halfSpanNm);
  }

  std::array<double, kSizeCategoryCount> sums{};
  std::array<int, kSizeCategoryCount> counts{};
  // In the order of the sorted type set, so that the sums never depend on
  // the hash order.
  for (const std::string& type : db.typeSets.all) {
    const auto found = db.halfSpanMap.find(type);
    if (found == db.halfSpanMap.end()) {
      continue;
    }
    const std::size_t index = categoryIndex(categoryOfType(db, type));
    sums[index] += found->second;
    counts[index] += 1;
  }
  for (std::size_t index = 0; index < kSizeCategoryCount; ++index) {
    const auto category = static_cast<SizeCategory>(index);
    if (counts[index] == 0) {
      db.categorySpanAverage[index] = defaultCategoryHalfSpan(category);
      gf_logWarning(fmt::format("no wingspan of category {}, {:.4f} nm half span used",
                                sizeCategoryName(category), db.categorySpanAverage[index]));
    } else {
      db.categorySpanAverage[index] = sums[index] / counts[index];
    }
  }
}

void readFixes(const pugi::xml_document& document, AircraftDatabase& db) {
  for (const pugi::xml_node fx : document.child("fixes").children("fx")) {
    const std::string wrong = getAttribute(fx, "wro");
    const std::string correct = getAttribute(fx, "cor");
    if (!correct.empty() && db.typeSets.all.contains(correct)) {
      if (!db.fixMap.try_emplace(wrong, correct).second) {
        gf_logWarning(fmt::format("wrong part of fix: '{}', already exists, skipped", wrong));
      }
    } else {
      gf_logWarning(fmt::format("wrong fix {} -> {}, the latter is not valid", wrong, correct));
    }
  }
}

void readRegistrations(const pugi::xml_document& document, AircraftDatabase& db) {
  db.knownRegistrations.clear();
  for (const pugi::xml_node record : document.child("dbase").children("db")) {
    std::string registration = getAttribute(record, "reg");
    RegistrationData data{getAttribute(record, "airl"), getAttribute(record, "type"),
                          getAttribute(record, "opr"), record.attribute("cargo").as_bool()};
    const auto [position, inserted] =
        db.knownRegistrations.try_emplace(std::move(registration), std::move(data));
    if (!inserted) {
      gf_logWarning(fmt::format("regcode {} already exists", position->first));
    }
  }
  for (const auto& entry : db.knownRegistrations) {
    if (entry.first.size() < kShortRegistrationLength) {
      db.shortRegistrations.push_back(entry.first);
    }
  }
  std::sort(db.shortRegistrations.begin(), db.shortRegistrations.end());
  gf_logLine(fmt::format("{} dbase records read", db.knownRegistrations.size()));
}

}  // namespace

const AircraftDatabase& aircraftDatabase() { return loadedDatabase(); }

void installAircraftDatabase(AircraftDatabase database) { loadedDatabase() = std::move(database); }

double defaultCategoryHalfSpan(SizeCategory category) {
  // Typical wing spans in metres of each class.
  double meters = 11.0;
  switch (category) {
    case SizeCategory::Light: meters = 11.0; break;
    case SizeCategory::Buzjets: meters = 17.0; break;
    case SizeCategory::Large: meters = 34.0; break;
    case SizeCategory::Heavy: meters = 62.0; break;
    case SizeCategory::HighPerf: meters = 11.0; break;
    case SizeCategory::Rotorcraft: meters = 12.0; break;
  }
  return meters * kHalfSpanNmPerMeter;
}

std::vector<std::string> splitCommaList(std::string_view text) {
  std::vector<std::string> items = splitComma(text);
  std::erase_if(items, [](const std::string& item) { return item.empty(); });
  return items;
}

void readXmlSection(const pugi::xml_document& document, const char* section, TextSet& target,
                    const char* element, const char* attribute) {
  for (const pugi::xml_node node : document.child(section).children(element)) {
    for (std::string& item : splitCommaList(getAttribute(node, attribute))) {
      target.insert(std::move(item));
    }
  }
  if (target.empty()) {
    throw UserErrorException(
        kDatabaseSectionEmptyError,
        fmt::format("In XML file section [{}], element [{}], attribute [{}] is empty.", section,
                    element, attribute));
  }
}

void readTypesSet(const pugi::xml_document& document, const char* section, TextSet& target,
                  const char* element) {
  TextSet types;
  readXmlSection(document, section, types, element, "types");
  target.merge(types);
}

void readIcaoCodesSet(const pugi::xml_document& document, const char* section, TextSet& target) {
  readXmlSection(document, section, target, "ICAO", "codes");
}

void readThirdpartiesSection(const pugi::xml_document& document, const char* section,
                             std::vector<ThirdpartyAirports>& target, const char* element) {
  for (const pugi::xml_node node : document.child(section).children(element)) {
    target.push_back({getAttribute(node, "pub"), splitCommaList(getAttribute(node, "arpts"))});
  }
}

AircraftDatabase buildAircraftDatabase(const pugi::xml_document& document) {
  AircraftDatabase db;
  readTypesSet(document, "aircrafts", db.typeSets.all, "aircraft");
  readTypesSet(document, "high_performance", db.typeSets.highPerformance, "hpf");
  readTypesSet(document, "heavy", db.typeSets.heavy, "hvy");
  readTypesSet(document, "large", db.typeSets.large, "lar");
  readTypesSet(document, "buzjet", db.typeSets.buzjet, "bzj");
  readTypesSet(document, "rotorcraft", db.typeSets.rotorcraft, "rot");
  readTypesSet(document, "cargo_types", db.typeSets.cargo, "cargo_type");
  indexCategories(db);
  readSimilarTypes(document, db);
  readIcaoCodesSet(document, "ICAO_airlines", db.icaoAirlines);
  readIcaoCodesSet(document, "cargo_operators", db.cargoOperators);
  readPublishers(document, db);
  readWingspans(document, db);
  readFixes(document, db);
  readXmlSection(document, "simaddons20", db.simaddonAirports20, "simaddon20", "arpts");
  db.thirdpartyAirports20.reserve(600);
  readThirdpartiesSection(document, "thirdparties20", db.thirdpartyAirports20, "thirdpartie20");
  db.thirdpartyAirports24.reserve(300);
  readThirdpartiesSection(document, "thirdparties24", db.thirdpartyAirports24, "thirdpartie24");
  readRegistrations(document, db);
  return db;
}

bool readDbase() { return readDbase(programPaths().dbaseEnc, programPaths().dbaseXml); }

bool readDbase(const std::filesystem::path& encryptedPath, const std::filesystem::path& plainPath) {
  // The database is decrypted in memory only. A plain copy on disk is one
  // that an interrupted run of an earlier version left behind: it goes.
  removeFileWarn(plainPath);
  std::error_code error;
  if (!std::filesystem::exists(encryptedPath, error)) {
    throw std::runtime_error(fmt::format("{} not available", encryptedPath.string()));
  }
  std::string plain;
  try {
    plain = decryptToMemory(kDataFileKey, encryptedPath);
  } catch (const std::exception& decryptError) {
    gf_logLine(fmt::format("{} exception: {}", "gf_streamDecrypt", decryptError.what()));
    throw std::runtime_error(fmt::format("{} stream decrypt failed", encryptedPath.string()));
  }

  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_buffer(plain.data(), plain.size());
  sodium_memzero(plain.data(), plain.size());
  if (!parsed) {
    throw UserErrorException(kDatabaseParseError, fmt::format("'{}' not read because of {}",
                                                          plainPath.string(), parsed.description()));
  }
  installAircraftDatabase(buildAircraftDatabase(document));
  return true;
}

}  // namespace crv
