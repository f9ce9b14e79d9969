#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "tests/support/temp_folder.h"

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

// The program's log, opened in a temporary folder for one test.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string text() const;

 private:
  TempFolder folder_;
};

}  // namespace crv::testing
