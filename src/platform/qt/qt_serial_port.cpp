#include "platform/qt/qt_serial_port.h"

#include <utility>

namespace meterstation {

detail::QtSerialPortParts::QtSerialPortParts(std::unique_ptr<PortDevice> portDevice)
    : device(std::move(portDevice)) {}

QtSerialPort::QtSerialPort(std::unique_ptr<PortDevice> portDevice)
    : QtSerialPortParts(std::move(portDevice)), SerialLink(*device, scheduler) {}

}  // namespace meterstation
