#include "platform/win32/win32_window.h"

#include <commctrl.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "platform/win32/latin1_edit.h"
#include "platform/win32/layout_index.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"

namespace meterstation {

namespace {

constexpr wchar_t kClassName[] = L"meterstation.Win32Window";
// Fixed size: the controls stand where the layout puts them.
constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// The layout was drawn for a small 8-point face; larger type would not fit
// the 17-pixel buttons. The dialog face is Tahoma or its like everywhere.
constexpr int kFontPoints = 8;
constexpr std::wstring_view kFontFace = L"MS Shell Dlg 2";
constexpr int kDropDownRows = 8;

HINSTANCE thisModule() { return GetModuleHandleW(nullptr); }

SIZE screenDpi() {
  SIZE dpi{96, 96};
  if (HDC screen = GetDC(nullptr); screen != nullptr) {
    dpi = {GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
    ReleaseDC(nullptr, screen);
  }
  return dpi;
}

int pixels(int twips, int dpi) { return MulDiv(twips, dpi, kTwipsPerInch); }

bool registerClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = thisModule();
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0;
  }();
  return registered;
}

HFONT makeFont(int dpiY) {
  LOGFONTW face{};
  face.lfHeight = -MulDiv(kFontPoints, dpiY, 72);
  face.lfWeight = FW_NORMAL;
  face.lfCharSet = DEFAULT_CHARSET;
  std::ranges::copy(kFontFace, face.lfFaceName);
  return CreateFontIndirectW(&face);
}

// The face's measures on the screen; zeros when there is no screen.
TEXTMETRICW metricsOf(HFONT font) {
  TEXTMETRICW metrics{};
  if (HDC screen = GetDC(nullptr); screen != nullptr) {
    const HGDIOBJ previous = SelectObject(screen, font);
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
  }
  return metrics;
}

int rowHeightOf(HFONT font) { return std::max<int>(1, metricsOf(font).tmHeight); }

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD extendedStyle;
};

ControlClass classOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::DriveList:
      return {WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL, 0};
    case ControlKind::DirList:
      return {WC_LISTBOXW,
              LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL,
              WS_EX_CLIENTEDGE};
    case ControlKind::Button:
      return {WC_BUTTONW, BS_PUSHBUTTON, 0};
    case ControlKind::ListBox:
      return {WC_LISTBOXW,
              LBS_NODATA | LBS_OWNERDRAWFIXED | LBS_NOSEL | LBS_NOINTEGRALHEIGHT | WS_VSCROLL,
              WS_EX_CLIENTEDGE};
    case ControlKind::Lamp:
      return {WC_STATICW, SS_OWNERDRAW, 0};
    case ControlKind::Label:
      // Captions come from the station: an '&' in them is text to show.
      // One line, cut where the label ends. SS_NOTIFY lets the tooltips
      // see the mouse over a label.
      return {WC_STATICW, SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX | SS_NOTIFY, 0};
    case ControlKind::TextBox:
      return {WC_EDITW, ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::CheckBox:
      return {WC_BUTTONW, BS_AUTOCHECKBOX, 0};
  }
  return {WC_STATICW, 0, 0};
}

// The closed drop-down list takes its height from its selection field's,
// by a rule of its own; the layout's height is what the rest of the window
// was drawn around.
void fitClosedHeight(HWND combo, int height) {
  const auto closedHeight = [combo] {
    RECT shown{};
    GetWindowRect(combo, &shown);
    return static_cast<LRESULT>(shown.bottom - shown.top);
  };
  const LRESULT field = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
  if (field <= 0) return;
  SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
  const LRESULT fitted = field + height - closedHeight();
  if (fitted > 0) SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), fitted);
}

bool hasCaption(ControlKind kind) {
  return kind == ControlKind::Button || kind == ControlKind::Label || kind == ControlKind::CheckBox;
}

// What a control takes beside its caption: a button's edges, a check
// box's box.
int captionRoom(ControlKind kind) {
  switch (kind) {
    case ControlKind::Button:
      return 6;
    case ControlKind::CheckBox:
      return GetSystemMetrics(SM_CXMENUCHECK) + 4;
    default:
      return 0;
  }
}

int captionWidth(HWND control, HFONT font) {
  const int length = GetWindowTextLengthW(control);
  std::wstring caption(static_cast<std::size_t>(std::max(0, length)) + 1, L'\0');
  caption.resize(
      static_cast<std::size_t>(std::max(0, GetWindowTextW(control, caption.data(), length + 1))));
  SIZE size{};
  if (HDC dc = GetDC(control); dc != nullptr) {
    const HGDIOBJ previous = SelectObject(dc, font);
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
  }
  return size.cx;
}

int averageWidth(HFONT font) { return metricsOf(font).tmAveCharWidth; }

// The face with its letters narrowed just enough for the control's
// caption to fit the width; null when even half as wide they do not.
HFONT narrowedToFit(HWND control, HFONT font, int width) {
  LOGFONTW face{};
  if (GetObjectW(font, sizeof face, &face) == 0) return nullptr;
  const int natural = averageWidth(font);
  for (int average = natural - 1; average > 0 && average * 2 >= natural; --average) {
    face.lfWidth = average;
    const HFONT narrow = CreateFontIndirectW(&face);
    if (narrow == nullptr) return nullptr;
    if (captionWidth(control, narrow) <= width) return narrow;
    DeleteObject(narrow);
  }
  return nullptr;
}

}  // namespace

