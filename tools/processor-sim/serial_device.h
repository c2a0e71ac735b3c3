#pragma once

#include <string>

#include "processor-sim/line.h"

namespace meterstation::sim {

// A real serial port, set to 300,N,8,1 raw without flow control.
class SerialDevice final : public Line {
 public:
  explicit SerialDevice(std::string path) : path_(std::move(path)) {}
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;
  ~SerialDevice() override { close(); }

  Result open() override;
  void close() override;
  int fd() const override { return fd_; }
  std::string name() const override { return path_; }
  bool seesFarEnd() const override { return false; }
  bool farEndOpen() override { return fd_ >= 0; }
  void dropUnread() override {}

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace meterstation::sim
