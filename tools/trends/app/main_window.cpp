#include "trends/app/main_window.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "trends/app/picture_export.h"
#include "trends/core/stamp_time.h"

namespace meterstation::trends {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  view_ = new TrendsView(document_, this);
  setCentralWidget(view_);
  buildMenus();
  buildStatusBar();
  connect(&document_, &TrendsDocument::loaded, this, &MainWindow::updateStatus);
  connect(&document_, &TrendsDocument::grew, this, &MainWindow::updateStatus);
  connect(&document_, &TrendsDocument::sideFilesChanged, this, &MainWindow::updateStatus);
  connect(view_, &TrendsView::viewChanged, this, &MainWindow::updateStatus);
  resize(1280, 860);
}

void MainWindow::openDatabase(const QString& path, int field) {
  fieldBox_->blockSignals(true);
  fieldBox_->setCurrentIndex(field - 2);
  fieldBox_->blockSignals(false);
  document_.open(path, field);
  setWindowTitle(QFileInfo(path).fileName() + " - meterstation-trends");
  updateStatus();
}

void MainWindow::buildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->addAction("&Open...", QKeySequence::Open, this, &MainWindow::chooseFile);
  file->addAction("&Export picture...", QKeySequence("Ctrl+E"), this, &MainWindow::exportPicture);
  file->addSeparator();
  file->addAction("&Quit", QKeySequence::Quit, this, &QWidget::close);
  QMenu* view = menuBar()->addMenu("&View");
  view->addAction("&Whole range (Home)", this, [this] { view_->showWholeRange(); });
  view->addAction("&All meters (Esc)", this, [this] { view_->showMeter(0); });
  view->addAction("&Odd lines...", this, &MainWindow::showOddLines);

  QToolBar* bar = addToolBar("Field");
  bar->setMovable(false);
  bar->addWidget(new QLabel(" Field: "));
  fieldBox_ = new QComboBox;
  fieldBox_->addItem("2 (value, the alarm check's)");
  for (int k = 3; k <= 8; ++k) fieldBox_->addItem(QString::number(k));
  fieldBox_->setToolTip("The reading's field drawn for every meter; limits apply to field 2");
  connect(fieldBox_, &QComboBox::currentIndexChanged, this,
          [this](int index) { document_.open(document_.path(), index + 2); });
  bar->addWidget(fieldBox_);
  bar->addWidget(
      new QLabel("   wheel: zoom   drag or arrows: pan   Home: everything   "
                 "double-click: one meter / all"));
}

void MainWindow::buildStatusBar() {
  setsLabel_ = new QLabel;
  limitsLabel_ = new QLabel;
  followLabel_ = new QLabel;
  oddButton_ = new QPushButton;
  oddButton_->setFlat(true);
  oddButton_->setToolTip("List the odd lines with their line numbers");
  connect(oddButton_, &QPushButton::clicked, this, &MainWindow::showOddLines);
  statusBar()->addWidget(setsLabel_, 1);
  statusBar()->addPermanentWidget(limitsLabel_);
  statusBar()->addPermanentWidget(oddButton_);
  statusBar()->addPermanentWidget(followLabel_);
}

void MainWindow::updateStatus() {
  const TrendData& data = document_.data();
  QString sets;
  if (document_.loading()) {
    sets = "reading " + document_.path() + " ...";
  } else if (!document_.problem().isEmpty()) {
    sets = document_.problem() + "; waiting for it";
  } else {
    sets = QString("%L1 sets").arg(data.size());
    if (data.size() > 0) {
      sets += QString(", %1 to %2")
                  .arg(QString::fromStdString(timeText(data.firstTime())),
                       QString::fromStdString(timeText(data.lastTime())));
    }
  }
  setsLabel_->setText(sets);
  const LimitTable& limits = document_.limits();
  QString limitsText = limits.found ? QString("limits of ct.dat (%1 meters)").arg(limits.lines)
                                    : QString("no ct.dat beside the database: no limits");
  if (limits.found && document_.field() != 2) limitsText = "limits apply to field 2 only";
  limitsText += QString(", %L1 alarms").arg(document_.alarms().marks.size());
  limitsLabel_->setText(limitsText);
  const std::size_t odd = document_.oddCount();
  oddButton_->setText(odd == 1 ? QString("1 odd line") : QString("%L1 odd lines").arg(odd));
  oddButton_->setEnabled(odd > 0);
  followLabel_->setText(view_->following() ? "following the newest set"
                                           : "scrolled back (Home follows again)");
}

void MainWindow::chooseFile() {
  const QString path =
      QFileDialog::getOpenFileName(this, "Open a database", QFileInfo(document_.path()).path(),
                                   "Databases (*.db1);;All files (*)");
  if (!path.isEmpty()) openDatabase(path, document_.field());
}

void MainWindow::exportPicture() {
  const QString path = QFileDialog::getSaveFileName(this, "Export the picture", QString(),
                                                    "PNG picture (*.png);;SVG drawing (*.svg)");
  if (path.isEmpty()) return;
  TrendScene scene = sceneOf(document_, view_->range(), view_->meter());
  const QString error = writePicture(path, scene, 1600, 1000);
  if (!error.isEmpty()) QMessageBox::warning(this, "Export", error);
}

void MainWindow::showOddLines() {
  QDialog dialog(this);
  dialog.setWindowTitle("Odd lines of " + QFileInfo(document_.path()).fileName());
  auto* text = new QPlainTextEdit(&dialog);
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  QString list;
  const std::vector<OddLine> odd = document_.oddList();
  for (const OddLine& line : odd) list += QString::fromLatin1(reportText(line)) + "\n";
  if (document_.oddCount() > odd.size()) {
    list += QString("... and %L1 more not listed\n").arg(document_.oddCount() - odd.size());
  }
  text->setPlainText(list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(text);
  layout->addWidget(buttons);
  dialog.resize(760, 420);
  dialog.exec();
}

}  // namespace meterstation::trends
