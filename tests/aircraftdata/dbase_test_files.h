#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "tests/support/log_capture.h"

namespace crv::testing {

// A dbase.xml assembled from its sections; starts as a small valid database.
class DbaseXml {
 public:
  DbaseXml();

  DbaseXml& set(const std::string& section, std::string innerXml);
  DbaseXml& remove(const std::string& section);
  std::string text() const;

 private:
  std::map<std::string, std::string> sections_;
};

// Encrypts the bytes with the program's key into the file.
void writeEncrypted(const std::filesystem::path& path, std::string_view plain);

// Makes the database of the XML text the loaded one.
void installDbaseXml(const std::string& xml);


}  // namespace crv::testing
