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

#include <functional>
#include <string>
#include <vector>

#include "platform/qt/dir_list.h"
#include "platform/qt/drive_list.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/station_list_view.h"

namespace meterstation {
namespace {

class RecordingEvents : public StationEvents {
 public:
  std::vector<std::string> log;
  std::function<void()> onDriveChange;

  void Form_Load() override { log.push_back("Form_Load"); }
  void Form_Unload() override { log.push_back("Form_Unload"); }
  void Drive1_Change() override {
    log.push_back("Drive1_Change");
    if (onDriveChange) onDriveChange();
  }
  void Dir1_Change() override { log.push_back("Dir1_Change"); }
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

struct ControlRow {
  const char* name;
  const char* kind;
  const char* text;  // nullptr: the control shows no text
  const char* toolTip;
  int left, top, width, height;
};

const std::vector<ControlRow> kControls = {
    {"Drive1", "meterstation::DriveList", nullptr, "Select drive for processor to be read.", 120,
     120, 2175, 315},
    {"Dir1", "meterstation::DirList", nullptr,
     "Select subdirectory for processor to be read with double click.", 120, 480, 2175, 1440},
    {"Command1", "QPushButton", "Com1", "Com port to read processor.", 2400, 120, 855, 375},
    {"Command2", "QPushButton", "Com2", "Com port to read processor.", 2400, 600, 855, 375},
    {"Command3", "QPushButton", "Com3", "Com port to read processor.", 2400, 1080, 855, 375},
    {"Command4", "QPushButton", "Com4", "Com port to read processor.", 2400, 1560, 855, 375},
    {"List1", "meterstation::StationListView", nullptr, "Processor data stream.", 3360, 120, 4215,
     3375},
    {"Shape1", "QFrame", nullptr, "", 120, 2040, 3135, 1455},
    {"Label1", "QLabel", "", "Progress template.", 360, 2640, 2055, 255},
    {"Label4", "QLabel", "", "Obs counter.", 2280, 2640, 735, 255},
    {"Text1", "QLineEdit", "qN01", "Processor subdirectory and file marker (4 char).", 120, 3720,
     615, 285},
    {"Text2", "QLineEdit", "", "Lines count.", 840, 3720, 615, 285},
    {"Label3", "QLabel", "", "Processor type.", 1680, 3720, 615, 255},
    {"Command6", "QPushButton", "Init", "Initialize default support files when Obs # is cleared.",
     2520, 3720, 615, 255},
    {"Command5", "QPushButton", "End now", "Stop processing without updating database.", 3360, 3720,
     855, 255},
    {"Label6", "QLabel", "Obs #", "", 4440, 3720, 735, 255},
    {"Text3", "QLineEdit", "1", "Set number of complete observation sets (groups of 16).", 5160,
     3720, 615, 285},
    {"Label5", "QLabel", "Interval", "", 6120, 3720, 615, 255},
    {"Text4", "QLineEdit", "2000", "Timing interval.", 6840, 3720, 615, 285},
    {"Check1", "QCheckBox", "debug", "", 840, 4200, 855, 255},
    {"Check2", "QCheckBox", "vista fix", "", 840, 4440, 855, 255},
    {"List2", "meterstation::StationListView", nullptr, "Alarm limits and status.", 3360, 4200,
     4215, 840},
};

QString shownText(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  return {};
}

std::string latin1Range(int from, int to) {
  std::string bytes;
  for (int b = from; b <= to; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}

TEST(QtWindow, OpensWithEveryControlAsLaidOut) {
  QtWindow window;
  EXPECT_EQ(window.windowTitle(), "Quellnetix Tessaro v1.17Type2");
  const qreal dpiX = window.screen()->logicalDotsPerInchX();
  const qreal dpiY = window.screen()->logicalDotsPerInchY();
  const auto px = [](int twips, qreal dpi) { return qRound(twips * dpi / 1440); };
  EXPECT_EQ(window.minimumSize(), QSize(px(7680, dpiX), px(5295, dpiY)));
  EXPECT_EQ(window.maximumSize(), window.minimumSize());

  for (const ControlRow& row : kControls) {
    SCOPED_TRACE(row.name);
    auto* w = window.findChild<QWidget*>(row.name);
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(w->metaObject()->className(), row.kind);
    if (row.text) {
      EXPECT_EQ(shownText(w), row.text);
    }
    EXPECT_EQ(w->toolTip(), row.toolTip);
    EXPECT_EQ(w->geometry(), QRect(px(row.left, dpiX), px(row.top, dpiY), px(row.width, dpiX),
                                   px(row.height, dpiY)));
  }
  for (const char* name : {"Command1", "Command2", "Command3", "Command4"}) {
    EXPECT_FALSE(window.findChild<QWidget*>(name)->isEnabled()) << name;
  }
  EXPECT_TRUE(window.findChild<QWidget*>("Command5")->isEnabled());
  EXPECT_TRUE(window.findChild<QWidget*>("Command6")->isEnabled());
  EXPECT_EQ(window.checkValue(CheckId::Check1), 0);
  EXPECT_EQ(window.checkValue(CheckId::Check2), 1);
  EXPECT_FALSE(window.lamp()->autoFillBackground());
  EXPECT_EQ(window.list(ListId::List1)->count(), 0u);
  EXPECT_EQ(window.list(ListId::List2)->count(), 0u);
  EXPECT_EQ(window.dirPath(), QDir::currentPath().toStdString());
  EXPECT_EQ(window.pathSeparator(), '/');
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
  window.list(ListId::List1)->setFocus();
  QStringList order{QApplication::focusWidget()->objectName()};
  for (int i = 0; i < 16; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order << QApplication::focusWidget()->objectName();
  }
  EXPECT_EQ(order, QStringList({"List1", "Command1", "Command2", "Command3", "Command4", "Drive1",
                                "Dir1", "Text1", "Text2", "Command5", "Text3", "Text4", "List2",
                                "Command6", "Check1", "Check2", "List1"}));
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
  const std::string high = latin1Range(0x80, 0xFF);
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
  setDir(base + "/plain/sub");
  ASSERT_TRUE(QDir(base + "/driveC").removeRecursively());
  setDir(base + "/driveC");
  EXPECT_EQ(dirPath(), base + "/plain/sub");
  EXPECT_EQ(window.driveList()->drive(), window.driveList()->driveOf(base + "/plain/sub"));
  ASSERT_EQ(window.list(ListId::List2)->count(), 1u);
  EXPECT_EQ(
      window.list(ListId::List2)->item(0),
      "cannot read directory " + (base + "/driveC").toStdString() + ": No such file or directory");
  EXPECT_EQ(events.log, std::vector<std::string>({"Dir1_Change"}));
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
