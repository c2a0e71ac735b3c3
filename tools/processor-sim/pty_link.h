#pragma once

#include <string>

#include "processor-sim/line.h"

namespace meterstation::sim {

// A pseudo-terminal whose slave the station opens as its serial port.
class PtyLink final : public Line {
 public:
  PtyLink() = default;
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;
  ~PtyLink() override { close(); }

  Result open() override;
  void close() override;
  int fd() const override { return master_; }
  std::string name() const override { return slavePath_; }
  bool seesFarEnd() const override { return true; }
  bool farEndOpen() override;
  void dropUnread() override;

 private:
  int master_ = -1;
  std::string slavePath_;
};

}  // namespace meterstation::sim
