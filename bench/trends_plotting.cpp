// The plotting library for meterstation-trends, chosen by measurement: the
// year's 570,000 sets drawn with Qt Charts, QCustomPlot and the plain
// painter, each reduced to min/max per pixel column (what a redraw while
// following costs) and unreduced (what drawing every set would cost).
#include <qcustomplot.h>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>
#include <cstdio>
#include <functional>

#include "bench/trends_bench.h"
#include "bench/year_database.h"
#include "trends/core/column_reduction.h"
#include "trends/core/plot_geometry.h"
#include "trends/core/trend_reader.h"

using namespace meterstation;
using namespace meterstation::bench;
using trends::kMeters;

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1000;

// Each meter's points as (x, y) pairs: two a column when reduced.
using Points = std::vector<QPointF>;

std::vector<Points> reducedPoints(const trends::TrendData& data, int columns) {
  const trends::Reduction r =
      trends::reduceToColumns(data, {data.firstTime(), data.lastTime()}, columns, 1 << 30);
  std::vector<Points> out(kMeters);
  for (int m = 0; m < kMeters; ++m) {
    for (int c = 0; c < columns; ++c) {
      const trends::ColumnSpan& s =
          r.meters[static_cast<std::size_t>(m)][static_cast<std::size_t>(c)];
      if (s.points == 0) continue;
      out[static_cast<std::size_t>(m)].push_back({static_cast<double>(c), s.low});
      out[static_cast<std::size_t>(m)].push_back({static_cast<double>(c), s.high});
    }
  }
  return out;
}

Points allPoints(const trends::TrendData& data, int meter) {
  Points points;
  points.reserve(data.size());
  for (std::size_t i = 0; i < data.size(); ++i) {
    points.push_back({static_cast<double>(data.times[i]), data.value(i, meter)});
  }
  return points;
}

// Pixels that are not white: a library that drew nothing would look fast.
int ink(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) n += (line[x] & 0xffffff) != 0xffffff ? 1 : 0;
  }
  return n;
}

double millis(const std::function<void()>& draw, int repeats) {
  std::vector<double> ms;
  for (int i = 0; i < repeats; ++i) {
    const long long start = monotonicNanos();
    draw();
    ms.push_back(static_cast<double>(monotonicNanos() - start) / 1e6);
  }
  return quantile(ms, 0.5);
}

// Sixteen panels, each drawn by `panel` into its own part of one picture.
void sixteen(QImage& image, const std::function<void(QPainter&, const QRect&, int)>& panel) {
  image.fill(Qt::white);
  QPainter painter(&image);
  const std::vector<trends::Panel> panels = trends::layoutPanels(kWidth, kHeight, 0);
  for (const trends::Panel& p : panels) {
    panel(painter, QRect(p.cell.left, p.cell.top, p.cell.width, p.cell.height), p.meter - 1);
  }
}

void chartsPanel(QPainter& painter, const QRect& where, const Points& points) {
  auto* chart = new QChart;  // the view owns it
  auto* series = new QLineSeries;
  series->replace(QList<QPointF>(points.begin(), points.end()));
  chart->addSeries(series);
  chart->createDefaultAxes();
  chart->legend()->hide();
  QChartView view(chart);
  view.resize(where.size());
  // Laid out only once shown and its events handled: part of its cost.
  view.show();
  QCoreApplication::processEvents();
  view.render(&painter, QRectF(where), view.rect());
}

void customPlotPanel(QPainter& painter, const QRect& where, const Points& points) {
  QCustomPlot plot;
  plot.resize(where.size());
  QVector<double> x;
  QVector<double> y;
  for (const QPointF& p : points) {
    x.push_back(p.x());
    y.push_back(p.y());
  }
  plot.addGraph()->setData(x, y, true);
  plot.rescaleAxes();
  plot.replot(QCustomPlot::rpImmediateRefresh);
  painter.drawPixmap(where.topLeft(), plot.toPixmap(where.width(), where.height()));
}

void painterPanel(QPainter& painter, const QRect& where, const Points& points) {
  if (points.empty()) return;
  double low = points.front().y();
  double high = low;
  double left = points.front().x();
  double right = left;
  for (const QPointF& p : points) {
    low = std::min(low, p.y());
    high = std::max(high, p.y());
    left = std::min(left, p.x());
    right = std::max(right, p.x());
  }
  QPolygonF line;
  line.reserve(static_cast<int>(points.size()));
  for (const QPointF& p : points) {
    line << QPointF(where.left() + (p.x() - left) / std::max(right - left, 1.0) * where.width(),
                    where.bottom() - (p.y() - low) / std::max(high - low, 1.0) * where.height());
  }
  painter.setPen(QColor(31, 119, 180));
  painter.drawPolyline(line);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::string year = yearDatabasePath(argc, argv);
  if (year.empty()) return 1;
  trends::TrendReader reader(2, [](const trends::OddLine&) {});
  {
    std::FILE* file = std::fopen(year.c_str(), "rb");
    std::vector<char> piece(4 << 20);
    std::size_t got = 0;
    while (file != nullptr && (got = std::fread(piece.data(), 1, piece.size(), file)) > 0) {
      reader.feed({piece.data(), got});
    }
    if (file != nullptr) std::fclose(file);
  }
  const trends::TrendData& data = reader.data();
  const int columns = trends::layoutPanels(kWidth, kHeight, 0).front().plot.width;
  const std::vector<Points> reduced = reducedPoints(data, columns);
  const Points oneMeter = allPoints(data, 1);
  const int repeats = hasFlag(argc, argv, "--quick") ? 1 : 3;
  QImage image(kWidth, kHeight, QImage::Format_RGB32);

  using Panel = std::function<void(QPainter&, const QRect&, const Points&)>;
  const std::vector<std::pair<std::string, Panel>> libraries = {{"Qt Charts", chartsPanel},
                                                                {"QCustomPlot", customPlotPanel},
                                                                {"plain QPainter", painterPanel}};
  for (const auto& library : libraries) {
    const Panel& panel = library.second;
    const std::string& name = library.first;
    const double ms = millis(
        [&] {
          sixteen(image, [&](QPainter& p, const QRect& r, int m) {
            panel(p, r, reduced[static_cast<std::size_t>(m)]);
          });
        },
        repeats);
    char value[128];
    std::snprintf(value, sizeof value, "%.1f ms (%d columns a panel; %d pixels inked)", ms, columns,
                  ink(image));
    printRow("plotting: 16 panels of the reduced year, " + name, value, "<= 50 ms", ms <= 50);
  }
  for (const auto& library : libraries) {
    const Panel& panel = library.second;
    const std::string& name = library.first;
    const double ms = millis(
        [&] {
          image.fill(Qt::white);
          QPainter painter(&image);
          panel(painter, QRect(0, 0, 400, 230), oneMeter);
        },
        1);
    char value[128];
    std::snprintf(value, sizeof value, "%.0f ms for one meter, so %.0f ms for 16 (%d pixels inked)",
                  ms, ms * 16, ink(image));
    printRow("plotting: every set of the year unreduced, " + name, value, "<= 1500 ms for 16",
             ms * 16 <= 1500);
  }
  return 0;
}
