#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "platform/files.h"

namespace meterstation {

// Every Win32 call through which Win32DurableFiles reaches the disk. Tests
// put a call that fails (a short write, a full disk, a refused move) in
// place of a real one.
struct Win32FileCalls {
  std::function<HANDLE(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                       DWORD flags)>
      createFile;
  // Another handle, with other rights, on the same open file.
  std::function<HANDLE(HANDLE file, DWORD access, DWORD share, DWORD flags)> reOpenFile;
  std::function<BOOL(HANDLE file)> closeHandle;
  std::function<BOOL(HANDLE file, const void* data, DWORD size, DWORD* written, OVERLAPPED* at)>
      writeFile;
  std::function<BOOL(HANDLE file, void* data, DWORD size, DWORD* got, OVERLAPPED* at)> readFile;
  std::function<BOOL(HANDLE file)> flushFileBuffers;
  // SetFileInformationByHandle with FileEndOfFileInfo.
  std::function<BOOL(HANDLE file, std::uint64_t size)> setEndOfFile;
  // GetFileInformationByHandleEx with FileStandardInfo.
  std::function<BOOL(HANDLE file, FILE_STANDARD_INFO* info)> standardInfo;
  std::function<BOOL(const wchar_t* from, const wchar_t* to, DWORD flags)> moveFileEx;
  std::function<BOOL(const wchar_t* path)> deleteFile;
  std::function<BOOL(const wchar_t* path, WIN32_FILE_ATTRIBUTE_DATA* data)> fileAttributes;
  std::function<HANDLE(const wchar_t* pattern, WIN32_FIND_DATAW* data)> findFirstFile;
  std::function<BOOL(HANDLE search, WIN32_FIND_DATAW* data)> findNextFile;
  std::function<BOOL(HANDLE search)> findClose;

  static Win32FileCalls real();
};

// Files that survive a power cut, as DurableFiles on Linux: nothing is
// reported written before FlushFileBuffers has put it on the disk, a
// replacement leaves the old or the new file whole, and a failed append
// appends nothing. Paths take '\' (or '/') between their parts.
class Win32DurableFiles : public Files {
 public:
  explicit Win32DurableFiles(Win32FileCalls calls = Win32FileCalls::real());

  Result replace(const std::string& path, const std::string& bytes) override;
  Result append(const std::string& path, const std::string& bytes) override;
  ReadResult read(const std::string& path) override;
  ReadResult readRange(const std::string& path, std::uint64_t offset,
                       std::uint64_t length) override;
  bool exists(const std::string& path) override;
  std::optional<std::uint64_t> size(const std::string& path) override;
  Result writeAt(const std::string& path, std::uint64_t offset, const std::string& bytes) override;
  Result truncate(const std::string& path, std::uint64_t size) override;
  Result remove(const std::string& path) override;
  std::vector<std::string> list(const std::string& dir) override;
  bool isDirectory(const std::string& path) override;

 private:
  static std::string directoryOf(const std::string& path);

  HANDLE openFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                  DWORD flags = FILE_ATTRIBUTE_NORMAL);
  HANDLE openForAppend(const std::string& path, bool& created);
  void takeBack(HANDLE file, std::uint64_t size);
  HANDLE createTemporary(const std::string& path, std::string& temporary);
  Result writeWhole(HANDLE file, const std::string& bytes, std::uint64_t offset);
  Result flushDirectory(const std::string& path);

  Win32FileCalls calls_;
  unsigned temporaryCount_ = 0;
};

}  // namespace meterstation
