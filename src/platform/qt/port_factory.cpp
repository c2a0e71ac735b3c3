#include "platform/qt/port_factory.h"

#include <QCoreApplication>
#include <functional>
#include <utility>

#include "platform/posix/posix_port_device.h"
#include "platform/serial/memory_port.h"

namespace meterstation {

namespace {

// The application lives as long as the event loop does; calls posted for
// a device that is gone by then are the device's to ignore.
void toEventThread(std::function<void()> call) {
  QCoreApplication* const application = QCoreApplication::instance();
  if (application == nullptr) return;
  QMetaObject::invokeMethod(application, std::move(call), Qt::QueuedConnection);
}

}  // namespace

std::unique_ptr<PortDevice> makePortDevice(PortKind kind) {
  if (kind == PortKind::Memory) return std::make_unique<MemoryPort>();
  return std::make_unique<PosixPortDevice>(toEventThread);
}

}  // namespace meterstation
