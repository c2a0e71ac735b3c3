#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <numeric>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/qt/dir_list.h"
#include "platform/qt/drive_list.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/station_list_view.h"
#include "platform/window_layout.h"
#include "support/latin1_bytes.h"

namespace meterstation {
namespace {

class RecordingEvents : public StationEvents {
 public:
  std::vector<std::string> log;
  std::function<void()> onDriveChange;
  std::function<void()> onReadError;

  void Form_Load() override { log.push_back("Form_Load"); }
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
  void MSComm1_OnComm() override { log.push_back("MSComm1_OnComm"); }
  void Timer1_Timer() override { log.push_back("Timer1_Timer"); }
  void Controls_Change() override { log.push_back("Controls_Change"); }
  void Timer2_Timer() override { log.push_back("Timer2_Timer"); }
  void Session_End() override { log.push_back("Session_End"); }
};

const char* classOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::DriveList:
      return "meterstation::DriveList";
    case ControlKind::DirList:
      return "meterstation::DirList";
    case ControlKind::Button:
      return "QPushButton";
    case ControlKind::ListBox:
      return "meterstation::StationListView";
    case ControlKind::Lamp:
      return "QFrame";
    case ControlKind::Label:
      return "QLabel";
    case ControlKind::TextBox:
      return "QLineEdit";
    case ControlKind::CheckBox:
      return "QCheckBox";
  }
  return "";
}

bool showsText(ControlKind kind) {
  return kind == ControlKind::Button || kind == ControlKind::Label ||
         kind == ControlKind::TextBox || kind == ControlKind::CheckBox;
}

// The table's controls in the keyboard's order.
QStringList focusOrder() {
  std::vector<const ControlLayout*> tabbed;
  for (const ControlLayout& control : kWindowLayout) {
    if (control.tabIndex != kNoTab) tabbed.push_back(&control);
  }
  std::ranges::sort(tabbed, {}, &ControlLayout::tabIndex);
  QStringList names;
  for (const ControlLayout* control : tabbed) names << QString::fromLatin1(control->name);
  return names;
}

QString shownText(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  return {};
}

TEST(WindowLayout, EveryControlFitsHasAnIdOfItsOwnAndAPlaceInTheFocusOrder) {
  const TwipsRect client{0, 0, kClientWidthTwips, kClientHeightTwips};
  std::set<std::string_view> names;
  std::set<std::pair<ControlKind, int>> ids;
  std::vector<int> tabs;
  for (const ControlLayout& control : kWindowLayout) {
    SCOPED_TRACE(std::string(control.name));
    EXPECT_TRUE(names.insert(control.name).second) << "named once";
    EXPECT_TRUE(liesWithin(control.at, client));
    EXPECT_GT(control.at.width, 0);
    EXPECT_GT(control.at.height, 0);
    if (control.id != kNoId) {
      EXPECT_TRUE(ids.insert({control.kind, control.id}).second) << "id used once";
    }
    if (control.tabIndex != kNoTab) tabs.push_back(control.tabIndex);
  }
  std::ranges::sort(tabs);
  std::vector<int> complete(tabs.size());
  std::iota(complete.begin(), complete.end(), 0);
  EXPECT_EQ(tabs, complete) << "every place from 0 taken once";

  // A label on the lamp is made after it, so it is drawn over it.
  const auto lamp = std::ranges::find(kWindowLayout, ControlKind::Lamp, &ControlLayout::kind);
  ASSERT_NE(lamp, kWindowLayout.end());
  for (auto control = kWindowLayout.begin(); control != kWindowLayout.end(); ++control) {
    if (control != lamp && liesWithin(control->at, lamp->at)) {
      EXPECT_GT(control, lamp) << control->name;
    }
  }
}

