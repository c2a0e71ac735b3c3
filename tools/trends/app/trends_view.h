#pragma once

#include <QWidget>

#include "trends/app/trends_document.h"
#include "trends/core/column_reduction.h"

namespace meterstation::trends {

// The sixteen meters, or one large, over a time range the operator zooms
// and pans. While the range ends at the newest set the view follows new
// sets; moving back in time stops that until Home shows everything again.
class TrendsView : public QWidget {
  Q_OBJECT

 public:
  explicit TrendsView(TrendsDocument& document, QWidget* parent = nullptr);

  int meter() const { return meter_; }
  void showMeter(int meter);
  void showWholeRange();
  bool following() const { return following_; }
  const TimeRange& range() const { return range_; }
  void setRange(const TimeRange& range);

 signals:
  void viewChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void onLoaded();
  void onGrew();
  void zoom(double factor, double anchorShare);
  void pan(double share);
  void showHover(const QPoint& at, const QPoint& global);
  int panelAt(const QPoint& at) const;
  int plotWidth() const;

  TrendsDocument& document_;
  TimeRange range_;
  int meter_ = 0;
  bool following_ = true;
  bool dragging_ = false;
  int dragX_ = 0;
  TimeRange dragRange_;
};

}  // namespace meterstation::trends
