// The Win32 window and its platform layer, run under Wine in a virtual display.

#include "ui/win32/win32_window.h"

#include <commctrl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <cwctype>
#include <random>

#include "ini/file/path_text.h"
#include "test_support.h"
#include "ui/form_description.h"
#include "ui/win32/win32_services.h"
#include "ui_fakes.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;
using testing::ElementsAre;

const fs::path kSample = fs::path(OMBRIX_TEST_DATA_DIR) / "sample";

const bool kCommonControls = [] {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  return InitCommonControlsEx(&controls) != FALSE;
}();

std::wstring lower(std::wstring text) {
  for (wchar_t& c : text) {
    c = static_cast<wchar_t>(std::towlower(c));
  }
  return text;
}

std::wstring classOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return lower(name);
}

// A control's place in its parent's client area.
form::Rect placeOf(HWND control) {
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return {place.left, place.top, place.right - place.left, place.bottom - place.top};
}

class Win32Window : public testing::Test {
 protected:
  test::TempDir dir;
  test::ScriptedDialogs dialogs;
  test::RecordingMessages messages;
  test::MemorySettings settings;
  test::RecordingShell shell;
  Win32MergerWindow window{GetModuleHandleW(nullptr), {&dialogs, &messages, &settings, nullptr, &shell}};

  void SetUp() override { ASSERT_TRUE(window.create()) << "no window without a display"; }

  void click(std::string_view control) { SendMessageW(window.control(control), BM_CLICK, 0, 0); }

  std::string nameOf(HWND handle) const {
    for (const form::Control& control : form::kControls) {
      if (window.control(control.name) == handle) {
        return std::string(control.name);
      }
    }
    return "?";
  }
};

TEST_F(Win32Window, IsBuiltFromTheFormsDescription) {
  ASSERT_EQ(window.dpi(), 96);
  RECT client{};
  GetClientRect(window.handle(), &client);
  EXPECT_EQ(client.right, 375);
  EXPECT_EQ(client.bottom, 258);
  const LONG_PTR style = GetWindowLongPtrW(window.handle(), GWL_STYLE);
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0)
      << "fixed, without minimise and maximise";
  EXPECT_NE(GetWindowLongPtrW(window.handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0) << "no taskbar button";
  wchar_t caption[64] = {};
  GetWindowTextW(window.handle(), caption, 64);
  EXPECT_EQ(fromWide(caption), form::kCaption);

  for (const form::Control& control : form::kControls) {
    const std::string name(control.name);
    HWND handle = window.control(control.name);
    ASSERT_NE(handle, nullptr) << name;
    const bool isStatic = control.kind == form::Kind::Picture || control.kind == form::Kind::Label;
    EXPECT_EQ(classOf(handle), isStatic ? L"static" : control.kind == form::Kind::TextBox ? L"edit" : L"button")
        << name;
    EXPECT_EQ(window.text(control.name), control.text) << name;
    EXPECT_EQ(placeOf(handle), form::pixels(control.twips)) << name;
    EXPECT_EQ(GetParent(handle), control.parent.empty() ? window.handle() : window.control(control.parent))
        << name;
  }

  // Tab goes round the boxes, the buttons and the selected option, in the description's order.
  std::vector<std::string> order;
  HWND at = window.control("txtSource(1)");
  for (int i = 0; i < 7; ++i) {
    order.push_back(nameOf(at));
    at = GetNextDlgTabItem(window.handle(), at, FALSE);
  }
  EXPECT_THAT(order, ElementsAre("txtSource(1)", "btnBrowse(1)", "txtSource(2)", "btnBrowse(2)", "Command1",
                                 "Option2", "txtSource(1)"));
  EXPECT_TRUE(window.isSelected("Option2"));
  EXPECT_FALSE(window.isSelected("Option1") || window.isSelected("Option3"));
}

