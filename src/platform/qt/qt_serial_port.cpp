#include "platform/qt/qt_serial_port.h"

#include <QDeadlineTimer>
#include <QThread>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace meterstation {

namespace {

constexpr int kReopenIntervalMs = 2000;

// Bytes can sit in the driver and the adapter after QSerialPort has handed
// them on; this much on top of the line time covers that.
constexpr int kSendMarginMs = 2000;

std::string latin1(const QString& text) { return text.toLatin1().toStdString(); }

QSerialPort::Parity qtParity(char letter) {
  switch (letter) {
    case 'E':
      return QSerialPort::EvenParity;
    case 'O':
      return QSerialPort::OddParity;
    case 'M':
      return QSerialPort::MarkParity;
    case 'S':
      return QSerialPort::SpaceParity;
    default:
      return QSerialPort::NoParity;
  }
}

QSerialPort::StopBits qtStopBits(StopBits stopBits) {
  switch (stopBits) {
    case StopBits::OneAndHalf:
#ifdef Q_OS_UNIX
      // termios knows only "two stop bits", which a UART sends as one and a
      // half with five data bits; a receiver expecting 1.5 takes 2 as well.
      return QSerialPort::TwoStop;
#else
      return QSerialPort::OneAndHalfStop;
#endif
    case StopBits::Two:
      return QSerialPort::TwoStop;
    default:
      return QSerialPort::OneStop;
  }
}

// The errors after which the device cannot be used any more. A refused
// option or a failed control request leaves a port that still carries data.
bool losesPort(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
    case QSerialPort::UnsupportedOperationError:
    case QSerialPort::UnknownError:
      return false;
    default:
      return true;
  }
}

int lineTimeMs(const LineSettings& settings, std::size_t bytes) {
  const int bitsPerCharacter = 1 + settings.dataBits + (settings.parity == 'N' ? 0 : 1) +
                               (settings.stopBits == StopBits::One ? 1 : 2);
  const double ms = static_cast<double>(bytes) * bitsPerCharacter * 1000.0 / settings.baud;
  return ms > 3.6e6 ? 3600000 : static_cast<int>(ms) + 1;
}

}  // namespace

QtSerialPort::QtSerialPort() : settings_(parseLineSettings(settingsText_)) {
  reopenTimer_.setInterval(kReopenIntervalMs);
  connect(&reopenTimer_, &QTimer::timeout, this, &QtSerialPort::tryReopen);
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialPort::onReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QtSerialPort::~QtSerialPort() {
  stopReopening();
  events_ = nullptr;
  if (port_.isOpen()) port_.close();
}

void QtSerialPort::bind(StationEvents& events) { events_ = &events; }

std::string QtSerialPort::deviceName(int port) {
#ifdef Q_OS_WIN
  return "COM" + std::to_string(port);
#else
  const std::string variable = "METERSTATION_COM" + std::to_string(port);
  const char* device = std::getenv(variable.c_str());
  if (device != nullptr && *device != '\0') return device;
  return "/dev/ttyS" + std::to_string(port - 1);
#endif
}

void QtSerialPort::setCommPort(int port) {
  stopReopening();
  if (port_.isOpen()) return;
  commPort_ = port;
}

int QtSerialPort::commPort() const { return commPort_; }

void QtSerialPort::setSettings(const std::string& settings) {
  settingsText_ = settings;
  settings_ = parseLineSettings(settings);
}

std::string QtSerialPort::settings() const { return settingsText_; }

bool QtSerialPort::portOpen() const { return port_.isOpen(); }

Result QtSerialPort::setPortOpen(bool open) {
  stopReopening();
  closeDevice();
  return open ? openDevice() : Result::success();
}

void QtSerialPort::retryOpenUntilBack() {
  if (port_.isOpen()) return;
  lost_ = true;
  neverOpened_ = true;
  reopenTimer_.start();
}

int QtSerialPort::reopenPeriodMs() const { return kReopenIntervalMs; }

Result QtSerialPort::openDevice() {
  if (commPort_ < 1 || commPort_ > 4) {
    return Result::failure("there is no port COM" + std::to_string(commPort_) +
                           "; the ports are COM1 to COM4");
  }
  if (!settings_.ok) return Result::failure(settings_.error);

  const std::string device = deviceName(commPort_);
  const LineSettings& line = settings_.settings;
  // A device is a file name: QSerialPort hands it to open() in the local
  // encoding, so it must arrive in that encoding to name the same file.
  port_.setPortName(QString::fromLocal8Bit(device.c_str()));
  port_.setBaudRate(line.baud);
  port_.setParity(qtParity(line.parity));
  port_.setDataBits(static_cast<QSerialPort::DataBits>(line.dataBits));
  port_.setStopBits(qtStopBits(line.stopBits));
  port_.setFlowControl(QSerialPort::NoFlowControl);

  opening_ = true;
  const bool opened = port_.open(QIODevice::ReadWrite);
  std::string reason;
  if (opened) {
    // Pseudo-terminals and some adapters have no modem lines; that is no
    // reason to refuse the port, so failures here are ignored.
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(true);
  } else {
    reason = latin1(port_.errorString());
  }
  port_.clearError();
  opening_ = false;

  if (!opened) {
#ifdef Q_OS_UNIX
    if (::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
      reason += "; add the user to the dialout group";
    }
#endif
    return Result::failure(reason.empty() ? "the port cannot be opened" : reason);
  }
  ++openCount_;
  lossPending_ = false;
  return Result::success();
}

void QtSerialPort::closeDevice() {
  if (!port_.isOpen()) return;
  // What has arrived stays readable: an armed quiet-period tick still wants it.
  takeArrivedBytes();
  port_.close();
  port_.clearError();
}

void QtSerialPort::stopReopening() {
  lost_ = false;
  neverOpened_ = false;
  reopenTimer_.stop();
}

void QtSerialPort::takeArrivedBytes() {
  const QByteArray bytes = port_.readAll();
  received_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void QtSerialPort::onReadyRead() {
  takeArrivedBytes();
  notify(CommEvent::Receive, std::string());
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
  if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError) return;
  if (opening_ || !port_.isOpen() || lossPending_) return;
  if (!losesPort(error)) {
    notify(CommEvent::Other, latin1(port_.errorString()));
    return;
  }
  const std::string reason = lossReason(error);
  // A lost device keeps reporting read errors for as long as it stays open,
  // and closing QSerialPort from inside its own notifier is unsafe: handle
  // the loss once, from the event loop.
  lossPending_ = true;
  const unsigned failedOpen = openCount_;
  QMetaObject::invokeMethod(
      this,
      [this, reason, failedOpen] {
        if (failedOpen == openCount_) handleLoss(reason);
      },
      Qt::QueuedConnection);
}

std::string QtSerialPort::lossReason(QSerialPort::SerialPortError error) {
#ifdef Q_OS_UNIX
  // QSerialPort reports an end of file (the other end of the line hung up)
  // as a read error carrying whatever errno an earlier call left behind;
  // the device itself tells what happened.
  if (error == QSerialPort::ReadError) {
    takeArrivedBytes();
    char byte = 0;
    const ssize_t got = ::read(static_cast<int>(port_.handle()), &byte, 1);
    if (got == 1) received_.push_back(byte);
    if (got == 0) return "the device hung up";
    if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      return std::strerror(errno);
    }
  }
#else
  Q_UNUSED(error);
#endif
  return latin1(port_.errorString());
}

