#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace meterstation {

// The directory list: the open directory's ancestors from the root down,
// the open directory itself, then its subdirectories by name, each level
// indented one step more. An owner-drawn list box with strings, so its
// rows carry their captions. The open directory is kept here, so it is
// known after the window has gone.
class DirectoryListBox {
 public:
  // Opens where the process was started; if that cannot be listed, the
  // nearest ancestor that can.
  void attach(HWND list);
  void detach() { list_ = nullptr; }
  HWND handle() const { return list_; }

  // The open directory: full path, no trailing backslash except at a root.
  const std::string& path() const { return path_; }
  // Lists the directory and makes it the open one. A directory that cannot
  // be read leaves the list as it was; the failure carries the message for
  // the operator: "cannot read directory <path>: <reason>".
  Result open(std::wstring_view path);
  // The operator's entry (double click or Enter); false when none is
  // selected.
  bool hasSelection() const;
  Result openSelected();

  std::size_t rows() const { return entries_.size(); }
  std::size_t openRow() const { return openRow_; }
  const std::wstring& entryPath(std::size_t row) const { return entries_[row].path; }
  int indentOf(std::size_t row) const { return entries_[row].indent; }

  void draw(const DRAWITEMSTRUCT& item) const;

 private:
  struct Entry {
    std::wstring path;
    std::wstring caption;
    int indent = 0;
  };

  void show(const std::wstring& path, const std::vector<std::wstring>& children);
  int selectedRow() const;

  HWND list_ = nullptr;
  std::vector<Entry> entries_;
  std::string path_;
  std::size_t openRow_ = 0;
};

}  // namespace meterstation
