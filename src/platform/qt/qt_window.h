#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/drive_directories.h"
#include "platform/posix/mapped_text_file.h"
#include "platform/station_events.h"
#include "platform/window_controls.h"
#include "platform/window_layout.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace meterstation {

class DirList;
class DriveList;
class StationListView;

// The station's one window, built from kWindowLayout. Every control carries
// its control name as its objectName. Events reach the station only once bind() has been called
// and stop for good at endProgram().
class QtWindow : public QWidget, public WindowControls {
  Q_OBJECT

 public:
  // The calls beneath the lists' text file are a seam for tests.
  explicit QtWindow(QWidget* parent = nullptr, MappingCalls listTextCalls = MappingCalls::real());

  void bind(StationEvents& events);

  // WindowControls::setEnabled would hide the widget's own.
  using QWidget::setEnabled;

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

  StationListView* list(ListId id) const;
  QLineEdit* textBox(TextId id) const;
  QLabel* label(LabelId id) const;
  QCheckBox* checkBox(CheckId id) const;
  QPushButton* button(ButtonId id) const;
  QFrame* lamp() const { return lamp_; }
  DriveList* driveList() const { return drive_; }
  DirList* dirList() const { return dir_; }
  bool ended() const { return ended_; }
  // The lists' texts on file, and a way to have the kernel page them out.
  std::uint64_t listTextBytes() const { return listTexts_->mappedBytes(); }
  void pageOutListTexts() { listTexts_->pageOut(); }

  // The user's session is ending (logout, shutdown): a close from now on is
  // the session's, not the operator's, until the operator next presses a
  // key or a mouse button in the window (a logout that was called off).
  void noteSessionEnding();
  bool sessionEnding() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  QWidget* makeControl(const ControlLayout& control);
  void connectControls();
  void connectRunControls();
  void dispatch(void (StationEvents::*handler)());
  void directoryShown(const QString& path);
  void readFailed(const std::string& message);
  char* listChunk(std::size_t bytes);
  void reportListsInMemory();

  StationEvents* events_ = nullptr;
  bool ended_ = false;
  bool sessionEnding_ = false;

  // The lists' texts, in the user's cache directory; the heap holds them
  // when that cannot be written.
  std::unique_ptr<MappedTextFile> listTexts_;
  bool listsInMemoryReported_ = false;
  std::array<StationListView*, 2> lists_{};
  std::array<QLineEdit*, 4> textBoxes_{};
  std::array<QLabel*, 3> labels_{};
  std::array<QCheckBox*, 2> checkBoxes_{};
  std::array<QPushButton*, 6> buttons_{};
  QFrame* lamp_ = nullptr;
  DriveList* drive_ = nullptr;
  DirList* dir_ = nullptr;
  // Paths in Qt's form, '/' separated.
  DriveDirectories driveDirectories_{'/'};
  std::string dirReadError_;
};

}  // namespace meterstation
