#include "platform/qt/qt_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QValidator>
#ifndef QT_NO_SESSIONMANAGER
#include <QSessionManager>
#endif

#include <algorithm>

#include "platform/qt/dir_list.h"
#include "platform/qt/drive_list.h"
#include "platform/qt/station_list_view.h"

namespace meterstation {

namespace {

const char* const kTitle = "Quellnetix Tessaro v1.17Type2";

// Positions in twips, as the window was laid out: left, top, width, height.
struct Twips {
  int left;
  int top;
  int width;
  int height;
};

constexpr int kClientWidth = 7680;
constexpr int kClientHeight = 5295;
constexpr int kTwipsPerInch = 1440;

QString latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string bytes(const QString& text) { return text.toLatin1().toStdString(); }

// The station keeps texts one byte a character, so a text box takes only
// what Latin-1 can hold rather than losing characters on the way in.
class Latin1Validator : public QValidator {
 public:
  using QValidator::QValidator;

  State validate(QString& input, int&) const override {
    const bool fits =
        std::all_of(input.cbegin(), input.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
    return fits ? Acceptable : Invalid;
  }
};

std::size_t indexOf(ListId id) { return static_cast<std::size_t>(id); }
std::size_t indexOf(TextId id) { return static_cast<std::size_t>(id); }
std::size_t indexOf(LabelId id) { return static_cast<std::size_t>(id); }
std::size_t indexOf(CheckId id) { return static_cast<std::size_t>(id); }
std::size_t indexOf(ButtonId id) { return static_cast<std::size_t>(id); }

}  // namespace

QtWindow::QtWindow(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QString::fromLatin1(kTitle));
  // The layout was drawn for a small 8-point face; larger type would not
  // fit the 17-pixel buttons.
  QFont small = font();
  small.setPointSize(8);
  setFont(small);
  buildControls();
  connectControls();
  directoryShown(dir_->path());
}

void QtWindow::buildControls() {
  const QScreen* where = screen();
  const qreal dpiX = where ? where->logicalDotsPerInchX() : 96.0;
  const qreal dpiY = where ? where->logicalDotsPerInchY() : 96.0;
  const auto place = [&](QWidget* widget, const char* name, Twips at, const char* tip) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(
        qRound(at.left * dpiX / kTwipsPerInch), qRound(at.top * dpiY / kTwipsPerInch),
        qRound(at.width * dpiX / kTwipsPerInch), qRound(at.height * dpiY / kTwipsPerInch));
    if (tip) widget->setToolTip(QString::fromLatin1(tip));
  };
  const auto makeButton = [&](const char* name, const char* caption, Twips at, const char* tip) {
    auto* button = new QPushButton(QString::fromLatin1(caption), this);
    place(button, name, at, tip);
    return button;
  };
  const auto makeText = [&](const char* name, const char* initial, Twips at, const char* tip) {
    auto* box = new QLineEdit(QString::fromLatin1(initial), this);
    box->setValidator(new Latin1Validator(box));
    place(box, name, at, tip);
    return box;
  };
  const auto makeLabel = [&](const char* name, const char* caption, Twips at, const char* tip) {
    auto* label = new QLabel(QString::fromLatin1(caption), this);
    // Captions come from the station; markup in them is text to show.
    label->setTextFormat(Qt::PlainText);
    place(label, name, at, tip);
    return label;
  };

  setFixedSize(qRound(kClientWidth * dpiX / kTwipsPerInch),
               qRound(kClientHeight * dpiY / kTwipsPerInch));

  drive_ = new DriveList(this);
  place(drive_, "Drive1", {120, 120, 2175, 315}, "Select drive for processor to be read.");
  dir_ = new DirList(this);
  place(dir_, "Dir1", {120, 480, 2175, 1440},
        "Select subdirectory for processor to be read with double click.");

  const char* const portTip = "Com port to read processor.";
  buttons_[0] = makeButton("Command1", "Com1", {2400, 120, 855, 375}, portTip);
  buttons_[1] = makeButton("Command2", "Com2", {2400, 600, 855, 375}, portTip);
  buttons_[2] = makeButton("Command3", "Com3", {2400, 1080, 855, 375}, portTip);
  buttons_[3] = makeButton("Command4", "Com4", {2400, 1560, 855, 375}, portTip);
  // The port buttons wait until a drive or directory has been chosen.
  for (std::size_t i = 0; i < 4; ++i) buttons_[i]->setEnabled(false);

  lists_[0] = new StationListView(this);
  place(lists_[0], "List1", {3360, 120, 4215, 3375}, "Processor data stream.");

