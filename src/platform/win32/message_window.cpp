#include "platform/win32/message_window.h"

#include <algorithm>
#include <utility>

namespace meterstation {

namespace {

constexpr UINT kPostedCalls = WM_APP + 1;
constexpr wchar_t kClassName[] = L"meterstation.MessageWindow";

HINSTANCE thisModule() { return GetModuleHandleW(nullptr); }

void registerClass() {
  static const bool registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = thisModule();
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0;
  }();
  (void)registered;
}

}  // namespace

MessageWindow::MessageWindow() {
  registerClass();
  window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, thisModule(),
                            nullptr);
  // The procedure is set only now, so that it never meets a window whose
  // owner is not yet known.
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&procedure));
  }
}

MessageWindow::~MessageWindow() {
  if (window_ == nullptr) return;
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

void MessageWindow::post(std::function<void()> call) {
  const std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(std::move(call));
  // One message stands for every call queued behind it: a burst of posts
  // never fills the thread's message queue.
  if (messagePosted_ || window_ == nullptr) return;
  messagePosted_ = PostMessageW(window_, kPostedCalls, 0, 0) != 0;
}

void MessageWindow::runPosted() {
  std::deque<std::function<void()>> due;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    due.swap(calls_);
    messagePosted_ = false;
  }
  // Calls posted while these run wait for a message of their own, behind
  // whatever else the thread has to do.
  for (std::function<void()>& call : due) call();
}

void MessageWindow::startTimer(UINT_PTR slot, int ms, std::function<void()> fired, bool repeat) {
  timers_[slot] = TimerCall{std::move(fired), repeat};
  // SetTimer takes at least USER_TIMER_MINIMUM; 0 means at once.
  SetTimer(window_, slot, static_cast<UINT>(std::max(ms, 0)), nullptr);
}

void MessageWindow::stopTimer(UINT_PTR slot) {
  KillTimer(window_, slot);
  timers_.erase(slot);
}

bool MessageWindow::timerActive(UINT_PTR slot) const { return timers_.contains(slot); }

void MessageWindow::timerFired(UINT_PTR slot) {
  const auto found = timers_.find(slot);
  if (found == timers_.end()) {
    KillTimer(window_, slot);
    return;
  }
  // The call runs from a copy: it may start or stop its own slot.
  const std::function<void()> fired = found->second.fired;
  if (!found->second.repeat) stopTimer(slot);
  if (fired) fired();
}

LRESULT CALLBACK MessageWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr && message == kPostedCalls) {
    self->runPosted();
    return 0;
  }
  if (self != nullptr && message == WM_TIMER) {
    self->timerFired(static_cast<UINT_PTR>(wParam));
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace meterstation
