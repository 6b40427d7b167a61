#include "merge/output_lock.h"

#include <cstdlib>
#include <string>
#include <system_error>
#include <thread>

#include "ini/file/file_checks.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace ombrix {
namespace fs = std::filesystem;

namespace {

std::string keyOf(const fs::path& file) {
  return std::to_string(identityHash(file));
}

#ifndef _WIN32
// The user's runtime folder, or a folder of the user's own in the temporary folder.
fs::path lockFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
    return fs::path(runtime) / "ombrix-merge";
  }
  return fs::temp_directory_path() / ("ombrix-merge-" + std::to_string(getuid()));
}
#endif

}  // namespace

std::unique_ptr<OutputLock> OutputLock::acquire(const fs::path& file, std::chrono::milliseconds wait) {
  std::unique_ptr<OutputLock> lock(new OutputLock());
  const auto deadline = std::chrono::steady_clock::now() + wait;
#ifdef _WIN32
  const std::wstring name = L"Local\\OmbrixMerger.Output." + fs::path(keyOf(file)).wstring();
  lock->mutex_ = CreateMutexW(nullptr, FALSE, name.c_str());
  if (lock->mutex_ == nullptr) {
    return lock;  // without a mutex nothing can be told; the merge goes on
  }
  const DWORD waited = WaitForSingleObject(lock->mutex_, static_cast<DWORD>(wait.count()));
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    return nullptr;
  }
#else
  const fs::path folder = lockFolder();
  std::error_code error;
  fs::create_directories(folder, error);
  fs::permissions(folder, fs::perms::owner_all, error);
  lock->descriptor_ = ::open((folder / (keyOf(file) + ".lock")).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock->descriptor_ < 0) {
    return lock;  // without a lock file nothing can be told; the merge goes on
  }
  while (::flock(lock->descriptor_, LOCK_EX | LOCK_NB) != 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
#endif
  (void)deadline;
  return lock;
}

OutputLock::~OutputLock() {
#ifdef _WIN32
  if (mutex_ != nullptr) {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
#else
  if (descriptor_ >= 0) {
    ::close(descriptor_);  // releases the lock
  }
#endif
}

}  // namespace ombrix
