#include "platform/win32/win32_comm.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"

namespace meterstation {

namespace {

BYTE parityOf(char letter) {
  switch (letter) {
    case 'E':
      return EVENPARITY;
    case 'O':
      return ODDPARITY;
    case 'M':
      return MARKPARITY;
    case 'S':
      return SPACEPARITY;
    default:
      return NOPARITY;
  }
}

// Windows' driver takes one and a half stop bits only with five data bits,
// and two only with more; a UART sends "two" as one and a half with five,
// and a receiver expecting one and a half takes two as well.
BYTE stopBitsOf(const LineSettings& settings) {
  const bool five = settings.dataBits == 5;
  switch (settings.stopBits) {
    case StopBits::One:
      return ONESTOPBIT;
    case StopBits::OneAndHalf:
    case StopBits::Two:
      return five ? ONE5STOPBITS : TWOSTOPBITS;
  }
  return ONESTOPBIT;
}

// Every byte passes as it came: no parity check or replacement (the
// readings judge their own bytes), no flow control either way, and the
// modem lines are raised but never waited for.
Result applySettings(HANDLE port, const LineSettings& settings) {
  DCB line{};
  line.DCBlength = sizeof line;
  if (!GetCommState(port, &line)) return lastErrorFailure();
  line.BaudRate = static_cast<DWORD>(settings.baud);
  line.ByteSize = static_cast<BYTE>(settings.dataBits);
  line.Parity = parityOf(settings.parity);
  line.StopBits = stopBitsOf(settings);
  line.fBinary = TRUE;
  line.fParity = FALSE;
  line.fOutxCtsFlow = FALSE;
  line.fOutxDsrFlow = FALSE;
  line.fDtrControl = DTR_CONTROL_ENABLE;
  line.fRtsControl = RTS_CONTROL_ENABLE;
  line.fDsrSensitivity = FALSE;
  line.fTXContinueOnXoff = TRUE;
  line.fOutX = FALSE;
  line.fInX = FALSE;
  line.fErrorChar = FALSE;
  line.fNull = FALSE;
  line.fAbortOnError = FALSE;
  if (!SetCommState(port, &line)) return lastErrorFailure();
  // Adapters and pseudo-terminals without modem lines are no reason to
  // refuse the port.
  (void)EscapeCommFunction(port, SETDTR);
  (void)EscapeCommFunction(port, SETRTS);
  return Result::success();
}

// A read returns a millisecond after the last byte of a burst, so each
// chunk is stamped when it came; with nothing coming it returns empty
// after a tenth of a second. Wine behaves the same way on a
// pseudo-terminal, where "return at once" timeouts do not. Writes have no
// timeout: they take as long as the line.
Result applyTimeouts(HANDLE port) {
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = 1;
  timeouts.ReadTotalTimeoutConstant = 100;
  if (!SetCommTimeouts(port, &timeouts)) return lastErrorFailure();
  if (!PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR)) return lastErrorFailure();
  return Result::success();
}

// Windows' serial driver lets one handle at a time have a port; Wine lets
// anyone open it again. A name of the station's own, which the system
// drops with the last handle (a station killed included), keeps a second
// station out under Wine as the driver does on Windows, with its text.
Result claimPort(int port, OwnedHandle& claim) {
  const std::wstring name = widen("Global\\meterstation.COM" + std::to_string(port));
  SetLastError(ERROR_SUCCESS);
  claim = OwnedHandle(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  if (!claim.valid()) return lastErrorFailure();
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    claim.reset();
    return Result::failure(systemReason(ERROR_ACCESS_DENIED));
  }
  return Result::success();
}

}  // namespace

Result openCommPort(int port, const LineSettings& settings, CommPort& opened) {
  CommPort taken;
  if (const Result claimed = claimPort(port, taken.claim); !claimed) return claimed;
  const std::wstring device = widen("\\\\.\\COM" + std::to_string(port));
  taken.handle = OwnedHandle(CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  if (!taken.handle.valid()) return lastErrorFailure();
  if (const Result set = applySettings(taken.handle.get(), settings); !set) return set;
  if (const Result set = applyTimeouts(taken.handle.get()); !set) return set;
  opened = std::move(taken);
  return Result::success();
}

PortFailure commFailure(DWORD error, PortError otherwise) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_INVALID_HANDLE:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_BROKEN_PIPE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
      return {PortError::Resource, systemReason(error)};
    default:
      return {otherwise, systemReason(error)};
  }
}

IoOutcome awaitIo(HANDLE port, OVERLAPPED& overlapped, HANDLE stop, BOOL started) {
  if (!started && GetLastError() != ERROR_IO_PENDING) return {false, 0, GetLastError()};
  const HANDLE waits[2] = {overlapped.hEvent, stop};
  // The operation's own event comes first when both are set.
  const bool stopped = WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0;
  if (stopped) (void)CancelIoEx(port, &overlapped);
  IoOutcome outcome{stopped, 0, 0};
  // Waits for the cancelled operation too: its buffer and its OVERLAPPED
  // must outlive it.
  if (!GetOverlappedResult(port, &overlapped, &outcome.bytes, TRUE)) outcome.error = GetLastError();
  return outcome;
}

}  // namespace meterstation
