#pragma once

#include <QObject>
#include <QSerialPort>
#include <string>

#include "platform/posix/output_drain.h"
#include "platform/serial/port_device.h"

namespace meterstation {

// A serial device through QSerialPort. Output is handed to the driver as
// fast as it takes it and drained on a thread of its own: no call here
// waits for the line, but finishOutput at the end of the program.
class QtPortDevice : public QObject, public PortDevice {
 public:
  QtPortDevice();
  ~QtPortDevice() override;

  void setListener(PortListener* listener) override;
  Result open(int port, const LineSettings& settings) override;
  void close() override;
  bool isOpen() const override;
  std::string read() override;
  Result write(const std::string& bytes) override;
  bool outputPending() const override;
  Result finishOutput(int timeoutMs) override;

 private:
  void configure(const std::string& device, const LineSettings& settings);
  void closePort();
  void onError(QSerialPort::SerialPortError error);
  void onBytesWritten();
  void startDrain();
  void drainEnded();
  bool waitUntilHandedOver(int timeoutMs);

  QSerialPort port_;
  PortListener* listener_ = nullptr;
  OutputDrain drain_;
  bool outputPending_ = false;  // written, not yet known to have left
  bool handingOver_ = false;    // part of it still waits in QSerialPort
};

}  // namespace meterstation