TEST_F(Win32Window, ButtonsRunTheHandlers) {
  const fs::path newKeys = dir.file("new keys.ini", test::readFile(kSample / "new_keys.ini"));
  const fs::path mine = dir.file("Mine.ini", test::readFile(kSample / "file_to_update.ini"));
  dialogs.answers = {textOfPath(newKeys), textOfPath(dir / "merged.ini")};
  click("btnBrowse(1)");
  window.setText("txtSource(2)", textOfPath(mine));
  click("Option1");
  click("Command1");
  EXPECT_EQ(window.text("txtSource(1)"), textOfPath(newKeys));
  EXPECT_EQ(dialogs.saves.at(0).owner, window.handle());
  EXPECT_THAT(messages.shown, ElementsAre(test::information("6 lines changed.")));
  EXPECT_EQ(test::readFile(dir / "merged.ini"), test::readFile(kSample / "expected-replace-all.ini"));
  EXPECT_EQ(window.text("Label1"), form::kDescription);

  SendMessageW(window.handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window.control("Label4")), STN_CLICKED),
               reinterpret_cast<LPARAM>(window.control("Label4")));
  EXPECT_THAT(shell.opened, ElementsAre("https://quillane.example/"));
}

TEST_F(Win32Window, MovedToAMonitorOfAnotherDpiItScalesItsLayout) {
  RECT suggested{10, 20, 600, 450};
  SendMessageW(window.handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(window.dpi(), 144);
  RECT client{};
  GetClientRect(window.handle(), &client);
  EXPECT_EQ(client.right, form::pixels(form::kClientTwips.width, 144));
  EXPECT_EQ(client.bottom, form::pixels(form::kClientTwips.height, 144));
  for (const char* name : {"Command1", "Option3"}) {
    EXPECT_EQ(placeOf(window.control(name)), form::pixels(form::control(name).twips, 144)) << name;
  }
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

TEST_F(Win32Window, AFileDroppedOnAPathBoxFillsIt) {
  const form::Rect box2 = form::pixels(form::control("txtSource(2)").twips);
  SendMessageW(window.handle(), WM_DROPFILES,
               reinterpret_cast<WPARAM>(droppedFile(L"C:\\Lists\\Müller.ini", {box2.left + 5, box2.top + 5})),
               0);
  EXPECT_EQ(window.text("txtSource(2)"), "C:\\Lists\\Müller.ini");
  SendMessageW(window.handle(), WM_DROPFILES,
               reinterpret_cast<WPARAM>(droppedFile(L"C:\\elsewhere.ini", {2, 2})), 0);
  EXPECT_EQ(window.text("txtSource(1)"), "") << "a drop beside the boxes changes nothing";
}

// The settings in the registry, under a key of the test's own.
class Registry : public testing::Test {
 protected:
  std::wstring root = L"Software\\OmbrixMerger tests\\" + std::to_wstring(std::random_device{}());
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, root.c_str()); }
};

TEST_F(Registry, PathsSurviveAStopAndAStartExactly) {
  RegistrySettings settings(root);
  test::ScriptedDialogs dialogs;
  test::RecordingMessages messages;
  const std::string paths[] = {"  C:\\Spiele\\Liste für Ömer.ini ", ""};
  {
    Win32MergerWindow first(GetModuleHandleW(nullptr), {&dialogs, &messages, &settings});
    ASSERT_TRUE(first.create());
    ASSERT_TRUE(first.form().Form_Load());
    EXPECT_EQ(first.text("txtSource(1)"), "") << "nothing stored yet";
    first.setText("txtSource(1)", paths[0]);
    first.setText("txtSource(2)", paths[1]);
    SendMessageW(first.handle(), WM_CLOSE, 0, 0);
  }
  DWORD type = 0;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, (root + L"\\Settings").c_str(), L"File", RRF_RT_ANY, &type,
                         nullptr, nullptr),
            ERROR_SUCCESS)
      << "stored though empty";
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

  Win32MergerWindow second(GetModuleHandleW(nullptr), {&dialogs, &messages, &settings});
  ASSERT_TRUE(second.create());
  ASSERT_TRUE(second.form().Form_Load());
  EXPECT_EQ(second.text("txtSource(1)"), paths[0]);
  EXPECT_EQ(second.text("txtSource(2)"), paths[1]);
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
