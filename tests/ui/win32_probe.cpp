// Looks at the windows of a running Win32 program from the Windows side, for the end-to-end test:
//   win32_probe CAPTION   prints the texts of the controls of each visible window CAPTION, one a line
// Exit status 1 when no such window is found.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Search {
  std::wstring caption;
  std::vector<HWND> found;
};

BOOL CALLBACK collect(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  if (IsWindowVisible(window) && search->caption == text) {
    search->found.push_back(window);
  }
  return TRUE;
}

BOOL CALLBACK printText(HWND control, LPARAM) {
  wchar_t text[1024] = {};
  if (GetWindowTextW(control, text, 1024) > 0) {
    std::printf("%ls\n", text);
  }
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: win32_probe CAPTION\n");
    return 2;
  }
  Search search{argv[1], {}};
  EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
  for (HWND window : search.found) {
    EnumChildWindows(window, printText, 0);
  }
  return search.found.empty() ? 1 : 0;
}
