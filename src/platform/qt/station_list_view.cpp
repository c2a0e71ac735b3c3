#include "platform/qt/station_list_view.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <limits>
#include <utility>

namespace meterstation {

namespace {

constexpr int kTextMargin = 2;

int clampToInt(std::size_t value) {
  return static_cast<int>(std::min<std::size_t>(value, std::numeric_limits<int>::max()));
}

}  // namespace

StationListView::StationListView(QWidget* parent, CompactListStore::ChunkSource source)
    : QAbstractScrollArea(parent), store_(CompactListStore::kDefaultChunkBytes, std::move(source)) {
  setFocusPolicy(Qt::StrongFocus);
  // Items longer than the view are cut, as in a plain list box; a horizontal
  // bar would need the widest item, that is a measurement per append.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  verticalScrollBar()->setSingleStep(1);
  rowHeight_ = std::max(1, fontMetrics().height());
  updateScrollRange();
}

void StationListView::addItem(const std::string& item) {
  store_.append(item);
  const std::size_t newRow = store_.size() - 1;
  updateScrollRange();
  const std::size_t top = topRow();
  if (newRow >= top && newRow <= top + static_cast<std::size_t>(visibleRows())) {
    const int y = static_cast<int>(newRow - top) * rowHeight_;
    viewport()->update(0, y, viewport()->width(), rowHeight_);
  }
}

std::string StationListView::item(std::size_t index) const { return std::string(store_.at(index)); }

int StationListView::visibleRows() const { return std::max(1, viewport()->height() / rowHeight_); }

std::size_t StationListView::topRow() const {
  return static_cast<std::size_t>(std::max(0, verticalScrollBar()->value()));
}

bool StationListView::atBottom() const {
  const QScrollBar* bar = verticalScrollBar();
  return bar->value() >= bar->maximum();
}

void StationListView::updateScrollRange() {
  QScrollBar* bar = verticalScrollBar();
  // Judged before the range moves: an append must not count as the
  // operator leaving the bottom.
  const bool follow = atBottom();
  const std::size_t rows = static_cast<std::size_t>(visibleRows());
  const std::size_t items = store_.size();
  bar->setRange(0, clampToInt(items > rows ? items - rows : 0));
  bar->setPageStep(static_cast<int>(rows));
  if (follow) bar->setValue(bar->maximum());
}

void StationListView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::Text));
  const QRect dirty = event->rect();
  const std::size_t top = topRow();
  const int width = viewport()->width();
  const int firstVisible = std::max(0, dirty.top() / rowHeight_);
  const int lastVisible = dirty.bottom() / rowHeight_;
  for (int r = firstVisible; r <= lastVisible; ++r) {
    const std::size_t row = top + static_cast<std::size_t>(r);
    if (row >= store_.size()) break;
    const std::string_view text = store_.at(row);
    const QRect cell(kTextMargin, r * rowHeight_, width - kTextMargin, rowHeight_);
    painter.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  }
}

void StationListView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollRange();
}

void StationListView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    rowHeight_ = std::max(1, fontMetrics().height());
    updateScrollRange();
    viewport()->update();
  }
}

void StationListView::scrollContentsBy(int, int) { viewport()->update(); }

void StationListView::keyPressEvent(QKeyEvent* event) {
  QScrollBar* bar = verticalScrollBar();
  switch (event->key()) {
    case Qt::Key_Up:
      bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
      break;
    case Qt::Key_Down:
      bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      break;
    case Qt::Key_PageUp:
      bar->triggerAction(QAbstractSlider::SliderPageStepSub);
      break;
    case Qt::Key_PageDown:
      bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
      break;
    case Qt::Key_Home:
      bar->triggerAction(QAbstractSlider::SliderToMinimum);
      break;
    case Qt::Key_End:
      bar->triggerAction(QAbstractSlider::SliderToMaximum);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
}

}  // namespace meterstation
