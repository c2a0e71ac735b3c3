#include "platform/win32/drive_combo.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <optional>
#include <utility>

#include "platform/drive_directories.h"
#include "platform/win32/directory_paths.h"
#include "platform/win32/wide_text.h"

namespace meterstation {

namespace {

bool isReady(const wchar_t* root) {
  const UINT type = GetDriveTypeW(root);
  if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR) return false;
  ULARGE_INTEGER freeBytes{};
  return GetDiskFreeSpaceExW(root, &freeBytes, nullptr, nullptr) != FALSE;
}

}  // namespace

std::vector<std::string> DriveCombo::readyDrives() {
  wchar_t letters[26 * 4 + 1];
  const DWORD length = GetLogicalDriveStringsW(static_cast<DWORD>(std::size(letters)), letters);
  if (length == 0 || length >= std::size(letters)) return {};
  DWORD previousMode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
  std::vector<std::string> roots;
  for (const wchar_t* root = letters; *root != L'\0'; root += wcslen(root) + 1) {
    const std::optional<std::string> named = narrow(root);
    if (named && isReady(root)) roots.push_back(*named);
  }
  SetThreadErrorMode(previousMode, nullptr);
  return roots;
}

void DriveCombo::attach(HWND combo) {
  combo_ = combo;
  refresh();
  selectDriveOf(narrow(currentDirectory()).value_or(""));
}

void DriveCombo::setDrives(std::vector<std::string> roots) {
  for (std::string& root : roots) {
    if (!root.empty() && root[0] >= 'a' && root[0] <= 'z')
      root[0] = static_cast<char>(root[0] - 32);
  }
  std::ranges::sort(roots);
  const auto [from, to] = std::ranges::unique(roots);
  roots.erase(from, to);
  drives_ = std::move(roots);
  if (combo_ != nullptr) {
    SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
    for (const std::string& root : drives_) {
      SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(root).c_str()));
    }
  }
  const auto kept = std::ranges::find(drives_, chosen_);
  if (kept != drives_.end()) {
    choose(static_cast<std::size_t>(kept - drives_.begin()));
  } else if (!drives_.empty()) {
    choose(0);
  } else {
    chosen_.clear();
  }
}

void DriveCombo::selectDriveOf(const std::string& path) {
  const auto holding = std::ranges::find(drives_, driveHolding(path, drives_, '\\'));
  if (holding != drives_.end()) choose(static_cast<std::size_t>(holding - drives_.begin()));
}

void DriveCombo::choose(std::size_t index) {
  chosen_ = drives_[index];
  if (combo_ != nullptr) SendMessageW(combo_, CB_SETCURSEL, index, 0);
}

bool DriveCombo::takeChoice() {
  if (combo_ == nullptr) return false;
  const LRESULT row = SendMessageW(combo_, CB_GETCURSEL, 0, 0);
  if (row < 0 || static_cast<std::size_t>(row) >= drives_.size()) return false;
  const std::string& selected = drives_[static_cast<std::size_t>(row)];
  // Choosing the entry already chosen is no change.
  if (selected == chosen_) return false;
  chosen_ = selected;
  return true;
}

}  // namespace meterstation
