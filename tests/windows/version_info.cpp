// Prints what Explorer's Details tab shows of a program: version_info PROGRAM prints one "Name=value" line
// for each string of its version resource that users see, and exits 1 when it has none.

#include <windows.h>

#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    return 2;
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
  std::vector<char> info(size);
  if (size == 0 || !GetFileVersionInfoW(argv[1], 0, size, info.data())) {
    return 1;
  }
  for (const wchar_t* name : {L"FileDescription", L"ProductName", L"CompanyName", L"LegalCopyright",
                              L"FileVersion", L"ProductVersion", L"OriginalFilename"}) {
    wchar_t path[96];
    swprintf(path, 96, L"\\StringFileInfo\\040904B0\\%ls", name);
    wchar_t* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(info.data(), path, reinterpret_cast<void**>(&value), &length) && length > 0) {
      std::printf("%ls=%ls\n", name, value);
    }
  }
  return 0;
}
