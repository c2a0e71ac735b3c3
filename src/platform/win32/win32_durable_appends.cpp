// Appends: a line lands whole and durably, or the file is left as it was.
#include <string>

#include "platform/win32/file_handle.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_durable_files.h"
#include "platform/win32/win32_error.h"

namespace meterstation {

// With FILE_APPEND_DATA and no FILE_WRITE_DATA every write lands at the
// end of the file in one piece, even if another program appends too.
HANDLE Win32DurableFiles::openForAppend(const std::string& path, bool& created) {
  const HANDLE file = openFile(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                               kShareWhileWriting, OPEN_ALWAYS);
  created = file != INVALID_HANDLE_VALUE && GetLastError() != ERROR_ALREADY_EXISTS;
  return file;
}

// The append handle cannot cut the file, so the cut takes write rights on
// the same open file rather than opening its name again. Flushed as well
// as cut: the caller writes the bytes again later, and a crash must not
// leave them in the file too.
void Win32DurableFiles::takeBack(HANDLE file, std::uint64_t size) {
  const DWORD error = GetLastError();
  const FileHandle cutter(
      calls_.reOpenFile(file, FILE_WRITE_DATA | SYNCHRONIZE, kShareWhileWriting, 0), calls_);
  if (cutter.valid() && calls_.setEndOfFile(cutter.get(), size)) {
    calls_.flushFileBuffers(cutter.get());
  }
  SetLastError(error);
}

Result Win32DurableFiles::append(const std::string& path, const std::string& bytes) {
  if (bytes.size() > MAXDWORD) return Result::failure(systemReason(ERROR_FILE_TOO_LARGE));
  bool created = false;
  FileHandle file(openForAppend(path, created), calls_);
  if (!file.valid()) return lastErrorFailure();

  // A failed append leaves the file as it was, an empty new file included,
  // so that writing the line again does not double any part of it.
  std::uint64_t sizeBefore = 0;
  const auto undo = [&](const std::string& reason) {
    takeBack(file.get(), sizeBefore);
    file.close();
    if (created) calls_.deleteFile(widen(path).c_str());
    return Result::failure(reason);
  };
  FILE_STANDARD_INFO before{};
  if (!calls_.standardInfo(file.get(), &before)) {
    // Unknown, the old size is no size to cut back to; a new file goes again.
    return created ? undo(systemReason(GetLastError())) : lastErrorFailure();
  }
  sizeBefore = static_cast<std::uint64_t>(before.EndOfFile.QuadPart);

  if (!bytes.empty()) {
    // One write of the whole line, never the rest of it after a short
    // write: another program's line may have landed in between.
    DWORD written = 0;
    if (!calls_.writeFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                          nullptr)) {
      return undo(systemReason(GetLastError()));
    }
    if (written != bytes.size()) {
      return undo("only " + std::to_string(written) + " of " + std::to_string(bytes.size()) +
                  " bytes could be written; the disk may be full");
    }
  }
  if (!calls_.flushFileBuffers(file.get())) return undo(systemReason(GetLastError()));
  if (created) {
    const Result flushed = flushDirectory(path);
    if (!flushed) return undo(flushed.error);
  }
  return Result::success();
}

}  // namespace meterstation
