#pragma once

// OpenDialog and SaveDialog: the tool's own logic around a modal file dialog. The filter "A|*.a|B|*.b"
// becomes the NUL-separated list that the dialog takes; the chosen path comes back through a name buffer
// of 254 characters, cut at its first NUL and trimmed of spaces. A cancelled or failed dialog gives "".
// The dialog itself sits behind FileDialogPlatform, so tests can stand in for the user.

#include <QString>

class QWidget;

namespace ombrix {

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
  QWidget* owner = nullptr;
  QString filterList;  // every item ended by NUL, the list ended by one more NUL
  int filterIndex = 0;
  QString nameBuffer;  // kNameBufferLength characters: the proposed name, then spaces
  QString initialDir;
  QString title;
  unsigned flags = 0;
};

class FileDialogPlatform {
 public:
  virtual ~FileDialogPlatform() = default;
  // Shows the dialog modally. On confirmation writes the chosen path and a NUL over the start of
  // request.nameBuffer and returns true; false when the user cancelled or the dialog failed (a chosen path
  // longer than kNameBufferLength characters fails).
  virtual bool showOpen(FileDialogRequest& request) = 0;
  virtual bool showSave(FileDialogRequest& request) = 0;
};

QString OpenDialog(FileDialogPlatform& platform, QWidget* Form1, const QString& Filter, const QString& Title,
                   const QString& InitDir);

QString SaveDialog(FileDialogPlatform& platform, QWidget* Form1, const QString& Filter, const QString& Title,
                   const QString& InitDir, const QString& DefaultFilename);

// "A|*.a" and "A|*.a|" both become A, NUL, *.a, NUL; "" becomes a single NUL.
QString convertFilter(const QString& Filter);

// The name buffer's text up to its first NUL, without leading and trailing spaces.
QString resultFromNameBuffer(const QString& nameBuffer);

// Qt's own file dialog (not the desktop's native one, which cannot refuse a choice), with the behaviour
// that the flags ask for.
class QtFileDialogPlatform final : public FileDialogPlatform {
 public:
  bool showOpen(FileDialogRequest& request) override;
  bool showSave(FileDialogRequest& request) override;
};

// The NUL-separated filter list in Qt's form: "Ombrix ini files (*.ini)", "All files (*)".
QStringList qtNameFilters(const QString& filterList);

}  // namespace ombrix