TEST(QtWindow, BuildsEveryControlAsTheLayoutSays) {
  QtWindow window;
  EXPECT_EQ(window.windowTitle(), QString::fromLatin1(kWindowTitle));
  const qreal dpiX = window.screen()->logicalDotsPerInchX();
  const qreal dpiY = window.screen()->logicalDotsPerInchY();
  const auto px = [](int twips, qreal dpi) { return qRound(twips * dpi / 1440); };
  EXPECT_EQ(window.minimumSize(), QSize(px(kClientWidthTwips, dpiX), px(kClientHeightTwips, dpiY)));
  EXPECT_EQ(window.maximumSize(), window.minimumSize());
  EXPECT_EQ(window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(),
            static_cast<qsizetype>(kWindowLayout.size()))
      << "no control beyond the layout's";

  for (const ControlLayout& control : kWindowLayout) {
    SCOPED_TRACE(std::string(control.name));
    auto* w = window.findChild<QWidget*>(QString::fromLatin1(control.name));
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(w->metaObject()->className(), classOf(control.kind));
    if (showsText(control.kind)) {
      EXPECT_EQ(shownText(w), QString::fromLatin1(control.text));
    }
    EXPECT_EQ(w->toolTip(), QString::fromLatin1(control.toolTip));
    EXPECT_EQ(w->geometry(), QRect(px(control.at.left, dpiX), px(control.at.top, dpiY),
                                   px(control.at.width, dpiX), px(control.at.height, dpiY)));
    EXPECT_TRUE(QRect(QPoint(0, 0), window.minimumSize()).contains(w->geometry()));
    EXPECT_EQ(w->isEnabled(), control.enabled);
    EXPECT_EQ(control.tabIndex != kNoTab, (w->focusPolicy() & Qt::TabFocus) != 0)
        << "in the focus order exactly when it takes focus";
    if (control.kind == ControlKind::CheckBox) {
      EXPECT_EQ(window.checkValue(static_cast<CheckId>(control.id)), control.ticked ? 1 : 0);
    }
  }
  EXPECT_FALSE(window.lamp()->autoFillBackground());
  EXPECT_EQ(window.list(ListId::List1)->count(), 0u);
  EXPECT_EQ(window.list(ListId::List2)->count(), 0u);
  EXPECT_EQ(window.dirPath(), QDir::currentPath().toStdString());
  // The station joins the window's paths with the host's separator.
  EXPECT_EQ(QtHost().pathSeparator(), '/');
}

// The controls the logic reaches by id are the ones the layout names.
TEST(QtWindow, EveryControlIdReachesItsWidget) {
  QtWindow window;
  const auto nameOf = [](ControlKind kind, int id) {
    const auto control = std::ranges::find_if(
        kWindowLayout, [&](const ControlLayout& c) { return c.kind == kind && c.id == id; });
    return control == kWindowLayout.end() ? QString() : QString::fromLatin1(control->name);
  };
  const auto bound = [&](ControlKind kind, int id, const QWidget* widget) {
    ASSERT_NE(widget, nullptr) << classOf(kind) << " " << id;
    EXPECT_EQ(widget->objectName(), nameOf(kind, id));
  };
  for (const ListId id : {ListId::List1, ListId::List2}) {
    bound(ControlKind::ListBox, idOf(id), window.list(id));
  }
  for (const TextId id : {TextId::Text1, TextId::Text2, TextId::Text3, TextId::Text4}) {
    bound(ControlKind::TextBox, idOf(id), window.textBox(id));
  }
  for (const LabelId id : {LabelId::Label1, LabelId::Label3, LabelId::Label4}) {
    bound(ControlKind::Label, idOf(id), window.label(id));
  }
  for (const CheckId id : {CheckId::Check1, CheckId::Check2}) {
    bound(ControlKind::CheckBox, idOf(id), window.checkBox(id));
  }
  for (int b = 0; b <= idOf(ButtonId::Command6); ++b) {
    bound(ControlKind::Button, b, window.button(static_cast<ButtonId>(b)));
  }
  EXPECT_EQ(window.lamp()->objectName(), nameOf(ControlKind::Lamp, kNoId));
  EXPECT_EQ(window.driveList()->objectName(), nameOf(ControlKind::DriveList, kNoId));
  EXPECT_EQ(window.dirList()->objectName(), nameOf(ControlKind::DirList, kNoId));
}

TEST(QtWindow, TabFollowsTheFocusOrder) {
  QtWindow window;
  for (ButtonId b :
       {ButtonId::Command1, ButtonId::Command2, ButtonId::Command3, ButtonId::Command4}) {
    window.setEnabled(b, true);
  }
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const QStringList expected = focusOrder();
  window.findChild<QWidget*>(expected.front())->setFocus();
  QStringList order{QApplication::focusWidget()->objectName()};
  for (qsizetype i = 0; i < expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order << QApplication::focusWidget()->objectName();
  }
  EXPECT_EQ(order, expected + QStringList{expected.front()}) << "and round to the first again";
}

