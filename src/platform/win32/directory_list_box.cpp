#include "platform/win32/directory_list_box.h"

#include <algorithm>
#include <optional>

#include "platform/win32/directory_paths.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"

namespace meterstation {

namespace {

constexpr int kTextMargin = 2;

Result cannotRead(std::wstring_view path, const std::string& reason) {
  return Result::failure("cannot read directory " + narrowForMessage(path) + ": " + reason);
}

bool isBlank(std::wstring_view path) {
  return std::ranges::all_of(path, [](wchar_t c) { return c == L' ' || c == L'\t'; });
}

int indentStep(HDC dc) {
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  return std::max(4, static_cast<int>(metrics.tmAveCharWidth) * 2);
}

}  // namespace

void DirectoryListBox::attach(HWND list) {
  list_ = list;
  const std::vector<std::wstring> chain = directoryChain(currentDirectory());
  for (auto dir = chain.crbegin(); dir != chain.crend(); ++dir) {
    if (open(*dir)) break;
  }
}

Result DirectoryListBox::open(std::wstring_view path) {
  // An empty path would silently mean the process's directory.
  if (isBlank(path)) return cannotRead(path, "no path given");
  const std::wstring full = fullDirectoryPath(path);
  if (full.empty()) return cannotRead(path, systemReason(GetLastError()));
  // The station's texts hold one byte a character; a path that does not
  // fit could not be handed on to the station unchanged.
  const std::optional<std::string> named = narrow(full);
  if (!named) return cannotRead(full, "its name has characters outside Latin-1");
  std::vector<std::wstring> children;
  if (Result listed = listSubdirectories(full, children); !listed) {
    return cannotRead(full, listed.error);
  }
  show(full, children);
  path_ = *named;
  return Result::success();
}

void DirectoryListBox::show(const std::wstring& path, const std::vector<std::wstring>& children) {
  const std::vector<std::wstring> chain = directoryChain(path);
  entries_.clear();
  for (std::size_t level = 0; level < chain.size(); ++level) {
    entries_.push_back({chain[level], directoryCaption(chain[level]), static_cast<int>(level)});
  }
  const std::wstring prefix = path.back() == L'\\' ? path : path + L'\\';
  for (const std::wstring& name : children) {
    entries_.push_back({prefix + name, name, static_cast<int>(chain.size())});
  }
  openRow_ = chain.size() - 1;
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  for (const Entry& entry : entries_) {
    SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.caption.c_str()));
  }
  SendMessageW(list_, LB_SETCURSEL, openRow_, 0);
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

int DirectoryListBox::selectedRow() const {
  if (list_ == nullptr) return -1;
  const LRESULT row = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  return row >= 0 && static_cast<std::size_t>(row) < entries_.size() ? static_cast<int>(row) : -1;
}

bool DirectoryListBox::hasSelection() const { return selectedRow() >= 0; }

Result DirectoryListBox::openSelected() {
  const int row = selectedRow();
  if (row < 0) return Result::failure("no directory selected");
  // Copied: opening replaces the entries.
  const std::wstring target = entries_[static_cast<std::size_t>(row)].path;
  return open(target);
}

void DirectoryListBox::draw(const DRAWITEMSTRUCT& item) const {
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (item.itemID < entries_.size()) {
    const Entry& entry = entries_[item.itemID];
    RECT text = item.rcItem;
    text.left += kTextMargin + indentStep(item.hDC) * entry.indent;
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextW(item.hDC, entry.caption.c_str(), static_cast<int>(entry.caption.size()), &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  if ((item.itemState & ODS_FOCUS) != 0) DrawFocusRect(item.hDC, &item.rcItem);
}

}  // namespace meterstation
