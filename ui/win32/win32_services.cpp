#include "ui/win32/win32_services.h"

#include <cderr.h>
#include <commctrl.h>
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

constexpr int kUndoButton = 1001;
constexpr int kDetailsButton = 1002;
constexpr int kDetailsText = 1;
constexpr wchar_t kDetailsClass[] = L"OmbrixMergerDetails";

// The text for an edit box, whose lines end in CR LF.
std::wstring withCrLf(std::wstring_view text) {
  std::wstring out;
  for (const wchar_t c : text) {
    if (c == L'\n') {
      out += L'\r';
    }
    out += c;
  }
  return out;
}

LRESULT CALLBACK detailsProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      MoveWindow(GetDlgItem(window, kDetailsText), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        DestroyWindow(window);
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

// A task dialog's expanded text does not scroll, so the details open in a resizable window of their own
// with a read-only, scrolling edit box, modal to the result until closed (Esc closes it too).
void showDetails(HWND owner, const std::wstring& details) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = detailsProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kDetailsClass;
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME, kDetailsClass, L"Details", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 640, 420, owner, nullptr, instance, nullptr);
  if (window == nullptr) {
    return;
  }
  HWND text = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", withCrLf(details).c_str(),
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                                  ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                              0, 0, 0, 0, window, reinterpret_cast<HMENU>(kDetailsText), instance, nullptr);
  SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), TRUE);
  RECT client = {};
  GetClientRect(window, &client);
  MoveWindow(text, 0, 0, client.right, client.bottom, FALSE);
  EnableWindow(owner, FALSE);
  ShowWindow(window, SW_SHOW);
  MSG message;
  while (IsWindow(window)) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      PostQuitMessage(got == 0 ? static_cast<int>(message.wParam) : 0);
      break;
    }
    if (!IsDialogMessageW(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  EnableWindow(owner, TRUE);
  SetActiveWindow(owner);
}

HRESULT CALLBACK onResultNotification(HWND dialog, UINT notification, WPARAM button, LPARAM, LONG_PTR details) {
  if (notification == TDN_BUTTON_CLICKED && button == kDetailsButton) {
    showDetails(dialog, *reinterpret_cast<const std::wstring*>(details));
    return S_FALSE;  // the result stays open
  }
  return S_OK;
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
  constexpr std::size_t kFileUnits = kNameBufferLength + 1;  // the name and its NUL
  std::wstring file = wideOf(request.nameBuffer);
  file.resize(kFileUnits, L'\0');
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
  record.nMaxFile = static_cast<DWORD>(kFileUnits);
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

bool Win32MessagePresenter::showResult(DialogOwner owner, std::string_view title, const ResultMessage& result) {
  using TaskDialogIndirectFunction = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
  const HMODULE commonControls = GetModuleHandleW(L"comctl32.dll");
  const auto taskDialog =
      commonControls == nullptr
          ? nullptr
          : reinterpret_cast<TaskDialogIndirectFunction>(
                reinterpret_cast<void*>(GetProcAddress(commonControls, "TaskDialogIndirect")));
  if (taskDialog == nullptr) {
    show(owner, MessageIcon::Information, title, result.text);
    return false;
  }
  const std::wstring caption = toWide(title);
  const std::wstring text = toWide(result.text);
  const std::wstring details = toWide(result.details);
  std::vector<TASKDIALOG_BUTTON> buttons;
  if (result.offersUndo) {
    buttons.push_back({kUndoButton, L"&Undo"});
  }
  if (!result.details.empty()) {
    buttons.push_back({kDetailsButton, L"&Details"});
  }
  TASKDIALOGCONFIG config = {};
  config.cbSize = sizeof config;
  config.hwndParent = static_cast<HWND>(owner);
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
  config.dwCommonButtons = TDCBF_OK_BUTTON;
  config.pszWindowTitle = caption.c_str();
  config.pszMainIcon = TD_INFORMATION_ICON;
  config.pszContent = text.c_str();
  config.cButtons = static_cast<UINT>(buttons.size());
  config.pButtons = buttons.empty() ? nullptr : buttons.data();
  config.nDefaultButton = IDOK;
  config.pfCallback = onResultNotification;
  config.lpCallbackData = reinterpret_cast<LONG_PTR>(&details);
  int chosen = 0;
  if (FAILED(taskDialog(&config, &chosen, nullptr, nullptr))) {
    show(owner, MessageIcon::Information, title, result.text);
    return false;
  }
  return chosen == kUndoButton;
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
