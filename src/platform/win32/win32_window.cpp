#include "platform/win32/win32_window.h"

#include <algorithm>

#include "platform/win32/directory_paths.h"
#include "platform/win32/layout_index.h"
#include "platform/win32/wide_text.h"

namespace meterstation {

namespace {

std::size_t slotOf(ListId id) { return static_cast<std::size_t>(id); }
std::size_t slotOf(TextId id) { return static_cast<std::size_t>(id); }
std::size_t slotOf(CheckId id) { return static_cast<std::size_t>(id); }

std::string windowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(std::max(0, length)) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(0, copied)));
  // The text boxes refuse what does not fit, so nothing is lost here.
  return narrowForMessage(text);
}

// The station's paths as the directory list names them: what cannot be
// made full is left as it is, for the list to refuse with its reason.
std::string fullOrAsGiven(const std::string& path) {
  const std::wstring full = fullDirectoryPath(widen(path));
  return narrow(full).value_or(path);
}

}  // namespace

Win32Window::Win32Window() { build(); }

Win32Window::~Win32Window() {
  // Taken down by its owner, not closed: no event, and the loop goes on.
  events_ = nullptr;
  ended_ = true;
  if (window_ != nullptr) DestroyWindow(window_);
  if (font_ != nullptr) DeleteObject(font_);
  for (const HFONT narrow : narrowFonts_) DeleteObject(narrow);
  if (lampBrush_ != nullptr) DeleteObject(lampBrush_);
}

void Win32Window::bind(StationEvents& events) {
  if (!ended_) events_ = &events;
}

void Win32Window::dispatch(void (StationEvents::*handler)()) {
  if (events_ != nullptr && !ended_) (events_->*handler)();
}

HWND Win32Window::control(std::string_view name) const {
  for (std::size_t i = 0; i < kWindowLayout.size(); ++i) {
    if (kWindowLayout[i].name == name) return controls_[i];
  }
  return nullptr;
}

HWND Win32Window::list(ListId id) const { return lists_[slotOf(id)].handle(); }

HWND Win32Window::textBox(TextId id) const {
  return controls_[layoutIndex(ControlKind::TextBox, idOf(id))];
}

HWND Win32Window::label(LabelId id) const {
  return controls_[layoutIndex(ControlKind::Label, idOf(id))];
}

HWND Win32Window::checkBox(CheckId id) const {
  return controls_[layoutIndex(ControlKind::CheckBox, idOf(id))];
}

HWND Win32Window::button(ButtonId id) const {
  return controls_[layoutIndex(ControlKind::Button, idOf(id))];
}

HWND Win32Window::lamp() const { return controls_[layoutIndex(ControlKind::Lamp)]; }
HWND Win32Window::driveList() const { return drive_.handle(); }
HWND Win32Window::dirList() const { return dir_.handle(); }

std::size_t Win32Window::itemCount(ListId id) const { return lists_[slotOf(id)].count(); }

std::string Win32Window::item(ListId id, std::size_t index) const {
  return std::string(lists_[slotOf(id)].item(index));
}

void Win32Window::addItem(ListId list, const std::string& item) {
  lists_[slotOf(list)].append(item);
  // One flush for every append made before the loop next gets round to it.
  if (flushPosted_) return;
  flushPosted_ = window_ != nullptr && PostMessageW(window_, kFlushLists, 0, 0) != FALSE;
  if (!flushPosted_) lists_[slotOf(list)].flush();
}

std::string Win32Window::text(TextId box) const {
  const HWND edit = textBox(box);
  return edit != nullptr ? windowText(edit) : closedTexts_[slotOf(box)];
}

void Win32Window::setText(TextId box, const std::string& text) {
  if (this->text(box) == text) return;
  if (const HWND edit = textBox(box); edit != nullptr) {
    // The change is told below, once, whatever the control tells.
    settingText_ = true;
    SetWindowTextW(edit, widen(text).c_str());
    settingText_ = false;
  } else {
    closedTexts_[slotOf(box)] = text;
  }
  // The station's own changes count as much as the operator's: the
  // countdown of Obs # is part of the run to remember. Text2 is no setting.
  if (box != TextId::Text2) dispatch(&StationEvents::Controls_Change);
}

