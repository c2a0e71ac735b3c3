// The real entries of the files adapter's calls table.
#include "platform/win32/win32_durable_files.h"

namespace meterstation {

Win32FileCalls Win32FileCalls::real() {
  Win32FileCalls calls;
  calls.createFile = [](const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                        DWORD flags) {
    return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
  };
  calls.reOpenFile = [](HANDLE file, DWORD access, DWORD share, DWORD flags) {
    return ReOpenFile(file, access, share, flags);
  };
  calls.closeHandle = [](HANDLE file) { return CloseHandle(file); };
  calls.writeFile = [](HANDLE file, const void* data, DWORD size, DWORD* written, OVERLAPPED* at) {
    return WriteFile(file, data, size, written, at);
  };
  calls.readFile = [](HANDLE file, void* data, DWORD size, DWORD* got, OVERLAPPED* at) {
    return ReadFile(file, data, size, got, at);
  };
  calls.flushFileBuffers = [](HANDLE file) { return FlushFileBuffers(file); };
  calls.setEndOfFile = [](HANDLE file, std::uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end);
  };
  calls.standardInfo = [](HANDLE file, FILE_STANDARD_INFO* info) {
    return GetFileInformationByHandleEx(file, FileStandardInfo, info, sizeof *info);
  };
  calls.moveFileEx = [](const wchar_t* from, const wchar_t* to, DWORD flags) {
    return MoveFileExW(from, to, flags);
  };
  calls.deleteFile = [](const wchar_t* path) { return DeleteFileW(path); };
  calls.fileAttributes = [](const wchar_t* path, WIN32_FILE_ATTRIBUTE_DATA* data) {
    return GetFileAttributesExW(path, GetFileExInfoStandard, data);
  };
  calls.findFirstFile = [](const wchar_t* pattern, WIN32_FIND_DATAW* data) {
    return FindFirstFileW(pattern, data);
  };
  calls.findNextFile = [](HANDLE search, WIN32_FIND_DATAW* data) {
    return FindNextFileW(search, data);
  };
  calls.findClose = [](HANDLE search) { return FindClose(search); };
  return calls;
}

}  // namespace meterstation
