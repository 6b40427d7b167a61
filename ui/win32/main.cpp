// windows.h comes first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
// clang-format on

#include "ui/win32/win32_services.h"
#include "ui/win32/win32_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The shell and the file dialogs may hand work to COM objects on this thread.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  ombrix::Win32FileDialogs dialogs;
  ombrix::Win32MessagePresenter messages;
  ombrix::RegistrySettings settings;
  ombrix::MutexInstance single;
  ombrix::Win32Shell shell;

  ombrix::Win32MergerWindow window(instance, {&dialogs, &messages, &settings, &single, &shell});
  if (!window.create() || !window.form().Form_Load()) {
    return 0;
  }
  window.showCentred();
  return ombrix::Win32MergerWindow::runMessageLoop(window.handle());
}
