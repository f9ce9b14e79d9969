#pragma once

// The park airports: the airports at which the program places static parked
// aircraft and learns stand use, listed by the user in
// airports/my_park_airports.txt, one a line, an ICAO code optionally
// followed by a comma and the user's own stand there:
//
//   EHAM,D7
//   EGLL
//
// The list and the file belong to the session worker. Other threads (the
// window's handlers) queue their changes, and the worker applies them at its
// next step, so that the list never changes under the worker's feet and the
// file is never written by two threads.

#include <cstddef>
#include <filesystem>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "airports/airports_database.h"
#include "foundation/geodesy.h"

namespace crv {

struct ParkAirport {
  std::string icao;
  std::string stand;  // the user's stand there; may be empty
  GeoPoint position;
  double distance = 0.0;  // nautical miles from the user's aircraft
};

// The file's line of an entry: the code, and ",<stand>" when it has one.
std::string parkAirportLine(const ParkAirport& entry);

// When the line's first field is the entry's code, the line becomes the
// entry's line (logged "my_park_airports.txt:<line> updated stand") and the
// answer is true.
bool updateParkAirportStand(const ParkAirport& entry, std::string& line);

class ParkAirportList {
 public:
  // Worker thread only.

  // Reads the file into the list (a missing file reads as empty); without
  // entries, the airports with a file in my_thirdparty are taken. False when
  // the file named an airport the database does not know.
  bool readMyParkAirports(const AirportsDatabase& database);
  // Appends the airports of my_thirdparty that the database knows.
  void scanThirdPartyParkAirports(const AirportsDatabase& database);
  // Writes the first entry into the file: replaces the line of its airport,
  // or puts a new line in front; creates the file when there is none. The
  // file is replaced by temporary file and rename.
  void addParkAirportEntry();
  // Moves the airport to the head of the list; an airport not yet listed is
  // put there and written into the file.
  void moveParkAirportToFront(std::string_view icao, const GeoPoint& position);

  std::list<ParkAirport>& entries() { return entries_; }
  const std::list<ParkAirport>& entries() const { return entries_; }

  // Any thread: the airport is to become the head of the list.
  void requestMoveToFront(std::string icao, const GeoPoint& position);
  // Worker thread: applies the queued requests in order; their number.
  std::size_t applyRequests();

 private:
  struct MoveRequest {
    std::string icao;
    GeoPoint position;
  };

  std::list<ParkAirport> entries_;
  std::mutex requestsMutex_;  // guards requests_
  std::vector<MoveRequest> requests_;
};

// The program's list.
ParkAirportList& parkAirportList();

inline constexpr const char* kMyParkAirportsName = "my_park_airports.txt";
inline constexpr std::size_t kManyParkAirports = 3000;

}  // namespace crv
