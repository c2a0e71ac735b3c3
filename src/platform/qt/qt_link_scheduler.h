#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

#include "platform/serial/link_scheduler.h"

namespace meterstation {

// The serial link's turns and timers on Qt's event loop.
class QtLinkScheduler : public QObject, public LinkScheduler {
 public:
  QtLinkScheduler();

  void post(std::function<void()> call) override;
  void startRepeating(int periodMs, std::function<void()> tick) override;
  void stopRepeating() override;
  void startDeadline(int ms, std::function<void()> expired) override;
  void stopDeadline() override;
  Instant now() const override;
  void startAt(Instant at, std::function<void()> due) override;
  void stopAt() override;

 private:
  QTimer repeating_;
  QTimer deadline_;
  QTimer at_;
  Instant atMoment_{};
  std::function<void()> tick_;
  std::function<void()> expired_;
  std::function<void()> due_;

  void armAt();
};

}  // namespace meterstation
