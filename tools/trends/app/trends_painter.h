#pragma once

#include <QPainter>
#include <QString>

#include "trends/core/alarm_log.h"
#include "trends/core/column_reduction.h"
#include "trends/core/meter_limits.h"
#include "trends/core/trend_data.h"

namespace meterstation::trends {

// Everything one picture shows; the window and --export draw the same.
struct TrendScene {
  const TrendData* data = nullptr;
  const LimitTable* limits = nullptr;
  const AlarmLog* alarms = nullptr;
  TimeRange range;
  int meter = 0;  // 0: all sixteen
  std::int64_t breakGap = 0;
  QString title;
};

// Draws with the plain painter, one reduced column per pixel: measured
// against Qt Charts and QCustomPlot in docs/performance.md.
void paintTrends(QPainter& painter, int width, int height, const TrendScene& scene);

}  // namespace meterstation::trends
