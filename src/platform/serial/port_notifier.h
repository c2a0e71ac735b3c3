#pragma once

#include <functional>
#include <memory>

#include "platform/serial/port_device.h"
#include "platform/serial/port_news.h"

namespace meterstation {

// Tells a device's listener, on the event thread, what the device's own
// threads found. Every call they post belongs to one open of the port and
// does nothing once that open has ended, so a call still queued for an
// earlier open, or for a device gone, never reaches the listener.
class PortNotifier {
 public:
  // Queues a call to run on the event thread; called from any thread.
  using EventThreadPost = std::function<void(std::function<void()>)>;

  explicit PortNotifier(EventThreadPost toEventThread);
  // Calls still queued then do nothing.
  ~PortNotifier() { closed(); }
  PortNotifier(const PortNotifier&) = delete;
  PortNotifier& operator=(const PortNotifier&) = delete;

  void setListener(PortListener* listener) { listener_ = listener; }
  // The calls posted from now on belong to a new open.
  void opened();
  // On the event thread: what is still queued for this open does nothing.
  void closed();

  // What any thread calls to have call run on the event thread, as long as
  // the open that is current now has not ended.
  std::function<void()> poster(std::function<void()> call) const;

  // On the event thread: takes the news and tells the listener.
  void deliverNews(PortNews& news);
  void tellDrained() const;

 private:
  struct Open {
    bool live = true;
  };

  const EventThreadPost toEventThread_;
  PortListener* listener_ = nullptr;
  std::shared_ptr<Open> open_;
};

}  // namespace meterstation
