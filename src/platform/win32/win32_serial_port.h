#pragma once

#include <memory>

#include "platform/serial/serial_link.h"
#include "platform/win32/message_window.h"
#include "platform/win32/win32_link_scheduler.h"
#include "platform/win32/win32_port_device.h"

namespace meterstation {

namespace detail {

// What the link runs over: built before it, gone after it. The device's
// threads hand their news to the event thread through a window of its
// own, which outlives the device and so every post its threads make.
struct Win32SerialPortParts {
  Win32SerialPortParts();
  MessageWindow deviceNews;
  Win32LinkScheduler scheduler;
  std::unique_ptr<PortDevice> device;
};

}  // namespace detail

// The station's serial port: the serial link on the thread's message loop,
// over \\.\COM1 to \\.\COM4. A port lost while open is reported once and
// reopened every two seconds until it is back, as on Linux.
class Win32SerialPort : private detail::Win32SerialPortParts, public SerialLink {
 public:
  Win32SerialPort();
};

}  // namespace meterstation