  lamp_ = new QFrame(this);
  lamp_->setFrameShape(QFrame::Box);
  place(lamp_, "Shape1", {120, 2040, 3135, 1455}, nullptr);
  labels_[indexOf(LabelId::Label1)] =
      makeLabel("Label1", "", {360, 2640, 2055, 255}, "Progress template.");
  labels_[indexOf(LabelId::Label4)] =
      makeLabel("Label4", "", {2280, 2640, 735, 255}, "Obs counter.");
  // The status text and counter are read off the lamp.
  labels_[indexOf(LabelId::Label1)]->raise();
  labels_[indexOf(LabelId::Label4)]->raise();

  textBoxes_[0] = makeText("Text1", "qN01", {120, 3720, 615, 285},
                           "Processor subdirectory and file marker (4 char).");
  textBoxes_[1] = makeText("Text2", "", {840, 3720, 615, 285}, "Lines count.");
  labels_[indexOf(LabelId::Label3)] =
      makeLabel("Label3", "", {1680, 3720, 615, 255}, "Processor type.");
  buttons_[5] = makeButton("Command6", "Init", {2520, 3720, 615, 255},
                           "Initialize default support files when Obs # is cleared.");
  buttons_[4] = makeButton("Command5", "End now", {3360, 3720, 855, 255},
                           "Stop processing without updating database.");
  makeLabel("Label6", "Obs #", {4440, 3720, 735, 255}, nullptr);
  textBoxes_[2] = makeText("Text3", "1", {5160, 3720, 615, 285},
                           "Set number of complete observation sets (groups of 16).");
  makeLabel("Label5", "Interval", {6120, 3720, 615, 255}, nullptr);
  textBoxes_[3] = makeText("Text4", "2000", {6840, 3720, 615, 285}, "Timing interval.");

  checkBoxes_[0] = new QCheckBox(QStringLiteral("debug"), this);
  place(checkBoxes_[0], "Check1", {840, 4200, 855, 255}, nullptr);
  checkBoxes_[1] = new QCheckBox(QStringLiteral("vista fix"), this);
  checkBoxes_[1]->setChecked(true);
  place(checkBoxes_[1], "Check2", {840, 4440, 855, 255}, nullptr);
  // "vista fix" does not fit its 855 twips in the ordinary face.
  for (QCheckBox* box : checkBoxes_) {
    QFont narrow = box->font();
    narrow.setStretch(QFont::Condensed);
    box->setFont(narrow);
  }

  lists_[1] = new StationListView(this);
  place(lists_[1], "List2", {3360, 4200, 4215, 840}, "Alarm limits and status.");

  const std::array<QWidget*, 16> focusOrder = {
      lists_[0], buttons_[0],   buttons_[1],    buttons_[2],   buttons_[3],   drive_,
      dir_,      textBoxes_[0], textBoxes_[1],  buttons_[4],   textBoxes_[2], textBoxes_[3],
      lists_[1], buttons_[5],   checkBoxes_[0], checkBoxes_[1]};
  for (std::size_t i = 1; i < focusOrder.size(); ++i) {
    QWidget::setTabOrder(focusOrder[i - 1], focusOrder[i]);
  }
}

void QtWindow::connectControls() {
  using Handler = void (StationEvents::*)();
  const std::array<Handler, 6> clicks = {
      &StationEvents::Command1_Click, &StationEvents::Command2_Click,
      &StationEvents::Command3_Click, &StationEvents::Command4_Click,
      &StationEvents::Command5_Click, &StationEvents::Command6_Click};
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    const Handler handler = clicks[i];
    connect(buttons_[i], &QPushButton::clicked, this, [this, handler] { dispatch(handler); });
  }
  for (QLineEdit* box : textBoxes_) {
    connect(box, &QLineEdit::inputRejected, this, [] { QApplication::beep(); });
  }
  connect(drive_, &DriveList::driveChosen, this,
          [this] { dispatch(&StationEvents::Drive1_Change); });
  connect(dir_, &DirList::opened, this, [this](const QString& path) {
    directoryShown(path);
    dispatch(&StationEvents::Dir1_Change);
  });
  connect(dir_, &DirList::readFailed, this,
          [this](const QString& message) { lists_[1]->addItem(bytes(message)); });
  connectRunControls();
}

void QtWindow::connectRunControls() {
  // Every change counts, the station's own as much as the operator's: the
  // countdown of Obs # is part of the run to remember.
  for (const TextId id : {TextId::Text1, TextId::Text3, TextId::Text4}) {
    connect(textBoxes_[indexOf(id)], &QLineEdit::textChanged, this,
            [this] { dispatch(&StationEvents::Controls_Change); });
  }
  for (QCheckBox* box : checkBoxes_) {
    connect(box, &QCheckBox::toggled, this, [this] { dispatch(&StationEvents::Controls_Change); });
  }
#ifndef QT_NO_SESSIONMANAGER
  // By the time the session closes the window the request is over and
  // isSavingSession() says no more.
  connect(qGuiApp, &QGuiApplication::commitDataRequest, this,
          [this](QSessionManager&) { noteSessionEnding(); });
#endif
}

