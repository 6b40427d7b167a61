#pragma once

// The window's platform services with Win32: the common file dialogs, message boxes, the registry, the
// single-instance mutex and the shell. Texts cross between UTF-8 and the wide (UTF-16) functions here.

// windows.h comes first.
// clang-format off
#include <windows.h>
#include <commdlg.h>
// clang-format on

#include <string>
#include <string_view>

#include "ui/form_description.h"
#include "ui/window_services.h"

namespace ombrix {

std::wstring toWide(std::string_view utf8);

// The class of the tool's window, by which a second start finds the first one's.
inline constexpr wchar_t kWindowClass[] = L"OmbrixMergerWindow";
std::string fromWide(std::wstring_view wide);

// GetOpenFileNameW and GetSaveFileNameW, or stand-ins that a test hands in.
class Win32FileDialogs final : public FileDialogPlatform {
 public:
  using DialogFunction = BOOL(WINAPI*)(OPENFILENAMEW*);
  explicit Win32FileDialogs(DialogFunction open = GetOpenFileNameW, DialogFunction save = GetSaveFileNameW)
      : open_(open), save_(save) {}

  bool showOpen(FileDialogRequest& request) override { return show(open_, request); }
  bool showSave(FileDialogRequest& request) override { return show(save_, request); }
  void sayPathTooLong(DialogOwner owner, std::u16string_view title) override;

 private:
  static bool show(DialogFunction dialog, FileDialogRequest& request);

  DialogFunction open_;
  DialogFunction save_;
};

// Messages in the system's message box. A result is a task dialog with Undo and Details beside OK; where
// the common controls have no task dialog (a program without their manifest), a message box without them.
class Win32MessagePresenter final : public MessagePresenter {
 public:
  void show(DialogOwner owner, MessageIcon icon, std::string_view title, std::string_view text) override;
  bool showResult(DialogOwner owner, std::string_view title, const ResultMessage& result) override;
};

// Values (REG_SZ) under HKEY_CURRENT_USER\<root>\<section>; the root is where Windows programs of the kind
// keep their per-user settings.
class RegistrySettings final : public SettingsStore {
 public:
  explicit RegistrySettings(std::wstring root = L"Software\\VB and VBA Program Settings\\" +
                                                toWide(form::kSettingsApplication))
      : root_(std::move(root)) {}
  std::string read(std::string_view section, std::string_view key) override;
  void write(std::string_view section, std::string_view key, std::string_view value) override;

 private:
  std::wstring keyOf(std::string_view section) const { return root_ + L"\\" + toWide(section); }
  std::wstring root_;
};

// A named mutex per user session; a later start brings the window of the first to the front.
class MutexInstance final : public InstanceGuard {
 public:
  explicit MutexInstance(std::wstring name = L"Local\\OmbrixMerger.SingleInstance",
                         std::wstring windowClass = kWindowClass)
      : name_(std::move(name)), windowClass_(std::move(windowClass)) {}
  ~MutexInstance() override;
  MutexInstance(const MutexInstance&) = delete;
  MutexInstance& operator=(const MutexInstance&) = delete;

  bool acquire() override;

 private:
  std::wstring name_;
  std::wstring windowClass_;
  HANDLE mutex_ = nullptr;
};

class Win32Shell final : public Shell {
 public:
  void open(std::string_view address) override;
};

}  // namespace ombrix
