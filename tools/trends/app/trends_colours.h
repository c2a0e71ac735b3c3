#pragma once

#include <QColor>

namespace meterstation::trends {

// Colours far apart, so a limit line, a marked value and an alarm are told
// apart at a glance, and by the tests at a pixel.
inline QColor valueColour() { return {31, 119, 180}; }
inline QColor limitColour() { return {255, 127, 14}; }
inline QColor beyondColour() { return {214, 39, 40}; }
inline QColor highAlarmColour() { return {200, 0, 200}; }
inline QColor lowAlarmColour() { return {0, 150, 150}; }
inline QColor frameColour() { return {190, 190, 190}; }
inline QColor gridColour() { return {235, 235, 235}; }
inline QColor textColour() { return {40, 40, 40}; }

}  // namespace meterstation::trends