TEST(QtWindow, LampShowsItsColourUnderTheTransparentLabels) {
  QtWindow window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  for (std::uint32_t colour : {kLampRed, kLampYellow, kLampGreen}) {
    window.setLampColour(colour);
    const QColor expected(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    const QImage lamp = window.lamp()->grab().toImage();
    EXPECT_EQ(lamp.pixelColor(lamp.width() / 2, 4), expected) << colour;
  }

  window.setLampColour(kLampRed);
  window.setCaption(LabelId::Label1, "WWWWWWWWWW");
  const QRect area = window.label(LabelId::Label1)->geometry();
  const QImage shot = window.grab(area).toImage();
  bool lampShows = false;
  bool textShows = false;
  for (int y = 0; y < shot.height(); ++y) {
    for (int x = 0; x < shot.width(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      lampShows |= c == QColor(255, 0, 0);
      textShows |= c.red() < 100 && c.green() < 100 && c.blue() < 100;
    }
  }
  EXPECT_TRUE(lampShows) << "the label must not hide the lamp";
  EXPECT_TRUE(textShows) << "the lamp must not hide the label";
}

TEST(QtWindow, TextsCrossAsLatin1) {
  QtWindow window;
  const std::string high = testsupport::latin1Range(0x80, 0xFF);
  window.setText(TextId::Text2, high);
  EXPECT_EQ(window.text(TextId::Text2), high);
  EXPECT_EQ(window.textBox(TextId::Text2)->text().at(0x69), QChar(0xE9));
  window.addItem(ListId::List2, high);
  EXPECT_EQ(window.list(ListId::List2)->item(0), high);

  // A character the station could not store is refused, not mangled.
  QLineEdit* box = window.textBox(TextId::Text1);
  box->setFocus();
  box->end(false);
  for (const char16_t typed : {u'\u20AC', u'\u00E4'}) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(typed)));
    QApplication::sendEvent(box, &press);
  }
  EXPECT_EQ(window.text(TextId::Text1), "qN01\xE4");
}

class BoundWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp.isValid());
    base = QDir::cleanPath(temp.path());
    for (const char* sub : {"driveB/one", "driveB/two", "driveC/deep", "plain/sub"}) {
      ASSERT_TRUE(QDir().mkpath(base + '/' + sub));
    }
    startDir = QDir::currentPath();
    startDrive = window.driveList()->drive();
    // Two more volumes to move between, made of temporary directories.
    window.driveList()->setDrives({startDrive, base + "/driveB", base + "/driveC"});
  }
  void TearDown() override { QDir::setCurrent(startDir); }

  void setDir(const QString& path) { window.setDirPath(path.toStdString()); }
  QString dirPath() const { return QString::fromStdString(window.dirPath()); }

  QTemporaryDir temp;
  QString base;
  QString startDir;
  QString startDrive;
  QtWindow window;
  RecordingEvents events;
};

TEST_F(BoundWindowTest, OperatorActionsReachTheStationOnlyOnceBound) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QTest::mouseClick(window.button(ButtonId::Command5), Qt::LeftButton);
  window.bind(events);
  EXPECT_TRUE(events.log.empty());

  for (ButtonId b :
       {ButtonId::Command1, ButtonId::Command2, ButtonId::Command3, ButtonId::Command4}) {
    window.setEnabled(b, true);
  }
  for (int i = 0; i < 6; ++i) {
    QTest::mouseClick(window.button(static_cast<ButtonId>(i)), Qt::LeftButton);
  }

  // The station moves Dir1 to the new drive, as its handler does.
  events.onDriveChange = [&] { window.setDirPath(window.drive()); };
  QTest::keyClick(window.driveList(), Qt::Key_Down);
  EXPECT_EQ(dirPath(), base + "/driveB");

  DirList* dir = window.dirList();
  dir->setCurrentRow(dir->count() - 1);
  QTest::keyClick(dir, Qt::Key_Enter);
  EXPECT_EQ(dirPath(), base + "/driveB/two");

  window.close();
  EXPECT_EQ(events.log, std::vector<std::string>(
                            {"Command1_Click", "Command2_Click", "Command3_Click", "Command4_Click",
                             "Command5_Click", "Command6_Click", "Drive1_Change", "Dir1_Change",
                             "Dir1_Change", "Form_Unload"}));
}

TEST_F(BoundWindowTest, EveryChangeOfTheRunsControlsIsTold) {
  window.setText(TextId::Text3, "5");
  EXPECT_TRUE(events.log.empty()) << "nothing before the window is bound";
  window.bind(events);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  // The station's own changes.
  window.setText(TextId::Text1, "qN07");
  window.setText(TextId::Text3, "4");
  window.setText(TextId::Text4, "1500");
  window.setText(TextId::Text2, "16");  // the lines count is no setting
  EXPECT_EQ(events.log, std::vector<std::string>(3, "Controls_Change"));

  // The operator's: one for each character typed or taken away.
  events.log.clear();
  QLineEdit* obs = window.textBox(TextId::Text3);
  obs->setFocus();
  obs->end(false);
  QTest::keyClicks(obs, "12");
  QTest::keyClick(obs, Qt::Key_Backspace);
  EXPECT_EQ(window.text(TextId::Text3), "41");
  EXPECT_EQ(events.log, std::vector<std::string>(3, "Controls_Change"));

  events.log.clear();
  window.setCheckValue(CheckId::Check1, 1);
  EXPECT_EQ(window.checkValue(CheckId::Check1), 1);
  window.setCheckValue(CheckId::Check1, 1);  // no change, nothing to tell
  QTest::mouseClick(window.checkBox(CheckId::Check2), Qt::LeftButton);
  EXPECT_EQ(window.checkValue(CheckId::Check2), 0);
  window.setCheckValue(CheckId::Check2, 1);
  EXPECT_EQ(window.checkValue(CheckId::Check2), 1);
  EXPECT_EQ(events.log, std::vector<std::string>(3, "Controls_Change"));
}

