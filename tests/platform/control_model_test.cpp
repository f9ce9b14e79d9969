#include "platform/window/control_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace platform {
namespace {

constexpr std::uint16_t kCombo = 32790;
constexpr std::uint16_t kEdit = 32788;
constexpr std::uint16_t kCheck = 32779;

class ControlModelTest : public ::testing::Test {
 protected:
  ControlModelTest() {
    model.createControl(kCombo, ControlKind::ComboBox, {5, 114, 105, 80});
    model.createControl(kEdit, ControlKind::EditBox, {111, 119, 1200, 16}, u"", false);
    model.createControl(kCheck, ControlKind::CheckBox, {652, 149, 12, 12});
  }

  void fillCombo(std::initializer_list<const char16_t*> items) {
    model.resetContent(kCombo);
    for (const char16_t* item : items) model.addString(kCombo, item);
  }

  ControlModel model;
};

TEST_F(ControlModelTest, ControlsAreFoundByIdInCreationOrder) {
  EXPECT_FALSE(model.createControl(kEdit, ControlKind::CheckBox, {}));
  EXPECT_EQ(model.controlIds(), (std::vector<std::uint16_t>{kCombo, kEdit, kCheck}));
  const auto edit = model.control(kEdit);
  ASSERT_TRUE(edit);
  EXPECT_EQ(edit->kind, ControlKind::EditBox);
  EXPECT_EQ(edit->rect.width, 1200);
  EXPECT_FALSE(edit->enabled);

  model.destroyAll();
  EXPECT_FALSE(model.exists(kEdit));
  EXPECT_TRUE(model.controlIds().empty());
}

TEST_F(ControlModelTest, MissingControlChangesNothing) {
  EXPECT_FALSE(model.setText(1, u"x"));
  EXPECT_FALSE(model.setChecked(1, true));
  EXPECT_FALSE(model.setEnabled(1, true));
  EXPECT_FALSE(model.resetContent(1));
  EXPECT_EQ(model.addString(1, u"x"), kComboError);
  EXPECT_EQ(model.selectString(1, kComboError, u"x"), kComboError);
  EXPECT_EQ(model.setCurrentSelection(1, 0), kComboError);
  EXPECT_FALSE(model.text(1));
  EXPECT_FALSE(model.isChecked(1));
  EXPECT_TRUE(model.items(1).empty());
}

TEST_F(ControlModelTest, SelectionByIndexOutOfRangeOrAResetClearsIt) {
  fillCombo({u"10", u"25", u"50"});
  EXPECT_EQ(model.addString(kCombo, u"75"), 3);
  EXPECT_EQ(model.setCurrentSelection(kCombo, 2), 2);
  EXPECT_EQ(model.selectedItem(kCombo), u"50");
  EXPECT_EQ(model.setCurrentSelection(kCombo, 4), kComboError);
  EXPECT_EQ(model.currentSelection(kCombo), kComboError);
  model.setCurrentSelection(kCombo, 0);
  EXPECT_EQ(model.setCurrentSelection(kCombo, kComboError), kComboError);
  EXPECT_EQ(model.currentSelection(kCombo), kComboError);

  model.setCurrentSelection(kCombo, 1);
  EXPECT_TRUE(model.resetContent(kCombo));
  EXPECT_TRUE(model.items(kCombo).empty());
  EXPECT_FALSE(model.selectedItem(kCombo));
}

TEST_F(ControlModelTest, SelectStringTakesTheFirstItemAfterTheStartBeginningWithTheTextIgnoringCase) {
  fillCombo({u"AIG, FSLTL, JF", u"AIG, JF, FSLTL", u"FSLTL, AIG, JF", u"JF, AIG, FSLTL"});
  EXPECT_EQ(model.selectString(kCombo, kComboError, u"aig"), 0);
  EXPECT_EQ(model.selectString(kCombo, 0, u"AIG"), 1);
  EXPECT_EQ(model.selectString(kCombo, 1, u"AIG"), 0);  // wraps round
  EXPECT_EQ(model.selectString(kCombo, 2, u"FSLTL"), 2);  // the start item itself comes last
  EXPECT_EQ(model.selectString(kCombo, kComboError, u"Fsltl, aig, jf"), 2);
  EXPECT_EQ(model.selectedItem(kCombo), u"FSLTL, AIG, JF");
  // A text longer than every item, or matching none, leaves the selection.
  EXPECT_EQ(model.selectString(kCombo, kComboError, u"FSLTL, AIG, JF, X"), kComboError);
  EXPECT_EQ(model.selectString(kCombo, kComboError, u"PMDG"), kComboError);
  EXPECT_EQ(model.currentSelection(kCombo), 2);
}

TEST(BeginsWithIgnoringCaseTest, FoldsAsciiAndLatin1Letters) {
  EXPECT_TRUE(beginsWithIgnoringCase(u"Zürich", u"zÜR"));
  EXPECT_TRUE(beginsWithIgnoringCase(u"ÀB", u"àb"));
  EXPECT_FALSE(beginsWithIgnoringCase(u"\u00D7", u"\u00F7"));  // signs, not letters
  EXPECT_TRUE(beginsWithIgnoringCase(u"anything", u""));
  EXPECT_FALSE(beginsWithIgnoringCase(u"ab", u"abc"));
}

TEST_F(ControlModelTest, ThreadsChangeAndReadControlsSafely) {
  std::atomic<bool> done{false};
  std::thread reader([this, &done] {
    while (!done.load()) {
      const auto combo = model.control(kCombo);
      ASSERT_TRUE(combo);
      ASSERT_TRUE(combo->selection == kComboError ||
                  combo->selection < static_cast<int>(combo->items.size()));
      model.text(kEdit);
    }
  });
  for (int i = 0; i < 500; ++i) {
    fillCombo({u"2", u"3", u"4"});
    model.setCurrentSelection(kCombo, i % 3);
    model.setText(kEdit, std::u16string(static_cast<std::size_t>(i % 50), u'x'));
  }
  done = true;
  reader.join();
}

}  // namespace
}  // namespace platform
