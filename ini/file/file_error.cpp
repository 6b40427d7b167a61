#include "ini/file/file_error.h"

#include <cerrno>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>
#include <string>

#include "ini/text/utf.h"
#endif

namespace ombrix {

#ifdef _WIN32
namespace {
// The C runtime's errno for what the system reports in its own codes.
unsigned long windowsCodeOfErrno(int code) {
  switch (code) {
    case ENOSPC:
      return ERROR_DISK_FULL;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EBUSY:
      return ERROR_SHARING_VIOLATION;
    default:
      return ERROR_GEN_FAILURE;
  }
}
}  // namespace

FileError fileErrorFromErrno(int code) {
  return fileErrorFromWindows(windowsCodeOfErrno(code));
}
#else
FileError fileErrorFromErrno(int code) {
  switch (code) {
    case 0:
      return {FileErrorKind::Other, EIO};
    case ENOSPC:
    case EDQUOT:
      return {FileErrorKind::NoSpace, code};
    case EACCES:
    case EPERM:
    case EROFS:
      return {FileErrorKind::Permission, code};
    case ENOENT:
    case ENOTDIR:
      return {FileErrorKind::Missing, code};
    case EBUSY:
    case ETXTBSY:
      return {FileErrorKind::InUse, code};
    default:
      return {FileErrorKind::Other, code};
  }
}
#endif

#ifdef _WIN32
FileError fileErrorFromWindows(unsigned long code) {
  const int system = static_cast<int>(code);
  switch (code) {
    case ERROR_SUCCESS:
      return {FileErrorKind::Other, ERROR_GEN_FAILURE};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return {FileErrorKind::NoSpace, system};
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return {FileErrorKind::Permission, system};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return {FileErrorKind::InUse, system};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return {FileErrorKind::Missing, system};
    default:
      return {FileErrorKind::Other, system};
  }
}

// The C runtime sets errno to EACCES alike for a denied access and for a file another program holds; the
// system's code behind it tells them apart.
FileError lastSystemError() {
  unsigned long code = GetLastError();
  if (code == 0) {
    code = _doserrno;
  }
  if (code == 0) {
    code = windowsCodeOfErrno(errno);
  }
  return fileErrorFromWindows(code);
}

void clearSystemError() {
  errno = 0;
  _doserrno = 0;
  SetLastError(0);
}

std::string describeFileError(const FileError& error) {
  wchar_t* text = nullptr;
  const DWORD size = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(error.code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string words;
  if (size > 0 && text != nullptr) {
    words.assign(reinterpret_cast<const char16_t*>(text), size);
  }
  LocalFree(text);
  while (!words.empty() && (words.back() == u'\n' || words.back() == u'\r' || words.back() == u'.' ||
                            words.back() == u' ')) {
    words.pop_back();
  }
  return words.empty() ? "error " + std::to_string(error.code) : toUtf8(words);
}
#else
FileError lastSystemError() {
  return fileErrorFromErrno(errno);
}

void clearSystemError() {
  errno = 0;
}

std::string describeFileError(const FileError& error) {
  return std::strerror(error.code);
}
#endif

InUseWaits::InUseWaits() : wait_([](std::chrono::milliseconds wait) { std::this_thread::sleep_for(wait); }) {}

}  // namespace ombrix
