#include "platform/qt/qt_port_device.h"

#include <QDeadlineTimer>
#include <QSignalBlocker>

#include "platform/posix/tty_device.h"

namespace meterstation {

namespace {

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

QSerialPort::StopBits qtStopBits(StopBits wanted) {
  return stopBitsSent(wanted) == StopBits::Two ? QSerialPort::TwoStop : QSerialPort::OneStop;
}

PortError portError(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::DeviceNotFoundError:
      return PortError::DeviceNotFound;
    case QSerialPort::PermissionError:
      return PortError::PermissionDenied;
    case QSerialPort::OpenError:
      return PortError::OpenFailed;
    case QSerialPort::NotOpenError:
      return PortError::NotOpen;
    case QSerialPort::WriteError:
      return PortError::Write;
    case QSerialPort::ReadError:
      return PortError::Read;
    case QSerialPort::ResourceError:
      return PortError::Resource;
    case QSerialPort::UnsupportedOperationError:
      return PortError::UnsupportedOperation;
    case QSerialPort::TimeoutError:
      return PortError::Timeout;
    default:
      return PortError::Unknown;
  }
}

}  // namespace

QtPortDevice::QtPortDevice()
    : drain_([this] {
        QMetaObject::invokeMethod(
            this, [this] { drainEnded(); }, Qt::QueuedConnection);
      }) {
  connect(&port_, &QSerialPort::readyRead, this, [this] {
    if (listener_ != nullptr) listener_->portReadable();
  });
  connect(&port_, &QSerialPort::errorOccurred, this, &QtPortDevice::onError);
  connect(&port_, &QSerialPort::bytesWritten, this, &QtPortDevice::onBytesWritten);
}

QtPortDevice::~QtPortDevice() {
  listener_ = nullptr;
  closePort();
}

void QtPortDevice::setListener(PortListener* listener) { listener_ = listener; }

void QtPortDevice::configure(const std::string& device, const LineSettings& settings) {
  // A device is a file name: QSerialPort hands it to open() in the local
  // encoding, so it must arrive in that encoding to name the same file.
  port_.setPortName(QString::fromLocal8Bit(device.c_str()));
  port_.setBaudRate(settings.baud);
  port_.setParity(qtParity(settings.parity));
  port_.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits));
  port_.setStopBits(qtStopBits(settings.stopBits));
  port_.setFlowControl(QSerialPort::NoFlowControl);
}

Result QtPortDevice::open(int port, const LineSettings& settings) {
  const std::string device = serialDeviceName(port);
  configure(device, settings);
  std::string reason;
  {
    // What goes wrong while opening is the result, not news.
    const QSignalBlocker quiet(port_);
    if (port_.open(QIODevice::ReadWrite)) {
      // Pseudo-terminals and some adapters have no modem lines; that is no
      // reason to refuse the port, so failures here are ignored.
      port_.setDataTerminalReady(true);
      port_.setRequestToSend(true);
    } else {
      reason = latin1(port_.errorString()) + openRefusalHint(device);
    }
    port_.clearError();
  }
  if (!port_.isOpen()) {
    return Result::failure(reason.empty() ? "the port cannot be opened" : reason);
  }
  return Result::success();
}

void QtPortDevice::close() { closePort(); }

void QtPortDevice::closePort() {
  outputPending_ = false;
  handingOver_ = false;
  if (!port_.isOpen()) return;
  // Closing is the link's decision; what fails while closing is no news.
  const QSignalBlocker quiet(port_);
  port_.close();
  port_.clearError();
}

bool QtPortDevice::isOpen() const { return port_.isOpen(); }

std::string QtPortDevice::read() {
  if (!port_.isOpen()) return std::string();
  const QByteArray bytes = port_.readAll();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

Result QtPortDevice::write(const std::string& bytes) {
  const qint64 written = port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
  if (written != static_cast<qint64>(bytes.size())) {
    return Result::failure(latin1(port_.errorString()));
  }
  outputPending_ = true;
  // The driver takes what it can at once; the rest follows from the event
  // loop, and the drain starts once QSerialPort holds nothing back.
  port_.flush();
  if (port_.bytesToWrite() > 0) {
    handingOver_ = true;
  } else {
    startDrain();
  }
  return Result::success();
}

bool QtPortDevice::outputPending() const { return outputPending_; }

void QtPortDevice::onError(QSerialPort::SerialPortError error) {
  if (error == QSerialPort::NoError || listener_ == nullptr || !port_.isOpen()) return;
  std::string reason = latin1(port_.errorString());
  // QSerialPort reports the other end hanging up as a read error carrying
  // whatever errno an earlier call left behind; the terminal tells.
  if (error == QSerialPort::ReadError && terminalHungUp(static_cast<int>(port_.handle()))) {
    reason = "the device hung up";
  }
  listener_->portFailed(portError(error), reason);
}

void QtPortDevice::onBytesWritten() {
  if (!handingOver_ || port_.bytesToWrite() > 0) return;
  handingOver_ = false;
  startDrain();
}

void QtPortDevice::startDrain() {
  // A drain that cannot start leaves nothing to wait for.
  if (!drain_.start(static_cast<int>(port_.handle()))) {
    QMetaObject::invokeMethod(
        this, [this] { drainEnded(); }, Qt::QueuedConnection);
  }
}

void QtPortDevice::drainEnded() {
  if (!outputPending_ || handingOver_ || drain_.running()) return;
  outputPending_ = false;
  if (listener_ != nullptr) listener_->portDrained();
}

bool QtPortDevice::waitUntilHandedOver(int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  while (port_.isOpen() && port_.bytesToWrite() > 0) {
    if (deadline.hasExpired()) return false;
    if (!port_.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
      const QSerialPort::SerialPortError error = port_.error();
      if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError) return false;
    }
  }
  return true;
}

Result QtPortDevice::finishOutput(int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  if (!waitUntilHandedOver(timeoutMs)) {
    return Result::failure(deadline.hasExpired() ? notLeftWithin(timeoutMs)
                                                 : latin1(port_.errorString()));
  }
  // QSerialPort may have handed the last bytes over without saying so yet.
  if (handingOver_) {
    handingOver_ = false;
    startDrain();
  }
  if (!drain_.waitUntilDone(static_cast<int>(deadline.remainingTime()))) {
    return Result::failure(notLeftWithin(timeoutMs));
  }
  return Result::success();
}

}  // namespace meterstation