void QtWindow::bind(StationEvents& events) {
  if (!ended_) events_ = &events;
}

void QtWindow::dispatch(void (StationEvents::*handler)()) {
  if (events_ && !ended_) (events_->*handler)();
}

void QtWindow::closeEvent(QCloseEvent* event) {
  if (!ended_) {
    dispatch(sessionEnding() ? &StationEvents::Session_End : &StationEvents::Form_Unload);
  }
  QWidget::closeEvent(event);
}

void QtWindow::noteSessionEnding() {
  if (sessionEnding_) return;
  sessionEnding_ = true;
  QCoreApplication::instance()->installEventFilter(this);
}

bool QtWindow::sessionEnding() const {
  return sessionEnding_ || (qGuiApp != nullptr && qGuiApp->isSavingSession());
}

bool QtWindow::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress || type == QEvent::MouseButtonPress) {
    const auto* widget = qobject_cast<const QWidget*>(watched);
    if (widget != nullptr && widget->window() == this) {
      sessionEnding_ = false;
      QCoreApplication::instance()->removeEventFilter(this);
    }
  }
  return QWidget::eventFilter(watched, event);
}

StationListView* QtWindow::list(ListId id) const { return lists_[indexOf(id)]; }
QLineEdit* QtWindow::textBox(TextId id) const { return textBoxes_[indexOf(id)]; }
QLabel* QtWindow::label(LabelId id) const { return labels_[indexOf(id)]; }
QCheckBox* QtWindow::checkBox(CheckId id) const { return checkBoxes_[indexOf(id)]; }
QPushButton* QtWindow::button(ButtonId id) const { return buttons_[indexOf(id)]; }

void QtWindow::addItem(ListId list, const std::string& item) {
  lists_[indexOf(list)]->addItem(item);
}

std::string QtWindow::text(TextId box) const { return bytes(textBoxes_[indexOf(box)]->text()); }

void QtWindow::setText(TextId box, const std::string& text) {
  textBoxes_[indexOf(box)]->setText(latin1(text));
}

void QtWindow::setCaption(LabelId label, const std::string& caption) {
  labels_[indexOf(label)]->setText(latin1(caption));
}

void QtWindow::setLampColour(std::uint32_t colour) {
  QPalette palette = lamp_->palette();
  palette.setColor(QPalette::Window,
                   QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                          static_cast<int>((colour >> 16) & 0xFF)));
  lamp_->setPalette(palette);
  lamp_->setAutoFillBackground(true);
}

int QtWindow::checkValue(CheckId box) const {
  return checkBoxes_[indexOf(box)]->isChecked() ? 1 : 0;
}

void QtWindow::setCheckValue(CheckId box, int value) {
  checkBoxes_[indexOf(box)]->setChecked(value != 0);
}

void QtWindow::setEnabled(ButtonId button, bool enabled) {
  buttons_[indexOf(button)]->setEnabled(enabled);
}

std::string QtWindow::drive() const { return bytes(QDir::toNativeSeparators(drive_->drive())); }

std::string QtWindow::dirPath() const { return bytes(QDir::toNativeSeparators(dir_->path())); }

QStringList QtWindow::directoriesOfDrive(const QString& drive) const {
  QStringList candidates;
  if (const auto last = lastDirOnDrive_.constFind(drive); last != lastDirOnDrive_.cend()) {
    candidates << *last;
  }
  const QString here = QDir::cleanPath(QDir::currentPath());
  if (drive_->driveOf(here) == drive) candidates << here;
  candidates << drive;
  candidates.removeDuplicates();
  return candidates;
}

void QtWindow::setDirPath(const std::string& path) {
  const QString requested = QDir::cleanPath(QDir::fromNativeSeparators(latin1(path)));
  const QStringList candidates = drive_->isDrive(requested)
                                     ? directoriesOfDrive(drive_->driveOf(requested))
                                     : QStringList{requested};
  for (const QString& candidate : candidates) {
    if (const Result shown = dir_->open(candidate); !shown) {
      lists_[1]->addItem(shown.error);
      continue;
    }
    directoryShown(dir_->path());
    dispatch(&StationEvents::Dir1_Change);
    return;
  }
  // Nothing could be shown: the drive list goes back to where Dir1 still is.
  drive_->selectDriveOf(dir_->path());
}

void QtWindow::directoryShown(const QString& path) {
  const QString drive = drive_->driveOf(path);
  if (!drive.isEmpty()) lastDirOnDrive_[drive] = path;
  drive_->selectDriveOf(path);
}

char QtWindow::pathSeparator() const { return QDir::separator().toLatin1(); }

void QtWindow::beep() { QApplication::beep(); }

void QtWindow::endProgram() {
  if (ended_) return;
  ended_ = true;
  events_ = nullptr;
  close();
  QCoreApplication::exit(0);
}

}  // namespace meterstation
