// Clicks, list choices and typing on the headless controls: what the model
// becomes and which command the program hears.

#include <gtest/gtest.h>

#include "platform/window/control_input.h"

namespace platform {
namespace {

class ControlInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controls.createControl(1, ControlKind::CheckBox, {10, 10, 12, 12});
    controls.createControl(2, ControlKind::PushButton, {40, 10, 70, 20}, u"Unblock");
    controls.createControl(3, ControlKind::ComboBox, {10, 40, 50, 20});
    controls.addString(3, u"10");
    controls.addString(3, u"20");
    controls.createControl(4, ControlKind::EditBox, {10, 70, 100, 16}, u"EHAM");
    controls.createControl(5, ControlKind::EditBox, {200, 70, 30, 16}, u"", false);
    while (window.waitMessage(std::chrono::milliseconds(0))) {
    }
  }
  std::vector<WindowMessage> commands() {
    std::vector<WindowMessage> found;
    while (const auto message = window.waitMessage(std::chrono::milliseconds(0))) {
      if (message->message == kWmCommand) found.push_back(*message);
    }
    return found;
  }
  WindowModel window{"CRVN", 0, 0, 880, 516};
  ControlModel controls;
  ControlInput input{window, controls};
};

TEST_F(ControlInputTest, ClicksReachTheControlUnderThePointerOnly) {
  struct Case {
    int x, y;
    ClickOutcome outcome;
    std::uint16_t id;
    bool commandPosted;
  };
  for (const Case& c : {Case{15, 15, ClickOutcome::command, 1, true}, Case{109, 29, ClickOutcome::command, 2, true},
                        Case{110, 29, ClickOutcome::nothing, 0, false}, Case{30, 45, ClickOutcome::openList, 3, false},
                        Case{50, 75, ClickOutcome::editFocused, 4, false},
                        Case{205, 75, ClickOutcome::nothing, 0, false}}) {  // disabled box
    std::uint16_t reached = 99;
    EXPECT_EQ(input.click(c.x, c.y, &reached), c.outcome) << c.x << "," << c.y;
    EXPECT_EQ(reached, c.id);
    const auto posted = commands();
    ASSERT_EQ(posted.size(), c.commandPosted ? 1U : 0U) << c.x << "," << c.y;
    if (c.commandPosted) {
      EXPECT_EQ(posted[0].wParam, commandParam(c.id, kButtonClicked));
    }
  }
}

TEST_F(ControlInputTest, AChosenItemIsSelectedAndAnnouncedAndABadIndexChangesNothing) {
  EXPECT_TRUE(input.chooseItem(3, 1));
  EXPECT_EQ(controls.currentSelection(3), 1);
  EXPECT_EQ(commands().at(0).wParam, commandParam(3, kComboSelectionChanged));
  for (const auto& [id, index] : {std::pair{3, 2}, {3, -1}, {4, 0}, {77, 0}}) {
    EXPECT_FALSE(input.chooseItem(static_cast<std::uint16_t>(id), index));
  }
  EXPECT_EQ(controls.currentSelection(3), 1);
  EXPECT_TRUE(commands().empty());
}

TEST_F(ControlInputTest, TypingGoesToTheFocusedBoxAndEnterAnnouncesIt) {
  input.editText(u"lost");  // no box in use
  input.enterPressed();
  EXPECT_TRUE(commands().empty());
  input.click(50, 75);
  input.editText(u"EGLL");
  input.enterPressed();
  EXPECT_EQ(controls.text(4), u"EGLL");
  EXPECT_EQ(commands().at(0).wParam, commandParam(4, kEditEnterPressed));
  // A box disabled while in use no longer takes keys.
  controls.setEnabled(4, false);
  EXPECT_FALSE(input.focusedEdit());
  input.editText(u"LFPG");
  EXPECT_EQ(controls.text(4), u"EGLL");
  controls.setEnabled(4, true);
  input.click(500, 500);  // elsewhere: the box lets go
  EXPECT_FALSE(input.focusedEdit());
}

}  // namespace
}  // namespace platform
