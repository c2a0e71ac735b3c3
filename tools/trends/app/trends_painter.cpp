#include "trends/app/trends_painter.h"

#include <QPainterPath>
#include <QPolygonF>

#include "trends/app/trends_colours.h"
#include "trends/core/plot_geometry.h"

namespace meterstation::trends {

namespace {

struct PanelPaint {
  QPainter& p;
  const TrendScene& scene;
  const Panel& panel;
  const std::vector<ColumnSpan>& spans;
  const MeterLimits* limits;  // null: no limits apply to this field
  ValueScale scale;

  int y(double v) const { return rowOf(v, scale, panel.plot); }
  int x(int column) const { return panel.plot.left + column; }
};

// As many decimals as the scale's span makes worth reading, so "1032" fits
// beside the plot where "1032.15" would be cut.
QString valueLabel(double v, const ValueScale& scale) {
  const double span = scale.high - scale.low;
  if (span >= 100) return QString::number(v, 'f', 0);
  if (span >= 1) return QString::number(v, 'f', 1);
  return QString::number(v, 'g', 4);
}

void paintFrame(const PanelPaint& pp, const std::vector<TimeTick>& ticks) {
  const Box& b = pp.panel.plot;
  pp.p.setPen(gridColour());
  for (const TimeTick& tick : ticks) {
    const int c = columnOf(tick.time, pp.scene.range, b.width);
    if (c >= 0) pp.p.drawLine(pp.x(c), b.top, pp.x(c), b.bottom());
  }
  pp.p.setPen(frameColour());
  pp.p.drawRect(b.left - 1, b.top - 1, b.width + 1, b.height + 1);
  pp.p.setPen(textColour());
  const Box& cell = pp.panel.cell;
  pp.p.drawText(QRect(b.left, cell.top, b.width, b.top - cell.top - 1),
                Qt::AlignLeft | Qt::AlignBottom,
                QString("meter %1").arg(pp.panel.meter, 2, 10, QChar('0')));
  const QRect labels(cell.left, b.top - 6, b.left - cell.left - 4, b.height + 12);
  pp.p.drawText(labels, Qt::AlignRight | Qt::AlignTop, valueLabel(pp.scale.high, pp.scale));
  pp.p.drawText(labels, Qt::AlignRight | Qt::AlignBottom, valueLabel(pp.scale.low, pp.scale));
}

void paintLimits(const PanelPaint& pp) {
  if (pp.limits == nullptr) return;
  const Box& b = pp.panel.plot;
  pp.p.setPen(QPen(limitColour(), 1));
  if (pp.limits->highOn)
    pp.p.drawLine(b.left, pp.y(pp.limits->high), b.right(), pp.y(pp.limits->high));
  if (pp.limits->lowOn)
    pp.p.drawLine(b.left, pp.y(pp.limits->low), b.right(), pp.y(pp.limits->low));
}

void paintValues(const PanelPaint& pp, bool sparse) {
  pp.p.setPen(QPen(valueColour(), 1));
  int previous = -1;
  for (int c = 0; c < static_cast<int>(pp.spans.size()); ++c) {
    const ColumnSpan& s = pp.spans[static_cast<std::size_t>(c)];
    if (s.points == 0) continue;
    if (s.joined && previous >= 0) {
      const ColumnSpan& before = pp.spans[static_cast<std::size_t>(previous)];
      pp.p.drawLine(pp.x(previous), pp.y(before.last), pp.x(c), pp.y(s.first));
    }
    pp.p.drawLine(pp.x(c), pp.y(s.low), pp.x(c), pp.y(s.high));
    if (sparse) pp.p.drawRect(pp.x(c) - 1, pp.y(s.first) - 1, 2, 2);
    previous = c;
  }
}

// A value that raised an alarm is ringed; only a column's extremes can
// lie beyond a limit where its other values do not.
void paintBeyond(const PanelPaint& pp) {
  if (pp.limits == nullptr) return;
  pp.p.setPen(QPen(beyondColour(), 2));
  pp.p.setBrush(Qt::NoBrush);
  for (int c = 0; c < static_cast<int>(pp.spans.size()); ++c) {
    const ColumnSpan& s = pp.spans[static_cast<std::size_t>(c)];
    if (s.points == 0) continue;
    if (beyondLimits(*pp.limits, s.high)) pp.p.drawEllipse(QPoint(pp.x(c), pp.y(s.high)), 4, 4);
    if (s.low != s.high && beyondLimits(*pp.limits, s.low)) {
      pp.p.drawEllipse(QPoint(pp.x(c), pp.y(s.low)), 4, 4);
    }
  }
}

void paintAlarms(const PanelPaint& pp) {
  if (pp.scene.alarms == nullptr) return;
  const Box& b = pp.panel.plot;
  pp.p.setPen(Qt::NoPen);
  for (const AlarmMark& mark : pp.scene.alarms->marks) {
    if (mark.meter != pp.panel.meter) continue;
    const int c = columnOf(mark.time, pp.scene.range, b.width);
    if (c < 0) continue;
    pp.p.setBrush(mark.high ? highAlarmColour() : lowAlarmColour());
    const QPolygon triangle({QPoint(pp.x(c), b.bottom() - 7), QPoint(pp.x(c) - 4, b.bottom()),
                             QPoint(pp.x(c) + 4, b.bottom())});
    pp.p.drawPolygon(triangle);
  }
  pp.p.setBrush(Qt::NoBrush);
}

void paintTimeLabels(QPainter& p, const Panel& panel, const TrendScene& scene,
                     const std::vector<TimeTick>& ticks) {
  p.setPen(textColour());
  const Box& b = panel.plot;
  int freeFrom = b.left;
  for (const TimeTick& tick : ticks) {
    const int c = columnOf(tick.time, scene.range, b.width);
    if (c < 0) continue;
    const QString label = QString::fromStdString(tick.label);
    const int w = p.fontMetrics().horizontalAdvance(label);
    const int left = std::clamp(b.left + c - w / 2, b.left, b.right() - w);
    // A label squeezed against the edge would cover its neighbour.
    if (left < freeFrom) continue;
    p.drawText(QPoint(left, b.bottom() + 4 + p.fontMetrics().ascent()), label);
    freeFrom = left + w + 8;
  }
}

}  // namespace

void paintTrends(QPainter& painter, int width, int height, const TrendScene& scene) {
  painter.fillRect(0, 0, width, height, Qt::white);
  const std::vector<Panel> panels = layoutPanels(width, height, scene.meter);
  painter.setPen(textColour());
  painter.drawText(QRect(8, 0, width - 16, kHeaderHeight), Qt::AlignVCenter | Qt::AlignLeft,
                   scene.title);
  if (scene.data == nullptr) return;
  const int columns = panels.front().plot.width;
  const Reduction r = reduceToColumns(*scene.data, scene.range, columns, scene.breakGap);
  const bool sparse = r.points * 4 < columns;
  const int maxTicks = std::max(2, columns / 110);
  const std::vector<TimeTick> ticks = timeTicks(scene.range, maxTicks);
  const bool limitsApply = scene.limits != nullptr && scene.data->field == 2;
  for (const Panel& panel : panels) {
    const auto& spans = r.meters[static_cast<std::size_t>(panel.meter - 1)];
    const MeterLimits* limits =
        limitsApply ? &scene.limits->meters[static_cast<std::size_t>(panel.meter)] : nullptr;
    PanelPaint pp{painter, scene, panel, spans, limits, valueScale(spans, limits)};
    paintFrame(pp, ticks);
    painter.save();
    painter.setClipRect(panel.plot.left, panel.plot.top, panel.plot.width, panel.plot.height);
    paintValues(pp, sparse);
    paintLimits(pp);
    paintBeyond(pp);
    paintAlarms(pp);
    painter.restore();
    if (panel.meter > kMeters - 4 || scene.meter != 0)
      paintTimeLabels(painter, panel, scene, ticks);
  }
}

}  // namespace meterstation::trends
