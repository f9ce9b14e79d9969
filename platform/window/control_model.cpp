#include "platform/window/control_model.h"

#include <algorithm>

namespace platform {

namespace {

char16_t foldCase(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  // Latin-1 capitals À..Þ, except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  return c;
}

}  // namespace

bool beginsWithIgnoringCase(std::u16string_view item, std::u16string_view prefix) {
  if (prefix.size() > item.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), item.begin(),
                    [](char16_t a, char16_t b) { return foldCase(a) == foldCase(b); });
}

ControlState* ControlModel::find(std::uint16_t id) {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : &it->second;
}

const ControlState* ControlModel::find(std::uint16_t id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : &it->second;
}

bool ControlModel::createControl(std::uint16_t id, ControlKind kind, ControlRect rect, std::u16string text,
                                 bool enabled) {
  std::lock_guard lock(mutex_);
  if (controls_.contains(id)) return false;
  ControlState state;
  state.id = id;
  state.kind = kind;
  state.rect = rect;
  state.text = std::move(text);
  state.enabled = enabled;
  controls_.emplace(id, std::move(state));
  order_.push_back(id);
  return true;
}

void ControlModel::destroyAll() {
  std::lock_guard lock(mutex_);
  controls_.clear();
  order_.clear();
}

bool ControlModel::exists(std::uint16_t id) const {
  std::lock_guard lock(mutex_);
  return find(id) != nullptr;
}

std::optional<ControlState> ControlModel::control(std::uint16_t id) const {
  return read(id, [](const ControlState& state) { return state; });
}

std::vector<std::uint16_t> ControlModel::controlIds() const {
  std::lock_guard lock(mutex_);
  return order_;
}

bool ControlModel::setText(std::uint16_t id, std::u16string text) {
  return change(id, [&text](ControlState& state) { state.text = std::move(text); });
}

std::optional<std::u16string> ControlModel::text(std::uint16_t id) const {
  return read(id, [](const ControlState& state) { return state.text; });
}

bool ControlModel::setChecked(std::uint16_t id, bool checked) {
  return change(id, [checked](ControlState& state) { state.checked = checked; });
}

std::optional<bool> ControlModel::isChecked(std::uint16_t id) const {
  return read(id, [](const ControlState& state) { return state.checked; });
}

bool ControlModel::setEnabled(std::uint16_t id, bool enabled) {
  return change(id, [enabled](ControlState& state) { state.enabled = enabled; });
}

std::optional<bool> ControlModel::isEnabled(std::uint16_t id) const {
  return read(id, [](const ControlState& state) { return state.enabled; });
}

bool ControlModel::resetContent(std::uint16_t id) {
  return change(id, [](ControlState& state) {
    state.items.clear();
    state.selection = kComboError;
  });
}

int ControlModel::addString(std::uint16_t id, std::u16string item) {
  std::lock_guard lock(mutex_);
  ControlState* state = find(id);
  if (state == nullptr) return kComboError;
  state->items.push_back(std::move(item));
  return static_cast<int>(state->items.size()) - 1;
}

int ControlModel::setCurrentSelection(std::uint16_t id, int index) {
  std::lock_guard lock(mutex_);
  ControlState* state = find(id);
  if (state == nullptr) return kComboError;
  if (index < 0 || index >= static_cast<int>(state->items.size())) {
    state->selection = kComboError;
    return kComboError;
  }
  state->selection = index;
  return index;
}

int ControlModel::selectString(std::uint16_t id, int startAfter, std::u16string_view prefix) {
  std::lock_guard lock(mutex_);
  ControlState* state = find(id);
  if (state == nullptr) return kComboError;
  const int count = static_cast<int>(state->items.size());
  const int first = (startAfter < 0 || startAfter >= count) ? 0 : startAfter + 1;
  for (int step = 0; step < count; ++step) {
    const int index = (first + step) % count;
    if (beginsWithIgnoringCase(state->items[static_cast<std::size_t>(index)], prefix)) {
      state->selection = index;
      return index;
    }
  }
  return kComboError;
}

int ControlModel::currentSelection(std::uint16_t id) const {
  return read(id, [](const ControlState& state) { return state.selection; }).value_or(kComboError);
}

std::optional<std::u16string> ControlModel::selectedItem(std::uint16_t id) const {
  std::lock_guard lock(mutex_);
  const ControlState* state = find(id);
  if (state == nullptr || state->selection < 0) return std::nullopt;
  return state->items[static_cast<std::size_t>(state->selection)];
}

std::vector<std::u16string> ControlModel::items(std::uint16_t id) const {
  return read(id, [](const ControlState& state) { return state.items; }).value_or(std::vector<std::u16string>{});
}

ControlModel& mainWindowControls() {
  static ControlModel model;
  return model;
}

}  // namespace platform
