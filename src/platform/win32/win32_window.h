#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_directories.h"
#include "platform/station_events.h"
#include "platform/win32/directory_list_box.h"
#include "platform/win32/drive_combo.h"
#include "platform/win32/station_list_box.h"
#include "platform/window_controls.h"
#include "platform/window_layout.h"

namespace meterstation {

// The station's one window on the Win32 API, built from kWindowLayout.
// Events reach the station only once bind() has been called, from the
// window procedure on the thread that made the window, and stop for good
// at endProgram(). The thread's message loop hands every message to
// preTranslate() before translating and dispatching it.
class Win32Window : public WindowControls {
 public:
  Win32Window();
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  void bind(StationEvents& events);

  void addItem(ListId list, const std::string& item) override;
  std::string text(TextId box) const override;
  void setText(TextId box, const std::string& text) override;
  void setCaption(LabelId label, const std::string& caption) override;
  void setLampColour(std::uint32_t colour) override;
  int checkValue(CheckId box) const override;
  void setCheckValue(CheckId box, int value) override;
  void setEnabled(ButtonId button, bool enabled) override;
  std::string drive() const override;
  std::string dirPath() const override;
  void setDirPath(const std::string& path) override;
  std::string dirReadError() const override;
  void beep() override;
  void endProgram() override;

  // Null when the window could not be made (creationError() says why) or
  // has been destroyed.
  HWND handle() const { return window_; }
  const std::string& creationError() const { return creationError_; }
  void show();
  // True when the message was taken (keyboard moves between controls,
  // Enter in the directory list): it must then be neither translated nor
  // dispatched.
  bool preTranslate(MSG& message);

  // By the layout's name; null for none.
  HWND control(std::string_view name) const;
  HWND list(ListId id) const;
  HWND textBox(TextId id) const;
  HWND label(LabelId id) const;
  HWND checkBox(CheckId id) const;
  HWND button(ButtonId id) const;
  HWND lamp() const;
  HWND driveList() const;
  HWND dirList() const;
  const DirectoryListBox& directories() const { return dir_; }
  HWND toolTips() const { return toolTips_; }
  std::size_t itemCount(ListId id) const;
  std::string item(ListId id, std::size_t index) const;
  const std::vector<std::string>& drives() const { return drive_.drives(); }
  bool ended() const { return ended_; }
  // The user's session is ending (logout, shutdown): a close from now on is
  // the session's, not the operator's, until the session end is called off
  // or the operator next presses a key or a mouse button in the window.
  bool sessionEnding() const { return sessionEnding_; }

 private:
  // Posted to the window: the lists show what was appended since.
  static constexpr UINT kFlushLists = WM_APP + 1;

  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // win32_window_build.cpp
  void build();
  HWND makeControl(const ControlLayout& control, std::size_t index, SIZE dpi);
  void attachControl(const ControlLayout& control, HWND made, int height);
  void fitCaption(const ControlLayout& control, HWND made);
  void addToolTip(HWND control, std::string_view tip);
  void orderForTabbing();
  // win32_window_messages.cpp
  void onCommand(WORD id, WORD code, HWND from);
  void onDriveNotice(WORD code);
  bool onDrawItem(const DRAWITEMSTRUCT& item);
  HBRUSH lampFill() const;
  void drawLamp(const DRAWITEMSTRUCT& item) const;
  void drawLampLabel(const DRAWITEMSTRUCT& item) const;
  void onActivate(bool active);
  void closeBy(void (StationEvents::*handler)());
  void flushLists();
  void keepClosingState();
  void forgetControls();
  // win32_window.cpp
  void dispatch(void (StationEvents::*handler)());
  void openSelectedDirectory();
  void directoryShown();
  void readFailed(const std::string& message);
  void invalidateLamp() const;

  StationEvents* events_ = nullptr;
  bool ended_ = false;
  bool sessionEnding_ = false;
  bool settingText_ = false;
  bool flushPosted_ = false;
  std::string creationError_;

  HWND window_ = nullptr;
  HWND toolTips_ = nullptr;
  HWND lastFocus_ = nullptr;
  HFONT font_ = nullptr;
  // For the captions the window's face does not fit.
  std::vector<HFONT> narrowFonts_;
  int rowHeight_ = 13;
  std::array<HWND, kWindowLayout.size()> controls_{};
  std::array<StationListBox, 2> lists_;
  DriveCombo drive_;
  DirectoryListBox dir_;
  HBRUSH lampBrush_ = nullptr;
  // What the text boxes and check boxes held when the window went.
  std::array<std::string, 4> closedTexts_;
  std::array<int, 2> closedChecks_{};

  DriveDirectories driveDirectories_{'\\'};
  std::string dirReadError_;
};

}  // namespace meterstation
