// The Win32 window, run under Wine in a virtual display: the behaviour every window of the form has, and
// what is Win32's own.

#include "ui/win32/win32_window.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <random>

#include "ini/file/path_text.h"
#include "test_support.h"
#include "ui/form_description.h"
#include "ui/win32/win32_services.h"
#include "ui_fakes.h"
#include "window_contract.h"

namespace ombrix {
namespace {

const bool kCommonControls = [] {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  return InitCommonControlsEx(&controls) != FALSE;
}();

std::wstring classOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return CharLowerW(name);
}

// A control's place in its parent's client area.
form::Rect placeIn(HWND control, HWND parent) {
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
  return {place.left, place.top, place.right - place.left, place.bottom - place.top};
}

// Builds what Explorer hands a window when a file is dropped on it at a point of its client area.
HGLOBAL droppedFile(const std::wstring& file, POINT point) {
  const std::size_t bytes = sizeof(DROPFILES) + (file.size() + 2) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GHND, bytes);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = point;
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), file.c_str(),
              (file.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(memory);
  return memory;
}

}  // namespace

// The Win32 window under the shared window tests.
class Win32Toolkit {
 public:
  explicit Win32Toolkit(const WindowServices& services) : window_(GetModuleHandleW(nullptr), services) {
    EXPECT_TRUE(window_.create()) << "no window without a display";
  }

  Win32MergerWindow& window() { return window_; }
  formOmbrixMerger& form() { return window_.form(); }
  FormControls& controls() { return window_; }

  // Buttons get BM_CLICK; the credit label sends its parent the click notification, as a static does.
  void click(std::string_view control) {
    HWND handle = window_.control(control);
    if (classOf(handle) == L"button") {
      SendMessageW(handle, BM_CLICK, 0, 0);
    } else {
      SendMessageW(window_.handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(handle), STN_CLICKED),
                   reinterpret_cast<LPARAM>(handle));
    }
  }
  void drop(std::string_view box, const std::string& path) {
    const form::Rect place = placeOf(box);
    SendMessageW(window_.handle(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(droppedFile(toWide(path), {place.left + 5, place.top + 5})), 0);
  }
  void close() { SendMessageW(window_.handle(), WM_CLOSE, 0, 0); }

  form::Rect placeOf(std::string_view control) const {
    HWND handle = window_.control(control);
    return placeIn(handle, GetParent(handle));
  }
  std::string parentOf(std::string_view control) const {
    HWND parent = GetParent(window_.control(control));
    return parent == window_.handle() ? std::string() : nameOf(parent);
  }
  std::string shownText(std::string_view control) const { return window_.text(control); }
  form::Rect clientArea() const {
    RECT client{};
    GetClientRect(window_.handle(), &client);
    return {0, 0, client.right, client.bottom};
  }
  bool fixedSize() const {
    return (GetWindowLongPtrW(window_.handle(), GWL_STYLE) &
            (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)) == 0;
  }
  std::string caption() const {
    wchar_t caption[64] = {};
    GetWindowTextW(window_.handle(), caption, 64);
    return fromWide(caption);
  }
  // Tab goes round the boxes, the buttons and the selected option.
  std::vector<std::string> tabOrder(std::size_t count) const {
    std::vector<std::string> order;
    for (HWND at = window_.control("txtSource(1)"); order.size() < count;
         at = GetNextDlgTabItem(window_.handle(), at, FALSE)) {
      order.push_back(nameOf(at));
    }
    return order;
  }

 private:
  std::string nameOf(HWND handle) const {
    for (const form::Control& control : form::kControls) {
      if (window_.control(control.name) == handle) {
        return std::string(control.name);
      }
    }
    return "?";
  }

  Win32MergerWindow window_;
};

namespace test {
INSTANTIATE_TYPED_TEST_SUITE_P(Window, WindowContract, Win32Toolkit);
}  // namespace test

