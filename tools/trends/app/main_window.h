#pragma once

#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>

#include "trends/app/trends_document.h"
#include "trends/app/trends_view.h"

namespace meterstation::trends {

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);

  void openDatabase(const QString& path, int field);
  TrendsView& view() { return *view_; }
  TrendsDocument& document() { return document_; }

 private:
  void buildMenus();
  void buildStatusBar();
  void updateStatus();
  void chooseFile();
  void exportPicture();
  void showOddLines();

  TrendsDocument document_;
  TrendsView* view_ = nullptr;
  QComboBox* fieldBox_ = nullptr;
  QLabel* setsLabel_ = nullptr;
  QLabel* limitsLabel_ = nullptr;
  QLabel* followLabel_ = nullptr;
  QPushButton* oddButton_ = nullptr;
};

}  // namespace meterstation::trends
