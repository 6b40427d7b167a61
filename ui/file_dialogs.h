#pragma once

// OpenDialog and SaveDialog: the tool's own logic around a modal file dialog, written once for every
// toolkit. The filter "A|*.a|B|*.b" becomes the NUL-separated list that the dialog takes; the chosen path
// comes back through a name buffer of 254 characters, cut at its first NUL and trimmed of spaces. A
// cancelled or failed dialog gives ""; a path too long for the buffer is refused with a message, and the
// dialog opens again. Characters are counted as the dialogs count them, in UTF-16 units;
// the texts outside are UTF-8. The dialog itself sits behind FileDialogPlatform, which each toolkit
// implements and tests can stand in for.

#include <string>
#include <string_view>

#include "ini/text/utf.h"

namespace ombrix {

// The window that owns a dialog, as its toolkit knows it (a QWidget*, an HWND).
using DialogOwner = void*;

inline constexpr int kNameBufferLength = 254;

// The behaviour asked of the dialog, as the platform's dialog flags.
namespace DialogFlags {
inline constexpr unsigned kOverwritePrompt = 0x0002;
inline constexpr unsigned kHideReadOnly = 0x0004;
inline constexpr unsigned kFileMustExist = 0x1000;
inline constexpr unsigned kCreatePrompt = 0x2000;
inline constexpr unsigned kOpen = kHideReadOnly | kFileMustExist;                    // 4100
inline constexpr unsigned kSave = kOverwritePrompt | kHideReadOnly | kCreatePrompt;  // 8198
}  // namespace DialogFlags

struct FileDialogRequest {
  DialogOwner owner = nullptr;
  std::u16string filterList;  // every item ended by NUL, the list ended by one more NUL
  int filterIndex = 0;
  // kNameBufferLength units: the proposed name ended by a NUL (none for the open dialog, so its name box
  // starts empty), then spaces. A name of the full length has its NUL just past the buffer.
  std::u16string nameBuffer;
  std::u16string initialDir;
  std::u16string title;
  unsigned flags = 0;
  // Set by the platform when the dialog failed because the chosen path does not fit the buffer.
  bool tooLong = false;
};

inline constexpr std::string_view kPathTooLongMessage =
    "The chosen path is longer than 254 characters, which is more than the tool can take. Choose a file "
    "with a shorter path.";

class FileDialogPlatform {
 public:
  virtual ~FileDialogPlatform() = default;
  // Shows the dialog modally. On confirmation writes the chosen path and a NUL over the start of
  // request.nameBuffer and returns true; false when the user cancelled or the dialog failed (a chosen path
  // longer than kNameBufferLength units fails).
  virtual bool showOpen(FileDialogRequest& request) = 0;
  virtual bool showSave(FileDialogRequest& request) = 0;
  // Tells the user, in a message box with the dialog's title, that the chosen path was too long.
  virtual void sayPathTooLong(DialogOwner owner, std::u16string_view title) = 0;
};

std::string OpenDialog(FileDialogPlatform& platform, DialogOwner Form1, std::string_view Filter,
                       std::string_view Title, std::string_view InitDir);

std::string SaveDialog(FileDialogPlatform& platform, DialogOwner Form1, std::string_view Filter,
                       std::string_view Title, std::string_view InitDir, std::string_view DefaultFilename);

// "A|*.a" and "A|*.a|" both become A, NUL, *.a, NUL; "" becomes a single NUL.
std::u16string convertFilter(std::u16string_view Filter);

// The buffer as the dialog first shows it: the name, cut to the buffer without splitting a character,
// then a NUL, then spaces.
std::u16string nameBufferWith(std::u16string_view proposedName);

// The name buffer's text up to its first NUL, without leading and trailing spaces.
std::u16string resultFromNameBuffer(std::u16string_view nameBuffer);

// For a platform whose dialog takes a name rather than the buffer: the name the buffer proposes, and the
// choice written back over the start of the buffer with its NUL. A choice longer than the buffer is refused
// (false), as the platform's own dialogs refuse it.
std::u16string proposedName(const FileDialogRequest& request);
bool writeChoice(FileDialogRequest& request, std::u16string_view chosen);

}  // namespace ombrix
