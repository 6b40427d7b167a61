#include "ui/window_services.h"

#include <QDir>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>

namespace ombrix {

void QtMessagePresenter::information(QWidget* owner, const QString& title, const QString& text) {
  QMessageBox::information(owner, title, text);
}

void QtMessagePresenter::warning(QWidget* owner, const QString& title, const QString& text) {
  QMessageBox::warning(owner, title, text);
}

SingleInstance::SingleInstance(const QString& lockPath) : lock_(lockPath) {
  // A lock left by an instance that crashed is taken over at once (QLockFile checks its process too).
  lock_.setStaleLockTime(0);
}

bool SingleInstance::acquire() {
  return lock_.tryLock(0);
}

QString SingleInstance::defaultLockPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) {
    folder = QDir::tempPath();
  }
  // The temporary folder may be shared between users; the user's name keeps their instances apart.
  const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
  return QDir(folder).filePath(QStringLiteral("OmbrixMerger-%1.lock").arg(user));
}

std::unique_ptr<QSettings> openUserSettings() {
#ifdef _WIN32
  // Where the classic per-user application settings of Windows programs live, so paths stored by earlier
  // versions of the tool are found.
  return std::make_unique<QSettings>(
      QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\OmbrixMerger"),
      QSettings::NativeFormat);
#else
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QStringLiteral("OmbrixMerger"), QStringLiteral("OmbrixMerger"));
#endif
}

}  // namespace ombrix
