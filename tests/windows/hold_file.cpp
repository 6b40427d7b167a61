// Holds a file open as another program would (an editor, a virus scanner): hold_file FILE READY UNTIL MS
// opens FILE for reading, sharing reading only, writes READY, waits until the file UNTIL exists (at most
// a minute), holds the file MS milliseconds more and closes it.

#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    return 2;
  }
  HANDLE held = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    return 1;
  }
  HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(ready);
  for (int tenth = 0; tenth < 600 && GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES; ++tenth) {
    Sleep(100);
  }
  Sleep(static_cast<DWORD>(_wtoi(argv[4])));
  CloseHandle(held);
  return 0;
}
