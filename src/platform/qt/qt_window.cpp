#include "platform/qt/qt_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QValidator>
#ifndef QT_NO_SESSIONMANAGER
#include <QSessionManager>
#endif

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/qt/dir_list.h"
#include "platform/qt/drive_list.h"
#include "platform/qt/station_list_view.h"

namespace meterstation {

namespace {

QString latin1(std::string_view text) {
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

QPushButton* makeButton(const ControlLayout& control, QWidget* parent) {
  auto* button = new QPushButton(latin1(control.text), parent);
  button->setEnabled(control.enabled);
  return button;
}

QLineEdit* makeTextBox(const ControlLayout& control, QWidget* parent) {
  auto* box = new QLineEdit(latin1(control.text), parent);
  box->setValidator(new Latin1Validator(box));
  return box;
}

QLabel* makeLabel(const ControlLayout& control, QWidget* parent) {
  auto* label = new QLabel(latin1(control.text), parent);
  // Captions come from the station; markup in them is text to show.
  label->setTextFormat(Qt::PlainText);
  return label;
}

QCheckBox* makeCheckBox(const ControlLayout& control, QWidget* parent) {
  auto* box = new QCheckBox(latin1(control.text), parent);
  box->setChecked(control.ticked);
  // "vista fix" does not fit its 855 twips in the ordinary face.
  QFont narrow = box->font();
  narrow.setStretch(QFont::Condensed);
  box->setFont(narrow);
  return box;
}

// The lists grow for as long as the station runs; their texts go to a file
// in the user's cache directory, which the kernel can page out.
std::unique_ptr<MappedTextFile> openListTexts(MappingCalls calls) {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  if (!dir.isEmpty()) QDir().mkpath(dir);
  return std::make_unique<MappedTextFile>(QFile::encodeName(dir).toStdString(), std::move(calls));
}

QFrame* makeLamp(QWidget* parent) {
  auto* lamp = new QFrame(parent);
  lamp->setFrameShape(QFrame::Box);
  return lamp;
}

}  // namespace

QtWindow::QtWindow(QWidget* parent, MappingCalls listTextCalls) : QWidget(parent) {
  setWindowTitle(latin1(kWindowTitle));
  // The layout was drawn for a small 8-point face; larger type would not
  // fit the 17-pixel buttons.
  QFont small = font();
  small.setPointSize(8);
  setFont(small);
  listTexts_ = openListTexts(std::move(listTextCalls));
  buildControls();
  if (!listTexts_->ok()) reportListsInMemory();
  connectControls();
  directoryShown(dir_->path());
}

void QtWindow::buildControls() {
  const QScreen* where = screen();
  const qreal dpiX = where ? where->logicalDotsPerInchX() : 96.0;
  const qreal dpiY = where ? where->logicalDotsPerInchY() : 96.0;
  const auto pixels = [](int twips, qreal dpi) { return qRound(twips * dpi / kTwipsPerInch); };
  setFixedSize(pixels(kClientWidthTwips, dpiX), pixels(kClientHeightTwips, dpiY));

  std::vector<std::pair<int, QWidget*>> tabbed;
  for (const ControlLayout& control : kWindowLayout) {
    QWidget* widget = makeControl(control);
    widget->setObjectName(latin1(control.name));
    widget->setGeometry(pixels(control.at.left, dpiX), pixels(control.at.top, dpiY),
                        pixels(control.at.width, dpiX), pixels(control.at.height, dpiY));
    if (!control.toolTip.empty()) widget->setToolTip(latin1(control.toolTip));
    if (control.tabIndex != kNoTab) tabbed.emplace_back(control.tabIndex, widget);
  }
  std::ranges::sort(tabbed, {}, &std::pair<int, QWidget*>::first);
  for (std::size_t i = 1; i < tabbed.size(); ++i) {
    QWidget::setTabOrder(tabbed[i - 1].second, tabbed[i].second);
  }
}

// Makes the control and binds it to its id, so the logic's calls reach it.
QWidget* QtWindow::makeControl(const ControlLayout& control) {
  const auto slot = static_cast<std::size_t>(control.id);
  switch (control.kind) {
    case ControlKind::DriveList:
      return drive_ = new DriveList(this);
    case ControlKind::DirList:
      return dir_ = new DirList(this);
    case ControlKind::Button:
      return buttons_.at(slot) = makeButton(control, this);
    case ControlKind::ListBox:
      return lists_.at(slot) =
                 new StationListView(this, [this](std::size_t bytes) { return listChunk(bytes); });
    case ControlKind::Lamp:
      return lamp_ = makeLamp(this);
    case ControlKind::TextBox:
      return textBoxes_.at(slot) = makeTextBox(control, this);
    case ControlKind::CheckBox:
      return checkBoxes_.at(slot) = makeCheckBox(control, this);
    case ControlKind::Label:
      break;
  }
  QLabel* label = makeLabel(control, this);
  if (control.id != kNoId) labels_.at(slot) = label;
  return label;
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
          [this](const QString& message) { readFailed(bytes(message)); });
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

char* QtWindow::listChunk(std::size_t bytes) {
  char* chunk = listTexts_->allocate(bytes);
  // Said once, after the append that asked: the message is an append too.
  if (chunk == nullptr && !listsInMemoryReported_) {
    listsInMemoryReported_ = true;
    QMetaObject::invokeMethod(
        this, [this] { reportListsInMemory(); }, Qt::QueuedConnection);
  }
  return chunk;
}

void QtWindow::reportListsInMemory() {
  listsInMemoryReported_ = true;
  lists_[indexOf(ListId::List2)]->addItem("list items kept in memory: " + listTexts_->error());
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

void QtWindow::setDirPath(const std::string& path) {
  const QString requested = QDir::cleanPath(QDir::fromNativeSeparators(latin1(path)));
  const std::string startDir = QDir::cleanPath(QDir::currentPath()).toStdString();
  for (const std::string& candidate :
       driveDirectories_.candidates(requested.toStdString(), startDir, drive_->rootPaths())) {
    if (const Result shown = dir_->open(QString::fromStdString(candidate)); !shown) {
      readFailed(shown.error);
      continue;
    }
    directoryShown(dir_->path());
    dispatch(&StationEvents::Dir1_Change);
    return;
  }
  // Nothing could be shown: the drive list goes back to where Dir1 still is.
  drive_->selectDriveOf(dir_->path());
}

void QtWindow::readFailed(const std::string& message) {
  dirReadError_ = message;
  dispatch(&StationEvents::Dir1_ReadError);
}

std::string QtWindow::dirReadError() const { return dirReadError_; }

void QtWindow::directoryShown(const QString& path) {
  driveDirectories_.opened(path.toStdString(), drive_->rootPaths());
  drive_->selectDriveOf(path);
}

void QtWindow::beep() { QApplication::beep(); }

void QtWindow::endProgram() {
  if (ended_) return;
  ended_ = true;
  events_ = nullptr;
  close();
  QCoreApplication::exit(0);
}

}  // namespace meterstation
