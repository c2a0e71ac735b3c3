#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/drive_directories.h"
#include "platform/station_events.h"
#include "platform/window_controls.h"
#include "platform/window_layout.h"

namespace meterstation::testing {

// The working directory the fake window opens, as the station names it.
inline const std::string kWorkDir = "/home/op/data/qN07/";

// The window's controls in memory, starting as the window opens. Its paths
// are those of a Linux machine; a drive shows the directory
// DriveDirectories chooses, as in the real window.
class FakeWindow : public WindowControls {
 public:
  // For its drive list alone: the station takes its separator from the
  // host.
  static constexpr char kSeparator = '/';

  std::vector<std::string> list1;
  std::vector<std::string> list2;
  // As the layout has them when the window opens.
  std::map<TextId, std::string> texts;
  std::map<LabelId, std::string> captions;
  std::optional<std::uint32_t> lamp;
  std::map<CheckId, int> checks;
  std::map<ButtonId, bool> enabled;
  std::string driveName = "/";
  std::string dir = "/home/op/data/qN07";
  std::vector<std::string> drives = {"/"};
  // Where the station was started.
  std::string startDir = "/home/op/data/qN07";
  // Directories the list cannot read, with the text it gives for each.
  std::map<std::string, std::string> unreadable;
  std::string readError;
  DriveDirectories driveDirectories{kSeparator};
  int beeps = 0;
  bool ended = false;
  StationEvents* events = nullptr;

  FakeWindow() {
    for (const ControlLayout& control : kWindowLayout) startAs(control);
  }

  void addItem(ListId list, const std::string& item) override {
    (list == ListId::List1 ? list1 : list2).push_back(item);
  }
  std::string text(TextId box) const override { return texts.at(box); }
  // As the real text boxes do, every change of a run's control is told.
  void setText(TextId box, const std::string& value) override {
    texts[box] = value;
    if (events != nullptr && box != TextId::Text2) events->Controls_Change();
  }
  // The operator types into a box.
  void type(TextId box, const std::string& value) { setText(box, value); }
  void setCaption(LabelId label, const std::string& caption) override { captions[label] = caption; }
  void setLampColour(std::uint32_t colour) override { lamp = colour; }
  int checkValue(CheckId box) const override { return checks.at(box); }
  void setCheckValue(CheckId box, int value) override {
    checks[box] = value;
    if (events != nullptr) events->Controls_Change();
  }
  void setEnabled(ButtonId button, bool on) override { enabled[button] = on; }
  std::string drive() const override { return driveName; }
  std::string dirPath() const override { return dir; }
  void setDirPath(const std::string& path) override {
    for (const std::string& candidate : driveDirectories.candidates(path, startDir, drives)) {
      if (const auto failed = unreadable.find(candidate); failed != unreadable.end()) {
        readError = failed->second;
        if (events != nullptr) events->Dir1_ReadError();
        continue;
      }
      dir = candidate;
      driveDirectories.opened(dir, drives);
      followDir();
      if (events != nullptr) events->Dir1_Change();
      return;
    }
    followDir();
  }
  std::string dirReadError() const override { return readError; }
  void beep() override { ++beeps; }
  void endProgram() override { ended = true; }

  void startAs(const ControlLayout& control) {
    const std::string text(control.text);
    switch (control.kind) {
      case ControlKind::TextBox:
        texts[static_cast<TextId>(control.id)] = text;
        break;
      case ControlKind::Label:
        if (control.id != kNoId) captions[static_cast<LabelId>(control.id)] = text;
        break;
      case ControlKind::CheckBox:
        checks[static_cast<CheckId>(control.id)] = control.ticked ? 1 : 0;
        break;
      case ControlKind::Button:
        enabled[static_cast<ButtonId>(control.id)] = control.enabled;
        break;
      default:
        break;
    }
  }

  // The drive list shows the drive Dir1 is on.
  void followDir() {
    const std::string drive = driveHolding(dir, drives, kSeparator);
    if (!drive.empty()) driveName = drive;
  }

  bool list2Has(const std::string& item) const {
    for (const std::string& line : list2) {
      if (line == item) return true;
    }
    return false;
  }
};

}  // namespace meterstation::testing
