#pragma once

// The window's platform services with Qt: message boxes, the per-user settings, the single-instance lock,
// the shell and the file dialogs.

#include <QLockFile>
#include <QSettings>
#include <QString>
#include <QStringList>

#include "ui/window_services.h"

namespace ombrix {

inline QString toQString(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

class QtMessagePresenter final : public MessagePresenter {
 public:
  void show(DialogOwner owner, MessageIcon icon, std::string_view title, std::string_view text) override;
  bool showResult(DialogOwner owner, std::string_view title, const ResultMessage& result) override;
};

// Qt's native per-user settings of the application, or any QSettings a test hands in.
class QtSettingsStore final : public SettingsStore {
 public:
  explicit QtSettingsStore(QSettings& settings) : settings_(settings) {}
  std::string read(std::string_view section, std::string_view key) override;
  void write(std::string_view section, std::string_view key, std::string_view value) override;

  // Where the application "OmbrixMerger" keeps its settings for this user.
  static std::unique_ptr<QSettings> openUserSettings();

 private:
  QSettings& settings_;
};

// One running instance per user: a lock file held by the first, refused to every later one while it runs.
class LockFileInstance final : public InstanceGuard {
 public:
  // lockPath: a file in a folder of the user's own; the default is in the user's runtime or temporary folder.
  explicit LockFileInstance(const QString& lockPath = defaultLockPath());
  bool acquire() override;

  static QString defaultLockPath();

 private:
  QLockFile lock_;
};

class QtShell final : public Shell {
 public:
  void open(std::string_view address) override;
};

// Qt's own file dialog (not the desktop's native one, which cannot refuse a choice), with the behaviour
// that the flags ask for.
class QtFileDialogPlatform final : public FileDialogPlatform {
 public:
  bool showOpen(FileDialogRequest& request) override;
  bool showSave(FileDialogRequest& request) override;
  void sayPathTooLong(DialogOwner owner, std::u16string_view title) override;
};

// The NUL-separated filter list in Qt's form: "Ombrix ini files (*.ini)", "All files (*)".
QStringList qtNameFilters(const QString& filterList);

}  // namespace ombrix
