#include "ui/win32/win32_services.h"

#include <cderr.h>
#include <shellapi.h>

#include <vector>

namespace ombrix {
namespace {

std::wstring wideOf(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

struct WindowOfAnotherProcess {
  const wchar_t* windowClass;
  HWND found = nullptr;
};

BOOL CALLBACK findWindowOfAnotherProcess(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowOfAnotherProcess*>(context);
  wchar_t className[64] = {};
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() && GetClassNameW(window, className, 64) > 0 &&
      std::wstring_view(className) == search->windowClass) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::wstring toWide(std::string_view utf8) {
  return wideOf(toUtf16(utf8));
}

std::string fromWide(std::wstring_view wide) {
  return toUtf8(std::u16string(wide.begin(), wide.end()));
}

// The record as the platform defines it: lStructSize is this build's own sizeof(OPENFILENAMEW), since a
// 64-bit dialog refuses the 76 bytes of the 32-bit ANSI record. The name buffer holds kNameBufferLength
// units and the NUL after them (nMaxFile 255).
bool Win32FileDialogs::show(DialogFunction dialog, FileDialogRequest& request) {
  std::wstring file = wideOf(request.nameBuffer);
  file.resize(kNameBufferLength + 1, L'\0');
  file[kNameBufferLength] = L'\0';
  std::wstring fileTitle(kNameBufferLength, L' ');
  fileTitle.push_back(L'\0');
  const std::wstring filter = wideOf(request.filterList);
  const std::wstring initialDir = wideOf(request.initialDir);
  const std::wstring title = wideOf(request.title);

  OPENFILENAMEW record{};
  record.lStructSize = sizeof(OPENFILENAMEW);
  record.hwndOwner = static_cast<HWND>(request.owner);
  record.hInstance = GetModuleHandleW(nullptr);
  record.lpstrFilter = filter.c_str();
  record.nFilterIndex = static_cast<DWORD>(request.filterIndex);
  record.lpstrFile = file.data();
  record.nMaxFile = kNameBufferLength + 1;
  record.lpstrFileTitle = fileTitle.data();
  record.nMaxFileTitle = kNameBufferLength + 1;
  record.lpstrInitialDir = initialDir.c_str();
  record.lpstrTitle = title.c_str();
  record.Flags = request.flags;
  if (dialog(&record) == FALSE) {
    request.tooLong = CommDlgExtendedError() == FNERR_BUFFERTOOSMALL;
    return false;
  }
  request.nameBuffer.assign(file.begin(), file.begin() + kNameBufferLength);
  return true;
}

void Win32FileDialogs::sayPathTooLong(DialogOwner owner, std::u16string_view title) {
  MessageBoxW(static_cast<HWND>(owner), toWide(kPathTooLongMessage).c_str(), wideOf(title).c_str(),
              MB_OK | MB_ICONWARNING);
}

void Win32MessagePresenter::show(DialogOwner owner, MessageIcon icon, std::string_view title,
                                 std::string_view text) {
  const UINT style =
      static_cast<UINT>(MB_OK | (icon == MessageIcon::Warning ? MB_ICONWARNING : MB_ICONINFORMATION));
  MessageBoxW(static_cast<HWND>(owner), toWide(text).c_str(), toWide(title).c_str(), style);
}

std::string RegistrySettings::read(std::string_view section, std::string_view key) {
  const std::wstring subkey = keyOf(section);
  const std::wstring value = toWide(key);
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                   &bytes) != ERROR_SUCCESS) {
    return {};
  }
  std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, text.data(),
                   &bytes) != ERROR_SUCCESS) {
    return {};
  }
  return fromWide(text.data());
}

void RegistrySettings::write(std::string_view section, std::string_view key, std::string_view value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, keyOf(section).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS) {
    return;
  }
  const std::wstring text = toWide(value);
  RegSetValueExW(handle, toWide(key).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
}

MutexInstance::~MutexInstance() {
  if (mutex_ != nullptr) {
    CloseHandle(mutex_);
  }
}

bool MutexInstance::acquire() {
  mutex_ = CreateMutexW(nullptr, FALSE, name_.c_str());
  // Without a mutex nothing can tell another instance apart, so this one runs.
  if (mutex_ == nullptr || GetLastError() != ERROR_ALREADY_EXISTS) {
    return true;
  }
  WindowOfAnotherProcess search{windowClass_.c_str()};
  EnumWindows(findWindowOfAnotherProcess, reinterpret_cast<LPARAM>(&search));
  if (search.found != nullptr) {
    SetForegroundWindow(search.found);
  }
  return false;
}

void Win32Shell::open(std::string_view address) {
  ShellExecuteW(nullptr, nullptr, toWide(address).c_str(), nullptr, L"C:\\", SW_SHOWNORMAL);
}

}  // namespace ombrix
