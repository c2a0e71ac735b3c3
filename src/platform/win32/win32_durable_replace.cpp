// Replacement: the whole new file, flushed, takes the old one's name at
// once, or the old one stays as it was.
#include <string>

#include "platform/win32/file_handle.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_durable_files.h"
#include "platform/win32/win32_error.h"

namespace meterstation {

// In the same directory, so that the move is a rename on one volume and
// never a copy; named after the file and this process, so that whoever
// finds one left by a power cut sees whose it was.
HANDLE Win32DurableFiles::createTemporary(const std::string& path, std::string& temporary) {
  const std::size_t cut = path.find_last_of("\\/");
  const std::size_t nameStart = cut == std::string::npos ? 0 : cut + 1;
  const std::string prefix = path.substr(0, nameStart) + "." + path.substr(nameStart) + ".tmp-" +
                             std::to_string(GetCurrentProcessId()) + "-";
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = prefix + std::to_string(temporaryCount_++);
    file = openFile(temporary, GENERIC_WRITE, 0, CREATE_NEW);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return file;
}

Result Win32DurableFiles::replace(const std::string& path, const std::string& bytes) {
  std::string temporary;
  FileHandle file(createTemporary(path, temporary), calls_);
  if (!file.valid()) return lastErrorFailure();
  const std::wstring wideTemporary = widen(temporary);
  const auto discard = [&](const std::string& reason) {
    file.close();
    calls_.deleteFile(wideTemporary.c_str());
    return Result::failure(reason);
  };

  const Result written = writeWhole(file.get(), bytes, 0);
  if (!written) return discard(written.error);
  if (!calls_.flushFileBuffers(file.get())) return discard(systemReason(GetLastError()));
  file.close();
  // Write-through: the move is on the disk when the call returns, so no
  // directory flush follows it.
  if (!calls_.moveFileEx(wideTemporary.c_str(), widen(path).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return discard(systemReason(GetLastError()));
  }
  return Result::success();
}

}  // namespace meterstation
