#include <cstdio>
#include <string>

#include "platform/window_layout.h"

// Prints each control of the station's window as "name left top width
// height" in pixels at 96 dots per inch, so that a test that drives the
// window from outside clicks where the layout table puts the controls.
int main() {
  constexpr int kDotsPerInch = 96;
  const auto pixels = [](int twips) {
    return (twips * kDotsPerInch + meterstation::kTwipsPerInch / 2) / meterstation::kTwipsPerInch;
  };
  for (const meterstation::ControlLayout& control : meterstation::kWindowLayout) {
    const std::string name(control.name);
    std::printf("%s %d %d %d %d\n", name.c_str(), pixels(control.at.left), pixels(control.at.top),
                pixels(control.at.width), pixels(control.at.height));
  }
  return 0;
}
