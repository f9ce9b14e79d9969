#pragma once

// The livery indexes and the registration codes together, as the program
// keeps them for its whole run.
//
// Threads: everything is built, read and cleared on the session worker. The
// user-interface thread asks for a new livery scan while a session may still
// match liveries; it only requests the clear (clearLiveryDatabase), and the
// worker carries it out before the next build. Until then the old tables stay
// whole and readable.

#include <atomic>

#include "aircraftdata/livery_data.h"
#include "aircraftdata/livery_indexes.h"
#include "aircraftdata/regcode_tables.h"

namespace crv {

class LiveryDatabase {
 public:
  LiveryIndexes indexes;
  RegcodeTables regcodes;

  // Builds every index and the registration codes from the sorted list, in
  // order: airline index, airline+model indexes, in-line and offline regcodes
  // ("<n> registration codes"), model indexes ("<a> airlines, <p> pax aircraft
  // models and <c> cargo aircraft models"), similar models, the category
  // reports 0 to 5. A clear requested before is carried out first. Worker.
  void build(const LiveryList& liveries);

  // Built and not waiting for a clear.
  bool isBuilt() const { return built_ && !clearRequested_.load(); }

  // Any thread: the tables are to be emptied before the next build.
  void requestClear() { clearRequested_.store(true); }
  bool clearRequested() const { return clearRequested_.load(); }
  // Worker: empties the tables when a clear was requested; true when it did.
  bool applyRequestedClear();
  // Worker: empties the tables now.
  void clearNow();

  // Once per program run, at a session start: capacity of the match lists.
  void reserveMatchLists();

 private:
  std::atomic<bool> clearRequested_{false};
  bool built_ = false;
  bool matchListsReserved_ = false;
};

// The program's livery database.
LiveryDatabase& liveryDatabase();

// Asks for the program's livery database to be emptied before the next
// build (a new livery scan); safe from any thread.
void clearLiveryDatabase();

// Readies the per-category title lists for a session; called as each session
// starts to run. The lists come sorted from their builder; their room is
// reserved once per program run (LiveryDatabase::reserveMatchLists).
void sortCategoryLists();

}  // namespace crv