void QtSerialPort::handleLoss(const std::string& reason) {
  lossPending_ = false;
  if (!port_.isOpen()) return;
  closeDevice();
  lost_ = true;
  neverOpened_ = false;
  reopenTimer_.start();
  notify(CommEvent::PortLost, reason);
}

void QtSerialPort::tryReopen() {
  if (!lost_) {
    reopenTimer_.stop();
    return;
  }
  if (!openDevice()) return;
  stopReopening();
  notify(CommEvent::PortBack, std::string());
}

void QtSerialPort::notify(CommEvent event, const std::string& text) {
  if (!inOutput_) {
    raise(event, text);
    return;
  }
  // Handlers run one at a time; a notification found while output() waits
  // for the line is delivered after the caller's handler has finished.
  QMetaObject::invokeMethod(
      this, [this, event, text] { raise(event, text); }, Qt::QueuedConnection);
}

void QtSerialPort::raise(CommEvent event, const std::string& text) {
  commEvent_ = event;
  commEventText_ = text;
  if (events_ != nullptr) events_->MSComm1_OnComm();
}

std::string QtSerialPort::input() {
  if (port_.isOpen()) takeArrivedBytes();
  std::string bytes;
  bytes.swap(received_);
  return bytes;
}

Result QtSerialPort::output(const std::string& bytes) {
  if (!port_.isOpen()) {
    if (neverOpened_) return Result::failure("the port could not be opened yet");
    return Result::failure(lost_ ? "the port was lost and has not come back"
                                 : "the port is not open");
  }
  if (bytes.empty()) return Result::success();

  struct OutputScope {
    bool& flag;
    explicit OutputScope(bool& f) : flag(f) { flag = true; }
    ~OutputScope() { flag = false; }
  } scope(inOutput_);

  const qint64 written = port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
  if (written != static_cast<qint64>(bytes.size())) {
    return Result::failure(latin1(port_.errorString()));
  }
  return waitUntilSent(lineTimeMs(settings_.settings, bytes.size()) + kSendMarginMs);
}

Result QtSerialPort::waitUntilSent(int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  const std::string lateReason =
      "the bytes did not leave the port within " + std::to_string(timeoutMs) + " ms";
  while (port_.bytesToWrite() > 0) {
    if (deadline.hasExpired()) return Result::failure(lateReason);
    if (!port_.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
      const QSerialPort::SerialPortError error = port_.error();
      if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError) {
        return Result::failure(latin1(port_.errorString()));
      }
    }
  }
#ifdef Q_OS_UNIX
  // The program may end right after the stop command, and closing a port
  // can throw away what the driver still holds: wait until it has gone out.
  const int fd = static_cast<int>(port_.handle());
  for (;;) {
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0) break;
    if (deadline.hasExpired()) return Result::failure(lateReason);
    QThread::msleep(5);
  }
  while (::tcdrain(fd) != 0) {
    if (errno == EINTR) continue;
    // Pseudo-terminals and some adapters cannot drain; what they took is sent.
    if (errno == ENOTTY || errno == EINVAL) break;
    return Result::failure(std::strerror(errno));
  }
#endif
  return Result::success();
}

CommEvent QtSerialPort::commEvent() const { return commEvent_; }

std::string QtSerialPort::commEventText() const { return commEventText_; }

}  // namespace meterstation
