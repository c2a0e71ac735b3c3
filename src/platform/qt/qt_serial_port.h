#pragma once

#include <memory>

#include "platform/qt/port_factory.h"
#include "platform/qt/qt_link_scheduler.h"
#include "platform/serial/serial_link.h"

namespace meterstation {

namespace detail {

// What the link runs over: built before it, gone after it.
struct QtSerialPortParts {
  explicit QtSerialPortParts(std::unique_ptr<PortDevice> portDevice);
  QtLinkScheduler scheduler;
  std::unique_ptr<PortDevice> device;
};

}  // namespace detail

// The station's serial port: the serial link on Qt's event loop, over the
// device the factory makes. Port N is the device METERSTATION_COM<N> names
// (read at every open), else /dev/ttyS<N-1>.
//
// A port that fails while open (a USB adapter unplugged) is closed, reported
// once as PortLost and then reopened every two seconds until it is back
// (PortBack) or the station closes or changes the port itself. A port that
// could not be opened at all can be tried again in the same way.
class QtSerialPort : private detail::QtSerialPortParts, public SerialLink {
 public:
  explicit QtSerialPort(std::unique_ptr<PortDevice> portDevice = makePortDevice());
};

}  // namespace meterstation
