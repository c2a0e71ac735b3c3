#pragma once

#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <string>

#include "platform/serial/line_settings.h"
#include "platform/serial_port.h"
#include "platform/station_events.h"

namespace meterstation {

// The station's serial port over QSerialPort. Port N is COM<N> on Windows;
// on Linux it is the device named by METERSTATION_COM<N> (read at every
// open), else /dev/ttyS<N-1>.
//
// A port that fails while open (a USB adapter unplugged) is closed, reported
// once as PortLost and then reopened every two seconds until it is back
// (PortBack) or the station closes or changes the port itself. A port that
// could not be opened at all can be tried again in the same way.
class QtSerialPort : public QObject, public SerialPort {
  Q_OBJECT

 public:
  QtSerialPort();
  ~QtSerialPort() override;

  // Notifications go nowhere until the port is bound to the station.
  void bind(StationEvents& events);

  // The device that port N names at this moment.
  static std::string deviceName(int port);

  void setCommPort(int port) override;
  int commPort() const override;
  void setSettings(const std::string& settings) override;
  std::string settings() const override;

  bool portOpen() const override;
  Result setPortOpen(bool open) override;
  void retryOpenUntilBack() override;
  int reopenPeriodMs() const override;

  std::string input() override;
  Result output(const std::string& bytes) override;

  CommEvent commEvent() const override;
  std::string commEventText() const override;

 private:
  Result openDevice();
  void closeDevice();
  void stopReopening();
  void takeArrivedBytes();
  void onReadyRead();
  void onError(QSerialPort::SerialPortError error);
  std::string lossReason(QSerialPort::SerialPortError error);
  void handleLoss(const std::string& reason);
  void tryReopen();
  void notify(CommEvent event, const std::string& text);
  void raise(CommEvent event, const std::string& text);
  Result waitUntilSent(int timeoutMs);

  QSerialPort port_;
  QTimer reopenTimer_;
  StationEvents* events_ = nullptr;
  int commPort_ = 1;
  std::string settingsText_ = "300,N,8,1";
  ParsedLineSettings settings_;
  std::string received_;
  CommEvent commEvent_ = CommEvent::Other;
  std::string commEventText_;
  bool opening_ = false;      // errors of a failing open are its result, not events
  bool lost_ = false;         // closed by a failure, reopen attempts running
  bool neverOpened_ = false;  // the attempts are for a first open, not a lost port
  bool lossPending_ = false;  // a failure is being handled; the flood that follows is not news
  bool inOutput_ = false;     // notifications wait until output() has returned
  unsigned openCount_ = 0;    // tells a pending loss from a port opened since
};

}  // namespace meterstation
