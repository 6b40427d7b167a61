#pragma once

// What the window needs from the platform, handed in through its constructor so that tests can replace
// the dialogs, the message boxes, the settings store and the single-instance check.

#include <QLockFile>
#include <QString>
#include <memory>

class QSettings;
class QWidget;

namespace ombrix {

class FileDialogPlatform;

class MessagePresenter {
 public:
  virtual ~MessagePresenter() = default;
  // A modal message box with an information icon and one button.
  virtual void information(QWidget* owner, const QString& title, const QString& text) = 0;
  // The same with a warning icon, for a merge that stopped early.
  virtual void warning(QWidget* owner, const QString& title, const QString& text) = 0;
};

class QtMessagePresenter final : public MessagePresenter {
 public:
  void information(QWidget* owner, const QString& title, const QString& text) override;
  void warning(QWidget* owner, const QString& title, const QString& text) override;
};

// One running instance per user: held by the first, refused to every later one while it runs.
class SingleInstance {
 public:
  // lockPath: a file in a folder of the user's own; the default is in the user's runtime or temporary folder.
  explicit SingleInstance(const QString& lockPath = defaultLockPath());
  // True when no other instance holds the lock; this one then holds it until it ends.
  bool acquire();

  static QString defaultLockPath();

 private:
  QLockFile lock_;
};

// The per-user settings store: on Windows the registry key that earlier versions of the tool used,
// elsewhere Qt's native per-user location for the application "OmbrixMerger".
std::unique_ptr<QSettings> openUserSettings();

struct WindowServices {
  FileDialogPlatform* dialogs = nullptr;
  MessagePresenter* messages = nullptr;
  QSettings* settings = nullptr;
  SingleInstance* instance = nullptr;
};

}  // namespace ombrix
