#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/station_events.h"
#include "platform/window_controls.h"

namespace meterstation::testing {

// The window's controls in memory, starting as the window opens. Paths
// use "\" by default so drive-letter examples run as they are written.
class FakeWindow : public WindowControls {
 public:
  std::vector<std::string> list1;
  std::vector<std::string> list2;
  std::map<TextId, std::string> texts = {
      {TextId::Text1, "qN01"}, {TextId::Text2, ""}, {TextId::Text3, "1"}, {TextId::Text4, "2000"}};
  std::map<LabelId, std::string> captions = {
      {LabelId::Label1, ""}, {LabelId::Label3, ""}, {LabelId::Label4, ""}};
  std::optional<std::uint32_t> lamp;
  std::map<CheckId, int> checks = {{CheckId::Check1, 0}, {CheckId::Check2, 1}};
  std::map<ButtonId, bool> enabled = {{ButtonId::Command1, false}, {ButtonId::Command2, false},
                                      {ButtonId::Command3, false}, {ButtonId::Command4, false},
                                      {ButtonId::Command5, true},  {ButtonId::Command6, true}};
  std::string driveName = "D:\\";
  std::string dir = "D:\\data\\qN07";
  // The current directory of each drive, shown when the drive is chosen.
  std::map<std::string, std::string> driveDirs;
  char separator = '\\';
  int beeps = 0;
  bool ended = false;
  StationEvents* events = nullptr;

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
    const auto it = driveDirs.find(path);
    dir = it != driveDirs.end() ? it->second : path;
    if (events != nullptr) events->Dir1_Change();
  }
  char pathSeparator() const override { return separator; }
  void beep() override { ++beeps; }
  void endProgram() override { ended = true; }

  bool list2Has(const std::string& item) const {
    for (const std::string& line : list2) {
      if (line == item) return true;
    }
    return false;
  }
};

}  // namespace meterstation::testing
