#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/directory_paths.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_window.h"
#include "platform/window_layout.h"
#include "support/latin1_bytes.h"
#include "support/silent_station_events.h"
#include "temp_dir.h"

namespace meterstation {
namespace {

class Recorder : public testsupport::SilentStationEvents {
 public:
  std::vector<std::string> log;
  std::function<void()> onDriveChange;
  std::function<void()> onReadError;

  void Form_Unload() override { log.push_back("Form_Unload"); }
  void Drive1_Change() override {
    log.push_back("Drive1_Change");
    if (onDriveChange) onDriveChange();
  }
  void Dir1_Change() override { log.push_back("Dir1_Change"); }
  void Dir1_ReadError() override {
    log.push_back("Dir1_ReadError");
    if (onReadError) onReadError();
  }
  void Command1_Click() override { log.push_back("Command1_Click"); }
  void Command2_Click() override { log.push_back("Command2_Click"); }
  void Command3_Click() override { log.push_back("Command3_Click"); }
  void Command4_Click() override { log.push_back("Command4_Click"); }
  void Command5_Click() override { log.push_back("Command5_Click"); }
  void Command6_Click() override { log.push_back("Command6_Click"); }
  void Controls_Change() override { log.push_back("Controls_Change"); }
  void Session_End() override { log.push_back("Session_End"); }
};

using Log = std::vector<std::string>;

struct Pumped {
  bool quit = false;
  WPARAM code = 0;
};

// The thread's messages, run as the program's loop runs them, until none
// is left.
Pumped pump(Win32Window& window) {
  Pumped pumped;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      pumped = {true, message.wParam};
      continue;
    }
    if (window.preTranslate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return pumped;
}

void press(Win32Window& window, HWND to, WPARAM key) {
  PostMessageW(to, WM_KEYDOWN, key, 1);
  PostMessageW(to, WM_KEYUP, key, 0xC0000001);
  pump(window);
}

std::string shownText(HWND control) {
  wchar_t text[512] = L"";
  GetWindowTextW(control, text, static_cast<int>(std::size(text)));
  return narrowForMessage(text);
}

std::string toolTipOf(const Win32Window& window, HWND control) {
  wchar_t text[512] = L"";
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = window.handle();
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = text;
  SendMessageW(window.toolTips(), TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
  return narrowForMessage(text);
}

int captionWidth(HWND control) {
  const std::wstring caption = widen(shownText(control));
  HDC dc = GetDC(control);
  const HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return size.cx;
}

// Room a caption leaves beside it in its control: a button's edges, a
// check box's box.
int captionRoom(ControlKind kind) {
  switch (kind) {
    case ControlKind::Button:
    case ControlKind::TextBox:
      return 6;
    case ControlKind::CheckBox:
      return GetSystemMetrics(SM_CXMENUCHECK) + 4;
    default:
      return 0;
  }
}

RECT placeOf(HWND control) {
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

SIZE screenDpi() {
  HDC screen = GetDC(nullptr);
  const SIZE dpi{GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
  ReleaseDC(nullptr, screen);
  return dpi;
}

bool showsText(ControlKind kind) {
  return kind == ControlKind::Button || kind == ControlKind::Label ||
         kind == ControlKind::TextBox || kind == ControlKind::CheckBox;
}

std::string currentDir() { return narrow(currentDirectory()).value_or(""); }

TEST(Win32Window, BuildsEveryControlAsTheLayoutSays) {
  Win32Window window;
  ASSERT_NE(window.handle(), nullptr) << window.creationError();
  EXPECT_EQ(shownText(window.handle()), kWindowTitle);
  const SIZE dpi = screenDpi();
  const auto px = [](int twips, LONG perInch) { return MulDiv(twips, perInch, 1440); };
  RECT client{};
  GetClientRect(window.handle(), &client);
  EXPECT_EQ(client.right, px(kClientWidthTwips, dpi.cx));
  EXPECT_EQ(client.bottom, px(kClientHeightTwips, dpi.cy));
  EXPECT_EQ(GetWindowLongW(window.handle(), GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0)
      << "not resizable";

  int tips = 0;
  for (const ControlLayout& control : kWindowLayout) {
    SCOPED_TRACE(std::string(control.name));
    const HWND shown = window.control(control.name);
    ASSERT_NE(shown, nullptr);
    const RECT place = placeOf(shown);
    EXPECT_EQ(place.left, px(control.at.left, dpi.cx));
    EXPECT_EQ(place.top, px(control.at.top, dpi.cy));
    EXPECT_EQ(place.right - place.left, px(control.at.width, dpi.cx));
    EXPECT_EQ(place.bottom - place.top, px(control.at.height, dpi.cy));
    if (showsText(control.kind)) {
      EXPECT_EQ(shownText(shown), control.text);
      EXPECT_LE(captionWidth(shown) + captionRoom(control.kind), place.right - place.left)
          << "the caption fits";
    }
    EXPECT_EQ(IsWindowEnabled(shown) != FALSE, control.enabled);
    EXPECT_EQ((GetWindowLongW(shown, GWL_STYLE) & WS_TABSTOP) != 0, control.tabIndex != kNoTab);
    EXPECT_EQ(toolTipOf(window, shown), control.toolTip);
    tips += control.toolTip.empty() ? 0 : 1;
    if (control.kind == ControlKind::CheckBox) {
      EXPECT_EQ(window.checkValue(static_cast<CheckId>(control.id)), control.ticked ? 1 : 0);
    }
  }
  EXPECT_EQ(SendMessageW(window.toolTips(), TTM_GETTOOLCOUNT, 0, 0), tips);
  EXPECT_EQ(window.itemCount(ListId::List1), 0U);
  EXPECT_EQ(window.itemCount(ListId::List2), 0U);

  // Both lists start where the process was started.
  const std::string start = currentDir();
  EXPECT_EQ(window.dirPath(), start);
  ASSERT_GE(start.size(), 3U);
  EXPECT_EQ(window.drive(), start.substr(0, 3));
  const HWND drives = window.driveList();
  const LRESULT chosen = SendMessageW(drives, CB_GETCURSEL, 0, 0);
  wchar_t shownDrive[16] = L"";
  ASSERT_LT(SendMessageW(drives, CB_GETLBTEXTLEN, chosen, 0), 16);
  SendMessageW(drives, CB_GETLBTEXT, chosen, reinterpret_cast<LPARAM>(shownDrive));
  EXPECT_EQ(narrowForMessage(shownDrive), window.drive());
}

TEST(Win32Window, TabFollowsTheFocusOrder) {
  Win32Window window;
  for (const ButtonId port :
       {ButtonId::Command1, ButtonId::Command2, ButtonId::Command3, ButtonId::Command4}) {
    window.setEnabled(port, true);
  }
  window.show();
  pump(window);
  std::vector<const ControlLayout*> tabbed;
  for (const ControlLayout& control : kWindowLayout) {
    if (control.tabIndex != kNoTab) tabbed.push_back(&control);
  }
  std::ranges::sort(tabbed, {}, &ControlLayout::tabIndex);
  std::vector<std::string> expected;
  for (const ControlLayout* control : tabbed) expected.emplace_back(control->name);
  expected.push_back(expected.front());

  const auto focusName = [&window] {
    for (const ControlLayout& control : kWindowLayout) {
      if (window.control(control.name) == GetFocus()) return std::string(control.name);
    }
    return std::string("(elsewhere)");
  };
  SetFocus(window.control(expected.front()));
  std::vector<std::string> order{focusName()};
  for (std::size_t i = 1; i < expected.size(); ++i) {
    press(window, GetFocus(), VK_TAB);
    order.push_back(focusName());
  }
  EXPECT_EQ(order, expected) << "and round to the first again";
}

TEST(Win32Window, LampShowsItsColourRoundTheLabelsOnIt) {
  Win32Window window;
  window.show();
  window.setCaption(LabelId::Label1, "WWWWWWWWWWWW");
  const HWND label = window.label(LabelId::Label1);
  const auto pixelAt = [](HWND control, int x, int y) {
    POINT at{x, y};
    ClientToScreen(control, &at);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return colour;
  };
  for (const std::uint32_t colour : {kLampRed, kLampYellow, kLampGreen}) {
    window.setLampColour(colour);
    pump(window);
    EXPECT_EQ(pixelAt(window.lamp(), 4, 4), colour);
    RECT area{};
    GetClientRect(label, &area);
    EXPECT_EQ(pixelAt(label, area.right - 1, area.bottom - 1), colour)
        << "the label must not hide the lamp";
    bool textShows = false;
    for (int y = 0; y < area.bottom && !textShows; ++y) {
      for (int x = 0; x < area.right && !textShows; ++x) {
        const COLORREF c = pixelAt(label, x, y);
        textShows = GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
      }
    }
    EXPECT_TRUE(textShows) << "the lamp must not hide the label";
  }
}

TEST(Win32WindowEvents, ClicksAndChangesReachTheStationOnlyOnceBound) {
  Win32Window window;
  Recorder events;
  SendMessageW(window.button(ButtonId::Command5), BM_CLICK, 0, 0);
  window.setText(TextId::Text3, "5");
  pump(window);
  window.bind(events);
  pump(window);
  EXPECT_EQ(events.log, Log{});

  SendMessageW(window.button(ButtonId::Command1), BM_CLICK, 0, 0);
  EXPECT_EQ(events.log, Log{}) << "a disabled button is no button";
  for (int b = 0; b <= idOf(ButtonId::Command6); ++b) {
    window.setEnabled(static_cast<ButtonId>(b), true);
    SendMessageW(window.button(static_cast<ButtonId>(b)), BM_CLICK, 0, 0);
  }
  EXPECT_EQ(events.log, Log({"Command1_Click", "Command2_Click", "Command3_Click", "Command4_Click",
                             "Command5_Click", "Command6_Click"}));

  // The station's own changes of the run's controls, then the operator's.
  events.log.clear();
  window.setText(TextId::Text1, "qN07");
  window.setText(TextId::Text4, "1500");
  window.setText(TextId::Text4, "1500");  // no change, nothing to tell
  window.setText(TextId::Text2, "16");    // the lines count is no setting
  const HWND obs = window.textBox(TextId::Text3);
  SendMessageW(obs, EM_SETSEL, 1, 1);
  SendMessageW(obs, WM_CHAR, L'2', 1);
  EXPECT_EQ(window.text(TextId::Text3), "52");
  SendMessageW(window.checkBox(CheckId::Check2), BM_CLICK, 0, 0);
  EXPECT_EQ(window.checkValue(CheckId::Check2), 0);
  window.setCheckValue(CheckId::Check2, 0);
  window.setCheckValue(CheckId::Check1, 1);
  EXPECT_EQ(window.checkValue(CheckId::Check1), 1);
  EXPECT_EQ(events.log, Log(5, "Controls_Change"));
}

TEST(Win32WindowEvents, EndProgramEndsTheLoopAndSilencesEveryEvent) {
  Win32Window window;
  Recorder events;
  window.bind(events);
  window.show();
  const HWND handle = window.handle();
  window.setText(TextId::Text3, "7");
  events.log.clear();
  window.endProgram();
  EXPECT_FALSE(IsWindow(handle));
  const Pumped pumped = pump(window);
  EXPECT_TRUE(pumped.quit);
  EXPECT_EQ(pumped.code, 0U);

  // What the station still asks of the window after the end is answered.
  EXPECT_EQ(window.text(TextId::Text3), "7");
  window.setText(TextId::Text3, "0");
  EXPECT_EQ(window.text(TextId::Text3), "0");
  window.setCheckValue(CheckId::Check1, 1);
  window.setDirPath(window.dirPath());
  window.addItem(ListId::List2, "after the end");
  pump(window);
  EXPECT_EQ(window.itemCount(ListId::List2), 1U);
  EXPECT_EQ(events.log, Log{});
  EXPECT_TRUE(window.ended());
}

TEST(Win32WindowText, CrossesAsLatin1AndRefusesWhatLiesBeyond) {
  Win32Window window;
  Recorder events;
  const std::string high = testsupport::latin1Range(0xA0, 0xFF);
  window.setText(TextId::Text2, high);
  EXPECT_EQ(window.text(TextId::Text2), high);
  window.setCaption(LabelId::Label3, "q&N");
  EXPECT_EQ(shownText(window.label(LabelId::Label3)), "q&N");
  window.bind(events);

  const HWND box = window.textBox(TextId::Text1);
  SendMessageW(box, EM_SETSEL, 4, 4);
  SendMessageW(box, WM_CHAR, 0x20AC, 1);
  SendMessageW(box, WM_CHAR, 0xE4, 1);
  EXPECT_EQ(window.text(TextId::Text1), "qN01\xE4");

  const auto paste = [&](const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(window.handle()));
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::copy_n(text.c_str(), text.size() + 1, static_cast<wchar_t*>(GlobalLock(data)));
    GlobalUnlock(data);
    SetClipboardData(CF_UNICODETEXT, data);
    CloseClipboard();
    SendMessageW(box, WM_PASTE, 0, 0);
  };
  paste(L"x\u20ACy");
  EXPECT_EQ(window.text(TextId::Text1), "qN01\xE4");
  paste(L"\u00E9");
  EXPECT_EQ(window.text(TextId::Text1), "qN01\xE4\xE9");
  EXPECT_EQ(events.log, Log(2, "Controls_Change")) << "one for each character taken";
}

TEST(Win32WindowLists, FollowTheNewestItemUntilTheOperatorScrollsUp) {
  Win32Window window;
  window.show();
  pump(window);
  const HWND list = window.list(ListId::List1);
  const auto top = [list] {
    return static_cast<std::size_t>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
  };
  const auto shown = [list] {
    return static_cast<std::size_t>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  };
  RECT area{};
  GetClientRect(list, &area);
  const auto rows =
      static_cast<std::size_t>(area.bottom / SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));

  constexpr std::size_t kItems = 1'000'000;
  for (std::size_t i = 0; i < kItems; ++i)
    window.addItem(ListId::List1, "reading " + std::to_string(i));
  window.addItem(ListId::List2, "\xE9t\xE9");
  EXPECT_EQ(window.itemCount(ListId::List1), kItems);
  EXPECT_EQ(window.item(ListId::List1, kItems - 1), "reading 999999");
  EXPECT_EQ(window.item(ListId::List2, 0), "\xE9t\xE9");
  EXPECT_EQ(shown(), 0U) << "the list box grows once, at the loop's next turn";
  pump(window);
  ASSERT_EQ(shown(), kItems);
  EXPECT_EQ(top() + rows, kItems) << "the newest item in view";

  // The operator pages up: the view stays where they put it.
  press(window, list, VK_PRIOR);
  const std::size_t kept = top();
  EXPECT_EQ(kept + 2 * rows, kItems);
  for (int i = 0; i < 3; ++i) window.addItem(ListId::List1, "later");
  pump(window);
  EXPECT_EQ(shown(), kItems + 3);
  EXPECT_EQ(top(), kept);

  // Back at the bottom, it follows again.
  press(window, list, VK_END);
  window.addItem(ListId::List1, "newest");
  pump(window);
  EXPECT_EQ(top() + rows, kItems + 4);
}

// A directory tree of the test's own, and a window to show it in.
class Win32WindowDirs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(temp.path().empty());
    plain = temp / "plain";
    for (const std::string& dir :
         {plain, plain + "\\Beta", plain + "\\alpha", plain + "\\gamma", plain + "\\hidden"}) {
      ASSERT_TRUE(CreateDirectoryW(widen(dir).c_str(), nullptr)) << dir;
    }
    SetFileAttributesW(widen(plain + "\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    window.bind(events);
  }

  std::string rowText(std::size_t row) const {
    wchar_t text[MAX_PATH] = L"";
    SendMessageW(window.dirList(), LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
    return narrowForMessage(text);
  }
  std::size_t rowOf(const std::string& caption) const {
    std::size_t row = 0;
    while (row < window.directories().rows() && rowText(row) != caption) ++row;
    return row;
  }
  void doubleClick(std::size_t row) {
    RECT item{};
    SendMessageW(window.dirList(), LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM(item.left + 4, item.top + 2);
    for (const UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) {
      SendMessageW(window.dirList(), message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
    }
  }

  testsupport::TempDir temp{"meterstation-window"};
  std::string plain;
  Win32Window window;
  Recorder events;
};

TEST_F(Win32WindowDirs, ShowTheAncestorsAndSubdirectoriesAndOpenByDoubleClickOrEnter) {
  window.setDirPath(plain + "\\");
  EXPECT_EQ(window.dirPath(), plain);
  const DirectoryListBox& dirs = window.directories();
  const std::vector<std::wstring> chain = directoryChain(widen(plain));
  ASSERT_EQ(dirs.rows(), chain.size() + 3);
  for (std::size_t row = 0; row < dirs.rows(); ++row) {
    EXPECT_EQ(dirs.indentOf(row), static_cast<int>(std::min(row, chain.size())));
  }
  EXPECT_EQ(rowText(0), plain.substr(0, 3));
  EXPECT_EQ(rowText(chain.size() - 1), "plain");
  EXPECT_EQ(SendMessageW(window.dirList(), LB_GETCURSEL, 0, 0),
            static_cast<LRESULT>(chain.size() - 1));
  EXPECT_EQ(rowText(chain.size()) + rowText(chain.size() + 1) + rowText(chain.size() + 2),
            "alphaBetagamma");

  doubleClick(rowOf("Beta"));
  EXPECT_EQ(window.dirPath(), plain + "\\Beta");
  window.show();
  SetFocus(window.dirList());
  SendMessageW(window.dirList(), LB_SETCURSEL, rowOf("plain"), 0);
  press(window, window.dirList(), VK_RETURN);
  EXPECT_EQ(window.dirPath(), plain);
  EXPECT_EQ(events.log, Log(3, "Dir1_Change"));
}

TEST_F(Win32WindowDirs, AnUnreadableDirectoryIsReportedAndChangesNothing) {
  // The station writes the window's reason into List2, as its handler does.
  events.onReadError = [&] { window.addItem(ListId::List2, window.dirReadError()); };
  const std::wstring beyondLatin1 = widen(plain) + L"\\\u0416";
  ASSERT_TRUE(CreateDirectoryW(beyondLatin1.c_str(), nullptr));
  window.setDirPath(plain);
  const std::size_t rows = window.directories().rows();

  window.setDirPath(temp / "gone");
  doubleClick(rows - 1);  // the name beyond Latin-1 comes last
  EXPECT_EQ(window.dirPath(), plain);
  EXPECT_EQ(window.directories().rows(), rows);
  ASSERT_EQ(window.itemCount(ListId::List2), 2U);
  EXPECT_EQ(window.item(ListId::List2, 0),
            "cannot read directory " + (temp / "gone") + ": " + systemReason(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(window.item(ListId::List2, 1),
            "cannot read directory " + plain + "\\?: its name has characters outside Latin-1");
  EXPECT_EQ(events.log, Log({"Dir1_Change", "Dir1_ReadError", "Dir1_ReadError"}));
}

TEST_F(Win32WindowDirs, ADriveShowsWhereDir1WasLastOnItAndOnlyTheOperatorsChoiceIsTold) {
  const std::string start = currentDir();
  const std::string startDrive = window.drive();
  const std::vector<std::string>& drives = window.drives();
  ASSERT_NE(std::ranges::find(drives, startDrive), drives.end());
  const std::string tempDrive = plain.substr(0, 3);
  if (tempDrive == startDrive) GTEST_SKIP() << "the temporary files lie on the start's drive";
  ASSERT_NE(std::ranges::find(drives, tempDrive), drives.end());
  events.onDriveChange = [&] { window.setDirPath(window.drive()); };

  window.setDirPath(tempDrive);
  EXPECT_EQ(window.dirPath(), tempDrive) << "never visited, and the start lies elsewhere";
  window.setDirPath(plain);
  EXPECT_EQ(window.drive(), tempDrive);
  window.setDirPath(startDrive);
  EXPECT_EQ(window.dirPath(), start) << "the start lies on it";
  EXPECT_EQ(window.drive(), startDrive);
  EXPECT_EQ(events.log, Log(3, "Dir1_Change")) << "moving Drive1 from code tells nothing";

  // The operator chooses the drive with the keyboard.
  window.show();
  SetFocus(window.driveList());
  press(window, window.driveList(), tempDrive < startDrive ? VK_UP : VK_DOWN);
  EXPECT_EQ(window.drive(), tempDrive);
  EXPECT_EQ(window.dirPath(), plain) << "where Dir1 was last on it";
  EXPECT_EQ(events.log,
            Log({"Dir1_Change", "Dir1_Change", "Dir1_Change", "Drive1_Change", "Dir1_Change"}));
}

TEST(Win32WindowClose, TheOperatorsCloseUnloadsTheFormAndEndsTheLoop) {
  Win32Window window;
  Recorder events;
  window.bind(events);
  window.show();
  const HWND handle = window.handle();
  SendMessageW(handle, WM_CLOSE, 0, 0);
  EXPECT_EQ(events.log, Log{"Form_Unload"});
  EXPECT_FALSE(IsWindow(handle));
  const Pumped pumped = pump(window);
  EXPECT_TRUE(pumped.quit);
  EXPECT_EQ(pumped.code, 0U);
  EXPECT_EQ(window.text(TextId::Text4), "2000") << "the settings outlive the window";
  EXPECT_EQ(window.checkValue(CheckId::Check2), 1);
}

TEST(Win32WindowClose, AClosingSessionIsNotTheOperatorsClose) {
  const auto closeAfter = [](const std::function<void(Win32Window&)>& meanwhile) {
    Win32Window window;
    Recorder events;
    window.bind(events);
    window.show();
    EXPECT_TRUE(SendMessageW(window.handle(), WM_QUERYENDSESSION, 0, 0));
    meanwhile(window);
    if (window.handle() != nullptr) SendMessageW(window.handle(), WM_CLOSE, 0, 0);
    pump(window);
    return events.log;
  };
  EXPECT_EQ(closeAfter([](Win32Window&) {}), Log{"Session_End"});
  EXPECT_EQ(closeAfter([](Win32Window& window) {
              SendMessageW(window.handle(), WM_ENDSESSION, TRUE, 0);
              EXPECT_EQ(window.handle(), nullptr);
            }),
            Log{"Session_End"});

  // A session end called off, said by the system or shown by the operator
  // working in the window again; input elsewhere says nothing.
  EXPECT_EQ(closeAfter([](Win32Window& window) {
              SendMessageW(window.handle(), WM_ENDSESSION, FALSE, 0);
            }),
            Log{"Form_Unload"});
  EXPECT_EQ(closeAfter([](Win32Window& window) {
              Win32Window elsewhere;
              press(window, elsewhere.textBox(TextId::Text1), VK_RIGHT);
              EXPECT_TRUE(window.sessionEnding());
              press(window, window.textBox(TextId::Text1), VK_RIGHT);
              EXPECT_FALSE(window.sessionEnding());
            }),
            Log{"Form_Unload"});
}

}  // namespace
}  // namespace meterstation