void Win32Window::setCaption(LabelId label, const std::string& caption) {
  const HWND shown = this->label(label);
  if (shown == nullptr) return;
  SetWindowTextW(shown, widen(caption).c_str());
  // A caption on the lamp may cross the other label there.
  const std::size_t index = layoutIndex(ControlKind::Label, idOf(label));
  if (liesOnLamp(index)) invalidateLamp();
}

void Win32Window::invalidateLamp() const {
  if (const HWND shown = lamp(); shown != nullptr) InvalidateRect(shown, nullptr, TRUE);
  for (std::size_t i = 0; i < kWindowLayout.size(); ++i) {
    if (controls_[i] != nullptr && liesOnLamp(i)) InvalidateRect(controls_[i], nullptr, TRUE);
  }
}

void Win32Window::setLampColour(std::uint32_t colour) {
  // The station's colour values are COLORREFs already.
  const HBRUSH brush = CreateSolidBrush(colour & 0xFFFFFFu);
  if (brush == nullptr) return;
  if (lampBrush_ != nullptr) DeleteObject(lampBrush_);
  lampBrush_ = brush;
  invalidateLamp();
}

int Win32Window::checkValue(CheckId box) const {
  const HWND check = checkBox(box);
  if (check == nullptr) return closedChecks_[slotOf(box)];
  return SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void Win32Window::setCheckValue(CheckId box, int value) {
  const int wanted = value != 0 ? 1 : 0;
  if (checkValue(box) == wanted) return;
  if (const HWND check = checkBox(box); check != nullptr) {
    SendMessageW(check, BM_SETCHECK, wanted != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
  } else {
    closedChecks_[slotOf(box)] = wanted;
  }
  dispatch(&StationEvents::Controls_Change);
}

void Win32Window::setEnabled(ButtonId button, bool enabled) {
  if (const HWND shown = this->button(button); shown != nullptr) EnableWindow(shown, enabled);
}

std::string Win32Window::drive() const { return drive_.drive(); }

std::string Win32Window::dirPath() const { return dir_.path(); }

void Win32Window::setDirPath(const std::string& path) {
  const std::string requested = fullOrAsGiven(path);
  const std::string startDir = narrow(currentDirectory()).value_or("");
  for (const std::string& candidate :
       driveDirectories_.candidates(requested, startDir, drive_.drives())) {
    if (const Result shown = dir_.open(widen(candidate)); !shown) {
      readFailed(shown.error);
      continue;
    }
    directoryShown();
    dispatch(&StationEvents::Dir1_Change);
    return;
  }
  // Nothing could be shown: the drive list goes back to where Dir1 still is.
  drive_.selectDriveOf(dir_.path());
}

void Win32Window::openSelectedDirectory() {
  if (!dir_.hasSelection()) return;
  if (const Result opened = dir_.openSelected(); !opened) {
    readFailed(opened.error);
    return;
  }
  directoryShown();
  dispatch(&StationEvents::Dir1_Change);
}

void Win32Window::directoryShown() {
  driveDirectories_.opened(dir_.path(), drive_.drives());
  drive_.selectDriveOf(dir_.path());
}

void Win32Window::readFailed(const std::string& message) {
  dirReadError_ = message;
  dispatch(&StationEvents::Dir1_ReadError);
}

std::string Win32Window::dirReadError() const { return dirReadError_; }

void Win32Window::beep() { MessageBeep(MB_OK); }

void Win32Window::endProgram() {
  if (ended_) return;
  ended_ = true;
  events_ = nullptr;
  if (window_ != nullptr) DestroyWindow(window_);
  PostQuitMessage(0);
}

}  // namespace meterstation
