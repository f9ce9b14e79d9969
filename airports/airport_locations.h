#pragma once

// Where an airport's files lie: the user's and generated files in
// airports/my_thirdparty and airports/my_simaddon (a file, or a redirect
// file naming the file to use), the archived file on the download site, and
// the learned file the program keeps in airports/learned.

#include <filesystem>
#include <string>
#include <string_view>

namespace crv {

std::string icaoXmlName(std::string_view icao);            // "<ICAO>.xml"
std::filesystem::path icaoXmlPath(std::string_view icao);  // the same as a relative path
std::filesystem::path icaoTxtPath(std::string_view icao);  // "<ICAO>.txt"

// A redirect file's first line, trailing blanks cut, up to and including its
// first ".xml" ("abc.xml.bak" gives "abc.xml"). False when the file is
// missing or empty, or the line is shorter than 4 characters or holds no
// ".xml".
bool readAirportRedirect(const std::filesystem::path& txtPath, std::string& name);

// The base file of the airport, first match: my_thirdparty redirect,
// my_thirdparty file, my_simaddon redirect, my_simaddon file, the archived
// file on the site ("archive/stock/<ICAO>.xml"); else empty. Local paths are
// written with "/" ("airports/my_thirdparty/EHAM.xml").
std::string findAirportFilePath(std::string_view icao);

// Some airport file is available for the airport.
bool ensureAirportFile(std::string_view icao);

// The publisher's own text as one folder name that is safe on every system:
// separators and the characters Windows refuses in file names become "_",
// trailing dots and blanks go (so "." and ".." give an empty name), a
// reserved device name gets a leading "_", and a name beyond 255 bytes is
// cut. Anything else, leading blanks included, stays as the publisher wrote
// it.
std::string publisherFolderName(std::string_view publisher);

// The folder of the learned files of a publisher: airports/learned/stock,
// airports/learned/simaddon, airports/learned/thirdparty/<publisher>, or
// airports/learned/thirdparty itself for an empty publisher.
std::filesystem::path learnedFolderFor(std::string_view publisher);

// The learned file of an airport, for reading and for saving alike: the
// learned folder of the publisher its base file names, and the ICAO code.
std::filesystem::path learnedPathFor(std::string_view icao, std::string_view publisher);

// "EHAM.xml" becomes "EHAM.0.xml", the name of a learned file kept aside;
// when that is taken, "EHAM.0.1.xml", "EHAM.0.2.xml" and so on: an earlier
// copy is never overwritten.
std::filesystem::path asideCopyPath(const std::filesystem::path& path);

}  // namespace crv
