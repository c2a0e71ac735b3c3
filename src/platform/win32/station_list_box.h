#pragma once

#include <windows.h>

#include <cstddef>
#include <string_view>

#include "platform/lists/compact_list_store.h"

namespace meterstation {

// A list box for lists that grow for as long as the station runs: an
// owner-drawn list box with no data of its own (LBS_NODATA), drawing its
// visible rows from the store. Items are Latin-1 bytes. While the view is
// at the bottom it follows the newest item; once the operator scrolls up
// it stays put until they scroll back down.
//
// An append reaches the store at once but the list box only at flush():
// growing the list box costs milliseconds whatever the number of rows, so
// a reading's items are shown together.
class StationListBox {
 public:
  void attach(HWND list);
  void detach() { list_ = nullptr; }
  HWND handle() const { return list_; }

  void append(std::string_view item);
  void flush();

  std::size_t count() const { return store_.size(); }
  std::string_view item(std::size_t index) const { return store_.at(index); }
  const CompactListStore& store() const { return store_; }

  // Of the list box as shown.
  std::size_t topRow() const;
  // Rows that fit wholly in the view (at least one).
  std::size_t visibleRows() const;
  bool atBottom() const;

  void draw(const DRAWITEMSTRUCT& item) const;

 private:
  static LRESULT CALLBACK procedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR self);
  std::size_t shownCount() const;
  std::size_t lastTopRow(std::size_t count) const;
  void scrollTo(std::size_t top) const;
  void followThumb() const;
  bool scrollByKey(WPARAM key) const;

  CompactListStore store_;
  HWND list_ = nullptr;
  bool stale_ = false;
};

}  // namespace meterstation
