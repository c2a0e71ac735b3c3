#include "platform/win32/win32_serial_port.h"

#include <utility>

namespace meterstation {

detail::Win32SerialPortParts::Win32SerialPortParts()
    : device(std::make_unique<Win32PortDevice>(
          [this](std::function<void()> call) { deviceNews.post(std::move(call)); })) {}

Win32SerialPort::Win32SerialPort() : SerialLink(*device, scheduler) {}

}  // namespace meterstation
