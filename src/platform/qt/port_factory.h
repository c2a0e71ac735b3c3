#pragma once

#include <memory>

#include "platform/serial/port_device.h"

namespace meterstation {

enum class PortKind {
  System,  // the system's serial device: a PosixPortDevice on Qt's event loop
  Memory,  // a device in memory that a test drives: a MemoryPort
};

// The device under the station's serial link. Whoever needs a port asks
// here, so no caller knows which platform it runs on.
std::unique_ptr<PortDevice> makePortDevice(PortKind kind = PortKind::System);

}  // namespace meterstation
