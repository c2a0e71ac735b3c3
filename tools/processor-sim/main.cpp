#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "processor-sim/burst_log.h"
#include "processor-sim/link_file.h"
#include "processor-sim/pty_link.h"
#include "processor-sim/serial_device.h"
#include "processor-sim/signal_watch.h"
#include "processor-sim/sim_options.h"
#include "processor-sim/sim_runner.h"

using namespace meterstation::sim;

int main(int argc, char** argv) {
  const ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.ok) {
    std::fprintf(stderr, "processor-sim: %s\nTry 'processor-sim --help' for the options.\n",
                 parsed.error.c_str());
    return 2;
  }
  const SimOptions& options = parsed.options;
  if (options.help) {
    std::fputs(helpText().c_str(), stdout);
    return 0;
  }

  SignalWatch signals;
  if (const meterstation::Result installed = signals.install(); !installed) {
    std::fprintf(stderr, "processor-sim: %s\n", installed.error.c_str());
    return 1;
  }
  BurstLog log(options.quiet);
  if (!options.logPath.empty()) {
    if (const meterstation::Result opened = log.openFile(options.logPath); !opened) {
      std::fprintf(stderr, "processor-sim: %s\n", opened.error.c_str());
      return 1;
    }
  }

  std::unique_ptr<Line> line;
  if (options.devicePath.empty())
    line = std::make_unique<PtyLink>();
  else
    line = std::make_unique<SerialDevice>(options.devicePath);
  std::optional<LinkFile> link;
  if (!options.linkPath.empty()) link.emplace(options.linkPath);

  SimRunner runner(options, *line, link ? &*link : nullptr, log, signals);
  return runner.run();
}
