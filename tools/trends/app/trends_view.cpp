#include "trends/app/trends_view.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>

#include "trends/app/trends_painter.h"
#include "trends/core/plot_geometry.h"
#include "trends/core/stamp_time.h"

namespace meterstation::trends {

namespace {

// Less than this is no longer a readable plot.
constexpr std::int64_t kShortestRange = 60;

}  // namespace

TrendsView::TrendsView(TrendsDocument& document, QWidget* parent)
    : QWidget(parent), document_(document) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(640, 420);
  setAttribute(Qt::WA_OpaquePaintEvent);
  connect(&document_, &TrendsDocument::loaded, this, &TrendsView::onLoaded);
  connect(&document_, &TrendsDocument::grew, this, &TrendsView::onGrew);
  connect(&document_, &TrendsDocument::sideFilesChanged, this, [this] { update(); });
}

void TrendsView::showMeter(int meter) {
  meter_ = meter;
  update();
  emit viewChanged();
}

void TrendsView::showWholeRange() {
  const TrendData& data = document_.data();
  range_ = {data.firstTime(), std::max(data.lastTime(), data.firstTime() + kShortestRange)};
  following_ = true;
  update();
  emit viewChanged();
}

void TrendsView::setRange(const TimeRange& range) {
  range_ = range;
  following_ = range_.to >= document_.data().lastTime();
  update();
  emit viewChanged();
}

void TrendsView::onLoaded() { showWholeRange(); }

void TrendsView::onGrew() {
  const TrendData& data = document_.data();
  if (following_ && data.size() > 0) {
    const std::int64_t last = data.lastTime();
    // A view from the first set keeps its start; a zoomed one slides along.
    if (range_.from <= data.firstTime()) {
      range_.from = data.firstTime();
    } else {
      range_.from += last - range_.to;
    }
    range_.to = std::max(last, range_.from + kShortestRange);
  }
  update();
  emit viewChanged();
}

int TrendsView::plotWidth() const {
  return layoutPanels(width(), height(), meter_).front().plot.width;
}

void TrendsView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TrendScene scene;
  const bool ready = !document_.loading();
  if (ready) {
    scene.data = &document_.data();
    scene.limits = document_.limits().found ? &document_.limits() : nullptr;
    scene.alarms = &document_.alarms();
    scene.breakGap = breakGapOf(document_.data());
  }
  scene.range = range_;
  scene.meter = meter_;
  QString title =
      QFileInfo(document_.path()).fileName() + "   field " + QString::number(document_.field());
  if (!ready) title += "   reading...";
  if (ready && document_.data().size() > 0) {
    title += "   " + QString::fromStdString(timeText(range_.from)) + "  to  " +
             QString::fromStdString(timeText(range_.to));
  }
  scene.title = title;
  paintTrends(painter, width(), height(), scene);
}

void TrendsView::zoom(double factor, double anchorShare) {
  const double span = static_cast<double>(range_.to - range_.from);
  const double anchor = static_cast<double>(range_.from) + span * anchorShare;
  const double newSpan = std::max(span * factor, static_cast<double>(kShortestRange));
  range_.from = static_cast<std::int64_t>(std::llround(anchor - newSpan * anchorShare));
  range_.to = static_cast<std::int64_t>(std::llround(anchor + newSpan * (1 - anchorShare)));
  following_ = range_.to >= document_.data().lastTime();
  update();
  emit viewChanged();
}

void TrendsView::pan(double share) {
  const auto shift =
      static_cast<std::int64_t>(std::llround(share * static_cast<double>(range_.to - range_.from)));
  range_.from += shift;
  range_.to += shift;
  following_ = range_.to >= document_.data().lastTime();
  update();
  emit viewChanged();
}

void TrendsView::wheelEvent(QWheelEvent* event) {
  const Box plot = layoutPanels(width(), height(), meter_).front().plot;
  // Panels share the time axis: the share is taken within whichever one
  // the cursor is over.
  const int panel = panelAt(event->position().toPoint());
  const std::vector<Panel> panels = layoutPanels(width(), height(), meter_);
  const Box& over =
      panel > 0 && meter_ == 0 ? panels[static_cast<std::size_t>(panel - 1)].plot : plot;
  const double share =
      std::clamp((event->position().x() - over.left) / std::max(over.width, 1), 0.0, 1.0);
  zoom(event->angleDelta().y() > 0 ? 0.8 : 1.25, share);
}

void TrendsView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = true;
  dragX_ = event->position().toPoint().x();
  dragRange_ = range_;
}

void TrendsView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (dragging_) {
    const double share = static_cast<double>(dragX_ - at.x()) / std::max(plotWidth(), 1);
    range_ = dragRange_;
    pan(share);
    return;
  }
  showHover(at, event->globalPosition().toPoint());
}

void TrendsView::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

void TrendsView::mouseDoubleClickEvent(QMouseEvent* event) {
  const int panel = panelAt(event->position().toPoint());
  if (panel > 0) showMeter(meter_ == 0 ? panel : 0);
}

void TrendsView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Home:
      showWholeRange();
      break;
    case Qt::Key_Escape:
      showMeter(0);
      break;
    case Qt::Key_Left:
      pan(-0.1);
      break;
    case Qt::Key_Right:
      pan(0.1);
      break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      zoom(0.8, 0.5);
      break;
    case Qt::Key_Minus:
      zoom(1.25, 0.5);
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

int TrendsView::panelAt(const QPoint& at) const {
  for (const Panel& panel : layoutPanels(width(), height(), meter_)) {
    if (panel.cell.contains(at.x(), at.y())) return panel.meter;
  }
  return 0;
}

void TrendsView::showHover(const QPoint& at, const QPoint& global) {
  const int meter = panelAt(at);
  const TrendData& data = document_.data();
  if (meter == 0 || document_.loading() || data.size() == 0) {
    QToolTip::hideText();
    return;
  }
  const std::vector<Panel> panels = layoutPanels(width(), height(), meter_);
  const Box& plot = panels[meter_ == 0 ? static_cast<std::size_t>(meter - 1) : 0].plot;
  const double share =
      std::clamp(static_cast<double>(at.x() - plot.left) / std::max(plot.width - 1, 1), 0.0, 1.0);
  const auto t =
      range_.from +
      static_cast<std::int64_t>(std::llround(share * static_cast<double>(range_.to - range_.from)));
  const std::size_t set = data.nearest(t);
  const float v = data.value(set, meter);
  const QString value =
      std::isnan(v) ? QString("no value") : QString::number(static_cast<double>(v), 'g', 7);
  QToolTip::showText(global,
                     QString("meter %1\n%2\nfield %3: %4")
                         .arg(meter, 2, 10, QChar('0'))
                         .arg(QString::fromStdString(timeText(data.times[set])))
                         .arg(data.field)
                         .arg(value),
                     this);
}

}  // namespace meterstation::trends