TEST_F(BoundWindowTest, AClosingSessionIsNotTheOperatorsClose) {
  window.bind(events);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_FALSE(window.sessionEnding());
  window.noteSessionEnding();
  EXPECT_TRUE(window.sessionEnding());
  window.close();
  EXPECT_EQ(events.log, std::vector<std::string>({"Session_End"}));

  // A logout called off: once the operator works in the window again, a
  // close is theirs. Input elsewhere says nothing about this window.
  events.log.clear();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.noteSessionEnding();
  QWidget elsewhere;
  elsewhere.show();
  QTest::mouseClick(&elsewhere, Qt::LeftButton);
  EXPECT_TRUE(window.sessionEnding());
  QTest::mouseClick(window.textBox(TextId::Text1), Qt::LeftButton);
  EXPECT_FALSE(window.sessionEnding());
  window.close();
  EXPECT_EQ(events.log, std::vector<std::string>({"Form_Unload"}));
}

TEST_F(BoundWindowTest, ADriveShowsItsCurrentDirectory) {
  window.bind(events);
  // Never visited, and the process is elsewhere: its root.
  setDir(base + "/driveC");
  EXPECT_EQ(dirPath(), base + "/driveC");
  EXPECT_EQ(window.driveList()->drive(), base + "/driveC");

  // Never visited, but the process's directory lies on it.
  ASSERT_TRUE(QDir::setCurrent(base + "/driveB/two"));
  setDir(base + "/driveB");
  EXPECT_EQ(dirPath(), base + "/driveB/two");

  // Visited: where Dir1 was last on it.
  setDir(base + "/driveC/deep/");
  EXPECT_EQ(dirPath(), base + "/driveC/deep");
  setDir(base + "/driveB/one");
  setDir(base + "/driveC");
  EXPECT_EQ(dirPath(), base + "/driveC/deep");
  setDir(base + "/driveB");
  EXPECT_EQ(dirPath(), base + "/driveB/one");
  setDir(startDrive);
  EXPECT_EQ(dirPath(), startDir);

  EXPECT_EQ(events.log, std::vector<std::string>(7, "Dir1_Change"))
      << "moving Drive1 from code raises nothing";
}

TEST_F(BoundWindowTest, AnUnreadableDirectoryIsReportedAndChangesNothing) {
  window.bind(events);
  // The station writes the window's reason into List2, as its handler does.
  events.onReadError = [&] { window.addItem(ListId::List2, window.dirReadError()); };
  setDir(base + "/plain/sub");
  ASSERT_TRUE(QDir(base + "/driveC").removeRecursively());
  setDir(base + "/driveC");
  EXPECT_EQ(dirPath(), base + "/plain/sub");
  EXPECT_EQ(window.driveList()->drive(), window.driveList()->driveOf(base + "/plain/sub"));
  ASSERT_EQ(window.list(ListId::List2)->count(), 1u);
  EXPECT_EQ(
      window.list(ListId::List2)->item(0),
      "cannot read directory " + (base + "/driveC").toStdString() + ": No such file or directory");
  EXPECT_EQ(events.log, std::vector<std::string>({"Dir1_Change", "Dir1_ReadError"}));
}

TEST_F(BoundWindowTest, EndProgramExitsAndSilencesEveryEvent) {
  window.bind(events);
  window.show();
  // Another window stays open, so only the stop command can end the loop.
  QWidget other;
  other.show();
  QObject guard;
  QTimer::singleShot(0, &guard, [&] { window.endProgram(); });
  QTimer::singleShot(20000, &guard, [] { QCoreApplication::exit(99); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(window.isVisible());

  window.button(ButtonId::Command6)->click();
  setDir(base + "/plain");
  window.close();
  EXPECT_TRUE(events.log.empty());
  EXPECT_TRUE(window.ended());
}

}  // namespace
}  // namespace meterstation
