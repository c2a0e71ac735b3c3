#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace meterstation {

// A hidden window that only takes messages, on the thread that made it:
// calls posted from any thread, and its timers, run there one at a time
// from that thread's message loop, as the window's handlers do. Calls and
// timers still waiting when it is destroyed never run, so whoever owns one
// can hand out calls on itself.
class MessageWindow {
 public:
  MessageWindow();
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // From any thread; runs once the handler running now has returned.
  void post(std::function<void()> call);

  // Timers by slot, each with its own call; starting a slot again
  // replaces its call and its countdown. A one-shot timer stops before its
  // call runs, so the call may start it again.
  void startTimer(UINT_PTR slot, int ms, std::function<void()> fired, bool repeat = false);
  void stopTimer(UINT_PTR slot);
  bool timerActive(UINT_PTR slot) const;

 private:
  struct TimerCall {
    std::function<void()> fired;
    bool repeat = false;
  };

  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void runPosted();
  void timerFired(UINT_PTR slot);

  HWND window_ = nullptr;
  std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
  bool messagePosted_ = false;
  std::map<UINT_PTR, TimerCall> timers_;
};

}  // namespace meterstation
