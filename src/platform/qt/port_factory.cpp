#include "platform/qt/port_factory.h"

#include "platform/qt/qt_port_device.h"
#include "platform/serial/memory_port.h"

namespace meterstation {

std::unique_ptr<PortDevice> makePortDevice(PortKind kind) {
  if (kind == PortKind::Memory) return std::make_unique<MemoryPort>();
  return std::make_unique<QtPortDevice>();
}

}  // namespace meterstation
