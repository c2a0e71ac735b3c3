#include "platform/win32/station_list_box.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <string>

#include "platform/win32/wide_text.h"

namespace meterstation {

namespace {

constexpr int kTextMargin = 2;
constexpr UINT_PTR kSubclassId = 1;

// A list box counts its rows in an int.
WPARAM rowsFor(std::size_t count) { return std::min<std::size_t>(count, INT_MAX); }

}  // namespace

void StationListBox::attach(HWND list) {
  list_ = list;
  SetWindowSubclass(list, &StationListBox::procedure, kSubclassId,
                    reinterpret_cast<DWORD_PTR>(this));
  stale_ = !store_.empty();
}

void StationListBox::append(std::string_view item) {
  store_.append(item);
  stale_ = true;
}

void StationListBox::flush() {
  if (!stale_ || list_ == nullptr) return;
  stale_ = false;
  // Judged before the list box grows: an append must not count as the
  // operator leaving the bottom.
  const bool follow = atBottom();
  const std::size_t top = topRow();
  SendMessageW(list_, LB_SETCOUNT, rowsFor(store_.size()), 0);
  scrollTo(follow ? lastTopRow(store_.size()) : top);
}

std::size_t StationListBox::shownCount() const {
  const LRESULT rows = list_ != nullptr ? SendMessageW(list_, LB_GETCOUNT, 0, 0) : 0;
  return rows > 0 ? static_cast<std::size_t>(rows) : 0;
}

std::size_t StationListBox::topRow() const {
  const LRESULT top = list_ != nullptr ? SendMessageW(list_, LB_GETTOPINDEX, 0, 0) : 0;
  return top > 0 ? static_cast<std::size_t>(top) : 0;
}

std::size_t StationListBox::visibleRows() const {
  if (list_ == nullptr) return 1;
  RECT client{};
  GetClientRect(list_, &client);
  const LRESULT rowHeight = SendMessageW(list_, LB_GETITEMHEIGHT, 0, 0);
  if (rowHeight <= 0) return 1;
  return static_cast<std::size_t>(std::max<LRESULT>(1, (client.bottom - client.top) / rowHeight));
}

std::size_t StationListBox::lastTopRow(std::size_t count) const {
  const std::size_t rows = visibleRows();
  return count > rows ? count - rows : 0;
}

bool StationListBox::atBottom() const { return topRow() >= lastTopRow(shownCount()); }

void StationListBox::scrollTo(std::size_t top) const {
  const std::size_t row = std::min(top, lastTopRow(shownCount()));
  if (row != topRow()) SendMessageW(list_, LB_SETTOPINDEX, rowsFor(row), 0);
}

// The list box itself takes the thumb's position from the message, which
// holds 16 bits: a drag in a list of millions would land near the top.
void StationListBox::followThumb() const {
  SCROLLINFO bar{};
  bar.cbSize = sizeof bar;
  bar.fMask = SIF_TRACKPOS;
  if (GetScrollInfo(list_, SB_VERT, &bar))
    scrollTo(static_cast<std::size_t>(std::max(0, bar.nTrackPos)));
}

// The keys scroll the view, as there is no selection to move.
bool StationListBox::scrollByKey(WPARAM key) const {
  const std::size_t top = topRow();
  const std::size_t page = visibleRows();
  switch (key) {
    case VK_UP:
      scrollTo(top > 0 ? top - 1 : 0);
      return true;
    case VK_DOWN:
      scrollTo(top + 1);
      return true;
    case VK_PRIOR:
      scrollTo(top > page ? top - page : 0);
      return true;
    case VK_NEXT:
      scrollTo(top + page);
      return true;
    case VK_HOME:
      scrollTo(0);
      return true;
    case VK_END:
      scrollTo(lastTopRow(shownCount()));
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK StationListBox::procedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR id, DWORD_PTR self) {
  const auto* box = reinterpret_cast<const StationListBox*>(self);
  switch (message) {
    case WM_VSCROLL:
      if (LOWORD(wParam) == SB_THUMBTRACK || LOWORD(wParam) == SB_THUMBPOSITION) {
        box->followThumb();
        return 0;
      }
      break;
    case WM_KEYDOWN:
      if (box->scrollByKey(wParam)) return 0;
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(list, &StationListBox::procedure, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(list, message, wParam, lParam);
}

void StationListBox::draw(const DRAWITEMSTRUCT& item) const {
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_WINDOW));
  if (item.itemID >= store_.size()) return;
  const std::wstring text = widen(store_.at(item.itemID));
  RECT cell = item.rcItem;
  cell.left += kTextMargin;
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(COLOR_WINDOWTEXT));
  DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &cell,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

}  // namespace meterstation
