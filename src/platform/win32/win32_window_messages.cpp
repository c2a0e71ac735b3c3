#include "platform/win32/win32_window.h"

#include <array>
#include <iterator>

#include "platform/win32/layout_index.h"

namespace meterstation {

namespace {

using Handler = void (StationEvents::*)();
constexpr std::array<Handler, 6> kClicks = {
    &StationEvents::Command1_Click, &StationEvents::Command2_Click, &StationEvents::Command3_Click,
    &StationEvents::Command4_Click, &StationEvents::Command5_Click, &StationEvents::Command6_Click};

bool isOperatorPress(UINT message) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDOWN:
    case WM_XBUTTONDBLCLK:
      return true;
    default:
      return false;
  }
}

}  // namespace

LRESULT CALLBACK Win32Window::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->onMessage(message, wParam, lParam)
                         : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32Window::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND window = window_;
  switch (message) {
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_DRAWITEM:
      if (onDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_MEASUREITEM:
      // Asked while an owner-drawn list is made, before it has its font.
      reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(rowHeight_);
      return TRUE;
    case WM_ACTIVATE:
      onActivate(LOWORD(wParam) != WA_INACTIVE);
      return 0;
    case kFlushLists:
      flushLists();
      return 0;
    case WM_CLOSE:
      closeBy(sessionEnding_ ? &StationEvents::Session_End : &StationEvents::Form_Unload);
      return 0;
    case WM_QUERYENDSESSION:
      sessionEnding_ = true;
      return TRUE;
    case WM_ENDSESSION:
      // The system ends the process soon after this returns.
      if (wParam != FALSE) {
        closeBy(&StationEvents::Session_End);
      } else {
        sessionEnding_ = false;
      }
      return 0;
    case WM_DESTROY:
      keepClosingState();
      return 0;
    case WM_NCDESTROY:
      forgetControls();
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Win32Window::onCommand(WORD id, WORD code, HWND from) {
  // Enter reaches the window as IDOK through the dialog keys.
  if (id == IDOK) {
    if (dir_.handle() != nullptr && GetFocus() == dir_.handle()) openSelectedDirectory();
    return;
  }
  const std::optional<std::size_t> index = layoutIndexOfId(id);
  if (!index) return;
  const ControlLayout& control = kWindowLayout[*index];
  switch (control.kind) {
    case ControlKind::Button:
      // BM_CLICK presses even a disabled button.
      if (code == BN_CLICKED && IsWindowEnabled(from)) {
        dispatch(kClicks[static_cast<std::size_t>(control.id)]);
      }
      break;
    case ControlKind::CheckBox:
      if (code == BN_CLICKED) dispatch(&StationEvents::Controls_Change);
      break;
    case ControlKind::TextBox:
      if (code == EN_CHANGE && !settingText_ && control.id != idOf(TextId::Text2)) {
        dispatch(&StationEvents::Controls_Change);
      }
      break;
    case ControlKind::DriveList:
      onDriveNotice(code);
      break;
    case ControlKind::DirList:
      if (code == LBN_DBLCLK) openSelectedDirectory();
      break;
    default:
      break;
  }
}

void Win32Window::onDriveNotice(WORD code) {
  switch (code) {
    case CBN_DROPDOWN:
      drive_.refresh();
      break;
    case CBN_SELCHANGE:
      // Moving through the dropped list is no choice yet.
      if (SendMessageW(drive_.handle(), CB_GETDROPPEDSTATE, 0, 0) != FALSE) break;
      [[fallthrough]];
    case CBN_SELENDOK:
      if (drive_.takeChoice()) dispatch(&StationEvents::Drive1_Change);
      break;
    default:
      break;
  }
}

bool Win32Window::onDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.hwndItem == lamp()) {
    drawLamp(item);
    return true;
  }
  if (item.CtlType == ODT_STATIC) {
    drawLampLabel(item);
    return true;
  }
  if (item.hwndItem == dir_.handle()) {
    dir_.draw(item);
    return true;
  }
  for (const StationListBox& shown : lists_) {
    if (item.hwndItem == shown.handle()) {
      shown.draw(item);
      return true;
    }
  }
  return false;
}

HBRUSH Win32Window::lampFill() const {
  // Until the station sets a colour the lamp shows the window's own.
  return lampBrush_ != nullptr ? lampBrush_ : GetSysColorBrush(COLOR_BTNFACE);
}

void Win32Window::drawLamp(const DRAWITEMSTRUCT& item) const {
  FillRect(item.hDC, &item.rcItem, lampFill());
  FrameRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_WINDOWFRAME));
}

// The lamp shows through the labels on it: each draws the lamp's colour
// and every caption on the lamp that crosses it, so that where two labels
// meet both captions show, as on the lamp itself.
void Win32Window::drawLampLabel(const DRAWITEMSTRUCT& item) const {
  FillRect(item.hDC, &item.rcItem, lampFill());
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i] == nullptr || !liesOnLamp(i)) continue;
    RECT place{};
    GetClientRect(controls_[i], &place);
    MapWindowPoints(controls_[i], item.hwndItem, reinterpret_cast<POINT*>(&place), 2);
    wchar_t caption[256] = L"";
    const int length = GetWindowTextW(controls_[i], caption, static_cast<int>(std::size(caption)));
    const HGDIOBJ previous = SelectObject(
        item.hDC, reinterpret_cast<HFONT>(SendMessageW(controls_[i], WM_GETFONT, 0, 0)));
    DrawTextW(item.hDC, caption, length, &place,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, previous);
  }
}

void Win32Window::onActivate(bool active) {
  if (!active) {
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window_, focus)) lastFocus_ = focus;
    return;
  }
  // Back where the operator was, or at the first control in the keyboard's
  // order.
  const bool canReturn =
      lastFocus_ != nullptr && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_);
  const HWND target = canReturn ? lastFocus_ : GetNextDlgTabItem(window_, nullptr, FALSE);
  if (target != nullptr) SetFocus(target);
}

void Win32Window::closeBy(void (StationEvents::*handler)()) {
  dispatch(handler);
  // The handler may have ended the program, and the window with it.
  if (window_ != nullptr) DestroyWindow(window_);
  PostQuitMessage(0);
}

void Win32Window::flushLists() {
  flushPosted_ = false;
  for (StationListBox& shown : lists_) shown.flush();
}

// The station may still read its settings once the window has gone.
void Win32Window::keepClosingState() {
  for (const TextId id : {TextId::Text1, TextId::Text2, TextId::Text3, TextId::Text4}) {
    closedTexts_[static_cast<std::size_t>(id)] = text(id);
  }
  for (const CheckId id : {CheckId::Check1, CheckId::Check2}) {
    closedChecks_[static_cast<std::size_t>(id)] = checkValue(id);
  }
}

void Win32Window::forgetControls() {
  controls_.fill(nullptr);
  for (StationListBox& shown : lists_) shown.detach();
  drive_.detach();
  dir_.detach();
  toolTips_ = nullptr;
  lastFocus_ = nullptr;
  window_ = nullptr;
}

void Win32Window::show() {
  if (window_ == nullptr) return;
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
}

bool Win32Window::preTranslate(MSG& message) {
  if (window_ == nullptr || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) {
    return false;
  }
  // A session end that was called off: the operator works in the window
  // again, so a close from now on is theirs.
  if (sessionEnding_ && isOperatorPress(message.message)) sessionEnding_ = false;
  return IsDialogMessageW(window_, &message) != FALSE;
}

}  // namespace meterstation
