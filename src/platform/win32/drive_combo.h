#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace meterstation {

// The drive list: a drop-down list of the ready drives' roots ("C:\"). The
// chosen drive is kept here, so it is known after the window has gone.
// Only the operator's choice of another entry counts as a choice (see
// takeChoice); selecting from code never does.
class DriveCombo {
 public:
  // Fills the combo box with the ready drives and chooses the one holding
  // the process's directory.
  void attach(HWND combo);
  void detach() { combo_ = nullptr; }
  HWND handle() const { return combo_; }

  const std::string& drive() const { return chosen_; }
  const std::vector<std::string>& drives() const { return drives_; }
  // Replaces the entries (sorted, without duplicates), keeping the chosen
  // drive when it is still listed.
  void setDrives(std::vector<std::string> roots);
  // Drives come and go while the station runs (a stick is plugged in).
  void refresh() { setDrives(readyDrives()); }
  // Chooses the listed drive holding the path, if any.
  void selectDriveOf(const std::string& path);
  // After the combo box's notice of a selection: whether it made another
  // drive the chosen one.
  bool takeChoice();

  // The ready drives' roots. A drive with no medium in it is left out,
  // without the system asking the operator to insert one.
  static std::vector<std::string> readyDrives();

 private:
  void choose(std::size_t index);

  HWND combo_ = nullptr;
  std::vector<std::string> drives_;
  std::string chosen_;
};

}  // namespace meterstation
