#pragma once

#include <windows.h>

#include <thread>

#include "platform/result.h"
#include "platform/serial/port_news.h"
#include "platform/win32/win32_comm.h"

namespace meterstation {

// The thread that reads one open port: it reads bytes the moment they
// arrive and stamps them then, whatever the event thread is busy with. It
// ends at the first failure; what it read before stays in the news. The
// port and the news stay the owner's and must outlive the reader.
class Win32PortReader {
 public:
  Win32PortReader(HANDLE port, PortNews& news);
  // Stops the thread, cancelling the read it waits on, and waits for it.
  ~Win32PortReader();
  Win32PortReader(const Win32PortReader&) = delete;
  Win32PortReader& operator=(const Win32PortReader&) = delete;

  Result start();

 private:
  void run();

  const HANDLE port_;
  PortNews& news_;
  OwnedHandle stop_;
  OwnedHandle readDone_;
  std::thread thread_;
};

}  // namespace meterstation