void Win32Window::build() {
  INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&common);
  if (!registerClass(&Win32Window::procedure)) {
    creationError_ = "cannot register the window class: " + systemReason(GetLastError());
    return;
  }
  const SIZE dpi = screenDpi();
  font_ = makeFont(dpi.cy);
  rowHeight_ = rowHeightOf(font_);
  RECT frame{0, 0, pixels(kClientWidthTwips, dpi.cx), pixels(kClientHeightTwips, dpi.cy)};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  window_ = CreateWindowExW(0, kClassName, widen(kWindowTitle).c_str(), kWindowStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                            nullptr, nullptr, thisModule(), this);
  if (window_ == nullptr) {
    creationError_ = "cannot create the window: " + systemReason(GetLastError());
    return;
  }
  toolTips_ =
      CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                      WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, thisModule(), nullptr);
  for (std::size_t i = 0; i < kWindowLayout.size(); ++i) {
    controls_[i] = makeControl(kWindowLayout[i], i, dpi);
  }
  orderForTabbing();
  directoryShown();
}

HWND Win32Window::makeControl(const ControlLayout& control, std::size_t index, SIZE dpi) {
  ControlClass kind = classOf(control.kind);
  // The labels on the lamp draw it behind their captions (drawLampLabel).
  if (liesOnLamp(index)) kind.style = SS_OWNERDRAW | SS_NOTIFY;
  DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_GROUP | kind.style;
  if (control.tabIndex != kNoTab) style |= WS_TABSTOP;
  if (!control.enabled) style |= WS_DISABLED;
  const int height = pixels(control.at.height, dpi.cy);
  // A combo box's height includes its list when dropped down.
  const int madeHeight =
      control.kind == ControlKind::DriveList ? height + kDropDownRows * rowHeight_ : height;
  HWND made = CreateWindowExW(kind.extendedStyle, kind.name, widen(control.text).c_str(), style,
                              pixels(control.at.left, dpi.cx), pixels(control.at.top, dpi.cy),
                              pixels(control.at.width, dpi.cx), madeHeight, window_,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(controlIdOf(index))),
                              thisModule(), nullptr);
  if (made == nullptr) {
    creationError_ =
        "cannot create " + std::string(control.name) + ": " + systemReason(GetLastError());
    return nullptr;
  }
  SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  fitCaption(control, made);
  if (!control.toolTip.empty()) addToolTip(made, control.toolTip);
  attachControl(control, made, height);
  return made;
}

// Gives the control what it needs beyond its class and style.
void Win32Window::attachControl(const ControlLayout& control, HWND made, int height) {
  switch (control.kind) {
    case ControlKind::DriveList:
      fitClosedHeight(made, height);
      drive_.attach(made);
      break;
    case ControlKind::DirList:
      dir_.attach(made);
      break;
    case ControlKind::ListBox:
      lists_[static_cast<std::size_t>(control.id)].attach(made);
      break;
    case ControlKind::TextBox:
      keepLatin1(made);
      break;
    case ControlKind::CheckBox:
      if (control.ticked) SendMessageW(made, BM_SETCHECK, BST_CHECKED, 0);
      break;
    default:
      break;
  }
}

// Not every system's dialog face fits every caption ("vista fix" in 855
// twips): one that does not fit gets narrower letters, as the Qt window
// condenses that one.
void Win32Window::fitCaption(const ControlLayout& control, HWND made) {
  if (!hasCaption(control.kind) || font_ == nullptr) return;
  RECT area{};
  GetClientRect(made, &area);
  const int width = area.right - captionRoom(control.kind);
  if (captionWidth(made, font_) <= width) return;
  if (const HFONT narrow = narrowedToFit(made, font_, width); narrow != nullptr) {
    narrowFonts_.push_back(narrow);
    SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(narrow), FALSE);
  }
}

void Win32Window::addToolTip(HWND control, std::string_view tip) {
  if (toolTips_ == nullptr) return;
  std::wstring text = widen(tip);
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = text.data();
  SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// Tab and the arrow keys walk the controls in z-order from the top, so the
// tabbed controls come first, in the keyboard's order. Below them the
// rest, each made later over one made earlier, as the layout has them
// drawn: the labels over the lamp, Label4 over Label1.
void Win32Window::orderForTabbing() {
  std::vector<std::size_t> order(kWindowLayout.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  const auto rank = [](std::size_t i) {
    const int tab = kWindowLayout[i].tabIndex;
    return tab != kNoTab ? tab : static_cast<int>(2 * kWindowLayout.size() - i);
  };
  std::ranges::sort(order, {}, rank);
  HWND above = HWND_TOP;
  for (const std::size_t i : order) {
    if (controls_[i] == nullptr) continue;
    SetWindowPos(controls_[i], above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    above = controls_[i];
  }
}

}  // namespace meterstation