namespace {

class Win32Window : public test::WindowContract<Win32Toolkit> {};

// Common controls of the kind each control of the description is; a tool window without a taskbar button.
TEST_F(Win32Window, IsMadeOfTheCommonControls) {
  EXPECT_NE(GetWindowLongPtrW(window.window().handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  for (const form::Control& control : form::kControls) {
    const bool isStatic = control.kind == form::Kind::Picture || control.kind == form::Kind::Label;
    EXPECT_EQ(classOf(window.window().control(control.name)), isStatic ? L"static"
                                                              : control.kind == form::Kind::TextBox
                                                                  ? L"edit"
                                                                  : L"button")
        << control.name;
  }
}

TEST_F(Win32Window, MovedToAMonitorOfAnotherDpiItScalesItsLayout) {
  RECT suggested{10, 20, 600, 450};
  SendMessageW(window.window().handle(), WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(window.clientArea(), form::pixels(form::kClientTwips, 144));
  for (const form::Control* control : {&form::control("Command1"), &form::control("Option3")}) {
    EXPECT_EQ(window.placeOf(control->name), form::pixels(control->twips, 144)) << control->name;
  }
}

// The paths in the registry, under a key of the test's own: any text (a %NAME% in it is not expanded), and
// an empty one, round trip exactly.
TEST(Registry, KeepsThePathsExactly) {
  const std::wstring root = L"Software\\OmbrixMerger tests\\" + std::to_wstring(std::random_device{}());
  RegistrySettings settings(root);
  settings.write("Settings", "Source", "  C:\\Spiele\\%WINDIR% Liste für Ömer.ini ");
  settings.write("Settings", "File", "");
  EXPECT_EQ(settings.read("Settings", "Source"), "  C:\\Spiele\\%WINDIR% Liste für Ömer.ini ");
  DWORD type = 0;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, (root + L"\\Settings").c_str(), L"File",
                         RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, nullptr),
            ERROR_SUCCESS)
      << "stored though empty";
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(settings.read("Settings", "Missing"), "");
  RegDeleteTreeW(HKEY_CURRENT_USER, root.c_str());
}

// What the common dialog was handed, and what it answers.
struct DialogCall {
  OPENFILENAMEW record{};
  std::wstring file;
  std::wstring filter;
  std::wstring title;
  std::wstring initialDir;
};
DialogCall lastCall;
const wchar_t* answer = nullptr;  // nullptr: the user cancels

BOOL WINAPI fakeDialog(OPENFILENAMEW* record) {
  lastCall.record = *record;
  lastCall.file.assign(record->lpstrFile, record->nMaxFile);
  std::size_t end = 0;  // the list ends with two NULs
  while (record->lpstrFilter[end] != L'\0' || record->lpstrFilter[end + 1] != L'\0') {
    ++end;
  }
  lastCall.filter.assign(record->lpstrFilter, end + 2);
  lastCall.title = record->lpstrTitle;
  lastCall.initialDir = record->lpstrInitialDir;
  if (answer == nullptr) {
    return FALSE;
  }
  std::wcscpy(record->lpstrFile, answer);
  return TRUE;
}

TEST(Win32Dialogs, FillTheRecordAsThePlatformDefinesIt) {
  Win32FileDialogs platform(fakeDialog, fakeDialog);
  const std::string proposed = "C:\\Spiele\\Ömer.ini";
  answer = L"C:\\x.ini";
  EXPECT_EQ(SaveDialog(platform, nullptr, form::kSaveFilter, form::kSaveTitle, proposed, proposed),
            "C:\\x.ini");
  const OPENFILENAMEW& record = lastCall.record;
  EXPECT_EQ(record.lStructSize, sizeof(OPENFILENAMEW)) << "the 32-bit ANSI size makes a 64-bit dialog fail";
  EXPECT_EQ(record.Flags, static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_CREATEPROMPT));
  EXPECT_EQ(record.nMaxFile, 255u);
  EXPECT_EQ(record.nMaxFileTitle, 255u);
  EXPECT_EQ(record.nFilterIndex, 0u);
  EXPECT_EQ(lastCall.file.substr(0, 19), std::wstring(L"C:\\Spiele\\Ömer.ini") + L'\0');
  EXPECT_EQ(lastCall.file.back(), L'\0');
  EXPECT_EQ(lastCall.filter, std::wstring(L"Ombrix Ini File (*.ini)\0*.ini\0\0", 31));
  EXPECT_EQ(lastCall.title, L"Save merged ini as");
  EXPECT_EQ(lastCall.initialDir, L"C:\\Spiele\\Ömer.ini");

  const std::wstring fullLength(kNameBufferLength, L'x');
  answer = fullLength.c_str();
  EXPECT_EQ(OpenDialog(platform, nullptr, "", "", ""), std::string(kNameBufferLength, 'x'));

  answer = nullptr;
  EXPECT_EQ(OpenDialog(platform, nullptr, form::kBrowseFilter, form::kBrowseTitle, form::kBrowseStartFolder),
            "");
  EXPECT_EQ(lastCall.record.Flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_FILEMUSTEXIST));
  EXPECT_EQ(lastCall.file[0], L'\0') << "the open dialog's name box starts empty";
}

}  // namespace
}  // namespace ombrix
