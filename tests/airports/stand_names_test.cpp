#include "airports/stand_names.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/airports/stand_fixtures.h"

namespace crv {
namespace {

using testing::kApron;
using testing::makeStand;
using testing::pointAt;

TEST(StandNameIndexTest, NamesTheNearestStandWithin55mWhileOnTheGround) {
  StandNameIndex index;
  EXPECT_EQ(index.nameAt(kApron, true), "");  // nothing published

  StandTable stands{makeStand("A1", pointAt(kApron, 30.0), 20.0), makeStand("A2", pointAt(kApron, 20.0, 270.0), 20.0),
                    makeStand("twin", pointAt(kApron, 20.0, 270.0), 20.0)};
  index.publish(stands);
  EXPECT_EQ(index.nameAt(kApron, true), "A2");  // of two at the same distance the first
  EXPECT_EQ(index.nameAt(kApron, false), "");
  EXPECT_EQ(index.nameAt(pointAt(kApron, 54.0, 270.0), true), "A2");  // 34 m from A2
  EXPECT_EQ(index.nameAt(pointAt(kApron, 80.0, 270.0), true), "");    // 60 m from A2
}

// The index answers from the table as it was published; a new table forgets
// the cached answer.
TEST(StandNameIndexTest, AnswersComeFromTheLastPublishedTable) {
  StandTable stands{makeStand("old", pointAt(kApron, 10.0), 20.0)};
  publishStandNames(stands);
  stands[0].name = "changed";
  EXPECT_EQ(standNameAtPosition(kApron, true), "old");
  EXPECT_EQ(standNameAtPosition(kApron, true), "old");  // from the cache
  publishStandNames(stands);
  EXPECT_EQ(standNameAtPosition(kApron, true), "changed");
  standNameIndex().clear();
  EXPECT_EQ(standNameAtPosition(kApron, true), "");
}

TEST(StandNameIndexTest, ReadersOnOtherThreadsSeeWholeTablesWhileTheWorkerRepublishes) {
  // Two tables whose stand near the apron differs; readers on two threads ask
  // positions around it while the worker replaces the table over and over.
  StandTable tableA;
  StandTable tableB;
  for (int index = 0; index < 50; ++index) {
    const double offset = 100.0 * index;
    tableA.push_back(makeStand("A" + std::to_string(index), pointAt(kApron, offset), 20.0));
    tableB.push_back(makeStand("B" + std::to_string(index), pointAt(kApron, offset), 20.0));
  }
  StandNameIndex index;
  index.publish(tableA);

  std::atomic<bool> stop{false};
  std::atomic<int> wrongAnswers{0};
  std::atomic<int> answers{0};
  auto reader = [&](double courseDegrees) {
    int step = 0;
    while (!stop.load()) {
      const GeoPoint asked = pointAt(kApron, 1.0 + (step++ % 7), courseDegrees);
      const std::string name = index.nameAt(asked, true);
      if (name != "A0" && name != "B0") {
        ++wrongAnswers;
      }
      ++answers;
    }
  };
  std::thread simClient(reader, 0.0);
  std::thread trafficReader(reader, 180.0);
  // The worker keeps republishing until the readers have asked often enough.
  for (int round = 0; round < 200 || answers.load() < 2000; ++round) {
    index.publish(round % 2 == 0 ? tableB : tableA);
    std::this_thread::yield();
  }
  stop = true;
  simClient.join();
  trafficReader.join();

  EXPECT_EQ(wrongAnswers.load(), 0);
  index.publish(tableB);
  EXPECT_EQ(index.nameAt(kApron, true), "B0");
}

}  // namespace
}  // namespace crv
