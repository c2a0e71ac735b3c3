#pragma once

#include <QString>

#include "trends/app/trends_document.h"
#include "trends/app/trends_painter.h"
#include "trends/core/trend_options.h"

namespace meterstation::trends {

// The scene the window shows for this range and meter.
TrendScene sceneOf(const TrendsDocument& document, const TimeRange& range, int meter);

// Draws the scene into a .png or .svg file; the empty text when it was
// written, else what went wrong.
QString writePicture(const QString& path, const TrendScene& scene, int width, int height);

// --export: reads the database whole, reports each odd line on standard
// error as db2csv does, and draws. 0 when the picture was written, 2 when
// the database could not be read or the picture not written.
int runExport(const TrendOptions& options);

}  // namespace meterstation::trends
